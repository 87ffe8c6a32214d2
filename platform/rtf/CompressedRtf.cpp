#include "rtf/CompressedRtf.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace vnt::rtf {

namespace {

constexpr qsizetype kHeaderSize = 16;
constexpr unsigned kDictionarySize = 4096;
constexpr unsigned kDictionaryMask = kDictionarySize - 1;
constexpr int kMinMatch = 2;
constexpr int kMaxMatch = 17;
constexpr quint32 kTypeCompressed = 0x75465A4C;   // "LZFu"
constexpr quint32 kTypeUncompressed = 0x414C454D; // "MELA"
// Keeps every size field of the compressed form within 32 bits, even for input that
// does not compress at all (one control byte per eight literals).
constexpr qsizetype kMaxRawSize = 0xE0000000;

constexpr char kPreload[] = "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman "
                            "\\fswiss \\fmodern \\fscript \\fdecor MS Sans SerifSymbolArialTimes "
                            "New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
                            "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr qsizetype kPreloadSize = sizeof(kPreload) - 1;
static_assert(kPreloadSize == 207);

using CrcTable = std::array<std::array<quint32, 256>, 4>;

constexpr CrcTable makeCrcTable()
{
    CrcTable table{};
    for (quint32 byte = 0; byte < 256; ++byte) {
        quint32 crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0u);
        table[0][byte] = crc;
    }
    for (quint32 byte = 0; byte < 256; ++byte) {
        for (int slice = 1; slice < 4; ++slice)
            table[slice][byte] =
                (table[slice - 1][byte] >> 8) ^ table[0][table[slice - 1][byte] & 0xFF];
    }
    return table;
}

constexpr CrcTable kCrcTable = makeCrcTable();

quint32 readLe32(const char* bytes)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void writeLe32(char* bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(value >> (8 * i));
}

void writeHeader(char* header, qsizetype contentSize, qsizetype rawSize, quint32 type, quint32 crc)
{
    writeLe32(header, quint32(contentSize + kHeaderSize - 4));
    writeLe32(header + 4, quint32(rawSize));
    writeLe32(header + 8, type);
    writeLe32(header + 12, crc);
}

// The most `size` content bytes can expand to: a control byte with eight references of
// 17 bytes each turns 17 bytes into 136.
quint64 maxExpansion(quint64 size)
{
    const quint64 runBytes = 1 + 8 * 2;
    const quint64 rest = size % runBytes;
    quint64 bound = size / runBytes * 8 * kMaxMatch;
    if (rest > 1)
        bound += (rest - 1) / 2 * kMaxMatch + (rest - 1) % 2;
    return bound;
}

class Decoder
{
public:
    Decoder(const char* contents, qsizetype size, char* out, qsizetype rawSize)
        : m_in(reinterpret_cast<const uchar*>(contents))
        , m_end(m_in + size)
        , m_out(reinterpret_cast<uchar*>(out))
        , m_rawSize(rawSize)
    {
        std::memcpy(m_dictionary.data(), kPreload, kPreloadSize);
    }

    // Expands until the raw size is reached or the end marker is met.
    DecompressResult run()
    {
        while (m_written < m_rawSize) {
            if (m_in == m_end)
                return DecompressResult::Truncated;
            unsigned control = *m_in++;
            for (int token = 0; token < 8 && m_written < m_rawSize; ++token, control >>= 1) {
                const Step step = (control & 1) ? copyReference() : copyLiteral();
                if (step == Step::Truncated)
                    return DecompressResult::Truncated;
                if (step == Step::EndMarker)
                    return DecompressResult::Ok;
            }
        }
        return DecompressResult::Ok;
    }

    qsizetype written() const { return m_written; }

private:
    enum class Step { Next, EndMarker, Truncated };

    Step copyLiteral()
    {
        if (m_in == m_end)
            return Step::Truncated;
        put(*m_in++);
        return Step::Next;
    }

