// The example home of `--demo`: every piece is there, a second build changes nothing, and
// the program reads every kind of demonstration message as text.
#include "CSupportApp.h"
#include "CSupportView.h"
#include "CTextBox.h"
#include "DatabaseWorkspace.h"
#include "DemoHome.h"
#include "MailTestSetup.h"
#include "ProgramStart.h"
#include "ScriptedPrompter.h"
#include "core/SettingsStore.h"
#include "mail/ListImages.h"
#include "mail/MailController.h"

#include <QDirIterator>
#include <QItemSelectionModel>
#include <QTextCursor>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

int rowCount(const QString& path, const QString& table)
{
    const QStringList keys =
        dbtest::columnValues(path, QStringLiteral("SELECT * FROM ") + table, 2);
    return keys == QStringList{QStringLiteral("<cannot read>")} ? -1 : int(keys.size());
}

int fileCount(const QString& dir)
{
    return int(QDir(dir).entryList(QDir::Files).size());
}

// The value of `name` among the top headers of a stored message, unfolded.
QByteArray headerValue(const QByteArray& message, const QByteArray& name)
{
    const QByteArray head = message.left(message.indexOf("\n\n"));
    const qsizetype at = head.indexOf("\n" + name + ": ");
    if (at < 0)
        return {};
    const qsizetype start = at + name.size() + 3;
    qsizetype end = head.indexOf('\n', start);
    while (end >= 0 && end + 1 < head.size() && (head[end + 1] == ' ' || head[end + 1] == '\t'))
        end = head.indexOf('\n', end + 1);
    return head.mid(start, end < 0 ? -1 : end - start).simplified();
}

} // namespace

