// The address book over the profile's contacts folders: containers, contents tables restricted
// by PR_ANR, ResolveName, one-offs, PrepareRecips, recipient rows kept across a save and a new
// session, and the Address dialog driven as a user would.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace mapitest;

namespace {

QByteArray card(const QByteArray& body)
{
    return "BEGIN:VCARD\r\nVERSION:4.0\r\n" + body + "END:VCARD\r\n";
}

// An address list built from Values rows, freed with FreePadrlist.
class AdrList
{
public:
    explicit AdrList(std::vector<Values> rows)
    {
        api().MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(static_cast<ULONG>(rows.size()))),
                                 reinterpret_cast<void**>(&m_list));
        m_list->cEntries = static_cast<ULONG>(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ADRENTRY e = rows[i].entry();
            // Each row in its own block, as the library replaces them.
            void* block = nullptr;
            api().MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * e.cValues), &block);
            auto* values = static_cast<LPSPropValue>(block);
            for (ULONG k = 0; k < e.cValues; ++k) {
                values[k] = e.rgPropVals[k];
                const ULONG type = PROP_TYPE(values[k].ulPropTag);
                if (type == PT_STRING8 || type == PT_BINARY) {
                    const ULONG size =
                        type == PT_BINARY
                            ? e.rgPropVals[k].Value.bin.cb
                            : static_cast<ULONG>(std::strlen(e.rgPropVals[k].Value.lpszA) + 1);
                    void* copy = nullptr;
                    api().MAPIAllocateMore(size, block, &copy);
                    std::memcpy(copy,
                                type == PT_BINARY
                                    ? static_cast<const void*>(e.rgPropVals[k].Value.bin.lpb)
                                    : e.rgPropVals[k].Value.lpszA,
                                size);
                    if (type == PT_BINARY) {
                        values[k].Value.bin.lpb = static_cast<LPBYTE>(copy);
                    } else {
                        values[k].Value.lpszA = static_cast<char*>(copy);
                    }
                }
            }
            m_list->aEntries[i] = {0, e.cValues, values};
        }
    }
    ~AdrList() { api().FreePadrlist(m_list); }
    LPADRLIST get() const { return m_list; }
    LPADRLIST* put() { return &m_list; }
    const SRow row(ULONG i) const
    {
        return {0, m_list->aEntries[i].cValues, m_list->aEntries[i].rgPropVals};
    }

private:
    LPADRLIST m_list = nullptr;
};

Values named(const QString& name, ULONG type = MAPI_TO)
{
    Values v;
    v.text(PR_DISPLAY_NAME, name).number(PR_RECIPIENT_TYPE, static_cast<LONG>(type));
    return v;
}

} // namespace

class TestAddressBook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void rootAndContainers();
    void anrRestriction_data();
    void anrRestriction();
    void resolveName_data();
    void resolveName();
    void resolveKeepsOtherValuesAndResolvedEntries();
    void oneOffRoundTrip();
    void openEntryAsMailUser();
    void prepareRecips();
    void recipientRowsSurviveSaveAndRestart();
    void addressDialogChoosesIntoWells();
    void addressDialogCancel();

private:
    MapiPtr<IABContainer> container(ULONG index);

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IAddrBook> m_book;
};