    Step copyReference()
    {
        if (m_end - m_in < 2)
            return Step::Truncated;
        const unsigned word = unsigned(m_in[0]) << 8 | m_in[1];
        m_in += 2;
        unsigned offset = word >> 4;
        if (offset == m_position)
            return Step::EndMarker;
        // Byte by byte: a reference that reaches the write position repeats what it
        // has just written.
        const qsizetype length =
            std::min<qsizetype>((word & 0xF) + kMinMatch, m_rawSize - m_written);
        for (qsizetype i = 0; i < length; ++i) {
            put(m_dictionary[offset]);
            offset = (offset + 1) & kDictionaryMask;
        }
        return Step::Next;
    }

    void put(uchar byte)
    {
        m_dictionary[m_position] = byte;
        m_position = (m_position + 1) & kDictionaryMask;
        m_out[m_written++] = byte;
    }

    std::array<uchar, kDictionarySize> m_dictionary{};
    unsigned m_position = kPreloadSize;
    const uchar* m_in;
    const uchar* m_end;
    uchar* m_out;
    qsizetype m_rawSize;
    qsizetype m_written = 0;
};

DecompressResult decompressContents(const QByteArray& data, quint32 rawSize, QByteArray* rtf)
{
    const char* contents = data.constData() + kHeaderSize;
    const qsizetype size = data.size() - kHeaderSize;
    if (rawSize > maxExpansion(quint64(size)))
        return DecompressResult::BadSize;
    if (compressedRtfCrc(contents, size) != readLe32(data.constData() + 12))
        return DecompressResult::BadCrc;
    QByteArray out(qsizetype(rawSize), Qt::Uninitialized);
    Decoder decoder(contents, size, out.data(), out.size());
    const DecompressResult result = decoder.run();
    if (result != DecompressResult::Ok)
        return result;
    out.truncate(decoder.written());
    *rtf = std::move(out);
    return result;
}

// The positions of the dictionary window grouped by a key made from their first bytes,
// each group in a chain from oldest to newest. Positions are kept as dictionary slots;
// kNone, one past the last slot, ends a chain, and its own link is scratch space so that
// adding and removing need no branches.
class PositionChains
{
public:
    static constexpr quint16 kNone = kDictionarySize;

    explicit PositionChains(int keyBits)
        : m_oldest(size_t(1) << keyBits, kNone)
        , m_newest(size_t(1) << keyBits, kNone)
    {
        m_next.fill(kNone);
    }

    quint16 oldest(unsigned key) const { return m_oldest[key]; }
    quint16 next(quint16 slot) const { return m_next[slot]; }

    // The position leaving the window is the oldest of all, so it heads its chain.
    void removeOldest(unsigned key)
    {
        const quint16 oldest = m_next[m_oldest[key]];
        m_oldest[key] = oldest;
        m_newest[key] = oldest == kNone ? kNone : m_newest[key];
    }

    void add(unsigned key, quint16 slot)
    {
        const quint16 newest = m_newest[key];
        m_next[slot] = kNone;
        m_next[newest] = slot;
        m_oldest[key] = newest == kNone ? slot : m_oldest[key];
        m_newest[key] = slot;
    }

private:
    std::vector<quint16> m_oldest;
    std::vector<quint16> m_newest;
    std::array<quint16, kDictionarySize + 1> m_next;
};

// Builds the "LZFu" form. Matching works on the preload followed by the input, in
// positions counted from the start of the preload: the dictionary slot of a position is
// its value modulo 4096, and a match may run on into the bytes it produces itself.
//
// Matches of three bytes or more are looked for in chains keyed by a hash of three
// bytes; only when there is none is the oldest two-byte match taken from chains keyed by
// a hash of two bytes. Positions that only share a hash are told apart by their bytes. Walking the
// chains oldest first lets a 17-byte match end the search at once, and among equally long matches
// the oldest one is taken.
class Encoder
{
public:
    explicit Encoder(const QByteArray& rtf)
        : m_size(kPreloadSize + rtf.size())
        , m_pairBits(tableBits(m_size, 16))
        , m_tripleBits(tableBits(m_size, 15))
        , m_pairs(m_pairBits)
        , m_triples(m_tripleBits)
    {
        m_text.reserve(m_size + kPadding);
        m_text.append(kPreload, kPreloadSize);
        m_text.append(rtf);
        m_text.append(kPadding, '\0');
        m_bytes = reinterpret_cast<const uchar*>(m_text.constData());
        m_out.resize(kHeaderSize + rtf.size() + rtf.size() / 8 + 8);
        m_buffer = m_out.data();
        m_outPosition = kHeaderSize;
    }

