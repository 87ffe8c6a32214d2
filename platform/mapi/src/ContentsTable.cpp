#include "ContentsTable.h"

#include "Contacts.h"
#include "Disposer.h"
#include "EntryId.h"
#include "Folder.h"
#include "FolderIndex.h"

#include <atomic>
#include <unordered_map>

namespace vntmapi {

namespace {

const std::vector<ULONG> kContentsColumns = {
    PR_ENTRYID,       PR_SUBJECT,     PR_SENT_REPRESENTING_NAME, PR_MESSAGE_DELIVERY_TIME,
    PR_MESSAGE_FLAGS, PR_MESSAGE_SIZE};

// More changes than this at once are cheaper for a client to take as one reload.
constexpr std::size_t kReloadThreshold = 500;

} // namespace

HRESULT Folder::GetContentsTable(ULONG ulFlags, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppTable = new ContentsTable(m_store, m_folder, kContentsColumns,
                                  (ulFlags & MAPI_DEFERRED_ERRORS) != 0);
    return S_OK;
}

ContentsTable::ContentsTable(MsgStore* store, std::string folder, std::vector<ULONG> columns,
                             bool deferred)
    : MemoryTable(std::move(columns))
    , m_store(store)
    , m_folder(std::move(folder))
    , m_ids(store->config().key, m_folder)
{
    m_store->AddRef();
    const bool maildir = m_folder != kSubtreeFolder && m_folder != kContactsFolder;
    if (maildir) {
        watchEarly(); // here, on the caller's thread: it reports nothing before Advise
    }
    if (maildir && deferred) {
        m_reading =
            std::async(std::launch::async, [this] { return readRows(&m_known, &m_progress); });
        return;
    }
    reload(readRows(maildir ? &m_known : nullptr)); // nobody is advised yet: no event
}

ContentsTable::~ContentsTable()
{
    if (m_reading.valid()) {
        m_progress.stop = true;
        disposeLater(m_reading.get());
    }
    m_contactsWatcher.reset();
    endEarlyWatch();
    // A large folder's rows, names and files take a while to free: not the client's while.
    if (m_watcher) {
        disposeLater(m_watcher->takeState());
        m_watcher.reset();
    }
    disposeLater(std::move(m_known));
    disposeLater(takeAllRows());
    m_store->Release();
}

// The folder's rows, and what it holds into `state`; a message keeps the instance key it had.
PackedRows ContentsTable::readRows(FolderState* state, ScanProgress* progress)
{
    // Each row's key by its entry id, both seen in the rows until they are replaced.
    std::unordered_map<std::string_view, std::string_view> keys;
    keys.reserve(allRows().size());
    for (std::size_t i = 0; i < allRows().size(); ++i) {
        const std::optional<PropRef> id = allRows()[i].find(PR_ENTRYID);
        const std::optional<PropRef> key = allRows()[i].find(PR_INSTANCE_KEY);
        if (id && key) {
            keys.emplace(id->data, key->data);
        }
    }
    return contentsRows(
        *m_store, m_folder,
        [&](const std::string& name) {
            const auto it = keys.find(m_ids(name));
            return it != keys.end() ? Key(it->second.begin(), it->second.end())
                                    : keyOfNumber(newKeyNumber());
        },
        state, progress);
}

void ContentsTable::settle()
{
    if (m_reading.valid()) {
        reload(m_reading.get()); // nobody is advised before it settles: no event
    }
}

HRESULT ContentsTable::QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator)
{
    if (!m_reading.valid()) {
        return MemoryTable::QueryPosition(lpulRow, lpulNumerator, lpulDenominator);
    }
    if (!lpulRow || !lpulNumerator || !lpulDenominator) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulRow = 0;
    *lpulNumerator = m_progress.done;
    *lpulDenominator = m_progress.total;
    return S_OK;
}

// Stopping part way would leave a table that looks complete with rows missing.
HRESULT ContentsTable::Abort()
{
    return m_reading.valid() ? MAPI_E_UNABLE_TO_ABORT : S_OK;
}

HRESULT ContentsTable::WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus)
{
    if (m_reading.valid() &&
        m_reading.wait_for(std::chrono::milliseconds(ulTimeout)) != std::future_status::ready) {
        if (lpulTableStatus) {
            *lpulTableStatus = TBLSTAT_SORTING;
        }
        return MAPI_E_TIMEOUT;
    }
    settle();
    return MemoryTable::WaitForCompletion(ulFlags, ulTimeout, lpulTableStatus);
}

