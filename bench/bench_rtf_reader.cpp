// Reading a 1 MB RTF document, as a word processor writes it, into a QTextDocument.

#include "rtf/RtfReader.h"
#include "rtf/RtfText.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTextDocument>
#include <array>
#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kDocumentSize = 1024 * 1024;

constexpr std::array kWords = {
    "the",      "order",     "invoice", "customer", "delivery",       "and",     "please", "of",
    "support",  "ticket",    "we",      "your",     "account",        "update",  "thanks", "to",
    "caf\\'e9", "na\\'efve", "price",   "\\u8364?", "r\\'e9sum\\'e9", "\\u937?", "a",      "is"};

// Formatting switched on and off between words, as rich edit controls write it.
constexpr std::array kSwitches = {"\\b ",   "\\b0 ",  "\\i ",    "\\i0 ",   "\\ul ", "\\ulnone ",
                                  "\\cf1 ", "\\cf0 ", "\\fs24 ", "\\fs20 ", "\\f1 ", "\\f0 "};

void appendParagraph(QByteArray& rtf, QRandomGenerator& random)
{
    const int kind = random.bounded(10);
    if (kind < 2) {
        rtf += "{\\pntext\\f2\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0{\\pntxtb\\'B7}}"
               "\\fi-360\\li360 ";
    } else if (kind == 2) {
        rtf += "\\pard\\qc ";
    } else {
        rtf += "\\pard ";
    }
    const int words = 20 + random.bounded(60);
    for (int i = 0; i < words; ++i) {
        if (random.bounded(6) == 0)
            rtf += kSwitches[random.bounded(int(kSwitches.size()))];
        rtf += kWords[random.bounded(int(kWords.size()))];
        rtf += ' ';
    }
    rtf += "\\par\r\n";
}

QByteArray richDocument()
{
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang2057{\\fonttbl{\\f0\\fswiss"
                   "\\fcharset0 Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fnil"
                   "\\fcharset2 Symbol;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
                   "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\f0\\fs20 ");
    QRandomGenerator random(7);
    while (rtf.size() < kDocumentSize)
        appendParagraph(rtf, random);
    rtf += "}\r\n";
    return rtf;
}

void readDocument(benchmark::State& state)
{
    const QByteArray rtf = richDocument();
    for (auto _ : state) {
        QTextDocument document;
        vnt::rtf::readRtf(rtf, &document);
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(readDocument)->Unit(benchmark::kMillisecond);

void plainText(benchmark::State& state)
{
    const QString rtf = QString::fromLatin1(richDocument());
    for (auto _ : state)
        benchmark::DoNotOptimize(vnt::rtf::rtfToPlainText(rtf));
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(plainText)->Unit(benchmark::kMillisecond);

} // namespace

// QTextDocument needs a GUI application.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
