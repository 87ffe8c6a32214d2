// Reply, reply all and forward built from messages of a real Maildir: the outgoing body by
// display option and format, the recipients answered, the properties and threading headers of
// the built message, attachments of a forward, and the refusals; quoting and one-off entries
// as tables.
#include "ComposeTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/ComposeController.h"
#include "compose/QuoteText.h"
#include "compose/ReplyBuilder.h"
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

QByteArray message(const QByteArray& headers, const QByteArray& body = "It jams.\r\n")
{
    return headers + "MIME-Version: 1.0\r\n" + body;
}

// Cancels the address dialog the next modal loop shows.
void cancelAddressDialog(QObject* context)
{
    QTimer::singleShot(0, context, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
}

} // namespace

class TestReplyBuilder : public QObject
{
    Q_OBJECT

    composetest::MailFixture m_mail;
    ViewHost m_host;
    std::unique_ptr<ComposeController> m_compose;
    std::unique_ptr<ReplyBuilder> m_builder;

    OutgoingState& state() { return m_compose->state(); }
    const vntmapi::EntryPoints& api() { return m_mail.mail->session().api(); }

    bool select(const QString& subject)
    {
        QAbstractItemModel* model = m_mail.list.model();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                if (model->index(row, column).data().toString() != subject)
                    continue;
                m_mail.list.selectionModel()->setCurrentIndex(model->index(row, 0),
                                                              QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
                return true;
            }
        }
        return false;
    }
    // No outgoing message, the body holding what the user typed, `option` and `format` set.
    void reset(int option = 2, int format = 0)
    {
        state().StopOutgoing(true);
        m_host.body.setPlainText(u"Earlier text"_s);
        m_host.format = format;
        m_mail.doc->setIntSetting(ReplyDisplayOptions, option);
        m_mail.doc->setIntSetting(AddAttachmentToForward, 0);
    }
    QStringList pendingRows()
    {
        QStringList rows;
        for (ULONG i = 0; i < state().pending().count(); ++i) {
            const RecipientRow row = state().pending().row(i);
            rows.append(u"%1 <%2> %3"_s.arg(row.displayName, row.address)
                            .arg(row.recipientType.value_or(0)));
        }
        return rows;
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
        const QList<std::pair<const char*, QByteArray>> messages = {
            {"1709544600.M1P1Q1.host:2,S",
             message("From: Ann Lee <ann@example.org>\r\n"
                     "To: Sam Support <sam@example.com>, Tom <tom@example.org>\r\n"
                     "Cc: Carl <carl@example.org>, Dora Diaz <dora@example.org>\r\n"
                     "Subject: Printer jams\r\nDate: Mon, 04 Mar 2024 09:00:00 +0000\r\n"
                     "Message-ID: <m1@example.org>\r\nReferences: <m0@example.org>\r\n"
                     "Thread-Index: " +
                         kThreadIndex + "\r\nContent-Type: multipart/mixed; boundary=b\r\n",
                     "\r\n--b\r\nContent-Type: text/plain\r\n\r\nIt jams.\r\n"
                     "--b\r\nContent-Type: application/octet-stream; name=log.bin\r\n"
                     "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n--b--\r\n")},
            {"1709544700.M2P1Q1.host:2,S",
             message("From: Ann Lee <ann@example.org>\r\n"
                     "To: Sam Support <sam@example.com>, Tom <tom@example.org>\r\n"
                     "Reply-To: Help Desk <desk@example.org>, Bo <bo@example.org>, "
                     "=?UTF-8?Q?Zo=C3=AB_Quinn?= <zoe@example.org>\r\n"
                     "Subject: Licence question\r\nDate: Mon, 04 Mar 2024 10:00:00 +0000\r\n"
                     "Message-ID: <m2@example.org>\r\nIn-Reply-To: <x1@example.org>\r\n"
                     "Content-Type: text/plain\r\n\r\n")},
            {"1709544800.M3P1Q1.host:2,S",
             message("From: Boss Person <boss@example.org>\r\n"
                     "Sender: Assistant <asst@example.org>\r\nTo: Sam Support <sam@example.com>\r\n"
                     "Subject: Invoice\r\nDate: Mon, 04 Mar 2024 11:00:00 +0000\r\n"
                     "Content-Type: text/plain\r\n\r\n")},
            {"1709544900.M4P1Q1.host:2,S",
             message("From: Gone <gone@example.org>\r\nTo: Sam Support <sam@example.com>\r\n"
                     "Subject: Gone soon\r\nDate: Mon, 04 Mar 2024 12:00:00 +0000\r\n"
                     "Content-Type: text/plain\r\n\r\n")},
        };
        for (const auto& [name, content] : messages) {
            QVERIFY(mailtest::writeFile(m_mail.path("Maildir/cur/") + QLatin1StringView(name),
                                        content));
        }
        QVERIFY(m_mail.setUp());
        m_compose = std::make_unique<ComposeController>(*m_mail.mail, m_host);
        m_builder = std::make_unique<ReplyBuilder>(state(), m_compose->addressBook(),
                                                   m_compose->recipients());
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
        QFETCH(QString, quoted);
        QCOMPARE(QuoteText(text, u'>', rich), quoted);
    }

    void decodeOneOff_data()
    {
        // The 8-bit example of the one-off layout: "Bob", "SMTP", "bob@x.org".
        const QByteArray bob =
            QByteArray::fromHex("00000000812B1FA4BEA310199D6E00DD010F5402"
                                "00000000426F6200534D545000626F6240782E6F726700");
        QByteArray wide = bob.left(22) + QByteArray::fromHex("0080");
        for (const QString& text : {u"Zoë"_s, u"SMTP"_s, u"z@x.org"_s}) {
            for (const QChar c : text + QChar(0))
                wide += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
        }
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
        const bool ok = DecodeOneOff(entry, &name, &address, &type);
        QCOMPARE(ok, !decoded.isEmpty());
        if (ok)
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
        reset(option, format);
        QTextCursor cursor = m_host.read.document()->find(selection);
        m_host.read.setTextCursor(selection.isEmpty() ? QTextCursor(m_host.read.document())
                                                      : cursor);
        QVERIFY(select(u"Printer jams"_s));
        ScriptedPrompter prompter;
        m_builder->OnReply(ReplyToSender);
        QVERIFY(prompter.notices().isEmpty());
        QCOMPARE(state().mode(), OutgoingMode::Replying);
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
        if (option == 4) {
            const QStringList lines = body.split(u'\n');
            for (const QString& line : lines)
                QVERIFY2(line.startsWith(u'>') || (format && line.isEmpty()), qPrintable(line));
        }
        // Rich text keeps the read message's formatting.
        if (format && body.contains(u"It jams"_s)) {
            const QTextCursor bold = m_host.body.document()->find(u"It jams"_s);
            QCOMPARE(bold.charFormat().fontWeight(), int(QFont::Bold));
        }
    }

    void replyRecipients_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("pending");
        QTest::addColumn<QString>("cc"); // the Cc box
        const QString ann = u"Ann Lee <ann@example.org> 1"_s;
        const QStringList replyTo = {u"Help Desk <desk@example.org> 1"_s,
                                     u"Bo <bo@example.org> 1"_s,
                                     u"Zoë Quinn <zoe@example.org> 1"_s};
        QTest::newRow("sender") << u"Printer jams"_s << int(ReplyToSender) << QStringList{ann}
                                << QString();
        QTest::newRow("reply-to list")
            << u"Licence question"_s << int(ReplyToSender) << replyTo << QString();
        QTest::newRow("represented")
            << u"Invoice"_s << int(ReplyToSender)
            << QStringList{u"Boss Person <boss@example.org> 1"_s} << QString();
        QTest::newRow("all with cc")
            << u"Printer jams"_s << int(ReplyToAll)
            << QStringList{ann, u"Carl <carl@example.org> 2"_s, u"Dora Diaz <dora@example.org> 2"_s}
            << u"Carl;Dora Diaz;"_s;
        QTest::newRow("all without cc")
            << u"Licence question"_s << int(ReplyToAll) << replyTo << QString();
    }
    void replyRecipients()
    {
        QFETCH(QString, subject);
        QFETCH(int, kind);
        QFETCH(QStringList, pending);
        QFETCH(QString, cc);
        reset();
        QVERIFY(select(subject));
        ScriptedPrompter prompter;
        m_builder->OnReply(kind);
        QVERIFY(prompter.notices().isEmpty());
        QCOMPARE(pendingRows(), pending);
        // Each answered person is reached at the address shown (the entry identifier is
        // what the message goes to).
        for (ULONG i = 0; i < state().pending().count(); ++i) {
            const RecipientRow row = state().pending().row(i);
            QString name, address;
            QVERIFY(DecodeOneOff(row.entryId, &name, &address));
            QCOMPARE(address, row.address);
        }
        QString to;
        for (const QString& row : pending)
            to += row.endsWith(u" 1"_s) ? row.section(u" <"_s, 0, 0) + u';' : QString();
        QCOMPARE(m_host.to.toPlainText(), to);
        QCOMPARE(m_host.cc.toPlainText(), cc);
        QCOMPARE(m_host.shown.last(), ComposeHost::kOutgoingBox);
    }

    void builtMessage_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("attachments"); // "Add attachment to FW msg", and how many come
        QTest::addColumn<QString>("inReplyTo");
        QTest::addColumn<QString>("references");
        const QString jamsThread = u"<m0@example.org> <m1@example.org>"_s;
        QTest::newRow("reply") << u"Printer jams"_s << false << 0 << u"<m1@example.org>"_s
                               << jamsThread;
        QTest::newRow("reply without references")
            << u"Licence question"_s << false << 0 << u"<m2@example.org>"_s
            << u"<x1@example.org> <m2@example.org>"_s;
        QTest::newRow("reply to a message without id")
            << u"Invoice"_s << false << 0 << QString() << QString();
        QTest::newRow("forward") << u"Printer jams"_s << true << 0 << QString() << jamsThread;
        QTest::newRow("forward with attachments")
            << u"Printer jams"_s << true << 1 << QString() << jamsThread;
    }
    void builtMessage()
    {
        QFETCH(QString, subject);
        QFETCH(bool, forward);
        QFETCH(int, attachments);
        QFETCH(QString, inReplyTo);
        QFETCH(QString, references);
        reset();
        m_mail.doc->setIntSetting(AddAttachmentToForward, attachments);
        QVERIFY(select(subject));
        ScriptedPrompter prompter;
        if (forward) {
            cancelAddressDialog(this);
            m_builder->BuildForward();
        } else {
            m_builder->OnReply(ReplyToSender);
        }
        QVERIFY(prompter.notices().isEmpty());
        QCOMPARE(state().mode(), forward ? OutgoingMode::Forwarding : OutgoingMode::Replying);
        const QString expectedSubject = (forward ? u"FW: "_s : u"RE: "_s) + subject;
        QCOMPARE(m_host.subject.text(), expectedSubject);
        QCOMPARE(m_host.shown.last(), forward ? ComposeHost::kToBox : ComposeHost::kOutgoingBox);
        // Read back through the store, as the message is saved and sent.
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
        QCOMPARE(props.text(PR_IN_REPLY_TO_ID), inReplyTo);
        QCOMPARE(props.text(PR_INTERNET_REFERENCES), references);
        // A child of the answered message's conversation index, or a new conversation.
        const QByteArray parent =
            subject == u"Printer jams"_s ? QByteArray::fromBase64(kThreadIndex) : QByteArray();
        const QByteArray index = props.id(PR_CONVERSATION_INDEX);
        QCOMPARE(index.size(), parent.isEmpty() ? 22 : parent.size() + 5);
        QVERIFY(index.startsWith(parent));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("notice");
        using M = OutgoingMode;
        const int reply = ReplyBuilder::kCmdReply;
        const int all = ReplyBuilder::kCmdReplyAll;
        const int forward = ReplyBuilder::kCmdForward;
        QTest::newRow("reply while replying") << int(M::Replying) << reply << true << 20005;
        QTest::newRow("reply all while replying all")
            << int(M::ReplyingAll) << all << true << 20005;
        QTest::newRow("reply while composing") << int(M::Composing) << reply << true << 20006;
        QTest::newRow("reply while forwarding") << int(M::Forwarding) << reply << true << 20007;
        QTest::newRow("forward while forwarding") << int(M::Forwarding) << forward << true << 20036;
        QTest::newRow("forward while replying") << int(M::Replying) << forward << true << 20133;
        QTest::newRow("forward while composing") << int(M::Composing) << forward << true << 20133;
        QTest::newRow("reply without selection") << int(M::None) << reply << false << 20010;
        QTest::newRow("forward without selection") << int(M::None) << forward << false << 20082;
    }
    void refusals()
    {
        QFETCH(int, mode);
        QFETCH(int, command);
        QFETCH(bool, selected);
        QFETCH(int, notice);
        reset();
        if (selected)
            QVERIFY(select(u"Printer jams"_s));
        else
            m_mail.list.selectionModel()->clear();
        state().setMode(OutgoingMode(mode));
        ScriptedPrompter prompter;
        if (command == ReplyBuilder::kCmdForward)
            m_builder->BuildForward();
        else
            m_builder->OnReply(command == ReplyBuilder::kCmdReply ? ReplyToSender : ReplyToAll);
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().text, MessageText(notice));
        QCOMPARE(int(state().mode()), mode);
        QVERIFY(!state().message());
        QCOMPARE(m_host.body.toPlainText(), u"Earlier text"_s);
    }

    // Each command is enabled while logged on with no outgoing message or one of its own.
    void commandStates()
    {
        CommandRouter router;
        m_builder->bindCommands(router);
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

    // A message that went away is told, and the text the user had in the box stays.
    void sourceGone()
    {
        reset(2);
        QVERIFY(select(u"Gone soon"_s));
        QVERIFY(QFile::remove(m_mail.path("Maildir/cur/1709544900.M4P1Q1.host:2,S")));
        ScriptedPrompter prompter;
        m_builder->OnReply(ReplyToSender);
        QCOMPARE(prompter.notices().size(), 2);
        QCOMPARE(prompter.notices().first().text, MessageText(20011));
        QCOMPARE(prompter.notices().last().text, MessageText(20013));
        QCOMPARE(state().mode(), OutgoingMode::None);
        QVERIFY(!state().message());
        QCOMPARE(m_host.body.toPlainText(), u"Earlier text"_s);
    }
};

QTEST_MAIN(TestReplyBuilder)
#include "tst_replybuilder.moc"
