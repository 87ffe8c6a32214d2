// Writing and sending in the whole program, offscreen, on a real Maildir store with a real
// SMTP server on 127.0.0.1: a new message composed and sent, an address a server would refuse
// by its form, a recipient the server refuses, Stop with each answer, Save and Post.
#include "CTextBox.h"
#include "ComposeTestSetup.h"
#include "ComposeWorkspace.h"
#include "LocalServers.h"
#include "ScriptedPrompter.h"
#include "compose/CheckNamesDialog.h"
#include "core/CSupportDoc.h"
#include "core/SettingDefinitions.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

namespace {

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text/plain part of a received message, decoded.
QByteArray plainPart(QByteArray message)
{
    message.replace("\r\n", "\n"); // as sent, or as a store file keeps it
    const qsizetype start = message.indexOf("Content-Type: text/plain");
    if (start < 0)
        return {};
    const qsizetype bodyAt = message.indexOf("\n\n", start) + 2;
    const qsizetype end = message.indexOf("\n--", bodyAt);
    const QByteArray body = message.mid(bodyAt, end < 0 ? -1 : end - bodyAt);
    return message.mid(start, bodyAt - start).contains("base64") ? QByteArray::fromBase64(body)
                                                                 : body;
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

const QByteArray kQuestion = "From: Emily Wilson <ewilson@example.com>\r\n"
                             "To: Sam Support <sam@example.com>\r\n"
                             "Cc: Raj Patel <raj@example.net>\r\n"
                             "Subject: Invoice charged twice\r\n"
                             "Date: Thu, 03 Dec 2026 09:00:00 +0000\r\n"
                             "Message-ID: <q1@example.com>\r\n"
                             "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                             "Please refund one.\r\nThanks, Emily\r\n";
const QByteArray kWithAttachment =
    "From: Tom Becker <tom@example.de>\r\nTo: Sam Support <sam@example.com>\r\n"
    "Subject: Error log\r\nDate: Fri, 04 Dec 2026 10:00:00 +0000\r\n"
    "Message-ID: <log@example.de>\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nLog attached.\r\n"
    "--b\r\nContent-Type: text/plain; name=error.log\r\n"
    "Content-Disposition: attachment; filename=error.log\r\n\r\nE42 at startup\r\n--b--\r\n";

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

    // Selects the message with `subject` in the message list.
    void selectMessage(const QString& subjectText)
    {
        QVERIFY(composetest::selectRows(*qobject_cast<QTreeView*>(m_work.view()->control(1011)),
                                        {subjectText}));
    }
    CSupportDoc& doc() const { return *m_work.app->document(); }
    // Sends what is open and returns what the server received.
    QByteArray sendAndReceive()
    {
        const int before = m_sink->count();
        if (!m_work.router().execute(OutgoingLifecycle::kCmdSend))
            return "(send not enabled)";
        if (!waitUntil([&] { return m_sink->count() == before + 1; }))
            return "(nothing received)";
        return m_sink->message(before + 1);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_sink = std::make_unique<SmtpSink>(QStringLiteral(VANTREL_TEST_SUPPORT "/smtp_sink.py"));
        QVERIFY(m_sink->port() > 0);
        QVERIFY(mailtest::writeFile(m_work.path(u"Mail/cur/100.question:2,S"_s), kQuestion));
        QVERIFY(mailtest::writeFile(m_work.path(u"Mail/cur/200.report:2,S"_s), kWithAttachment));
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
        QVERIFY(waitUntil([&] { return m_work.messagesIn({}).size() == inbox + 1; }));
        QStringList reports = m_work.messagesIn({});
        const auto report = std::find_if(reports.begin(), reports.end(), [](const QString& f) {
            return fileText(f).contains("refuse@example.org");
        });
        QVERIFY(report != reports.end());
        QCOMPARE(m_sink->count(), 1);
        // The refused message is kept in the Outbox, unsent, for the user to correct.
        const QStringList outbox = m_work.messagesIn(u".Outbox"_s);
        QVERIFY(std::any_of(outbox.begin(), outbox.end(), [](const QString& f) {
            return fileText(f).contains("Subject: Will bounce");
        }));
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

    void replyWithEachOption_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("expected"); // lines of the body received, in order
        const QString header = u"------------- Original Message -------------"_s;
        for (int format : {0, 1}) {
            const char* kind = format ? "rich" : "plain";
            QTest::addRow("%s, no message", kind) << 1 << format << QStringList{u"Typed first."_s};
            QTest::addRow("%s, header only", kind)
                << 2 << format << QStringList{header, u"Invoice charged twice"_s};
            QTest::addRow("%s, original", kind)
                << 3 << format << QStringList{header, u"Please refund one."_s};
            // Rich text takes the prefix in place of the space that starts a paragraph.
            QTest::addRow("%s, quoted", kind)
                << 4 << format
                << (format ? QStringList{u"> "_s + header, u">  Please refund one."_s,
                                         u"> Thanks, Emily"_s}
                           : QStringList{u">"_s + header, u"> Please refund one."_s,
                                         u">Thanks, Emily"_s});
        }
    }
    void replyWithEachOption()
    {
        QFETCH(int, option);
        QFETCH(int, format);
        QFETCH(QStringList, expected);
        ScriptedPrompter prompter;
        doc().WriteIntSetting(ReplyDisplayOptions, option);
        m_work.compose()->bodyFormat().SwitchFormat(format);
        body()->setPlainText(u"Typed first."_s);
        m_work.view()->SelectTab(0);
        selectMessage(u"Invoice charged twice"_s);
        QVERIFY(m_work.router().execute(ReplyBuilder::kCmdReply));
        QCOMPARE(state().mode(), OutgoingMode::Replying);
        QCOMPARE(subject()->text(), u"RE: Invoice charged twice"_s);
        const QByteArray sent = sendAndReceive();
        QVERIFY2(sent.contains("To: Emily Wilson <ewilson@example.com>"), sent.constData());
        QVERIFY(!sent.contains("raj@example.net"));
        QVERIFY(sent.contains("Subject: RE: Invoice charged twice"));
        QVERIFY(sent.contains("In-Reply-To: <q1@example.com>"));
        QVERIFY(sent.contains("References: <q1@example.com>"));
        if (format == 1)
            QVERIFY(sent.contains("text/rtf"));
        // The plain part holds the expected lines in order.
        const QByteArray plain = plainPart(sent);
        qsizetype at = 0;
        for (const QString& line : expected) {
            at = plain.indexOf(line.toUtf8(), at);
            QVERIFY2(at >= 0, qPrintable(line + u"\n"_s + QString::fromUtf8(sent)));
        }
        QCOMPARE(state().mode(), OutgoingMode::None);
        QCOMPARE(prompter.notices().size(), 0);
        m_work.compose()->bodyFormat().SwitchFormat(0);
    }

    void replyAllAnswersTheCcToo()
    {
        ScriptedPrompter prompter;
        doc().WriteIntSetting(ReplyDisplayOptions, 2);
        selectMessage(u"Invoice charged twice"_s);
        QVERIFY(m_work.router().execute(ReplyBuilder::kCmdReplyAll));
        QCOMPARE(state().mode(), OutgoingMode::ReplyingAll);
        const QByteArray sent = sendAndReceive();
        QVERIFY2(sent.contains("To: Emily Wilson <ewilson@example.com>"), sent.constData());
        QVERIFY(sent.contains("Cc: Raj Patel <raj@example.net>"));
        // The To of the answered message (the support address) is not answered.
        const QJsonObject envelope =
            QJsonDocument::fromJson(m_sink->envelope(m_sink->count())).object();
        QCOMPARE(envelope.value(u"to"_s).toVariant().toStringList(),
                 (QStringList{u"ewilson@example.com"_s, u"raj@example.net"_s}));
    }

    void forwardKeepsTheAttachments()
    {
        ScriptedPrompter prompter;
        doc().WriteIntSetting(AddAttachmentToForward, 1);
        selectMessage(u"Error log"_s);
        QTimer::singleShot(0, this, [] { // the recipients dialog of a forward
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        QVERIFY(m_work.router().execute(ReplyBuilder::kCmdForward));
        QCOMPARE(state().mode(), OutgoingMode::Forwarding);
        QTest::keyClicks(m_work.box(1064), u"ann.archer@example.com"_s);
        prompter.dialogResult(CheckNamesDialog::UseSelected);
        const QByteArray sent = sendAndReceive();
        QVERIFY2(sent.contains("Subject: FW: Error log"), sent.constData());
        QVERIFY(sent.contains("To: Ann Archer <ann.archer@example.com>"));
        QVERIFY(sent.contains("filename=error.log") || sent.contains("filename=\"error.log\""));
        QVERIFY(sent.contains("E42 at startup") ||
                sent.contains(QByteArray("E42 at startup").toBase64()));
        QVERIFY(sent.contains("References: <log@example.de>"));
        doc().WriteIntSetting(AddAttachmentToForward, 0);
    }

    // Saved to Drafts, opened again for editing, sent: nothing is left behind.
    void draftReopenedAndSent()
    {
        ScriptedPrompter prompter;
        const int drafts = m_work.messagesIn(u".Drafts"_s).size();
        const int outbox = m_work.messagesIn(u".Outbox"_s).size();
        compose(u"Ann Archer"_s, u"Draft to send"_s, u"Kept for later.\n"_s);
        prompter.dialogScript(chooseFolder(u"Drafts"_s));
        prompter.dialogResult(CheckNamesDialog::UseSelected);
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdSave));
        QCOMPARE(m_work.messagesIn(u".Drafts"_s).size(), drafts + 1);
        QCOMPARE(state().mode(), OutgoingMode::None);

        auto* tree = qobject_cast<QTreeWidget*>(m_work.view()->control(1006));
        tree->setCurrentItem(
            tree->findItems(u"Drafts"_s, Qt::MatchExactly | Qt::MatchRecursive).first());
        selectMessage(u"Draft to send"_s);
        QVERIFY(m_work.router().execute(MessageManagement::kCmdOpenDraft));
        QCOMPARE(state().mode(), OutgoingMode::Composing);
        QCOMPARE(m_work.box(1064)->toPlainText(), u"Ann Archer;"_s);
        QCOMPARE(subject()->text(), u"Draft to send"_s);
        QCOMPARE(m_work.messagesIn(u".Drafts"_s).size(), drafts);

        const QByteArray sent = sendAndReceive();
        QVERIFY2(sent.contains("Subject: Draft to send"), sent.constData());
        QVERIFY(sent.contains("To: Ann Archer <ann.archer@example.com>"));
        QVERIFY(plainPart(sent).contains("Kept for later."));
        QVERIFY(waitUntil([&] { return m_work.messagesIn(u".Outbox"_s).size() == outbox; }));
        tree->setCurrentItem(
            tree->findItems(u"Inbox"_s, Qt::MatchExactly | Qt::MatchRecursive).first());
    }

    // Compose is refused while answering or composing; Send outside compose mode asks first.
    void composeRefusedAndSendAnyway()
    {
        ScriptedPrompter prompter;
        OutgoingLifecycle& lifecycle = m_work.compose()->lifecycle();
        state().setMode(OutgoingMode::Replying);
        lifecycle.OnCompose();
        QCOMPARE(prompter.notices().last().text, u"You are already replying to a message"_s);
        state().setMode(OutgoingMode::None);
        compose(u"Ann Archer"_s, u"Sent at once"_s, u"No compose mode.\n"_s);
        lifecycle.OnCompose();
        QCOMPARE(prompter.notices().last().text, u"You are already composing a message"_s);
        // The boxes as they are, without a message being composed.
        state().StopOutgoing(false);
        m_work.box(1064)->setPlainText(u"Ann Archer"_s);
        subject()->setText(u"Sent at once"_s);
        const int before = m_sink->count();
        prompter.answerNo();
        lifecycle.OnSend();
        QCOMPARE(m_sink->count(), before);
        prompter.answerYes();
        prompter.dialogResult(CheckNamesDialog::UseSelected);
        lifecycle.OnSend();
        QVERIFY(waitUntil([&] { return m_sink->count() == before + 1; }));
        QVERIFY(m_sink->message(before + 1).contains("Subject: Sent at once"));
        QCOMPARE(state().mode(), OutgoingMode::None);
    }

    void emptyBodyIsSavedWithItsNote()
    {
        ScriptedPrompter prompter;
        const QStringList before = m_work.messagesIn(u".Drafts"_s);
        compose({}, u"Nothing yet"_s, {});
        prompter.dialogScript(chooseFolder(u"Drafts"_s));
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdSave));
        const QStringList after = m_work.messagesIn(u".Drafts"_s);
        QCOMPARE(after.size(), before.size() + 1);
        QVERIFY(std::any_of(after.begin(), after.end(), [](const QString& f) {
            return plainPart(fileText(f)).contains("Saved! Empty of text");
        }));
    }

    void postToAFolder()
    {
        ScriptedPrompter prompter;
        const int sent = m_sink->count();
        compose({}, u"Team notes"_s, u"Posted, not sent.\n"_s);
        prompter.dialogScript(chooseFolder(u"Projects"_s));
        QVERIFY(m_work.router().execute(OutgoingLifecycle::kCmdPost));
        const QStringList posted = m_work.messagesIn(u".Projects"_s);
        QCOMPARE(posted.size(), 1);
        QVERIFY(fileText(posted.first()).contains("Posted, not sent."));
        QCOMPARE(state().mode(), OutgoingMode::None);
        QCOMPARE(m_sink->count(), sent);
    }
};

QTEST_MAIN(TestSending)
#include "tst_sending.moc"
