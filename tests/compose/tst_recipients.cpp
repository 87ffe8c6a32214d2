// Recipient names: parsing, addresses, colouring and address checks as tables; then names
// checked against a real vCard folder (ambiguous, unknown, distribution list), the list
// attached to a message, validated and taken back.
#include "ComposeTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/CheckNamesDialog.h"
#include "compose/ComposeController.h"
#include "compose/RecipientText.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

namespace {

QByteArray card(const char* body)
{
    return "BEGIN:VCARD\r\nVERSION:4.0\r\n" + QByteArray(body) + "END:VCARD\r\n";
}

// Fills the new-contact form's first entry and accepts it.
int fillNewContact(QDialog& dialog, const QString& name, const QString& address)
{
    if (auto* display = dialog.findChild<QLineEdit*>(u"c1203"_s))
        display->setText(name);
    else
        dialog.findChild<QLineEdit*>(u"c1104"_s)->setText(name);
    dialog.findChild<QLineEdit*>(u"c1202"_s)->setText(address);
    return QDialog::Accepted;
}

// Picks row `row` of the "Check names" list, or presses "New  Contact...".
std::function<int(QDialog&)> choose(int row, QStringList* shown = nullptr)
{
    return [row, shown](QDialog& dialog) {
        auto* list = dialog.findChild<QTreeWidget*>(u"c1218"_s);
        if (shown) {
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shown->append(list->topLevelItem(i)->text(2));
        }
        if (row < 0)
            return int(CheckNamesDialog::NewContact);
        list->setCurrentItem(list->topLevelItem(row));
        return int(CheckNamesDialog::UseSelected);
    };
}

} // namespace

class TestRecipients : public QObject
{
    Q_OBJECT

    composetest::MailFixture m_mail;
    composetest::TestComposeHost m_host;
    std::unique_ptr<ComposeController> m_compose;

    OutgoingState& state() { return m_compose->state(); }
    Recipients& recipients() { return m_compose->recipients(); }
    void newMessage()
    {
        state().StopOutgoing(true);
        QVERIFY(state().OpenOutbox());
        QVERIFY(state().CreateOutgoingMessage());
        state().setMode(OutgoingMode::Composing);
    }
    QStringList pendingNames()
    {
        QStringList names;
        for (ULONG i = 0; i < state().pending().count(); ++i) {
            const RecipientRow row = state().pending().row(i);
            names.append(u"%1 <%2> %3"_s.arg(row.displayName, row.address)
                             .arg(row.recipientType.value_or(0)));
        }
        return names;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QList<std::pair<const char*, const char*>> cards = {
            {"archer",
             "UID:a1\r\nFN:Ann Archer\r\nN:Archer;Ann;;;\r\nEMAIL:ann.archer@example.com\r\n"},
            {"baker",
             "UID:a2\r\nFN:Ann Baker\r\nN:Baker;Ann;;;\r\nEMAIL:ann.baker@example.com\r\n"},
            {"diaz", "UID:c1\r\nFN:Carl Diaz\r\nN:Diaz;Carl;;;\r\nEMAIL:carl@example.org\r\n"},
            {"team",
             "UID:t1\r\nKIND:group\r\nFN:Support Team\r\nMEMBER:mailto:carl@example.org\r\n"},
        };
        for (const auto& [file, body] : cards) {
            QVERIFY(mailtest::writeFile(
                m_mail.dir.filePath(u"contacts/%1.vcf"_s.arg(QLatin1StringView(file))),
                card(body)));
        }
        QVERIFY(m_mail.setUp());
        m_compose = std::make_unique<ComposeController>(*m_mail.mail, m_host);
    }

