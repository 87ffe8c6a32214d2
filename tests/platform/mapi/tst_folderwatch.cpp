// How an advised contents table follows its folder without listing it again: each burst of
// changes is looked at where the kernel says it happened and settles into what is on disk;
// when the kernel dropped events, or nothing watched the folder from before the table read
// it, the folder is listed and compared with the rows instead.
#include "NotifySink.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n";

// A row event as "added C", "modified B read", "deleted": what and whose, and read or unread
// where the event carries the row.
QString describe(const Seen& seen)
{
    switch (seen.tableEvent) {
    case TABLE_ROW_ADDED:
    case TABLE_ROW_MODIFIED:
        return QStringLiteral("%1 %2 %3")
            .arg(seen.tableEvent == TABLE_ROW_ADDED ? "added" : "modified", seen.subject,
                 (seen.flags & MSGFLAG_READ) ? "read" : "unread");
    case TABLE_ROW_DELETED:
        return QStringLiteral("deleted");
    default:
        return QStringLiteral("event %1").arg(seen.tableEvent);
    }
}

QStringList described(const std::vector<Seen>& events)
{
    QStringList all;
    for (const Seen& seen : events) {
        all << describe(seen);
    }
    all.sort();
    return all;
}

} // namespace

class TestFolderWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void burstSettles_data();
    void burstSettles();
    void droppedEventsReload();
    void changesWhileUnadvised();
    void manyTablesUnadvised();
    void storeSeesCreationsOnly();

private:
    QString inboxDir() const { return m_dir.filePath(QStringLiteral("support")); }
    MapiPtr<IMAPITable> openTable();
    bool advise(IMAPITable* table, RecordingSink* sink, ULONG* connection);
    // The row events once nothing more comes.
    std::vector<Seen> settled(RecordingSink* sink, bool expectAny = true);
    QStringList subjects(IMAPITable* table);

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
    MapiPtr<RecordingSink> m_sink{new RecordingSink};
};

void TestFolderWatch::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestFolderWatch::init()
{
    static int run = 0;
    qputenv("VANTREL_MAPI_CACHE",
            QFile::encodeName(m_dir.filePath(QStringLiteral("cache-%1").arg(++run))));
    QDir(inboxDir()).removeRecursively();
    MaildirBuilder builder(inboxDir());
    builder.addMessage({}, QStringLiteral("cur"), QStringLiteral("1.a:2,"), mail("A"), day(1));
    builder.addMessage({}, QStringLiteral("cur"), QStringLiteral("3.b:2,"), mail("B"), day(3));
    builder.addMessage({}, QStringLiteral("new"), QStringLiteral("5.n"), mail("N"), day(5));
    MaildirBuilder spare(m_dir.path());
    spare.addFolder(QStringLiteral("spare"));
    spare.addMessage(QStringLiteral("spare"), QStringLiteral("."), QStringLiteral("2.c"), mail("C"),
                     day(2));
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
    m_inbox = openInbox(m_store.get());
    QVERIFY(m_inbox);
    m_sink = MapiPtr<RecordingSink>(new RecordingSink);
}

void TestFolderWatch::cleanup()
{
    endSession(&m_session, &m_inbox, &m_store, &m_sink);
    QTest::qWait(20);
}

void TestFolderWatch::cleanupTestCase()
{
    api().MAPIUninitialize();
}

// The Inbox's contents table sorted by delivery time.
MapiPtr<IMAPITable> TestFolderWatch::openTable()
{
    MapiPtr<IMAPITable> table;
    m_inbox->GetContentsTable(0, table.put());
    TagArray columns{PR_INSTANCE_KEY, PR_SUBJECT, PR_MESSAGE_FLAGS};
    SSortOrderSet order{1, 0, 0, {{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_ASCEND}}};
    if (!table || table->SetColumns(columns.get(), 0) != S_OK ||
        table->SortTable(&order, 0) != S_OK) {
        table.reset();
    }
    return table;
}

bool TestFolderWatch::advise(IMAPITable* table, RecordingSink* sink, ULONG* connection)
{
    if (table->Advise(fnevTableModified, sink, connection) != S_OK) {
        return false;
    }
    QTest::qWait(150); // the first look at what changed before, and the done events
    sink->seen.clear();
    return true;
}

