// The database stand-in as the program uses it: the whole connect sequence up to the first
// Job record, on an SQLite Job table of 1,000,000 rows and on a workbook whose Job sheet
// has 100,000 rows; opening the sorted base query alone; moving one row on and back; a
// LIKE search on Problem next to the same statement run by the sqlite3 shell; writing one
// changed row back (to the database and to the workbook); making the workbook.
//
//   build/bench/bench_oledb --benchmark_counters_tabular=true
//
// The files are made once per run in a temporary folder (one transaction through the
// rowset interface each). VANTREL_BENCH_ROWS and VANTREL_BENCH_WORKBOOK_ROWS override the
// Job sizes; with VANTREL_BENCH_DIR the files are kept in that folder and reused.

#include "BenchJobs.h"
#include "oledb/Command.h"
#include "oledb/DataSource.h"
#include "oledb/DatabaseFiles.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <benchmark/benchmark.h>
#include <optional>

using namespace vnt::oledb;

namespace {

const QString kJetProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
const QString kSortedBase = QStringLiteral("SELECT * FROM Job  ORDER BY [Job number] ASC ");
const QString kLikeSearch =
    QStringLiteral("SELECT * FROM Job WHERE Job.[Problem] LIKE '%abc%' ORDER BY [Job number] ASC ");
constexpr int kKnowledgeRows = 200;

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

// The Knowledge record: ordinals 2 to 7.
struct KnowledgeRecord
{
    qint32 reference = 0;
    std::array<QString, 5> texts;
    std::array<DBSTATUS, 6> statuses{};

    QList<Binding> bindings()
    {
        QList<Binding> list{Binding::int32(2, &reference, &statuses[0])};
        for (int i = 0; i < 5; ++i)
            list.append(Binding::text(DBORDINAL(i + 3), i == 0 ? 50 : 255, &texts[size_t(i)],
                                      &statuses[size_t(i + 1)]));
        return list;
    }
};

bool isWorkbook(const QString& path)
{
    return isWorkbookPath(path);
}

QString tableName(const QString& path, const char* sheet)
{
    return isWorkbook(path) ? QStringLiteral("[%1$]").arg(QLatin1String(sheet))
                            : QLatin1String(sheet);
}

// A data source and session opened as the program opens them.
struct Database
{
    std::unique_ptr<DataSource> dataSource;
    std::unique_ptr<Session> session;

    bool connect(const QString& path)
    {
        if (failed(DataSource::create(kJetProvider, &dataSource)))
            return false;
        DBPROPSET properties = {
            {DBPROP_INIT_DATASOURCE, path},
            {DBPROP_INIT_PROMPT, DBPROMPT_COMPLETEREQUIRED},
            {DBPROP_INIT_LCID, 1033},
            {DBPROP_AUTH_CACHE_AUTHINFO, true},
            {DBPROP_AUTH_ENCRYPT_PASSWORD, false},
            {DBPROP_AUTH_MASK_PASSWORD, false},
            {DBPROP_AUTH_PASSWORD, QString()},
            {DBPROP_AUTH_USERID, QStringLiteral("Admin")},
            {DBPROP_INIT_MODE, DB_MODE_SHARE_DENY_NONE},
            {DBPROP_INIT_PROVIDERSTRING, isWorkbook(path)
                                             ? QStringLiteral("Excel 8.0;HDR=Yes;")
                                             : QStringLiteral(";COUNTRY=0;CP=1252;LANGID=0x0409")}};
        return succeeded(dataSource->setProperties(&properties)) &&
               succeeded(dataSource->initialize()) &&
               succeeded(dataSource->createSession(&session));
    }

    // Runs `sql` with the rowset properties of every Job and Knowledge command.
    std::unique_ptr<Rowset> execute(const QString& sql)
    {
        std::unique_ptr<Command> command;
        std::unique_ptr<Rowset> rowset;
        if (failed(session->createCommand(&command)))
            return rowset;
        command->setCommandText(sql);
        DBPROPSET properties = {{DBPROP_CANFETCHBACKWARDS, true},
                                {DBPROP_IRowsetScroll, true},
                                {DBPROP_IRowsetChange, true},
                                {DBPROP_UPDATABILITY, 7}};
        command->setProperties(&properties);
        if (failed(command->execute(&rowset)))
            rowset.reset();
        return rowset;
    }

