// New contacts typed into "Add new address entry": the form's refusals, the contact the vCard
// folder receives for each form, the address type, cancelling, and the new contact being found
// by name at once.
#include "ComposeTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/ComposeController.h"
#include "compose/ContactEntryDialog.h"
#include "mail/MapiRows.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtEndian>
#include <QtTest>

using namespace vantrel::compose;
using namespace Qt::StringLiterals;

namespace {

// Texts by control id.
using Texts = QHash<int, QString>;

// A dialog script typing `texts` into their controls and pressing OK; the dialog's result. A
// form without all of the controls is rejected, so the controls also tell which form it must be.
std::function<int(QDialog&)> typing(const Texts& texts)
{
    return [texts](QDialog& dialog) {
        for (auto it = texts.begin(); it != texts.end(); ++it) {
            auto* edit = dialog.findChild<QLineEdit*>(u"c%1"_s.arg(it.key()));
            if (!edit)
                return int(QDialog::Rejected);
            edit->setText(it.value());
        }
        dialog.findChild<QPushButton*>(u"c1"_s)->click();
        return dialog.result();
    };
}

// A logged-on session with the composition objects over it.
struct Session
{
    bool start()
    {
        if (!fixture.setUp())
            return false;
        compose = std::make_unique<ComposeController>(*fixture.mail, host);
        book = &compose->addressBook();
        entry = &compose->contacts();
        return true;
    }
    // The unfolded lines of the cards written since the start (the seeded one left out).
    QStringList cards() const
    {
        QStringList lines;
        const QDir dir(fixture.path("contacts"));
        for (const QString& name : dir.entryList({u"*.vcf"_s}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (name != u"seed.vcf"_s && file.open(QIODevice::ReadOnly))
                lines += QString::fromUtf8(file.readAll()).remove(u"\r\n "_s).split(u"\r\n"_s);
        }
        return lines;
    }
    const vntmapi::EntryPoints& api() const { return fixture.mail->session().api(); }

    composetest::MailFixture fixture;
    composetest::TestComposeHost host;
    std::unique_ptr<ComposeController> compose;
    AddressBook* book = nullptr;
    ContactEntry* entry = nullptr;
};

int matching(const QStringList& lines, const QString& pattern)
{
    return static_cast<int>(lines.filter(QRegularExpression(pattern)).size());
}

} // namespace

class TestContactEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Three-entry form: names 1203, 1208, 1209 and addresses 1202, 1210, 1211. Simple form: one
    // display name 1104 and the same addresses.
    void refusals_data()
    {
        QTest::addColumn<bool>("simple");
        QTest::addColumn<Texts>("texts");
        QTest::addColumn<QString>("refusal");
        const QString noPair = u"You must have a display name and email address"_s;
        const QString noName = u"Please add a display name"_s;
        QTest::newRow("entries empty") << false << Texts{} << noPair;
        QTest::newRow("name without address") << false << Texts{{1203, u"Ann"_s}} << noPair;
        QTest::newRow("name and address of different entries")
            << false << Texts{{1203, u"Ann"_s}, {1210, u"a@x.org"_s}} << noPair;
        QTest::newRow("blank name")
            << false << Texts{{1203, u"  "_s}, {1202, u"a@x.org"_s}} << noPair;
        QTest::newRow("second entry complete")
            << false << Texts{{1208, u"Ann"_s}, {1210, u"a@x.org"_s}} << QString();
        QTest::newRow("simple, nothing") << true << Texts{} << noName;
        QTest::newRow("simple, no display name") << true << Texts{{1202, u"a@x.org"_s}} << noName;
        QTest::newRow("simple, no address")
            << true << Texts{{1104, u"Ann"_s}} << u"Please add an email address"_s;
        QTest::newRow("simple, third address only")
            << true << Texts{{1104, u"Ann"_s}, {1211, u"a@x.org"_s}} << QString();
    }

