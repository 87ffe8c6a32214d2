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
// A file found otherwise than its last event says has changed again, and that event is still
// on its way: looked at again this many times before the disk is taken as it is.
constexpr int kSettleAttempts = 3;

constexpr std::uint32_t kMessageEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;
constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

std::int64_t nanoseconds(const timespec& t)
{
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

// One file present under a unique name.
struct Present
{
    std::string path; // relative to the folder
    struct stat info
    {};
};

// Of two files of one message, whether `a` is the message rather than `b`, as listMessages
// decides: cur/ before new/, then the one changed last.
bool preferred(const Present& a, const Present& b)
{
    const bool aInCur = a.path.compare(0, 4, "cur/") == 0;
    const bool bInCur = b.path.compare(0, 4, "cur/") == 0;
    if (aInCur != bInCur) {
        return aInCur;
    }
    const std::int64_t aChanged = nanoseconds(a.info.st_ctim);
    const std::int64_t bChanged = nanoseconds(b.info.st_ctim);
    return aChanged != bChanged ? aChanged > bChanged : a.path > b.path;
}

KnownFile knownFrom(const std::string& name, const Present& file)
{
    KnownFile known;
    known.inNew = file.path.compare(0, 4, "new/") == 0;
    known.tail = file.path.substr(std::min(file.path.size(), 4 + name.size()));
    known.inode = static_cast<std::uint64_t>(file.info.st_ino);
    known.size = static_cast<std::int64_t>(file.info.st_size);
    known.modified = nanoseconds(file.info.st_mtim);
    known.changed = nanoseconds(file.info.st_ctim);
    return known;
}

} // namespace

FolderWatcher::FolderWatcher(std::string root, std::string folder, Watch watch, Callback onChange)
    : m_root(std::move(root))
    , m_folder(std::move(folder))
    , m_watchMessages(m_folder != kSubtreeFolder)
    , m_watchFolders(watch == Watch::Creations)
    , m_withTimes(watch == Watch::Contents)
    , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_onChange(std::move(onChange))
{
    m_folderDir = folderDirectory(m_root, m_folder);
    if (m_fd < 0) {
        return;
    }
    if (m_watchMessages) {
        addWatch(m_folderDir + "/new", kMessageEvents, &m_newWatch);
        addWatch(m_folderDir + "/cur", kMessageEvents, &m_curWatch);
    }
    if (m_watchFolders) {
        addWatch(m_root, kFolderEvents, &m_rootWatch);
        m_folders = listFolders(m_root);
    }
}

FolderWatcher::~FolderWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd); // drops every watch with it
    }
}

void FolderWatcher::addWatch(const std::string& path, std::uint32_t mask, int* wd)
{
    // A missing new/ or cur/ is not an error: that folder simply has nothing to report there.
    *wd = inotify_add_watch(m_fd, path.c_str(), mask);
}

void FolderWatcher::start(FolderState known, bool verify)
{
    m_state = std::move(known);
    m_verify = verify;
    m_started = true;
    m_delay = std::make_unique<QTimer>();
    m_delay->setSingleShot(true);
    m_delay->setInterval(kCoalesceMs);
    QObject::connect(m_delay.get(), &QTimer::timeout, [this] { process(); });
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    }
    // What is queued already, or differs, comes as events too, from the event loop.
    m_delay->start();
}

FolderState FolderWatcher::takeState()
{
    m_notifier.reset();
    m_delay.reset();
    m_started = false;
    return std::move(m_state);
}

void FolderWatcher::readEvents()
{
    drainEvents();
    // Not restarted by later events, so a steady stream still reports every interval.
    if (!m_delay->isActive()) {
        m_delay->start();
    }
}