    // Runs `sql` for its column information only, as the program does before it sorts.
    bool columnInfo(const QString& sql)
    {
        const std::unique_ptr<Rowset> rowset = execute(sql);
        QList<DBCOLUMNINFO> columns;
        return rowset && succeeded(rowset->getColumnInfo(&columns)) && !columns.isEmpty();
    }
};

// A rowset with the record it reads into, bound on creation.
template<typename Record>
struct Bound
{
    std::unique_ptr<Rowset> rowset;
    Record record;
    Accessor accessor;

    bool open(Database& database, const QString& sql)
    {
        rowset = database.execute(sql);
        return rowset && succeeded(rowset->createAccessor(record.bindings(), &accessor));
    }
    bool showFirst() { return rowset->moveFirst() == S_OK && rowset->getData(accessor) == S_OK; }
};

// The program's connect sequence up to the first Job record shown; the Job and Knowledge
// rowsets stay open as the program keeps them.
struct Program
{
    Database database;
    Bound<JobRecord> jobs;
    Bound<KnowledgeRecord> facts;

    bool connect(const QString& path)
    {
        const QString job = QStringLiteral("SELECT * FROM ") + tableName(path, "Job");
        const QString knowledge = QStringLiteral("SELECT * FROM ") + tableName(path, "Knowledge");
        return database.connect(path) && database.columnInfo(job) &&
               jobs.open(database, job + QStringLiteral("  ORDER BY [Job number] ASC ")) &&
               jobs.showFirst() && database.columnInfo(knowledge) &&
               facts.open(database, knowledge + QStringLiteral("  ORDER BY [Reference] ASC ")) &&
               facts.showFirst();
    }
};

bool fillJobs(Database& database, const QString& path, int rows)
{
    Bound<JobRecord> jobs;
    if (!jobs.open(database, QStringLiteral("SELECT * FROM ") + tableName(path, "Job")))
        return false;
    QRandomGenerator random(7);
    JobRecord& record = jobs.record;
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
        if (failed(jobs.rowset->insertRow(jobs.accessor)))
            return false;
    }
    return true;
}

bool fillKnowledge(Database& database, const QString& path)
{
    Bound<KnowledgeRecord> facts;
    if (!facts.open(database, QStringLiteral("SELECT * FROM ") + tableName(path, "Knowledge")))
        return false;
    for (int i = 0; i < kKnowledgeRows; ++i) {
        facts.record.reference = (i * 37) % kKnowledgeRows + 1;
        facts.record.texts = {QStringLiteral("How to"), QStringLiteral("Fact %1").arg(i),
                              QStringLiteral("first note"), QStringLiteral("second note"),
                              QStringLiteral("third note")};
        if (failed(facts.rowset->insertRow(facts.accessor)))
            return false;
    }
    return true;
}

// Makes a new support database at `path` with `rows` jobs, in one transaction.
bool makeDatabase(const QString& path, int rows)
{
    ErrorRecords errors;
    Database database;
    if (failed(createEmptyDatabase(path, &errors)) || !database.connect(path) ||
        failed(database.session->startTransaction()))
        return false;
    return fillJobs(database, path, rows) && fillKnowledge(database, path) &&
           succeeded(database.session->commit());
}

