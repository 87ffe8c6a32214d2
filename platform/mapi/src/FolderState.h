// What a folder watcher knows of the messages of one Maildir folder, and what changed between
// two such pictures of it.
#pragma once

#include "Maildir.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace vntmapi {

// Looks names up by string_view, without a std::string per lookup.
struct NameHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const
    {
        return std::hash<std::string_view>()(name);
    }
};

// The file of one message as last seen.
struct KnownFile
{
    std::string tail; // its name after the unique name: "", ":2," or ":2," and flag letters
    bool inNew = false;
    std::uint32_t listed = 0; // its place in the listing that found it
    std::uint64_t inode = 0;
    std::int64_t size = -1; // -1: not stat-ed, when only names were listed
    std::int64_t modified = 0;
    std::int64_t changed = 0;
};

struct FolderState
{
    // The messages of new/ and cur/ of `folderDir` now, as listMessages describes them; sizes
    // and times only `withTimes`; only the message `only` when it is given.
    static FolderState read(const std::string& folderDir, bool withTimes,
                            std::string_view only = {});
    // Adds file `name` (its unique name and the rest); of files sharing a unique name the one
    // in cur/ that changed last is the message and the others its copies.
    void add(const std::string& folderDir, std::string_view name, KnownFile file);

    // By unique name.
    std::unordered_map<std::string, KnownFile, NameHash, std::equal_to<>> files;
    // The other files ("new/..." or "cur/...") of the few messages that have more than one.
    std::unordered_map<std::string, std::vector<std::string>, NameHash, std::equal_to<>> copies;
};

// "new/<name>" or "cur/<name>": where the file of message `name` is within its folder.
std::string relativePath(const std::string& name, const KnownFile& file);
// The file as a listing gives it.
MessageFile messageFile(const std::string& folderDir, const std::string& name,
                        const KnownFile& file);
// Same file, unchanged: same place and inode, and `withTimes` the same size and times.
bool sameFile(const KnownFile& a, const KnownFile& b, bool withTimes);

struct FolderChanges
{
    std::vector<MessageFile> added;
    std::vector<MessageFile> modified; // other flags, moved new/ -> cur/, rewritten
    std::vector<std::string> deleted;  // unique names
    std::vector<std::string> newFolders;
    bool rescanned = false; // the kernel dropped events: the folder was read afresh
};

// What changed from `before` to `after`, two listings of `folderDir`. A name missing from
// `after` is looked for once more on disk before it counts as deleted, since readdir can miss a
// file being renamed; one found then goes into `after`.
FolderChanges diffStates(const FolderState& before, FolderState* after,
                         const std::string& folderDir, bool withTimes);

} // namespace vntmapi
