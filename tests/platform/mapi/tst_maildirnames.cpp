// Named properties and property streams of a Maildir store: ids handed out from 0x8000 that stay
// the same across sessions, names read back from ids, named values kept through a save, and the
// message bodies read and written as streams.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QTemporaryDir>
#include <QtTest>
#include <thread>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n";

constexpr GUID kCustomSet = {
    0x1B2C3D4E, 0x5F60, 0x7182, {0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9, 0x0A}};

// A name as the tests describe it: property set, and a number or a string.
struct TestName
{
    GUID guid;
    bool isString;
    LONG number;
    QByteArray text;
};

TestName numbered(const GUID& guid, LONG number)
{
    return {guid, false, number, {}};
}

TestName named(const GUID& guid, const QByteArray& text)
{
    return {guid, true, 0, text};
}

// MAPINAMEIDs pointing into the test names, valid while both live.
class NameArray
{
public:
    explicit NameArray(std::vector<TestName> list)
        : m_given(std::move(list))
        , m_names(m_given.size())
    {
        for (std::size_t i = 0; i < m_given.size(); ++i) {
            m_names[i].lpguid = &m_given[i].guid;
            m_names[i].ulKind = m_given[i].isString ? MNID_STRING : MNID_ID;
            if (m_given[i].isString) {
                m_names[i].Kind.lpwstrName = m_given[i].text.data();
            } else {
                m_names[i].Kind.lID = m_given[i].number;
            }
            m_pointers.push_back(&m_names[i]);
        }
    }
    ULONG count() const { return static_cast<ULONG>(m_pointers.size()); }
    LPMAPINAMEID* get() { return m_pointers.data(); }
    MAPINAMEID& at(std::size_t i) { return m_names[i]; }

private:
    std::vector<TestName> m_given;
    std::vector<MAPINAMEID> m_names;
    std::vector<LPMAPINAMEID> m_pointers;
};

bool sameName(const MAPINAMEID* a, const MAPINAMEID& b)
{
    if (!a || !a->lpguid || !(*a->lpguid == *b.lpguid) || a->ulKind != b.ulKind) {
        return false;
    }
    return a->ulKind == MNID_ID ? a->Kind.lID == b.Kind.lID
                                : QByteArray(a->Kind.lpwstrName) == b.Kind.lpwstrName;
}

// The ids a call returns, PT_ERROR tags included.
std::vector<ULONG> tagsOf(const SPropTagArray* tags)
{
    return tags ? std::vector<ULONG>(tags->aulPropTag, tags->aulPropTag + tags->cValues)
                : std::vector<ULONG>();
}

QByteArray bodyText(int size)
{
    QByteArray text;
    for (int i = 0; text.size() < size; ++i) {
        text += "Line " + QByteArray::number(i) + " of the answer.\n";
    }
    text.truncate(size - 1);
    return text + "\n";
}

} // namespace

Q_DECLARE_METATYPE(TestName)
Q_DECLARE_METATYPE(std::vector<TestName>)

class TestMaildirNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void idsStableAcrossSessions_data();
    void idsStableAcrossSessions();
    void distinctNamesDistinctIds();
    void concurrentCreatorsLoseNoName();
    void namesFromIds();
    void allNamesOfASet();
    void unknownNames_data();
    void unknownNames();
    void unknownIds();
    void namedValueSurvivesSave_data();
    void namedValueSurvivesSave();
    void streamReadsInChunks_data();
    void streamReadsInChunks();
    void streamWriteCommitSave_data();
    void streamWriteCommitSave();
    void streamSeek_data();
    void streamSeek();
    void uncommittedWriteChangesNothing();
    void openPropertyErrors_data();
    void openPropertyErrors();

private:
    void logon();
    void relogon();
    MapiPtr<IMessage> reopen(QByteArray id) { return mapitest::reopen(m_store.get(), id); }
    QByteArray saveNew(Values* values);
    HRESULT idsOf(IMAPIProp* object, std::vector<TestName> list, ULONG flags,
                  std::vector<ULONG>* ids);

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestMaildirNames::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestMaildirNames::init()
{
    const QString root = m_dir.filePath(QStringLiteral("support"));
    QDir(root).removeRecursively();
    MaildirBuilder builder(root);
    logon();
    QVERIFY(m_store);
}