    void refusals()
    {
        QFETCH(bool, simple);
        QFETCH(Texts, texts);
        QFETCH(QString, refusal);
        ScriptedPrompter prompter;
        using Form = ContactEntryDialog::Form;
        ContactEntryDialog dialog(simple ? Form::Simple : Form::ThreeEntries, {u"Contacts"_s});
        QCOMPARE(typing(texts)(dialog), refusal.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(prompter.notices().size(), refusal.isEmpty() ? 0 : 1);
        for (const auto& notice : prompter.notices())
            QCOMPARE(notice.title + u": "_s + notice.text, u"Warning: "_s + refusal);
    }

    void splitsDisplayName()
    {
        using Split = std::pair<QString, QString>;
        QCOMPARE(SplitDisplayName(u"Ann Lee"_s), Split(u"Ann"_s, u"Lee"_s));
        QCOMPARE(SplitDisplayName(u" Ann Lee"_s), Split(u"Ann"_s, u"Lee"_s));
        QCOMPARE(SplitDisplayName(u"Cher"_s), Split(u"Cher"_s, QString()));
        QCOMPARE(SplitDisplayName(u"Mary Ann Lee"_s), Split(u"Mary"_s, u"Ann Lee"_s));
    }

    void threeEntryFormStoresContact()
    {
        Session s;
        QVERIFY(s.start());
        ScriptedPrompter prompter;
        NewContact result;
        // Cancelled with a complete entry typed: nothing written, nothing told.
        prompter.dialogScript([](QDialog&) { return int(QDialog::Rejected); });
        QVERIFY(!s.entry->AddContact(true, u"Di Fox"_s, u"di@example.com"_s, &result));
        QVERIFY(result.oneOffId.isEmpty());
        QVERIFY(s.cards().isEmpty());
        QCOMPARE(prompter.notices().size(), 1); // the form only

        // Entry 2 has an address without a name of its own; entry 3 a name without an address.
        prompter.dialogScript(typing({{1203, u"Ann Lee"_s},
                                      {1202, u"ann@example.com"_s},
                                      {1210, u"ann@home.example"_s},
                                      {1209, u"Ann (old)"_s}}));
        QVERIFY(s.entry->AddContact(false, {}, {}, &result));
        QCOMPARE(prompter.notices().size(), 2); // the two forms, no warning
        const QStringList card = s.cards();
        QVERIFY(card.contains(u"FN:Ann Lee"_s));
        QVERIFY(card.contains(u"N:Lee;Ann;;;"_s));
        QCOMPARE(matching(card, u"^EMAIL"_s), 2);
        QCOMPARE(matching(card, u"^EMAIL;.*X-VNT-ENTRY=1.*:ann@example.com$"_s), 1);
        QCOMPARE(matching(card, u"^EMAIL;.*X-VNT-ENTRY=2.*:ann@home.example$"_s), 1);
        QCOMPARE((QStringList{result.displayName, result.address, result.addressType}),
                 (QStringList{"Ann Lee", "ann@example.com", "SMTP"}));
        QVERIFY(!result.oneOffId.isEmpty());
        QVERIFY(!result.addToMessage); // no message being written

        // Found by the ambiguous-name search at once, one candidate per address.
        AdrList found(s.api());
        QVERIFY(s.book->findCandidates(u"Lee"_s, found));
        QCOMPARE(found.count(), 2u);
        QCOMPARE((QSet<QString>{found.row(0).address, found.row(1).address}),
                 (QSet<QString>{"ann@example.com", "ann@home.example"}));
        QCOMPARE(found.row(0).displayName, u"Ann Lee"_s);
    }

    void addressType_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << QString() << u"SMTP"_s;
        QTest::newRow("SMTP") << u"SMTP"_s << u"SMTP"_s;
        QTest::newRow("other") << u"X400"_s << u"X400"_s;
        QTest::newRow("case differs") << u"smtp"_s << u"smtp"_s;
    }

