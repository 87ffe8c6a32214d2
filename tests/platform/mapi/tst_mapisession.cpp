// The mail library's entry points: loading, initialisation, memory, profiles, logon and the
// stores table, against profile files and Maildirs in a temporary folder.
#include "MapiFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QByteArray kTwoProfiles = "[Profile Home]\n"
                                "Stores=Private\n"
                                "[Store Home/Private]\n"
                                "Path=@ROOT@/home\n"
                                "[Profile Work]\n"
                                "Default=true\n"
                                "Name=Help Desk\n"
                                "Address=help@example.com\n"
                                "Stores=Support;Archive;Gone\n"
                                "[Store Work/Support]\n"
                                "Path=@ROOT@/support\n"
                                "[Store Work/Archive]\n"
                                "Path=@ROOT@/archive\n"
                                "Default=true\n"
                                "[Store Work/Gone]\n"
                                "Path=@ROOT@/does-not-exist\n";

} // namespace

class TestMapiSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void loaderRejectsBadLibrary();
    void initializeIsCounted();
    void allocationChains_data();
    void allocationChains();
    void allocateMoreNeedsParent();
    void freePadrlistFreesEntries();
    void profileTable_data();
    void profileTable();
    void defaultProfileCreated();
    void logon_data();
    void logon();
    void storesTable();
    void storeIdsStableAcrossLogons();
    void openMsgStoreRejects_data();
    void openMsgStoreRejects();
    void logoffEndsSession();
    void conversationIndex();
    void identity_data();
    void identity();

private:
    void useProfiles(const QByteArray& ini);
    HRESULT logon(const char* profile, IMAPISession** session,
                  ULONG flags = MAPI_NEW_SESSION | MAPI_EXTENDED | MAPI_NO_MAIL);
    QByteArray storeId(IMAPISession* session, const QString& name);

    QTemporaryDir m_dir;
    QString m_profilePath;
};

void TestMapiSession::initTestCase()
{
    QVERIFY2(library().isLoaded(), VNTMAPI_LIBRARY_PATH);
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
}

void TestMapiSession::init()
{
    QVERIFY(m_dir.isValid());
    for (const char* store : {"home", "support", "archive"}) {
        MaildirBuilder(m_dir.filePath(QLatin1String(store)));
    }
    m_profilePath = m_dir.filePath(QStringLiteral("profiles.ini"));
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(m_profilePath));
    useProfiles(kTwoProfiles);
}

void TestMapiSession::cleanupTestCase()
{
    api().MAPIUninitialize();
}

void TestMapiSession::useProfiles(const QByteArray& ini)
{
    QByteArray content = ini;
    content.replace("@ROOT@", QFile::encodeName(m_dir.path()));
    QVERIFY(writeFile(m_profilePath, content));
}

HRESULT TestMapiSession::logon(const char* profile, IMAPISession** session, ULONG flags)
{
    return api().MAPILogonEx(0, profile, nullptr, flags, session);
}

QByteArray TestMapiSession::storeId(IMAPISession* session, const QString& name)
{
    MapiPtr<IMAPITable> table;
    RowSet rows;
    if (FAILED(session->GetMsgStoresTable(0, table.put())) ||
        FAILED(queryAll(table.get(), {PR_ENTRYID, PR_DISPLAY_NAME}, &rows))) {
        return {};
    }
    return bytesWhere(rows, PR_DISPLAY_NAME, name);
}

void TestMapiSession::loaderRejectsBadLibrary()
{
    vntmapi::MapiLibrary other;
    std::string error;
    QVERIFY(!other.load(m_dir.filePath(QStringLiteral("missing.so")).toStdString(), &error));
    QVERIFY(!error.empty());
    // A real shared object without the entry points is refused as well.
    QVERIFY(!other.load("libz.so.1", &error));
    QVERIFY(error.find("MAPIInitialize") != std::string::npos);
    QVERIFY(!other.isLoaded());
}

