#include "PropStream.h"

namespace vntmapi {

PropStream::PropStream(IMAPIProp* owner, ULONG tag, std::string data, bool writable)
    : BufferStream(std::move(data), writable)
    , m_owner(owner)
    , m_tag(tag)
{
    m_owner->AddRef();
}

PropStream::~PropStream()
{
    m_owner->Release();
}

HRESULT PropStream::Commit(ULONG)
{
    if (!writable()) {
        return MAPI_E_NO_ACCESS;
    }
    std::string& bytes = data();
    // A string property ends at its first zero byte, as it would when set with SetProps.
    SPropValue value{};
    value.ulPropTag = m_tag;
    if (PROP_TYPE(m_tag) == PT_BINARY) {
        value.Value.bin.cb = static_cast<ULONG>(bytes.size());
        value.Value.bin.lpb = reinterpret_cast<LPBYTE>(bytes.data());
    } else {
        value.Value.lpszA = bytes.data();
    }
    return m_owner->SetProps(1, &value, nullptr);
}

} // namespace vntmapi
