// The support database in the whole program (offscreen), on a Job table of 1,000,000 rows in
// an SQLite file and of 100,000 rows in a workbook: "Connect to database" until the first
// record shows (and on a workbook of 300,000 rows, how long the windows go unpainted
// meanwhile), next and previous record (with "Auto record update" on, as by default), and
// a Problem LIKE search until its first record shows, next to the same statement in the
// sqlite3 shell (which is started and prints every row it finds).
//
//   build/bench/bench_database --benchmark_counters_tabular=true
//
// The files are made once per run in a temporary folder; VANTREL_BENCH_ROWS,
// VANTREL_BENCH_WORKBOOK_ROWS and VANTREL_BENCH_BIG_WORKBOOK_ROWS override their sizes.

#include "BenchJobs.h"
#include "DatabaseWorkspace.h"
#include "WidgetBenchMain.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

using namespace dbtest;

constexpr int kConnect = 32788;
constexpr int kNext = 59650;
constexpr int kPrevious = 59651;
const QString kLikeSearch =
    QStringLiteral("SELECT * FROM Job WHERE Job.[Problem] LIKE '%abc%' ORDER BY [Job number] ASC ");

int rowsFromEnvironment(const char* name, int fallback)
{
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue(name, &ok);
    return ok && rows > 0 ? rows : fallback;
}

Row jobRow(int number, QRandomGenerator& random)
{
    return {number,
            problemText(random),
            QStringLiteral("Replaced the part and tested it"),
            QStringLiteral("Customer %1").arg(number % 5000),
            QStringLiteral("customer%1@example.com").arg(number % 5000),
            45000.0 + number % 900,
            0.0,
            QStringLiteral("Called back twice"),
            number % 7,
            number % 5,
            QStringLiteral("Hardware"),
            QStringLiteral("Printer")};
}