void TestMapiSession::initializeIsCounted()
{
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    api().MAPIUninitialize();
    MapiPtr<IMAPISession> session;
    QCOMPARE(logon("Work", session.put()), S_OK); // the first initialisation still holds
    session.reset();
    api().MAPIUninitialize();
    QCOMPARE(logon("Work", session.put()), MAPI_E_NOT_INITIALIZED);
    MapiPtr<IProfAdmin> admin;
    QCOMPARE(api().MAPIAdminProfiles(0, admin.put()), MAPI_E_NOT_INITIALIZED);
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    QCOMPARE(logon("Work", session.put()), S_OK);
}

void TestMapiSession::allocationChains_data()
{
    QTest::addColumn<int>("rootSize");
    QTest::addColumn<QList<int>>("moreSizes");
    QTest::addColumn<bool>("chainFromChild");

    QTest::newRow("root only") << 64 << QList<int>{} << false;
    QTest::newRow("empty root") << 0 << QList<int>{16} << false;
    QTest::newRow("several blocks") << 128 << QList<int>{1, 4096, 0, 33} << false;
    QTest::newRow("blocks hung on blocks") << 8 << QList<int>{24, 24, 1 << 20} << true;
}

void TestMapiSession::allocationChains()
{
    QFETCH(int, rootSize);
    QFETCH(QList<int>, moreSizes);
    QFETCH(bool, chainFromChild);

    void* root = nullptr;
    QCOMPARE(api().MAPIAllocateBuffer(static_cast<ULONG>(rootSize), &root), S_OK);
    QVERIFY(root);
    QCOMPARE(reinterpret_cast<std::uintptr_t>(root) % alignof(std::max_align_t), 0u);
    std::memset(root, 0xAB, static_cast<std::size_t>(rootSize));
    void* parent = root;
    for (int size : moreSizes) {
        void* more = nullptr;
        QCOMPARE(api().MAPIAllocateMore(static_cast<ULONG>(size), parent, &more), S_OK);
        QVERIFY(more);
        std::memset(more, 0xCD, static_cast<std::size_t>(size));
        if (chainFromChild) {
            parent = more;
        }
    }
    // Freeing a dependent block alone is a no-op; the root frees everything (checked by the
    // sanitizer and valgrind runs).
    if (parent != root) {
        QCOMPARE(api().MAPIFreeBuffer(parent), ULONG{S_OK});
    }
    QCOMPARE(api().MAPIFreeBuffer(root), ULONG{S_OK});
}

void TestMapiSession::allocateMoreNeedsParent()
{
    void* more = nullptr;
    QCOMPARE(api().MAPIAllocateMore(8, nullptr, &more), MAPI_E_INVALID_PARAMETER);
    QCOMPARE(api().MAPIFreeBuffer(nullptr), ULONG{S_OK});
}

void TestMapiSession::freePadrlistFreesEntries()
{
    void* buffer = nullptr;
    QCOMPARE(api().MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(2)), &buffer), S_OK);
    auto* list = static_cast<LPADRLIST>(buffer);
    list->cEntries = 2;
    for (ADRENTRY* entry = list->aEntries; entry != list->aEntries + 2; ++entry) {
        void* props = nullptr;
        QCOMPARE(api().MAPIAllocateBuffer(sizeof(SPropValue), &props), S_OK);
        entry->cValues = 1;
        entry->rgPropVals = static_cast<LPSPropValue>(props);
        void* name = nullptr;
        QCOMPARE(api().MAPIAllocateMore(6, props, &name), S_OK);
        std::memcpy(name, "Alice", 6);
        entry->rgPropVals->ulPropTag = PR_DISPLAY_NAME;
        entry->rgPropVals->Value.lpszA = static_cast<char*>(name);
    }
    api().FreePadrlist(list);
    api().FreePadrlist(nullptr);
}

