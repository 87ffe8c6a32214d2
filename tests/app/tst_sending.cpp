// Writing and sending in the whole program, offscreen, on a real Maildir store with a real
// SMTP server on 127.0.0.1: a new message composed and sent, an address a server would refuse
// by its form, a recipient the server refuses, Stop with each answer, Save and Post.
#include "CTextBox.h"
#include "ComposeWorkspace.h"
#include "LocalServers.h"
#include "ScriptedPrompter.h"
#include "compose/CheckNamesDialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Picks the folder named `name` in the folder chooser, or ends it with Cancel.
std::function<int(QDialog&)> chooseFolder(const QString& name)
{
    return [name](QDialog& dialog) {
        auto* list = dialog.findChild<QListWidget*>(u"c1108"_s);
        const auto found = list->findItems(name, Qt::MatchExactly);
        if (found.isEmpty())
            return int(QDialog::Rejected);
        list->setCurrentItem(found.first());
        return int(QDialog::Accepted);
    };
}

} // namespace

class TestSending : public QObject
{
    Q_OBJECT

    composetest::ComposeWorkspace m_work;
    std::unique_ptr<SmtpSink> m_sink;

    OutgoingState& state() const { return m_work.compose()->state(); }
    QLineEdit* subject() const { return qobject_cast<QLineEdit*>(m_work.view()->control(1067)); }
    QTextEdit* body() const { return m_work.view()->textBox(1000); }

