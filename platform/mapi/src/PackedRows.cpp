#include "PackedRows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>

namespace vntmapi {

// Bytes shared by rows: a text, a binary or a layout (its tags). Counted, and NUL-terminated
// like a std::string's.
struct Pooled
{
    std::uint32_t refs = 0;
    std::uint32_t size = 0;

    const char* bytes() const { return reinterpret_cast<const char*>(this + 1); }
    char* bytes() { return reinterpret_cast<char*>(this + 1); }
    std::string_view view() const { return {bytes(), size}; }
};

struct RowBlock
{
    const Pooled* layout = nullptr;

    std::size_t count() const { return layout->size / sizeof(ULONG); }
    ULONG tag(std::size_t index) const
    {
        ULONG tag = 0;
        std::memcpy(&tag, layout->bytes() + index * sizeof(ULONG), sizeof tag);
        return tag;
    }
    const std::int64_t* slots() const { return reinterpret_cast<const std::int64_t*>(this + 1); }
    std::int64_t* slots() { return reinterpret_cast<std::int64_t*>(this + 1); }
};

static_assert(sizeof(Pooled) == 8 && sizeof(RowBlock) == 8);

class ValuePool
{
public:
    ValuePool() = default;
    ValuePool(const ValuePool&) = delete;
    ValuePool& operator=(const ValuePool&) = delete;
    ~ValuePool()
    {
        for (Pooled* value : m_values) {
            ::operator delete(value);
        }
    }

    // The shared copy of `bytes`, with one more reference.
    const Pooled* acquire(std::string_view bytes)
    {
        const auto it = m_values.find(bytes);
        if (it != m_values.end()) {
            ++(*it)->refs;
            return *it;
        }
        auto* value = static_cast<Pooled*>(::operator new(sizeof(Pooled) + bytes.size() + 1));
        value->refs = 1;
        value->size = static_cast<std::uint32_t>(bytes.size());
        std::memcpy(value->bytes(), bytes.data(), bytes.size());
        value->bytes()[bytes.size()] = '\0';
        m_values.insert(value);
        return value;
    }

    // One more reference to a value held already.
    const Pooled* share(const Pooled* value)
    {
        ++const_cast<Pooled*>(value)->refs;
        return value;
    }

    void release(const Pooled* value)
    {
        if (--const_cast<Pooled*>(value)->refs > 0) {
            return;
        }
        m_values.erase(m_values.find(value->view()));
        ::operator delete(const_cast<Pooled*>(value));
    }

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view bytes) const
        {
            return std::hash<std::string_view>()(bytes);
        }
        std::size_t operator()(const Pooled* value) const { return (*this)(value->view()); }
    };
    struct Equal
    {
        using is_transparent = void;
        static std::string_view viewOf(std::string_view bytes) { return bytes; }
        static std::string_view viewOf(const Pooled* value) { return value->view(); }
        template<typename A, typename B>
        bool operator()(const A& a, const B& b) const
        {
            return viewOf(a) == viewOf(b);
        }
    };

    std::unordered_set<Pooled*, Hash, Equal> m_values;
};

namespace {

// The values that name their row are its own; sharing them would only cost.
bool heldInRow(ULONG tag)
{
    return PROP_ID(tag) == PROP_ID(PR_ENTRYID) || PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY);
}

constexpr std::string_view kEmpty("", 0);

} // namespace

std::size_t RowView::count() const
{
    return m_block->count();
}

PropRef RowView::at(std::size_t index) const
{
    const ULONG tag = m_block->tag(index);
    const std::int64_t slot = m_block->slots()[index];
    if (!holdsBytes(PROP_TYPE(tag))) {
        return {tag, slot, kEmpty};
    }
    if (heldInRow(tag)) {
        const auto offset = static_cast<std::size_t>(static_cast<std::uint64_t>(slot) >> 32);
        const auto size = static_cast<std::size_t>(slot & 0xFFFFFFFF);
        return {tag, 0, {reinterpret_cast<const char*>(m_block) + offset, size}};
    }
    return {tag, 0, reinterpret_cast<const Pooled*>(slot)->view()};
}

std::optional<PropRef> RowView::find(ULONG tag) const
{
    const std::size_t n = count();
    for (std::size_t i = 0; i < n; ++i) {
        const ULONG have = m_block->tag(i);
        if (PROP_ID(have) == PROP_ID(tag) && typesMatch(PROP_TYPE(have), PROP_TYPE(tag))) {
            return at(i);
        }
    }
    return std::nullopt;
}

PropList RowView::unpack() const
{
    std::vector<PropRef> values(count());
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = at(i);
    }
    return propsOf(values);
}

PackedRows::PackedRows() = default;

PackedRows::~PackedRows()
{
    clear();
}

PackedRows::PackedRows(PackedRows&& other) noexcept
    : m_pool(std::move(other.m_pool))
    , m_rows(std::move(other.m_rows))
    , m_recent(std::move(other.m_recent))
    , m_recentLayout(std::exchange(other.m_recentLayout, nullptr))
{
    other.m_rows.clear();
    other.m_recent.clear();
}

PackedRows& PackedRows::operator=(PackedRows&& other) noexcept
{
    if (this != &other) {
        clear();
        m_pool = std::move(other.m_pool);
        m_rows = std::move(other.m_rows);
        m_recent = std::move(other.m_recent);
        m_recentLayout = std::exchange(other.m_recentLayout, nullptr);
        other.m_rows.clear();
        other.m_recent.clear();
    }
    return *this;
}

