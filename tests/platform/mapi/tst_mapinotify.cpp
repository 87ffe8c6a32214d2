// Notifications from the mail library: table events after Restrict/SortTable/SetColumns, rows
// changed by another process and by the library itself (also between opening a table and
// advising it), restrictions, new messages and folders reported by the store, and Unadvise
// dropping what is already queued.
#include "NotifySink.h"
#include "PropValues.h"
#include "RestrictionBuilder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n";

// Rows as the program reads them after an event: no SetColumns, which would send its own.
void readRows(IMAPITable* table, RowSet* rows)
{
    QCOMPARE(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    QCOMPARE(table->QueryRows(0x0FFFFFFF, TBL_NOADVANCE, rows->put()), S_OK);
}

QByteArray keyOf(const RowSet& rows, const QString& subject)
{
    return bytesWhere(rows, PR_SUBJECT, subject, PR_INSTANCE_KEY);
}

} // namespace

class TestMapiNotify : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void changesBeforeAdviseAreEvents_data();
    void changesBeforeAdviseAreEvents();
    void doneEventsAfterReturn_data();
    void doneEventsAfterReturn();
    void otherProcess_data();
    void otherProcess();
    void ownChanges_data();
    void ownChanges();
    void sortMoveIsDeleteThenAdd();
    void restrictionFiltersEvents();
    void burstReloads();
    void storeAdvise_data();
    void storeAdvise();
    void storeAdviseRejects_data();
    void storeAdviseRejects();
    void unadviseDropsQueued();
    void releaseFreesSink();
    void unadviseAndReleaseInsideOnNotify();
    void noApplicationNoSupport();
    void deliveredOnAdvisingThread();

private:
    QString inboxDir() const { return m_dir.filePath(QStringLiteral("support")); }
    QString otherDir() const { return inboxDir() + QStringLiteral("/.Other"); }
    QByteArray otherId();
    MapiPtr<IMAPITable> advisedInbox(RecordingSink* sink, ULONG* connection = nullptr);
    QByteArray entryIdOf(const QString& subject);
    // The one event a change brought, once nothing else follows.
    std::vector<Seen> rowEventsSettled(RecordingSink* sink);

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
    RecordingSink* m_sink = nullptr;
    MapiPtr<RecordingSink> m_sinkOwner;
};

void TestMapiNotify::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestMapiNotify::init()
{
    // Each test writes the same unique names afresh, which a real Maildir never does; a fresh
    // summary index keeps one test's changes out of the next.
    static int run = 0;
    qputenv("VANTREL_MAPI_CACHE",
            QFile::encodeName(m_dir.filePath(QStringLiteral("cache-%1").arg(++run))));
    QDir(inboxDir()).removeRecursively();
    MaildirBuilder builder(inboxDir());
    builder.addFolder(QStringLiteral(".Other"));
    builder.addMessage({}, QStringLiteral("cur"), QStringLiteral("1.a:2,"), mail("A"), day(1));
    builder.addMessage({}, QStringLiteral("cur"), QStringLiteral("3.b:2,"), mail("B"), day(3));
    builder.addMessage({}, QStringLiteral("new"), QStringLiteral("5.n"), mail("N"), day(5));
    builder.addMessage(QStringLiteral(".Other"), QStringLiteral("cur"), QStringLiteral("4.o:2,"),
                       mail("O"), day(4));
    // Ready to be dropped in by another process, their times kept by cp -p.
    MaildirBuilder spare(m_dir.path());
    spare.addFolder(QStringLiteral("spare"));
    spare.addMessage(QStringLiteral("spare"), QStringLiteral("."), QStringLiteral("2.c"), mail("C"),
                     day(2));
    spare.addMessage(QStringLiteral("spare"), QStringLiteral("."), QStringLiteral("0.z"), mail("Z"),
                     QDateTime(QDate(2024, 2, 28), QTime(9, 0), Qt::UTC));
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
    m_inbox = openInbox(m_store.get());
    QVERIFY(m_inbox);
    m_sink = new RecordingSink;
    m_sinkOwner = MapiPtr<RecordingSink>(m_sink);
}

void TestMapiNotify::cleanup()
{
    endSession(&m_session, &m_inbox, &m_store, &m_sinkOwner);
    QTest::qWait(20); // let deferred deletions of the connections run
}

