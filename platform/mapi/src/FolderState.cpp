#include "FolderState.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace vntmapi {

namespace {

std::int64_t nanoseconds(const timespec& t)
{
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

struct Entry
{
    std::string name;
    KnownFile file;
    bool found = true;
};

// Below this many a second thread costs more than it saves.
constexpr std::size_t kStatsPerThread = 4096;

// Stats every entry of `dir`, a large folder in two threads: looking up 100,000 names takes
// the kernel longer than everything else about listing them.
void statEntries(DIR* dir, std::vector<Entry>* entries)
{
    const auto statRange = [dir, entries](std::size_t from, std::size_t to) {
        struct stat info
        {};
        for (std::size_t i = from; i < to; ++i) {
            Entry& entry = (*entries)[i];
            entry.found = fstatat(dirfd(dir), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
            entry.file.inode = static_cast<std::uint64_t>(info.st_ino);
            entry.file.size = static_cast<std::int64_t>(info.st_size);
            entry.file.modified = nanoseconds(info.st_mtim);
            entry.file.changed = nanoseconds(info.st_ctim);
        }
    };
    const std::size_t half = entries->size() / 2;
    std::thread helper;
    if (half >= kStatsPerThread) {
        helper = std::thread(statRange, half, entries->size());
    }
    statRange(0, helper.joinable() ? half : entries->size());
    if (helper.joinable()) {
        helper.join();
    }
}

} // namespace

FolderState FolderState::read(const std::string& folderDir, bool withTimes, std::string_view only)
{
    FolderState state;
    std::uint32_t listed = 0;
    for (const bool inNew : {true, false}) {
        DIR* handle = opendir((folderDir + (inNew ? "/new" : "/cur")).c_str());
        if (!handle) {
            continue;
        }
        std::vector<Entry> entries;
        while (const dirent* entry = readdir(handle)) {
            const std::string_view name = entry->d_name;
            if (!only.empty() && name.substr(0, name.find(":2,")) != only) {
                continue;
            }
            if (entry->d_name[0] != '.' && entry->d_name[0] != '\0') {
                entries.emplace_back().name = entry->d_name;
                entries.back().file.inNew = inNew;
                entries.back().file.inode = static_cast<std::uint64_t>(entry->d_ino);
            }
        }
        if (withTimes) {
            statEntries(handle, &entries);
        }
        closedir(handle);
        state.files.reserve(state.files.size() + entries.size());
        for (Entry& entry : entries) {
            if (!entry.found) {
                continue; // gone since readdir
            }
            entry.file.listed = listed++;
            state.add(folderDir, entry.name, std::move(entry.file));
        }
    }
    return state;
}

namespace {

// The change time of a file listed without one.
std::int64_t changedOf(const std::string& folderDir, const std::string& name, const KnownFile& file,
                       bool* found)
{
    if (file.size >= 0) {
        *found = true;
        return file.changed;
    }
    struct stat info
    {};
    *found = lstat((folderDir + '/' + relativePath(name, file)).c_str(), &info) == 0;
    return *found ? nanoseconds(info.st_ctim) : 0;
}

// Of two files of message `name`, whether `a` is the message rather than `b`: cur/ before new/
// (a move from new/ to cur/ is a rename and ends there), then the one renamed or written last,
// as a save's new content is.
bool isNewerCopy(const std::string& folderDir, const std::string& name, const KnownFile& a,
                 const KnownFile& b)
{
    if (a.inNew != b.inNew) {
        return !a.inNew;
    }
    bool aFound = false;
    bool bFound = false;
    const std::int64_t aChanged = changedOf(folderDir, name, a, &aFound);
    if (!aFound) {
        return false;
    }
    const std::int64_t bChanged = changedOf(folderDir, name, b, &bFound);
    if (!bFound) {
        return true;
    }
    return aChanged != bChanged ? aChanged > bChanged : a.tail > b.tail;
}

} // namespace

void FolderState::add(const std::string& folderDir, std::string_view name, KnownFile file)
{
    const std::size_t colon = name.find(":2,");
    const std::string_view unique = name.substr(0, colon);
    file.tail = colon == std::string_view::npos ? std::string_view() : name.substr(colon);
    const auto it = files.find(unique);
    if (it == files.end()) {
        files.emplace(std::string(unique), std::move(file));
        return;
    }
    // Rare: a save interrupted between its rename and its unlink, by another program. The
    // message keeps the place of the first file listed.
    KnownFile& kept = it->second;
    if (isNewerCopy(folderDir, it->first, file, kept)) {
        file.listed = kept.listed;
        std::swap(kept, file);
    }
    copies[it->first].push_back(relativePath(it->first, file));
}

std::string relativePath(const std::string& name, const KnownFile& file)
{
    return (file.inNew ? "new/" : "cur/") + name + file.tail;
}

MessageFile messageFile(const std::string& folderDir, const std::string& name,
                        const KnownFile& file)
{
    MessageFile out;
    out.path = folderDir + '/' + relativePath(name, file);
    out.baseName = name;
    out.info = file.tail.size() >= 3 ? file.tail.substr(3) : std::string();
    out.inode = file.inode;
    out.size = file.size;
    out.modified = file.modified;
    out.changed = file.changed;
    return out;
}

bool sameFile(const KnownFile& a, const KnownFile& b, bool withTimes)
{
    const bool samePlace = a.inNew == b.inNew && a.tail == b.tail && a.inode == b.inode;
    return samePlace &&
           (!withTimes || (a.size == b.size && a.modified == b.modified && a.changed == b.changed));
}

FolderChanges diffStates(const FolderState& before, FolderState* after,
                         const std::string& folderDir, bool withTimes)
{
    FolderChanges changes;
    std::vector<std::string> missing;
    for (const auto& [name, old] : before.files) {
        const auto it = after->files.find(name);
        if (it == after->files.end()) {
            missing.push_back(name);
        } else if (!sameFile(old, it->second, withTimes)) {
            changes.modified.push_back(messageFile(folderDir, name, it->second));
        }
    }
    for (const auto& [name, now] : after->files) {
        if (!before.files.count(name)) {
            changes.added.push_back(messageFile(folderDir, name, now));
        }
    }
    // Reported in name order, as events of one batch always are.
    const auto byName = [](const MessageFile& a, const MessageFile& b) {
        return a.baseName < b.baseName;
    };
    std::sort(changes.added.begin(), changes.added.end(), byName);
    std::sort(changes.modified.begin(), changes.modified.end(), byName);
    std::sort(missing.begin(), missing.end());
    if (missing.empty()) {
        return changes;
    }
    FolderState second = FolderState::read(folderDir, withTimes);
    for (const std::string& name : missing) {
        const auto it = second.files.find(name);
        if (it == second.files.end()) {
            changes.deleted.push_back(name);
            continue;
        }
        if (!sameFile(before.files.at(name), it->second, withTimes)) {
            changes.modified.push_back(messageFile(folderDir, name, it->second));
        }
        after->files[name] = it->second;
        if (const auto copies = second.copies.find(name); copies != second.copies.end()) {
            after->copies[name] = copies->second;
        }
    }
    return changes;
}

} // namespace vntmapi