    // From name checking: the form starts with the name and address, and the contact goes on the
    // message whatever the user does. Any type but "SMTP" is kept, with a warning.
    void addressType()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        Session s;
        QVERIFY(s.start());
        ScriptedPrompter prompter;
        bool addLocked = false;
        prompter.dialogScript([&](QDialog& d) {
            addLocked = !d.findChild<QCheckBox*>(u"c1215"_s)->isEnabled();
            return typing({{1207, typed}})(d);
        });
        NewContact result;
        QVERIFY(s.entry->AddContact(true, u"Cy Dee"_s, u"cy@example.net"_s, &result));
        QVERIFY(addLocked && result.addToMessage);
        QCOMPARE(result.addressType, stored);
        const bool smtp = stored == u"SMTP"_s;
        QCOMPARE(prompter.notices().size(), smtp ? 1 : 2);
        if (!smtp) {
            QCOMPARE(prompter.notices().last().title, u"Warning!"_s);
            QCOMPARE(prompter.notices().last().text,
                     u"Warning!  Vantrel only uses SMTP address type."_s);
        }
        const QStringList card = s.cards();
        QCOMPARE(matching(card, u"^EMAIL;.*:cy@example.net$"_s), 1);
        // SMTP is what a card without a type means.
        QCOMPARE(matching(card, smtp ? u"X-ADDRTYPE"_s : u"X-ADDRTYPE=%1[;:]"_s.arg(stored)),
                 smtp ? 0 : 1);
    }

    // A store whose name map is full at logon has no named e-mail properties: the simple form,
    // and no contact saved without its addresses. Once names can be made, the form stores.
    void simpleFormWhereStoreCannotNameProperties()
    {
        Session s;
        const QString names = s.fixture.path("Maildir/vntmapi-names");
        QVERIFY(mailtest::writeFile(names, "FFFE 00020329-0000-0000-C000-000000000046 N 1\n"));
        QVERIFY(mailtest::writeFile(s.fixture.path("contacts/seed.vcf"),
                                    "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:seed\r\nFN:Seed\r\n"
                                    "EMAIL:seed@example.com\r\nEND:VCARD\r\n"));
        QVERIFY(s.start());
        ScriptedPrompter prompter;
        const auto typeContact = typing({{1104, u"Bo Berg"_s}, {1210, u"bo@example.org"_s}});
        prompter.dialogScript(typeContact);
        QVERIFY(!s.entry->AddContact(false, {}, {}, nullptr));
        QCOMPARE(prompter.notices().last().text, u"Unable to save message"_s);
        QVERIFY(s.cards().isEmpty());

        QVERIFY(QFile::remove(names));
        prompter.dialogScript(typeContact);
        QVERIFY(s.entry->AddContact(false, {}, {}, nullptr));
        const QStringList card = s.cards();
        QVERIFY(card.contains(u"FN:Bo Berg"_s));
        QVERIFY(card.contains(u"N:Berg;Bo;;;"_s));
        QCOMPARE(matching(card, u"^EMAIL;.*X-VNT-ENTRY=2.*:bo@example.org$"_s), 1);

        // Name resolution finds the new contact at once.
        AdrList list(s.api());
        RecipientRow typed;
        typed.displayName = u"Bo Berg"_s;
        QVERIFY(list.append(typed));
        QCOMPARE(s.book->ResolveNames(false, 0, list.get()), S_OK);
        QCOMPARE(list.row(0).address, u"bo@example.org"_s);
        QVERIFY(!list.row(0).entryId.isEmpty());
    }

    // The wide form of the platform's one-off: same header up to the flags, Unicode and
    // no-rich-info flags, the strings in UTF-16, whether the one-off came with 8-bit strings
    // (ASCII name) or already wide (non-ASCII name).
    void originalEntryId()
    {
        Session s;
        QVERIFY(s.start());
        QVERIFY(s.book->Open());
        for (const QString& name : {u"Ann Lee"_s, u"Åsa Öberg"_s}) {
            vantrel::mail::MapiBuffer<ENTRYID> id(s.api());
            ULONG size = 0;
            QCOMPARE(s.book->get()->CreateOneOff(name.toUtf8().constData(), "SMTP", "a@x.org", 0,
                                                 &size, id.put()),
                     S_OK);
            const QByteArray oneOff(reinterpret_cast<const char*>(id.get()), size);
            const QString strings = name + u"\0SMTP\0a@x.org\0"_s;
            QByteArray utf16(strings.size() * 2, '\0');
            qToLittleEndian<char16_t>(strings.utf16(), strings.size(), utf16.data());
            const QByteArray wide = OriginalEntryId(oneOff);
            QCOMPARE(wide.left(22), oneOff.left(22));
            QCOMPARE(wide.mid(22, 2), QByteArray("\x01\x80"));
            QCOMPARE(wide.mid(24), utf16);
            QVERIFY(OriginalEntryId(oneOff.left(23)).isEmpty());
        }
    }
};

QTEST_MAIN(TestContactEntry)
#include "tst_contactentry.moc"
