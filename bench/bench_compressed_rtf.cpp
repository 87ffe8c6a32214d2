// Compressed RTF on 10 MB of rich text: decompression and compression speed.

#include "rtf/CompressedRtf.h"

#include <QList>
#include <QRandomGenerator>
#include <array>
#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kTextSize = 10 * 1024 * 1024;

// Words of a made-up language: 2,000 of them, built from syllables, drawn with a
// Zipf-like skew, so that common words repeat often and most text does not.
class Words
{
public:
    Words()
    {
        static constexpr std::array kSyllables = {
            "an",  "ber", "co", "dra", "el",  "fi", "gun", "ho", "in", "ja", "ke", "lo",
            "mer", "no",  "or", "pa",  "qui", "re", "st",  "ta", "ul", "ve", "wi", "zo"};
        QRandomGenerator random(1);
        for (int i = 0; i < 2000; ++i) {
            QByteArray word;
            const int syllables = 1 + random.bounded(i < 50 ? 2 : 4);
            for (int s = 0; s < syllables; ++s)
                word += kSyllables[random.bounded(int(kSyllables.size()))];
            m_words.append(word);
        }
    }

    const QByteArray& draw(QRandomGenerator& random) const
    {
        // The square of a uniform number favours the first words of the list.
        const double x = random.generateDouble();
        return m_words[qsizetype(x * x * double(m_words.size()))];
    }

private:
    QList<QByteArray> m_words;
};

// Rich text as a mail client writes it: paragraphs of words with font and style
// changes, the same control words again and again.
QByteArray richText(qsizetype size)
{
    static constexpr std::array kStyles = {
        "\\b ",  "\\b0 ", "\\i ",    "\\i0 ",   "\\ul ",  "\\ulnone ",
        "\\f1 ", "\\f0 ", "\\fs24 ", "\\fs20 ", "\\cf2 ", "\\cf0 ",
    };
    const Words words;
    QRandomGenerator random(42);
    QByteArray text = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
                      "{\\f1\\fmodern Courier New;}}{\\colortbl;\\red0\\green0\\blue0;"
                      "\\red0\\green0\\blue255;}\\viewkind4\\uc1\r\n";
    text.reserve(size + 256);
    while (text.size() < size) {
        text += "\\pard\\li" + QByteArray::number(random.bounded(4) * 360) + "\\sa120\\f0\\fs20 ";
        const int count = 20 + random.bounded(60);
        for (int i = 0; i < count; ++i) {
            if (random.bounded(12) == 0)
                text += kStyles[random.bounded(int(kStyles.size()))];
            text += words.draw(random);
            if (random.bounded(20) == 0)
                text += QByteArray::number(random.bounded(100000));
            text += random.bounded(12) == 0 ? ", " : " ";
        }
        text += ".\\par\r\n";
    }
    text.truncate(size - 1);
    return text + "}";
}

const QByteArray& sampleText()
{
    static const QByteArray text = richText(kTextSize);
    return text;
}

void BM_CompressRtf(benchmark::State& state)
{
    const QByteArray& text = sampleText();
    qsizetype compressedSize = 0;
    for (auto _ : state) {
        const QByteArray compressed = vnt::rtf::compressRtf(text);
        compressedSize = compressed.size();
        benchmark::DoNotOptimize(compressed.constData());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
    state.counters["ratio"] = double(compressedSize) / double(text.size());
}
BENCHMARK(BM_CompressRtf)->Unit(benchmark::kMillisecond);

void BM_DecompressRtf(benchmark::State& state)
{
    const QByteArray& text = sampleText();
    const QByteArray compressed = vnt::rtf::compressRtf(text);
    for (auto _ : state) {
        QByteArray out;
        if (vnt::rtf::decompressRtf(compressed, &out) != vnt::rtf::DecompressResult::Ok ||
            out.size() != text.size())
            state.SkipWithError("decompression failed");
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_DecompressRtf)->Unit(benchmark::kMillisecond);

// Long runs of one byte: every chain position matches, so only stopping at the first
// 17-byte match keeps compression linear.
void BM_CompressRtfRuns(benchmark::State& state)
{
    QByteArray text(kTextSize, 'a');
    for (qsizetype i = 0; i < text.size(); i += 5000)
        text[i] = 'b';
    for (auto _ : state)
        benchmark::DoNotOptimize(vnt::rtf::compressRtf(text).constData());
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_CompressRtfRuns)->Unit(benchmark::kMillisecond);

// Random bytes: nothing to match, every position a literal.
void BM_CompressRtfRandom(benchmark::State& state)
{
    QByteArray text(kTextSize, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& byte : text)
        byte = char(random.bounded(256));
    for (auto _ : state)
        benchmark::DoNotOptimize(vnt::rtf::compressRtf(text).constData());
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_CompressRtfRandom)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
