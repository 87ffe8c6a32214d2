#include "MemoryTable.h"

#include "Restriction.h"
#include "vntmapi/MapiEntryPoints.h"

#include <algorithm>
#include <cstring>
#include <glib.h>

namespace vntmapi {

namespace {

std::vector<BYTE> instanceKey(std::uint32_t index)
{
    std::vector<BYTE> key(4);
    std::memcpy(key.data(), &index, 4);
    return key;
}

int compareText(const std::string& a, const std::string& b)
{
    gchar* fa = g_utf8_casefold(a.c_str(), -1);
    gchar* fb = g_utf8_casefold(b.c_str(), -1);
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

} // namespace

int compareProps(const Prop* a, const Prop* b)
{
    if (!a || !b) {
        return threeWay(a != nullptr, b != nullptr);
    }
    switch (PROP_TYPE(a->tag)) {
    case PT_STRING8:
    case PT_UNICODE:
        return compareText(a->text, b->text);
    case PT_BINARY:
        return threeWay(a->bytes, b->bytes);
    case PT_SYSTIME:
        return threeWay(static_cast<std::uint64_t>(a->number),
                        static_cast<std::uint64_t>(b->number));
    default:
        return threeWay(a->number, b->number);
    }
}

MemoryTable::MemoryTable(std::vector<PropList> rows, std::vector<ULONG> columns)
    : m_allRows(std::move(rows))
    , m_columns(std::move(columns))
{
    for (std::size_t i = 0; i < m_allRows.size(); ++i) {
        if (!findProp(m_allRows[i], PR_INSTANCE_KEY)) {
            m_allRows[i].push_back(
                binaryProp(PR_INSTANCE_KEY, instanceKey(static_cast<std::uint32_t>(i + 1))));
        }
    }
    m_rows = m_allRows;
}

HRESULT MemoryTable::Advise(ULONG, IMAPIAdviseSink*, ULONG*)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT MemoryTable::Unadvise(ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT MemoryTable::SetColumns(LPSPropTagArray lpPropTagArray, ULONG)
{
    if (!lpPropTagArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    m_columns.assign(lpPropTagArray->aulPropTag,
                     lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
    return S_OK;
}

HRESULT MemoryTable::QueryColumns(ULONG, LPSPropTagArray* lppPropTagArray)
{
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
    if (!lpulCount) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulCount = static_cast<ULONG>(m_rows.size());
    return S_OK;
}

HRESULT MemoryTable::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought)
{
    std::int64_t start = 0;
    if (bkOrigin == BOOKMARK_CURRENT) {
        start = static_cast<std::int64_t>(m_cursor);
    } else if (bkOrigin == BOOKMARK_END) {
        start = static_cast<std::int64_t>(m_rows.size());
    } else if (bkOrigin != BOOKMARK_BEGINNING) {
        return MAPI_E_INVALID_BOOKMARK;
    }
    const std::int64_t target =
        std::clamp<std::int64_t>(start + lRowCount, 0, static_cast<std::int64_t>(m_rows.size()));
    m_cursor = static_cast<std::size_t>(target);
    if (lplRowsSought) {
        *lplRowsSought = static_cast<LONG>(target - start);
    }
    return S_OK;
}

HRESULT MemoryTable::QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator)
{
    if (!lpulRow || !lpulNumerator || !lpulDenominator) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulRow = static_cast<ULONG>(m_cursor);
    *lpulNumerator = static_cast<ULONG>(m_cursor);
    *lpulDenominator = static_cast<ULONG>(std::max<std::size_t>(m_rows.size(), 1));
    return S_OK;
}

HRESULT MemoryTable::Restrict(LPSRestriction lpRestriction, ULONG)
{
    if (lpRestriction) {
        const HRESULT hr = checkRestriction(*lpRestriction);
        if (FAILED(hr)) {
            return hr;
        }
    }
    // The rows are filtered now, so the caller may free the restriction on return.
    m_rows.clear();
    for (const PropList& row : m_allRows) {
        if (!lpRestriction || rowMatches(*lpRestriction, row)) {
            m_rows.push_back(row);
        }
    }
    m_cursor = 0;
    return S_OK;
}

HRESULT MemoryTable::SortTable(LPSSortOrderSet lpSortCriteria, ULONG)
{
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
    sortRows(&m_allRows, keys);
    sortRows(&m_rows, keys);
    m_cursor = 0;
    return S_OK;
}

void MemoryTable::sortRows(std::vector<PropList>* rows, const std::vector<SSortOrder>& keys)
{
    std::stable_sort(rows->begin(), rows->end(), [&keys](const PropList& a, const PropList& b) {
        for (const SSortOrder& key : keys) {
            int order = compareProps(findProp(a, key.ulPropTag), findProp(b, key.ulPropTag));
            if (key.ulOrder == TABLE_SORT_DESCEND) {
                order = -order;
            }
            if (order != 0) {
                return order < 0;
            }
        }
        return false;
    });
}

HRESULT MemoryTable::buildRow(const PropList& row, SRow* out) const
{
    const auto n = static_cast<ULONG>(m_columns.size());
    LPSPropValue values = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * (n ? n : 1)),
                           reinterpret_cast<void**>(&values)) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    for (ULONG i = 0; i < n; ++i) {
        if (!copyPropValue(findProp(row, m_columns[i]), m_columns[i], values, &values[i])) {
            MAPIFreeBuffer(values);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }
    out->ulAdrEntryPad = 0;
    out->cValues = n;
    out->lpProps = values;
    return S_OK;
}

HRESULT MemoryTable::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows)
{
    if (!lppRows || lRowCount == 0) {
        return MAPI_E_INVALID_PARAMETER;
    }
    // A negative count reads backwards from the cursor; rows still come in table order.
    const std::size_t first =
        lRowCount > 0
            ? m_cursor
            : m_cursor - std::min<std::size_t>(m_cursor, -static_cast<std::int64_t>(lRowCount));
    const std::size_t last =
        lRowCount > 0 ? std::min(m_rows.size(), m_cursor + static_cast<std::size_t>(lRowCount))
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
        if (FAILED(buildRow(m_rows[first + i], out + i))) {
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

} // namespace vntmapi
