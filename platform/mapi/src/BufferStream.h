// A stream over bytes held in memory, the base of the streams the library hands out.
#pragma once

#include "RefCounted.h"

#include <string>

namespace vntmapi {

// Read, Write, Seek and SetSize on a buffer; what Commit does is up to the derived class.
class BufferStream : public RefCounted<IStream>
{
public:
    BufferStream(std::string data, bool writable);

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT Seek(std::int64_t move, ULONG origin, std::uint64_t* newPosition) override;
    HRESULT SetSize(std::uint64_t newSize) override;
    HRESULT GetSize(std::uint64_t* size) override;

protected:
    std::string& data() { return m_data; }
    bool writable() const { return m_writable; }

private:
    std::string m_data;
    std::uint64_t m_position = 0;
    bool m_writable = false;
};

} // namespace vntmapi