void TestAddressBook::initTestCase()
{
    const QString vdir = m_dir.filePath(QStringLiteral("contacts"));
    const QString work = m_dir.filePath(QStringLiteral("work-contacts"));
    QVERIFY(QDir().mkpath(vdir) && QDir().mkpath(work));
    MaildirBuilder(m_dir.filePath(QStringLiteral("Mail")));
    MaildirBuilder(m_dir.filePath(QStringLiteral("Work")));
    const struct
    {
        const char* file;
        QByteArray body;
    } cards[] = {
        {"ann", "FN:Ann Lee\r\nN:Lee;Ann;;;\r\nEMAIL;TYPE=work:ann@work.example\r\n"},
        {"anna", "FN:Anna Berg\r\nN:Berg;Anna;;;\r\nEMAIL:anna@berg.example\r\n"},
        {"bob", "FN:Bob Stone\r\nEMAIL;PREF=1:bob@stone.example\r\nEMAIL:bob@home.example\r\n"},
        {"jose", "FN:Jos\xC3\xA9 M\xC3\xBCller\r\nN:M\xC3\xBCller;Jos\xC3\xA9;;;\r\n"
                 "EMAIL:jose@example.de\r\n"},
        {"team", "KIND:group\r\nFN:Support Team\r\nMEMBER:mailto:ann@work.example\r\n"},
        {"nomail", "FN:Carl Nomail\r\nTEL:555\r\n"},
    };
    for (const auto& c : cards) {
        QVERIFY(writeFile(vdir + QLatin1Char('/') + QLatin1String(c.file) + ".vcf", card(c.body)));
    }
    QVERIFY(writeFile(work + QStringLiteral("/dana.vcf"),
                      card("FN:Dana Lee\r\nEMAIL:dana@work.example\r\n")));
    QVERIFY(startLibrary(m_dir, "[Profile Test]\nStores=Mail;Work\nAddress=me@example.org\n"
                                "[Store Test/Mail]\nPath=@ROOT@/Mail\nContacts=@ROOT@/contacts\n"
                                "[Store Test/Work]\nPath=@ROOT@/Work\n"
                                "Contacts=@ROOT@/work-contacts\n"));
}

void TestAddressBook::init()
{
    QCOMPARE(newSession("Test", &m_session), S_OK);
    QCOMPARE(m_session->OpenAddressBook(0, nullptr, 0, m_book.put()), S_OK);
}

void TestAddressBook::cleanup()
{
    endSession(&m_session, &m_book);
}

void TestAddressBook::cleanupTestCase()
{
    api().MAPIUninitialize();
}

MapiPtr<IABContainer> TestAddressBook::container(ULONG index)
{
    MapiPtr<IABContainer> root = openEntry<IABContainer>(m_book.get(), {}, 0);
    MapiPtr<IMAPITable> hierarchy;
    RowSet rows;
    if (!root || root->GetHierarchyTable(CONVENIENT_DEPTH, hierarchy.put()) != S_OK ||
        queryAll(hierarchy.get(), {PR_ENTRYID}, &rows) != S_OK || rows.count() <= index) {
        return {};
    }
    return openEntry<IABContainer>(m_book.get(), binary(findValue(rows.row(index), PR_ENTRYID)), 0);
}

void TestAddressBook::rootAndContainers()
{
    ULONG type = 0;
    MapiPtr<IABContainer> root = openEntry<IABContainer>(m_book.get(), {}, 0, &type);
    QVERIFY(root);
    QCOMPARE(type, MAPI_ABCONT);
    MapiPtr<IMAPITable> hierarchy;
    QCOMPARE(root->GetHierarchyTable(CONVENIENT_DEPTH, hierarchy.put()), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(hierarchy.get(), {PR_DISPLAY_NAME, PR_ENTRYID, PR_CONTAINER_FLAGS}, &rows),
             S_OK);
    QCOMPARE(rows.count(), 2u);
    QCOMPARE(text(findValue(rows.row(0), PR_DISPLAY_NAME)), QStringLiteral("Contacts (Mail)"));
    QCOMPARE(text(findValue(rows.row(1), PR_DISPLAY_NAME)), QStringLiteral("Contacts (Work)"));
    for (ULONG i = 0; i < rows.count(); ++i) {
        const LONG flags = findValue(rows.row(i), PR_CONTAINER_FLAGS)->Value.l;
        QCOMPARE(flags & (AB_RECIPIENTS | AB_MODIFIABLE), LONG{AB_RECIPIENTS | AB_MODIFIABLE});
    }
    // Each container names the store it belongs to, as the stores table gives it.
    MapiPtr<IMAPITable> stores;
    RowSet storeRows;
    QCOMPARE(m_session->GetMsgStoresTable(0, stores.put()), S_OK);
    QCOMPARE(queryAll(stores.get(), {PR_ENTRYID}, &storeRows), S_OK);
    for (ULONG i = 0; i < 2; ++i) {
        MapiPtr<IABContainer> c = container(i);
        QVERIFY(c);
        QByteArray a = propBytes(c.get(), PR_STORE_ENTRYID);
        QByteArray b = binary(findValue(storeRows.row(i), PR_ENTRYID));
        QCOMPARE(sameEntry(m_session.get(), a, b), 1);
    }
}

