#include "MemoryTable.h"

#include "Restriction.h"
#include "vntmapi/MapiEntryPoints.h"

#include <algorithm>
#include <cstring>
#include <glib.h>
#include <numeric>

namespace vntmapi {

namespace {

std::vector<BYTE> instanceKey(std::uint32_t index)
{
    std::vector<BYTE> key(4);
    std::memcpy(key.data(), &index, 4);
    return key;
}

// Both texts are followed by a NUL (see PropRef).
int compareText(std::string_view a, std::string_view b)
{
    gchar* fa = g_utf8_casefold(a.data(), -1);
    gchar* fb = g_utf8_casefold(b.data(), -1);
    const int result = g_utf8_collate(fa, fb);
    g_free(fa);
    g_free(fb);
    return result;
}

template<typename T>
int threeWay(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

void* moreMemory(std::size_t size, void* owner)
{
    void* block = nullptr;
    return MAPIAllocateMore(static_cast<ULONG>(size), owner, &block) == S_OK ? block : nullptr;
}

// Deep copies of a restriction's values and nodes, all attached to `owner`.
bool copyValue(const SPropValue* in, void* owner, LPSPropValue* out)
{
    *out = nullptr;
    if (!in) {
        return true;
    }
    auto* value = static_cast<LPSPropValue>(moreMemory(sizeof(SPropValue), owner));
    if (!value) {
        return false;
    }
    *value = *in;
    *out = value;
    const ULONG type = PROP_TYPE(in->ulPropTag);
    if ((type == PT_STRING8 || type == PT_UNICODE) && in->Value.lpszA) {
        const std::size_t size = std::strlen(in->Value.lpszA) + 1;
        value->Value.lpszA = static_cast<char*>(moreMemory(size, owner));
        return value->Value.lpszA && std::memcpy(value->Value.lpszA, in->Value.lpszA, size);
    }
    if (type == PT_BINARY && in->Value.bin.cb) {
        value->Value.bin.lpb = static_cast<LPBYTE>(moreMemory(in->Value.bin.cb, owner));
        return value->Value.bin.lpb &&
               std::memcpy(value->Value.bin.lpb, in->Value.bin.lpb, in->Value.bin.cb);
    }
    return true;
}

bool copyNode(const SRestriction& in, void* owner, SRestriction* out);

bool copyNodes(const SRestriction* in, ULONG count, void* owner, LPSRestriction* out)
{
    *out = nullptr;
    if (!in || count == 0) {
        return true;
    }
    *out = static_cast<LPSRestriction>(moreMemory(sizeof(SRestriction) * count, owner));
    if (!*out) {
        return false;
    }
    for (ULONG i = 0; i < count; ++i) {
        if (!copyNode(in[i], owner, &(*out)[i])) {
            return false;
        }
    }
    return true;
}

bool copyNode(const SRestriction& in, void* owner, SRestriction* out)
{
    *out = in;
    switch (in.rt) {
    case RES_AND:
    case RES_OR:
        return copyNodes(in.res.resAnd.lpRes, in.res.resAnd.cRes, owner, &out->res.resAnd.lpRes);
    case RES_NOT:
        return copyNodes(in.res.resNot.lpRes, 1, owner, &out->res.resNot.lpRes);
    case RES_SUBRESTRICTION:
        return copyNodes(in.res.resSub.lpRes, 1, owner, &out->res.resSub.lpRes);
    case RES_CONTENT:
        return copyValue(in.res.resContent.lpProp, owner, &out->res.resContent.lpProp);
    case RES_PROPERTY:
        return copyValue(in.res.resProperty.lpProp, owner, &out->res.resProperty.lpProp);
    default:
        return true; // no pointers
    }
}

SRestriction* copyRestriction(const SRestriction& in)
{
    void* root = nullptr;
    if (MAPIAllocateBuffer(sizeof(SRestriction), &root) != S_OK) {
        return nullptr;
    }
    auto* copy = static_cast<SRestriction*>(root);
    if (!copyNode(in, root, copy)) {
        MAPIFreeBuffer(root);
        return nullptr;
    }
    return copy;
}

// A row's value for one sort key, taken out before sorting: numbers compare without a trip to
// the row, and text by a collation key made once instead of being folded at every comparison.
struct SortValue
{
    std::optional<PropRef> prop;
    std::int64_t number = 0;
    std::uint32_t collated = 0; // index of the text's collation key
};

SortValue sortValue(const std::optional<PropRef>& prop, std::vector<std::string>* collated)
{
    SortValue value{prop, prop ? prop->number : 0, 0};
    const ULONG type = prop ? PROP_TYPE(prop->tag) : PT_NULL;
    if (type == PT_STRING8 || type == PT_UNICODE) {
        gchar* folded = g_utf8_casefold(prop->data.data(), -1);
        gchar* key = g_utf8_collate_key(folded, -1);
        value.collated = static_cast<std::uint32_t>(collated->size());
        collated->emplace_back(key);
        g_free(key);
        g_free(folded);
    }
    return value;
}

int compareSortValues(const SortValue& a, const SortValue& b,
                      const std::vector<std::string>& collated)
{
    if (!a.prop || !b.prop) {
        return threeWay(a.prop.has_value(), b.prop.has_value());
    }
    switch (PROP_TYPE(a.prop->tag)) {
    case PT_STRING8:
    case PT_UNICODE:
        return threeWay(collated[a.collated].compare(collated[b.collated]), 0);
    case PT_BINARY:
        return compareProps(&*a.prop, &*b.prop);
    case PT_SYSTIME:
        return threeWay(static_cast<std::uint64_t>(a.number), static_cast<std::uint64_t>(b.number));
    default:
        return threeWay(a.number, b.number);
    }
}

} // namespace

void MemoryTable::FreeRestriction::operator()(SRestriction* r) const
{
    MAPIFreeBuffer(r);
}

int compareProps(const PropRef* a, const PropRef* b)
{
    if (!a || !b) {
        return threeWay(a != nullptr, b != nullptr);
    }
    switch (PROP_TYPE(a->tag)) {
    case PT_STRING8:
    case PT_UNICODE:
        return compareText(a->data, b->data);
    case PT_BINARY:
        return threeWay(a->data, b->data); // compares as unsigned bytes
    case PT_SYSTIME:
        return threeWay(static_cast<std::uint64_t>(a->number),
                        static_cast<std::uint64_t>(b->number));
    default:
        return threeWay(a->number, b->number);
    }
}

MemoryTable::MemoryTable(std::vector<PropList> rows, std::vector<ULONG> columns)
    : m_columns(std::move(columns))
{
    m_allRows.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!findProp(rows[i], PR_INSTANCE_KEY)) {
            rows[i].push_back(
                binaryProp(PR_INSTANCE_KEY, instanceKey(static_cast<std::uint32_t>(i + 1))));
        }
        m_allRows.append(rows[i]);
        rows[i] = PropList();
    }
    m_nextKey = static_cast<std::uint32_t>(m_allRows.size() + 1);
    selectVisible();
}