std::vector<Seen> TestFolderWatch::settled(RecordingSink* sink, bool expectAny)
{
    if (expectAny) {
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(!sink->seen.empty(), kLatencyMs);
        }();
    }
    QTest::qWait(300);
    return sink->rowEvents();
}

QStringList TestFolderWatch::subjects(IMAPITable* table)
{
    RowSet rows;
    if (table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr) != S_OK ||
        table->QueryRows(100, 0, rows.put()) != S_OK) {
        return {};
    }
    QStringList all = texts(rows);
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SPropValue* flags = findValue(rows.row(i), PR_MESSAGE_FLAGS);
        all[static_cast<int>(i)] += (!isError(flags) && (flags->Value.l & MSGFLAG_READ)) ? "+" : "";
    }
    return all;
}

void TestFolderWatch::burstSettles_data()
{
    QTest::addColumn<QStringList>("steps"); // shell commands, the events read after each
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("after"); // "+": read
    QTest::newRow("linked into new/, as a delivery agent does")
        << QStringList{"cp -p ../spare/2.c tmp/x && ln tmp/x new/2.c && rm tmp/x"}
        << QStringList{"added C unread"} << QStringList{"A+", "C", "B+", "N"};
    QTest::newRow("delivered and read at once")
        << QStringList{"cp -p ../spare/2.c tmp/x && mv tmp/x new/2.c && mv new/2.c cur/2.c:2,S"}
        << QStringList{"added C read"} << QStringList{"A+", "C+", "B+", "N"};
    QTest::newRow("delivered and gone again")
        << QStringList{"cp -p ../spare/2.c tmp/x && mv tmp/x new/2.c && rm new/2.c"}
        << QStringList{} << QStringList{"A+", "B+", "N"};
    QTest::newRow("renamed twice")
        << QStringList{"mv cur/1.a:2,S cur/1.a:2,T && mv cur/1.a:2,T cur/1.a:2,"}
        << QStringList{"modified A unread"} << QStringList{"A", "B+", "N"};
    // Two files of one message: the one in cur/ is it, until it goes and the other is left.
    QTest::newRow("the copy left when the message's file goes")
        << QStringList{"cp -p cur/3.b:2,S new/3.b", "rm cur/3.b:2,S"}
        << QStringList{"modified B unread"} << QStringList{"A+", "B", "N"};
    QTest::newRow("a copy written later wins")
        << QStringList{"cp -p cur/3.b:2,S tmp/y && mv tmp/y cur/3.b:2,"}
        << QStringList{"modified B unread"} << QStringList{"A+", "B", "N"};
}

void TestFolderWatch::burstSettles()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    QFETCH(QStringList, after);
    // A and B read, so that a copy differs from its message by its flags.
    QCOMPARE(shell(QStringLiteral("cd '%1/cur' && mv 1.a:2, 1.a:2,S && mv 3.b:2, 3.b:2,S")
                       .arg(inboxDir())),
             0);
    MapiPtr<IMAPITable> table = openTable();
    QVERIFY(table);
    ULONG connection = 0;
    QVERIFY(advise(table.get(), m_sink.get(), &connection));
    for (const QString& step : steps) {
        QCOMPARE(shell(QStringLiteral("cd '%1' && %2").arg(inboxDir(), step)), 0);
        QTest::qWait(200);
    }
    QCOMPARE(described(settled(m_sink.get(), !events.isEmpty())), events);
    QCOMPARE(subjects(table.get()), after);
}

