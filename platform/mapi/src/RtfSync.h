// RTFSync: keeps PR_RTF_COMPRESSED and the plain or HTML body of a message telling the same.
#pragma once

#include "Property.h"
#include "vntmapi/MapiEntryPoints.h"

namespace vntmapi {

// Whether the plain or HTML body among `props` tells what their PR_RTF_COMPRESSED does, as
// PR_RTF_IN_SYNC reports for a message read from a file. Spacing and line breaks do not
// count; a message with the rich text as its only body is in step.
bool rtfBodiesAgree(const PropList& props);

// Works through GetProps and SetProps, so any IMessage will do; the caller saves the message.
HRESULT rtfSync(IMessage* message, ULONG flags, BOOL* updated);

} // namespace vntmapi