void TestMapiSession::profileTable_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("defaultName");

    QTest::newRow("second marked default")
        << kTwoProfiles << QStringList{"Home", "Work"} << QStringLiteral("Work");
    QTest::newRow("none marked: the first")
        << QByteArray("[Profile B]\nStores=\n[Profile A]\nStores=\n") << QStringList{"B", "A"}
        << QStringLiteral("B");
    QTest::newRow("two marked: the first of them")
        << QByteArray("[Profile A]\n[Profile B]\nDefault=true\n[Profile C]\nDefault=true\n")
        << QStringList{"A", "B", "C"} << QStringLiteral("B");
    QTest::newRow("other groups ignored")
        << QByteArray("[General]\nX=1\n[Store A/x]\nPath=/tmp\n[Profile A]\n") << QStringList{"A"}
        << QStringLiteral("A");
}

void TestMapiSession::profileTable()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, names);
    QFETCH(QString, defaultName);
    useProfiles(ini);

    MapiPtr<IProfAdmin> admin;
    QCOMPARE(api().MAPIAdminProfiles(0, admin.put()), S_OK);
    MapiPtr<IMAPITable> table;
    QCOMPARE(admin->GetProfileTable(0, table.put()), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_DISPLAY_NAME, PR_DEFAULT_PROFILE}, &rows), S_OK);
    QStringList got;
    QStringList defaults;
    for (ULONG i = 0; i < rows.count(); ++i) {
        QCOMPARE(rows.row(i).cValues, 2u);
        got << text(findValue(rows.row(i), PR_DISPLAY_NAME));
        const SPropValue* isDefault = findValue(rows.row(i), PR_DEFAULT_PROFILE);
        QCOMPARE(isDefault->ulPropTag, PR_DEFAULT_PROFILE);
        if (isDefault->Value.b) {
            defaults << got.last();
        }
    }
    QCOMPARE(got, names);
    QCOMPARE(defaults, QStringList{defaultName});
}

void TestMapiSession::defaultProfileCreated()
{
    QTemporaryDir home;
    const QString profiles = home.filePath(QStringLiteral("config/profiles.ini"));
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(profiles));
    qputenv("VANTREL_HOME", QFile::encodeName(home.filePath(QStringLiteral("program"))));

    MapiPtr<IMAPISession> session;
    QCOMPARE(logon(nullptr, session.put(), MAPI_USE_DEFAULT | MAPI_EXTENDED), S_OK);
    qunsetenv("VANTREL_HOME");
    QVERIFY(QFile::exists(profiles));
    QVERIFY(QFileInfo(home.filePath(QStringLiteral("program/Mail/cur"))).isDir());
    QVERIFY(QFileInfo(home.filePath(QStringLiteral("program/Contacts"))).isDir());
    {
        QFile written(profiles);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray ini = written.readAll();
        QVERIFY(ini.contains("\nName=")); // the user's name as the identity, the address to fill
        QVERIFY(ini.contains("\nAddress=\n"));
    }
    const QByteArray id = storeId(session.get(), QStringLiteral("Personal Folders"));
    QVERIFY(!id.isEmpty());
    QByteArray copy = id;
    MapiPtr<IMsgStore> store;
    QCOMPARE(session->OpenMsgStore(0, static_cast<ULONG>(copy.size()), entryPtr(copy), nullptr,
                                   MDB_WRITE, store.put()),
             S_OK);
    // The new store comes with its contacts folder, named by the Inbox.
    MapiPtr<IMAPIFolder> inbox = openInbox(store.get());
    QVERIFY(inbox);
    QCOMPARE(Props(inbox.get(), {PR_IPM_CONTACT_ENTRYID}).hr, S_OK);
}