MemoryTable::MemoryTable(std::vector<ULONG> columns)
    : m_columns(std::move(columns))
{}

HRESULT MemoryTable::Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink, ULONG* lpulConnection)
{
    settle();
    return m_advise.add(ulEventMask, lpAdviseSink, std::string(), lpulConnection);
}

HRESULT MemoryTable::Unadvise(ULONG ulConnection)
{
    settle();
    return m_advise.remove(ulConnection);
}

HRESULT MemoryTable::SetColumns(LPSPropTagArray lpPropTagArray, ULONG)
{
    settle();
    if (!lpPropTagArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    m_columns.assign(lpPropTagArray->aulPropTag,
                     lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
    notify(TABLE_SETCOL_DONE);
    return S_OK;
}

HRESULT MemoryTable::QueryColumns(ULONG, LPSPropTagArray* lppPropTagArray)
{
    settle();
    if (!lppPropTagArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const auto n = static_cast<ULONG>(m_columns.size());
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(n)), &buffer) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* tags = static_cast<LPSPropTagArray>(buffer);
    tags->cValues = n;
    std::copy(m_columns.begin(), m_columns.end(), tags->aulPropTag);
    *lppPropTagArray = tags;
    return S_OK;
}

HRESULT MemoryTable::GetRowCount(ULONG, ULONG* lpulCount)
{
    settle();
    if (!lpulCount) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulCount = static_cast<ULONG>(m_visible.size());
    return S_OK;
}

HRESULT MemoryTable::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought)
{
    settle();
    std::int64_t start = 0;
    if (bkOrigin == BOOKMARK_CURRENT) {
        start = static_cast<std::int64_t>(m_cursor);
    } else if (bkOrigin == BOOKMARK_END) {
        start = static_cast<std::int64_t>(m_visible.size());
    } else if (bkOrigin != BOOKMARK_BEGINNING) {
        return MAPI_E_INVALID_BOOKMARK;
    }
    const std::int64_t target =
        std::clamp<std::int64_t>(start + lRowCount, 0, static_cast<std::int64_t>(m_visible.size()));
    m_cursor = static_cast<std::size_t>(target);
    if (lplRowsSought) {
        *lplRowsSought = static_cast<LONG>(target - start);
    }
    return S_OK;
}

