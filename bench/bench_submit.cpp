// Sending throughput: 1,000 messages queued in the Outbox, then sent by a session's spooler to
// the SMTP sink of tests/support on 127.0.0.1, each with its Sent Items copy. The figure to
// keep above: 200 messages per second.
#include "SubmitFixture.h"

#include <benchmark/benchmark.h>

using namespace mapitest;

namespace {

constexpr int kMessages = 1000;

void queueAndSend(benchmark::State& state)
{
    api().MAPIInitialize(nullptr);
    SmtpSink sink(QStringLiteral(VANTREL_TEST_SUPPORT "/smtp_sink.py"));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("Mail"));
        MaildirBuilder builder(root);
        installProfiles(dir.path(), sendingProfile(root, smtpTransport(sink.port())));
        MapiPtr<IMAPISession> session;
        api().MAPILogonEx(0, "Desk", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL,
                          session.put());
        MapiPtr<IMsgStore> store = openStore(session.get());
        for (int i = 0; i < kMessages; ++i) {
            MapiPtr<IMessage> message =
                composeInOutbox(store.get(), QStringLiteral("Ticket %1").arg(i),
                                QStringLiteral("Your ticket %1 has been answered.\n").arg(i),
                                {QStringLiteral("-1|1|Ann|ann%1@example.org").arg(i)});
            if (!message || message->SubmitMessage(0) != S_OK) {
                state.SkipWithError("could not queue a message");
                return;
            }
        }
        endSession(&session, &store);
        const int before = sink.count();
        const QString spool = root + QStringLiteral("/.Outbox/vantrel-spool");
        state.ResumeTiming();

        api().MAPILogonEx(0, "Desk", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session.put());
        const bool done = waitUntil(
            [&] {
                return sink.count() == before + kMessages &&
                       QDir(spool).entryList({QStringLiteral("*.rec")}).isEmpty();
            },
            120000);
        state.PauseTiming();
        endSession(&session);
        if (!done) {
            state.SkipWithError("not every message was sent");
            return;
        }
        state.ResumeTiming();
    }
    state.counters["messages_per_second"] = benchmark::Counter(
        double(kMessages) * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(queueAndSend)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
