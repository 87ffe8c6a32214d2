// The rows of a folder's contents table.
#pragma once

#include "Maildir.h"
#include "MsgStore.h"

namespace vntmapi {

// One row per message of `folder`, as messageProperties() gives it.
std::vector<PropList> contentsRows(const MsgStore& store, const std::string& folder);

// The row of one message file of `folder`; false when the file cannot be read (gone, say).
bool contentsRow(const MsgStore& store, const std::string& folder, const MessageFile& file,
                 PropList* row);

} // namespace vntmapi