HRESULT MemoryTable::QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator)
{
    settle();
    if (!lpulRow || !lpulNumerator || !lpulDenominator) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulRow = static_cast<ULONG>(m_cursor);
    *lpulNumerator = static_cast<ULONG>(m_cursor);
    *lpulDenominator = static_cast<ULONG>(std::max<std::size_t>(m_visible.size(), 1));
    return S_OK;
}

HRESULT MemoryTable::Restrict(LPSRestriction lpRestriction, ULONG)
{
    settle();
    std::unique_ptr<SRestriction, FreeRestriction> copy;
    if (lpRestriction) {
        const HRESULT hr = checkRestriction(*lpRestriction);
        if (FAILED(hr)) {
            return hr;
        }
        // The caller may free its restriction on return; rows added later still need it.
        copy.reset(copyRestriction(*lpRestriction));
        if (!copy) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }
    m_restriction = std::move(copy);
    selectVisible();
    m_cursor = 0;
    notify(TABLE_RESTRICT_DONE);
    return S_OK;
}

HRESULT MemoryTable::SortTable(LPSSortOrderSet lpSortCriteria, ULONG)
{
    settle();
    if (!lpSortCriteria) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (lpSortCriteria->cCategories != 0) {
        return MAPI_E_TOO_COMPLEX;
    }
    std::vector<SSortOrder> keys(lpSortCriteria->aSort,
                                 lpSortCriteria->aSort + lpSortCriteria->cSorts);
    for (const SSortOrder& key : keys) {
        if (key.ulOrder != TABLE_SORT_ASCEND && key.ulOrder != TABLE_SORT_DESCEND) {
            return MAPI_E_INVALID_PARAMETER;
        }
    }
    m_sortKeys = std::move(keys);
    sortAllRows();
    m_cursor = 0;
    notify(TABLE_SORT_DONE);
    return S_OK;
}

bool MemoryTable::rowBefore(const RowView& a, const RowView& b) const
{
    for (const SSortOrder& key : m_sortKeys) {
        const std::optional<PropRef> va = a.find(key.ulPropTag);
        const std::optional<PropRef> vb = b.find(key.ulPropTag);
        int order = compareProps(va ? &*va : nullptr, vb ? &*vb : nullptr);
        if (key.ulOrder == TABLE_SORT_DESCEND) {
            order = -order;
        }
        if (order != 0) {
            return order < 0;
        }
    }
    return false;
}

void MemoryTable::sortAllRows()
{
    if (m_sortKeys.empty()) {
        return; // every row is equal: a stable sort keeps them as they are
    }
    // Each row's sort values are looked up once, not at every comparison.
    const std::size_t width = m_sortKeys.size();
    const std::size_t n = m_allRows.size();
    std::vector<SortValue> values(n * width);
    std::vector<std::string> collated;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < width; ++k) {
            values[i * width + k] =
                sortValue(m_allRows[i].find(m_sortKeys[k].ulPropTag), &collated);
        }
    }
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        for (std::size_t k = 0; k < width; ++k) {
            const int c = compareSortValues(values[a * width + k], values[b * width + k], collated);
            if (c != 0) {
                return m_sortKeys[k].ulOrder == TABLE_SORT_DESCEND ? c > 0 : c < 0;
            }
        }
        return false;
    });
    std::vector<bool> wasVisible(n, false);
    for (std::uint32_t i : m_visible) {
        wasVisible[i] = true;
    }
    m_visible.clear();
    for (std::size_t i = 0; i < n; ++i) {
        if (wasVisible[order[i]]) {
            m_visible.push_back(static_cast<std::uint32_t>(i));
        }
    }
    m_allRows.reorder(order);
}

// One block for the row's values and one attached to it for all their strings and binaries:
// a client reading a large table frees row by row, and a block per string costs as much again.
HRESULT MemoryTable::buildRow(const RowView& row, SRow* out) const
{
    const auto n = static_cast<ULONG>(m_columns.size());
    std::vector<std::optional<PropRef>> found(n);
    std::size_t extra = 0;
    for (ULONG i = 0; i < n; ++i) {
        found[i] = row.find(m_columns[i]);
        extra += propValueExtra(found[i] ? &*found[i] : nullptr);
    }
    LPSPropValue values = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * (n ? n : 1)),
                           reinterpret_cast<void**>(&values)) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    void* pool = nullptr;
    if (extra > 0 && MAPIAllocateMore(static_cast<ULONG>(extra), values, &pool) != S_OK) {
        MAPIFreeBuffer(values);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    char* next = static_cast<char*>(pool);
    for (ULONG i = 0; i < n; ++i) {
        copyPropValueInto(found[i] ? &*found[i] : nullptr, m_columns[i], &next, &values[i]);
    }
    out->ulAdrEntryPad = 0;
    out->cValues = n;
    out->lpProps = values;
    return S_OK;
}

