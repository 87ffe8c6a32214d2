// The contacts folder (a vCard directory) in a store's hierarchy, its contents table and
// contacts; creating and emptying Maildir++ folders.
#include "MapiFixture.h"
#include "NotifySink.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QByteArray kAnn = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nN:Lee;Ann;Marie;Dr.;\r\n"
                        "ORG:Example Ltd;Support\r\nTITLE:Head of Support\r\n"
                        "EMAIL;TYPE=INTERNET,WORK:ann@work.example\r\n"
                        "EMAIL;TYPE=INTERNET,HOME,PREF:ann@home.example\r\n"
                        "TEL;TYPE=WORK,VOICE:+44 20 7946 0000\r\nTEL;TYPE=CELL:+44 7700 900000\r\n"
                        "ADR;TYPE=WORK:;;1 High Street;London;;EC1A 1AA;United Kingdom\r\n"
                        "NOTE:Prefers e-mail\\, never calls.\\nSecond line\r\n"
                        "UID:ann\r\nEND:VCARD\r\n";
// Folded at 75 octets in the middle of a multi-byte character, 4.0 style parameters.
const QByteArray kZoe =
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m Lindqvist"
    "-Bergstr\xC3\xB6m of the Northern Office Sup\r\n port Team\r\n"
    "N:\xC3\x85ngstr\xC3\xB6m;Zo\xC3\xAB;;;\r\n"
    "item1.EMAIL;TYPE=work;PREF=1:zoe@example.se\r\nEND:VCARD\r\n";
const QByteArray kTeam = "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Support Team\r\n"
                         "MEMBER:mailto:ann@work.example\r\nEND:VCARD\r\n";
// An old export in a local code page.
const QByteArray kOld = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Jos\xE9 M\xFCller\r\n"
                        "TEL;HOME:555 0100\r\nEND:VCARD\r\n";

ULONG namedTag(IMAPIProp* object, LONG lid)
{
    GUID set = PSETID_Address;
    MAPINAMEID name{&set, MNID_ID, {}};
    name.Kind.lID = lid;
    LPMAPINAMEID names[] = {&name};
    Buffer<SPropTagArray> tags;
    if (object->GetIDsFromNames(1, names, 0, tags.put()) != S_OK) {
        return PR_NULL;
    }
    return PROP_TAG(PT_STRING8, PROP_ID(tags.get()->aulPropTag[0]));
}

} // namespace

class TestMaildirContacts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void contactsFolderInHierarchy();
    void contactsTable();
    void contactProperties();
    void contactsFolderHoldsNoFolders();
    void contactsTableFollowsTheDirectory();
    void storeWithoutContacts();
    void createFolder_data();
    void createFolder();
    void createFolderCollision();
    void createdFolderTakesMessages();
    void emptyFolder();

private:
    MapiPtr<IMAPIFolder> open(const QByteArray& id);
    QByteArray folderIdByName(const QString& name);
    MapiPtr<IMAPIFolder> subtree();
    QByteArray contactId(const QString& displayName);

    QTemporaryDir m_dir;
    QString m_root;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestMaildirContacts::initTestCase()
{
    QVERIFY(library().isLoaded());
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    m_root = m_dir.filePath(QStringLiteral("Maildir"));
    MaildirBuilder builder(m_root);
    builder.addFolder(QStringLiteral(".Sent Items"));
    const QString vdir = m_dir.filePath(QStringLiteral("contacts"));
    QVERIFY(QDir().mkpath(vdir));
    QVERIFY(writeFile(vdir + QStringLiteral("/ann.vcf"), kAnn));
    QVERIFY(writeFile(vdir + QStringLiteral("/zoe.vcf"), kZoe));
    QVERIFY(writeFile(vdir + QStringLiteral("/team.vcf"), kTeam));
    QVERIFY(writeFile(vdir + QStringLiteral("/old.vcf"), kOld));
    // Half-written and stray files are no contacts.
    QVERIFY(writeFile(vdir + QStringLiteral("/.new.vcf"), kAnn));
    QVERIFY(writeFile(vdir + QStringLiteral("/ann.vcf.tmp"), kAnn));
    QVERIFY(writeFile(vdir + QStringLiteral("/displayname"), "Friends"));
    QVERIFY(installProfiles(m_dir.path(), "[Profile Test]\nStores=Mail;Bare\n"
                                          "[Store Test/Mail]\nPath=@ROOT@/Maildir\nContacts=" +
                                              QFile::encodeName(vdir) +
                                              "\n[Store Test/Bare]\nPath=@ROOT@/Bare\n"));
    MaildirBuilder bare(m_dir.filePath(QStringLiteral("Bare")));
}

