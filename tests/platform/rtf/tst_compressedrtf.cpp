#include "rtf/CompressedRtf.h"

#include <QRandomGenerator>
#include <QTest>

using vnt::rtf::DecompressResult;

Q_DECLARE_METATYPE(DecompressResult)

namespace {

void putLe32(QByteArray* bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes->append(char(value >> (8 * i)));
}

// A stream with the given contents and header fields; the compressed size and the CRC
// are right unless overridden.
QByteArray stream(const QByteArray& contents, quint32 rawSize, const char* type = "LZFu",
                  qint64 crc = -1, qint64 compressedSize = -1)
{
    QByteArray bytes;
    putLe32(&bytes, compressedSize < 0 ? quint32(contents.size() + 12) : quint32(compressedSize));
    putLe32(&bytes, rawSize);
    bytes.append(type, 4);
    putLe32(&bytes, crc < 0 ? vnt::rtf::compressedRtfCrc(contents.constData(), contents.size())
                            : quint32(crc));
    return bytes + contents;
}

struct Reference
{
    int offset;
    int length;
};

// The references of a compressed stream, end marker included, read token by token.
QList<Reference> references(const QByteArray& compressed)
{
    QList<Reference> found;
    const QByteArray contents = compressed.mid(16);
    qsizetype at = 0;
    while (at < contents.size()) {
        const auto control = uchar(contents[at++]);
        for (int bit = 0; bit < 8 && at < contents.size(); ++bit) {
            if (!(control & (1 << bit))) {
                ++at;
                continue;
            }
            if (at + 1 >= contents.size())
                break;
            const int word = uchar(contents[at]) << 8 | uchar(contents.at(at + 1));
            found.append({word >> 4, (word & 0xF) + 2});
            at += 2;
        }
    }
    return found;
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// Text that repeats with small changes, like the paragraphs of a real document.
QByteArray paragraphs(int count)
{
    QByteArray text = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}";
    for (int i = 0; i < count; ++i) {
        text += "\\pard\\plain\\f0\\fs20 Paragraph " + QByteArray::number(i) +
                " of the reply, with the customer's question quoted {\\b again}.\\par\r\n";
    }
    return text + "}";
}

} // namespace