void TestMaildirNames::cleanup()
{
    endSession(&m_session, &m_store);
}

void TestMaildirNames::cleanupTestCase()
{
    api().MAPIUninitialize();
}

void TestMaildirNames::logon()
{
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
}

void TestMaildirNames::relogon()
{
    cleanup();
    logon();
}

QByteArray TestMaildirNames::saveNew(Values* values)
{
    MapiPtr<IMAPIFolder> folder = openInbox(m_store.get());
    MapiPtr<IMessage> message;
    if (!folder || folder->CreateMessage(nullptr, 0, message.put()) != S_OK ||
        values->applyTo(message.get()) != S_OK ||
        message->SaveChanges(KEEP_OPEN_READWRITE) != S_OK) {
        return {};
    }
    return propBytes(message.get(), PR_ENTRYID);
}

HRESULT TestMaildirNames::idsOf(IMAPIProp* object, std::vector<TestName> list, ULONG flags,
                                std::vector<ULONG>* ids)
{
    NameArray names(std::move(list));
    Buffer<SPropTagArray> tags;
    const HRESULT hr = object->GetIDsFromNames(names.count(), names.get(), flags, tags.put());
    *ids = tagsOf(tags.get());
    return hr;
}

void TestMaildirNames::idsStableAcrossSessions_data()
{
    QTest::addColumn<TestName>("name");
    QTest::newRow("public string") << named(PS_PUBLIC_STRINGS, "Keywords");
    QTest::newRow("own set, number zero") << numbered(kCustomSet, 0);
    QTest::newRow("own set, negative number") << numbered(kCustomSet, -7);
    QTest::newRow("non-ascii string, spaces") << named(kCustomSet, "  Größe – 日本語 ");
}

void TestMaildirNames::idsStableAcrossSessions()
{
    QFETCH(TestName, name);
    std::vector<ULONG> first;
    // Others first, so the name asked for does not simply get the first id.
    QCOMPARE(idsOf(m_store.get(), {numbered(PS_MAPI, 1), named(PS_MAPI, "x")}, MAPI_CREATE, &first),
             S_OK);
    QCOMPARE(idsOf(m_store.get(), {name}, MAPI_CREATE, &first), S_OK);
    QCOMPARE(first.size(), std::size_t{1});
    QCOMPARE(PROP_TYPE(first[0]), PT_UNSPECIFIED);
    QVERIFY(PROP_ID(first[0]) >= 0x8000 && PROP_ID(first[0]) <= 0xFFFE);
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("support/vntmapi-names"))));

    relogon();
    std::vector<ULONG> again;
    QCOMPARE(idsOf(m_store.get(), {name}, 0, &again), S_OK);
    QCOMPARE(again, first);
    // A message of the store answers from the same map.
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Names"));
    MapiPtr<IMessage> message = reopen(saveNew(&values));
    QVERIFY(message);
    QCOMPARE(idsOf(message.get(), {name}, MAPI_CREATE, &again), S_OK);
    QCOMPARE(again, first);
    // And so does a folder.
    MapiPtr<IMAPIFolder> folder = openInbox(m_store.get());
    QVERIFY(folder);
    QCOMPARE(idsOf(folder.get(), {name}, 0, &again), S_OK);
    QCOMPARE(again, first);
}