void TestMapiNotify::cleanupTestCase()
{
    api().MAPIUninitialize();
}

QByteArray TestMapiNotify::otherId()
{
    MapiPtr<IMAPIFolder> root = openEntry<IMAPIFolder>(m_store.get(), {});
    MapiPtr<IMAPITable> hierarchy;
    RowSet rows;
    root->GetHierarchyTable(0, hierarchy.put());
    queryAll(hierarchy.get(), {PR_ENTRYID, PR_DISPLAY_NAME}, &rows);
    return bytesWhere(rows, PR_DISPLAY_NAME, QStringLiteral("Other"));
}

// The Inbox's contents table sorted by delivery time, with the sink advised.
MapiPtr<IMAPITable> TestMapiNotify::advisedInbox(RecordingSink* sink, ULONG* connection)
{
    MapiPtr<IMAPITable> table;
    m_inbox->GetContentsTable(0, table.put());
    TagArray columns{PR_INSTANCE_KEY,
                     PR_ENTRYID,
                     PR_SUBJECT,
                     PR_MESSAGE_FLAGS,
                     PR_MESSAGE_DELIVERY_TIME,
                     PR_SENT_REPRESENTING_NAME};
    table->SetColumns(columns.get(), 0);
    SSortOrderSet order{1, 0, 0, {{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_ASCEND}}};
    table->SortTable(&order, 0);
    ULONG ignored = 0;
    if (table->Advise(fnevTableModified, sink, connection ? connection : &ignored) != S_OK) {
        table.reset();
    }
    return table;
}

QByteArray TestMapiNotify::entryIdOf(const QString& subject)
{
    RowSet rows;
    contents(m_inbox.get(), {PR_ENTRYID, PR_SUBJECT}, &rows);
    return bytesWhere(rows, PR_SUBJECT, subject);
}

std::vector<Seen> TestMapiNotify::rowEventsSettled(RecordingSink* sink)
{
    [&] {
        QTRY_VERIFY_WITH_TIMEOUT(!sink->rowEvents().empty(), kLatencyMs);
    }();
    QTest::qWait(150);
    return sink->rowEvents();
}

void TestMapiNotify::changesBeforeAdviseAreEvents_data()
{
    // The Inbox is the current folder; a rewritten file keeps its time, so only its size tells.
    QTest::addColumn<QString>("command");
    QTest::addColumn<ULONG>("event"); // 0: none at all
    QTest::addColumn<QString>("subject");
    QTest::newRow("nothing") << "true" << ULONG{0} << QString();
    QTest::newRow("flags") << "mv cur/1.a:2, cur/1.a:2,S" << TABLE_ROW_MODIFIED << "A";
    QTest::newRow("added") << "printf 'Subject: C\\r\\n\\r\\nHi.\\r\\n' > cur/2.c:2,"
                           << TABLE_ROW_ADDED << "C";
    QTest::newRow("deleted") << "rm cur/3.b:2," << TABLE_ROW_DELETED << QString();
    QTest::newRow("rewritten") << "printf 'Subject: B again\\r\\n\\r\\nHello.\\r\\n' > tmp/b "
                                  "&& touch -r cur/3.b:2, tmp/b && mv tmp/b cur/3.b:2,"
                               << TABLE_ROW_MODIFIED << "B again";
    QTest::newRow("touched") << "touch -d 2024-03-20T09:00Z cur/1.a:2," << TABLE_ROW_MODIFIED
                             << "A";
}

// A contents table reads its folder only when first advised: what changed between opening
// the table and advising it still comes as events, and nothing else does.
void TestMapiNotify::changesBeforeAdviseAreEvents()
{
    QFETCH(QString, command);
    QFETCH(ULONG, event);
    QFETCH(QString, subject);
    MapiPtr<IMAPITable> table;
    QCOMPARE(m_inbox->GetContentsTable(0, table.put()), S_OK);
    TagArray columns{PR_INSTANCE_KEY, PR_ENTRYID, PR_SUBJECT, PR_MESSAGE_FLAGS};
    QCOMPARE(table->SetColumns(columns.get(), 0), S_OK);
    QCOMPARE(shell(QStringLiteral("cd '%1' && %2").arg(inboxDir(), command)), 0);
    ULONG connection = 0;
    QCOMPARE(table->Advise(fnevTableModified, m_sink, &connection), S_OK);
    if (event == 0) {
        QTest::qWait(300);
        QVERIFY(m_sink->rowEvents().empty());
        return;
    }
    const std::vector<Seen> events = rowEventsSettled(m_sink);
    QCOMPARE(events.size(), std::size_t(1));
    QCOMPARE(events[0].tableEvent, event);
    if (!subject.isEmpty()) {
        QCOMPARE(events[0].subject, subject);
    }
}