HRESULT MemoryTable::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows)
{
    settle();
    if (!lppRows || lRowCount == 0) {
        return MAPI_E_INVALID_PARAMETER;
    }
    // A negative count reads backwards from the cursor; rows still come in table order.
    const std::size_t first =
        lRowCount > 0
            ? m_cursor
            : m_cursor - std::min<std::size_t>(m_cursor, -static_cast<std::int64_t>(lRowCount));
    const std::size_t last =
        lRowCount > 0 ? std::min(m_visible.size(), m_cursor + static_cast<std::size_t>(lRowCount))
                      : m_cursor;
    const auto n = static_cast<ULONG>(last - first);
    LPSRowSet rows = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(n ? n : 1)),
                           reinterpret_cast<void**>(&rows)) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    SRow* out = rows->aRow;
    rows->cRows = 0;
    for (ULONG i = 0; i < n; ++i) {
        if (FAILED(buildRow(visibleRow(first + i), out + i))) {
            for (ULONG j = 0; j < i; ++j) {
                MAPIFreeBuffer(out[j].lpProps);
            }
            MAPIFreeBuffer(rows);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        rows->cRows = i + 1;
    }
    if (!(ulFlags & TBL_NOADVANCE)) {
        m_cursor = lRowCount > 0 ? last : first;
    }
    *lppRows = rows;
    return S_OK;
}

HRESULT MemoryTable::Abort()
{
    return S_OK; // nothing runs in the background
}

HRESULT MemoryTable::WaitForCompletion(ULONG, ULONG, ULONG* lpulTableStatus)
{
    if (lpulTableStatus) {
        *lpulTableStatus = 0; // complete: every operation finishes before it returns
    }
    return S_OK;
}

MemoryTable::Key MemoryTable::newInstanceKey()
{
    return instanceKey(m_nextKey++);
}

MemoryTable::Key MemoryTable::keyOfNumber(std::uint32_t number)
{
    return instanceKey(number);
}

MemoryTable::Key MemoryTable::keyOf(const RowView& row)
{
    const std::optional<PropRef> key = row.find(PR_INSTANCE_KEY);
    return key ? Key(key->data.begin(), key->data.end()) : Key();
}

bool MemoryTable::matches(const RowView& row) const
{
    return !m_restriction || rowMatches(*m_restriction, row);
}

void MemoryTable::selectVisible()
{
    m_visible.clear();
    for (std::size_t i = 0; i < m_allRows.size(); ++i) {
        if (matches(m_allRows[i])) {
            m_visible.push_back(static_cast<std::uint32_t>(i));
        }
    }
}

std::size_t MemoryTable::visibleIndexOf(std::size_t all) const
{
    const auto at = std::lower_bound(m_visible.begin(), m_visible.end(), all);
    return at != m_visible.end() && *at == all ? static_cast<std::size_t>(at - m_visible.begin())
                                               : m_visible.size();
}

