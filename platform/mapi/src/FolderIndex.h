// The rows of a folder's contents table.
#pragma once

#include "FolderState.h"
#include "Maildir.h"
#include "MsgStore.h"
#include "PackedRows.h"

#include <atomic>
#include <functional>
#include <optional>

namespace vntmapi {

// The PR_INSTANCE_KEY a row gets, asked with the message's unique name as the row is made.
using KeyFor = std::function<std::vector<BYTE>(const std::string& name)>;

// How far a folder being read on another thread has got, and whether its reader should give
// up (its table is going away): rows made of the files listed, the total 0 while listing.
struct ScanProgress
{
    std::atomic<std::uint32_t> done{0};
    std::atomic<std::uint32_t> total{0};
    std::atomic<bool> stop{false};
};

// One row per message of `folder`, as messageProperties() gives it, with its instance key;
// and into `state`, when given, the message files as they were listed for these rows. With
// `progress`, counts the rows made; once asked to stop it returns what it has, writing nothing.
PackedRows contentsRows(const MsgStore& store, const std::string& folder, const KeyFor& keyFor,
                        FolderState* state = nullptr, ScanProgress* progress = nullptr);

// The rows of some message files of `folder`, in their order; none for a file that cannot be
// read (gone again, say). The index is opened and written once for all of them.
std::vector<std::optional<PropList>> contentsRowsOf(const MsgStore& store,
                                                    const std::string& folder,
                                                    const std::vector<MessageFile>& files);

} // namespace vntmapi