void TestMapiNotify::doneEventsAfterReturn_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<ULONG>("event");
    QTest::newRow("restrict") << QByteArray("restrict") << TABLE_RESTRICT_DONE;
    QTest::newRow("clear restriction") << QByteArray("unrestrict") << TABLE_RESTRICT_DONE;
    QTest::newRow("sort") << QByteArray("sort") << TABLE_SORT_DONE;
    QTest::newRow("set columns") << QByteArray("columns") << TABLE_SETCOL_DONE;
}

void TestMapiNotify::doneEventsAfterReturn()
{
    QFETCH(QByteArray, call);
    QFETCH(ULONG, event);
    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    RestrictionBuilder b;
    SSortOrderSet order{1, 0, 0, {{PR_SUBJECT, TABLE_SORT_DESCEND}}};
    TagArray columns{PR_SUBJECT};
    const HRESULT hr = guarded([&] {
        if (call == "restrict" || call == "unrestrict") {
            return table->Restrict(call == "restrict" ? buildRestriction("unread", &b) : nullptr,
                                   0);
        }
        if (call == "sort") {
            return table->SortTable(&order, 0);
        }
        return table->SetColumns(columns.get(), 0);
    });
    QCOMPARE(hr, S_OK);
    QVERIFY(sink->seen.empty()); // queued, not sent from inside the call
    QTRY_COMPARE_WITH_TIMEOUT(sink->seen.size(), std::size_t(1), kLatencyMs);
    QCOMPARE(sink->seen[0].eventType, fnevTableModified);
    QCOMPARE(sink->seen[0].tableEvent, event);
    QVERIFY(!sink->seen[0].reentrant);
}

void TestMapiNotify::otherProcess_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<ULONG>("event");
    QTest::addColumn<QString>("subject"); // the row the event is about
    QTest::addColumn<QString>("prior");   // the row before it, empty when first or irrelevant
    QTest::addColumn<LONG>("flags");      // its flags in the event, -1 when it has no row
    QTest::addColumn<QStringList>("after");

    const QStringList all{"A", "B", "N"};
    QTest::newRow("file dropped into new/")
        << "cp -p ../spare/2.c new/2.c" << TABLE_ROW_ADDED << "C"
        << "A" << LONG{0} << QStringList{"A", "C", "B", "N"};
    QTest::newRow("earliest file dropped into cur/")
        << "cp -p ../spare/0.z cur/0.z:2,S" << TABLE_ROW_ADDED << "Z" << QString()
        << LONG{MSGFLAG_READ} << QStringList{"Z", "A", "B", "N"};
    QTest::newRow("moved new/ to cur/ as seen")
        << "mv new/5.n cur/5.n:2,S" << TABLE_ROW_MODIFIED << "N"
        << "B" << LONG{MSGFLAG_READ} << all;
    QTest::newRow("renamed for a flag change")
        << "mv cur/3.b:2, cur/3.b:2,S" << TABLE_ROW_MODIFIED << "B"
        << "A" << LONG{MSGFLAG_READ} << all;
    // Same inode, size and time: only the change time tells.
    QTest::newRow("rewritten in place, size and time kept")
        << "printf 'From: Ann <ann@example.org>\\r\\nSubject: B\\r\\nMIME-Version: 1.0\\r\\n"
           "Content-Type: text/plain; charset=utf-8\\r\\n\\r\\nHowdy.\\r\\n' > cur/3.b:2, && "
           "touch -d 2024-03-03T09:00:00Z cur/3.b:2,"
        << TABLE_ROW_MODIFIED << "B"
        << "A" << LONG{0} << all;
    QTest::newRow("deleted") << "rm cur/3.b:2," << TABLE_ROW_DELETED << "B" << QString() << LONG{-1}
                             << QStringList{"A", "N"};
    QTest::newRow("moved to another folder")
        << "mv cur/1.a:2, .Other/cur/" << TABLE_ROW_DELETED << "A" << QString() << LONG{-1}
        << QStringList{"B", "N"};
}

