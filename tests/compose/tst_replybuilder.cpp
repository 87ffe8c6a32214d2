// Reply, reply all and forward built from messages of a real Maildir: the outgoing body by
// display option and format, the recipients answered, the built message and the refusals.
#include "ComposeTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/ComposeController.h"
#include "compose/QuoteText.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "mail/MapiRows.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace vantrel;
using namespace vantrel::compose;

namespace {

const QByteArray kThreadIndex = "AdmgowABESIzRFVmd4iZqrvM3e7/AA==";
const char* const kFile = "Maildir/cur/170954460%1.M%1P1Q1.host:2,S"; // the messages, by index

// The "Send Email" boxes streamed as the view streams them: the selection when there is one,
// plain text with "\r\n" line ends, RTF written from and read into the box.
class ViewHost : public composetest::TestComposeHost
{
public:
    void streamTextOut(int controlId, QString& text, int rich) override
    {
        const QTextEdit& box = controlId == kReadBox ? read : body;
        const QTextCursor cursor = box.textCursor();
        if (rich) {
            text = cursor.hasSelection() ? vnt::rtf::writeRtf(cursor)
                                         : vnt::rtf::writeRtf(*box.document());
            return;
        }
        text = cursor.hasSelection() ? cursor.selectedText() : box.toPlainText();
        text.replace(QChar::ParagraphSeparator, u'\n').replace(u"\n"_s, u"\r\n"_s);
    }
    void streamTextIn(int controlId, bool atSelection, const QString& text, int rich) override
    {
        QTextEdit& box = controlId == kReadBox ? read : body;
        const QString plain = QString(text).replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
        const bool isRtf = rich && text.startsWith(u"{\\rtf");
        QTextCursor cursor = box.textCursor();
        if (atSelection && isRtf)
            vnt::rtf::insertRtf(text, cursor);
        else if (atSelection)
            cursor.insertText(plain);
        else if (isRtf)
            vnt::rtf::readRtf(QStringView(text), box.document());
        else
            box.setPlainText(plain);
    }
};

QByteArray message(const QByteArray& headers, const QByteArray& body = "\r\nIt jams.\r\n")
{
    return headers + "Date: Mon, 04 Mar 2024 09:00:00 +0000\r\nMIME-Version: 1.0\r\n" + body;
}

} // namespace

class TestReplyBuilder : public QObject
{
    Q_OBJECT

    composetest::MailFixture m_mail;
    ViewHost m_host;
    std::unique_ptr<ComposeController> m_compose;

    OutgoingState& state() { return m_compose->state(); }
    const vntmapi::EntryPoints& api() { return m_mail.mail->session().api(); }

