#include "ContentsTable.h"

#include "Contacts.h"
#include "EntryId.h"
#include "Folder.h"
#include "FolderIndex.h"

#include <unordered_map>

namespace vntmapi {

namespace {

const std::vector<ULONG> kContentsColumns = {
    PR_ENTRYID,       PR_SUBJECT,     PR_SENT_REPRESENTING_NAME, PR_MESSAGE_DELIVERY_TIME,
    PR_MESSAGE_FLAGS, PR_MESSAGE_SIZE};

// More changes than this at once are cheaper for a client to take as one reload.
constexpr std::size_t kReloadThreshold = 500;

} // namespace

HRESULT Folder::GetContentsTable(ULONG, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppTable = new ContentsTable(m_store, m_folder, kContentsColumns);
    return S_OK;
}

ContentsTable::ContentsTable(MsgStore* store, std::string folder, std::vector<ULONG> columns)
    : MemoryTable(std::move(columns))
    , m_store(store)
    , m_folder(std::move(folder))
{
    m_store->AddRef();
    reload(readRows()); // nobody is advised yet: no event
}

// The folder's rows; a message keeps the instance key it had in this table.
PackedRows ContentsTable::readRows()
{
    std::map<std::string, Key> keys;
    PackedRows rows = contentsRows(*m_store, m_folder, [&](const std::string& name) {
        const auto it = m_keys.find(name);
        const Key key = it != m_keys.end() ? it->second : newInstanceKey();
        keys[name] = key;
        return key;
    });
    m_keys = std::move(keys);
    return rows;
}

ContentsTable::~ContentsTable()
{
    m_contactsWatcher.reset();
    m_watcher.reset();
    m_store->Release();
}

HRESULT ContentsTable::Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink,
                              ULONG* lpulConnection)
{
    const HRESULT hr = MemoryTable::Advise(ulEventMask, lpAdviseSink, lpulConnection);
    if (FAILED(hr) || m_watcher || m_contactsWatcher || m_folder == kSubtreeFolder) {
        return hr;
    }
    // Only a watched table follows its rows by name and compares them with the folder: an
    // unwatched one needs neither the names nor the listing.
    if (!m_followed) {
        if (m_folder != kContactsFolder) {
            m_baseline = listingOfRows();
        }
        m_followed = true;
    }
    if (m_folder == kContactsFolder) {
        m_contactsWatcher = std::make_unique<QFileSystemWatcher>(
            QStringList{QString::fromStdString(m_store->folderDirectory(m_folder))});
        QObject::connect(m_contactsWatcher.get(), &QFileSystemWatcher::directoryChanged,
                         [this] { reloadAll(); });
        return hr;
    }
    m_watcher = std::make_unique<FolderWatcher>(
        m_store->config().path, m_folder, FolderWatcher::Watch::Contents, std::move(m_baseline),
        [this](const FolderChanges& changes) { apply(changes); });
    // Whatever changed since the rows were read comes as events too, from the event loop.
    m_watcher->scheduleRescan();
    return hr;
}

HRESULT ContentsTable::Unadvise(ULONG ulConnection)
{
    const HRESULT hr = MemoryTable::Unadvise(ulConnection);
    if (SUCCEEDED(hr) && !isAdvised() && m_watcher) {
        m_baseline = m_watcher->listing();
        m_watcher.reset();
    }
    if (SUCCEEDED(hr) && !isAdvised()) {
        m_contactsWatcher.reset();
    }
    return hr;
}

namespace {

// Whether the file is still what its row was read from: same flags, size and delivery time.
bool fileMatchesRow(const ListedFile& listed, const RowView& row)
{
    const std::optional<PropRef> flags = row.find(PR_MESSAGE_FLAGS);
    const std::optional<PropRef> attach = row.find(PR_HASATTACH);
    const std::optional<PropRef> size = row.find(PR_MESSAGE_SIZE);
    const std::optional<PropRef> time = row.find(PR_MESSAGE_DELIVERY_TIME);
    if (!flags || !size || !time) {
        return false;
    }
    const auto delivered = fileTimeFromUnix(listed.modified / 1000000000);
    return flags->number == messageFlags(listed.file.info, attach && attach->number != 0) &&
           size->number == listed.size && static_cast<std::uint64_t>(time->number) == delivered;
}

} // namespace

// The folder as the rows show it, for the first comparison: the listing of now without the
// files the rows lack (so they are reported added), a stand-in for each row whose file is gone
// (reported deleted), and any file that no longer matches its row marked as changed. Both the
// listing and m_keys are ordered by name, so one pass lines them up.
Listing ContentsTable::listingOfRows() const
{
    std::unordered_map<std::string_view, std::size_t> byKey;
    byKey.reserve(allRows().size());
    for (std::size_t i = 0; i < allRows().size(); ++i) {
        if (const std::optional<PropRef> key = allRows()[i].find(PR_INSTANCE_KEY)) {
            byKey.emplace(key->data, i);
        }
    }
    Listing listing = scanFolder(m_store->folderDirectory(m_folder));
    auto file = listing.begin();
    for (const auto& [name, key] : m_keys) {
        while (file != listing.end() && file->first < name) {
            file = listing.erase(file);
        }
        if (file == listing.end() || file->first != name) {
            listing.emplace_hint(file, name, ListedFile())->second.file.baseName = name;
            continue;
        }
        const auto row =
            byKey.find(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
        if (row == byKey.end() || !fileMatchesRow(file->second, allRows()[row->second])) {
            file->second.size = -1;
            file->second.modified = -1;
        }
        ++file;
    }
    listing.erase(file, listing.end());
    return listing;
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
        const auto it = m_keys.find(name);
        if (it != m_keys.end()) {
            removeRow(it->second);
            m_keys.erase(it);
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
    const auto it = m_keys.find(file.baseName);
    if (it != m_keys.end() && replaceRow(it->second, row)) {
        return;
    }
    const Key key = it != m_keys.end() ? it->second : newInstanceKey();
    m_keys[file.baseName] = key;
    putProp(&row, binaryProp(PR_INSTANCE_KEY, key));
    addRow(std::move(row));
}

void ContentsTable::reloadAll()
{
    reload(readRows());
}

} // namespace vntmapi