void FolderWatcher::drainEvents()
{
    if (m_fd < 0) {
        return;
    }
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            noteEvent(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

void FolderWatcher::noteEvent(const inotify_event& event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        m_overflow = true;
        return;
    }
    if (event.wd == m_rootWatch) {
        m_foldersChanged = true;
        return;
    }
    const bool inNew = event.wd == m_newWatch;
    if (!inNew && event.wd != m_curWatch) {
        return;
    }
    if (event.mask & IN_IGNORED) {
        m_overflow = true; // new/ or cur/ went: what is left shows only in a listing
        return;
    }
    // Names starting with "." are no messages (see listMessages).
    const std::string_view name = event.len > 0 ? std::string_view(event.name) : "";
    if (name.empty() || name[0] == '.') {
        return;
    }
    Pending& pending = m_pending[std::string(name.substr(0, name.find(":2,")))];
    pending.attempts = 0;
    if (!(event.mask & (IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM))) {
        return; // written to or touched: looked at again, where it is
    }
    const std::string path = (inNew ? "new/" : "cur/") + std::string(name);
    const bool appeared = event.mask & (IN_CREATE | IN_MOVED_TO);
    const auto seen = std::find_if(pending.seen.begin(), pending.seen.end(),
                                   [&path](const auto& entry) { return entry.first == path; });
    if (seen != pending.seen.end()) {
        seen->second = appeared;
    } else {
        pending.seen.emplace_back(path, appeared);
    }
}

void FolderWatcher::process()
{
    drainEvents();
    FolderChanges changes;
    const bool overflowed = std::exchange(m_overflow, false);
    if (m_watchMessages) {
        if (overflowed || std::exchange(m_verify, false)) {
            changes = rescanMessages();
        } else {
            resolvePending(&changes);
        }
    }
    if (m_watchFolders && (overflowed || std::exchange(m_foldersChanged, false))) {
        reportNewFolders(&changes);
    }
    changes.rescanned = overflowed;
    const bool any = changes.rescanned || !changes.added.empty() || !changes.modified.empty() ||
                     !changes.deleted.empty() || !changes.newFolders.empty();
    if (any && m_onChange) {
        m_onChange(changes);
    }
}

// The whole folder listed and compared with what was known: after dropped events, or to find
// what changed before the watcher was made. Events read so far are covered by the listing.
FolderChanges FolderWatcher::rescanMessages()
{
    m_pending.clear();
    FolderState now = FolderState::read(m_folderDir, m_withTimes);
    FolderChanges changes = diffStates(m_state, &now, m_folderDir, m_withTimes);
    m_state = std::move(now);
    return changes;
}

void FolderWatcher::resolvePending(FolderChanges* changes)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const bool force = it->second.attempts >= kSettleAttempts;
        if (resolve(it->first, it->second, force, changes)) {
            it = m_pending.erase(it);
        } else {
            ++it->second.attempts;
            ++it;
        }
    }
    if (!m_pending.empty()) {
        m_delay->start(); // to look again once the events still on their way are in
    }
}

// Looks at the files the message `name` had and those the events named. False, with nothing
// changed, while a file is not as its last event says (unless `force`): it changed again and
// the event saying so is still coming, so the message is looked at once that is in.
bool FolderWatcher::resolve(const std::string& name, const Pending& pending, bool force,
                            FolderChanges* changes)
{
    const auto known = m_state.files.find(name);
    std::vector<std::string> candidates;
    if (known != m_state.files.end()) {
        candidates.push_back(relativePath(name, known->second));
    }
    if (const auto copies = m_state.copies.find(name); copies != m_state.copies.end()) {
        candidates.insert(candidates.end(), copies->second.begin(), copies->second.end());
    }
    for (const auto& [path, appeared] : pending.seen) {
        if (std::find(candidates.begin(), candidates.end(), path) == candidates.end()) {
            candidates.push_back(path);
        }
    }
    std::vector<Present> present;
    for (const std::string& path : candidates) {
        Present file{path, {}};
        const bool exists = ::lstat((m_folderDir + '/' + path).c_str(), &file.info) == 0;
        const auto seen = std::find_if(pending.seen.begin(), pending.seen.end(),
                                       [&path](const auto& entry) { return entry.first == path; });
        const bool expected = seen == pending.seen.end() || seen->second;
        if (exists != expected && !force) {
            return false;
        }
        if (exists) {
            present.push_back(std::move(file));
        }
    }
    if (present.empty()) {
        if (known != m_state.files.end()) {
            changes->deleted.push_back(name);
            m_state.files.erase(known);
        }
        m_state.copies.erase(name);
        return true;
    }
    std::sort(present.begin(), present.end(), preferred);
    const KnownFile now = knownFrom(name, present.front());
    if (known == m_state.files.end()) {
        changes->added.push_back(messageFile(m_folderDir, name, now));
        m_state.files.emplace(name, now);
    } else {
        if (!sameFile(known->second, now, m_withTimes)) {
            changes->modified.push_back(messageFile(m_folderDir, name, now));
        }
        known->second = now;
    }
    if (present.size() > 1) {
        std::vector<std::string>& copies = m_state.copies[name];
        copies.clear();
        for (std::size_t i = 1; i < present.size(); ++i) {
            copies.push_back(std::move(present[i].path));
        }
    } else {
        m_state.copies.erase(name);
    }
    return true;
}

void FolderWatcher::reportNewFolders(FolderChanges* changes)
{
    std::vector<std::string> now = listFolders(m_root);
    std::set_difference(now.begin(), now.end(), m_folders.begin(), m_folders.end(),
                        std::back_inserter(changes->newFolders));
    m_folders = std::move(now);
}

} // namespace vntmapi
