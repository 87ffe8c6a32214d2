#include "FolderIndex.h"

#include "Contacts.h"
#include "Maildir.h"
#include "SummaryIndex.h"
#include "SummaryRow.h"

#include <algorithm>
#include <glib/gstdio.h>
#include <unordered_map>

namespace vntmapi {

namespace {

// A file written again under the same name (a saved draft) has a new inode, though the file
// system may hand out a freed one again; one rewritten in place keeps it. Either way the
// change time moves, which no program can set back.
template<typename File>
bool isUnchanged(const File& file, std::uint64_t inode, const MessageSummary& indexed)
{
    return inode == file.inode && indexed.size == file.size && indexed.modified == file.modified &&
           indexed.changed == file.changed;
}

std::uint64_t inodeOf(const MessageFile& file)
{
    if (file.inode != 0) {
        return file.inode;
    }
    GStatBuf info;
    return g_stat(file.path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_ino) : 0;
}

// One folder being opened: the listed files, and the row of each once known.
class FolderScan
{
public:
    using Entry = std::pair<const std::string, KnownFile>;

    FolderScan(const MsgStore& store, const std::string& folder, const KeyFor& keyFor,
               ScanProgress* progress)
        : m_build(store, folder)
        , m_keyFor(keyFor)
        , m_folderDir(store.folderDirectory(folder))
        , m_state(FolderState::read(m_folderDir, true))
        , m_progress(progress)
    {
        if (m_progress) {
            m_progress->total = static_cast<std::uint32_t>(m_state.files.size());
        }
        std::uint32_t places = 0;
        for (const Entry& entry : m_state.files) {
            places = std::max(places, entry.second.listed + 1);
        }
        m_listed.resize(places, nullptr);
        for (Entry& entry : m_state.files) {
            m_listed[entry.second.listed] = &entry;
        }
        m_packed.resize(places, kNone);
    }

    // Takes the rows the index knows; false when the index could not be read to the end.
    bool takeKnown(SummaryIndex* index)
    {
        return index->forEach(
            [this](std::string_view name, std::uint64_t inode, MessageSummary& summary) {
                const auto found = m_state.files.find(name);
                if (found == m_state.files.end()) {
                    m_gone.emplace_back(name);
                    return;
                }
                const KnownFile& file = found->second;
                if (!isUnchanged(file, inode, summary) || m_packed[file.listed] != kNone) {
                    return;
                }
                summary.flags = messageFlags(infoOf(file), summary.hasAttachments);
                pack(*found, summary);
            });
    }

    void forgetKnown()
    {
        std::fill(m_packed.begin(), m_packed.end(), kNone);
        m_rows.clear();
        m_gone.clear();
        if (m_progress) {
            m_progress->done = 0;
        }
    }

    bool stopped() const { return m_progress && m_progress->stop; }

    // Parses what the index did not know, then brings the index up to date in one short
    // transaction: parsing a large folder must not keep another opener waiting for the lock.
    void parseRest(SummaryIndex* index)
    {
        std::vector<std::pair<const Entry*, MessageSummary>> parsed;
        for (const Entry* entry : pendingByName()) {
            if (stopped()) {
                return;
            }
            MessageSummary summary;
            if (!readMessage(messageFile(m_folderDir, entry->first, entry->second), &summary,
                             nullptr)) {
                continue;
            }
            pack(*entry, summary);
            if (index) {
                parsed.emplace_back(entry, std::move(summary));
            }
        }
        if (!index || (parsed.empty() && m_gone.empty())) {
            return;
        }
        index->begin();
        for (const auto& [entry, summary] : parsed) {
            index->put(entry->first, inodeOf(messageFile(m_folderDir, entry->first, entry->second)),
                       summary);
        }
        for (const std::string& name : m_gone) {
            index->remove(name);
        }
        index->commit();
    }

    // The rows in the order their files were listed.
    PackedRows takeRows()
    {
        std::vector<std::uint32_t> order;
        order.reserve(m_rows.size());
        for (std::uint32_t at : m_packed) {
            if (at != kNone) {
                order.push_back(at);
            }
        }
        m_rows.reorder(order);
        return std::move(m_rows);
    }

