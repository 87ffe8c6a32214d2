// A contents table reads its folder's listing only when first advised: what changed between
// opening the table and advising it must still come as events, and nothing else.
#include "NotifySink.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n";

} // namespace

class TestContentsAdvise : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void changesBeforeAdvise_data();
    void changesBeforeAdvise();

private:
    QString inboxDir() const { return m_dir.filePath(QStringLiteral("support")); }

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
};

void TestContentsAdvise::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestContentsAdvise::init()
{
    static int run = 0;
    qputenv("VANTREL_MAPI_CACHE",
            QFile::encodeName(m_dir.filePath(QStringLiteral("cache-%1").arg(++run))));
    QDir(inboxDir()).removeRecursively();
    MaildirBuilder builder(inboxDir());
    builder.addMessage({}, QStringLiteral("cur"), QStringLiteral("1.a:2,"), mail("A"), day(1));
    builder.addMessage({}, QStringLiteral("cur"), QStringLiteral("3.b:2,S"), mail("B"), day(3));
    builder.addMessage({}, QStringLiteral("new"), QStringLiteral("5.n"), mail("N"), day(5));
    QCOMPARE(
        api().MAPILogonEx(0, "Test", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, m_session.put()),
        S_OK);
    MapiPtr<IMAPITable> stores;
    RowSet rows;
    QCOMPARE(m_session->GetMsgStoresTable(0, stores.put()), S_OK);
    QCOMPARE(queryAll(stores.get(), {PR_ENTRYID}, &rows), S_OK);
    QByteArray id = binary(findValue(rows.row(0), PR_ENTRYID));
    QCOMPARE(m_session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entryPtr(id), nullptr,
                                     MDB_WRITE, m_store.put()),
             S_OK);
    Buffer<ENTRYID> inbox;
    ULONG size = 0;
    QCOMPARE(m_store->GetReceiveFolder("IPM.Note", 0, &size, inbox.put(), nullptr), S_OK);
    ULONG type = 0;
    QCOMPARE(
        m_store->OpenEntry(size, inbox.get(), nullptr, MAPI_MODIFY, &type, m_inbox.putUnknown()),
        S_OK);
}

void TestContentsAdvise::cleanup()
{
    endSession(&m_session, &m_inbox, &m_store);
}

void TestContentsAdvise::cleanupTestCase()
{
    api().MAPIUninitialize();
}

void TestContentsAdvise::changesBeforeAdvise_data()
{
    // %1 is the Inbox; a rewritten file keeps its time, so only its size tells.
    const QString rewrite =
        QStringLiteral("printf 'Subject: B again\\r\\n\\r\\nHello.\\r\\n' > '%1/tmp/b' && "
                       "touch -r '%1/cur/3.b:2,S' '%1/tmp/b' && mv '%1/tmp/b' '%1/cur/3.b:2,S'");
    QTest::addColumn<QString>("command");
    QTest::addColumn<ULONG>("event"); // 0: none at all
    QTest::addColumn<QString>("subject");
    QTest::newRow("nothing") << QStringLiteral("true") << ULONG{0} << QString();
    QTest::newRow("flags") << QStringLiteral("mv '%1/cur/1.a:2,' '%1/cur/1.a:2,S'")
                           << TABLE_ROW_MODIFIED << QStringLiteral("A");
    QTest::newRow("added") << QStringLiteral("printf 'Subject: C\\r\\n\\r\\nHi.\\r\\n' > "
                                             "'%1/cur/2.c:2,'")
                           << TABLE_ROW_ADDED << QStringLiteral("C");
    QTest::newRow("deleted") << QStringLiteral("rm '%1/cur/3.b:2,S'") << TABLE_ROW_DELETED
                             << QString();
    QTest::newRow("rewritten") << rewrite << TABLE_ROW_MODIFIED << QStringLiteral("B again");
    QTest::newRow("touched") << QStringLiteral("touch -d 2024-03-20T09:00Z '%1/cur/1.a:2,'")
                             << TABLE_ROW_MODIFIED << QStringLiteral("A");
}

void TestContentsAdvise::changesBeforeAdvise()
{
    QFETCH(QString, command);
    QFETCH(ULONG, event);
    QFETCH(QString, subject);

    MapiPtr<IMAPITable> table;
    QCOMPARE(m_inbox->GetContentsTable(0, table.put()), S_OK);
    TagArray columns{PR_INSTANCE_KEY, PR_ENTRYID, PR_SUBJECT, PR_MESSAGE_FLAGS};
    QCOMPARE(table->SetColumns(columns.get(), 0), S_OK);
    QCOMPARE(shell(command.arg(inboxDir())), 0);

    auto* sink = new RecordingSink;
    MapiPtr<RecordingSink> owner(sink);
    ULONG connection = 0;
    QCOMPARE(table->Advise(fnevTableModified, sink, &connection), S_OK);
    if (event == 0) {
        QTest::qWait(300);
        QVERIFY(sink->rowEvents().empty());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!sink->rowEvents().empty(), kLatencyMs);
    QTest::qWait(150);
    const std::vector<Seen> events = sink->rowEvents();
    QCOMPARE(events.size(), std::size_t(1));
    QCOMPARE(events[0].tableEvent, event);
    if (!subject.isEmpty()) {
        QCOMPARE(events[0].subject, subject);
    }
    QCOMPARE(table->Unadvise(connection), S_OK);
}

QTEST_GUILESS_MAIN(TestContentsAdvise)

#include "tst_contentsadvise.moc"
