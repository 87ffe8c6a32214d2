// Selecting a message whose body is 1 MB of HTML and getting its text into the read box, as
// the view does: the message opened through the mail library loaded at run time, its HTML
// body read and turned into text, the text set on a shown QTextEdit. Each measured call is
// one whole read of the selected row; the folder's summary index is built before.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_reading
#include "MailTestSetup.h"
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"
#include "mail/MessageReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace vantrel::mail;

namespace {

constexpr qsizetype kBodySize = 1024 * 1024;

// Paragraphs of a support reply with the markup and references a mail client writes.
QByteArray htmlBody()
{
    static const char* const kSentences[] = {
        "Thank you for your message about order %1. ",
        "It left our warehouse on %1&nbsp;March &#8211; see the invoice. ",
        "Our <b>support</b> team answers within %1 hours &amp; on Saturdays. ",
        "Caf\xC3\xA9 orders and na\xC3\xAFve questions are both welcome &copy; Example. ",
    };
    QByteArray html = "<html><head><style>p.MsoNormal { margin: 0cm; }</style></head>\r\n"
                      "<body lang=\"EN-GB\"><div class=\"WordSection1\">\r\n";
    for (int i = 0; html.size() < kBodySize; ++i) {
        html += "<p class=\"MsoNormal\">";
        for (int k = 0; k < 4; ++k)
            html += QByteArray(kSentences[(i + k) % 4]).replace("%1", QByteArray::number(i));
        html += (i % 3 == 0) ? "<br>\r\n</p>\r\n" : "</p>\r\n";
    }
    return html + "</div></body></html>\r\n";
}

// The view's read box; the rich text of this message is never shown.
using ReadBox = mailtest::TestMailHost;

// A logged-on session over a Maildir holding the one message, and its Inbox's contents.
struct Mailbox
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<CSupportDoc> doc;
    std::unique_ptr<MailSession> session;
    MapiPtr<IMAPITable> contents;

    bool open()
    {
        for (const char* sub : {"cur", "new", "tmp"})
            QDir().mkpath(dir.filePath(QStringLiteral("Maildir/") + QLatin1StringView(sub)));
        const QByteArray message =
            "From: Support <support@example.com>\r\nTo: me@example.com\r\n"
            "Subject: Your order\r\nDate: Tue, 02 Jan 2024 10:30:00 +0000\r\n"
            "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n"
            "Content-Transfer-Encoding: 8bit\r\n\r\n" +
            htmlBody();
        if (!mailtest::writeFile(dir.filePath(QStringLiteral("Maildir/cur/1.bench:2,S")),
                                 message) ||
            !mailtest::installMailClient(dir.path(), "[Profile Bench]\nDefault=true\n"
                                                     "Stores=Mail\n[Store Bench/Mail]\n"
                                                     "Path=@ROOT@/Maildir\n"))
            return false;
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        doc = std::make_unique<CSupportDoc>(*settings, dir.path() + QStringLiteral("/"));
        doc->LoadSettings();
        session = std::make_unique<MailSession>(nullptr, QStringLiteral("bench_reading"));
        LogonSettings logon;
        return session->logon(logon) && openInbox();
    }

    bool openInbox()
    {
        IMsgStore* store = session->store(0);
        ULONG size = 0;
        MapiBuffer<ENTRYID> id(session->api());
        ULONG type = 0;
        MapiPtr<IMAPIFolder> inbox;
        if (FAILED(store->GetReceiveFolder("IPM.Note", 0, &size, id.put(), nullptr)) ||
            FAILED(store->OpenEntry(size, id.get(), nullptr, MAPI_BEST_ACCESS, &type,
                                    inbox.putUnknown())) ||
            FAILED(inbox->GetContentsTable(0, contents.put())))
            return false;
        TagArray columns{PR_ENTRYID, PR_SUBJECT};
        return SUCCEEDED(contents->SetColumns(columns.get(), 0));
    }
};

void BM_ReadHtmlMessage(benchmark::State& state)
{
    Mailbox mailbox;
    ScriptedPrompter prompter;
    if (!mailbox.open()) {
        state.SkipWithError("the mailbox could not be opened");
        return;
    }
    ReadBox host;
    host.box.resize(800, 600);
    host.box.show();
    MessageReader reader(*mailbox.session, *mailbox.doc, host);
    reader.setModifierSource([] { return Qt::NoModifier; });
    const ReadTarget target{mailbox.session->store(0), mailbox.contents.get(), 0, false};
    reader.readSelected(target); // builds the folder's summary index
    host.boxNs = 0;
    for (auto _ : state) {
        reader.readSelected(target);
        QApplication::processEvents();
    }
    if (!prompter.notices().isEmpty() || host.timerRestarts != int(state.iterations()) + 1)
        state.SkipWithError("a read failed");
    state.counters["chars"] = double(host.box.document()->characterCount());
    // Of each read, the milliseconds the box took to take the text.
    state.counters["box_ms"] = double(host.boxNs) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_ReadHtmlMessage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