void TestMaildirNames::distinctNamesDistinctIds()
{
    // Same number in different sets, a number and its digits as a string, and case.
    const std::vector<TestName> list = {numbered(PS_PUBLIC_STRINGS, 5), numbered(kCustomSet, 5),
                                        named(kCustomSet, "5"), named(kCustomSet, "Topic"),
                                        named(kCustomSet, "topic")};
    std::vector<ULONG> ids;
    QCOMPARE(idsOf(m_store.get(), list, MAPI_CREATE, &ids), S_OK);
    QCOMPARE(ids.size(), list.size());
    std::vector<ULONG> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    QVERIFY(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    // The same name twice in one call is one id.
    std::vector<ULONG> twice;
    QCOMPARE(idsOf(m_store.get(), {named(kCustomSet, "New"), named(kCustomSet, "New")}, MAPI_CREATE,
                   &twice),
             S_OK);
    QCOMPARE(twice[0], twice[1]);
    QVERIFY(std::find(ids.begin(), ids.end(), twice[0]) == ids.end());
}

void TestMaildirNames::concurrentCreatorsLoseNoName()
{
    // Each thread its own store object, as separate sessions would have, all adding names.
    constexpr int kThreads = 4;
    constexpr int kNamesEach = 25;
    std::vector<MapiPtr<IMsgStore>> stores;
    for (int t = 0; t < kThreads; ++t) {
        stores.push_back(openStore(m_session.get()));
        QVERIFY(stores.back());
    }
    std::vector<std::vector<ULONG>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kNamesEach; ++i) {
                std::vector<ULONG> one;
                idsOf(stores[t].get(), {numbered(kCustomSet, t * 1000 + i)}, MAPI_CREATE, &one);
                ids[t].push_back(one.empty() ? 0 : one[0]);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<ULONG> all;
    for (const std::vector<ULONG>& some : ids) {
        all.insert(all.end(), some.begin(), some.end());
    }
    std::sort(all.begin(), all.end());
    QVERIFY(std::adjacent_find(all.begin(), all.end()) == all.end());
    QVERIFY(all.front() != 0);

    stores.clear();
    relogon();
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kNamesEach; ++i) {
            std::vector<ULONG> again;
            QCOMPARE(idsOf(m_store.get(), {numbered(kCustomSet, t * 1000 + i)}, 0, &again), S_OK);
            QCOMPARE(again[0], ids[t][i]);
        }
    }
}

void TestMaildirNames::namesFromIds()
{
    const std::vector<TestName> names = {named(kCustomSet, "Kunde: Größe"),
                                         numbered(kCustomSet, 0x7FFFFFFF), numbered(PS_MAPI, -1),
                                         named(PS_PUBLIC_STRINGS, "")};
    std::vector<ULONG> ids;
    QCOMPARE(idsOf(m_store.get(), names, MAPI_CREATE, &ids), S_OK);
    relogon();

    // Asked with the types a caller would use them with.
    std::vector<ULONG> typed(1, static_cast<ULONG>(ids.size()));
    for (ULONG id : ids) {
        typed.push_back(PROP_TAG(PT_STRING8, PROP_ID(id)));
    }
    auto* tags = reinterpret_cast<LPSPropTagArray>(typed.data());
    ULONG count = 0;
    Buffer<LPMAPINAMEID> result;
    QCOMPARE(m_store->GetNamesFromIDs(&tags, nullptr, 0, &count, result.put()), S_OK);
    QCOMPARE(count, static_cast<ULONG>(names.size()));
    NameArray expected(names);
    for (ULONG i = 0; i < count; ++i) {
        QVERIFY2(sameName(result.get()[i], expected.at(i)), qPrintable(QString::number(i)));
    }
}

void TestMaildirNames::allNamesOfASet()
{
    std::vector<ULONG> ids;
    QCOMPARE(idsOf(m_store.get(),
                   {named(kCustomSet, "a"), numbered(PS_MAPI, 3), numbered(kCustomSet, 9)},
                   MAPI_CREATE, &ids),
             S_OK);
    // No tags: every name of the set asked for, with the tags allocated for the caller.
    LPSPropTagArray tags = nullptr;
    ULONG count = 0;
    Buffer<LPMAPINAMEID> result;
    GUID set = kCustomSet;
    QCOMPARE(m_store->GetNamesFromIDs(&tags, &set, 0, &count, result.put()), S_OK);
    QVERIFY(tags);
    Buffer<SPropTagArray> owned;
    *owned.put() = tags;
    QCOMPARE(count, ULONG{2});
    QCOMPARE(tagsOf(tags), (std::vector<ULONG>{ids[0], ids[2]}));
    QCOMPARE(result.get()[0]->ulKind, MNID_STRING);
    QCOMPARE(result.get()[1]->Kind.lID, LONG{9});

    // A number in PS_MAPI is the ordinary property of that id, kept out of the map.
    QCOMPARE(ids[1], PROP_TAG(PT_UNSPECIFIED, 3));
    // No names: every id of the map.
    Buffer<SPropTagArray> all;
    QCOMPARE(m_store->GetIDsFromNames(0, nullptr, 0, all.put()), S_OK);
    QCOMPARE(tagsOf(all.get()), (std::vector<ULONG>{ids[0], ids[2]}));
}