// The row of message `name`, by its entry id; allRows().size() when it has none.
std::size_t ContentsTable::rowOf(const std::string& name)
{
    return allRows().indexOf(PR_ENTRYID, m_ids(name));
}

namespace {

// Tables watching before anyone advised them. Each holds an inotify instance of the user's
// few (128 by default, for every program): a client holding many tables unadvised must not
// use them up, so beyond this many a table compares the folder with its rows at Advise.
constexpr int kEarlyWatches = 16;
std::atomic<int> g_earlyWatches{0};

} // namespace

// Watches the folder from before it is read, so that Advise needs no second look at a large
// folder: whatever changes after the read comes as events against the rows read.
void ContentsTable::watchEarly()
{
    if (++g_earlyWatches > kEarlyWatches) {
        --g_earlyWatches;
        return;
    }
    m_early = true;
    m_watcher = std::make_unique<FolderWatcher>(
        m_store->config().path, m_folder, FolderWatcher::Watch::Contents,
        [this](const FolderChanges& changes) { apply(changes); });
}

void ContentsTable::endEarlyWatch()
{
    if (std::exchange(m_early, false)) {
        --g_earlyWatches;
    }
}

HRESULT ContentsTable::Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink,
                              ULONG* lpulConnection)
{
    const HRESULT hr = MemoryTable::Advise(ulEventMask, lpAdviseSink, lpulConnection);
    if (FAILED(hr) || m_watching || m_contactsWatcher || m_folder == kSubtreeFolder) {
        return hr;
    }
    if (m_folder == kContactsFolder) {
        watchContacts();
        return hr;
    }
    endEarlyWatch();
    // Without a watch from before the read, the folder as it is now is compared with the rows.
    const bool verify = !m_watcher || !m_watcher->isValid();
    if (verify) {
        m_watcher = std::make_unique<FolderWatcher>(
            m_store->config().path, m_folder, FolderWatcher::Watch::Contents,
            [this](const FolderChanges& changes) { apply(changes); });
    }
    m_watcher->start(std::move(m_known), verify);
    m_watching = true;
    return hr;
}

void ContentsTable::watchContacts()
{
    m_contactsWatcher = std::make_unique<QFileSystemWatcher>(
        QStringList{QString::fromStdString(m_store->folderDirectory(m_folder))});
    QObject::connect(m_contactsWatcher.get(), &QFileSystemWatcher::directoryChanged,
                     [this] { reloadAll(); });
}

HRESULT ContentsTable::Unadvise(ULONG ulConnection)
{
    const HRESULT hr = MemoryTable::Unadvise(ulConnection);
    if (FAILED(hr) || isAdvised()) {
        return hr;
    }
    // What changes from now on is found by comparing at the next Advise.
    if (m_watcher && m_watching) {
        m_known = m_watcher->takeState();
        m_watcher.reset();
        m_watching = false;
    }
    m_contactsWatcher.reset();
    return hr;
}

void ContentsTable::apply(const FolderChanges& changes)
{
    const std::size_t count =
        changes.added.size() + changes.modified.size() + changes.deleted.size();
    if (changes.rescanned || count > kReloadThreshold) {
        reloadAll();
        return;
    }
    for (const std::string& name : changes.deleted) {
        const std::size_t row = rowOf(name);
        if (row < allRows().size()) {
            removeRow(keyOf(allRows()[row]));
        }
    }
    std::vector<MessageFile> files = changes.added;
    files.insert(files.end(), changes.modified.begin(), changes.modified.end());
    std::vector<std::optional<PropList>> rows = contentsRowsOf(*m_store, m_folder, files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        // None: renamed or removed again meanwhile, and its own event follows.
        if (rows[i]) {
            updateRow(files[i], std::move(*rows[i]));
        }
    }
}

void ContentsTable::updateRow(const MessageFile& file, PropList row)
{
    const std::size_t at = rowOf(file.baseName);
    if (at < allRows().size() && replaceRow(keyOf(allRows()[at]), row)) {
        return;
    }
    putProp(&row, binaryProp(PR_INSTANCE_KEY, newInstanceKey()));
    addRow(std::move(row));
}

void ContentsTable::reloadAll()
{
    reload(readRows(nullptr));
}

} // namespace vntmapi
