// The rows of a table held compactly. A row is one block: a pointer to its layout (the tags of
// its values, in order), then one 8-byte slot per value. Numbers sit in their slot; the bytes
// of the values that name the row (entry id, instance key) follow the slots in the same block;
// every other text or binary is held once for all rows that share it (a sender, the folder's
// id, the message class) and the slot points to it. A large contents table takes a fraction
// of a vector of Props per row, and is freed with one block per row.
#pragma once

#include "Property.h"

#include <memory>
#include <optional>

namespace vntmapi {

class ValuePool;
struct Pooled;
struct RowBlock;

// One row of a PackedRows, valid until that row is changed or removed.
class RowView
{
public:
    explicit RowView(const RowBlock* block)
        : m_block(block)
    {}

    // The value answering `tag`, as findProp finds it in the unpacked row.
    std::optional<PropRef> find(ULONG tag) const;
    std::size_t count() const;
    PropRef at(std::size_t index) const;
    PropList unpack() const;

private:
    const RowBlock* m_block;
};

class PackedRows
{
public:
    PackedRows();
    ~PackedRows();
    PackedRows(PackedRows&& other) noexcept;
    PackedRows& operator=(PackedRows&& other) noexcept;
    PackedRows(const PackedRows&) = delete;
    PackedRows& operator=(const PackedRows&) = delete;

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    RowView operator[](std::size_t index) const { return RowView(m_rows[index].block); }

    void reserve(std::size_t count) { m_rows.reserve(count); }
    void append(const PropList& row);
    void append(std::span<const PropRef> row);
    void replace(std::size_t index, const PropList& row);
    void erase(std::size_t index);
    // Moves the row at `from` to `to`, the rows between shifting by one.
    void move(std::size_t from, std::size_t to);
    // Puts the rows in the order given: row i becomes the one that was at order[i].
    void reorder(const std::vector<std::uint32_t>& order);
    void clear();
    // The first row whose value of `tag` holds `bytes`; size() when none does. Quick for
    // PR_INSTANCE_KEY and PR_ENTRYID, which tables look rows up by.
    std::size_t indexOf(ULONG tag, std::string_view bytes) const;

private:
    RowBlock* pack(std::span<const PropRef> row);
    const Pooled* shared(const Pooled** recent, std::string_view bytes);
    void release(RowBlock* block);

    // Hashes of the values rows are looked up by: a lookup need not visit every block.
    struct Row
    {
        RowBlock* block;
        std::size_t keyHash; // of its PR_INSTANCE_KEY
        std::size_t idHash;  // of its PR_ENTRYID
    };

    std::unique_ptr<ValuePool> m_pool;
    std::vector<Row> m_rows;
    // The values of the last row packed, in its places, and its layout (each holding a
    // reference): rows made one after another mostly repeat them.
    std::vector<const Pooled*> m_recent;
    const Pooled* m_recentLayout = nullptr;
    std::vector<ULONG> m_tags; // scratch
};

// The value of `tag` in either form of row.
inline std::optional<PropRef> lookupProp(const PropList& row, ULONG tag)
{
    const Prop* prop = findProp(row, tag);
    return prop ? std::optional(refOf(*prop)) : std::nullopt;
}

inline std::optional<PropRef> lookupProp(const RowView& row, ULONG tag)
{
    return row.find(tag);
}

} // namespace vntmapi
