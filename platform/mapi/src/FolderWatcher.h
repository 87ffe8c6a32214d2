// Watches one folder of a Maildir++ store for changes by anyone, this library included: inotify
// on the folder's new/ and cur/ (and on the store root for new folders). Bursts are coalesced,
// then the folder's listing is compared with the previous one by unique name.
#pragma once

#include "Maildir.h"

#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <set>

class QSocketNotifier;

namespace vntmapi {

struct ListedFile
{
    MessageFile file;
    std::int64_t size = -1;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds; moves with every write, unlike the two above
    bool inNew = false;
};
// Messages of one folder by unique name.
using Listing = std::map<std::string, ListedFile>;

// Stats only what it must: a file listed in `previous` under the same name and inode keeps the
// size and times recorded there unless its unique name is in `touched` (its data or times
// changed since). Without `withTimes` nothing is stat-ed: names, flags and inodes only.
Listing scanFolder(const std::string& folderDir, const Listing* previous = nullptr,
                   const std::set<std::string>* touched = nullptr, bool withTimes = true);

struct FolderChanges
{
    std::vector<MessageFile> added;
    std::vector<MessageFile> modified; // other flags, moved new/ -> cur/, rewritten
    std::vector<std::string> deleted;  // unique names
    std::vector<std::string> newFolders;
    bool rescanned = false; // the kernel dropped events: the listing was read afresh
};

// What changed from `before` to `after`; a name missing from `after` is looked for once more
// on disk before it counts as deleted, since readdir can miss a file being renamed.
FolderChanges diffListings(const Listing& before, Listing* after, const std::string& folderDir,
                           bool withTimes = true);

class FolderWatcher
{
public:
    using Callback = std::function<void(const FolderChanges&)>;

    // What a watcher reports: every change to the messages of a folder (their rows follow
    // size and times too), or only what is created in it, messages and Maildir++ folders.
    enum class Watch { Contents, Creations };

    // Watches `folder` (no messages for the IPM subtree). `baseline` is what the caller already
    // shows; changes are reported against it. Lives in, and reports on, the creating thread.
    FolderWatcher(std::string root, std::string folder, Watch watch, Listing baseline,
                  Callback onChange);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    bool isValid() const { return m_fd >= 0; }
    // Reads the folder again from the event loop, as if something had changed.
    void scheduleRescan() { m_delay.start(); }
    const Listing& listing() const { return m_listing; }

private:
    void addWatch(const std::string& path, std::uint32_t mask);
    void readEvents();
    void rescan();

    std::string m_root;
    std::string m_folder;
    std::string m_folderDir;
    bool m_watchMessages = false;
    bool m_watchFolders = false;
    bool m_withTimes = true; // sizes and times are read, so rewritten files are noticed
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_delay;
    bool m_overflow = false;
    Listing m_listing;
    std::set<std::string> m_touched; // unique names written to or with new times since a scan
    std::vector<std::string> m_folders;
    Callback m_onChange;
};

} // namespace vntmapi
