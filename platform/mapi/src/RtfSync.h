// RTFSync: keeps PR_RTF_COMPRESSED and the plain or HTML body of a message telling the same.
#pragma once

#include "vntmapi/MapiEntryPoints.h"

namespace vntmapi {

// Works through GetProps and SetProps, so any IMessage will do; the caller saves the message.
HRESULT rtfSync(IMessage* message, ULONG flags, BOOL* updated);

} // namespace vntmapi