class TestDemoHome : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSupportApp> m_app;

    CSupportView* view() const { return m_app->view(); }
    QTreeView* list() const { return qobject_cast<QTreeView*>(view()->control(1011)); }
    QTreeWidget* tree() const { return qobject_cast<QTreeWidget*>(view()->control(1006)); }
    QAbstractItemModel* model() const { return list()->model(); }
    int columnNamed(const QString& name) const
    {
        for (int column = 0; column < model()->columnCount(); ++column) {
            const auto* shown = view()->mail()->messages().model().shownColumn(column);
            if (shown && shown->variant.name == name)
                return column;
        }
        return -1;
    }
    int rowWithSubject(const QString& subject) const
    {
        const int column = columnNamed(u"Subject"_s);
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->index(row, column).data().toString() == subject)
                return row;
        }
        return -1;
    }
    void openFolder(const QString& name)
    {
        const auto found = tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        if (!found.isEmpty())
            tree()->setCurrentItem(found.first());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The built mail library as the machine's mail client; the demonstration names its
        // own profile file.
        QVERIFY(mailtest::installMailClient(m_dir.filePath(u"client"_s), QByteArray()));
        const QString root = m_dir.filePath(u"demo"_s);
        QString error;
        QVERIFY2(BuildDemoHome(root, &error), qPrintable(error));
        ScriptedPrompter prompter;
        QVERIFY(startProgram(m_app, root + u"/home/"_s, root + u"/settings.ini"_s));
        QVERIFY(view()->mail()->isLoggedOn());
        QVERIFY2(prompter.notices().isEmpty(), qPrintable(prompter.notices().value(0).text));
    }

    void cleanupTestCase() { m_app.reset(); }

    void buildsACompleteHomeTwice()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("demo"));
        for (int build = 0; build < 2; ++build) {
            QString error;
            QVERIFY2(BuildDemoHome(root, &error), qPrintable(error));
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Mail/cur")), 23);
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Mail/new")), 4);
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Mail/.Sent Items/cur")), 10);
            QVERIFY(QFileInfo(root + QStringLiteral("/mail/Mail/.Sent Items/new")).isDir());
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Contacts")), 9);
            QCOMPARE(qgetenv("VANTREL_MAPI_PROFILES"),
                     QFile::encodeName(root) + "/mail/profiles.ini");
            const QString db = root + QStringLiteral("/home/vntdatab.db");
            QCOMPARE(rowCount(db, QStringLiteral("Job")), 13);
            QCOMPARE(rowCount(db, QStringLiteral("Knowledge")), 11);
            QCOMPARE(fileCount(root + QStringLiteral("/home/support1/Account")), 2);
            QVERIFY(QFile::exists(
                root + QStringLiteral("/home/support1/Shipping/Delivery date of an order.txt")));
            // The usual template is seeded beside the demonstration files.
            QVERIFY(fileCount(root + QStringLiteral("/home/support1/Billing")) >= 4);
            SettingsStore settings(root + QStringLiteral("/settings.ini"));
            QCOMPARE(settings.readInt(SettingsStore::kInternalData,
                                      QStringLiteral("Open Database at Start"), 0),
                     1);
            QCOMPARE(settings.readInt(SettingsStore::kInternalData,
                                      QStringLiteral("Logon to Mail at startup"), 0),
                     1);
        }
        // Building the second home pointed the mail library elsewhere; back to the first.
        qputenv("VANTREL_MAPI_PROFILES",
                QFile::encodeName(m_dir.filePath(u"demo/mail/profiles.ini"_s)));
    }

    // Every reply names a message of the store, and each file is named after its arrival.
    void storeIsConsistent()
    {
        QHash<QByteArray, QByteArray> parentOf; // message id -> the one it answers
        QDirIterator it(u":/demo/Mail"_s, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (it.fileInfo().dir().dirName() != u"cur" && it.fileInfo().dir().dirName() != u"new")
                continue;
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray message = file.readAll();
            const QByteArray id = headerValue(message, "Message-ID");
            QVERIFY2(!id.isEmpty() && !parentOf.contains(id), qPrintable(it.fileName()));
            parentOf.insert(id, headerValue(message, "In-Reply-To"));
            const QDateTime date = QDateTime::fromString(
                QString::fromLatin1(headerValue(message, "Date")), Qt::RFC2822Date);
            const qint64 arrived = it.fileName().section(u'.', 0, 0).toLongLong();
            QVERIFY2(date.isValid() && qAbs(date.toSecsSinceEpoch() - arrived) < 3600,
                     qPrintable(it.fileName()));
        }
        QVERIFY(parentOf.size() >= 30);
        int longest = 0;
        for (auto entry = parentOf.cbegin(); entry != parentOf.cend(); ++entry) {
            int length = 1;
            for (QByteArray parent = entry.value(); !parent.isEmpty();
                 parent = parentOf.value(parent)) {
                QVERIFY2(parentOf.contains(parent), parent.constData());
                ++length;
            }
            longest = qMax(longest, length);
        }
        QCOMPARE(longest, 4);
    }

    void readsEveryKindAsText_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("bold"); // a word the read box shows in bold, for rich text
        QTest::addColumn<bool>("attachment");

        const QString inbox = u"Inbox"_s;
        QTest::newRow("plain") << inbox << u"Moving Vantrel Pro to a new PC"_s
                               << u"deactivate the old one first?"_s << QString() << false;
        QTest::newRow("html only") << inbox << u"Question about the Cloud storage limit"_s
                                   << u"Design 41 GB 50 GB"_s << QString() << false;
        QTest::newRow("html and plain") << inbox << u"Refund for unused Cloud subscription"_s
                                        << u"(invoice 5120, 96.00 EUR)"_s << QString() << false;
        QTest::newRow("rich text")
            << inbox << u"Printed invoices lose the footer"_s
            << u"the footer with our bank details is cut off"_s << u"footer"_s << false;
        QTest::newRow("log file") << inbox << u"Crash on startup after update to 5.2"_s
                                  << u"The log file from today is attached."_s << QString() << true;
        QTest::newRow("screenshot") << inbox << u"Licence key not accepted"_s
                                    << u"A screenshot is attached."_s << QString() << true;
        QTest::newRow("pdf") << inbox << u"Purchase order PO-2291: 15 Vantrel Pro seats"_s
                             << u"purchase order PO-2291"_s << QString() << true;
        QTest::newRow("bounce") << inbox << u"Undelivered Mail Returned to Sender"_s
                                << u"Recipient address rejected: User unknown"_s << QString()
                                << true;
        QTest::newRow("encoded subject") << inbox << u"Exportação para CSV perde acentos"_s
                                         << u"\"São Paulo\""_s << QString() << false;
        QTest::newRow("reply in a thread")
            << inbox << u"Re: Invoice 4411 charged twice"_s
            << u"> the second payment has been refunded"_s << QString() << false;
        QTest::newRow("sent") << u"Sent Items"_s << u"Delivery date for order 1182"_s
                              << u"ships within five working days"_s << QString() << false;
    }

    void readsEveryKindAsText()
    {
        QFETCH(QString, folder);
        QFETCH(QString, subject);
        QFETCH(QString, text);
        QFETCH(QString, bold);
        QFETCH(bool, attachment);
        openFolder(folder);
        const int row = rowWithSubject(subject);
        QVERIFY2(row >= 0, qPrintable(subject));
        list()->selectionModel()->setCurrentIndex(model()->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
        CTextBox* box = view()->textBox(1002);
        const QString shown = box->toPlainText().simplified();
        QVERIFY2(shown.contains(text.simplified()), qPrintable(shown.left(300)));
        if (!bold.isEmpty()) {
            QTextCursor cursor(box->document());
            cursor.setPosition(int(box->toPlainText().indexOf(bold)) + 1);
            QVERIFY(cursor.charFormat().fontWeight() >= QFont::Bold);
        }
        const int column = columnNamed(u"Attachment"_s);
        QVERIFY(column >= 0);
        QCOMPARE(view()->mail()->messages().model().cellImage(row, column) ==
                     vantrel::mail::kListImageAttachment,
                 attachment);
    }

    void demoOptionKeepsToItsFolder()
    {
        const StartOptions options = CSupportApp::optionsFrom(
            {QStringLiteral("vantrel"), QStringLiteral("--demo"), QStringLiteral("/tmp/d")});
        QCOMPARE(options.programDirectory, QStringLiteral("/tmp/d/home/"));
        QCOMPARE(options.settingsFile, QStringLiteral("/tmp/d/settings.ini"));
        QCOMPARE(CSupportApp::optionsFrom({QStringLiteral("vantrel"), QStringLiteral("--demo")})
                     .demoDirectory,
                 QDir::homePath() + QStringLiteral("/vantrel-demo"));
    }
};

QTEST_MAIN(TestDemoHome)
#include "tst_demohome.moc"
