// The stream WrapCompressedRTFStream hands out: RTF text over a PR_RTF_COMPRESSED stream.
#pragma once

#include "BufferStream.h"

namespace vntmapi {

// Reads the whole of `compressed` and gives a read-only stream of its RTF. MAPI_E_CORRUPT_DATA
// when the bytes are not compressed RTF in either form.
HRESULT openRtfReader(IStream* compressed, IStream** out);

// A stream collecting RTF text: Commit writes it, compressed or (with `uncompressed`) in the
// MELA form, over the whole of `compressed`.
IStream* newRtfWriter(IStream* compressed, bool uncompressed);

// Compressed RTF <-> RTF text. decodeCompressedRtf is false for bytes that are not compressed
// RTF; encodeCompressedRtf is empty for text too large for the format.
bool decodeCompressedRtf(const std::string& compressed, std::string* rtf);
std::string encodeCompressedRtf(const std::string& rtf, bool uncompressed = false);

} // namespace vntmapi
