// The database stand-in on a Job table of 1,000,000 rows: opening the sorted base query and
// showing the first record, moving one row on and back, and a LIKE search on Problem next
// to the same statement run by the sqlite3 shell. Also a workbook of 10,000 rows, written
// back after a change.
//
//   build/bench/bench_oledb --benchmark_counters_tabular=true
//
// The table is made once per run in a temporary folder (one transaction through the
// rowset interface); VANTREL_BENCH_ROWS overrides its size.

#include "oledb/Command.h"
#include "oledb/DataSource.h"
#include "oledb/DatabaseFiles.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <benchmark/benchmark.h>

using namespace vnt::oledb;

namespace {

const QString kSortedBase = QStringLiteral("SELECT * FROM Job  ORDER BY [Job number] ASC ");
const QString kLikeSearch =
    QStringLiteral("SELECT * FROM Job WHERE Job.[Problem] LIKE '%abc%' ORDER BY [Job number] ASC ");

// The Job record as the program binds it: ordinals 2 to 13.
struct JobRecord
{
    std::array<QString, 12> texts;
    std::array<qint32, 12> integers{};
    std::array<double, 12> dates{};
    std::array<DBSTATUS, 12> statuses{};

    QList<Binding> bindings()
    {
        QList<Binding> list;
        for (int i = 0; i < 12; ++i) {
            const DBORDINAL ordinal = DBORDINAL(i + 2);
            if (i == 0 || i == 8 || i == 9)
                list.append(Binding::int32(ordinal, &integers[i], &statuses[i]));
            else if (i == 5 || i == 6)
                list.append(Binding::date(ordinal, &dates[i], &statuses[i]));
            else
                list.append(Binding::text(ordinal, i >= 10 ? 80 : 255, &texts[i], &statuses[i]));
        }
        return list;
    }
};

// Problems of a help desk; one row in about two hundred mentions "abc".
QString problemText(QRandomGenerator& random)
{
    static const std::array<const char*, 16> kWords = {
        "printer", "jam",  "mail",   "server", "crash",   "login", "password", "reset",
        "network", "slow", "screen", "update", "licence", "error", "file",     "backup"};
    QString text;
    for (int i = 0; i < 12; ++i) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += random.bounded(2400) == 0 ? QStringLiteral("abcd")
                                          : QLatin1String(kWords[random.bounded(16)]);
    }
    return text;
}

struct Connection
{
    std::unique_ptr<DataSource> dataSource;
    std::unique_ptr<Session> session;
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;
    JobRecord record;
    Accessor accessor;

    bool open(const QString& path, const QString& sql)
    {
        ErrorRecords errors;
        if (failed(openDatabaseFile(path, &dataSource, &session, &errors)) ||
            failed(session->createCommand(&command)))
            return false;
        command->setCommandText(sql);
        DBPROPSET properties = {{DBPROP_CANFETCHBACKWARDS, true},
                                {DBPROP_IRowsetScroll, true},
                                {DBPROP_IRowsetChange, true},
                                {DBPROP_UPDATABILITY, 7}};
        command->setProperties(&properties);
        return succeeded(command->execute(&rowset)) &&
               succeeded(rowset->createAccessor(record.bindings(), &accessor));
    }
};

bool fillJobs(const QString& path, int rows)
{
    Connection connection;
    if (!connection.open(path, QStringLiteral("SELECT * FROM Job")))
        return false;
    QRandomGenerator random(7);
    JobRecord& record = connection.record;
    connection.session->startTransaction();
    for (int i = 0; i < rows; ++i) {
        // Distinct job numbers in no particular order.
        record.integers[0] = qint32((qint64(i) * 7919) % 1000003 + 1);
        record.texts[1] = problemText(random);
        record.texts[2] = QStringLiteral("Solved by step %1").arg(random.bounded(500));
        record.texts[3] = QStringLiteral("Customer %1").arg(random.bounded(50000));
        record.texts[4] = QStringLiteral("c%1@example.com").arg(random.bounded(50000));
        record.dates[5] = 44000 + random.generateDouble() * 2000;
        record.dates[6] = record.dates[5] + random.generateDouble() * 10;
        record.texts[7] = QStringLiteral("Called back");
        record.integers[8] = random.bounded(7);
        record.integers[9] = random.bounded(5);
        record.texts[10] = QStringLiteral("Category %1").arg(random.bounded(20));
        record.texts[11] = QStringLiteral("Product %1").arg(random.bounded(40));
        if (failed(connection.rowset->insertRow(connection.accessor)))
            return false;
    }
    return succeeded(connection.session->commit());
}