void TestMapiNotify::otherProcess()
{
    QFETCH(QString, command);
    QFETCH(ULONG, event);
    QFETCH(QString, subject);
    QFETCH(QString, prior);
    QFETCH(LONG, flags);
    QFETCH(QStringList, after);

    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    RowSet before;
    readRows(table.get(), &before);
    QCOMPARE(texts(before), (QStringList{"A", "B", "N"}));
    QTest::qWait(100); // the sort's own event
    sink->seen.clear();

    QCOMPARE(shell(QStringLiteral("cd '%1' && %2").arg(inboxDir(), command)), 0);
    const std::vector<Seen> events = rowEventsSettled(sink); // and nothing else follows
    QCOMPARE(events.size(), std::size_t(1));
    const Seen& seen = events[0];
    QCOMPARE(seen.tableEvent, event);
    QVERIFY(!seen.reentrant);

    RowSet now;
    readRows(table.get(), &now);
    QCOMPARE(texts(now), after);
    ULONG count = 0;
    QCOMPARE(table->GetRowCount(0, &count), S_OK);
    QCOMPARE(count, ULONG(after.size()));
    if (event == TABLE_ROW_ADDED) {
        QCOMPARE(seen.key, keyOf(now, subject));
        QVERIFY(!keyOf(before, subject).size());
    } else {
        QCOMPARE(seen.key, keyOf(before, subject)); // keys outlive renames
        QVERIFY(!seen.key.isEmpty());
    }
    if (flags >= 0) {
        QCOMPARE(seen.subject, subject);
        QCOMPARE(seen.flags, flags);
        QCOMPARE(seen.hasPrior, !prior.isEmpty());
        QCOMPARE(seen.prior, keyOf(now, prior));
        QCOMPARE(keyOf(now, subject), seen.key);
    } else {
        QVERIFY(keyOf(now, subject).isEmpty());
    }
}

void TestMapiNotify::ownChanges_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<ULONG>("event");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("SetReadFlags") << QByteArray("read") << TABLE_ROW_MODIFIED << "B"
                                  << QStringList{"A", "B", "N"};
    QTest::newRow("DeleteMessages")
        << QByteArray("delete") << TABLE_ROW_DELETED << "B" << QStringList{"A", "N"};
    QTest::newRow("CopyMessages in")
        << QByteArray("copy") << TABLE_ROW_ADDED << "O" << QStringList{"A", "B", "O", "N"};
    QTest::newRow("SaveChanges of a new message")
        << QByteArray("save") << TABLE_ROW_ADDED << "S" << QStringList{"A", "B", "N", "S"};
    QTest::newRow("CopyMessages moving out")
        << QByteArray("move") << TABLE_ROW_DELETED << "B" << QStringList{"A", "N"};
}