void TestMaildirNames::unknownNames_data()
{
    QTest::addColumn<ULONG>("flags");
    QTest::addColumn<bool>("nullGuid");
    QTest::addColumn<bool>("nullString");
    QTest::addColumn<bool>("unknownFound");
    QTest::newRow("no create") << ULONG{0} << false << false << false;
    QTest::newRow("create") << ULONG{MAPI_CREATE} << false << false << true;
    QTest::newRow("create, no property set") << ULONG{MAPI_CREATE} << true << false << false;
    QTest::newRow("create, null string") << ULONG{MAPI_CREATE} << false << true << false;
}

void TestMaildirNames::unknownNames()
{
    QFETCH(ULONG, flags);
    QFETCH(bool, nullGuid);
    QFETCH(bool, nullString);
    QFETCH(bool, unknownFound);
    std::vector<ULONG> known;
    QCOMPARE(idsOf(m_store.get(), {named(kCustomSet, "known")}, MAPI_CREATE, &known), S_OK);

    NameArray names({named(kCustomSet, "known"), named(kCustomSet, "unknown")});
    if (nullGuid) {
        names.at(1).lpguid = nullptr;
    }
    if (nullString) {
        names.at(1).Kind.lpwstrName = nullptr;
    }
    Buffer<SPropTagArray> tags;
    const HRESULT hr = m_store->GetIDsFromNames(names.count(), names.get(), flags, tags.put());
    QCOMPARE(hr, unknownFound ? S_OK : MAPI_W_ERRORS_RETURNED);
    const std::vector<ULONG> ids = tagsOf(tags.get());
    QCOMPARE(ids.size(), std::size_t{2});
    QCOMPARE(ids[0], known[0]);
    QCOMPARE(PROP_TYPE(ids[1]), unknownFound ? PT_UNSPECIFIED : PT_ERROR);
    QCOMPARE(PROP_ID(ids[1]) > PROP_ID(known[0]), unknownFound);

    // A name left out stays out of the map.
    relogon();
    std::vector<ULONG> again;
    QCOMPARE(idsOf(m_store.get(), {named(kCustomSet, "unknown")}, 0, &again),
             unknownFound ? S_OK : MAPI_W_ERRORS_RETURNED);
}

void TestMaildirNames::unknownIds()
{
    std::vector<ULONG> ids;
    QCOMPARE(idsOf(m_store.get(), {numbered(kCustomSet, 1)}, MAPI_CREATE, &ids), S_OK);
    TagArray asked{PROP_TAG(PT_LONG, 0x9999), ids[0], PR_SUBJECT};
    LPSPropTagArray tags = asked.get();
    ULONG count = 0;
    Buffer<LPMAPINAMEID> result;
    QCOMPARE(m_store->GetNamesFromIDs(&tags, nullptr, 0, &count, result.put()),
             MAPI_W_ERRORS_RETURNED);
    QCOMPARE(count, ULONG{3});
    QVERIFY(!result.get()[0]);
    QVERIFY(result.get()[1]);
    QCOMPARE(result.get()[1]->Kind.lID, LONG{1});
    // An ordinary property's name is its id in PS_MAPI.
    QVERIFY(result.get()[2] && *result.get()[2]->lpguid == PS_MAPI);
    QCOMPARE(result.get()[2]->Kind.lID, LONG(PROP_ID(PR_SUBJECT)));
}

void TestMaildirNames::namedValueSurvivesSave_data()
{
    QTest::addColumn<ULONG>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("non-ascii string") << PT_STRING8 << QStringLiteral("Größe ändern") << 0;
    QTest::newRow("negative long") << PT_LONG << QString() << -2;
    QTest::newRow("boolean") << PT_BOOLEAN << QString() << 1;
}

void TestMaildirNames::namedValueSurvivesSave()
{
    QFETCH(ULONG, type);
    QFETCH(QString, text);
    QFETCH(int, number);
    std::vector<ULONG> ids;
    QCOMPARE(idsOf(m_store.get(), {named(PS_PUBLIC_STRINGS, "Ticket")}, MAPI_CREATE, &ids), S_OK);
    const ULONG tag = PROP_TAG(type, PROP_ID(ids[0]));
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Named"));
    if (type == PT_STRING8) {
        values.text(tag, text);
    } else {
        values.number(tag, number);
    }
    const QByteArray entryId = saveNew(&values);
    QVERIFY(!entryId.isEmpty());

    relogon();
    std::vector<ULONG> again;
    QCOMPARE(idsOf(m_store.get(), {named(PS_PUBLIC_STRINGS, "Ticket")}, 0, &again), S_OK);
    MapiPtr<IMessage> message = reopen(entryId);
    QVERIFY(message);
    Props value(message.get(), {PROP_TAG(type, PROP_ID(again[0]))});
    QCOMPARE(value.hr, S_OK);
    QCOMPARE(value[0]->ulPropTag, tag);
    if (type == PT_STRING8) {
        QCOMPARE(QString::fromUtf8(value[0]->Value.lpszA), text);
    } else {
        QCOMPARE(type == PT_BOOLEAN ? int(value[0]->Value.b) : int(value[0]->Value.l), number);
    }
}