void TestMapiSession::logon_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<uint>("flags");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<QStringList>("stores");

    const QStringList work{"Support", "Archive", "Gone"};
    QTest::newRow("enumeration flags")
        << QByteArray("Home") << uint(MAPI_NEW_SESSION | MAPI_EXTENDED | MAPI_NO_MAIL) << S_OK
        << QStringList{"Private"};
    QTest::newRow("logon flags") << QByteArray("Work")
                                 << uint(MAPI_PASSWORD_UI | MAPI_EXPLICIT_PROFILE | MAPI_EXTENDED |
                                         MAPI_NEW_SESSION)
                                 << S_OK << work;
    QTest::newRow("shared session")
        << QByteArray("Work") << uint(MAPI_EXPLICIT_PROFILE | MAPI_EXTENDED | MAPI_ALLOW_OTHERS)
        << S_OK << work;
    QTest::newRow("no name: default") << QByteArray() << uint(MAPI_EXTENDED) << S_OK << work;
    QTest::newRow("use default wins over name")
        << QByteArray("Home") << uint(MAPI_USE_DEFAULT | MAPI_EXTENDED) << S_OK << work;
    QTest::newRow("unknown profile")
        << QByteArray("Nobody") << uint(MAPI_EXTENDED) << MAPI_E_LOGON_FAILED << QStringList{};
    QTest::newRow("name case matters")
        << QByteArray("work") << uint(MAPI_EXTENDED) << MAPI_E_LOGON_FAILED << QStringList{};
}

void TestMapiSession::logon()
{
    QFETCH(QByteArray, profile);
    QFETCH(uint, flags);
    QFETCH(HRESULT, result);
    QFETCH(QStringList, stores);

    MapiPtr<IMAPISession> session;
    QCOMPARE(logon(profile.isNull() ? nullptr : profile.constData(), session.put(), flags), result);
    QCOMPARE(bool(session), SUCCEEDED(result));
    if (!session) {
        return;
    }
    MapiPtr<IMAPITable> table;
    QCOMPARE(session->GetMsgStoresTable(0, table.put()), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_DISPLAY_NAME}, &rows), S_OK);
    QCOMPARE(texts(rows, PR_DISPLAY_NAME), stores);
    QCOMPARE(session->Logoff(0, MAPI_LOGOFF_UI, 0), S_OK);
}

void TestMapiSession::storesTable()
{
    MapiPtr<IMAPISession> session;
    QCOMPARE(logon("Work", session.put()), S_OK);
    MapiPtr<IMAPITable> table;
    QCOMPARE(session->GetMsgStoresTable(0, table.put()), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(),
                      {PR_RESOURCE_FLAGS, PR_DISPLAY_NAME, PR_PROVIDER_DISPLAY, PR_RESOURCE_TYPE,
                       PR_OBJECT_TYPE, PR_ENTRYID, PR_DEFAULT_STORE},
                      &rows),
             S_OK);
    QCOMPARE(rows.count(), 3u);
    QStringList defaults;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        QCOMPARE(row.cValues, 7u);
        for (ULONG c = 0; c < row.cValues; ++c) {
            QVERIFY2(!isError(&row.lpProps[c]), qPrintable(QString::number(c)));
        }
        QCOMPARE(row.lpProps[3].Value.l, LONG(MAPI_STORE_PROVIDER));
        QCOMPARE(row.lpProps[4].Value.l, LONG(MAPI_STORE));
        if (row.lpProps[6].Value.b) {
            defaults << text(&row.lpProps[1]);
        }
        // The resource flags mark the default store as well.
        QCOMPARE(bool(row.lpProps[0].Value.l & STATUS_DEFAULT_STORE), bool(row.lpProps[6].Value.b));
        QByteArray id = binary(&row.lpProps[5]);
        MapiPtr<IMsgStore> store;
        const HRESULT opened = session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entryPtr(id),
                                                     nullptr, MDB_WRITE, store.put());
        if (text(&row.lpProps[1]) == QLatin1String("Gone")) {
            QCOMPARE(opened, MAPI_E_NOT_FOUND);
            continue;
        }
        QCOMPARE(opened, S_OK);
        Props props(store.get(), {PR_ENTRYID, PR_DISPLAY_NAME});
        QCOMPARE(props.hr, S_OK);
        QCOMPARE(text(props[1]), text(&row.lpProps[1]));
        QByteArray own = binary(props[0]);
        QCOMPARE(sameEntry(session.get(), id, own), 1);
    }
    QCOMPARE(defaults, QStringList{"Archive"});
    QByteArray a = storeId(session.get(), QStringLiteral("Support"));
    QByteArray b = storeId(session.get(), QStringLiteral("Archive"));
    QCOMPARE(sameEntry(session.get(), a, b), 0);
}