void TestFolderWatch::droppedEventsReload()
{
    MapiPtr<IMAPITable> table = openTable();
    QVERIFY(table);
    ULONG connection = 0;
    QVERIFY(advise(table.get(), m_sink.get(), &connection));
    // The event loop does not run meanwhile, so nothing reads the events and the kernel's
    // queue for them overflows.
    QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    QVERIFY(limit.open(QIODevice::ReadOnly));
    const int renames = limit.readAll().trimmed().toInt() / 2 + 16;
    const QByteArray read = QFile::encodeName(inboxDir() + QStringLiteral("/cur/1.a:2,S"));
    const QByteArray unread = QFile::encodeName(inboxDir() + QStringLiteral("/cur/1.a:2,"));
    for (int i = 0; i < renames; ++i) {
        QCOMPARE(std::rename(unread.constData(), read.constData()), 0);
        QCOMPARE(std::rename(read.constData(), unread.constData()), 0);
    }
    QCOMPARE(std::rename(unread.constData(), read.constData()), 0);
    QVERIFY(QFile::remove(inboxDir() + QStringLiteral("/cur/3.b:2,")));
    QVERIFY(settled(m_sink.get()).empty());
    QCOMPARE(m_sink->seen.back().tableEvent, TABLE_RELOAD);
    QCOMPARE(subjects(table.get()), (QStringList{"A+", "N"}));
}

void TestFolderWatch::changesWhileUnadvised()
{
    MapiPtr<IMAPITable> table = openTable();
    QVERIFY(table);
    ULONG connection = 0;
    QVERIFY(advise(table.get(), m_sink.get(), &connection));
    QCOMPARE(table->Unadvise(connection), S_OK);
    QCOMPARE(shell(QStringLiteral("cd '%1' && rm cur/3.b:2, && mv cur/1.a:2, cur/1.a:2,S && "
                                  "cp -p ../spare/2.c new/2.c")
                       .arg(inboxDir())),
             0);
    QTest::qWait(150);
    QVERIFY(m_sink->seen.empty());
    QCOMPARE(table->Advise(fnevTableModified, m_sink.get(), &connection), S_OK);
    QCOMPARE(described(settled(m_sink.get())),
             (QStringList{"added C unread", "deleted", "modified A read"}));
    QCOMPARE(subjects(table.get()), (QStringList{"A+", "C", "N"}));
}

// A table watches its folder from before reading it only while few tables do; the others
// compare the folder with their rows when advised. Either way the same change arrives.
void TestFolderWatch::manyTablesUnadvised()
{
    std::vector<MapiPtr<IMAPITable>> tables;
    for (int i = 0; i < 24; ++i) {
        tables.push_back(openTable());
        QVERIFY(tables.back());
    }
    QCOMPARE(shell(QStringLiteral("rm '%1/cur/3.b:2,'").arg(inboxDir())), 0);
    MapiPtr<RecordingSink> last(new RecordingSink);
    ULONG connection = 0;
    QCOMPARE(tables.front()->Advise(fnevTableModified, m_sink.get(), &connection), S_OK);
    QCOMPARE(tables.back()->Advise(fnevTableModified, last.get(), &connection), S_OK);
    QCOMPARE(described(settled(m_sink.get())), QStringList{"deleted"});
    QCOMPARE(described(settled(last.get())), QStringList{"deleted"});
    QCOMPARE(subjects(tables.front().get()), (QStringList{"A", "N"}));
    QCOMPARE(subjects(tables.back().get()), (QStringList{"A", "N"}));
}

void TestFolderWatch::storeSeesCreationsOnly()
{
    QByteArray inbox = inboxId(m_store.get());
    ULONG connection = 0;
    QCOMPARE(m_store->Advise(static_cast<ULONG>(inbox.size()), entryPtr(inbox), fnevObjectCreated,
                             m_sink.get(), &connection),
             S_OK);
    QCOMPARE(shell(QStringLiteral("cd '%1' && mv new/5.n cur/5.n:2,S && mv cur/1.a:2, "
                                  "cur/1.a:2,S && rm cur/3.b:2, && "
                                  "cp -p ../spare/2.c tmp/x && mv tmp/x new/2.c")
                       .arg(inboxDir())),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_sink->seen.empty(), kLatencyMs);
    QTest::qWait(300);
    QCOMPARE(m_sink->seen.size(), std::size_t(1));
    ULONG type = 0;
    MapiPtr<IMAPIProp> created = openEntry(m_store.get(), m_sink->seen[0].entryId, 0, &type);
    QVERIFY(created);
    QCOMPARE(text(Props(created.get(), {PR_SUBJECT})[0]), QStringLiteral("C"));
    QCOMPARE(m_store->Unadvise(connection), S_OK);
}

QTEST_GUILESS_MAIN(TestFolderWatch)
#include "tst_folderwatch.moc"
