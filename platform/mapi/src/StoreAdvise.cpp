#include "MsgStore.h"

namespace vntmapi {

HRESULT MsgStore::Advise(ULONG, LPENTRYID, ULONG, IMAPIAdviseSink*, ULONG*)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT MsgStore::Unadvise(ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

} // namespace vntmapi