void TestMapiSession::storeIdsStableAcrossLogons()
{
    MapiPtr<IMAPISession> first;
    QCOMPARE(logon("Work", first.put()), S_OK);
    const QByteArray before = storeId(first.get(), QStringLiteral("Support"));
    first.reset();
    // Reordering the profile file and moving the Maildir keep the id.
    useProfiles("[Profile Work]\nStores=Archive;Support\n"
                "[Store Work/Support]\nPath=@ROOT@/home\n");
    MapiPtr<IMAPISession> second;
    QCOMPARE(logon("Work", second.put()), S_OK);
    QVERIFY(!before.isEmpty());
    QCOMPARE(storeId(second.get(), QStringLiteral("Support")), before);
}

void TestMapiSession::openMsgStoreRejects_data()
{
    QTest::addColumn<QByteArray>("mutation");
    QTest::addColumn<HRESULT>("result");

    QTest::newRow("empty") << QByteArray("empty") << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("truncated") << QByteArray("truncate") << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("other provider") << QByteArray("provider") << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("trailing bytes") << QByteArray("append") << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("store of another profile") << QByteArray("other") << MAPI_E_UNKNOWN_ENTRYID;
}

void TestMapiSession::openMsgStoreRejects()
{
    QFETCH(QByteArray, mutation);
    QFETCH(HRESULT, result);

    MapiPtr<IMAPISession> home;
    QCOMPARE(logon("Home", home.put()), S_OK);
    MapiPtr<IMAPISession> work;
    QCOMPARE(logon("Work", work.put()), S_OK);
    QByteArray id = storeId(work.get(), QStringLiteral("Support"));
    QVERIFY(!id.isEmpty());
    if (mutation == "empty") {
        id.clear();
    } else if (mutation == "truncate") {
        id.chop(1);
    } else if (mutation == "provider") {
        id[6] = static_cast<char>(id[6] ^ 0x40);
    } else if (mutation == "append") {
        id.append('\0');
    }
    MapiPtr<IMAPISession>& session = mutation == "other" ? home : work;
    MapiPtr<IMsgStore> store;
    QCOMPARE(session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entryPtr(id), nullptr,
                                   MDB_WRITE, store.put()),
             result);
    QVERIFY(!store);
}

void TestMapiSession::logoffEndsSession()
{
    MapiPtr<IMAPISession> session;
    QCOMPARE(logon("Work", session.put()), S_OK);
    QByteArray id = storeId(session.get(), QStringLiteral("Support"));
    MapiPtr<IMsgStore> store;
    QCOMPARE(session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entryPtr(id), nullptr,
                                   MDB_WRITE, store.put()),
             S_OK);
    QCOMPARE(session->Logoff(0, MAPI_LOGOFF_UI, 0), S_OK);
    MapiPtr<IMAPITable> table;
    QVERIFY(FAILED(session->GetMsgStoresTable(0, table.put())));
    // A store opened before the logoff stays readable until released.
    QCOMPARE(Props(store.get(), {PR_DISPLAY_NAME}).hr, S_OK);
    QCOMPARE(api().UlRelease(store.release()), 0u);
}