void TestAddressBook::anrRestriction_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("given name prefix") << QByteArray("an") << QStringList{"Ann Lee", "Anna Berg"};
    QTest::newRow("whole given name") << QByteArray("anna") << QStringList{"Anna Berg"};
    QTest::newRow("surname, any case") << QByteArray("LEE") << QStringList{"Ann Lee"};
    QTest::newRow("two words in any order") << QByteArray("lee ann") << QStringList{"Ann Lee"};
    QTest::newRow("address prefix") << QByteArray("bob@home") << QStringList{"Bob Stone"};
    QTest::newRow("accents ignored") << QByteArray("muller") << QStringList{"José Müller"};
    QTest::newRow("group by name") << QByteArray("support") << QStringList{"Support Team"};
    QTest::newRow("inside a word is no match") << QByteArray("nn") << QStringList{};
    QTest::newRow("contact without address is no entry") << QByteArray("carl") << QStringList{};
}

void TestAddressBook::anrRestriction()
{
    QFETCH(QByteArray, typed);
    QFETCH(QStringList, names);
    MapiPtr<IABContainer> contacts = container(0);
    MapiPtr<IMAPITable> table;
    QCOMPARE(contacts->GetContentsTable(0, table.put()), S_OK);
    SPropValue value{};
    value.ulPropTag = PR_ANR;
    value.Value.lpszA = typed.data();
    SRestriction anr{};
    anr.rt = RES_PROPERTY;
    anr.res.resProperty = {RELOP_EQ, PR_ANR, &value};
    QCOMPARE(table->Restrict(&anr, 0), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_DISPLAY_NAME}, &rows), S_OK);
    QStringList found;
    for (ULONG i = 0; i < rows.count(); ++i) {
        found << text(findValue(rows.row(i), PR_DISPLAY_NAME));
    }
    found.removeDuplicates(); // Bob has two addresses, two entries
    found.sort();
    QCOMPARE(found, names);
    // Lifting the restriction shows every entry again, the matched ones under the same keys.
    RowSet matched;
    QCOMPARE(queryAll(table.get(), {PR_INSTANCE_KEY, PR_DISPLAY_NAME}, &matched), S_OK);
    QCOMPARE(table->Restrict(nullptr, 0), S_OK);
    RowSet all;
    QCOMPARE(queryAll(table.get(), {PR_INSTANCE_KEY, PR_DISPLAY_NAME}, &all), S_OK);
    QVERIFY(all.count() > matched.count());
    for (ULONG i = 0; i < matched.count(); ++i) {
        const QByteArray key = binary(findValue(matched.row(i), PR_INSTANCE_KEY));
        bool same = false;
        for (ULONG j = 0; j < all.count() && !same; ++j) {
            same = binary(findValue(all.row(j), PR_INSTANCE_KEY)) == key &&
                   text(findValue(all.row(j), PR_DISPLAY_NAME)) ==
                       text(findValue(matched.row(i), PR_DISPLAY_NAME));
        }
        QVERIFY(same);
    }
}