void TestMaildirContacts::init()
{
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get()); // the default store comes first
    QVERIFY(m_store);
}

void TestMaildirContacts::cleanup()
{
    endSession(&m_session, &m_store);
}

void TestMaildirContacts::cleanupTestCase()
{
    api().MAPIUninitialize();
}

MapiPtr<IMAPIFolder> TestMaildirContacts::open(const QByteArray& id)
{
    return openEntry<IMAPIFolder>(m_store.get(), id);
}

MapiPtr<IMAPIFolder> TestMaildirContacts::subtree()
{
    return open(binary(Props(m_store.get(), {PR_IPM_SUBTREE_ENTRYID})[0]));
}

QByteArray TestMaildirContacts::folderIdByName(const QString& name)
{
    MapiPtr<IMAPITable> table;
    subtree()->GetHierarchyTable(0, table.put());
    RowSet rows;
    queryAll(table.get(), {PR_DISPLAY_NAME, PR_ENTRYID}, &rows);
    return bytesWhere(rows, PR_DISPLAY_NAME, name);
}

QByteArray TestMaildirContacts::contactId(const QString& displayName)
{
    RowSet rows;
    contents(open(folderIdByName(QStringLiteral("Contacts"))).get(), {PR_DISPLAY_NAME, PR_ENTRYID},
             &rows);
    return bytesWhere(rows, PR_DISPLAY_NAME, displayName);
}

void TestMaildirContacts::contactsFolderInHierarchy()
{
    MapiPtr<IMAPITable> table;
    QCOMPARE(subtree()->GetHierarchyTable(0, table.put()), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_DISPLAY_NAME, PR_CONTAINER_CLASS, PR_ENTRYID}, &rows), S_OK);
    QHash<QString, QString> classes;
    for (ULONG i = 0; i < rows.count(); ++i) {
        classes.insert(text(&rows.row(i).lpProps[0]), text(&rows.row(i).lpProps[1]));
    }
    QCOMPARE(classes.value(QStringLiteral("Contacts")), QStringLiteral("IPF.Contact"));
    QCOMPARE(classes.value(QStringLiteral("Inbox")), QStringLiteral("IPF.Note"));
    QCOMPARE(classes.value(QStringLiteral("Sent Items")), QStringLiteral("IPF.Note"));

    // The Inbox names the contacts folder, as the program looks it up.
    Props value(open(inboxId(m_store.get())).get(), {PR_IPM_CONTACT_ENTRYID});
    QCOMPARE(value.hr, S_OK);
    QByteArray fromInbox = binary(value[0]);
    QByteArray fromTable = folderIdByName(QStringLiteral("Contacts"));
    QCOMPARE(sameEntry(m_session.get(), fromInbox, fromTable), 1);

    MapiPtr<IMAPIFolder> contacts = open(fromTable);
    QVERIFY(contacts);
    QCOMPARE(Props(contacts.get(), {PR_CONTENT_COUNT})[0]->Value.l, 4);
}

