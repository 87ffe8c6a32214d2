#pragma once

#include <QByteArray>

namespace vnt::rtf {

// Compressed RTF as message stores keep it in PR_RTF_COMPRESSED: a 16-byte header
// (compressed size, raw size, "LZFu" or "MELA", CRC) and the contents.
enum class DecompressResult {
    Ok,
    TooShort,    // less than a header
    BadSize,     // the header's sizes do not fit the data
    UnknownType, // neither "LZFu" nor "MELA"
    BadCrc,      // the contents do not match the header's CRC
    Truncated,   // the contents end before the stream's end marker or raw size
};

// Decompresses `data` into `rtf`. Never allocates more than the header's raw size,
// and refuses a raw size that the contents could not expand to. The text ends at the
// raw size or at the end marker, whichever comes first. On failure `rtf` is empty.
DecompressResult decompressRtf(const QByteArray& data, QByteArray* rtf);

// Compresses `rtf` to the "LZFu" form, finding the longest match up to 17 bytes; of
// equally long matches the oldest is used. Empty when `rtf` is too large for the
// format's 32-bit sizes.
QByteArray compressRtf(const QByteArray& rtf);

// Wraps `rtf` uncompressed, in the "MELA" form. Empty when `rtf` is too large.
QByteArray storeRtfUncompressed(const QByteArray& rtf);

// The CRC-32 of the format: reflected polynomial 0xEDB88320, initial value 0, no final
// XOR.
quint32 compressedRtfCrc(const char* data, qsizetype size, quint32 crc = 0);

} // namespace vnt::rtf
