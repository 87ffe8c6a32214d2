// A contents table asked for with MAPI_DEFERRED_ERRORS reads a large, never indexed folder in the
// background: it reports its progress, ends with the rows a table read at once gives, keeps
// watching the folder once advised, and can be let go while it is still reading.
#include "NotifySink.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

constexpr int kMessages = 3000;

QStringList lines(const RowSet& rows)
{
    QStringList out;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        out << QStringLiteral("%1|%2|%3|%4")
                   .arg(QString::fromLatin1(binary(findValue(row, PR_ENTRYID)).toHex()),
                        text(findValue(row, PR_SUBJECT)))
                   .arg(fileTime(findValue(row, PR_MESSAGE_DELIVERY_TIME)))
                   .arg(findValue(row, PR_MESSAGE_FLAGS)->Value.l);
    }
    out.sort();
    return out;
}

} // namespace

class TestDeferredTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void sameRowsAsReadAtOnce();
    void releasedWhileReading_data();
    void releasedWhileReading();
    void watchesOnceAdvised();

private:
    MapiPtr<IMAPITable> table(ULONG flags);
    QStringList rowsOf(IMAPITable* table);

    QTemporaryDir m_dir;
    int m_caseNumber = 0;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
};

void TestDeferredTable::initTestCase()
{
    QVERIFY(startLibrary(m_dir, "[Profile Test]\nStores=Mail\n"
                                "[Store Test/Mail]\nPath=@ROOT@/Maildir\n"));
    MaildirBuilder builder(m_dir.filePath(QStringLiteral("Maildir")));
    for (int n = 0; n < kMessages; ++n) {
        const QByteArray subject = "Case " + QByteArray::number(n);
        builder.addMessage(QString(), n % 3 ? QStringLiteral("cur") : QStringLiteral("new"),
                           QStringLiteral("17150%1.M%1P9.host%2").arg(n).arg(n % 3 ? ":2,S" : ""),
                           mail(subject.constData()), day(1 + n % 28));
    }
}

// Every case starts without a summary index: the folder is parsed in full.
void TestDeferredTable::init()
{
    qputenv("VANTREL_MAPI_CACHE",
            QFile::encodeName(m_dir.filePath(QStringLiteral("cache%1").arg(++m_caseNumber))));
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
    m_inbox = openInbox(m_store.get());
    QVERIFY(m_inbox);
}

void TestDeferredTable::cleanup()
{
    endSession(&m_session, &m_store, &m_inbox);
}

MapiPtr<IMAPITable> TestDeferredTable::table(ULONG flags)
{
    MapiPtr<IMAPITable> table;
    return SUCCEEDED(m_inbox->GetContentsTable(flags, table.put())) ? std::move(table)
                                                                    : MapiPtr<IMAPITable>();
}

QStringList TestDeferredTable::rowsOf(IMAPITable* table)
{
    RowSet rows;
    if (FAILED(queryAll(table, {PR_ENTRYID, PR_SUBJECT, PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_FLAGS},
                        &rows))) {
        return {QStringLiteral("failed")};
    }
    return lines(rows);
}

void TestDeferredTable::sameRowsAsReadAtOnce()
{
    MapiPtr<IMAPITable> deferred = table(MAPI_DEFERRED_ERRORS);
    QVERIFY(deferred);
    ULONG status = TBLSTAT_COMPLETE;
    QCOMPARE(deferred->WaitForCompletion(0, 0, &status), MAPI_E_TIMEOUT);
    QCOMPARE(status, TBLSTAT_SORTING);
    QCOMPARE(deferred->Abort(), MAPI_E_UNABLE_TO_ABORT);
    // Progress only grows, against the number of messages listed.
    ULONG last = 0;
    HRESULT hr = MAPI_E_TIMEOUT;
    while ((hr = deferred->WaitForCompletion(0, 5, &status)) == MAPI_E_TIMEOUT) {
        ULONG row = 0;
        ULONG done = 0;
        ULONG total = 0;
        QCOMPARE(deferred->QueryPosition(&row, &done, &total), S_OK);
        QVERIFY(done >= last);
        QVERIFY(total == 0 || total == ULONG{kMessages});
        QVERIFY(done <= total);
        last = done;
    }
    QCOMPARE(hr, S_OK);
    QCOMPARE(status, TBLSTAT_COMPLETE);
    const QStringList rows = rowsOf(deferred.get());
    QCOMPARE(rows.size(), kMessages);
    QCOMPARE(rowsOf(table(0).get()), rows); // now from the index it wrote
}

void TestDeferredTable::releasedWhileReading_data()
{
    QTest::addColumn<int>("afterMs");
    QTest::newRow("at once") << 0;
    QTest::newRow("part way") << 40;
}

// Let go part way, it writes no half index: the next table parses what it lacks and has it all.
void TestDeferredTable::releasedWhileReading()
{
    QFETCH(int, afterMs);
    MapiPtr<IMAPITable> deferred = table(MAPI_DEFERRED_ERRORS);
    QVERIFY(deferred);
    ULONG status = TBLSTAT_COMPLETE;
    QCOMPARE(deferred->WaitForCompletion(0, static_cast<ULONG>(afterMs), &status), MAPI_E_TIMEOUT);
    deferred.reset();
    QCOMPARE(rowsOf(table(0).get()).size(), kMessages);

    // Any other call on a table still reading waits for it.
    deferred = table(MAPI_DEFERRED_ERRORS);
    ULONG count = 0;
    QCOMPARE(deferred->GetRowCount(0, &count), S_OK);
    QCOMPARE(count, ULONG{kMessages});
    QCOMPARE(deferred->WaitForCompletion(0, 0, &status), S_OK);
}

// A message delivered while the folder is read is listed once the table is advised.
void TestDeferredTable::watchesOnceAdvised()
{
    MapiPtr<IMAPITable> deferred = table(MAPI_DEFERRED_ERRORS);
    QVERIFY(deferred);
    MaildirBuilder(m_dir.filePath(QStringLiteral("Maildir")))
        .addMessage(QString(), QStringLiteral("new"), QStringLiteral("1716000000.M1P9.late"),
                    mail("Late"), day(2));
    ULONG status = TBLSTAT_SORTING;
    QCOMPARE(deferred->WaitForCompletion(0, 60000, &status), S_OK);
    MapiPtr<RecordingSink> sink(new RecordingSink);
    ULONG connection = 0;
    QCOMPARE(deferred->Advise(fnevTableModified, sink.get(), &connection), S_OK);
    ULONG count = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        SUCCEEDED(deferred->GetRowCount(0, &count)) && count == ULONG{kMessages + 1}, kLatencyMs);
    QCOMPARE(deferred->Unadvise(connection), S_OK);
    QFile::remove(m_dir.filePath(QStringLiteral("Maildir/new/1716000000.M1P9.late")));
}

QTEST_GUILESS_MAIN(TestDeferredTable)
#include "tst_deferredtable.moc"