// Fills the Job table of an SQLite file with one prepared statement in one transaction.
bool fillSqlite(const QString& path, int rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    sqlite3_stmt* insert = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO Job VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1,
                       &insert, nullptr);
    QRandomGenerator random(7);
    bool ok = insert != nullptr;
    for (int number = 1; ok && number <= rows; ++number) {
        const Row row = jobRow(number, random);
        for (int i = 0; i < row.size(); ++i) {
            const QVariant& value = row.at(i);
            if (value.typeId() == QMetaType::Int)
                sqlite3_bind_int(insert, i + 1, value.toInt());
            else if (value.typeId() == QMetaType::Double)
                sqlite3_bind_double(insert, i + 1, value.toDouble());
            else
                sqlite3_bind_text(insert, i + 1, value.toString().toUtf8().constData(), -1,
                                  SQLITE_TRANSIENT);
        }
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The two databases, made once, and the program running on one of them at a time.
struct Databases
{
    QTemporaryDir dir;
    std::unique_ptr<DatabaseWorkspace> running;
    int runningKind = -1;

    // 0: the SQLite file, 1: the workbook, 2: the big workbook.
    QString file(int kind) const
    {
        static const char* const names[] = {"vntdatab.db", "vntdatab.xlsx", "big.xlsx"};
        return dir.filePath(QLatin1String(names[kind]));
    }
    // An SQLite file with the workbook's rows, for the shell to compare with.
    QString workbookTwin() const { return dir.filePath(QStringLiteral("twin.db")); }
};

Databases* g_databases = nullptr;

bool makeDatabases(Databases& d)
{
    const int rows = rowsFromEnvironment("VANTREL_BENCH_ROWS", 1000000);
    const int workbookRows = rowsFromEnvironment("VANTREL_BENCH_WORKBOOK_ROWS", 100000);
    QElapsedTimer made;
    made.start();
    QRandomGenerator random(7);
    QList<Row> jobs;
    for (int number = 1; number <= workbookRows; ++number)
        jobs.append(jobRow(number, random));
    const QList<Row> knowledge = {dbtest::knowledge(1, QStringLiteral("Toner low"))};
    ErrorRecords errors;
    for (const QString& file : {d.file(0), d.file(1), d.workbookTwin()}) {
        if (failed(createEmptyDatabase(file, &errors)) ||
            !addRows(file, QStringLiteral("Knowledge"), knowledge))
            return false;
    }
    if (!fillSqlite(d.file(0), rows) || !fillSqlite(d.workbookTwin(), workbookRows) ||
        !addRows(d.file(1), QStringLiteral("Job"), jobs))
        return false;
    std::fprintf(stderr, "databases made in %lld ms\n", qint64(made.elapsed()));
    g_databases = &d;
    return true;
}

// The program on the SQLite file (0), the workbook (1) or the big workbook (2), on the
// "Database" tab.
DatabaseWorkspace& workspace(int kind)
{
    Databases& d = *g_databases;
    if (d.runningKind != kind) {
        d.running.reset();
        d.running = std::make_unique<DatabaseWorkspace>();
        d.runningKind = kind;
        const int workbook = kind > 0 ? 1 : 0;
        const QString name =
            workbook ? QStringLiteral("vntdatab.xlsx") : QStringLiteral("vntdatab.db");
        if (!d.running->start(QString(), {}, {}, {{QStringLiteral("Database type"), workbook}}))
            qFatal("the program did not start");
        QFile::remove(d.running->databasePath(name));
        if (!QFile::copy(d.file(kind), d.running->databasePath(name)))
            qFatal("the database could not be copied");
        d.running->view()->SelectTab(4);
    }
    return *d.running;
}

// The program connected to its database, showing the first record.
DatabaseWorkspace& connected(int workbook)
{
    DatabaseWorkspace& w = workspace(workbook);
    if (!w.connection().jobOpen())
        w.router().execute(kConnect);
    return w;
}

void checkQuiet(benchmark::State& state, DatabaseWorkspace& w)
{
    if (!w.prompter.notices().isEmpty())
        state.SkipWithError(qPrintable(w.prompter.notices().first().text));
}

void ConnectAndShowFirst(benchmark::State& state)
{
    DatabaseWorkspace& w = workspace(int(state.range(0)));
    for (auto _ : state) {
        w.connection().closeAll();
        w.connection().jobState = w.connection().knowledgeState = 0;
        QElapsedTimer timer;
        timer.start();
        w.router().execute(kConnect);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (w.text(1018) != QLatin1String("1"))
            state.SkipWithError("the first record is not shown");
    }
    checkQuiet(state, w);
}
BENCHMARK(ConnectAndShowFirst)
    ->ArgName("workbook")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// The big workbook, made when first asked for: a connection to it takes well over half a
// second.
bool makeBigWorkbook()
{
    const QString file = g_databases->file(2);
    if (QFile::exists(file))
        return true;
    const int rows = rowsFromEnvironment("VANTREL_BENCH_BIG_WORKBOOK_ROWS", 300000);
    QRandomGenerator random(7);
    QList<Row> jobs;
    for (int number = 1; number <= rows; ++number)
        jobs.append(jobRow(number, random));
    ErrorRecords errors;
    return succeeded(createEmptyDatabase(file, &errors)) &&
           addRows(file, QStringLiteral("Knowledge"),
                   {dbtest::knowledge(1, QStringLiteral("Toner low"))}) &&
           addRows(file, QStringLiteral("Job"), jobs);
}

// "Connect to database" on the big workbook. A timer due every 10 ms stands for the
// windows' painting (offscreen windows are not exposed): the longest time between its
// runs once the busy bar shows is the longest the windows go unpainted.
void ConnectBigWorkbook(benchmark::State& state)
{
    if (!makeBigWorkbook()) {
        state.SkipWithError("the big workbook could not be made");
        return;
    }
    DatabaseWorkspace& w = workspace(2);
    qint64 longestGap = 0;
    qint64 firstPaint = 0;
    for (auto _ : state) {
        w.connection().closeAll();
        w.connection().jobState = w.connection().knowledgeState = 0;
        QElapsedTimer timer;
        qint64 lastRun = -1;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = timer.elapsed();
            if (lastRun >= 0)
                longestGap = std::max(longestGap, now - lastRun);
            else
                firstPaint = now;
            lastRun = now;
        });
        tick.start();
        timer.start();
        w.router().execute(kConnect);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        // Until the end of the connection, not only until the last paint.
        if (lastRun >= 0)
            longestGap = std::max(longestGap, timer.elapsed() - lastRun);
        if (w.text(1018) != QLatin1String("1"))
            state.SkipWithError("the first record is not shown");
    }
    state.counters["first paint ms"] = double(firstPaint);
    state.counters["longest gap ms"] = double(longestGap);
    checkQuiet(state, w);
}
BENCHMARK(ConnectBigWorkbook)->Iterations(2)->Unit(benchmark::kMillisecond)->UseManualTime();

void NextAndPrevious(benchmark::State& state)
{
    DatabaseWorkspace& w = connected(int(state.range(0)));
    for (auto _ : state) {
        w.router().execute(kNext);
        w.router().execute(kPrevious);
    }
    state.counters["per move"] = benchmark::Counter(
        double(state.iterations()) * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    checkQuiet(state, w);
}
BENCHMARK(NextAndPrevious)->ArgName("workbook")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void LikeSearch(benchmark::State& state)
{
    DatabaseWorkspace& w = connected(int(state.range(0)));
    auto* searchButton = qobject_cast<QPushButton*>(w.view()->control(1036));
    for (auto _ : state) {
        w.view()->selector()->setCurrentIndex(2);
        w.setText(1035, QStringLiteral("abc"));
        QElapsedTimer timer;
        timer.start();
        searchButton->click();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (!w.text(1017).contains(QLatin1String("abcd")))
            state.SkipWithError("no record found");
    }
    checkQuiet(state, w);
}
BENCHMARK(LikeSearch)
    ->ArgName("workbook")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void LikeSearchSqliteShell(benchmark::State& state)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        state.SkipWithError("no sqlite3 shell");
        return;
    }
    const QString file = state.range(0) ? g_databases->workbookTwin() : g_databases->file(0);
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(shell, {file, kLikeSearch});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            state.SkipWithError("sqlite3 failed");
    }
}
BENCHMARK(LikeSearchSqliteShell)
    ->ArgName("workbook")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWidgetBenchmarks<Databases>(argc, argv, makeDatabases);
}