void TestMapiSession::conversationIndex()
{
    ULONG size = 0;
    Buffer<BYTE> header;
    QCOMPARE(api().ScCreateConversationIndex(0, nullptr, &size, header.put()), S_OK);
    QCOMPARE(size, 22u);
    QCOMPARE(header.get()[0], BYTE{0x01}); // current dates start with the reserved byte
    Buffer<BYTE> other;
    ULONG otherSize = 0;
    QCOMPARE(api().ScCreateConversationIndex(0, nullptr, &otherSize, other.put()), S_OK);
    QVERIFY(std::memcmp(header.get() + 6, other.get() + 6, 16) != 0); // a new GUID each time

    Buffer<BYTE> reply;
    ULONG replySize = 0;
    QCOMPARE(api().ScCreateConversationIndex(size, header.get(), &replySize, reply.put()), S_OK);
    QCOMPARE(replySize, 27u);
    QCOMPARE(std::memcmp(reply.get(), header.get(), 22), 0);
    // Made right after the header: delta-code 0 and a time field of at most a few units.
    QCOMPARE(reply.get()[22] & 0x80, 0);
    QVERIFY(reply.get()[22] == 0 && reply.get()[23] == 0 && reply.get()[24] == 0);

    Buffer<BYTE> second;
    ULONG secondSize = 0;
    QCOMPARE(api().ScCreateConversationIndex(replySize, reply.get(), &secondSize, second.put()),
             S_OK);
    QCOMPARE(secondSize, 32u);

    BYTE shortParent[10] = {1, 2, 3};
    Buffer<BYTE> fresh;
    ULONG freshSize = 0;
    QCOMPARE(
        api().ScCreateConversationIndex(sizeof shortParent, shortParent, &freshSize, fresh.put()),
        S_OK);
    QCOMPARE(freshSize, 22u);
}

void TestMapiSession::identity_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("entryId"); // hex; the layout of a one-off with 8-bit strings

    QTest::newRow("configured") << QByteArray("Work") << QStringLiteral("Help Desk")
                                << QStringLiteral("help@example.com")
                                << QByteArray("00000000812B1FA4BEA310199D6E00DD010F540200000000"
                                              "48656C70204465736B00534D54500068656C70406578616D"
                                              "706C652E636F6D00");
    // Nothing configured: the program shows its own "Unknown" for the empty values.
    QTest::newRow("not configured") << QByteArray("Home") << QString() << QString()
                                    << QByteArray("00000000812B1FA4BEA310199D6E00DD010F5402000"
                                                  "00000"
                                                  "00534D54500000");
}

void TestMapiSession::identity()
{
    QFETCH(QByteArray, profile);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QByteArray, entryId);

    MapiPtr<IMAPISession> session;
    QCOMPARE(logon(profile.constData(), session.put()), S_OK);
    ULONG size = 0;
    Buffer<ENTRYID> id;
    QCOMPARE(session->QueryIdentity(&size, id.put()), S_OK);
    const QByteArray bytes(reinterpret_cast<const char*>(id.get()), int(size));
    QCOMPARE(bytes.toHex().toUpper(), entryId);
    // Opened as the program does before setting the sender of a message.
    ULONG type = 0;
    MapiPtr<IMailUser> user =
        openEntry<IMailUser>(session.get(), bytes, MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS, &type);
    QVERIFY(user);
    QCOMPARE(type, MAPI_MAILUSER);
    Props values(user.get(), {PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE});
    QCOMPARE(values.hr, S_OK);
    QCOMPARE(PROP_TYPE(values[0]->ulPropTag), ULONG(PT_STRING8));
    QCOMPARE(text(values[0]), name);
    QCOMPARE(text(values[1]), address);
    QCOMPARE(text(values[2]), QStringLiteral("SMTP"));
    QCOMPARE(session->Logoff(0, 0, 0), S_OK);
    QCOMPARE(session->QueryIdentity(&size, id.put()), MAPI_E_INVALID_OBJECT);
}

QTEST_GUILESS_MAIN(TestMapiSession)
#include "tst_mapisession.moc"
