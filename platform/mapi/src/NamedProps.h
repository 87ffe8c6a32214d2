// Named properties of a store: each (property set, number or string) pair gets an id from
// 0x8000 up the first time it is asked for with MAPI_CREATE. The map lives in the file
// "vntmapi-names" at the root of the store's Maildir, so ids stay the same for every session.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <string>

namespace vntmapi {

// IMAPIProp::GetIDsFromNames for the store whose Maildir is `root`.
HRESULT idsFromNames(const std::string& root, ULONG cPropNames, LPMAPINAMEID* lppPropNames,
                     ULONG ulFlags, LPSPropTagArray* lppPropTags);

// IMAPIProp::GetNamesFromIDs for the store whose Maildir is `root`.
HRESULT namesFromIds(const std::string& root, LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid,
                     ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames);

// The tag that names the same property in the store at `toRoot` as `tag` does in the store at
// `fromRoot` (ids of named properties belong to a store), created there if need be; PR_NULL
// when `tag` names nothing.
ULONG mapNamedTag(const std::string& fromRoot, const std::string& toRoot, ULONG tag);

} // namespace vntmapi