void TestAddressBook::resolveName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<ULONG>("objectType");
    QTest::newRow("unique") << QStringLiteral("Berg") << S_OK << QStringLiteral("Anna Berg")
                            << QStringLiteral("anna@berg.example") << MAPI_MAILUSER;
    QTest::newRow("in the second container")
        << QStringLiteral("dana") << S_OK << QStringLiteral("Dana Lee")
        << QStringLiteral("dana@work.example") << MAPI_MAILUSER;
    QTest::newRow("whole name wins over a longer one")
        << QStringLiteral("ann lee") << S_OK << QStringLiteral("Ann Lee")
        << QStringLiteral("ann@work.example") << MAPI_MAILUSER;
    QTest::newRow("ambiguous") << QStringLiteral("lee") << MAPI_E_AMBIGUOUS_RECIP << QString()
                               << QString() << ULONG{0};
    QTest::newRow("two addresses of one contact")
        << QStringLiteral("Bob Stone") << MAPI_E_AMBIGUOUS_RECIP << QString() << QString()
        << ULONG{0};
    QTest::newRow("unresolved") << QStringLiteral("Zed Nobody") << MAPI_E_NOT_FOUND << QString()
                                << QString() << ULONG{0};
    QTest::newRow("non-ASCII") << QStringLiteral("José") << S_OK << QStringLiteral("José Müller")
                               << QStringLiteral("jose@example.de") << MAPI_MAILUSER;
    QTest::newRow("address of a contact")
        << QStringLiteral("bob@home.example") << S_OK << QStringLiteral("Bob Stone")
        << QStringLiteral("bob@home.example") << MAPI_MAILUSER;
    QTest::newRow("one-off, name and angle brackets")
        << QStringLiteral("Eve Out <eve@out.example>") << S_OK << QStringLiteral("Eve Out")
        << QStringLiteral("eve@out.example") << MAPI_MAILUSER;
    QTest::newRow("one-off, SMTP: form")
        << QStringLiteral("SMTP:x@y.example") << S_OK << QStringLiteral("x@y.example")
        << QStringLiteral("x@y.example") << MAPI_MAILUSER;
    QTest::newRow("one-off, bracketed SMTP: form")
        << QStringLiteral("Ünal [SMTP:u@y.example]") << S_OK << QStringLiteral("Ünal")
        << QStringLiteral("u@y.example") << MAPI_MAILUSER;
    QTest::newRow("group") << QStringLiteral("Support Team") << S_OK
                           << QStringLiteral("Support Team") << QString() << MAPI_DISTLIST;
}

void TestAddressBook::resolveName()
{
    QFETCH(QString, typed);
    QFETCH(HRESULT, result);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(ULONG, objectType);
    AdrList list({named(typed)});
    QCOMPARE(m_book->ResolveName(0, 0, nullptr, list.get()), result);
    const SRow row = list.row(0);
    if (result != S_OK) {
        QVERIFY(isError(findValue(row, PR_ENTRYID)));
        QCOMPARE(text(findValue(row, PR_DISPLAY_NAME)), typed); // left as typed
        return;
    }
    QCOMPARE(text(findValue(row, PR_DISPLAY_NAME)), name);
    QCOMPARE(text(findValue(row, PR_EMAIL_ADDRESS)), address);
    QCOMPARE(ULONG(findValue(row, PR_OBJECT_TYPE)->Value.l), objectType);
    // The entry id opens what it resolved to.
    ULONG type = 0;
    QVERIFY(openEntry(m_book.get(), binary(findValue(row, PR_ENTRYID)), 0, &type));
    QCOMPARE(type, objectType);
}

void TestAddressBook::resolveKeepsOtherValuesAndResolvedEntries()
{
    Values first = named(QStringLiteral("anna"), MAPI_CC);
    first.number(PR_SEND_RICH_INFO, 1);
    Values done = named(QStringLiteral("Kept As Is"), MAPI_BCC);
    done.bytes(PR_ENTRYID, QByteArray("\0\0\0\0already", 11));
    AdrList list({first, named(QStringLiteral("nobody at all")), done});
    QCOMPARE(m_book->ResolveName(0, 0, nullptr, list.get()), MAPI_E_NOT_FOUND);
    // The first is resolved although another name was not.
    QCOMPARE(text(findValue(list.row(0), PR_DISPLAY_NAME)), QStringLiteral("Anna Berg"));
    QCOMPARE(findValue(list.row(0), PR_RECIPIENT_TYPE)->Value.l, LONG{MAPI_CC});
    QCOMPARE(findValue(list.row(0), PR_SEND_RICH_INFO)->Value.b, 1);
    QCOMPARE(text(findValue(list.row(2), PR_DISPLAY_NAME)), QStringLiteral("Kept As Is"));
}