    // No outgoing message, the body holding what the user typed, `option` and `format` set,
    // and the message showing `subject` selected (none when empty).
    bool reset(const QString& subject, int option = 2, int format = 0)
    {
        state().StopOutgoing(true);
        m_host.body.setPlainText(u"Earlier text"_s);
        m_host.format = format;
        m_mail.doc->setIntSetting(ReplyDisplayOptions, option);
        m_mail.list.selectionModel()->clear();
        return subject.isEmpty() || composetest::selectRows(m_mail.list, {subject});
    }
    // Runs a command on the selected message; forwarding cancels the address dialog.
    void run(int command)
    {
        if (command != ReplyBuilder::kCmdForward) {
            m_compose->replies().OnReply(command == ReplyBuilder::kCmdReply ? ReplyToSender
                                                                            : ReplyToAll);
            return;
        }
        QTimer::singleShot(0, this, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        m_compose->replies().BuildForward();
    }
    ULONG attachmentCount()
    {
        MapiPtr<IMAPITable> table;
        mail::Rows rows(api());
        if (FAILED(state().message()->GetAttachmentTable(0, table.put())) ||
            FAILED(mail::QueryAllRows(table.get(), {PR_ATTACH_NUM}, &rows)))
            return ULONG(-1);
        return rows.count();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QList<QByteArray> messages = {
            message("From: Ann Lee <ann@example.org>\r\n"
                    "To: Sam Support <sam@example.com>, Tom <tom@example.org>\r\n"
                    "Cc: Carl <carl@example.org>, Dora Diaz <dora@example.org>\r\n"
                    "Subject: Printer jams\r\nMessage-ID: <m1@example.org>\r\n"
                    "References: <m0@example.org>\r\nThread-Index: " +
                        kThreadIndex + "\r\nContent-Type: multipart/mixed; boundary=b\r\n",
                    "\r\n--b\r\nContent-Type: text/plain\r\n\r\nIt jams.\r\n--b\r\n"
                    "Content-Type: application/octet-stream; name=log.bin\r\n"
                    "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n--b--\r\n"),
            message("From: Ann Lee <ann@example.org>\r\n"
                    "To: Sam Support <sam@example.com>, Tom <tom@example.org>\r\n"
                    "Reply-To: Help Desk <desk@example.org>, Bo <bo@example.org>, "
                    "=?UTF-8?Q?Zo=C3=AB_Quinn?= <zoe@example.org>\r\nSubject: Licence question\r\n"
                    "Message-ID: <m2@example.org>\r\nIn-Reply-To: <x1@example.org>\r\n"),
            message(
                "From: Boss Person <boss@example.org>\r\nSender: Assistant <asst@example.org>\r\n"
                "To: Sam Support <sam@example.com>\r\nSubject: Invoice\r\n"),
            message("From: Gone <gone@example.org>\r\nTo: Sam Support <sam@example.com>\r\n"
                    "Subject: Gone soon\r\n"),
        };
        for (qsizetype i = 0; i < messages.size(); ++i)
            QVERIFY(mailtest::writeFile(m_mail.path(kFile).arg(i), messages.at(i)));
        QVERIFY(m_mail.setUp());
        m_compose = std::make_unique<ComposeController>(*m_mail.mail, m_host);
        m_host.read.setHtml(u"<p>It <b>jams</b>.</p><p>Every morning.</p>"_s);
    }

    void quoteText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rich");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain lines") << u"a\r\n\r\nb\rc\n"_s << false << u">a\r\n>b\r\n>c\r\n"_s;
        QTest::newRow("plain empty") << QString() << false << QString();
        QTest::newRow("rtf taken as plain in plain format")
            << u"{\\rtf1 x}"_s << false << u">{\\rtf1 x}\r\n"_s;
        QTest::newRow("rich paragraphs") << u"{\\rtf1\\pard one\\par two\\par}"_s << true
                                         << u"{\\rtf1\\pard> one\\par> two\\par}"_s;
        QTest::newRow("space before a control word skipped")
            << u"{\\rtf1\\pard \\b bold\\b0\\par}"_s << true
            << u"{\\rtf1\\pard \\b> bold\\b0\\par}"_s;
        QTest::newRow("only the first pard, whole words, escaped backslash")
            << u"{\\rtf1\\pardeftab720\\pard a \\\\par b\\pard c\\par d}"_s << true
            << u"{\\rtf1\\pardeftab720\\pard> a \\\\par b\\pard c\\par> d}"_s;
        QTest::newRow("rest kept without a place for the prefix")
            << u"{\\rtf1\\pard x\\par\r\n}"_s << true << u"{\\rtf1\\pard> x\\par\r\n}"_s;
    }
    void quoteText()
    {
        QFETCH(QString, text);
        QFETCH(bool, rich);
        QTEST(QuoteText(text, u'>', rich), "quoted");
    }

    void decodeOneOff_data()
    {
        // The 8-bit example of the one-off layout: "Bob", "SMTP", "bob@x.org".
        const QByteArray bob =
            QByteArray::fromHex("00000000812B1FA4BEA310199D6E00DD010F5402"
                                "00000000426F6200534D545000626F6240782E6F726700");
        QByteArray wide = bob.left(22) + QByteArray::fromHex("0080");
        for (const QChar c : u"Zoë\0SMTP\0z@x.org\0"_s)
            wide += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("decoded"); // empty: refused
        QTest::newRow("8-bit") << bob << u"Bob <bob@x.org> SMTP"_s;
        QTest::newRow("unicode") << wide << u"Zoë <z@x.org> SMTP"_s;
        QTest::newRow("other identifier") << QByteArray(bob).replace(4, 1, "\x82") << QString();
        QTest::newRow("cut short") << bob.chopped(1) << QString();
        QTest::newRow("unicode cut inside a terminator") << wide.chopped(1) << QString();
        QTest::newRow("header only") << bob.left(20) << QString();
    }
    void decodeOneOff()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, decoded);
        QString name, address, type;
        QCOMPARE(DecodeOneOff(entry, &name, &address, &type), !decoded.isEmpty());
        if (!decoded.isEmpty())
            QCOMPARE(u"%1 <%2> %3"_s.arg(name, address, type), decoded);
    }

    void replyBody_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("selection"); // selected in the read box
        QTest::addColumn<QString>("tail");      // what the body ends with
        for (int format : {0, 1}) {
            const char* name = format ? "rich" : "plain";
            QTest::addRow("1 %s", name) << 1 << format << QString() << u"Earlier text"_s;
            QTest::addRow("2 %s", name) << 2 << format << QString() << QString();
            QTest::addRow("3 %s", name)
                << 3 << format << QString() << u"\nIt jams.\nEvery morning."_s;
            QTest::addRow("3 %s selection", name)
                << 3 << format << u"Every morning"_s << u"\nEvery morning"_s;
            QTest::addRow("4 %s", name) << 4 << format << QString() << u"Every morning."_s;
        }
    }
    void replyBody()
    {
        QFETCH(int, option);
        QFETCH(int, format);
        QFETCH(QString, selection);
        QFETCH(QString, tail);
        QVERIFY(reset(u"Printer jams"_s, option, format));
        const QTextCursor found = m_host.read.document()->find(selection);
        m_host.read.setTextCursor(selection.isEmpty() ? QTextCursor(m_host.read.document())
                                                      : found);
        ScriptedPrompter prompter;
        m_compose->replies().OnReply(ReplyToSender);
        QVERIFY(prompter.notices().isEmpty());
        QString body = m_host.body.toPlainText();
        if (option == 4 && body.endsWith(u'\n')) // each quoted line ends with its line end
            body.chop(1);
        QVERIFY2(body.endsWith(tail), qPrintable(body));
        if (option == 1)
            return;
        for (const QString& line :
             {u"------------- Original Message -------------"_s,
              u"From: Ann Lee [mailto:ann@example.org]"_s, u"Subject: Printer jams"_s})
            QVERIFY2(body.contains(line), qPrintable(line));
        QVERIFY(!body.contains(u"Earlier text"_s));
        QCOMPARE(body.contains(u"It jams"_s), option == 4 || (option == 3 && selection.isEmpty()));
        for (const QString& line : body.split(u'\n'))
            QVERIFY2(option != 4 || line.startsWith(u'>') || (format && line.isEmpty()),
                     qPrintable(line));
        // Rich text keeps the read message's formatting.
        if (format && body.contains(u"It jams"_s))
            QCOMPARE(m_host.body.document()->find(u"It jams"_s).charFormat().fontWeight(),
                     int(QFont::Bold));
    }

    // Reply, reply all and forward: who is answered (and shown in the To and Cc boxes), and the
    // message built, read back through the store as it is saved and sent. A reply answers the
    // last of the references.
    void answer_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("pending"); // "name <address> type"
        QTest::addColumn<QString>("references");
        QTest::addColumn<int>("attachments"); // "Add attachment to FW msg", and how many come
        const QString jams = u"Printer jams"_s, licence = u"Licence question"_s;
        const QString jamsThread = u"<m0@example.org> <m1@example.org>"_s;
        const QString licenceThread = u"<x1@example.org> <m2@example.org>"_s;
        const QString ann = u"Ann Lee <ann@example.org> 1"_s;
        const QStringList replyTo = {u"Help Desk <desk@example.org> 1"_s,
                                     u"Bo <bo@example.org> 1"_s,
                                     u"Zoë Quinn <zoe@example.org> 1"_s};
        const QStringList all = {ann, u"Carl <carl@example.org> 2"_s,
                                 u"Dora Diaz <dora@example.org> 2"_s};
        const int reply = ReplyBuilder::kCmdReply, replyAll = ReplyBuilder::kCmdReplyAll;
        const int forward = ReplyBuilder::kCmdForward;
        QTest::newRow("sender") << jams << reply << QStringList{ann} << jamsThread << 0;
        QTest::newRow("reply-to list") << licence << reply << replyTo << licenceThread << 0;
        QTest::newRow("represented, without message id")
            << u"Invoice"_s << reply << QStringList{u"Boss Person <boss@example.org> 1"_s} << u""_s
            << 0;
        QTest::newRow("all with cc") << jams << replyAll << all << jamsThread << 0;
        QTest::newRow("all without cc") << licence << replyAll << replyTo << licenceThread << 0;
        QTest::newRow("forward") << jams << forward << QStringList{} << jamsThread << 0;
        QTest::newRow("forward with attachments")
            << jams << forward << QStringList{} << jamsThread << 1;
    }
    void answer()
    {
        QFETCH(QString, subject);
        QFETCH(int, command);
        QFETCH(QString, references);
        QFETCH(int, attachments);
        QVERIFY(reset(subject));
        m_mail.doc->setIntSetting(AddAttachmentToForward, attachments);
        ScriptedPrompter prompter;
        run(command);
        QVERIFY(prompter.notices().isEmpty());
        const bool forward = command == ReplyBuilder::kCmdForward;
        QCOMPARE(state().mode(), forward                              ? OutgoingMode::Forwarding
                                 : command == ReplyBuilder::kCmdReply ? OutgoingMode::Replying
                                                                      : OutgoingMode::ReplyingAll);
        const QString expectedSubject = (forward ? u"FW: "_s : u"RE: "_s) + subject;
        QCOMPARE(m_host.subject.text(), expectedSubject);
        QCOMPARE(m_host.shown.last(), forward ? ComposeHost::kToBox : ComposeHost::kOutgoingBox);
        QStringList rows;
        QHash<ULONG, QString> boxes; // the names in each box, by recipient type
        for (ULONG i = 0; i < state().pending().count(); ++i) {
            const RecipientRow row = state().pending().row(i);
            const ULONG type = row.recipientType.value_or(0);
            rows << u"%1 <%2> %3"_s.arg(row.displayName, row.address).arg(type);
            boxes[type] += row.displayName + u';';
            // Each is reached at the address shown: the entry identifier is what is sent to.
            QString name, address;
            QVERIFY(DecodeOneOff(row.entryId, &name, &address));
            QCOMPARE(address, row.address);
        }
        QTEST(rows, "pending");
        QCOMPARE(m_host.to.toPlainText(), boxes.value(MAPI_TO));
        QCOMPARE(m_host.cc.toPlainText(), boxes.value(MAPI_CC));

        IMessage* outgoing = state().message();
        QVERIFY(outgoing && SUCCEEDED(outgoing->SaveChanges(KEEP_OPEN_READWRITE)));
        QCOMPARE(attachmentCount(), ULONG(attachments));
        const QByteArray id = mail::PropsRead(api(), outgoing, {PR_ENTRYID}).id(PR_ENTRYID);
        MapiPtr<IMessage> stored;
        ULONG type = 0;
        QCOMPARE(m_mail.mail->session().store(0)->OpenEntry(
                     mail::EntryIdSize(id), mail::EntryIdData(id), nullptr, MAPI_BEST_ACCESS, &type,
                     stored.putUnknown()),
                 S_OK);
        const mail::PropsRead props(api(), stored.get(),
                                    {PR_SUBJECT, PR_MESSAGE_CLASS, PR_CONVERSATION_TOPIC,
                                     PR_CONVERSATION_INDEX, PR_IN_REPLY_TO_ID,
                                     PR_INTERNET_REFERENCES});
        QCOMPARE(props.text(PR_SUBJECT), expectedSubject);
        QCOMPARE(props.text(PR_MESSAGE_CLASS), u"IPM.Note"_s);
        QCOMPARE(props.text(PR_CONVERSATION_TOPIC), subject);
        QCOMPARE(props.text(PR_IN_REPLY_TO_ID), forward ? u""_s : references.section(u' ', -1));
        QCOMPARE(props.text(PR_INTERNET_REFERENCES), references);
        // A child of the answered message's conversation index, or a new conversation.
        const QByteArray parent =
            subject == u"Printer jams"_s ? QByteArray::fromBase64(kThreadIndex) : QByteArray();
        const QByteArray index = props.id(PR_CONVERSATION_INDEX);
        QCOMPARE(index.size(), parent.isEmpty() ? 22 : parent.size() + 5);
        QVERIFY(index.startsWith(parent));
    }

    // Each refusal tells why, and leaves the mode and the text the user had in the box.
    void refusals_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("subject"); // selected; nothing when empty
        QTest::addColumn<QList<int>>("notices");
        using M = OutgoingMode;
        const auto row = [](const char* name, M mode, int command, const QString& subject,
                            const QList<int>& notices) {
            QTest::newRow(name) << int(mode) << command << subject << notices;
        };
        const int reply = ReplyBuilder::kCmdReply, all = ReplyBuilder::kCmdReplyAll;
        const int forward = ReplyBuilder::kCmdForward;
        const QString jams = u"Printer jams"_s;
        row("reply while replying", M::Replying, reply, jams, {20005});
        row("reply all while replying all", M::ReplyingAll, all, jams, {20005});
        row("reply while composing", M::Composing, reply, jams, {20006});
        row("reply while forwarding", M::Forwarding, reply, jams, {20007});
        row("forward while forwarding", M::Forwarding, forward, jams, {20036});
        row("forward while replying", M::Replying, forward, jams, {20133});
        row("forward while composing", M::Composing, forward, jams, {20133});
        row("reply without selection", M::None, reply, {}, {20010});
        row("forward without selection", M::None, forward, {}, {20082});
        // Its file removed after the list showed it.
        row("message gone", M::None, reply, u"Gone soon"_s, {20011, 20013});
    }
    void refusals()
    {
        QFETCH(int, mode);
        QFETCH(int, command);
        QFETCH(QString, subject);
        QFETCH(QList<int>, notices);
        QVERIFY(reset(subject));
        if (subject == u"Gone soon")
            QVERIFY(QFile::remove(m_mail.path(kFile).arg(3)));
        state().setMode(OutgoingMode(mode));
        ScriptedPrompter prompter;
        run(command);
        QCOMPARE(prompter.notices().size(), notices.size());
        for (qsizetype i = 0; i < notices.size(); ++i)
            QCOMPARE(prompter.notices().at(i).text, MessageText(notices.at(i)));
        QCOMPARE(int(state().mode()), mode);
        QVERIFY(!state().message());
        QCOMPARE(m_host.body.toPlainText(), u"Earlier text"_s);
    }

    // Each command is enabled while logged on with no outgoing message or one of its own.
    void commandStates()
    {
        CommandRouter router;
        m_compose->replies().bindCommands(router);
        using M = OutgoingMode;
        const QList<std::pair<int, M>> own = {{ReplyBuilder::kCmdReply, M::Replying},
                                              {ReplyBuilder::kCmdReplyAll, M::ReplyingAll},
                                              {ReplyBuilder::kCmdForward, M::Forwarding}};
        for (M mode : {M::None, M::Composing, M::Replying, M::ReplyingAll, M::Forwarding}) {
            state().setMode(mode);
            for (const auto& [id, allowed] : own)
                QCOMPARE(router.state(id).enabled, mode == M::None || mode == allowed);
        }
        state().setMode(M::None);
    }
};

QTEST_MAIN(TestReplyBuilder)
#include "tst_replybuilder.moc"