void TestMaildirContacts::contactsTable()
{
    MapiPtr<IMAPIFolder> contacts = open(folderIdByName(QStringLiteral("Contacts")));
    MapiPtr<IMAPITable> table;
    QCOMPARE(contacts->GetContentsTable(0, table.put()), S_OK);
    // The program resolves the named columns from the first contact before setting columns.
    const ULONG email1 = namedTag(contacts.get(), 0x8083);
    const ULONG fileAs = namedTag(contacts.get(), 0x8005);
    QVERIFY(email1 != PR_NULL && fileAs != PR_NULL);
    TagArray columns{PR_INSTANCE_KEY, PR_ENTRYID, PR_MESSAGE_CLASS, fileAs,
                     PR_DISPLAY_NAME, email1,     PR_SURNAME};
    QCOMPARE(table->SetColumns(columns.get(), 0), S_OK);
    SSortOrderSet sort{1, 0, 0, {{PR_DISPLAY_NAME, TABLE_SORT_ASCEND}}};
    QCOMPARE(table->SortTable(&sort, 0), S_OK);
    RowSet rows;
    QCOMPARE(table->QueryRows(50, 0, rows.put()), S_OK);
    QCOMPARE(rows.count(), 4u);
    QStringList lines;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        lines << QStringLiteral("%1|%2|%3|%4")
                     .arg(text(&row.lpProps[2]), text(&row.lpProps[3]), text(&row.lpProps[4]),
                          text(&row.lpProps[5]));
    }
    QCOMPARE(lines, QStringList({
                        QStringLiteral("IPM.Contact|Lee, Ann|Ann Lee|ann@home.example"),
                        QStringLiteral("IPM.Contact|José Müller|José Müller|"),
                        QStringLiteral("IPM.DistList|Support Team|Support Team|"),
                        QStringLiteral("IPM.Contact|Ångström, Zoë|Zoë Ångström Lindqvist-"
                                       "Bergström of the Northern Office Support Team|"
                                       "zoe@example.se"),
                    }));
}

// The fields of a card, read in one GetProps.
void TestMaildirContacts::contactProperties()
{
    const auto values = [this](const QString& contact, std::initializer_list<ULONG> asked) {
        ULONG type = 0;
        MapiPtr<IMessage> message =
            openEntry<IMessage>(m_store.get(), contactId(contact), MAPI_BEST_ACCESS, &type);
        QStringList got{QString::number(type)};
        // Laid out as SPropTagArray; the named ids resolved as the program resolves them.
        std::vector<ULONG> raw{ULONG(asked.size())};
        for (ULONG tag : asked) {
            raw.push_back(tag >= 0x8000 && tag <= 0xFFFF && message
                              ? namedTag(message.get(), static_cast<LONG>(tag))
                              : tag);
        }
        Buffer<SPropValue> props;
        ULONG count = 0;
        if (!message || message->GetProps(reinterpret_cast<LPSPropTagArray>(raw.data()), 0, &count,
                                          props.put()) != S_OK) {
            return got << QStringLiteral("<failed>");
        }
        for (ULONG i = 0; i < count; ++i) {
            got << text(&props.get()[i]);
        }
        return got;
    };
    // Named: 0x8093 the second e-mail (after the preferred one), 0x8080 its display-as.
    QCOMPARE(
        values(QStringLiteral("Ann Lee"),
               {PR_GIVEN_NAME, PR_MIDDLE_NAME, PR_DISPLAY_NAME_PREFIX, PR_COMPANY_NAME,
                PR_DEPARTMENT_NAME, PR_TITLE, PR_BUSINESS_TELEPHONE_NUMBER,
                PR_MOBILE_TELEPHONE_NUMBER, PR_BUSINESS_ADDRESS_STREET,
                PR_BUSINESS_ADDRESS_POSTAL_CODE, PR_BUSINESS_ADDRESS_COUNTRY, PR_BODY, 0x8093,
                0x8080}),
        (QStringList{QString::number(MAPI_MESSAGE), "Ann", "Marie", "Dr.", "Example Ltd", "Support",
                     "Head of Support", "+44 20 7946 0000", "+44 7700 900000", "1 High Street",
                     "EC1A 1AA", "United Kingdom", "Prefers e-mail, never calls.\nSecond line",
                     "ann@work.example", "Ann Lee (ann@home.example)"}));
    // A 2.1 card's bare type.
    QCOMPARE(values(QStringLiteral("José Müller"), {PR_HOME_TELEPHONE_NUMBER}),
             (QStringList{QString::number(MAPI_MESSAGE), "555 0100"}));
}