void TestAddressBook::oneOffRoundTrip()
{
    const struct
    {
        const char* name;
        ULONG flags;
        int size;
    } cases[] = {{"Bob", 0, 43},
                 {"Bob", MAPI_UNICODE, 24 + 2 * (4 + 5 + 10)},
                 {"Zo\xC3\xAB", MAPI_SEND_NO_RICH_INFO, 24 + 2 * (4 + 5 + 10)}};
    for (const auto& c : cases) {
        ULONG size = 0;
        Buffer<ENTRYID> id;
        QCOMPARE(m_book->CreateOneOff(c.name, "SMTP", "bob@x.org", c.flags, &size, id.put()), S_OK);
        QCOMPARE(int(size), c.size);
        const auto* bytes = reinterpret_cast<const BYTE*>(id.get());
        QCOMPARE(bool(bytes[22] & 0x01), bool(c.flags & MAPI_SEND_NO_RICH_INFO));
        MapiPtr<IMailUser> user = openEntry<IMailUser>(
            m_book.get(), QByteArray(reinterpret_cast<const char*>(bytes), int(size)), 0);
        QVERIFY(user);
        Props values(user.get(), {PR_DISPLAY_NAME, PR_EMAIL_ADDRESS});
        QCOMPARE(values.hr, S_OK);
        QCOMPARE(text(values[0]), QString::fromUtf8(c.name));
        QCOMPARE(text(values[1]), QStringLiteral("bob@x.org"));
    }
    ULONG size = 0;
    Buffer<ENTRYID> id;
    QCOMPARE(m_book->CreateOneOff("x", nullptr, "a@b", 0, &size, id.put()),
             MAPI_E_INVALID_PARAMETER);
}

void TestAddressBook::openEntryAsMailUser()
{
    AdrList list({named(QStringLiteral("José"))});
    QCOMPARE(m_book->ResolveName(0, 0, nullptr, list.get()), S_OK);
    const QByteArray id = binary(findValue(list.row(0), PR_ENTRYID));
    // The session opens address book entries as well.
    ULONG type = 0;
    MapiPtr<IMailUser> user = openEntry<IMailUser>(m_session.get(), id, 0, &type);
    QVERIFY(user);
    QCOMPARE(type, MAPI_MAILUSER);
    Props values(user.get(), {PR_GIVEN_NAME, PR_SURNAME, PR_SEARCH_KEY, PR_DISPLAY_TYPE});
    QCOMPARE(values.hr, S_OK);
    QCOMPARE(text(values[0]), QStringLiteral("José"));
    QCOMPARE(text(values[1]), QStringLiteral("Müller"));
    QCOMPARE(binary(values[2]), QByteArray("SMTP:JOSE@EXAMPLE.DE", 21));
    // A contact removed since is no entry any more.
    QVERIFY(QFile::rename(m_dir.filePath(QStringLiteral("contacts/jose.vcf")),
                          m_dir.filePath(QStringLiteral("jose.bak"))));
    HRESULT hr = S_OK;
    QVERIFY(!openEntry(m_book.get(), id, 0, nullptr, &hr));
    QCOMPARE(hr, MAPI_E_NOT_FOUND);
    QVERIFY(QFile::rename(m_dir.filePath(QStringLiteral("jose.bak")),
                          m_dir.filePath(QStringLiteral("contacts/jose.vcf"))));
}