// The database files of this run, made on first use.
class Files
{
public:
    static Files& instance()
    {
        static Files files;
        return files;
    }
    QString jobs() const { return m_jobs; }
    QString workbook() const { return m_workbook; }

private:
    Files()
    {
        const int rows = qEnvironmentVariableIntValue("VANTREL_BENCH_ROWS");
        m_jobs = m_dir.filePath(QStringLiteral("vntdatab.db"));
        m_workbook = m_dir.filePath(QStringLiteral("vntdatab.xlsx"));
        ErrorRecords errors;
        QElapsedTimer timer;
        timer.start();
        if (failed(createEmptyDatabase(m_jobs, &errors)) ||
            !fillJobs(m_jobs, rows > 0 ? rows : 1000000))
            qFatal("The benchmark database cannot be made.");
        QTextStream(stderr) << "Job table made in " << timer.elapsed() << " ms\n";
        if (failed(createEmptyDatabase(m_workbook, &errors)) || !fillJobs(m_workbook, 10000))
            qFatal("The benchmark workbook cannot be made.");
    }

    QTemporaryDir m_dir;
    QString m_jobs;
    QString m_workbook;
};

void openAndShowFirst(benchmark::State& state, const QString& path, const QString& sql)
{
    for (auto _ : state) {
        Connection connection;
        if (!connection.open(path, sql) || connection.rowset->moveFirst() != S_OK ||
            connection.rowset->getData(connection.accessor) != S_OK)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(connection.record.integers[0]);
        state.counters["rows"] = double(connection.rowset->rowCount());
    }
}

void BM_OpenSortedBaseQuery(benchmark::State& state)
{
    openAndShowFirst(state, Files::instance().jobs(), kSortedBase);
}
BENCHMARK(BM_OpenSortedBaseQuery)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenSortedOnProblem(benchmark::State& state)
{
    openAndShowFirst(state, Files::instance().jobs(),
                     QStringLiteral("SELECT * FROM Job  ORDER BY [Problem] ASC "));
}
BENCHMARK(BM_OpenSortedOnProblem)->Unit(benchmark::kMillisecond)->Iterations(3);

// One move and the read of the row it reaches, as the record view does.
void moveAndRead(benchmark::State& state, bool forward)
{
    Connection connection;
    if (!connection.open(Files::instance().jobs(), kSortedBase)) {
        state.SkipWithError("open failed");
        return;
    }
    Rowset& rowset = *connection.rowset;
    forward ? rowset.moveFirst() : rowset.moveLast();
    for (auto _ : state) {
        if ((forward ? rowset.moveNext() : rowset.movePrev()) != S_OK)
            forward ? rowset.moveFirst() : rowset.moveLast();
        rowset.getData(connection.accessor);
        benchmark::DoNotOptimize(connection.record.integers[0]);
    }
}

void BM_MoveNext(benchmark::State& state)
{
    moveAndRead(state, true);
}
BENCHMARK(BM_MoveNext)->Unit(benchmark::kMicrosecond);

void BM_MovePrevious(benchmark::State& state)
{
    moveAndRead(state, false);
}
BENCHMARK(BM_MovePrevious)->Unit(benchmark::kMicrosecond);

void BM_LikeSearch(benchmark::State& state)
{
    openAndShowFirst(state, Files::instance().jobs(), kLikeSearch);
}
BENCHMARK(BM_LikeSearch)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same statement in the sqlite3 shell, its rows thrown away; includes starting it.
void BM_LikeSearchSqliteShell(benchmark::State& state)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        state.SkipWithError("no sqlite3 shell");
        return;
    }
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(shell, {Files::instance().jobs(), kLikeSearch});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            state.SkipWithError("sqlite3 failed");
    }
}
BENCHMARK(BM_LikeSearchSqliteShell)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_UpdateRow(benchmark::State& state)
{
    Connection connection;
    if (!connection.open(Files::instance().jobs(), kSortedBase) ||
        connection.rowset->moveFirst() != S_OK) {
        state.SkipWithError("open failed");
        return;
    }
    connection.rowset->getData(connection.accessor);
    connection.record.statuses.fill(DBSTATUS_S_OK);
    for (auto _ : state) {
        ++connection.record.integers[8];
        if (connection.rowset->setData(connection.accessor) != S_OK)
            state.SkipWithError("update failed");
    }
}
BENCHMARK(BM_UpdateRow)->Unit(benchmark::kMillisecond);

void BM_WorkbookOpen(benchmark::State& state)
{
    openAndShowFirst(state, Files::instance().workbook(),
                     QStringLiteral("SELECT * FROM [Job$]  ORDER BY [Job number] ASC "));
}
BENCHMARK(BM_WorkbookOpen)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WorkbookUpdateRow(benchmark::State& state)
{
    Connection connection;
    if (!connection.open(Files::instance().workbook(), QStringLiteral("SELECT * FROM [Job$]")) ||
        connection.rowset->moveFirst() != S_OK) {
        state.SkipWithError("open failed");
        return;
    }
    connection.rowset->getData(connection.accessor);
    connection.record.statuses.fill(DBSTATUS_S_OK);
    for (auto _ : state) {
        ++connection.record.integers[8];
        if (connection.rowset->setData(connection.accessor) != S_OK)
            state.SkipWithError("update failed");
    }
}
BENCHMARK(BM_WorkbookUpdateRow)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