void TestMaildirContacts::contactsFolderHoldsNoFolders()
{
    // Contacts are made in it (see the contact-writing tests); folders are not.
    MapiPtr<IMAPIFolder> contacts = open(folderIdByName(QStringLiteral("Contacts")));
    MapiPtr<IMAPIFolder> child;
    QCOMPARE(contacts->CreateFolder(FOLDER_GENERIC, "Sub", nullptr, nullptr, 0, child.put()),
             MAPI_E_NO_SUPPORT);
    QCOMPARE(contacts->EmptyFolder(0, nullptr, 0), MAPI_E_NO_SUPPORT);
}

void TestMaildirContacts::contactsTableFollowsTheDirectory()
{
    MapiPtr<IMAPIFolder> contacts = open(folderIdByName(QStringLiteral("Contacts")));
    MapiPtr<IMAPITable> table;
    QCOMPARE(contacts->GetContentsTable(0, table.put()), S_OK);
    MapiPtr<RecordingSink> sink(new RecordingSink);
    ULONG connection = 0;
    QCOMPARE(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
    QTest::qWait(200);
    QVERIFY(sink->seen.empty()); // advising alone changes nothing

    const QString added = m_dir.filePath(QStringLiteral("contacts/bob.vcf"));
    QVERIFY(writeFile(added, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob Added\r\nEND:VCARD\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!sink->seen.empty(), 1000);
    QCOMPARE(sink->seen.back().tableEvent, TABLE_RELOAD);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_DISPLAY_NAME}, &rows), S_OK);
    QCOMPARE(rows.count(), 5u);
    QCOMPARE(table->Unadvise(connection), S_OK);
    QVERIFY(QFile::remove(added));
}

void TestMaildirContacts::storeWithoutContacts()
{
    MapiPtr<IMsgStore> bare = openStore(m_session.get(), 1);
    QVERIFY(bare);
    Props value(openInbox(bare.get()).get(), {PR_IPM_CONTACT_ENTRYID});
    QCOMPARE(value.hr, MAPI_W_ERRORS_RETURNED);
    QVERIFY(isError(value[0]));
}

void TestMaildirContacts::createFolder_data()
{
    QTest::addColumn<QString>("parent"); // display name below the subtree; empty: the subtree
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<QString>("directory"); // on disk, below the Maildir

    QTest::newRow("top level") << QString() << QByteArray("Projects") << S_OK
                               << QStringLiteral(".Projects");
    QTest::newRow("spaces kept") << QString() << QByteArray("Waiting for customer") << S_OK
                                 << QStringLiteral(".Waiting for customer");
    QTest::newRow("non-ASCII in modified UTF-7")
        << QString() << QByteArray("Entw\xC3\xBC rfe & Caf\xC3\xA9") << S_OK
        << QStringLiteral(".Entw&APw- rfe &- Caf&AOk-");
    QTest::newRow("nested") << QStringLiteral("Sent Items") << QByteArray("2026") << S_OK
                            << QStringLiteral(".Sent Items.2026");
    QTest::newRow("dot refused") << QString() << QByteArray("a.b") << MAPI_E_INVALID_PARAMETER
                                 << QString();
    QTest::newRow("slash refused")
        << QString() << QByteArray("../escape") << MAPI_E_INVALID_PARAMETER << QString();
    QTest::newRow("empty refused")
        << QString() << QByteArray("") << MAPI_E_INVALID_PARAMETER << QString();
    QTest::newRow("not below the Inbox")
        << QStringLiteral("Inbox") << QByteArray("Sub") << MAPI_E_NO_SUPPORT << QString();
}

void TestMaildirContacts::createFolder()
{
    QFETCH(QString, parent);
    QFETCH(QByteArray, name);
    QFETCH(HRESULT, result);
    QFETCH(QString, directory);

    MapiPtr<IMAPIFolder> under = parent.isEmpty() ? subtree() : open(folderIdByName(parent));
    QVERIFY(under);
    MapiPtr<IMAPIFolder> created;
    QCOMPARE(
        under->CreateFolder(FOLDER_GENERIC, name.constData(), nullptr, nullptr, 0, created.put()),
        result);
    if (result != S_OK) {
        QVERIFY(!created);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("escape"))));
        return;
    }
    const QString dir = m_root + QLatin1Char('/') + directory;
    for (const char* sub : {"/cur", "/new", "/tmp"}) {
        QVERIFY(QFileInfo(dir + QLatin1String(sub)).isDir());
    }
    QVERIFY(QFileInfo::exists(dir + QStringLiteral("/maildirfolder")));
    QCOMPARE(text(Props(created.get(), {PR_DISPLAY_NAME})[0]), QString::fromUtf8(name));
}

