// A property opened as a stream: its value is copied in when it is opened, and Commit hands the
// changed bytes back to the message with SetProps. Nothing reaches the file before the
// message's SaveChanges.
#pragma once

#include "RefCounted.h"

#include <string>

namespace vntmapi {

class PropStream : public RefCounted<IStream>
{
public:
    // Holds a reference to `owner`; `writable` when opened with MAPI_MODIFY or MAPI_CREATE.
    PropStream(IMAPIProp* owner, ULONG tag, std::string data, bool writable);
    ~PropStream() override;

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT Seek(std::int64_t move, ULONG origin, std::uint64_t* newPosition) override;
    HRESULT SetSize(std::uint64_t newSize) override;
    HRESULT Commit(ULONG flags) override;
    HRESULT GetSize(std::uint64_t* size) override;

private:
    IMAPIProp* m_owner;
    ULONG m_tag;
    std::string m_data;
    std::uint64_t m_position = 0;
    bool m_writable = false;
};

} // namespace vntmapi