void TestAddressBook::prepareRecips()
{
    AdrList list({named(QStringLiteral("anna"), MAPI_CC)});
    QCOMPARE(m_book->ResolveName(0, 0, nullptr, list.get()), S_OK);
    TagArray columns{PR_ENTRYID,     PR_DISPLAY_NAME,   PR_EMAIL_ADDRESS, PR_ADDRTYPE,
                     PR_OBJECT_TYPE, PR_SEND_RICH_INFO, PR_DISPLAY_TYPE,  PR_RECIPIENT_TYPE,
                     PR_GIVEN_NAME,  PR_SURNAME};
    QCOMPARE(m_book->PrepareRecips(0, columns.get(), list.get()), S_OK);
    const SRow row = list.row(0);
    QVERIFY(row.cValues >= 10);
    const LPSPropTagArray asked = columns.get();
    for (ULONG i = 0; i < 10; ++i) {
        QCOMPARE(PROP_ID(row.lpProps[i].ulPropTag), PROP_ID(asked->aulPropTag[i]));
    }
    QCOMPARE(text(&row.lpProps[8]), QStringLiteral("Anna")); // read from the entry
    QCOMPARE(PROP_TYPE(row.lpProps[5].ulPropTag), PT_ERROR); // nobody gave it
    QCOMPARE(row.lpProps[7].Value.l, LONG{MAPI_CC});
}

