// A reader for the message-level MAPI properties of a TNEF stream (winmail.dat), so that the
// compressed RTF body such a part carries can be shown.
#pragma once

#include "Property.h"

namespace vntmapi {

// The properties of the message's attMAPIProps attribute, and its attBody as PR_BODY. Named
// properties, multi-valued ones and objects are skipped. False when `data` is not TNEF or the
// attribute is cut short; what was read before stays in `props`.
bool readTnefMessageProps(const std::vector<BYTE>& data, PropList* props);

} // namespace vntmapi