void TestMaildirNames::streamReadsInChunks_data()
{
    QTest::addColumn<ULONG>("tag");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<ULONG>("chunk");
    QTest::newRow("text, byte by byte") << PR_BODY << QByteArray("Hello.\nBye.\n") << ULONG{1};
    QTest::newRow("large text, big chunks") << PR_BODY << bodyText(300000) << ULONG{4096};
    QTest::newRow("text in one read") << PR_BODY << bodyText(5000) << ULONG{65536};
    QTest::newRow("non-ascii text")
        << PR_BODY << QString::fromUtf8("Größe – 日本語\n").toUtf8() << ULONG{3};
    QTest::newRow("html") << PR_BODY_HTML << QByteArray("<p>Hi &amp; <b>bye</b></p>\n") << ULONG{5};
    QTest::newRow("html asked as bytes")
        << PR_HTML << QByteArray("<html><body>x</body></html>\n") << ULONG{16};
    QTest::newRow("text asked as unicode")
        << CHANGE_PROP_TYPE(PR_BODY, PT_UNICODE) << QByteArray("Unicode.\n") << ULONG{2};
}

void TestMaildirNames::streamReadsInChunks()
{
    QFETCH(ULONG, tag);
    QFETCH(QByteArray, body);
    QFETCH(ULONG, chunk);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Stream"))
        .text(CHANGE_PROP_TYPE(tag, PT_STRING8), QString::fromUtf8(body));
    const QByteArray id = saveNew(&values);
    relogon();
    MapiPtr<IMessage> message = reopen(id);
    QVERIFY(message);
    MapiPtr<IStream> stream;
    QCOMPARE(message->OpenProperty(tag, &IID_IStream, 0, 0, stream.putUnknown()), S_OK);
    std::uint64_t size = 0;
    QCOMPARE(stream->GetSize(&size), S_OK);
    QCOMPARE(size, static_cast<std::uint64_t>(body.size()));
    QCOMPARE(readAll(stream.get(), chunk), body);
    // Read to the end, then again from the start.
    std::uint64_t position = 1;
    QCOMPARE(stream->Seek(0, STREAM_SEEK_SET, &position), S_OK);
    QCOMPARE(position, std::uint64_t{0});
    QCOMPARE(readAll(stream.get(), chunk), body);
    // A stream opened for reading cannot be changed.
    ULONG written = 1;
    QCOMPARE(stream->Write("x", 1, &written), MAPI_E_NO_ACCESS);
    QCOMPARE(written, ULONG{0});
    QCOMPARE(stream->SetSize(0), MAPI_E_NO_ACCESS);
    QCOMPARE(stream->Commit(0), MAPI_E_NO_ACCESS);
}

void TestMaildirNames::streamWriteCommitSave_data()
{
    QTest::addColumn<ULONG>("tag");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<ULONG>("flags");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<ULONG>("chunk");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray big = bodyText(200000);
    QTest::newRow("create replaces the old text")
        << PR_BODY << QByteArray("Old text that is longer.\n") << ULONG{MAPI_CREATE | MAPI_MODIFY}
        << QByteArray("Short.\n") << ULONG{100} << QByteArray("Short.\n");
    QTest::newRow("modify overwrites from the start")
        << PR_BODY << QByteArray("abcdefgh\n") << ULONG{MAPI_MODIFY} << QByteArray("XY") << ULONG{1}
        << QByteArray("XYcdefgh\n");
    QTest::newRow("large text in chunks")
        << PR_BODY << QByteArray() << ULONG{MAPI_CREATE} << big << ULONG{3000} << big;
    const QByteArray html = QString::fromUtf8("<p>Grüße, 日本語</p>\n").toUtf8();
    QTest::newRow("non-ascii html") << PR_BODY_HTML << QByteArray("<p>old</p>\n")
                                    << ULONG{MAPI_CREATE | MAPI_MODIFY} << html << ULONG{5} << html;
    QTest::newRow("html as bytes")
        << PR_HTML << QByteArray() << ULONG{MAPI_CREATE} << QByteArray("<b>x</b>\n") << ULONG{2}
        << QByteArray("<b>x</b>\n");
}