void TestAddressBook::recipientRowsSurviveSaveAndRestart()
{
    MapiPtr<IMsgStore> store = openStore(m_session.get());
    MapiPtr<IMAPIFolder> inbox = openInbox(store.get());
    MapiPtr<IMessage> message;
    QCOMPARE(inbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    AdrList list({named(QStringLiteral("anna"), MAPI_TO), named(QStringLiteral("team"), MAPI_CC),
                  named(QStringLiteral("Ünal <u@y.example>"), MAPI_BCC)});
    QCOMPARE(m_book->ResolveName(0, 0, nullptr, list.get()), S_OK);
    for (ULONG i = 0; i < 3; ++i) {
        SPropValue rich{};
        rich.ulPropTag = PR_SEND_RICH_INFO;
        rich.Value.b = i == 0;
        ADRLIST one{1, {list.get()->aEntries[i]}};
        std::vector<SPropValue> values(list.get()->aEntries[i].rgPropVals,
                                       list.get()->aEntries[i].rgPropVals +
                                           list.get()->aEntries[i].cValues);
        values.push_back(rich);
        one.aEntries[0] = {0, static_cast<ULONG>(values.size()), values.data()};
        QCOMPARE(message->ModifyRecipients(MODRECIP_ADD, &one), S_OK);
    }
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    const QByteArray messageId = propBytes(message.get(), PR_ENTRYID);
    const auto check = [&](IMessage* m) {
        MapiPtr<IMAPITable> table;
        RowSet rows;
        QCOMPARE(m->GetRecipientTable(0, table.put()), S_OK);
        QCOMPARE(queryAll(table.get(),
                          {PR_DISPLAY_NAME, PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_TYPE,
                           PR_SEND_RICH_INFO, PR_RECIPIENT_TYPE, PR_EMAIL_ADDRESS},
                          &rows),
                 S_OK);
        QCOMPARE(rows.count(), 3u); // the group has no address and is still there
        for (ULONG i = 0; i < 3; ++i) {
            const SRow& r = rows.row(i);
            QCOMPARE(binary(findValue(r, PR_ENTRYID)), binary(findValue(list.row(i), PR_ENTRYID)));
            QCOMPARE(findValue(r, PR_OBJECT_TYPE)->Value.l,
                     findValue(list.row(i), PR_OBJECT_TYPE)->Value.l);
            QCOMPARE(findValue(r, PR_DISPLAY_TYPE)->Value.l,
                     findValue(list.row(i), PR_DISPLAY_TYPE)->Value.l);
            QCOMPARE(findValue(r, PR_SEND_RICH_INFO)->Value.b != 0, i == 0);
            QCOMPARE(findValue(r, PR_RECIPIENT_TYPE)->Value.l, LONG(i + 1));
        }
        QCOMPARE(text(findValue(rows.row(1), PR_DISPLAY_NAME)), QStringLiteral("Support Team"));
        QCOMPARE(text(findValue(rows.row(2), PR_DISPLAY_NAME)), QStringLiteral("Ünal"));
    };
    check(message.get());
    message.reset();
    endSession(&m_session, &m_book, &store, &inbox);
    QCOMPARE(newSession("Test", &m_session), S_OK);
    QCOMPARE(m_session->OpenAddressBook(0, nullptr, 0, m_book.put()), S_OK);
    MapiPtr<IMessage> reopened = openEntry<IMessage>(m_session.get(), messageId);
    QVERIFY(reopened);
    check(reopened.get());
}

void TestAddressBook::addressDialogChoosesIntoWells()
{
    char caption[] = "Please add your Mail recipients";
    char wellsTitle[] = "Destination fields";
    char to[] = "To";
    char cc[] = "Cc";
    char bcc[] = "Bcc";
    char* titles[] = {to, cc, bcc};
    ULONG types[] = {MAPI_TO, MAPI_CC, MAPI_BCC};
    ADRPARM params{};
    params.ulFlags = DIALOG_MODAL | AB_SELECTONLY;
    params.lpszCaption = caption;
    params.lpszDestWellsTitle = wellsTitle;
    params.cDestFields = 3;
    params.lppszDestTitles = titles;
    params.lpulDestComps = types;
    // The pending list comes into the wells by its recipient types.
    AdrList list({named(QStringLiteral("anna"), MAPI_CC)});
    QCOMPARE(m_book->ResolveName(0, 0, nullptr, list.get()), S_OK);
    bool driven = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString::fromLatin1(caption));
        auto* containers = dialog->findChild<QComboBox*>(QStringLiteral("containers"));
        QCOMPARE(containers->count(), 2);
        QCOMPARE(dialog->findChild<QListWidget*>(QStringLiteral("well1"))->count(), 1);
        auto* search = dialog->findChild<QLineEdit*>(QStringLiteral("search"));
        auto* entries = dialog->findChild<QTreeWidget*>(QStringLiteral("entries"));
        QTest::keyClicks(search, QStringLiteral("jo"));
        QCOMPARE(entries->currentItem()->text(0), QStringLiteral("José Müller"));
        entries->currentItem()->setSelected(true);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("wellButton0")),
                          Qt::LeftButton);
        containers->setCurrentIndex(1); // the second store's contacts
        entries->clearSelection();
        entries->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("wellButton2")),
                          Qt::LeftButton);
        driven = true;
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ULONG_PTR window = 0;
    QCOMPARE(m_book->Address(&window, &params, list.put()), S_OK);
    QVERIFY(driven);
    QStringList chosen;
    for (ULONG i = 0; i < list.get()->cEntries; ++i) {
        chosen << QStringLiteral("%1|%2")
                      .arg(text(findValue(list.row(i), PR_DISPLAY_NAME)))
                      .arg(findValue(list.row(i), PR_RECIPIENT_TYPE)->Value.l);
    }
    QCOMPARE(chosen, (QStringList{QStringLiteral("José Müller|1"), "Anna Berg|2", "Dana Lee|3"}));
    QVERIFY(!binary(findValue(list.row(2), PR_ENTRYID)).isEmpty());
}

void TestAddressBook::addressDialogCancel()
{
    char to[] = "To";
    char* titles[] = {to};
    ULONG types[] = {MAPI_TO};
    ADRPARM params{};
    params.ulFlags = DIALOG_MODAL | AB_SELECTONLY;
    params.cDestFields = 1;
    params.lppszDestTitles = titles;
    params.lpulDestComps = types;
    AdrList list({named(QStringLiteral("anna"))});
    QTimer::singleShot(0, this, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* entries = dialog->findChild<QTreeWidget*>(QStringLiteral("entries"));
        entries->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("wellButton0")),
                          Qt::LeftButton);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    ULONG_PTR window = 0;
    QCOMPARE(m_book->Address(&window, &params, list.put()), MAPI_E_USER_CANCEL);
    QCOMPARE(list.get()->cEntries, 1u); // as it was
    QCOMPARE(text(findValue(list.row(0), PR_DISPLAY_NAME)), QStringLiteral("anna"));
    params.ulFlags = DIALOG_SDI;
    QCOMPARE(m_book->Address(&window, &params, list.put()), MAPI_E_NO_SUPPORT);
}

QTEST_MAIN(TestAddressBook)
#include "tst_addressbook.moc"
