// Watches one folder of a Maildir++ store for changes by anyone, this library included: inotify
// on the folder's new/ and cur/ (and on the store root for new folders). Bursts are coalesced;
// then only the messages the events name are looked at, each against what the watcher knew of
// it. The whole folder is listed again only when the kernel dropped events.
#pragma once

#include "FolderState.h"

#include <QTimer>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;
struct inotify_event;

namespace vntmapi {

class FolderWatcher
{
public:
    using Callback = std::function<void(const FolderChanges&)>;

    // What a watcher reports: every change to the messages of a folder (their rows follow
    // size and times too), or only what is created in it, messages and Maildir++ folders.
    enum class Watch { Contents, Creations };

    // Watches `folder` (no messages for the IPM subtree) from now on; the kernel keeps the
    // events until start().
    FolderWatcher(std::string root, std::string folder, Watch watch, Callback onChange);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    bool isValid() const { return m_fd >= 0; }
    // Reports from now on, on the calling thread and from its event loop, what changes against
    // `known`, the folder as the caller shows it: first what changed since the watcher was
    // made, and with `verify` whatever else differs from the folder on disk (for a `known`
    // read before the watcher was made).
    void start(FolderState known, bool verify);
    // What the watcher knows of the folder now, taken away: it reports nothing more.
    FolderState takeState();

private:
    // Events about one unique name since it was last looked at.
    struct Pending
    {
        // Each file the events named (relative to the folder) and whether the last of them
        // made it appear or go.
        std::vector<std::pair<std::string, bool>> seen;
        int attempts = 0;
    };

    void addWatch(const std::string& path, std::uint32_t mask, int* wd);
    void readEvents();
    void drainEvents();
    void noteEvent(const inotify_event& event);
    void process();
    FolderChanges rescanMessages();
    void resolvePending(FolderChanges* changes);
    bool resolve(const std::string& name, const Pending& pending, bool force,
                 FolderChanges* changes);
    void reportNewFolders(FolderChanges* changes);

    std::string m_root;
    std::string m_folder;
    std::string m_folderDir;
    bool m_watchMessages = false;
    bool m_watchFolders = false;
    bool m_withTimes = true; // sizes and times are read, so rewritten files are noticed
    int m_fd = -1;
    int m_newWatch = -1;
    int m_curWatch = -1;
    int m_rootWatch = -1;
    std::unique_ptr<QSocketNotifier> m_notifier; // from start()
    std::unique_ptr<QTimer> m_delay;
    bool m_started = false;
    bool m_verify = false;
    bool m_overflow = false;
    bool m_foldersChanged = false;
    FolderState m_state;
    std::map<std::string, Pending> m_pending; // by unique name: reported in name order
    std::vector<std::string> m_folders;
    Callback m_onChange;
};

} // namespace vntmapi