int sizeSetting(const char* name, int fallback)
{
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

// The database files of this run, each made on first use.
class Files
{
public:
    static Files& instance()
    {
        static Files files;
        return files;
    }
    QString folder() const { return m_folder; }
    QString jobs() { return made(&m_jobs, "vntdatab.db", "VANTREL_BENCH_ROWS", 1000000); }
    QString workbook()
    {
        return made(&m_workbook, "vntdatab.xlsx", "VANTREL_BENCH_WORKBOOK_ROWS", 100000);
    }
    int workbookRows() const { return sizeSetting("VANTREL_BENCH_WORKBOOK_ROWS", 100000); }

private:
    Files()
        : m_folder(qEnvironmentVariable("VANTREL_BENCH_DIR"))
    {
        if (m_folder.isEmpty())
            m_folder = m_dir.path();
        QDir().mkpath(m_folder);
    }

    QString made(std::optional<QString>* path, const char* name, const char* sizeName, int fallback)
    {
        if (path->has_value())
            return **path;
        const int rows = sizeSetting(sizeName, fallback);
        const QString file =
            QDir(m_folder).filePath(QStringLiteral("%1-%2").arg(rows).arg(QLatin1String(name)));
        if (!QFile::exists(file)) {
            QElapsedTimer timer;
            timer.start();
            if (!makeDatabase(file, rows))
                qFatal("The benchmark database %s cannot be made.", qPrintable(file));
            QTextStream(stderr) << file << " made in " << timer.elapsed() << " ms\n";
        }
        *path = file;
        return file;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    std::optional<QString> m_jobs;
    std::optional<QString> m_workbook;
};

void connectSequence(benchmark::State& state, const QString& path)
{
    for (auto _ : state) {
        Program program;
        if (!program.connect(path))
            state.SkipWithError("the connect sequence failed");
        benchmark::DoNotOptimize(program.jobs.record.integers[0]);
        state.counters["rows"] = double(program.jobs.rowset ? program.jobs.rowset->rowCount() : 0);
    }
}

void BM_ConnectSequence(benchmark::State& state)
{
    connectSequence(state, Files::instance().jobs());
}
BENCHMARK(BM_ConnectSequence)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WorkbookConnectSequence(benchmark::State& state)
{
    connectSequence(state, Files::instance().workbook());
}
BENCHMARK(BM_WorkbookConnectSequence)->Unit(benchmark::kMillisecond)->Iterations(5);

void openAndShowFirst(benchmark::State& state, const QString& path, const QString& sql)
{
    for (auto _ : state) {
        Database database;
        Bound<JobRecord> jobs;
        if (!database.connect(path) || !jobs.open(database, sql) || !jobs.showFirst())
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(jobs.record.integers[0]);
        state.counters["rows"] = double(jobs.rowset ? jobs.rowset->rowCount() : 0);
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
    Database database;
    Bound<JobRecord> jobs;
    if (!database.connect(Files::instance().jobs()) || !jobs.open(database, kSortedBase)) {
        state.SkipWithError("open failed");
        return;
    }
    Rowset& rowset = *jobs.rowset;
    forward ? rowset.moveFirst() : rowset.moveLast();
    for (auto _ : state) {
        if ((forward ? rowset.moveNext() : rowset.movePrev()) != S_OK)
            forward ? rowset.moveFirst() : rowset.moveLast();
        rowset.getData(jobs.accessor);
        benchmark::DoNotOptimize(jobs.record.integers[0]);
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

// Changes one value of the first row and writes the row back, as the record view does
// before a move.
void updateRow(benchmark::State& state, const QString& path, const QString& sql)
{
    Database database;
    Bound<JobRecord> jobs;
    if (!database.connect(path) || !jobs.open(database, sql) || !jobs.showFirst()) {
        state.SkipWithError("open failed");
        return;
    }
    jobs.record.statuses.fill(DBSTATUS_S_OK);
    for (auto _ : state) {
        ++jobs.record.integers[8];
        if (jobs.rowset->setData(jobs.accessor) != S_OK)
            state.SkipWithError("update failed");
    }
}

void BM_UpdateRow(benchmark::State& state)
{
    updateRow(state, Files::instance().jobs(), kSortedBase);
}
BENCHMARK(BM_UpdateRow)->Unit(benchmark::kMillisecond);

void BM_WorkbookUpdateRow(benchmark::State& state)
{
    updateRow(state, Files::instance().workbook(),
              QStringLiteral("SELECT * FROM [Job$]  ORDER BY [Job number] ASC "));
}
BENCHMARK(BM_WorkbookUpdateRow)->Unit(benchmark::kMillisecond)->Iterations(5);

// A new workbook filled with the Job rows in one transaction: written once, at the commit.
void BM_WorkbookMake(benchmark::State& state)
{
    const QString path = QDir(Files::instance().folder()).filePath(QStringLiteral("made.xlsx"));
    for (auto _ : state) {
        QFile::remove(path);
        if (!makeDatabase(path, Files::instance().workbookRows()))
            state.SkipWithError("the workbook cannot be made");
    }
    QFile::remove(path);
}
BENCHMARK(BM_WorkbookMake)->Unit(benchmark::kMillisecond)->Iterations(1);

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