    // "Compose a new Email", the address dialog closed, then the boxes typed into.
    void compose(const QString& to, const QString& subjectText, const QString& text)
    {
        QTimer::singleShot(0, this, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdCompose));
        QCOMPARE(state().mode(), OutgoingMode::Composing);
        QTest::keyClicks(m_work.box(1064), to);
        QTest::keyClicks(subject(), subjectText);
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(body(), Qt::Key_Return);
            QTest::keyClicks(body(), lines.at(i));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_sink = std::make_unique<SmtpSink>(QStringLiteral(VANTREL_TEST_SUPPORT "/smtp_sink.py"));
        QVERIFY(m_sink->port() > 0);
        QVERIFY(mailtest::writeFile(m_work.path(u"Contacts/bad.vcf"_s),
                                    "BEGIN:VCARD\nVERSION:4.0\nUID:b1\nFN:Bad Address\n"
                                    "EMAIL:bad@@example\nEND:VCARD\n"));
        QVERIFY(m_work.start({}, "[Transport Support]\nKind=smtp\nHost=127.0.0.1\nPort=" +
                                     QByteArray::number(m_sink->port()) +
                                     "\nSecurity=none\nRetrySeconds=1\n"));
    }
    void cleanupTestCase() { m_work.app.reset(); }

    void sendsANewMessage()
    {
        ScriptedPrompter prompter;
        compose(u"ann.archer@example.com"_s, u"Printer jam"_s, u"Hello Ann,\nIt is fixed.\n"_s);
        prompter.dialogResult(CheckNamesDialog::UseSelected); // the contact with that address
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdSend));
        QVERIFY(waitUntil([this] { return m_sink->count() == 1; }));
        const QByteArray sent = m_sink->message(1);
        QVERIFY2(sent.contains("To: Ann Archer <ann.archer@example.com>"), sent.constData());
        QVERIFY(sent.contains("From: Sam Support <sam@example.com>"));
        QVERIFY(sent.contains("Subject: Printer jam"));
        QVERIFY(sent.contains("Hello Ann,\r\nIt is fixed."));
        QVERIFY(m_sink->envelope(1).contains("ann.archer@example.com"));
        // The message has left the program: no outgoing message, empty boxes, a copy kept.
        QCOMPARE(state().mode(), OutgoingMode::None);
        QVERIFY(!state().message());
        QVERIFY(m_work.box(1064)->toPlainText().isEmpty() && subject()->text().isEmpty());
        QVERIFY(body()->toPlainText().isEmpty());
        QVERIFY(waitUntil([this] { return m_work.messagesIn(u".Sent Items"_s).size() == 1; }));
        QVERIFY(fileText(m_work.messagesIn(u".Sent Items"_s).first()).contains("Printer jam"));
        QVERIFY(waitUntil([this] { return m_work.messagesIn(u".Outbox"_s).isEmpty(); }));
        QCOMPARE(prompter.notices().size(), 1); // the candidates, no message
    }

    // An address no server takes is named, and the message stays as it was.
    void malformedAddressIsNamed()
    {
        ScriptedPrompter prompter;
        compose(u"Bad Address"_s, u"Hello"_s, u"Text\n"_s);
        prompter.dialogResult(CheckNamesDialog::UseSelected);
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdSend));
        QVERIFY(prompter.notices().last().text.contains(u"Bad Address <bad@@example>"_s));
        QCOMPARE(state().mode(), OutgoingMode::Composing);
        QVERIFY(state().message());
        QCOMPARE(m_work.box(1064)->toPlainText(), u"Bad Address;"_s);
        QCOMPARE(body()->toPlainText(), u"Text\n"_s);
        QCOMPARE(m_sink->count(), 1);
        prompter.answerNo();                      // Stop: do not save
        prompter.dialogResult(QDialog::Rejected); // "&Trash message"
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdStop));
        QCOMPARE(state().mode(), OutgoingMode::None);
        QVERIFY(body()->toPlainText().isEmpty());
    }

    // A recipient the server refuses comes back as a delivery report in the Inbox.
    void refusedRecipientIsReported()
    {
        ScriptedPrompter prompter;
        const int inbox = m_work.messagesIn({}).size();
        compose(u"refuse@example.org"_s, u"Will bounce"_s, u"Text\n"_s);
        prompter.dialogScript([](QDialog& dialog) { // nobody known: the new-contact form
            dialog.findChild<QLineEdit*>(u"c1203"_s)->setText(u"Refused Person"_s);
            return int(QDialog::Accepted);
        });
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdSend));
        const bool reported = waitUntil([&] { return m_work.messagesIn({}).size() == inbox + 1; });
        if (!reported) {
            for (const QString& f : m_work.messagesIn(u".Outbox"_s))
                qWarning() << f << fileText(f).left(600);
            qWarning() << QDir(m_work.path(u"Mail/.Outbox/vantrel-spool"_s)).entryList();
        }
        QVERIFY(reported);
        QStringList reports = m_work.messagesIn({});
        const auto report = std::find_if(reports.begin(), reports.end(), [](const QString& f) {
            return fileText(f).contains("refuse@example.org");
        });
        QVERIFY(report != reports.end());
        QCOMPARE(m_sink->count(), 1);
    }

    void stopWithEachAnswer_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("folder"); // chosen in the chooser; empty: its second button
        QTest::addColumn<QString>("keptIn"); // the folder the message is then in
        QTest::addColumn<bool>("bodyKept");
        QTest::newRow("save to Drafts") << true << u"Drafts"_s << u".Drafts"_s << false;
        QTest::newRow("save, chooser closed") << true << QString() << QString() << true;
        QTest::newRow("delete to Deleted Items")
            << false << u"Deleted Items"_s << u".Deleted Items"_s << false;
        QTest::newRow("trash") << false << QString() << QString() << false;
    }
    void stopWithEachAnswer()
    {
        QFETCH(bool, save);
        QFETCH(QString, folder);
        QFETCH(QString, keptIn);
        QFETCH(bool, bodyKept);
        ScriptedPrompter prompter;
        const QStringList before = m_work.messagesIn(keptIn);
        compose(u"Ann Archer"_s, u"Draft "_s + QTest::currentDataTag(), u"Draft text\n"_s);
        save ? prompter.answerYes() : prompter.answerNo();
        prompter.dialogScript(chooseFolder(folder));
        prompter.dialogResult(CheckNamesDialog::UseSelected); // the one Ann Archer
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdStop));
        QCOMPARE(state().mode(), OutgoingMode::None);
        QVERIFY(!state().message());
        QCOMPARE(body()->toPlainText().isEmpty(), !bodyKept);
        if (!keptIn.isEmpty()) {
            const QStringList after = m_work.messagesIn(keptIn);
            QCOMPARE(after.size(), before.size() + 1);
            const QByteArray saved = fileText(after.last());
            QVERIFY2(saved.contains("Subject: Draft " + QByteArray(QTest::currentDataTag())),
                     saved.constData());
            QVERIFY(saved.contains("ann.archer@example.com"));
            QVERIFY(saved.contains("Draft text"));
        }
        body()->clear();
    }

    void postToAFolder()
    {
        ScriptedPrompter prompter;
        compose({}, u"Team notes"_s, u"Posted, not sent.\n"_s);
        prompter.dialogScript(chooseFolder(u"Projects"_s));
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdPost));
        const QStringList posted = m_work.messagesIn(u".Projects"_s);
        QCOMPARE(posted.size(), 1);
        QVERIFY(fileText(posted.first()).contains("Posted, not sent."));
        QCOMPARE(state().mode(), OutgoingMode::None);
        QCOMPARE(m_sink->count(), 1);
    }
};

QTEST_MAIN(TestSending)
#include "tst_sending.moc"