void TestMaildirNames::streamWriteCommitSave()
{
    QFETCH(ULONG, tag);
    QFETCH(QByteArray, old);
    QFETCH(ULONG, flags);
    QFETCH(QByteArray, written);
    QFETCH(ULONG, chunk);
    QFETCH(QByteArray, expected);
    const ULONG textTag = CHANGE_PROP_TYPE(tag, PT_STRING8);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Write"));
    if (!old.isEmpty()) {
        values.text(textTag, QString::fromUtf8(old));
    }
    const QByteArray id = saveNew(&values);
    MapiPtr<IMessage> message = reopen(id);
    QVERIFY(message);
    {
        MapiPtr<IStream> stream;
        QCOMPARE(message->OpenProperty(tag, &IID_IStream, 0, flags, stream.putUnknown()), S_OK);
        for (int at = 0; at < written.size(); at += static_cast<int>(chunk)) {
            const QByteArray part = written.mid(at, static_cast<int>(chunk));
            ULONG count = 0;
            QCOMPARE(stream->Write(part.constData(), static_cast<ULONG>(part.size()), &count),
                     S_OK);
            QCOMPARE(count, static_cast<ULONG>(part.size()));
        }
        std::uint64_t size = 0;
        QCOMPARE(stream->GetSize(&size), S_OK);
        QCOMPARE(size, static_cast<std::uint64_t>(expected.size()));
        QCOMPARE(stream->Commit(0), S_OK);
    }
    // Committed: the message has it before the save, as after SetProps.
    Props value(message.get(), {textTag});
    QCOMPARE(value.hr, S_OK);
    QCOMPARE(QByteArray(value[0]->Value.lpszA), expected);
    QCOMPARE(message->SaveChanges(0), S_OK);
    message.reset();

    relogon();
    message = reopen(id);
    QVERIFY(message);
    MapiPtr<IStream> stream;
    QCOMPARE(message->OpenProperty(textTag, &IID_IStream, 0, 0, stream.putUnknown()), S_OK);
    QCOMPARE(readAll(stream.get(), 8192), expected);
}

void TestMaildirNames::streamSeek_data()
{
    QTest::addColumn<qint64>("move");
    QTest::addColumn<ULONG>("origin");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<QByteArray>("afterWrite"); // the stream after writing "XY" there
    // The stream holds "0123456789" and stands at 4.
    QTest::newRow("set") << qint64{2} << STREAM_SEEK_SET << S_OK << qint64{2}
                         << QByteArray("01XY456789");
    QTest::newRow("current forward")
        << qint64{3} << STREAM_SEEK_CUR << S_OK << qint64{7} << QByteArray("0123456XY9");
    QTest::newRow("current back") << qint64{-4} << STREAM_SEEK_CUR << S_OK << qint64{0}
                                  << QByteArray("XY23456789");
    QTest::newRow("end") << qint64{-1} << STREAM_SEEK_END << S_OK << qint64{9}
                         << QByteArray("012345678XY");
    QTest::newRow("past the end") << qint64{2} << STREAM_SEEK_END << S_OK << qint64{12}
                                  << QByteArray("0123456789\0\0XY", 14);
    QTest::newRow("before the start") << qint64{-5} << STREAM_SEEK_CUR << MAPI_E_INVALID_PARAMETER
                                      << qint64{4} << QByteArray("0123XY6789");
    QTest::newRow("unknown origin") << qint64{0} << ULONG{3} << MAPI_E_INVALID_PARAMETER
                                    << qint64{4} << QByteArray("0123XY6789");
}

