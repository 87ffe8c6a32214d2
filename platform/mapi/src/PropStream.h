// Streams over bytes held in memory. A property opened as a stream copies its value in when it
// is opened, and Commit hands the changed bytes back to the message with SetProps. Nothing
// reaches the file before the message's SaveChanges.
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

class PropStream : public BufferStream
{
public:
    // Holds a reference to `owner`; `writable` when opened with MAPI_MODIFY or MAPI_CREATE.
    PropStream(IMAPIProp* owner, ULONG tag, std::string data, bool writable);
    ~PropStream() override;

    HRESULT Commit(ULONG flags) override;

private:
    IMAPIProp* m_owner;
    ULONG m_tag;
};

} // namespace vntmapi
