// New contacts typed into "Add new address entry": the form's refusals, the contact the vCard
// folder receives for each form, the address type, cancelling, and the new contact being found
// by name at once.
#include "ComposeTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/AddressBook.h"
#include "compose/ContactEntry.h"
#include "compose/ContactEntryDialog.h"
#include "compose/OutgoingState.h"
#include "mail/MapiRows.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using namespace vantrel::compose;
using namespace Qt::StringLiterals;

namespace {

// Types `texts` into the controls named "c<id>" and presses OK; the dialog's result.
int fillAndAccept(QDialog& dialog, const QHash<int, QString>& texts)
{
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        auto* edit = dialog.findChild<QLineEdit*>(u"c%1"_s.arg(it.key()));
        if (!edit) {
            qWarning() << "no control" << it.key() << "in" << dialog.objectName();
            return QDialog::Rejected;
        }
        edit->setText(it.value());
    }
    dialog.findChild<QPushButton*>(u"c1"_s)->click();
    return dialog.result();
}

QByteArray utf16(const QStringList& strings)
{
    QByteArray out;
    for (const QString& text : strings) {
        for (const QChar c : text)
            out.append(static_cast<char>(c.unicode() & 0xFF))
                .append(static_cast<char>(c.unicode() >> 8));
        out.append(2, '\0');
    }
    return out;
}

// A logged-on session with the composition objects over it.
struct Session
{
    bool start()
    {
        if (!fixture.setUp())
            return false;
        state = std::make_unique<OutgoingState>(*fixture.mail, host);
        book = std::make_unique<AddressBook>(*state);
        entry = std::make_unique<ContactEntry>(*state, *book);
        return true;
    }
    QString contacts() const { return fixture.path("contacts"); }
    // Cards written since the start (the seeded one left out).
    QStringList newCards() const
    {
        QStringList cards = QDir(contacts()).entryList({u"*.vcf"_s}, QDir::Files);
        cards.removeAll(u"seed.vcf"_s);
        return cards;
    }
    // The unfolded lines of the one new card.
    QStringList card() const
    {
        const QStringList cards = newCards();
        QFile file(contacts() + u'/' + cards.value(0));
        if (cards.size() != 1 || !file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).replace(u"\r\n "_s, QString()).split(u"\r\n"_s);
    }
    const vntmapi::EntryPoints& api() const { return fixture.mail->session().api(); }

    composetest::MailFixture fixture;
    composetest::TestComposeHost host;
    std::unique_ptr<OutgoingState> state;
    std::unique_ptr<AddressBook> book;
    std::unique_ptr<ContactEntry> entry;
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
    void refusals_data();
    void refusals();
    void splitsDisplayName_data();
    void splitsDisplayName();
    void threeEntryFormStoresContact();
    void addressType_data();
    void addressType();
    void simpleFormWhereStoreCannotNameProperties();
    void cancelWritesNothing();
    void originalEntryId_data();
    void originalEntryId();
};

void TestContactEntry::refusals_data()
{
    QTest::addColumn<bool>("simple");
    QTest::addColumn<QStringList>("names"); // the simple form's display name first
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("refusal");
    const QString noPair = u"You must have a display name and email address"_s;
    const QStringList none{u""_s, u""_s, u""_s};
    QTest::newRow("entries empty") << false << none << none << noPair;
    QTest::newRow("name without address") << false << QStringList{"Ann", "", ""} << none << noPair;
    QTest::newRow("name and address of different entries")
        << false << QStringList{"Ann", "", ""} << QStringList{"", "a@x.org", ""} << noPair;
    QTest::newRow("blank name") << false << QStringList{"  ", "", ""}
                                << QStringList{"a@x.org", "", ""} << noPair;
    QTest::newRow("second entry complete")
        << false << QStringList{"", "Ann", ""} << QStringList{"", "a@x.org", ""} << QString();
    QTest::newRow("simple, nothing") << true << none << none << u"Please add a display name"_s;
    QTest::newRow("simple, no display name")
        << true << none << QStringList{"a@x.org", "", ""} << u"Please add a display name"_s;
    QTest::newRow("simple, no address")
        << true << QStringList{"Ann", "", ""} << none << u"Please add an email address"_s;
    QTest::newRow("simple, third address only")
        << true << QStringList{"Ann", "", ""} << QStringList{"", "", "a@x.org"} << QString();
}

