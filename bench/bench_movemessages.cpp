// Moving 10,000 selected messages to another folder as "Move message(s) to folder" does it:
// the folder "Old" shown in the message list, every row selected, MoveOrCopySelected to
// "Archive". Each run moves them back the other way, so that every run moves the whole
// selection. Also reported: how long the list then takes to show the emptied folder. (Not the
// Inbox: its list is refilled once for every message created in it, which after a move of
// 10,000 messages into it would take the following runs minutes.)
//   build/bench/bench_movemessages
#include "BenchMaildir.h"
#include "ComposeTestSetup.h"
#include "WidgetBenchMain.h"
#include "compose/ComposeController.h"

#include <QElapsedTimer>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {

using namespace vantrel::compose;

constexpr int kMoved = 10000;

struct Setup
{
    composetest::MailFixture mail;
    composetest::TestComposeHost host;
    std::unique_ptr<ComposeController> compose;
    OutgoingState* state = nullptr;
    MessageManagement* manage = nullptr;

    bool build()
    {
        std::mt19937 rng(20240601);
        const std::time_t start = 1609459200;
        for (int n = 0; n < kMoved; ++n) {
            const std::time_t when = start + static_cast<std::time_t>(rng() % (365 * 86400));
            const QString name = QStringLiteral("Maildir/.Old/cur/%1.M%2P7Q%3.bench:2,S")
                                     .arg(when)
                                     .arg(rng() % 1000000)
                                     .arg(n);
            if (!mailtest::writeFile(
                    mail.dir.filePath(name),
                    QByteArray::fromStdString(benchmaildir::makeMessage(n, when, rng))))
                return false;
        }
        for (const char* folder : {"Old", "Archive"}) {
            for (const char* sub : {"cur", "new", "tmp"})
                QDir().mkpath(mail.dir.filePath(QStringLiteral("Maildir/.%1/%2").arg(folder, sub)));
        }
        if (!mail.setUp())
            return false;
        compose = std::make_unique<ComposeController>(*mail.mail, host);
        state = &compose->state();
        manage = &compose->management();
        return true;
    }
    QTreeWidgetItem* item(const QString& folder)
    {
        return mail.tree.findItems(folder, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    // Shows `folder` with every row selected; the number of rows.
    int showAll(const QString& folder)
    {
        mail.tree.setCurrentItem(nullptr);
        mail.tree.setCurrentItem(item(folder));
        mail.list.selectAll();
        return mail.mail->messages().selectedCount();
    }
    int filesIn(const char* folder) const
    {
        int count = 0;
        for (const char* sub : {"cur", "new"})
            count += int(QDir(mail.path(folder) + u'/' + QLatin1StringView(sub))
                             .entryList(QDir::Files)
                             .size());
        return count;
    }
};

void BM_MoveSelected(benchmark::State& state)
{
    Setup setup;
    if (!setup.build()) {
        state.SkipWithError("the store could not be set up");
        return;
    }
    const QString folders[] = {QStringLiteral("Old"), QStringLiteral("Archive")};
    const char* dirs[] = {"Maildir/.Old", "Maildir/.Archive"};
    int from = 0;
    double totalMs = 0;
    double settleMs = 0;
    for (auto _ : state) {
        if (setup.showAll(folders[from]) != kMoved) {
            state.SkipWithError("the messages are not all listed");
            return;
        }
        const int to = 1 - from;
        const int sequence = setup.item(folders[to])->data(0, Qt::UserRole).toInt();
        QElapsedTimer timer;
        timer.start();
        const bool moved = setup.manage->MoveOrCopySelected(sequence, true);
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
        if (!moved || setup.filesIn(dirs[to]) != kMoved || setup.filesIn(dirs[from]) != 0) {
            state.SkipWithError("not every message was moved");
            return;
        }
        from = to;
        // Until the list, told by the folder's notifications, shows the folder empty.
        timer.restart();
        while (setup.mail.mail->messages().rowCount() > 0 && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settleMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["messages"] = kMoved;
    state.counters["move_ms"] = totalMs / runs;
    state.counters["list_settled_ms"] = settleMs / runs;
}
BENCHMARK(BM_MoveSelected)->Iterations(4)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWidgetBenchmarks(argc, argv);
}