void TestMapiNotify::ownChanges()
{
    QFETCH(QByteArray, call);
    QFETCH(ULONG, event);
    QFETCH(QString, subject);
    QFETCH(QStringList, after);

    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    MapiPtr<IMAPIFolder> other = openEntry<IMAPIFolder>(m_store.get(), otherId(), MAPI_MODIFY);
    QVERIFY(other);
    QByteArray id = entryIdOf(QStringLiteral("B"));
    if (call == "copy") {
        RowSet rows;
        QCOMPARE(contents(other.get(), {PR_ENTRYID}, &rows), S_OK);
        id = binary(findValue(rows.row(0), PR_ENTRYID));
    }
    SBinary bin{static_cast<ULONG>(id.size()), reinterpret_cast<LPBYTE>(id.data())};
    ENTRYLIST list{1, &bin};
    const HRESULT hr = guarded([&] {
        if (call == "read") {
            return m_inbox->SetReadFlags(&list, 0, nullptr, 0);
        }
        if (call == "delete") {
            return m_inbox->DeleteMessages(&list, 0, nullptr, 0);
        }
        if (call == "copy") {
            return other->CopyMessages(&list, nullptr, m_inbox.get(), 0, nullptr, 0);
        }
        if (call == "save") {
            MapiPtr<IMessage> message;
            Values values;
            values.text(PR_SUBJECT, QStringLiteral("S")).number(PR_MESSAGE_FLAGS, MSGFLAG_READ);
            HRESULT step = m_inbox->CreateMessage(nullptr, 0, message.put());
            step = SUCCEEDED(step) ? values.applyTo(message.get()) : step;
            return SUCCEEDED(step) ? message->SaveChanges(0) : step;
        }
        return m_inbox->CopyMessages(&list, nullptr, other.get(), 0, nullptr, MESSAGE_MOVE);
    });
    QCOMPARE(hr, S_OK);
    const std::vector<Seen> events = rowEventsSettled(sink);
    QCOMPARE(events.size(), std::size_t(1));
    QCOMPARE(events[0].tableEvent, event);
    QVERIFY(!events[0].reentrant);
    if (event != TABLE_ROW_DELETED) {
        QCOMPARE(events[0].subject, subject);
    }
    if (call == "read") {
        QCOMPARE(events[0].flags, LONG{MSGFLAG_READ});
    }
    RowSet now;
    readRows(table.get(), &now);
    QCOMPARE(texts(now), after);
    // The rows share their sender's name; a row going or changing leaves the others theirs.
    for (ULONG i = 0; i < now.count(); ++i) {
        const bool saved = text(findValue(now.row(i), PR_SUBJECT)) == QLatin1String("S");
        QCOMPARE(text(findValue(now.row(i), PR_SENT_REPRESENTING_NAME)),
                 saved ? QString() : QStringLiteral("Ann"));
    }
}

void TestMapiNotify::sortMoveIsDeleteThenAdd()
{
    // A client replacing a modified row in place would show it out of order: a row that moves
    // comes as deleted, then added where it now belongs, with its instance key kept.
    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    RowSet before;
    readRows(table.get(), &before);
    QCOMPARE(shell(QStringLiteral("touch -d 2024-03-10T09:00Z '%1/cur/1.a:2,'").arg(inboxDir())),
             0);
    QTRY_COMPARE_WITH_TIMEOUT(sink->rowEvents().size(), std::size_t(2), kLatencyMs);
    const std::vector<Seen> events = sink->rowEvents();
    QCOMPARE(events[0].tableEvent, TABLE_ROW_DELETED);
    QCOMPARE(events[1].tableEvent, TABLE_ROW_ADDED);
    QCOMPARE(events[0].key, keyOf(before, QStringLiteral("A")));
    QCOMPARE(events[1].key, events[0].key);
    QCOMPARE(events[1].prior, keyOf(before, QStringLiteral("N")));
    RowSet now;
    readRows(table.get(), &now);
    QCOMPARE(texts(now), (QStringList{"B", "N", "A"}));
}

void TestMapiNotify::restrictionFiltersEvents()
{
    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    {
        // The table keeps its own copy: this one is gone before any row arrives.
        RestrictionBuilder b;
        QCOMPARE(table->Restrict(buildRestriction("unread", &b), 0), S_OK);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!sink->seen.empty(), kLatencyMs);
    sink->seen.clear();
    RowSet rows;
    readRows(table.get(), &rows);
    QCOMPARE(texts(rows), (QStringList{"A", "B", "N"}));
    const QByteArray keyB = keyOf(rows, QStringLiteral("B"));

    // A read message arriving is outside the restriction: no event, no row.
    QCOMPARE(
        shell(QStringLiteral("cp -p '%1/spare/2.c' '%1/support/cur/2.c:2,S'").arg(m_dir.path())),
        0);
    QTest::qWait(400);
    QVERIFY(sink->rowEvents().empty());
    readRows(table.get(), &rows);
    QCOMPARE(texts(rows), (QStringList{"A", "B", "N"}));

    // Marked read, B leaves the restricted rows; marked unread again, it comes back after A.
    QCOMPARE(shell(QStringLiteral("cd '%1/cur' && mv 3.b:2, 3.b:2,S").arg(inboxDir())), 0);
    QTRY_COMPARE_WITH_TIMEOUT(sink->rowEvents().size(), std::size_t(1), kLatencyMs);
    QCOMPARE(sink->rowEvents()[0].tableEvent, TABLE_ROW_DELETED);
    QCOMPARE(sink->rowEvents()[0].key, keyB);
    QCOMPARE(shell(QStringLiteral("cd '%1/cur' && mv 3.b:2,S 3.b:2,").arg(inboxDir())), 0);
    QTRY_COMPARE_WITH_TIMEOUT(sink->rowEvents().size(), std::size_t(2), kLatencyMs);
    const Seen back = sink->rowEvents()[1];
    QCOMPARE(back.tableEvent, TABLE_ROW_ADDED);
    QCOMPARE(back.key, keyB);
    QCOMPARE(back.prior, keyOf(rows, QStringLiteral("A")));
    readRows(table.get(), &rows);
    QCOMPARE(texts(rows), (QStringList{"A", "B", "N"}));
}

