// The rows of a folder's contents table.
#pragma once

#include "MsgStore.h"

namespace vntmapi {

// One row per message of `folder`, as messageProperties() gives it.
std::vector<PropList> contentsRows(const MsgStore& store, const std::string& folder);

} // namespace vntmapi
