// The waits that may need a progress dialog, timed as the user meets them (offscreen):
//   FolderOpen/N      - a folder of N messages clicked in the folder tree: the first time
//                       (no summary index yet: every message parsed, in the background
//                       while a progress dialog shows) and again (index warm); with the
//                       longest wait between two repaints during the first time
//   MoveSelected/N    - N selected messages moved to another folder, with the progress
//                       dialog showing after its half second and painted every 50 ms
//   PrintText/pages   - the outgoing box printed to a PDF file through the print command
// Each reports how many progress dialogs showed. The messages come from BenchMaildir.h.
//   build/bench/bench_progress --benchmark_counters_tabular=true
#include "BenchMaildir.h"
#include "ComposeTestSetup.h"
#include "DialogCounter.h"
#include "PrintFixture.h"
#include "WidgetBenchMain.h"
#include "compose/ComposeController.h"
#include "core/ProgressFeedback.h"
#include "print/PrintController.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {

using namespace vantrel::compose;

double msOf(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The longest time between two paint events while it lives, once painting started.
struct PaintGaps : QObject
{
    PaintGaps() { qApp->installEventFilter(this); }
    ~PaintGaps() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            if (m_last.isValid())
                longestMs = std::max(longestMs, msOf(m_last));
            m_last.start();
        }
        return false;
    }
    double longestMs = 0;

private:
    QElapsedTimer m_last;
};

struct MailSetup
{
    composetest::MailFixture mail;
    composetest::TestComposeHost host;
    std::unique_ptr<ComposeController> compose;

    bool build(const char* folder, int messages)
    {
        std::mt19937 rng(20240601);
        const std::time_t start = 1609459200;
        for (int n = 0; n < messages; ++n) {
            const std::time_t when = start + static_cast<std::time_t>(rng() % (365 * 86400));
            const QString name = QStringLiteral("Maildir/.%1/cur/%2.M%3P7Q%4.bench:2,S")
                                     .arg(QLatin1StringView(folder))
                                     .arg(when)
                                     .arg(rng() % 1000000)
                                     .arg(n);
            if (!mailtest::writeFile(
                    mail.dir.filePath(name),
                    QByteArray::fromStdString(benchmaildir::makeMessage(n, when, rng))))
                return false;
        }
        for (const char* other : {folder, "Archive"}) {
            for (const char* sub : {"cur", "new", "tmp"})
                QDir().mkpath(mail.dir.filePath(
                    QStringLiteral("Maildir/.%1/%2").arg(QLatin1StringView(other), sub)));
        }
        if (!mail.setUp())
            return false;
        compose = std::make_unique<ComposeController>(*mail.mail, host);
        return true;
    }
    QTreeWidgetItem* item(const QString& folder)
    {
        return mail.tree.findItems(folder, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    // Clicks `folder` in the tree; the rows it lists.
    int open(const QString& folder)
    {
        mail.tree.setCurrentItem(nullptr);
        mail.tree.setCurrentItem(item(folder));
        return mail.mail->messages().rowCount();
    }
};

void FolderOpen(benchmark::State& state)
{
    const int messages = static_cast<int>(state.range(0));
    MailSetup setup;
    if (!setup.build("Big", messages)) {
        state.SkipWithError("the store could not be set up");
        return;
    }
    const QString cache = setup.mail.dir.filePath(QStringLiteral("cache"));
    double coldMs = 0;
    double warmMs = 0;
    double gapMs = 0;
    DialogCounter dialogs;
    int coldDialogs = 0;
    int warmDialogs = 0;
    for (auto _ : state) {
        QDir(cache).removeRecursively(); // the first open ever: no summary index
        QElapsedTimer timer;
        timer.start();
        int cold = 0;
        {
            const PaintGaps gaps;
            cold = setup.open(QStringLiteral("Big"));
            gapMs = std::max(gapMs, gaps.longestMs);
        }
        coldMs += msOf(timer);
        const int before = dialogs.shown;
        coldDialogs += before - (coldDialogs + warmDialogs);
        timer.restart();
        const int warm = setup.open(QStringLiteral("Big"));
        warmMs += msOf(timer);
        warmDialogs += dialogs.shown - before;
        state.SetIterationTime(coldMs / 1000.0);
        if (cold != messages || warm != messages) {
            state.SkipWithError("not every message was listed");
            return;
        }
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["first_open_ms"] = coldMs / runs;
    state.counters["open_again_ms"] = warmMs / runs;
    state.counters["longest_paint_gap_ms"] = gapMs;
    state.counters["dialogs"] = coldDialogs / runs;
    state.counters["dialogs_again"] = warmDialogs / runs;
}
BENCHMARK(FolderOpen)
    ->Arg(20000)
    ->Arg(50000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void MoveSelected(benchmark::State& state)
{
    const int messages = static_cast<int>(state.range(0));
    MailSetup setup;
    if (!setup.build("Old", messages)) {
        state.SkipWithError("the store could not be set up");
        return;
    }
    const QString folders[] = {QStringLiteral("Old"), QStringLiteral("Archive")};
    int from = 0;
    double moveMs = 0;
    DialogCounter dialogs;
    for (auto _ : state) {
        setup.open(folders[from]);
        setup.mail.list.selectAll();
        if (setup.mail.mail->messages().selectedCount() != messages) {
            state.SkipWithError("the messages are not all listed");
            return;
        }
        const int to = 1 - from;
        const int sequence = setup.item(folders[to])->data(0, Qt::UserRole).toInt();
        QElapsedTimer timer;
        timer.start();
        if (!setup.compose->management().MoveOrCopySelected(sequence, true)) {
            state.SkipWithError("the move failed");
            return;
        }
        moveMs += msOf(timer);
        state.SetIterationTime(msOf(timer) / 1000.0);
        from = to;
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["move_ms"] = moveMs / runs;
    state.counters["dialogs"] = dialogs.shown / runs;
}
BENCHMARK(MoveSelected)
    ->Arg(2000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void PrintText(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0)) * 51;
    printtest::Workspace workspace;
    printtest::Settings settings;
    settings.setMargins(720, 720, 720, 720);
    vantrel::print::PrintController print(settings.doc, workspace);
    QStringList text;
    for (int i = 0; i < lines; ++i)
        text.append(QStringLiteral("Line %1: a support call about a printer that jams").arg(i));
    workspace.textBox(printtest::Workspace::kOutgoingBox)->setPlainText(text.join(u'\n'));
    const QString path = settings.dir.filePath(QStringLiteral("out.pdf"));
    printtest::printToPdf(print.printer(), path);
    ScriptedPrompter prompter;
    DialogCounter dialogs;
    double printMs = 0;
    for (auto _ : state) {
        prompter.dialogResult(QDialog::Accepted);
        QElapsedTimer timer;
        timer.start();
        print.PrintText(printtest::Workspace::kOutgoingBox);
        printMs += msOf(timer);
        state.SetIterationTime(msOf(timer) / 1000.0);
        if (QFileInfo(path).size() == 0) {
            state.SkipWithError("nothing was printed");
            return;
        }
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["print_ms"] = printMs / runs;
    state.counters["dialogs"] = dialogs.shown / runs;
}
BENCHMARK(PrintText)
    ->Arg(100)
    ->Arg(300)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
