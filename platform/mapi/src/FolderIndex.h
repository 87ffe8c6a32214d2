// The rows of a folder's contents table.
#pragma once

#include "Maildir.h"
#include "MsgStore.h"

#include <optional>

namespace vntmapi {

// One row per message of `folder`, as messageProperties() gives it.
std::vector<PropList> contentsRows(const MsgStore& store, const std::string& folder);

// The rows of some message files of `folder`, in their order; none for a file that cannot be
// read (gone again, say). The index is opened and written once for all of them.
std::vector<std::optional<PropList>> contentsRowsOf(const MsgStore& store,
                                                    const std::string& folder,
                                                    const std::vector<MessageFile>& files);

} // namespace vntmapi
