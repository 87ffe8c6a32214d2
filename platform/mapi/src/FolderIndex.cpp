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

// Looks names up by string_view, without a std::string per index entry.
struct NameHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const
    {
        return std::hash<std::string_view>()(name);
    }
};

// A file written again under the same name (a saved draft) has a new inode, though the file
// system may hand out a freed one again; one rewritten in place keeps it. Either way the
// change time moves, which no program can set back.
bool isUnchanged(const MessageFile& file, std::uint64_t inode, const MessageSummary& indexed)
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
    FolderScan(const MsgStore& store, const std::string& folder, const KeyFor& keyFor)
        : m_build(store, folder)
        , m_keyFor(keyFor)
        , m_files(listMessages(store.folderDirectory(folder), ListDetail::WithStat))
        , m_packed(m_files.size(), kNone)
    {
        m_slots.reserve(m_files.size());
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            m_slots.emplace(m_files[i].baseName, i);
        }
    }

    // Takes the rows the index knows; false when the index could not be read to the end.
    bool takeKnown(SummaryIndex* index)
    {
        return index->forEach(
            [this](std::string_view name, std::uint64_t inode, MessageSummary&& summary) {
                const auto slot = m_slots.find(name);
                if (slot == m_slots.end()) {
                    m_gone.emplace_back(name);
                    return;
                }
                const MessageFile& file = m_files[slot->second];
                if (!isUnchanged(file, inode, summary) || m_packed[slot->second] != kNone) {
                    return;
                }
                summary.flags = messageFlags(file.info, summary.hasAttachments);
                pack(slot->second, std::move(summary));
            });
    }

    void forgetKnown()
    {
        std::fill(m_packed.begin(), m_packed.end(), kNone);
        m_rows.clear();
        m_gone.clear();
    }

    // Parses what the index did not know, then brings the index up to date in one short
    // transaction: parsing a large folder must not keep another opener waiting for the lock.
    void parseRest(SummaryIndex* index)
    {
        std::vector<std::pair<std::size_t, MessageSummary>> parsed;
        for (std::size_t i : pendingByName()) {
            MessageSummary summary;
            if (!readMessage(m_files[i], &summary, nullptr)) {
                continue;
            }
            pack(i, summary);
            if (index) {
                parsed.emplace_back(i, std::move(summary));
            }
        }
        if (!index || (parsed.empty() && m_gone.empty())) {
            return;
        }
        index->begin();
        for (const auto& [i, summary] : parsed) {
            index->put(m_files[i].baseName, inodeOf(m_files[i]), summary);
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

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    // Rows are packed as they are made, in whatever order the index gives them: a large folder
    // never holds them all unpacked.
    void pack(std::size_t slot, MessageSummary summary)
    {
        PropList row = m_build(m_files[slot], std::move(summary));
        row.push_back(binaryProp(PR_INSTANCE_KEY, m_keyFor(m_files[slot].baseName)));
        m_packed[slot] = static_cast<std::uint32_t>(m_rows.size());
        m_rows.append(row);
    }

    // Inserting in key order keeps the index's B-tree from splitting pages all over (and from
    // spilling them to the log more than once): a cold 100,000-message index writes in a
    // fraction of the time.
    std::vector<std::size_t> pendingByName() const
    {
        std::vector<std::size_t> pending;
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            if (m_packed[i] == kNone) {
                pending.push_back(i);
            }
        }
        std::sort(pending.begin(), pending.end(), [this](std::size_t a, std::size_t b) {
            return m_files[a].baseName < m_files[b].baseName;
        });
        return pending;
    }

    SummaryRowBuilder m_build;
    const KeyFor& m_keyFor;
    std::vector<MessageFile> m_files;
    std::vector<std::uint32_t> m_packed; // where each file's row is in m_rows, if it has one
    PackedRows m_rows;
    std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> m_slots;
    std::vector<std::string> m_gone;
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

PackedRows contentsRows(const MsgStore& store, const std::string& folder, const KeyFor& keyFor)
{
    if (folder == kSubtreeFolder) {
        return {};
    }
    if (folder == kContactsFolder) {
        return packedContacts(store, keyFor);
    }
    FolderScan scan(store, folder, keyFor);
    std::unique_ptr<SummaryIndex> index =
        SummaryIndex::open(store.config().key, store.folderDirectory(folder));
    if (index && !scan.takeKnown(index.get())) {
        scan.forgetKnown(); // damaged part way: start it again from the files
        if (!index->rebuild()) {
            index.reset();
        }
    }
    scan.parseRest(index.get());
    return scan.takeRows();
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