void TestContactEntry::refusals()
{
    QFETCH(bool, simple);
    QFETCH(QStringList, names);
    QFETCH(QStringList, addresses);
    QFETCH(QString, refusal);
    ScriptedPrompter prompter;
    ContactEntryDialog dialog(simple ? ContactEntryDialog::Form::Simple
                                     : ContactEntryDialog::Form::ThreeEntries,
                              {u"Contacts"_s});
    const QList<int> nameIds = simple ? QList<int>{1104} : QList<int>{1203, 1208, 1209};
    QHash<int, QString> texts;
    for (qsizetype i = 0; i < nameIds.size(); ++i)
        texts[nameIds[i]] = names[i];
    for (int i = 0; i < 3; ++i)
        texts[QList<int>{1202, 1210, 1211}[i]] = addresses[i];
    const int result = fillAndAccept(dialog, texts);
    QCOMPARE(result, refusal.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
    QCOMPARE(prompter.notices().size(), refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty()) {
        QCOMPARE(prompter.notices()[0].title, u"Warning"_s);
        QCOMPARE(prompter.notices()[0].text, refusal);
    }
}

void TestContactEntry::splitsDisplayName_data()
{
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("two words") << "Ann Lee"
                               << "Ann"
                               << "Lee";
    QTest::newRow("leading space") << " Ann Lee"
                                   << "Ann"
                                   << "Lee";
    QTest::newRow("one word") << "Cher"
                              << "Cher"
                              << "";
    QTest::newRow("three words") << "Mary Ann Lee"
                                 << "Mary"
                                 << "Ann Lee";
}

void TestContactEntry::splitsDisplayName()
{
    QFETCH(QString, displayName);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QCOMPARE(SplitDisplayName(displayName), std::make_pair(first, last));
}

void TestContactEntry::threeEntryFormStoresContact()
{
    Session s;
    QVERIFY(s.start());
    QVERIFY(s.fixture.mail->contactPropertiesAvailable());
    ScriptedPrompter prompter;
    // Entry 2 has an address without a name of its own; entry 3 a name without an address.
    prompter.dialogScript([](QDialog& d) {
        return d.objectName() != u"d188"_s ? int(QDialog::Rejected)
                                           : fillAndAccept(d, {{1203, u"Ann Lee"_s},
                                                               {1202, u"ann@example.com"_s},
                                                               {1210, u"ann@home.example"_s},
                                                               {1209, u"Ann (old)"_s}});
    });
    NewContact result;
    QVERIFY(s.entry->AddContact(false, {}, {}, &result));
    QCOMPARE(prompter.notices().size(), 1); // the form, no warning
    const QStringList card = s.card();
    QVERIFY(card.contains(u"FN:Ann Lee"_s));
    QVERIFY(card.contains(u"N:Lee;Ann;;;"_s));
    QCOMPARE(matching(card, u"^EMAIL"_s), 2);
    QCOMPARE(matching(card, u"^EMAIL;.*X-VNT-ENTRY=1.*:ann@example.com$"_s), 1);
    QCOMPARE(matching(card, u"^EMAIL;.*X-VNT-ENTRY=2.*:ann@home.example$"_s), 1);
    QCOMPARE(result.displayName, u"Ann Lee"_s);
    QCOMPARE(result.address, u"ann@example.com"_s);
    QCOMPARE(result.addressType, u"SMTP"_s);
    QVERIFY(!result.oneOffId.isEmpty());
    QVERIFY(!result.addToMessage); // no message being written

    // Found by the ambiguous-name search at once, one candidate per address.
    AdrList found(s.api());
    QVERIFY(s.book->findCandidates(u"Lee"_s, found));
    QCOMPARE(found.count(), 2u);
    QStringList addresses{found.row(0).address, found.row(1).address};
    addresses.sort();
    QCOMPARE(addresses, (QStringList{"ann@example.com", "ann@home.example"}));
    QCOMPARE(found.row(0).displayName, u"Ann Lee"_s);
}

void TestContactEntry::addressType_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("warned");
    QTest::newRow("empty") << ""
                           << "SMTP" << false;
    QTest::newRow("SMTP") << "SMTP"
                          << "SMTP" << false;
    QTest::newRow("other") << "X400"
                           << "X400" << true;
    QTest::newRow("case differs") << "smtp"
                                  << "smtp" << true;
}

