// Replying to a message with a 1 MB body in the whole program (offscreen): from the Reply
// command until the outgoing box holds the header block and the whole answered text
// ("Reply Display Options" 3). The message has been read into the read box first, as a user
// reads a message before answering it.
//   build/bench/bench_reply
#include "CTextBox.h"
#include "ComposeWorkspace.h"
#include "WidgetBenchMain.h"
#include "core/CSupportDoc.h"
#include "core/SettingDefinitions.h"

#include <QElapsedTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>

namespace {

using namespace vantrel::compose;

composetest::ComposeWorkspace* g_work = nullptr;

QByteArray bigMessage()
{
    QByteArray body;
    for (int line = 0; body.size() < 1024 * 1024; ++line)
        body += "Line " + QByteArray::number(line) + " of the customer's long log output.\r\n";
    return "From: Emily Wilson <ewilson@example.com>\r\nTo: Sam Support <sam@example.com>\r\n"
           "Subject: Long log\r\nMessage-ID: <big@example.com>\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
           body;
}

void ReplyToOneMegabyte(benchmark::State& state)
{
    ComposeController& compose = *g_work->compose();
    CTextBox* outgoing = g_work->view()->textBox(1000);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        g_work->router().execute(1204);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (outgoing->document()->characterCount() < 1000 * 1000)
            state.SkipWithError("the reply does not hold the message");
        compose.state().StopOutgoing(true);
    }
}
BENCHMARK(ReplyToOneMegabyte)->Iterations(10)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWidgetBenchmarks<composetest::ComposeWorkspace>(
        argc, argv, [](composetest::ComposeWorkspace& work) {
            if (!mailtest::writeFile(work.path(QStringLiteral("Mail/cur/1.big:2,S")),
                                     bigMessage()) ||
                !work.start())
                return false;
            work.app->document()->WriteIntSetting(ReplyDisplayOptions, 3);
            auto* list = qobject_cast<QTreeView*>(work.view()->control(1011));
            list->selectionModel()->setCurrentIndex(list->model()->index(0, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
            g_work = &work;
            // The message has been read into the read box, as before an answer.
            return work.view()->textBox(1002)->document()->characterCount() >= 1000 * 1000;
        });
}
