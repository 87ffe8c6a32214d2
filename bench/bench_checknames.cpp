// Checking 50 names typed into the recipient boxes against an address book of 10,000
// contacts (one vCard file each), as "Check names" does it: each name searched in the
// address book, the one match taken in the "Check names" list, the pending list grown by one,
// the boxes refilled and coloured. The cards are read once before anything is timed.
//   build/bench/bench_checknames
#include "ComposeTestSetup.h"
#include "WidgetBenchMain.h"
#include "compose/CheckNamesDialog.h"
#include "compose/ComposeController.h"

#include <QElapsedTimer>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {

using namespace vantrel::compose;

constexpr int kContacts = 10000;
constexpr int kTyped = 50;

struct Setup
{
    composetest::MailFixture mail;
    composetest::TestComposeHost host;
    std::unique_ptr<ComposeController> compose;
    QString typed;

    bool build()
    {
        for (int i = 0; i < kContacts; ++i) {
            const QByteArray n = QByteArray::number(i);
            mailtest::writeFile(mail.dir.filePath(QStringLiteral("contacts/c%1.vcf").arg(i)),
                                "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:c" + n + "\r\nFN:Person Family" +
                                    n + "\r\nN:Family" + n + ";Person;;;\r\nEMAIL:person." + n +
                                    "@example.org\r\nEND:VCARD\r\n");
        }
        if (!mail.setUp())
            return false;
        compose = std::make_unique<ComposeController>(*mail.mail, host);
        for (int i = 0; i < kTyped; ++i)
            typed += QStringLiteral("Family%1; ").arg(i * 197);
        return true;
    }
};

Setup* g_setup = nullptr;

void CheckFiftyNames(benchmark::State& state)
{
    OutgoingState& outgoing = g_setup->compose->state();
    outgoing.OpenOutbox();
    outgoing.CreateOutgoingMessage();
    outgoing.setMode(OutgoingMode::Composing);
    ScriptedPrompter prompter;
    for (auto _ : state) {
        outgoing.pending().reset();
        g_setup->host.to.setPlainText(g_setup->typed);
        for (int i = 0; i < kTyped; ++i) {
            prompter.dialogScript([](QDialog&) { return int(CheckNamesDialog::UseSelected); });
        }
        QElapsedTimer timer;
        timer.start();
        const int result = g_setup->compose->recipients().CheckNames(false, true, false);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (result != CheckResolved || outgoing.pending().count() != kTyped)
            state.SkipWithError("the names did not resolve");
    }
}
BENCHMARK(CheckFiftyNames)->Iterations(10)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWidgetBenchmarks<Setup>(argc, argv, [](Setup& setup) {
        if (!setup.build())
            return false;
        g_setup = &setup;
        // The cards are read on the first search; that is not what is measured.
        AdrList none(setup.mail.mail->session().api());
        return setup.compose->addressBook().Open() &&
               setup.compose->addressBook().findCandidates(QStringLiteral("Family1"), none);
    });
}