    FolderState takeState()
    {
        m_listed.clear();
        return std::move(m_state);
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    static std::string_view infoOf(const KnownFile& file)
    {
        return std::string_view(file.tail).substr(std::min<std::size_t>(3, file.tail.size()));
    }

    // Rows are packed as they are made, in whatever order the index gives them: a large folder
    // never holds them all unpacked.
    void pack(const Entry& entry, const MessageSummary& summary)
    {
        const std::vector<PropRef>& values = m_build.values(entry.first, summary);
        const std::vector<BYTE> bytes = m_keyFor(entry.first);
        m_key.assign(bytes.begin(), bytes.end());
        m_values.assign(values.begin(), values.end());
        m_values.push_back({PR_INSTANCE_KEY, 0, m_key});
        m_packed[entry.second.listed] = static_cast<std::uint32_t>(m_rows.size());
        m_rows.append(m_values);
        if (m_progress) {
            m_progress->done.fetch_add(1, std::memory_order_relaxed);
        }
    }

    // Inserting in key order keeps the index's B-tree from splitting pages all over (and from
    // spilling them to the log more than once): a cold 100,000-message index writes in a
    // fraction of the time.
    std::vector<const Entry*> pendingByName() const
    {
        std::vector<const Entry*> pending;
        for (std::size_t i = 0; i < m_listed.size(); ++i) {
            if (m_listed[i] && m_packed[i] == kNone) {
                pending.push_back(m_listed[i]);
            }
        }
        std::sort(pending.begin(), pending.end(),
                  [](const Entry* a, const Entry* b) { return a->first < b->first; });
        return pending;
    }

    SummaryRowBuilder m_build;
    const KeyFor& m_keyFor;
    std::string m_folderDir;
    FolderState m_state;
    std::vector<Entry*> m_listed;        // each message by its place in the listing
    std::vector<std::uint32_t> m_packed; // where its row is in m_rows, if it has one yet
    PackedRows m_rows;
    std::vector<PropRef> m_values; // scratch
    std::string m_key;
    std::vector<std::string> m_gone;
    ScanProgress* m_progress;
};

} // namespace

namespace {

PackedRows packedContacts(const MsgStore& store, const KeyFor& keyFor)
{
    PackedRows packed;
    for (PropList& row : contactRows(store)) {
        EntryRef ref;
        const Prop* id = findProp(row, PR_ENTRYID);
        if (!id || !decodeEntryId(id->data.data(), static_cast<ULONG>(id->data.size()), &ref)) {
            ref.message.clear();
        }
        row.push_back(binaryProp(PR_INSTANCE_KEY, keyFor(ref.message)));
        packed.append(row);
    }
    return packed;
}

} // namespace

PackedRows contentsRows(const MsgStore& store, const std::string& folder, const KeyFor& keyFor,
                        FolderState* state, ScanProgress* progress)
{
    if (folder == kSubtreeFolder) {
        return {};
    }
    if (folder == kContactsFolder) {
        return packedContacts(store, keyFor);
    }
    FolderScan scan(store, folder, keyFor, progress);
    std::unique_ptr<SummaryIndex> index =
        SummaryIndex::open(store.config().key, store.folderDirectory(folder));
    if (index && !scan.takeKnown(index.get())) {
        scan.forgetKnown(); // damaged part way: start it again from the files
        if (!index->rebuild()) {
            index.reset();
        }
    }
    scan.parseRest(index.get());
    PackedRows rows = scan.takeRows();
    if (state) {
        *state = scan.takeState();
    }
    return rows;
}

std::vector<std::optional<PropList>> contentsRowsOf(const MsgStore& store,
                                                    const std::string& folder,
                                                    const std::vector<MessageFile>& files)
{
    std::vector<std::optional<PropList>> rows(files.size());
    if (files.empty()) {
        return rows;
    }
    std::unique_ptr<SummaryIndex> index =
        SummaryIndex::open(store.config().key, store.folderDirectory(folder));
    struct Entry
    {
        std::string name;
        std::uint64_t inode;
        MessageSummary summary;
    };
    std::vector<Entry> changed; // written together once the files are read
    SummaryRowBuilder build(store, folder);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const MessageFile& file = files[i];
        // One stat: the index must not give a row for a file that is gone, and a caller's
        // file may come without its inode, size or time.
        GStatBuf info;
        if (g_stat(file.path.c_str(), &info) != 0) {
            continue;
        }
        MessageFile now = file;
        now.inode = static_cast<std::uint64_t>(info.st_ino);
        now.size = static_cast<std::int64_t>(info.st_size);
        now.modified = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        now.changed = std::int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
        MessageSummary summary;
        std::uint64_t known = 0;
        const bool indexed = index && index->find(file.baseName, &known, &summary) &&
                             isUnchanged(now, known, summary);
        if (!indexed && !readMessage(file, &summary, nullptr)) {
            continue;
        }
        if (index && !indexed) {
            changed.push_back({file.baseName, now.inode, summary});
        }
        summary.flags = messageFlags(file.info, summary.hasAttachments);
        rows[i] = build(file, std::move(summary));
    }
    if (index && !changed.empty()) {
        index->begin();
        for (const Entry& entry : changed) {
            index->put(entry.name, entry.inode, entry.summary);
        }
        index->commit();
    }
    return rows;
}

} // namespace vntmapi