void TestMaildirNames::streamSeek()
{
    QFETCH(qint64, move);
    QFETCH(ULONG, origin);
    QFETCH(HRESULT, result);
    QFETCH(qint64, position);
    QFETCH(QByteArray, afterWrite);
    MapiPtr<IMAPIFolder> folder = openInbox(m_store.get());
    QVERIFY(folder);
    MapiPtr<IMessage> message;
    QCOMPARE(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    MapiPtr<IStream> stream;
    QCOMPARE(message->OpenProperty(PR_BODY, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                   stream.putUnknown()),
             S_OK);
    QCOMPARE(stream->Write("0123456789", 10, nullptr), S_OK);
    QCOMPARE(stream->Seek(4, STREAM_SEEK_SET, nullptr), S_OK);
    std::uint64_t now = 99;
    QCOMPARE(stream->Seek(move, origin, &now), result);
    if (result == S_OK) {
        QCOMPARE(now, static_cast<std::uint64_t>(position));
    }
    QCOMPARE(stream->Write("XY", 2, nullptr), S_OK);
    QCOMPARE(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    QCOMPARE(readAll(stream.get(), 3), afterWrite);
    // Shrinking keeps the start; growing adds zeros.
    QCOMPARE(stream->SetSize(3), S_OK);
    QCOMPARE(stream->SetSize(5), S_OK);
    QCOMPARE(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    QCOMPARE(readAll(stream.get(), 2), afterWrite.left(3) + QByteArray(2, '\0'));
}

void TestMaildirNames::uncommittedWriteChangesNothing()
{
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Keep")).text(PR_BODY, QStringLiteral("Kept.\n"));
    const QByteArray id = saveNew(&values);
    MapiPtr<IMessage> message = reopen(id);
    QVERIFY(message);
    {
        MapiPtr<IStream> stream;
        QCOMPARE(message->OpenProperty(PR_BODY, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                       stream.putUnknown()),
                 S_OK);
        QCOMPARE(stream->Write("Lost.\n", 6, nullptr), S_OK);
    }
    QCOMPARE(message->SaveChanges(0), S_OK);
    message = reopen(id);
    MapiPtr<IStream> stream;
    QCOMPARE(message->OpenProperty(PR_BODY, &IID_IStream, 0, 0, stream.putUnknown()), S_OK);
    QCOMPARE(readAll(stream.get(), 64), QByteArray("Kept.\n"));
}

void TestMaildirNames::openPropertyErrors_data()
{
    QTest::addColumn<ULONG>("tag");
    QTest::addColumn<bool>("streamInterface");
    QTest::addColumn<ULONG>("flags");
    QTest::addColumn<HRESULT>("result");
    QTest::newRow("missing body") << PR_BODY_HTML << true << ULONG{0} << MAPI_E_NOT_FOUND;
    QTest::newRow("missing body, modify")
        << PR_BODY_HTML << true << ULONG{MAPI_MODIFY} << MAPI_E_NOT_FOUND;
    QTest::newRow("missing body, create") << PR_BODY_HTML << true << ULONG{MAPI_CREATE} << S_OK;
    QTest::newRow("present body") << PR_BODY << true << ULONG{0} << S_OK;
    QTest::newRow("table interface")
        << PR_BODY << false << ULONG{0} << MAPI_E_INTERFACE_NOT_SUPPORTED;
    QTest::newRow("subject") << PR_SUBJECT << true << ULONG{0} << MAPI_E_NO_SUPPORT;
    QTest::newRow("compressed rtf") << PR_RTF_COMPRESSED << true << ULONG{MAPI_CREATE} << S_OK;
    QTest::newRow("body as a number")
        << CHANGE_PROP_TYPE(PR_BODY, PT_LONG) << true << ULONG{0} << MAPI_E_NO_SUPPORT;
}

void TestMaildirNames::openPropertyErrors()
{
    QFETCH(ULONG, tag);
    QFETCH(bool, streamInterface);
    QFETCH(ULONG, flags);
    QFETCH(HRESULT, result);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Errors")).text(PR_BODY, QStringLiteral("Text.\n"));
    MapiPtr<IMessage> message = reopen(saveNew(&values));
    QVERIFY(message);
    MapiPtr<IStream> stream;
    QCOMPARE(message->OpenProperty(tag, streamInterface ? &IID_IStream : &IID_IMAPITable, 0, flags,
                                   stream.putUnknown()),
             result);
    QCOMPARE(bool(stream), result == S_OK);
}

QTEST_GUILESS_MAIN(TestMaildirNames)
#include "tst_maildirnames.moc"
