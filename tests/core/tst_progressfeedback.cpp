// The progress dialog of long work, offscreen, on real work: messages of a real Maildir moved
// or deleted for good, and a long text printed to a real PDF file, each cancelled part way
// by a click on the dialog's Cancel button.
#include "ComposeTestSetup.h"
#include "PrintFixture.h"
#include "ScriptedPrompter.h"
#include "compose/ComposeController.h"
#include "core/MessageHelpers.h"
#include "core/ProgressFeedback.h"
#include "print/PrintController.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMessages = 4000;

// Clicks Cancel on the first progress dialog a quarter of the way through: a real click, which
// the dialog must let through while the rest of the program takes none.
class CancelClicker
{
public:
    CancelClicker()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QProgressDialog*>(top);
                auto* cancel = dialog ? dialog->findChild<QPushButton*>() : nullptr;
                if (dialog && dialog->isVisible() && dialog->value() >= dialog->maximum() / 4 &&
                    cancel && !clicked) {
                    QTest::mouseClick(cancel, Qt::LeftButton);
                    clicked = true;
                }
            }
        });
        m_timer.start();
    }
    bool clicked = false;

private:
    QTimer m_timer;
};

// The Message-IDs of the files of a Maildir folder.
QStringList messageIds(const QString& folder)
{
    QStringList ids;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir dir(folder + QLatin1StringView(sub));
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            file.open(QIODevice::ReadOnly);
            ids.append(QString::fromLatin1(file.readLine().trimmed()));
        }
    }
    return ids;
}

} // namespace

class TestProgressFeedback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every step paints, so a click on Cancel lands at a known point of the work.
    void initTestCase() { m_timing = ProgressFeedback::setTiming({0, 0}); }
    void cleanupTestCase() { ProgressFeedback::setTiming(m_timing); }

    // Nothing shows for short work; once shown, the dialog's Cancel is there only when
    // offered, and clicks on the rest of the window are dropped.
    void dialogShowsLateWithCancelOnlyWhenOffered()
    {
        QWidget window;
        auto* button = new QPushButton(u"Other"_s, &window);
        window.show();
        int otherClicks = 0;
        connect(button, &QPushButton::clicked, [&] { ++otherClicks; });
        ProgressFeedback::setTiming({10000, 0});
        {
            ProgressFeedback quick(&window, 25694, ProgressFeedback::Cancel::Offered);
            QVERIFY(quick.step(1, 2));
            QVERIFY(!quick.dialog());
        }
        ProgressFeedback::setTiming({0, 0});
        for (const auto cancel :
             {ProgressFeedback::Cancel::NotOffered, ProgressFeedback::Cancel::Offered}) {
            ProgressFeedback feedback(&window, 25694, cancel);
            QTimer::singleShot(0, [&] { QTest::mouseClick(button, Qt::LeftButton); });
            QVERIFY(feedback.step(3, 8));
            QProgressDialog* dialog = feedback.dialog();
            QVERIFY(dialog && dialog->isVisible() && dialog->windowModality() == Qt::WindowModal);
            QCOMPARE(dialog->parentWidget(), &window);
            QCOMPARE(dialog->labelText(), MessageText(25694).arg(3).arg(8));
            QCOMPARE(dialog->findChild<QPushButton*>() != nullptr,
                     cancel == ProgressFeedback::Cancel::Offered);
            QCOMPARE(otherClicks, 0);
        }
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(otherClicks, 1);
    }

    // A move or a delete for good of a few thousand messages, cancelled part way: every
    // message is in exactly one place, and the list shows the source folder as it is.
    void cancelledMessageWorkLosesNothing_data()
    {
        QTest::addColumn<bool>("move");
        QTest::newRow("move") << true;
        QTest::newRow("delete for good") << false;
    }
    void cancelledMessageWorkLosesNothing()
    {
        QFETCH(bool, move);
        composetest::MailFixture mail;
        QSet<QString> written;
        for (int n = 0; n < kMessages; ++n) {
            const QString id = u"Message-ID: <%1@example.org>"_s.arg(n);
            written.insert(id);
            QVERIFY(mailtest::writeFile(
                mail.path("Maildir/.Old/cur/") + u"17000%1.M%1P1.test:2,S"_s.arg(n),
                id.toLatin1() + "\r\nSubject: Case " + QByteArray::number(n) + "\r\n\r\nx\r\n"));
        }
        for (const char* sub : {"cur", "new", "tmp"})
            QDir().mkpath(mail.path("Maildir/.Archive/") + QLatin1StringView(sub));
        QVERIFY(mail.setUp());
        composetest::TestComposeHost host;
        vantrel::compose::ComposeController compose(*mail.mail, host);
        const auto item = [&](const QString& name) {
            return mail.tree.findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
        };
        mail.tree.setCurrentItem(item(u"Old"_s));
        mail.list.selectAll();
        QCOMPARE(mail.mail->messages().selectedCount(), kMessages);
        ScriptedPrompter prompter;
        CancelClicker clicker;
        if (move) {
            const int archive = item(u"Archive"_s)->data(0, Qt::UserRole).toInt();
            QVERIFY(!compose.management().MoveOrCopySelected(archive, true));
        } else {
            QVERIFY(compose.management().DeleteSelectedForGood(0));
        }
        QVERIFY(clicker.clicked);
        QVERIFY2(
            prompter.notices().isEmpty(),
            qPrintable(prompter.notices().value(0).text)); // the user's own Cancel needs no notice
        const QStringList left = messageIds(mail.path("Maildir/.Old"));
        const QStringList moved = messageIds(mail.path("Maildir/.Archive"));
        QVERIFY2(!left.isEmpty() && left.size() < kMessages,
                 qPrintable(QString::number(left.size())));
        const QSet<QString> found(QSet<QString>(left.begin(), left.end()) +
                                  QSet<QString>(moved.begin(), moved.end()));
        QCOMPARE(left.size() + moved.size(), found.size()); // none in both folders
        if (move)
            QCOMPARE(found, written); // none lost
        else
            QVERIFY(moved.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(mail.mail->messages().rowCount(), left.size(), 20000);
    }

    // A long text printed to a PDF file: cancelled, no file is left; printed to the end,
    // every page is there.
    void cancelledPrintLeavesNoFile()
    {
        printtest::Workspace workspace;
        printtest::Settings settings;
        vantrel::print::PrintController print(settings.doc, workspace);
        QStringList lines;
        for (int i = 0; i < 60 * 51; ++i)
            lines.append(u"Line %1 of a long support call"_s.arg(i));
        workspace.textBox(printtest::Workspace::kOutgoingBox)->setPlainText(lines.join(u'\n'));
        const QString path = settings.dir.filePath(u"out.pdf"_s);
        printtest::printToPdf(print.printer(), path);
        ScriptedPrompter prompter;
        prompter.dialogResult(QDialog::Accepted);
        {
            CancelClicker clicker;
            print.PrintText(printtest::Workspace::kOutgoingBox);
            QVERIFY(clicker.clicked);
        }
        QVERIFY(!QFile::exists(path));
        prompter.dialogResult(QDialog::Accepted);
        print.PrintText(printtest::Workspace::kOutgoingBox);
        QVERIFY(QFileInfo(path).size() > 0);
        if (printtest::havePdfTools())
            QCOMPARE(printtest::pdfPageCount(path), print.countPages(print.printer()));
    }

private:
    ProgressFeedback::Timing m_timing;
};

QTEST_MAIN(TestProgressFeedback)
#include "tst_progressfeedback.moc"