void TestContactEntry::addressType()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, warned);
    Session s;
    QVERIFY(s.start());
    ScriptedPrompter prompter;
    QStringList prefilled;
    bool addLocked = false;
    prompter.dialogScript([&](QDialog& d) {
        prefilled = {d.findChild<QLineEdit*>(u"c1203"_s)->text(),
                     d.findChild<QLineEdit*>(u"c1202"_s)->text()};
        auto* add = d.findChild<QCheckBox*>(u"c1215"_s);
        addLocked = add->isChecked() && !add->isEnabled();
        return fillAndAccept(d, {{1207, typed}});
    });
    NewContact result;
    QVERIFY(s.entry->AddContact(true, u"Cy Dee"_s, u"cy@example.net"_s, &result));
    QCOMPARE(prefilled, (QStringList{"Cy Dee", "cy@example.net"}));
    QVERIFY(addLocked);
    QVERIFY(result.addToMessage);
    QCOMPARE(result.displayName, u"Cy Dee"_s);
    QCOMPARE(result.addressType, stored);
    const bool notice =
        std::any_of(prompter.notices().begin(), prompter.notices().end(), [](const auto& n) {
            return n.title == u"Warning!"_s &&
                   n.text == u"Warning!  Vantrel only uses SMTP address type."_s;
        });
    QCOMPARE(notice, warned);
    const QStringList card = s.card();
    QCOMPARE(matching(card, u"^EMAIL;.*:cy@example.net$"_s), 1);
    // SMTP is what a card without a type means.
    const bool smtp = stored == u"SMTP"_s;
    QCOMPARE(matching(card, smtp ? u"X-ADDRTYPE"_s : u"X-ADDRTYPE=%1[;:]"_s.arg(stored)),
             smtp ? 0 : 1);
}

// A store whose name map is full at logon has no named e-mail properties: the simple form,
// and no contact saved without its addresses. Once names can be made, the form stores.
void TestContactEntry::simpleFormWhereStoreCannotNameProperties()
{
    Session s;
    const QString names = s.fixture.path("Maildir/vntmapi-names");
    QVERIFY(mailtest::writeFile(names, "FFFE 00020329-0000-0000-C000-000000000046 N 1\n"));
    QVERIFY(mailtest::writeFile(s.contacts() + u"/seed.vcf"_s,
                                "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:seed\r\nFN:Seed\r\n"
                                "EMAIL:seed@example.com\r\nEND:VCARD\r\n"));
    QVERIFY(s.start());
    QVERIFY(!s.fixture.mail->contactPropertiesAvailable());
    ScriptedPrompter prompter;
    const auto typeContact = [](QDialog& d) {
        return d.objectName() != u"d140"_s
                   ? int(QDialog::Rejected)
                   : fillAndAccept(d, {{1104, u"Bo Berg"_s}, {1210, u"bo@example.org"_s}});
    };
    prompter.dialogScript(typeContact);
    QVERIFY(!s.entry->AddContact(false, {}, {}, nullptr));
    QCOMPARE(prompter.notices().last().text, u"Unable to save message"_s);
    QVERIFY(s.newCards().isEmpty());

    QVERIFY(QFile::remove(names));
    prompter.dialogScript(typeContact);
    QVERIFY(s.entry->AddContact(false, {}, {}, nullptr));
    const QStringList card = s.card();
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

void TestContactEntry::cancelWritesNothing()
{
    Session s;
    QVERIFY(s.start());
    ScriptedPrompter prompter;
    prompter.dialogScript([](QDialog& d) {
        d.findChild<QLineEdit*>(u"c1203"_s)->setText(u"Di Fox"_s);
        d.findChild<QLineEdit*>(u"c1202"_s)->setText(u"di@example.com"_s);
        return int(QDialog::Rejected);
    });
    NewContact result;
    QVERIFY(!s.entry->AddContact(true, u"Di"_s, {}, &result));
    QVERIFY(result.oneOffId.isEmpty());
    QVERIFY(s.newCards().isEmpty());
    QCOMPARE(prompter.notices().size(), 1); // the form only
}

void TestContactEntry::originalEntryId_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("ASCII, 8-bit one-off") << "Ann Lee";
    QTest::newRow("non-ASCII, already wide") << "Åsa Öberg";
}

// The wide form of the platform's one-off: same header up to the flags, Unicode and
// no-rich-info flags, the strings in UTF-16, whichever form the one-off came in.
void TestContactEntry::originalEntryId()
{
    QFETCH(QString, name);
    Session s;
    QVERIFY(s.start());
    QVERIFY(s.book->Open());
    vantrel::mail::MapiBuffer<ENTRYID> id(s.api());
    ULONG size = 0;
    QCOMPARE(s.book->get()->CreateOneOff(name.toUtf8().constData(), "SMTP", "a@x.org", 0, &size,
                                         id.put()),
             S_OK);
    const QByteArray oneOff(reinterpret_cast<const char*>(id.get()), size);
    const QByteArray wide = OriginalEntryId(oneOff);
    QCOMPARE(wide.left(22), oneOff.left(22));
    QCOMPARE(wide.mid(22, 2), QByteArray("\x01\x80"));
    QCOMPARE(wide.mid(24), utf16({name, u"SMTP"_s, u"a@x.org"_s}));
    QVERIFY(OriginalEntryId(oneOff.left(23)).isEmpty());
}

QTEST_MAIN(TestContactEntry)
#include "tst_contactentry.moc"