    void extractAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::newRow("angle") << u"Ann Archer <ann@x.org>"_s << u"ann@x.org"_s;
        QTest::newRow("smtp prefix") << u"Ann [SMTP:ann@x.org]"_s << u"ann@x.org"_s;
        QTest::newRow("lower-case prefix kept") << u"Ann (smtp:ann@x.org)"_s << u"smtp:ann@x.org"_s;
        QTest::newRow("bare name") << u"  Ann Archer "_s << u"Ann Archer"_s;
        QTest::newRow("empty brackets") << u"Ann <>"_s << u"Ann <>"_s;
        QTest::newRow("prefix only") << u"Ann <SMTP:>"_s << u"Ann <SMTP:>"_s;
        QTest::newRow("bracket at end") << u"Ann <"_s << u"Ann <"_s;
        QTest::newRow("unclosed") << u"Ann {ann@x.org"_s << u"ann@x.org"_s;
        QTest::newRow("first bracket wins") << u"A (b) <c@d>"_s << u"b"_s;
    }
    void extractAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(ExtractAddress(typed), address);
    }

    void parseAndRender()
    {
        const QList<RecipientEntry> parsed = ParseBoxText(u" Ann ; ;Carl <c@x.org>;"_s, 2);
        QCOMPARE(parsed.size(), 2);
        QCOMPARE(parsed[1].displayText, u"Carl <c@x.org>"_s);
        QCOMPARE(parsed[1].address, u"c@x.org"_s);
        QCOMPARE(parsed[1].recipientType, 2);

        QList<RecipientEntry> entries(4);
        entries[0] = {1, true, true, false, u"Ann {A}"_s, {}, {}};
        entries[1] = {1, true, true, true, u"Team"_s, {}, {}};
        entries[2] = {1, false, false, false, u"Zoë"_s, {}, {}};
        entries[3] = {2, false, false, false, u"Other box"_s, {}, {}};
        const QByteArray rtf = RenderBoxRtf(entries, 1);
        QVERIFY(rtf.startsWith(
            "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl {\\f0\\fswiss MS Sans Serif;}"));
        QVERIFY(
            rtf.endsWith("\\cf2\\ul Team\\ulnone ;\\cf1\\ulnone Zo\\u235?;\\cf1\\ulnone \\par})"));
        QVERIFY(rtf.contains("\\cf0\\ul Ann \\{A\\}\\ulnone ;"));
        QVERIFY(!rtf.contains("Other box"));
    }

    void validAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << u"ann.archer@example.com"_s << true;
        QTest::newRow("plus and tag") << u"a+b/c=d@sub.example.co.uk"_s << true;
        QTest::newRow("quoted local") << u"\"ann archer\"@example.com"_s << true;
        QTest::newRow("literal") << u"ann@[192.0.2.1]"_s << true;
        QTest::newRow("unicode") << u"jos\u00e9@m\u00fcller.de"_s << true;
        QTest::newRow("no at") << u"ann.example.com"_s << false;
        QTest::newRow("two ats") << u"a@b@c"_s << false;
        QTest::newRow("space") << u"ann archer@example.com"_s << false;
        QTest::newRow("leading dot") << u".ann@example.com"_s << false;
        QTest::newRow("double dot") << u"ann..a@example.com"_s << false;
        QTest::newRow("hyphen label") << u"ann@-example.com"_s << false;
        QTest::newRow("display name") << u"Ann <ann@example.com>"_s << false;
        QTest::newRow("empty domain") << u"ann@"_s << false;
    }
    void validAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(IsValidAddress(address), valid);
    }

    // Ambiguous, unique, unknown (added as a contact) and a group, across the three boxes.
    void checkNames()
    {
        newMessage();
        m_host.to.setPlainText(u"Ann; Zoe Quinn <zoe@quinn.example>"_s);
        m_host.cc.setPlainText(u"carl@example.org"_s);
        m_host.bcc.setPlainText(u"Support Team"_s);
        ScriptedPrompter prompter;
        QStringList offered;
        prompter.dialogScript(choose(1, &offered));
        prompter.dialogScript([](QDialog& dialog) {
            // The form starts with what was typed.
            auto* address = dialog.findChild<QLineEdit*>(u"c1202"_s);
            return address->text() == u"zoe@quinn.example"_s
                       ? fillNewContact(dialog, u"Zoe Quinn"_s, address->text())
                       : int(QDialog::Rejected);
        });
        prompter.dialogScript(choose(0));
        prompter.dialogScript(choose(0));
        QCOMPARE(recipients().CheckNames(false, true, false), int(CheckResolved));
        QCOMPARE(offered, (QStringList{u"ann.archer@example.com"_s, u"ann.baker@example.com"_s}));
        QCOMPARE(pendingNames(),
                 (QStringList{u"Ann Baker <ann.baker@example.com> 1"_s,
                              u"Zoe Quinn <zoe@quinn.example> 1"_s,
                              u"Carl Diaz <carl@example.org> 2"_s, u"Support Team <> 3"_s}));
        QCOMPARE(m_host.to.toPlainText(), u"Ann Baker;Zoe Quinn;"_s);
        QVERIFY(m_host.rtfIn[1].contains("\\cf0\\ul Ann Baker\\ulnone ;\\cf0\\ul Zoe Quinn"));
        QVERIFY(m_host.rtfIn[3].contains("\\cf2\\ul Support Team\\ulnone ;"));
        // The new contact is a card in the folder and can be found at once.
        QVERIFY(QDir(m_mail.path("contacts")).entryList({u"*.vcf"_s}).size() == 5);
        m_host.to.setPlainText(u"Zoe"_s);
        prompter.dialogScript(choose(0, &offered));
        QCOMPARE(recipients().CheckNames(false, true, false), int(CheckResolved));
        QCOMPARE(offered.last(), u"zoe@quinn.example"_s);
    }

    // A name left unresolved stays red in its box; the chosen ones show at once.
    void unresolvedNamesStay()
    {
        newMessage();
        m_host.to.setPlainText(u"Carl; Nobody Known"_s);
        ScriptedPrompter prompter;
        prompter.dialogScript(choose(0));
        prompter.dialogResult(QDialog::Rejected); // the new-contact form
        QCOMPARE(recipients().CheckNames(false, true, true), int(CheckNamesChanged));
        QCOMPARE(m_host.to.toPlainText(), u"Carl Diaz;Nobody Known;"_s);
        QVERIFY(m_host.rtfIn[1].endsWith("\\cf1\\ulnone Nobody Known;\\cf1\\ulnone \\par})"));
        // Without re-checking the result is a failure; with nothing to check, no message.
        prompter.dialogResult(QDialog::Rejected);
        QCOMPARE(recipients().CheckNames(false, true, false), int(CheckFailed));
        state().StopOutgoing(true);
        prompter.clear();
        QCOMPARE(recipients().CheckNames(false, true, false), int(CheckFailed));
        QCOMPARE(prompter.notices().last().text, u"No current message to check names for"_s);
    }

    void composeFromRecord();

    // Attached recipients are on the message; validation names malformed addresses; a failed
    // send takes them back and leaves the message without recipients.
    void attachValidateReclaim()
    {
        newMessage();
        m_host.to.setPlainText(u"Carl"_s);
        ScriptedPrompter prompter;
        prompter.dialogScript(choose(0));
        QCOMPARE(recipients().CheckNames(false, true, false), int(CheckResolved));
        QVERIFY(recipients().AttachPendingRecipients());
        QVERIFY(!state().pending());
        QVERIFY(recipients().ValidateRecipients());

        QVERIFY(recipients().ReclaimRecipients());
        QCOMPARE(pendingNames(), QStringList{u"Carl Diaz <carl@example.org> 1"_s});
        QVERIFY(!recipients().ValidateRecipients()); // the message has none now

        RecipientRow bad;
        bad.entryId = "x";
        bad.displayName = u"Broken"_s;
        bad.address = u"broken@@example"_s;
        bad.addressType = u"SMTP"_s;
        bad.recipientType = MAPI_CC;
        bad.objectType = MAPI_MAILUSER;
        QVERIFY(state().pending().append(bad));
        QVERIFY(recipients().AttachPendingRecipients());
        QStringList malformed;
        QVERIFY(!recipients().ValidateRecipients(&malformed));
        QCOMPARE(malformed, QStringList{u"Broken <broken@@example>"_s});

        // Stopping drops the message, its fields, its options and what it answered.
        state().options() = {2, 3, true};
        state().answeredTexts()[0] = u"From: someone"_s;
        m_host.subject.setText(u"Re: x"_s);
        m_host.body.setPlainText(u"Text"_s);
        state().StopOutgoing(true);
        QVERIFY(!state().message() && !state().folder() && !state().pending());
        QCOMPARE(state().mode(), OutgoingMode::None);
        QCOMPARE(state().options().importance, 1);
        QVERIFY(!state().options().readReceipt && state().options().sensitivity == 0);
        QVERIFY(state().answeredTexts()[0].isEmpty() && m_host.subject.text().isEmpty());
        QVERIFY(m_host.body.toPlainText().isEmpty() && m_host.cc.toPlainText().isEmpty());
    }
};