void TestMapiNotify::burstReloads()
{
    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    RowSet before;
    readRows(table.get(), &before);
    QTest::qWait(100);
    sink->seen.clear();
    // Written to tmp/ and moved in at once, as a delivery agent would.
    QCOMPARE(shell(QStringLiteral("cd '%1' && for i in $(seq 1 600); do "
                                  "cp ../spare/2.c tmp/b$i; done && mv tmp/b* new/")
                       .arg(inboxDir())),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(!sink->seen.empty(), 5000);
    QTest::qWait(300);
    QVERIFY(sink->rowEvents().empty());
    QCOMPARE(sink->seen.back().tableEvent, TABLE_RELOAD);
    ULONG count = 0;
    QCOMPARE(table->GetRowCount(0, &count), S_OK);
    QCOMPARE(count, ULONG(603));
    // Rows that were there keep their instance keys through a reload; the new ones get keys
    // of their own.
    RowSet rows;
    readRows(table.get(), &rows);
    for (const char* subject : {"A", "B", "N"}) {
        QCOMPARE(keyOf(rows, QLatin1String(subject)), keyOf(before, QLatin1String(subject)));
    }
    QSet<QByteArray> keys;
    for (ULONG i = 0; i < rows.count(); ++i) {
        keys.insert(binary(findValue(rows.row(i), PR_INSTANCE_KEY)));
    }
    QCOMPARE(keys.size(), 603);
}

void TestMapiNotify::storeAdvise_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<ULONG>("objectType");
    QTest::addColumn<QString>("name");
    QTest::newRow("message") << "cp SPARE new/" << ULONG(MAPI_MESSAGE) << "C";
    QTest::newRow("message moved into cur/")
        << "cp SPARE tmp/x && mv tmp/x cur/9.x:2,S" << ULONG(MAPI_MESSAGE) << "C";
    QTest::newRow("folder") << "mkdir -p ../.Other.Sub/cur ../.Other.Sub/new" << ULONG(MAPI_FOLDER)
                            << "Sub";
}

void TestMapiNotify::storeAdvise()
{
    QFETCH(QString, command);
    QFETCH(ULONG, objectType);
    QFETCH(QString, name);

    RecordingSink* sink = m_sink;
    QByteArray folderId = otherId();
    ULONG connection = 0;
    QCOMPARE(m_store->Advise(static_cast<ULONG>(folderId.size()), entryPtr(folderId),
                             fnevObjectCreated | fnevObjectDeleted, sink, &connection),
             S_OK);
    // An unrelated change elsewhere says nothing to this folder's sink.
    QCOMPARE(shell(QStringLiteral("cp '%1/spare/2.c' '%1/support/new/'").arg(m_dir.path())), 0);
    command.replace(QLatin1String("SPARE"), m_dir.filePath(QStringLiteral("spare/2.c")));
    QCOMPARE(shell(QStringLiteral("cd '%1' && %2").arg(otherDir(), command)), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!sink->seen.empty(), kLatencyMs);
    QTest::qWait(150);
    QCOMPARE(sink->seen.size(), std::size_t(1));
    const Seen seen = sink->seen[0];
    QCOMPARE(seen.eventType, fnevObjectCreated);
    QCOMPARE(seen.objectType, objectType);
    QCOMPARE(seen.parentId, folderId);
    QVERIFY(!seen.reentrant);

    ULONG type = 0;
    MapiPtr<IMAPIProp> object = openEntry(m_store.get(), seen.entryId, 0, &type);
    QVERIFY(object);
    QCOMPARE(type, objectType);
    QCOMPARE(
        text(Props(object.get(), {objectType == MAPI_FOLDER ? PR_DISPLAY_NAME : PR_SUBJECT})[0]),
        name);
    QCOMPARE(m_store->Unadvise(connection), S_OK);
    QCOMPARE(m_store->Unadvise(connection), MAPI_E_NOT_FOUND);
}