void TestMaildirContacts::createFolderCollision()
{
    MapiPtr<IMAPIFolder> root = subtree();
    MapiPtr<IMAPIFolder> first;
    QCOMPARE(root->CreateFolder(FOLDER_GENERIC, "Twice", nullptr, nullptr, 0, first.put()), S_OK);
    MapiPtr<IMAPIFolder> again;
    QCOMPARE(root->CreateFolder(FOLDER_GENERIC, "Twice", nullptr, nullptr, 0, again.put()),
             MAPI_E_COLLISION);
    QCOMPARE(
        root->CreateFolder(FOLDER_GENERIC, "Twice", nullptr, nullptr, OPEN_IF_EXISTS, again.put()),
        S_OK);
    QCOMPARE(binary(Props(again.get(), {PR_ENTRYID})[0]),
             binary(Props(first.get(), {PR_ENTRYID})[0]));
    QCOMPARE(root->CreateFolder(2, "Search", nullptr, nullptr, 0, again.put()), MAPI_E_NO_SUPPORT);
}

void TestMaildirContacts::createdFolderTakesMessages()
{
    MapiPtr<IMAPIFolder> folder;
    QCOMPARE(subtree()->CreateFolder(FOLDER_GENERIC, "Escalated", nullptr, nullptr, OPEN_IF_EXISTS,
                                     folder.put()),
             S_OK);
    MapiPtr<IMessage> message;
    QCOMPARE(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    SPropValue subject{};
    subject.ulPropTag = PR_SUBJECT;
    subject.Value.lpszA = const_cast<char*>("Filed here");
    QCOMPARE(message->SetProps(1, &subject, nullptr), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    RowSet rows;
    QCOMPARE(contents(open(folderIdByName(QStringLiteral("Escalated"))).get(), {PR_SUBJECT}, &rows),
             S_OK);
    QCOMPARE(texts(rows), QStringList{"Filed here"});
}

void TestMaildirContacts::emptyFolder()
{
    MaildirBuilder builder(m_root);
    builder.addFolder(QStringLiteral(".Junk"));
    builder.addFolder(QStringLiteral(".Junk.Keep"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    builder.addMessage(QStringLiteral(".Junk"), QStringLiteral("new"),
                       QStringLiteral("1.M1P1Q1.host"), email("Subject: a\r\n"), now);
    builder.addMessage(QStringLiteral(".Junk"), QStringLiteral("cur"),
                       QStringLiteral("2.M2P1Q1.host:2,S"), email("Subject: b\r\n"), now);
    const QString kept =
        builder.addMessage(QStringLiteral(".Junk.Keep"), QStringLiteral("cur"),
                           QStringLiteral("3.M3P1Q1.host:2,S"), email("Subject: c\r\n"), now);
    MapiPtr<IMAPIFolder> junk = open(folderIdByName(QStringLiteral("Junk")));
    QVERIFY(junk);
    QCOMPARE(junk->EmptyFolder(0, nullptr, DEL_FOLDERS), MAPI_E_NO_SUPPORT);
    QCOMPARE(junk->EmptyFolder(0, nullptr, 0), S_OK);
    QVERIFY(QDir(m_root + QStringLiteral("/.Junk/new")).isEmpty());
    QVERIFY(QDir(m_root + QStringLiteral("/.Junk/cur")).isEmpty());
    QVERIFY(QFileInfo::exists(kept)); // subfolders keep their mail
    QCOMPARE(subtree()->EmptyFolder(0, nullptr, 0), MAPI_E_NO_SUPPORT);
}

QTEST_GUILESS_MAIN(TestMaildirContacts)
#include "tst_maildircontacts.moc"