// Cancels the address dialog the next modal loop shows.
void cancelAddressDialog(QObject* context)
{
    QTimer::singleShot(0, context, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
}

void TestRecipients::composeFromRecord()
{
    state().StopOutgoing(true);
    ScriptedPrompter prompter;
    QVERIFY(!recipients().ComposeFromRecord(u"Carl"_s, u"carl at example"_s, u"Subject"_s));
    QCOMPARE(prompter.notices().last().text, u"Sorry!  Your Email name is invalid"_s);
    // Someone the address book does not know, and the new-contact form cancelled.
    prompter.dialogResult(QDialog::Rejected);
    QVERIFY(!recipients().ComposeFromRecord(u"Una Known"_s, u"una@known.example"_s, u"Subject"_s));
    QCOMPARE(prompter.notices().last().text,
             u"User did not accept address! Please add the address yourself"_s);
    QVERIFY(m_host.to.toPlainText().isEmpty() && m_host.subject.text().isEmpty());
    QVERIFY(!state().message());

    prompter.dialogScript(choose(0)); // the contact found by the address
    cancelAddressDialog(this);
    const QString problem = u"Printer jams"_s + QString(120, u'!') + u"\nSecond line"_s;
    QVERIFY(recipients().ComposeFromRecord(u"C. Diaz"_s, u"carl@example.org"_s, problem));
    QCOMPARE(m_host.subject.text(), problem.left(100));
    QCOMPARE(m_host.to.toPlainText(), u"Carl Diaz;"_s);
    QVERIFY(state().message());
    QCOMPARE(state().mode(), OutgoingMode::Composing);
    QCOMPARE(m_host.shown.last(), ComposeHost::kSubjectBox);
}

QTEST_MAIN(TestRecipients)
#include "tst_recipients.moc"
