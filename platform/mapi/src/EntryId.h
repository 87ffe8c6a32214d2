// Entry identifiers of this library's objects. Layout (bytes):
//   0   4  flags, zero
//   4  16  provider id (kProviderId)
//  20   1  kind: 1 store, 2 folder, 3 message
//  21   1  layout version, 1
//  22   2  zero
//  24  16  store key
//  40   .  folder (UTF-8, NUL-terminated; folders and messages): "/" the IPM subtree, "" the
//          Inbox (Maildir root), ".A.B" a Maildir++ folder as named on disk
//   .   .  message unique name without its ":2," info (UTF-8, NUL-terminated; messages)
// Nothing in it changes when a message's flags change, so ids survive flag changes and restarts.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vntmapi {

using StoreKey = std::array<BYTE, 16>;

enum class EntryKind : BYTE { Store = 1, Folder = 2, Message = 3 };

inline const std::string kSubtreeFolder = "/";
inline const std::string kInboxFolder;

struct EntryRef
{
    EntryKind kind = EntryKind::Store;
    StoreKey store{};
    std::string folder;
    std::string message;
};

std::vector<BYTE> encodeEntryId(const EntryRef& ref);

// The ids of many messages of one folder, as encodeEntryId gives them: what they share is
// encoded once.
class MessageIdMaker
{
public:
    MessageIdMaker(const StoreKey& store, const std::string& folder);
    // The id of message `name`, valid until the next call.
    std::string_view operator()(std::string_view name);

private:
    std::string m_id;
    std::size_t m_shared = 0;
};
bool decodeEntryId(const void* data, ULONG size, EntryRef* ref);

EntryRef storeRef(const StoreKey& store);
EntryRef folderRef(const StoreKey& store, const std::string& folder);

// Copies an encoded id into one MAPIAllocateBuffer block.
HRESULT allocEntryId(const std::vector<BYTE>& id, ULONG* size, LPENTRYID* out);

// Same object: ids equal apart from their flag bytes.
bool sameEntry(const void* a, ULONG sizeA, const void* b, ULONG sizeB);

} // namespace vntmapi
