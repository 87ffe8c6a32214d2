#include "FolderWatcher.h"

#include "EntryId.h"

#include <QSocketNotifier>
#include <algorithm>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vntmapi {

namespace {

// Long enough to gather a burst (a client renaming many files), short enough to report well
// within a second.
constexpr int kCoalesceMs = 60;

constexpr std::uint32_t kMessageEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;
constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

void statFile(ListedFile* listed)
{
    struct stat info
    {};
    if (::stat(listed->file.path.c_str(), &info) == 0) {
        listed->size = info.st_size;
        listed->modified = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        listed->changed = std::int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
    }
}

bool sameFile(const ListedFile& a, const ListedFile& b)
{
    return a.file.path == b.file.path && a.file.inode == b.file.inode && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

std::string uniqueNameOf(const char* fileName)
{
    const std::string name = fileName;
    return name.substr(0, name.find(":2,"));
}

} // namespace

Listing scanFolder(const std::string& folderDir, const Listing* previous,
                   const std::set<std::string>* touched, bool withTimes)
{
    Listing listing;
    const std::string newDir = folderDir + "/new/";
    for (MessageFile& file : listMessages(folderDir)) {
        ListedFile listed;
        listed.inNew = file.path.compare(0, newDir.size(), newDir) == 0;
        listed.file = std::move(file);
        // A large folder rescanned for every delivery must not stat every message again.
        const ListedFile* known = nullptr;
        if (previous && listed.file.inode != 0 &&
            !(touched && touched->count(listed.file.baseName))) {
            const auto it = previous->find(listed.file.baseName);
            if (it != previous->end() && it->second.file.path == listed.file.path &&
                it->second.file.inode == listed.file.inode && it->second.size >= 0) {
                known = &it->second;
            }
        }
        if (known) {
            listed.size = known->size;
            listed.modified = known->modified;
            listed.changed = known->changed;
        } else if (withTimes) {
            statFile(&listed);
        }
        // The same unique name in new/ and cur/ happens only mid-move: keep the cur/ one.
        const auto it = listing.find(listed.file.baseName);
        if (it == listing.end() || it->second.inNew) {
            listing[listed.file.baseName] = std::move(listed);
        }
    }
    return listing;
}

FolderChanges diffListings(const Listing& before, Listing* after, const std::string& folderDir,
                           bool withTimes)
{
    FolderChanges changes;
    std::vector<std::string> missing;
    for (const auto& [name, old] : before) {
        const auto it = after->find(name);
        if (it == after->end()) {
            missing.push_back(name);
        } else if (!sameFile(old, it->second)) {
            changes.modified.push_back(it->second.file);
        }
    }
    for (const auto& [name, now] : *after) {
        if (!before.count(name)) {
            changes.added.push_back(now.file);
        }
    }
    if (missing.empty()) {
        return changes;
    }
    const Listing second = scanFolder(folderDir, after, nullptr, withTimes);
    for (const std::string& name : missing) {
        const auto it = second.find(name);
        if (it == second.end()) {
            changes.deleted.push_back(name);
            continue;
        }
        (*after)[name] = it->second;
        if (!sameFile(before.at(name), it->second)) {
            changes.modified.push_back(it->second.file);
        }
    }
    return changes;
}

FolderWatcher::FolderWatcher(std::string root, std::string folder, Watch watch, Listing baseline,
                             Callback onChange)
    : m_root(std::move(root))
    , m_folder(std::move(folder))
    , m_watchMessages(m_folder != kSubtreeFolder)
    , m_watchFolders(watch == Watch::Creations)
    , m_withTimes(watch == Watch::Contents)
    , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_listing(std::move(baseline))
    , m_onChange(std::move(onChange))
{
    m_folderDir = folderDirectory(m_root, m_folder);
    m_delay.setSingleShot(true);
    m_delay.setInterval(kCoalesceMs);
    QObject::connect(&m_delay, &QTimer::timeout, [this] { rescan(); });
    if (m_fd < 0) {
        return;
    }
    if (m_watchMessages) {
        addWatch(m_folderDir + "/new", kMessageEvents);
        addWatch(m_folderDir + "/cur", kMessageEvents);
    }
    if (m_watchFolders) {
        addWatch(m_root, kFolderEvents);
        m_folders = listFolders(m_root);
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
}

FolderWatcher::~FolderWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd); // drops every watch with it
    }
}

void FolderWatcher::addWatch(const std::string& path, std::uint32_t mask)
{
    // A missing new/ or cur/ is not an error: that folder simply has nothing to report there.
    inotify_add_watch(m_fd, path.c_str(), mask);
}

void FolderWatcher::readEvents()
{
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->mask & IN_Q_OVERFLOW) {
                m_overflow = true;
            } else if ((event->mask & (IN_ATTRIB | IN_CLOSE_WRITE)) && event->len > 0) {
                m_touched.insert(uniqueNameOf(event->name));
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // Not restarted by later events, so a steady stream still reports every interval.
    if (!m_delay.isActive()) {
        m_delay.start();
    }
}

void FolderWatcher::rescan()
{
    FolderChanges changes;
    if (m_watchMessages) {
        Listing now =
            scanFolder(m_folderDir, m_overflow ? nullptr : &m_listing, &m_touched, m_withTimes);
        m_touched.clear();
        changes = diffListings(m_listing, &now, m_folderDir, m_withTimes);
        m_listing = std::move(now);
    }
    if (m_watchFolders) {
        std::vector<std::string> now = listFolders(m_root);
        std::set_difference(now.begin(), now.end(), m_folders.begin(), m_folders.end(),
                            std::back_inserter(changes.newFolders));
        m_folders = std::move(now);
    }
    changes.rescanned = std::exchange(m_overflow, false);
    const bool any = changes.rescanned || !changes.added.empty() || !changes.modified.empty() ||
                     !changes.deleted.empty() || !changes.newFolders.empty();
    if (any && m_onChange) {
        m_onChange(changes);
    }
}

} // namespace vntmapi
