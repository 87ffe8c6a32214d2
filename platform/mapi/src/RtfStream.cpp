#include "RtfStream.h"

#include "rtf/CompressedRtf.h"

#include <QByteArray>

namespace vntmapi {

namespace {

// Compressed RTF is held in memory whole; this keeps a hostile stream from exhausting it.
constexpr std::uint64_t kMaxCompressed = 256u * 1024 * 1024;

HRESULT readWhole(IStream* stream, std::string* out)
{
    HRESULT hr = stream->Seek(0, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    char chunk[65536];
    for (;;) {
        ULONG read = 0;
        hr = stream->Read(chunk, sizeof(chunk), &read);
        if (FAILED(hr)) {
            return hr;
        }
        if (read == 0) {
            return S_OK;
        }
        if (out->size() + read > kMaxCompressed) {
            return MAPI_E_TOO_BIG;
        }
        out->append(chunk, read);
    }
}

class RtfWriter : public BufferStream
{
public:
    RtfWriter(IStream* compressed, bool uncompressed)
        : BufferStream({}, true)
        , m_compressed(compressed)
        , m_uncompressed(uncompressed)
    {
        m_compressed->AddRef();
    }
    ~RtfWriter() override { m_compressed->Release(); }

    HRESULT Commit(ULONG flags) override
    {
        const std::string encoded = encodeCompressedRtf(data(), m_uncompressed);
        if (encoded.empty()) {
            return MAPI_E_TOO_BIG;
        }
        HRESULT hr = m_compressed->Seek(0, STREAM_SEEK_SET, nullptr);
        if (SUCCEEDED(hr)) {
            hr = m_compressed->SetSize(encoded.size());
        }
        ULONG written = 0;
        if (SUCCEEDED(hr)) {
            hr = m_compressed->Write(encoded.data(), static_cast<ULONG>(encoded.size()), &written);
        }
        if (SUCCEEDED(hr) && written != encoded.size()) {
            hr = MAPI_E_DISK_ERROR;
        }
        return SUCCEEDED(hr) ? m_compressed->Commit(flags) : hr;
    }

private:
    IStream* m_compressed;
    bool m_uncompressed;
};

class RtfReader : public BufferStream
{
public:
    explicit RtfReader(std::string rtf)
        : BufferStream(std::move(rtf), false)
    {}
    HRESULT Commit(ULONG) override { return S_OK; }
};

} // namespace

bool decodeCompressedRtf(const std::string& compressed, std::string* rtf)
{
    QByteArray text;
    const auto result = vnt::rtf::decompressRtf(
        QByteArray::fromRawData(compressed.data(), qsizetype(compressed.size())), &text);
    if (result != vnt::rtf::DecompressResult::Ok) {
        return false;
    }
    rtf->assign(text.constData(), std::size_t(text.size()));
    return true;
}

std::string encodeCompressedRtf(const std::string& rtf, bool uncompressed)
{
    const QByteArray text = QByteArray::fromRawData(rtf.data(), qsizetype(rtf.size()));
    const QByteArray encoded =
        uncompressed ? vnt::rtf::storeRtfUncompressed(text) : vnt::rtf::compressRtf(text);
    return std::string(encoded.constData(), std::size_t(encoded.size()));
}

HRESULT openRtfReader(IStream* compressed, IStream** out)
{
    std::string bytes;
    const HRESULT hr = readWhole(compressed, &bytes);
    if (FAILED(hr)) {
        return hr;
    }
    std::string rtf;
    if (!decodeCompressedRtf(bytes, &rtf)) {
        return MAPI_E_CORRUPT_DATA;
    }
    *out = new RtfReader(std::move(rtf));
    return S_OK;
}

IStream* newRtfWriter(IStream* compressed, bool uncompressed)
{
    return new RtfWriter(compressed, uncompressed);
}

} // namespace vntmapi
