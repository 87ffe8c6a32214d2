// Text printing: measuring the pages of a long text box (a copy of its document laid out for a
// 1200-dpi PDF printer, then the page table), and printing all of its pages to a PDF file.
//
//   build/bench/bench_print
//
// The text is 15,300 plain lines (300 pages of 51 lines at 12 points with half-inch margins).

#include "print/PageGeometry.h"
#include "print/PrintedText.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>

namespace {

using namespace vantrel::print;

constexpr int kLines = 300 * 51;

struct Fixture
{
    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    QTextDocument document;
    QRect textRect;

    Fixture()
    {
        printer.setFullPage(true);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("bench.pdf")));
        printer.setPageSize(QPageSize(QPageSize::Letter));
        document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans Mono"), 12));
        QStringList lines;
        for (int i = 0; i < kLines; ++i)
            lines.append(
                QStringLiteral("Line %1: a support call about a printer that jams").arg(i));
        document.setPlainText(lines.join(u'\n'));
        textRect = textRectDevice(Margins{}, pageMetrics(printer));
    }
};

Fixture* fixture = nullptr;

void MeasurePages(benchmark::State& state)
{
    qsizetype pages = 0;
    for (auto _ : state) {
        const PrintedText text(fixture->document, &fixture->printer, fixture->textRect);
        pages = text.pages().size();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = static_cast<double>(pages);
}
BENCHMARK(MeasurePages)->Unit(benchmark::kMillisecond);

void PrintAllPages(benchmark::State& state)
{
    for (auto _ : state) {
        const PrintedText text(fixture->document, &fixture->printer, fixture->textRect);
        QPainter painter(&fixture->printer);
        for (int page = 0; page < text.pages().size(); ++page) {
            if (page > 0)
                fixture->printer.newPage();
            text.renderPage(painter, page);
        }
    }
}
BENCHMARK(PrintAllPages)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fixture setUp;
    fixture = &setUp;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
