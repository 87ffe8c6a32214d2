// The outgoing body and the property sets written into a real store, read back through it; the
// options dialog; and the format and options commands.
#include "ComposeTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/BodyWriter.h"
#include "compose/ComposeController.h"
#include "compose/MessageOptionsDialog.h"
#include "core/CommandRouter.h"
#include "mail/MapiRows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QtTest>
#include <array>

using namespace vantrel;
using namespace vantrel::compose;
using namespace Qt::StringLiterals;

namespace {

// Streams the outgoing body as the view does: only the selection when there is one. "second"
// is selected.
class ViewLikeHost : public composetest::TestComposeHost
{
public:
    ViewLikeHost()
    {
        body.setPlainText(u"Plain words\nsecond line"_s);
        QTextCursor second = body.textCursor();
        second.setPosition(12);
        second.setPosition(18, QTextCursor::KeepAnchor);
        body.setTextCursor(second);
        rtfOut[kOutgoingBox] = u"{\\rtf1\\ansi {\\b Rich} words\\par}"_s;
    }
    void streamTextOut(int controlId, QString& text, int rich) override
    {
        if (!rich && body.textCursor().hasSelection())
            text = body.textCursor().selectedText();
        else
            TestComposeHost::streamTextOut(controlId, text, rich);
    }
};

// A new outgoing message in the Outbox of a logged-on store, and the format commands.
struct Compose
{
    bool setUp(bool richStore = false)
    {
        if (!fixture.setUp(richStore ? "RichText=true\n" : QByteArray()))
            return false;
        compose = std::make_unique<ComposeController>(*fixture.mail, host);
        state = &compose->state();
        commands = &compose->bodyFormat();
        return state->OpenOutbox() && state->CreateOutgoingMessage();
    }
    const vntmapi::EntryPoints& api() { return fixture.mail->session().api(); }
    IMsgStore* store() { return fixture.mail->session().store(0); }
    // The outgoing message as the store holds it.
    MapiPtr<IMessage> stored()
    {
        QByteArray id = mail::PropsRead(api(), state->message(), {PR_ENTRYID}).id(PR_ENTRYID);
        MapiPtr<IMessage> message;
        ULONG type = 0;
        store()->OpenEntry(mail::EntryIdSize(id), mail::EntryIdData(id), nullptr, MAPI_BEST_ACCESS,
                           &type, message.putUnknown());
        return message;
    }
    QByteArray storedRtf(IMessage* message)
    {
        MapiPtr<IStream> compressed, rtf;
        QByteArray all(65536, '\0');
        ULONG read = 0;
        if (SUCCEEDED(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0,
                                            compressed.putUnknown())) &&
            SUCCEEDED(api().WrapCompressedRTFStream(compressed.get(), 0, rtf.put())))
            rtf->Read(all.data(), ULONG(all.size()), &read);
        return all.left(qsizetype(read));
    }

    ScriptedPrompter prompter;
    composetest::MailFixture fixture;
    ViewLikeHost host;
    std::unique_ptr<ComposeController> compose;
    OutgoingState* state = nullptr;
    CommandRouter router;
    BodyFormatCommands* commands = nullptr;
};

bool flag(const mail::PropsRead& props, ULONG tag)
{
    const SPropValue* value = props.value(tag);
    return value && value->Value.b;
}

} // namespace

class TestBodyWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesBody_data()
    {
        QTest::addColumn<bool>("richStore");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QByteArray>("rtfPart");
        // The other body is built by RTFSync or by the store. Rich on a store with rich text
        // support writes only the RTF: the box's plain text is not what the body holds.
        for (bool richStore : {false, true}) {
            QTest::addRow("plain, rich store %d", richStore)
                << richStore << 0 << u"Plain words\nsecond line"_s
                << QByteArray("Plain words\\par");
            QTest::addRow("rich, rich store %d", richStore)
                << richStore << 1 << u"Rich words\n"_s << QByteArray("{\\b Rich} words");
        }
    }
    // The message takes the whole body, whatever is selected, and the selection stays.
    void writesBody()
    {
        QFETCH(bool, richStore);
        QFETCH(int, format);
        QFETCH(QString, body);
        QFETCH(QByteArray, rtfPart);
        Compose c;
        QVERIFY(c.setUp(richStore));
        QCOMPARE(c.fixture.mail->session().capabilities().richText, richStore);
        c.host.format = format;
        QVERIFY(WriteOutgoingBody(*c.state));
        MapiPtr<IMessage> stored = c.stored();
        const mail::PropsRead props(c.api(), stored.get(), {PR_BODY, PR_RTF_IN_SYNC});
        QCOMPARE(props.text(PR_BODY).remove(u'\r'), body);
        QVERIFY(c.storedRtf(stored.get()).contains(rtfPart));
        QVERIFY(flag(props, PR_RTF_IN_SYNC));
        QCOMPARE(c.host.body.textCursor().selectedText(), u"second"_s);
    }

    void emptyBodyFails()
    {
        Compose c;
        QVERIFY(c.setUp());
        c.host.body.clear();
        c.host.rtfOut.clear();
        for (int format : {0, 1}) {
            c.host.format = format;
            QVERIFY(!WriteOutgoingBody(*c.state));
            QVERIFY(!SetNewMessageProps(*c.state)); // the send stops at the properties
        }
        QVERIFY(!mail::PropsRead(c.api(), c.state->message(), {PR_BODY}).value(PR_BODY));
    }

    void propertySets_data()
    {
        QTest::addColumn<bool>("reply");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("subject");
        QTest::newRow("new, plain") << false << 0 << u"Prices"_s;
        QTest::newRow("new, rich, no subject") << false << 1 << QString();
        QTest::newRow("reply, rich") << true << 1 << u"RE: Prices"_s;
    }
    void propertySets()
    {
        QFETCH(bool, reply);
        QFETCH(int, format);
        QFETCH(QString, subject);
        Compose c;
        QVERIFY(c.setUp());
        c.host.format = format;
        c.host.subject.setText(subject);
        QVERIFY(reply ? SetReplyProps(*c.state) : SetNewMessageProps(*c.state));
        const mail::PropsRead props(c.api(), c.stored().get(),
                                    {PR_SUBJECT, PR_MESSAGE_CLASS, PR_SENTMAIL_ENTRYID,
                                     PR_SEND_RICH_INFO, PR_CONVERSATION_TOPIC,
                                     PR_CONVERSATION_INDEX, PR_BODY});
        QCOMPARE(props.text(PR_SUBJECT), subject);
        QCOMPARE(props.text(PR_MESSAGE_CLASS), u"IPM.Note"_s);
        const QByteArray sent = mail::PropsRead(c.api(), c.store(), {PR_IPM_SENTMAIL_ENTRYID})
                                    .id(PR_IPM_SENTMAIL_ENTRYID);
        QVERIFY(!sent.isEmpty());
        QCOMPARE(props.id(PR_SENTMAIL_ENTRYID), sent);
        QVERIFY(props.value(PR_SEND_RICH_INFO));
        QCOMPARE(flag(props, PR_SEND_RICH_INFO), format == 1);
        // A reply has its index (and topic) from the message it answers.
        QCOMPARE(props.id(PR_CONVERSATION_INDEX).size(), reply ? 0 : 22);
        if (!reply)
            QCOMPARE(props.text(PR_CONVERSATION_TOPIC), subject);
        QVERIFY(!props.text(PR_BODY).isEmpty());
    }

    // Sender and sent-for are both the logged-on identity. Read from the message as set: the
    // store fills in a saved message's missing sent-for itself.
    void senderProps()
    {
        Compose c;
        QVERIFY(c.setUp());
        QVERIFY(SetSenderProps(*c.state));
        mail::MapiBuffer<ENTRYID> identity(c.api());
        ULONG size = 0;
        QCOMPARE(c.fixture.mail->session().session()->QueryIdentity(&size, identity.put()), S_OK);
        const QByteArray id(reinterpret_cast<const char*>(identity.get()), qsizetype(size));
        for (auto [entry, name, address] :
             {std::array{PR_SENDER_ENTRYID, PR_SENDER_NAME, PR_SENDER_EMAIL_ADDRESS},
              std::array{PR_SENT_REPRESENTING_ENTRYID, PR_SENT_REPRESENTING_NAME,
                         PR_SENT_REPRESENTING_EMAIL_ADDRESS}}) {
            const mail::PropsRead props(c.api(), c.state->message(), {entry, name, address});
            QCOMPARE(props.id(entry), id);
            QCOMPARE(props.text(name), u"Sam Support"_s);
            QCOMPARE(props.text(address), u"sam@example.com"_s);
        }
    }

    void optionsDialogShows_data()
    {
        QTest::addColumn<int>("importance");
        QTest::addColumn<int>("sensitivity");
        QTest::addColumn<QString>("importanceText");
        QTest::addColumn<QString>("sensitivityText");
        QTest::newRow("new message") << 1 << 0 << u"Normal"_s << u"Not sensitive"_s;
        QTest::newRow("highest values") << 2 << 3 << u"High"_s << u"Confidential"_s;
        QTest::newRow("above the lists") << 3 << 4 << u"Normal"_s << u"Not sensitive"_s;
    }
    void optionsDialogShows()
    {
        QFETCH(int, importance);
        QFETCH(int, sensitivity);
        QFETCH(QString, importanceText);
        QFETCH(QString, sensitivityText);
        MessageOptionsDialog dialog(MessageOptions{importance, sensitivity, true});
        QCOMPARE(dialog.importanceBox()->currentText(), importanceText);
        QCOMPARE(dialog.sensitivityBox()->currentText(), sensitivityText);
        QVERIFY(dialog.readReceiptBox()->isChecked());
    }

    void optionsCommand()
    {
        Compose c;
        QVERIFY(c.setUp());
        c.commands->bindCommands(c.router);
        // A message made but not being composed has no options to change.
        QVERIFY(c.router.execute(BodyFormatCommands::kMessageOptions));
        QCOMPARE(c.prompter.notices().last().text, u"No message to change options for!"_s);

        c.state->setMode(OutgoingMode::Composing);
        c.prompter.dialogScript([](QDialog& dialog) {
            auto& options = dynamic_cast<MessageOptionsDialog&>(dialog);
            options.importanceBox()->setCurrentIndex(2);
            options.sensitivityBox()->setCurrentIndex(3);
            options.readReceiptBox()->setChecked(true);
            return int(QDialog::Accepted);
        });
        QVERIFY(c.router.execute(BodyFormatCommands::kMessageOptions));
        QCOMPARE(c.state->options().sensitivity, 3);
        const mail::PropsRead props(c.api(), c.state->message(),
                                    {PR_IMPORTANCE, PR_SENSITIVITY, PR_READ_RECEIPT_REQUESTED});
        QCOMPARE(props.number(PR_IMPORTANCE), 2u);
        QCOMPARE(props.number(PR_SENSITIVITY), 3u);
        QVERIFY(flag(props, PR_READ_RECEIPT_REQUESTED));

        c.state->setMessage({});
        QVERIFY(!c.router.state(BodyFormatCommands::kMessageOptions).enabled);
        QVERIFY(!SetMessageOptions(*c.state));
        QCOMPARE(c.prompter.notices().last().text, u"Unable to set outgoing message properties"_s);
    }

    void switchFormat_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("format"); // afterwards
        QTest::addColumn<int>("questions");
        QTest::newRow("no message") << int(OutgoingMode::None) << false << 1 << 0;
        QTest::newRow("composing, yes") << int(OutgoingMode::Composing) << true << 1 << 1;
        QTest::newRow("replying, no") << int(OutgoingMode::Replying) << false << 0 << 1;
    }
    void switchFormat()
    {
        QFETCH(int, mode);
        QFETCH(bool, yes);
        QFETCH(int, format);
        QFETCH(int, questions);
        Compose c;
        QVERIFY(c.setUp());
        QAction action(u"Old\tCtrl+R"_s);
        c.router.registerAction(BodyFormatCommands::kRichText, &action);
        c.commands->bindCommands(c.router);
        c.state->setMode(OutgoingMode(mode));
        yes ? c.prompter.answerYes() : c.prompter.answerNo();
        c.router.execute(BodyFormatCommands::kPlainText); // plain already: nothing to ask
        c.router.execute(BodyFormatCommands::kRichText);
        QCOMPARE(c.host.format, format);
        QCOMPARE(c.host.appliedFormats, format == 1 ? QList<int>{1} : QList<int>{});
        QCOMPARE(c.prompter.notices().size(), questions);
        QCOMPARE(c.router.state(BodyFormatCommands::kRichText).checked, format == 1);
        QCOMPARE(c.router.state(BodyFormatCommands::kPlainText).checked, format == 0);
        // While rich on a store without rich text support, the mail client must do it.
        const QString menu = u"Send message using R&ich Text Format"_s;
        const QString byClient =
            u" by setting the Rich Text Format property in your  Email client"_s;
        QCOMPARE(action.text(), (format == 0 ? menu : menu + byClient) + u"\tCtrl+R"_s);
    }
};

QTEST_MAIN(TestBodyWriter)
#include "tst_bodywriter.moc"