// `bytes` from the pool, compared first with the value `recent` holds (and kept there).
const Pooled* PackedRows::shared(const Pooled** recent, std::string_view bytes)
{
    if (!*recent || (*recent)->view() != bytes) {
        const Pooled* value = m_pool->acquire(bytes);
        if (*recent) {
            m_pool->release(*recent);
        }
        *recent = value;
    }
    return m_pool->share(*recent);
}

RowBlock* PackedRows::pack(std::span<const PropRef> row)
{
    if (!m_pool) {
        m_pool = std::make_unique<ValuePool>();
    }
    m_tags.resize(row.size());
    std::size_t own = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
        m_tags[i] = row[i].tag;
        if (holdsBytes(PROP_TYPE(row[i].tag)) && heldInRow(row[i].tag)) {
            own += row[i].data.size() + 1;
        }
    }
    if (m_recent.size() < row.size()) {
        m_recent.resize(row.size(), nullptr);
    }
    const std::size_t slotBytes = row.size() * sizeof(std::int64_t);
    auto* block = static_cast<RowBlock*>(::operator new(sizeof(RowBlock) + slotBytes + own));
    block->layout = shared(&m_recentLayout, {reinterpret_cast<const char*>(m_tags.data()),
                                             m_tags.size() * sizeof(ULONG)});
    std::int64_t* slots = block->slots();
    char* next = reinterpret_cast<char*>(slots) + slotBytes;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const PropRef& value = row[i];
        if (!holdsBytes(PROP_TYPE(value.tag))) {
            slots[i] = value.number;
        } else if (heldInRow(value.tag)) {
            std::memcpy(next, value.data.data(), value.data.size());
            next[value.data.size()] = '\0';
            const auto offset = static_cast<std::uint64_t>(next - reinterpret_cast<char*>(block));
            slots[i] = static_cast<std::int64_t>((offset << 32) | value.data.size());
            next += value.data.size() + 1;
        } else {
            slots[i] = static_cast<std::int64_t>(
                reinterpret_cast<std::uintptr_t>(shared(&m_recent[i], value.data)));
        }
    }
    return block;
}

void PackedRows::release(RowBlock* block)
{
    const std::size_t n = block->count();
    for (std::size_t i = 0; i < n; ++i) {
        const ULONG tag = block->tag(i);
        if (holdsBytes(PROP_TYPE(tag)) && !heldInRow(tag)) {
            m_pool->release(reinterpret_cast<const Pooled*>(block->slots()[i]));
        }
    }
    m_pool->release(block->layout);
    ::operator delete(block);
}

namespace {

std::size_t hashOf(const RowBlock* block, ULONG tag)
{
    const std::optional<PropRef> value = RowView(block).find(tag);
    return std::hash<std::string_view>()(value ? value->data : std::string_view());
}

std::vector<PropRef> refsOf(const PropList& row)
{
    std::vector<PropRef> values(row.size());
    std::transform(row.begin(), row.end(), values.begin(), refOf);
    return values;
}

} // namespace

void PackedRows::append(const PropList& row)
{
    append(refsOf(row));
}

void PackedRows::append(std::span<const PropRef> row)
{
    RowBlock* block = pack(row);
    m_rows.push_back({block, hashOf(block, PR_INSTANCE_KEY), hashOf(block, PR_ENTRYID)});
}

void PackedRows::replace(std::size_t index, const PropList& row)
{
    // Packed before the old row goes, so that the values both share stay in the pool.
    RowBlock* block = pack(refsOf(row));
    const Row packed{block, hashOf(block, PR_INSTANCE_KEY), hashOf(block, PR_ENTRYID)};
    release(std::exchange(m_rows[index], packed).block);
}

void PackedRows::erase(std::size_t index)
{
    release(m_rows[index].block);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
}

void PackedRows::move(std::size_t from, std::size_t to)
{
    const auto at = [this](std::size_t i) {
        return m_rows.begin() + static_cast<std::ptrdiff_t>(i);
    };
    if (from < to) {
        std::rotate(at(from), at(from + 1), at(to + 1));
    } else if (to < from) {
        std::rotate(at(to), at(from), at(from + 1));
    }
}

void PackedRows::reorder(const std::vector<std::uint32_t>& order)
{
    std::vector<Row> rows(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        rows[i] = m_rows[order[i]];
    }
    m_rows = std::move(rows);
}

std::size_t PackedRows::indexOf(ULONG tag, std::string_view bytes) const
{
    const bool byKey = tag == PR_INSTANCE_KEY;
    const bool byId = tag == PR_ENTRYID;
    const std::size_t hash = std::hash<std::string_view>()(bytes);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if ((byKey && m_rows[i].keyHash != hash) || (byId && m_rows[i].idHash != hash)) {
            continue;
        }
        const std::optional<PropRef> value = RowView(m_rows[i].block).find(tag);
        if (value && value->data == bytes) {
            return i;
        }
    }
    return m_rows.size();
}

void PackedRows::clear()
{
    // The pool goes with the rows: its values are freed together, not looked up one by one.
    for (const Row& row : m_rows) {
        ::operator delete(row.block);
    }
    m_rows.clear();
    m_recent.clear();
    m_recentLayout = nullptr;
    m_pool.reset();
}

} // namespace vntmapi