class TestCompressedRtf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExamples_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QByteArray>("compressed");
        QTest::newRow("literals and references")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n")
            << QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a7"
                                   "03000a00726370673132354232"
                                   "0af32068656c0900206277"
                                   "05b06c647d0a800fa0");
        QTest::newRow("reference crossing the write position")
            << QByteArray("{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}")
            << QByteArray::fromHex("1a0000001c0000004c5a4675e2d44b51"
                                   "410004205758595a0d6e7d010eb0");
    }
    void workedExamples()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QByteArray, compressed);
        QCOMPARE(vnt::rtf::compressRtf(rtf).toHex(), compressed.toHex());
        QByteArray out;
        QCOMPARE(vnt::rtf::decompressRtf(compressed, &out), DecompressResult::Ok);
        QCOMPARE(out, rtf);
    }

    void roundTrips_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray("x");
        QTest::newRow("zero bytes") << QByteArray(9000, '\0');
        QTest::newRow("one long run") << QByteArray(20000, 'a');
        QTest::newRow("random") << randomBytes(12000, 7);
        QTest::newRow("random, two letters") << randomBytes(5000, 11).toHex().replace('a', 'b');
        QTest::newRow("paragraphs past the dictionary") << paragraphs(400);
        QByteArray block = randomBytes(4000, 3);
        QTest::newRow("block repeated across the wrap") << block + block + block;
        QTest::newRow("preload text itself")
            << QByteArray("{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}\r\n\\par \\pard");
    }
    void roundTrips()
    {
        QFETCH(QByteArray, rtf);
        const QByteArray compressed = vnt::rtf::compressRtf(rtf);
        QByteArray out;
        QCOMPARE(vnt::rtf::decompressRtf(compressed, &out), DecompressResult::Ok);
        QCOMPARE(out.size(), rtf.size());
        QVERIFY(out == rtf);
        // Never more than the literal form: a control byte for every eight bytes.
        QVERIFY(compressed.size() <= 16 + rtf.size() + rtf.size() / 8 + 3);
    }

    void repetitiveTextShrinks_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<int>("maxPercent");
        QTest::newRow("long run: 17 bytes per reference") << QByteArray(17000, 'a') << 13;
        QTest::newRow("paragraphs") << paragraphs(300) << 30;
    }
    void repetitiveTextShrinks()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(int, maxPercent);
        const QByteArray compressed = vnt::rtf::compressRtf(rtf);
        QVERIFY2(compressed.size() * 100 <= rtf.size() * maxPercent,
                 QByteArray::number(compressed.size()).constData());
    }

    // A 4000-byte block seen again 4000 bytes later has to be copied from dictionary
    // slots on both sides of the wrap from 4095 to 0.
    void matchesCrossTheDictionaryWrap()
    {
        const QByteArray block = randomBytes(4000, 5);
        const QByteArray rtf = block + block;
        const QByteArray compressed = vnt::rtf::compressRtf(rtf);
        bool wraps = false;
        for (const Reference& reference : references(compressed))
            wraps = wraps || reference.offset + reference.length > 4096;
        QVERIFY(wraps);
        QVERIFY(compressed.size() < 16 + 4000 + 4000 / 8 + 4000 / 4);
        QByteArray out;
        QCOMPARE(vnt::rtf::decompressRtf(compressed, &out), DecompressResult::Ok);
        QVERIFY(out == rtf);
    }

    void endMarkerIsLastReference()
    {
        const QByteArray rtf = paragraphs(50);
        const QList<Reference> found = references(vnt::rtf::compressRtf(rtf));
        QVERIFY(!found.isEmpty());
        QCOMPARE(found.last().offset, int((207 + rtf.size()) % 4096));
    }

    void uncompressedForm()
    {
        const QByteArray rtf = "{\\rtf1 plain}";
        const QByteArray stored = vnt::rtf::storeRtfUncompressed(rtf);
        QCOMPARE(stored.toHex(), stream(rtf, quint32(rtf.size()), "MELA", 0).toHex());
        QByteArray out;
        QCOMPARE(vnt::rtf::decompressRtf(stored, &out), DecompressResult::Ok);
        QCOMPARE(out, rtf);
    }

    void badStreams_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<DecompressResult>("result");
        const QByteArray example =
            vnt::rtf::compressRtf("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
        const QByteArray contents = example.mid(16);
        QTest::newRow("shorter than a header") << example.left(15) << DecompressResult::TooShort;
        QTest::newRow("compressed size one more")
            << stream(contents, 43, "LZFu", -1, contents.size() + 13) << DecompressResult::BadSize;
        QTest::newRow("compressed size one less")
            << stream(contents, 43, "LZFu", -1, contents.size() + 11) << DecompressResult::BadSize;
        QTest::newRow("unknown type")
            << stream(contents, 43, "LZFv") << DecompressResult::UnknownType;
        QTest::newRow("bad crc") << stream(contents, 43, "LZFu", 0x12345678)
                                 << DecompressResult::BadCrc;
        QByteArray flipped = example;
        flipped[20] = char(flipped[20] ^ 0x01);
        QTest::newRow("content byte changed") << flipped << DecompressResult::BadCrc;
        QTest::newRow("raw size of 4 GB")
            << stream(contents, 0xFFFFFFFF) << DecompressResult::BadSize;
        // 33 content bytes expand to at most 1 run of 136 bytes and 15 bytes with 7
        // references and one literal: 136 + 120 = 256.
        QTest::newRow("raw size one past the bound")
            << stream(contents, 257) << DecompressResult::BadSize;
        // The last reference before the end marker writes the closing CR LF.
        QTest::newRow("truncated before the last reference")
            << stream(contents.left(contents.size() - 4), 43) << DecompressResult::Truncated;
        QTest::newRow("truncated inside a reference")
            << stream(contents.left(contents.size() - 3), 43) << DecompressResult::Truncated;
        QTest::newRow("truncated in a literal run")
            << stream(contents.left(8), 43) << DecompressResult::Truncated;
        QTest::newRow("MELA raw size past the data")
            << stream("{\\rtf1}", 8, "MELA", 0) << DecompressResult::BadSize;
    }
    void badStreams()
    {
        QFETCH(QByteArray, data);
        QFETCH(DecompressResult, result);
        QByteArray out = "left over";
        QCOMPARE(vnt::rtf::decompressRtf(data, &out), result);
        QVERIFY(out.isEmpty());
    }

    void rawSizeLimitsTheText_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("rtf");
        const QByteArray text = "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n";
        const QByteArray contents = vnt::rtf::compressRtf(text).mid(16);
        QTest::newRow("raw size stops inside a reference") << stream(contents, 5) << text.left(5);
        QTest::newRow("end marker before the raw size") << stream(contents, 60) << text;
        QTest::newRow("raw size reached before a missing end marker")
            << stream(contents.left(contents.size() - 2), 43) << text;
        QTest::newRow("zero raw size") << stream(contents, 0) << QByteArray();
        QTest::newRow("MELA ignores its CRC")
            << stream("{\\rtf1 x}", 9, "MELA", 0xDEADBEEF) << QByteArray("{\\rtf1 x}");
        QTest::newRow("MELA takes the raw size")
            << stream("{\\rtf1 x}  ", 9, "MELA", 0) << QByteArray("{\\rtf1 x}");
        // Offsets past the preload read the zeros the dictionary starts with.
        QTest::newRow("reference into the zeroed dictionary")
            << stream(QByteArray::fromHex("01800f"), 17) << QByteArray(17, '\0');
    }
    void rawSizeLimitsTheText()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, rtf);
        QByteArray out;
        QCOMPARE(vnt::rtf::decompressRtf(data, &out), DecompressResult::Ok);
        QCOMPARE(out, rtf);
    }

    void crc_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("empty") << QByteArray() << 0u;
        QTest::newRow("one byte") << QByteArray("a") << 0x3AB551CEu;
        QTest::newRow("nine bytes") << QByteArray("123456789") << 0x2DFD2D88u;
    }
    void crc()
    {
        QFETCH(QByteArray, data);
        QFETCH(quint32, crc);
        QCOMPARE(vnt::rtf::compressedRtfCrc(data.constData(), data.size()), crc);
        // Continuing from a part gives the same value, at any split.
        for (qsizetype split = 0; split <= data.size(); ++split) {
            const quint32 head = vnt::rtf::compressedRtfCrc(data.constData(), split);
            QCOMPARE(
                vnt::rtf::compressedRtfCrc(data.constData() + split, data.size() - split, head),
                crc);
        }
    }
};

QTEST_GUILESS_MAIN(TestCompressedRtf)
#include "tst_compressedrtf.moc"
