// A property opened as a stream: its value is copied in when it is opened, and Commit hands the
// changed bytes back to the message with SetProps. Nothing reaches the file before the
// message's SaveChanges.
#pragma once

#include "BufferStream.h"

namespace vntmapi {

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