    QByteArray run()
    {
        for (qsizetype p = 0; p < kPreloadSize; ++p)
            insert(p);
        qsizetype position = kPreloadSize;
        while (position < m_size) {
            const int limit = int(std::min<qsizetype>(kMaxMatch, m_size - position));
            qsizetype source = 0;
            const int length = limit >= kMinMatch ? longestMatch(position, limit, &source) : 1;
            if (length >= kMinMatch)
                putReference(unsigned(source) & kDictionaryMask, length);
            else
                putLiteral(char(m_bytes[position]));
            for (const qsizetype end = position + length; position < end; ++position)
                insert(position);
        }
        putReference(unsigned(m_size) & kDictionaryMask, kMinMatch);
        return finish();
    }

private:
    static constexpr qsizetype kPadding = 32;
    // Tables grow with the text up to `largest` bits: short texts, the common case, do
    // not pay for clearing tables sized for a full window of varied bytes.
    static int tableBits(qsizetype size, int largest)
    {
        int bits = 10;
        while (bits < largest && (qsizetype(1) << (bits - 2)) < size)
            ++bits;
        return bits;
    }

    static unsigned hash(quint32 bytes, int bits) { return (bytes * 2654435761u) >> (32 - bits); }

    unsigned pairKey(qsizetype position) const
    {
        return hash(quint32(m_bytes[position]) << 8 | m_bytes[position + 1], m_pairBits);
    }

    unsigned tripleKey(qsizetype position) const
    {
        const quint32 triple = quint32(m_bytes[position]) << 16 |
                               quint32(m_bytes[position + 1]) << 8 | m_bytes[position + 2];
        return hash(triple, m_tripleBits);
    }

    // Adds `position` to its chains, once its two bytes are known, and drops the position
    // whose distance would reach 4096 (the end marker's offset).
    void insert(qsizetype position)
    {
        if (position + 1 >= m_size)
            return;
        const qsizetype leaving = position - (kDictionarySize - 1);
        if (leaving >= 0) {
            m_pairs.removeOldest(pairKey(leaving));
            m_triples.removeOldest(tripleKey(leaving));
        }
        const auto slot = quint16(position & kDictionaryMask);
        m_pairs.add(pairKey(position), slot);
        m_triples.add(tripleKey(position), slot);
    }

    qsizetype positionOf(qsizetype position, quint16 slot) const
    {
        return position - ((position - slot) & qsizetype(kDictionaryMask));
    }

    int longestMatch(qsizetype position, int limit, qsizetype* source) const
    {
        const uchar* target = m_bytes + position;
        int best = kMinMatch;
        if (limit > kMinMatch) {
            for (quint16 slot = m_triples.oldest(tripleKey(position));
                 slot != PositionChains::kNone; slot = m_triples.next(slot)) {
                const qsizetype candidate = positionOf(position, slot);
                const uchar* bytes = m_bytes + candidate;
                // Only a longer match can replace an older one.
                if (bytes[best] != target[best])
                    continue;
                const int length = matchLength(bytes, target, limit);
                if (length > best) {
                    best = length;
                    *source = candidate;
                    if (best == limit)
                        return best;
                }
            }
            if (best > kMinMatch)
                return best;
        }
        for (quint16 slot = m_pairs.oldest(pairKey(position)); slot != PositionChains::kNone;
             slot = m_pairs.next(slot)) {
            const qsizetype candidate = positionOf(position, slot);
            if (m_bytes[candidate] == target[0] && m_bytes[candidate + 1] == target[1]) {
                *source = candidate;
                return kMinMatch;
            }
        }
        return 1;
    }

    static int matchLength(const uchar* a, const uchar* b, int limit)
    {
        int length = 0;
        while (length + 8 <= kMaxMatch) {
            quint64 x;
            quint64 y;
            std::memcpy(&x, a + length, 8);
            std::memcpy(&y, b + length, 8);
            if (x != y)
                return std::min(limit, length + __builtin_ctzll(x ^ y) / 8);
            length += 8;
        }
        while (length < limit && a[length] == b[length])
            ++length;
        return std::min(length, limit);
    }

