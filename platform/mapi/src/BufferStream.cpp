#include "BufferStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vntmapi {

namespace {

// The bytes are held in memory; a stream may not grow past what a ULONG counts.
constexpr std::uint64_t kMaxSize = std::numeric_limits<ULONG>::max();

} // namespace

BufferStream::BufferStream(std::string data, bool writable)
    : m_data(std::move(data))
    , m_writable(writable)
{}

HRESULT BufferStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (!pv && cb != 0) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const std::uint64_t left = m_position < m_data.size() ? m_data.size() - m_position : 0;
    const auto n = static_cast<ULONG>(std::min<std::uint64_t>(cb, left));
    if (n != 0) {
        std::memcpy(pv, m_data.data() + m_position, n);
    }
    m_position += n;
    if (pcbRead) {
        *pcbRead = n;
    }
    return S_OK; // a short read is the end of the stream, not an error
}

HRESULT BufferStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten)
{
    if (pcbWritten) {
        *pcbWritten = 0;
    }
    if (!m_writable) {
        return MAPI_E_NO_ACCESS;
    }
    if (!pv && cb != 0) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_position + cb > kMaxSize) {
        return MAPI_E_TOO_BIG;
    }
    if (m_data.size() < m_position + cb) {
        m_data.resize(m_position + cb, '\0'); // a gap after a seek past the end reads as zeros
    }
    std::memcpy(m_data.data() + m_position, pv, cb);
    m_position += cb;
    if (pcbWritten) {
        *pcbWritten = cb;
    }
    return S_OK;
}

HRESULT BufferStream::Seek(std::int64_t move, ULONG origin, std::uint64_t* newPosition)
{
    std::int64_t base = 0;
    switch (origin) {
    case STREAM_SEEK_SET:
        break;
    case STREAM_SEEK_CUR:
        base = static_cast<std::int64_t>(m_position);
        break;
    case STREAM_SEEK_END:
        base = static_cast<std::int64_t>(m_data.size());
        break;
    default:
        return MAPI_E_INVALID_PARAMETER;
    }
    const std::int64_t target = base + move;
    if (target < 0) {
        return MAPI_E_INVALID_PARAMETER;
    }
    m_position = static_cast<std::uint64_t>(target);
    if (newPosition) {
        *newPosition = m_position;
    }
    return S_OK;
}

HRESULT BufferStream::SetSize(std::uint64_t newSize)
{
    if (!m_writable) {
        return MAPI_E_NO_ACCESS;
    }
    if (newSize > kMaxSize) {
        return MAPI_E_TOO_BIG;
    }
    m_data.resize(newSize, '\0'); // the position stays where it is, even past the new end
    return S_OK;
}

HRESULT BufferStream::GetSize(std::uint64_t* size)
{
    if (!size) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *size = m_data.size();
    return S_OK;
}

} // namespace vntmapi