void TestMapiNotify::storeAdviseRejects_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<ULONG>("mask");
    QTest::addColumn<HRESULT>("expected");
    QTest::newRow("garbage") << QByteArray("not an entry id at all") << ULONG(fnevObjectCreated)
                             << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("empty") << QByteArray() << ULONG(fnevObjectCreated) << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("message") << QByteArray("message") << ULONG(fnevObjectCreated)
                             << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("other store") << QByteArray("foreign") << ULONG(fnevObjectCreated)
                                 << MAPI_E_INVALID_ENTRYID;
    QTest::newRow("folder gone") << QByteArray("gone") << ULONG(fnevObjectCreated)
                                 << MAPI_E_NOT_FOUND;
    QTest::newRow("only unsupported events")
        << QByteArray("inbox") << ULONG(fnevObjectDeleted) << MAPI_E_NO_SUPPORT;
    QTest::newRow("supported among others")
        << QByteArray("inbox") << ULONG(fnevNewMail | fnevObjectCreated) << S_OK;
}

void TestMapiNotify::storeAdviseRejects()
{
    QFETCH(QByteArray, id);
    QFETCH(ULONG, mask);
    QFETCH(HRESULT, expected);
    if (id == "message") {
        id = entryIdOf(QStringLiteral("A"));
    } else if (id == "inbox") {
        id = inboxId(m_store.get());
    } else if (id == "foreign") {
        id = inboxId(m_store.get());
        id[30] = static_cast<char>(id[30] ^ 0x5A); // inside the store key
    } else if (id == "gone") {
        id = otherId();
        QVERIFY(QDir(otherDir()).removeRecursively());
    }
    RecordingSink* sink = m_sink;
    ULONG connection = 0;
    QCOMPARE(m_store->Advise(static_cast<ULONG>(id.size()), id.isEmpty() ? nullptr : entryPtr(id),
                             mask, sink, &connection),
             expected);
    QCOMPARE(sink->refs(), ULONG(expected == S_OK ? 2 : 1));
    if (expected == S_OK) {
        QCOMPARE(m_store->Unadvise(connection), S_OK);
        QCOMPARE(sink->refs(), ULONG(1));
    }
}

void TestMapiNotify::unadviseDropsQueued()
{
    RecordingSink* sink = m_sink;
    ULONG connection = 0;
    MapiPtr<IMAPITable> table = advisedInbox(sink, &connection);
    QVERIFY(table);
    QCOMPARE(sink->refs(), ULONG(2));
    SSortOrderSet order{1, 0, 0, {{PR_SUBJECT, TABLE_SORT_ASCEND}}};
    QCOMPARE(table->SortTable(&order, 0), S_OK); // queued, not yet delivered
    QCOMPARE(table->Unadvise(connection), S_OK);
    QCOMPARE(sink->refs(), ULONG(1));
    QCOMPARE(table->Unadvise(connection), MAPI_E_NOT_FOUND);
    QCOMPARE(shell(QStringLiteral("rm '%1/cur/3.b:2,'").arg(inboxDir())), 0);
    QTest::qWait(400);
    QVERIFY(sink->seen.empty());
}

void TestMapiNotify::releaseFreesSink()
{
    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table = advisedInbox(sink);
    QVERIFY(table);
    QCOMPARE(table->Restrict(nullptr, 0), S_OK);
    table.reset();
    QCOMPARE(sink->refs(), ULONG(1));
    QCOMPARE(shell(QStringLiteral("rm '%1/cur/3.b:2,'").arg(inboxDir())), 0);
    QTest::qWait(300);
    QVERIFY(sink->seen.empty());
}

