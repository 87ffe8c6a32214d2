// Decompresses any input as compressed RTF, once as it is and once with its header made
// to fit (sizes, type and CRC), so that the contents reach the decoder; then checks that
// compressing the input and decompressing the result gives it back.

#include "rtf/CompressedRtf.h"

#include <cstddef>
#include <cstdint>

namespace {

quint32 readLe32(const QByteArray& bytes, int at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uchar(bytes[at + i]);
    return value;
}

void writeLe32(QByteArray* bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + i] = char(value >> (8 * i));
}

void decompress(const QByteArray& data)
{
    QByteArray rtf;
    if (vnt::rtf::decompressRtf(data, &rtf) == vnt::rtf::DecompressResult::Ok &&
        quint64(rtf.size()) > readLe32(data, 4))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    decompress(input);
    if (input.size() >= 16) {
        QByteArray fitted(input.constData(), input.size());
        writeLe32(&fitted, 0, quint32(fitted.size() - 4));
        // The low bit of the raw size picks the form, so both are reached.
        const bool compressed = !(fitted[4] & 1);
        writeLe32(&fitted, 8, compressed ? 0x75465A4C : 0x414C454D);
        writeLe32(&fitted, 12,
                  vnt::rtf::compressedRtfCrc(fitted.constData() + 16, fitted.size() - 16));
        decompress(fitted);
    }
    const QByteArray compressed = vnt::rtf::compressRtf(input);
    QByteArray back;
    if (vnt::rtf::decompressRtf(compressed, &back) != vnt::rtf::DecompressResult::Ok ||
        back != input)
        __builtin_trap();
    return 0;
}
