// The body converters on 10 MB inputs: HTML as mail clients write it, the same message
// encapsulated in RTF, and inputs built to make forward searches repeat.
//
// Throughput counts characters of input, one per byte of the single-byte text the
// converters were first written for.

#include "mail/HtmlConverters.h"

#include <QRandomGenerator>
#include <QStringList>
#include <array>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kInputSize = 10 * 1024 * 1024;

// A paragraph of a support reply, with the markup and references a mail client uses.
QString paragraph(QRandomGenerator& random)
{
    static constexpr std::array kSentences = {
        u"Thank you for your message about order %1.",
        u"We have checked the delivery and it left our warehouse on %1&nbsp;March.",
        u"Please find the invoice attached &#8211; the total is &pound;%1.",
        u"If the parcel doesn&#8217;t arrive by Friday, reply to this e-mail.",
        u"Our <b>support</b> team is open 9&ndash;5 &amp; answers within %1 hours.",
        u"You can follow it <a href=\"https://example.com/track?id=%1&amp;l=en\">here</a>.",
        u"Caf\u00e9 orders and na\u00efve questions are both welcome &copy; Example Ltd.",
    };
    QString text = QStringLiteral("<p class=\"MsoNormal\">");
    const int sentences = 2 + random.bounded(5);
    for (int i = 0; i < sentences; ++i) {
        text += QString::fromUtf16(kSentences[random.bounded(int(kSentences.size()))])
                    .arg(random.bounded(100000));
        text += random.bounded(4) == 0 ? QStringLiteral("<br>\r\n") : QStringLiteral(" ");
    }
    return text + QStringLiteral("</p>\r\n");
}

QString htmlMessage()
{
    QRandomGenerator random(3);
    QString html = QStringLiteral(
        "<html><head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html\">\r\n"
        "<style>\r\np.MsoNormal { margin: 0cm; font-family: \"Calibri\"; }\r\n</style>\r\n"
        "</head>\r\n<body lang=\"EN-GB\" link=\"#0563C1\">\r\n<div class=\"WordSection1\">\r\n");
    html.reserve(kInputSize + 4096);
    while (html.size() < kInputSize)
        html += paragraph(random);
    return html + QStringLiteral("</div>\r\n</body>\r\n</html>\r\n");
}

// The encapsulation a mail client writes: every tag in an "\*\htmltag" group, the text
// between "\htmlrtf" spans that carry its rich-text form, non-ASCII letters as \'hh.
QString rtfParagraph(QRandomGenerator& random)
{
    static constexpr std::array kSentences = {
        "Thank you for your message about order %1. ",
        "We have checked the delivery and it left our warehouse on Tuesday. ",
        "Please find the invoice attached \\'96 the total is \\'a3%1. ",
        "If the parcel doesn\\'92t arrive by Friday, reply to this e-mail. ",
        "Caf\\'e9 orders and na\\'efve questions are both welcome. ",
    };
    QString text = QStringLiteral("{\\*\\htmltag64 <p class=\"MsoNormal\">}\\htmlrtf {\\htmlrtf0 ");
    const int sentences = 2 + random.bounded(5);
    for (int i = 0; i < sentences; ++i) {
        // Only some sentences carry a number.
        text += QString::fromLatin1(kSentences[random.bounded(int(kSentences.size()))])
                    .replace(u"%1"_s, QString::number(random.bounded(100000)));
        if (random.bounded(5) == 0) {
            text += QStringLiteral("{\\*\\mhtmltag84 <a href=\"https://example.com/t\">}"
                                   "{\\*\\htmltag84 <a href=\"https://example.com/t\">}"
                                   "\\htmlrtf {\\field{\\*\\fldinst{HYPERLINK "
                                   "\"https://example.com/t\"}}{\\fldrslt\\cf1\\ul \\htmlrtf0 "
                                   "here\\htmlrtf }\\htmlrtf0 \\htmlrtf }\\htmlrtf0 "
                                   "{\\*\\htmltag92 </a>}");
        }
        if (random.bounded(4) == 0)
            text += QStringLiteral("{\\*\\htmltag116 <br>}\\htmlrtf \\line\r\n\\htmlrtf0 ");
    }
    return text + QStringLiteral("\\htmlrtf \\par\r\n}\\htmlrtf0 \r\n{\\*\\htmltag72 </p>}\r\n");
}

QString encapsulatedMessage()
{
    QRandomGenerator random(5);
    QString rtf = QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl\r\n{\\f0\\fswiss Arial;}\r\n"
        "{\\f1\\fmodern Courier New;}}\r\n{\\colortbl\\red0\\green0\\blue0;\\red0\\green0"
        "\\blue255;}\r\n\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 \r\n"
        "{\\*\\htmltag19 <html>}\r\n{\\*\\htmltag34 <head>}\r\n{\\*\\htmltag1 \\par }\r\n"
        "{\\*\\htmltag41 </head>}\r\n{\\*\\htmltag50 <body lang=\"EN-GB\">}\\htmlrtf "
        "{\\htmlrtf0 \r\n");
    rtf.reserve(kInputSize + 4096);
    while (rtf.size() < kInputSize)
        rtf += rtfParagraph(random);
    return rtf + QStringLiteral("{\\*\\htmltag58 </body>}\r\n{\\*\\htmltag27 </html>}}\r\n");
}

// `piece` repeated to the benchmark's size in megabytes: the adversarial inputs run at
// 1 and 10 MB, and the same throughput at both shows linear time.
QString repeated(const benchmark::State& state, const QString& piece)
{
    return piece.repeated(state.range(0) * 1024 * 1024 / piece.size());
}

void runHtmlToText(benchmark::State& state, const QString& html)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlToText(html).constData());
    state.SetBytesProcessed(state.iterations() * html.size());
}

void runUnpack(benchmark::State& state, const QString& rtf)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(UnpackEncapsulatedHtml(rtf).constData());
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_HtmlToText(benchmark::State& state)
{
    runHtmlToText(state, htmlMessage());
}
BENCHMARK(BM_HtmlToText)->Unit(benchmark::kMillisecond);

// Runs that open with "&lt;" and never end, as every ">" closes a tag opened inside the
// run: each one would search to the end of the text.
void BM_HtmlToTextOpenRuns(benchmark::State& state)
{
    runHtmlToText(state, repeated(state, QStringLiteral("&lt;<x>")));
}
BENCHMARK(BM_HtmlToTextOpenRuns)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// References that almost decode, and "&lt;" runs that end far ahead.
void BM_HtmlToTextNearReferences(benchmark::State& state)
{
    runHtmlToText(state, repeated(state, QStringLiteral("&#0;&#9&nbsp&quot&#12&lt;a>&gt")) +
                             QStringLiteral("&gt;"));
}
BENCHMARK(BM_HtmlToTextNearReferences)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_UnpackEncapsulatedHtml(benchmark::State& state)
{
    runUnpack(state, encapsulatedMessage());
}
BENCHMARK(BM_UnpackEncapsulatedHtml)->Unit(benchmark::kMillisecond);

// Control words that match a rule's start and then fail, and spans and dropped tags
// whose ends lie ahead.
void BM_UnpackNearControlWords(benchmark::State& state)
{
    runUnpack(state, QStringLiteral("{\\*\\htmltag1 }") +
                         repeated(state, QStringLiteral("\\*\\htmltag x\\li\\fi-\\'\\pntex\\tab"
                                                        "\\htmlrtf0 a\\htmlrtf0 \\par"
                                                        "\\*\\mhtmltag7 {\\*\\htmltag7 y}")));
}
BENCHMARK(BM_UnpackNearControlWords)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