    void putLiteral(char byte)
    {
        startToken();
        m_buffer[m_outPosition++] = byte;
    }

    void putReference(unsigned offset, int length)
    {
        const int bit = startToken();
        m_buffer[m_controlPosition] = char(uchar(m_buffer[m_controlPosition]) | (1u << bit));
        const unsigned word = offset << 4 | unsigned(length - kMinMatch);
        m_buffer[m_outPosition++] = char(word >> 8);
        m_buffer[m_outPosition++] = char(word);
    }

    // Opens a new control byte every eight tokens; returns the token's bit in it.
    int startToken()
    {
        if (m_controlPosition < 0 || m_tokens == 8) {
            ensureRoom();
            m_controlPosition = m_outPosition++;
            m_buffer[m_controlPosition] = 0;
            m_tokens = 0;
        }
        return m_tokens++;
    }

    void ensureRoom()
    {
        if (m_out.size() - m_outPosition < 1 + 8 * 2) {
            m_out.resize(m_out.size() + m_out.size() / 2 + 64);
            m_buffer = m_out.data();
        }
    }

    QByteArray finish()
    {
        m_out.truncate(m_outPosition);
        const qsizetype contentSize = m_outPosition - kHeaderSize;
        const quint32 crc = compressedRtfCrc(m_out.constData() + kHeaderSize, contentSize);
        writeHeader(m_out.data(), contentSize, m_size - kPreloadSize, kTypeCompressed, crc);
        return std::move(m_out);
    }

    QByteArray m_text;
    const uchar* m_bytes = nullptr;
    qsizetype m_size;
    int m_pairBits;
    int m_tripleBits;
    PositionChains m_pairs;
    PositionChains m_triples;
    QByteArray m_out;
    char* m_buffer = nullptr;
    qsizetype m_outPosition = 0;
    qsizetype m_controlPosition = -1;
    int m_tokens = 0;
};

} // namespace

DecompressResult decompressRtf(const QByteArray& data, QByteArray* rtf)
{
    rtf->clear();
    if (data.size() < kHeaderSize)
        return DecompressResult::TooShort;
    const quint32 compressedSize = readLe32(data.constData());
    const quint32 rawSize = readLe32(data.constData() + 4);
    const quint32 type = readLe32(data.constData() + 8);
    if (quint64(compressedSize) + 4 != quint64(data.size()))
        return DecompressResult::BadSize;
    if (type == kTypeCompressed)
        return decompressContents(data, rawSize, rtf);
    if (type != kTypeUncompressed)
        return DecompressResult::UnknownType;
    if (quint64(rawSize) > quint64(data.size() - kHeaderSize))
        return DecompressResult::BadSize;
    *rtf = data.mid(kHeaderSize, qsizetype(rawSize));
    return DecompressResult::Ok;
}

QByteArray compressRtf(const QByteArray& rtf)
{
    if (rtf.size() > kMaxRawSize)
        return {};
    return Encoder(rtf).run();
}

QByteArray storeRtfUncompressed(const QByteArray& rtf)
{
    if (rtf.size() > kMaxRawSize)
        return {};
    QByteArray stored(kHeaderSize, Qt::Uninitialized);
    writeHeader(stored.data(), rtf.size(), rtf.size(), kTypeUncompressed, 0);
    stored.append(rtf);
    return stored;
}

quint32 compressedRtfCrc(const char* data, qsizetype size, quint32 crc)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data);
    const uchar* end = bytes + size;
    while (end - bytes >= 4) {
        crc ^= quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 |
               quint32(bytes[3]) << 24;
        crc = kCrcTable[3][crc & 0xFF] ^ kCrcTable[2][(crc >> 8) & 0xFF] ^
              kCrcTable[1][(crc >> 16) & 0xFF] ^ kCrcTable[0][crc >> 24];
        bytes += 4;
    }
    while (bytes != end)
        crc = (crc >> 8) ^ kCrcTable[0][(crc ^ *bytes++) & 0xFF];
    return crc;
}

} // namespace vnt::rtf
