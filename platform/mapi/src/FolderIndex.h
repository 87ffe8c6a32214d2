// The rows of a folder's contents table.
#pragma once

#include "FolderState.h"
#include "Maildir.h"
#include "MsgStore.h"
#include "PackedRows.h"

#include <functional>
#include <optional>

namespace vntmapi {

// The PR_INSTANCE_KEY a row gets, asked with the message's unique name as the row is made.
using KeyFor = std::function<std::vector<BYTE>(const std::string& name)>;

// One row per message of `folder`, as messageProperties() gives it, with its instance key;
// and into `state`, when given, the message files as they were listed for these rows.
PackedRows contentsRows(const MsgStore& store, const std::string& folder, const KeyFor& keyFor,
                        FolderState* state = nullptr);

// The rows of some message files of `folder`, in their order; none for a file that cannot be
// read (gone again, say). The index is opened and written once for all of them.
std::vector<std::optional<PropList>> contentsRowsOf(const MsgStore& store,
                                                    const std::string& folder,
                                                    const std::vector<MessageFile>& files);

} // namespace vntmapi