void TestMapiNotify::unadviseAndReleaseInsideOnNotify()
{
    RecordingSink* sink = m_sink;
    ULONG connection = 0;
    MapiPtr<IMAPITable> table = advisedInbox(sink, &connection);
    QVERIFY(table);
    QTest::qWait(100);
    sink->seen.clear();
    // The first event unadvises and drops the last reference to the table; the two events
    // queued behind it must not arrive.
    sink->onSeen = [&](const Seen&) {
        QCOMPARE(table->Unadvise(connection), S_OK);
        table.reset();
    };
    TagArray columns{PR_SUBJECT};
    QCOMPARE(table->SetColumns(columns.get(), 0), S_OK);
    QCOMPARE(table->Restrict(nullptr, 0), S_OK);
    QCOMPARE(table->SetColumns(columns.get(), 0), S_OK);
    QTRY_VERIFY_WITH_TIMEOUT(!table, kLatencyMs);
    QTest::qWait(100);
    QCOMPARE(sink->seen.size(), std::size_t(1));
    QCOMPARE(sink->refs(), ULONG(1));
}

void TestMapiNotify::noApplicationNoSupport()
{
    // The same executable, run before any QCoreApplication exists (see main()).
    QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(),
                               {QStringLiteral("--advise-without-application")}),
             0);
}

void TestMapiNotify::deliveredOnAdvisingThread()
{
    QThread worker;
    worker.start();
    QObject context;
    context.moveToThread(&worker);
    RecordingSink* sink = m_sink;
    MapiPtr<IMAPITable> table;
    const auto onWorker = [&](auto&& work) {
        QMetaObject::invokeMethod(&context, work, Qt::BlockingQueuedConnection);
    };
    onWorker([&] { table = advisedInbox(sink); });
    QVERIFY(table);
    // Restricted from this thread (once the worker's first look at the folder is over, as the
    // table is not meant for two threads at once), then changed by another process: every
    // event arrives on the worker, which advised.
    QTest::qWait(200);
    QCOMPARE(table->Restrict(nullptr, 0), S_OK);
    QCOMPARE(shell(QStringLiteral("rm '%1/cur/3.b:2,'").arg(inboxDir())), 0);
    std::size_t seen = 0;
    QTRY_VERIFY_WITH_TIMEOUT((onWorker([&] { seen = sink->rowEvents().size(); }), seen == 1),
                             kLatencyMs);
    onWorker([&] {
        for (const Seen& s : sink->seen) {
            QCOMPARE(s.thread, &worker);
        }
        table.reset();
    });
    QVERIFY(!table);
    QCOMPARE(sink->refs(), ULONG(1));
    worker.quit();
    worker.wait();
}

namespace {

// Exit code 0 when both kinds of Advise refuse without an application and keep no reference.
int adviseWithoutApplication()
{
    if (!library().isLoaded() || api().MAPIInitialize(nullptr) != S_OK) {
        return 10;
    }
    MapiPtr<IMAPISession> session;
    MapiPtr<IMAPITable> stores;
    RowSet rows;
    if (newSession("Test", &session) != S_OK ||
        session->GetMsgStoresTable(0, stores.put()) != S_OK ||
        queryAll(stores.get(), {PR_ENTRYID}, &rows) != S_OK || rows.count() == 0) {
        return 11;
    }
    QByteArray id = binary(findValue(rows.row(0), PR_ENTRYID));
    MapiPtr<IMsgStore> store;
    if (session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entryPtr(id), nullptr, 0,
                              store.put()) != S_OK) {
        return 12;
    }
    auto* sink = new RecordingSink;
    MapiPtr<RecordingSink> owner(sink);
    ULONG connection = 0;
    int failures = 0;
    failures += stores->Advise(fnevTableModified, sink, &connection) != MAPI_E_NO_SUPPORT;
    QByteArray inbox = inboxId(store.get());
    failures += store->Advise(ULONG(inbox.size()), entryPtr(inbox), fnevObjectCreated, sink,
                              &connection) != MAPI_E_NO_SUPPORT;
    failures += sink->refs() != 1;
    session->Logoff(0, 0, 0);
    return failures;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--advise-without-application") == 0) {
        return adviseWithoutApplication();
    }
    QCoreApplication app(argc, argv);
    TestMapiNotify test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mapinotify.moc"
