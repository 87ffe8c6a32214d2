// The message list over the generated 100,000-message Inbox, as the program shows it: logon
// through the registered mail client and the profile file, the Inbox opened into an offscreen
// list view with its first rows painted, the process's memory with it open, and a message
// another program delivers into new/ reaching the open list. The summary index is warmed
// before anything is timed.
//   build/bench/bench_messagelist
#include "BenchMaildir.h"
#include "MailTestSetup.h"
#include "WidgetBenchMain.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"
#include "mail/MessageList.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace benchmaildir;
using namespace vantrel::mail;

using BenchHost = mailtest::TestMailHost;

// The registry names the built library as the mail client; the profile is the default one and
// its one store the generated folder. They live in a folder of their own, beside the index
// benchmark's profile.
void writeSetup()
{
    generateFolder();
    mailtest::installMailClient(QString::fromStdString((benchRoot() / "list").string()),
                                "[Profile Bench]\nDefault=true\nStores=Mail\n"
                                "[Store Bench/Mail]\nDefault=true\nPath=" +
                                    QByteArray::fromStdString(maildir().string()) + "\n");
}

double msOf(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Settings, the list view and the mail session, as the program's view holds them.
struct Workspace
{
    Workspace()
        : store(QString::fromStdString((benchRoot() / "settings-list.ini").string()))
        , doc(store, QString::fromStdString(benchRoot().string()) + u'/')
        , session(nullptr, QCoreApplication::applicationFilePath())
        , list(session, doc, host, &view, [this] { return session.isLoggedOn(); })
    {
        doc.setColumnMask(MaskKind::Inbox, defaultColumnMask(MaskKind::Inbox));
        view.resize(1000, 700);
        view.show();
    }
    ~Workspace()
    {
        list.close();
        session.logoff();
    }

    bool logon()
    {
        list.buildColumnTable();
        LogonSettings settings;
        return session.logon(settings);
    }

    // Opens the Inbox into the list.
    bool openInbox()
    {
        FolderRecord inbox;
        ULONG size = 0;
        MapiBuffer<ENTRYID> id(session.api());
        if (FAILED(session.store(0)->GetReceiveFolder("IPM.Note", 0, &size, id.put(), nullptr)))
            return false;
        inbox.entryId = QByteArray(reinterpret_cast<const char*>(id.get()), size);
        return list.openContents(inbox, session.store(0), true);
    }

    // Paints the rows the window shows (into a pixmap: offscreen windows are not exposed).
    void paint() { view.viewport()->grab(); }

    SettingsStore store;
    CSupportDoc doc;
    BenchHost host;
    QTreeView view;
    MailSession session;
    MessageList list;
};

void BM_OpenInbox(benchmark::State& state)
{
    {
        Workspace warm; // makes sure the summary index is in place
        if (!warm.logon() || !warm.openInbox()) {
            state.SkipWithError("opening the Inbox failed");
            return;
        }
    }
    double logonMs = 0;
    double openMs = 0;
    double paintMs = 0;
    double rssMb = 0;
    double modelMb = 0;
    int rows = 0;
    for (auto _ : state) {
        Workspace workspace;
        QElapsedTimer timer;
        timer.start();
        if (!workspace.logon()) {
            state.SkipWithError("logon failed");
            return;
        }
        const double logon = msOf(timer);
        timer.restart();
        if (!workspace.openInbox()) {
            state.SkipWithError("opening the Inbox failed");
            return;
        }
        const double open = msOf(timer);
        timer.restart();
        workspace.paint();
        const double paint = msOf(timer);
        state.SetIterationTime((logon + open + paint) / 1000.0);
        logonMs += logon;
        openMs += open;
        paintMs += paint;
        rows = workspace.list.rowCount();
        rssMb = std::max(rssMb, statusMb("VmRSS:"));
        // What the list's own rows take: the heap they give back when emptied.
        const double heap = heapMb();
        workspace.list.model().clear();
        modelMb = heap - heapMb();
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["logon_ms"] = logonMs / runs;
    state.counters["open_ms"] = openMs / runs;
    state.counters["paint_ms"] = paintMs / runs;
    state.counters["total_ms"] = (logonMs + openMs + paintMs) / runs;
    state.counters["rows"] = rows;
    state.counters["model_mb"] = modelMb;
    state.counters["rss_open_mb"] = rssMb;
    state.counters["peak_rss_mb"] = peakMemoryMb();
}
BENCHMARK(BM_OpenInbox)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

// Pumps events until `done` or 10 s have passed; false on the time-out.
template<typename Done>
bool waitFor(Done done)
{
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void BM_DeliveredMessageAppears(benchmark::State& state)
{
    Workspace workspace;
    if (!workspace.logon() || !workspace.openInbox() || !workspace.list.isAdvised()) {
        state.SkipWithError("opening the Inbox failed");
        return;
    }
    const int before = workspace.list.rowCount();
    std::mt19937 rng(7);
    int n = 0;
    for (auto _ : state) {
        const std::string name = "9999999999.M1P1Q" + std::to_string(n++) + ".delivered";
        const fs::path temporary = maildir() / "tmp" / name;
        const fs::path delivered = maildir() / "new" / name;
        std::ofstream(temporary, std::ios::binary) << makeMessage(n, std::time(nullptr), rng);
        QElapsedTimer timer;
        timer.start();
        fs::rename(temporary, delivered);
        const bool shown = waitFor([&] { return workspace.list.rowCount() == before + 1; });
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        fs::remove(delivered);
        if (!shown || !waitFor([&] { return workspace.list.rowCount() == before; })) {
            state.SkipWithError("the delivered message did not come and go");
            return;
        }
    }
    state.counters["rows"] = before;
    state.counters["peak_rss_mb"] = peakMemoryMb();
}
BENCHMARK(BM_DeliveredMessageAppears)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWidgetBenchmarks<int>(argc, argv, [](int&) {
        writeSetup();
        return true;
    });
}