// Where `row` goes among the first `count` rows: after every row it does not sort before.
std::size_t MemoryTable::upperBound(const RowView& row, std::size_t count) const
{
    std::size_t low = 0;
    std::size_t high = count;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (rowBefore(row, m_allRows[middle])) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

// Places the last row, not yet shown, among the others by the sort order; the caller decides
// whether it shows.
std::size_t MemoryTable::insertLast()
{
    const std::size_t last = m_allRows.size() - 1;
    const std::size_t index = upperBound(m_allRows[last], last);
    m_allRows.move(last, index);
    for (std::uint32_t& i : m_visible) {
        i += i >= index ? 1 : 0;
    }
    return index;
}

// Removes a row the caller has hidden already.
void MemoryTable::eraseRow(std::size_t all)
{
    m_allRows.erase(all);
    for (std::uint32_t& i : m_visible) {
        i -= i > all ? 1 : 0;
    }
}

std::size_t MemoryTable::showRow(std::size_t all)
{
    const auto at = std::lower_bound(m_visible.begin(), m_visible.end(), all);
    const auto index = static_cast<std::size_t>(at - m_visible.begin());
    m_visible.insert(at, static_cast<std::uint32_t>(all));
    if (index < m_cursor) {
        ++m_cursor; // the cursor stays on the row it was on
    }
    return index;
}

void MemoryTable::hideRow(std::size_t visible)
{
    m_visible.erase(m_visible.begin() + static_cast<std::ptrdiff_t>(visible));
    if (visible < m_cursor) {
        --m_cursor; // the cursor stays on the row it was on
    }
}

void MemoryTable::notify(ULONG type, const Key& key, std::size_t visibleIndex, bool withRow)
{
    if (!m_advise.wants(fnevTableModified)) {
        return;
    }
    TableEvent event;
    event.type = type;
    event.key = key;
    if (withRow) {
        event.hasRow = true;
        event.row = visibleRow(visibleIndex).unpack();
        event.columns = m_columns;
        if (visibleIndex > 0) {
            event.prior = keyOf(visibleRow(visibleIndex - 1));
        }
    }
    m_advise.post(fnevTableModified,
                  [event](LPNOTIFICATION* out) { return buildNotification(event, out); });
}

void MemoryTable::addRow(PropList row)
{
    const Prop* own = findProp(row, PR_INSTANCE_KEY);
    if (!own || own->data.empty()) {
        putProp(&row, binaryProp(PR_INSTANCE_KEY, newInstanceKey()));
    }
    m_allRows.append(row);
    const Key key = keyOf(m_allRows[m_allRows.size() - 1]);
    const bool visible = matches(m_allRows[m_allRows.size() - 1]);
    const std::size_t all = insertLast();
    if (!visible) {
        return;
    }
    const std::size_t index = showRow(all);
    notify(TABLE_ROW_ADDED, key, index, true);
}

std::size_t MemoryTable::indexOfKey(const Key& key) const
{
    return m_allRows.indexOf(PR_INSTANCE_KEY,
                             {reinterpret_cast<const char*>(key.data()), key.size()});
}

bool MemoryTable::removeRow(const Key& key)
{
    const std::size_t all = indexOfKey(key);
    if (all == m_allRows.size()) {
        return false;
    }
    const std::size_t visible = visibleIndexOf(all);
    const bool wasVisible = visible < m_visible.size();
    if (wasVisible) {
        hideRow(visible);
    }
    eraseRow(all);
    if (wasVisible) {
        notify(TABLE_ROW_DELETED, key);
    }
    return true;
}

// A row whose sort keys did not move it stays where it is, among equal neighbours too.
std::size_t MemoryTable::placeRow(std::size_t all, const PropList& row)
{
    m_allRows.replace(all, row);
    const RowView placed = m_allRows[all];
    const bool fits = (all == 0 || !rowBefore(placed, m_allRows[all - 1])) &&
                      (all + 1 >= m_allRows.size() || !rowBefore(m_allRows[all + 1], placed));
    if (fits) {
        return all;
    }
    // Out of the way at the end, then placed as a new row is.
    m_allRows.move(all, m_allRows.size() - 1);
    for (std::uint32_t& i : m_visible) {
        i -= i > all ? 1 : 0;
    }
    return insertLast();
}

bool MemoryTable::replaceRow(const Key& key, PropList row)
{
    const std::size_t all = indexOfKey(key);
    if (all == m_allRows.size()) {
        return false;
    }
    putProp(&row, binaryProp(PR_INSTANCE_KEY, key));
    const std::size_t old = visibleIndexOf(all);
    const bool wasVisible = old < m_visible.size();
    if (wasVisible) {
        hideRow(old);
    }
    const std::size_t placed = placeRow(all, row);
    const bool isVisible = matches(m_allRows[placed]);
    const std::size_t index = isVisible ? showRow(placed) : 0;
    // Still in the same place for a client: a change in place, otherwise a move.
    if (wasVisible && isVisible && index == old) {
        notify(TABLE_ROW_MODIFIED, key, index, true);
        return true;
    }
    if (wasVisible) {
        notify(TABLE_ROW_DELETED, key);
    }
    if (isVisible) {
        notify(TABLE_ROW_ADDED, key, index, true);
    }
    return true;
}

PackedRows MemoryTable::takeAllRows()
{
    m_visible.clear();
    m_cursor = 0;
    return std::move(m_allRows);
}

void MemoryTable::reload(PackedRows rows)
{
    m_allRows = std::move(rows);
    m_visible.clear();
    sortAllRows();
    selectVisible();
    m_cursor = 0;
    notify(TABLE_RELOAD);
}

} // namespace vntmapi
