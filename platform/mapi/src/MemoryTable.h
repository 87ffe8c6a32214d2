// A table over rows held in memory: the profile, stores, hierarchy and contents tables all
// hand their rows to one of these. Each row gets a PR_INSTANCE_KEY unique within the table.
// Advised tables report Restrict, SortTable and SetColumns, and the row changes a subclass
// makes through addRow/removeRow/replaceRow/reload.
#pragma once

#include "Notifications.h"
#include "PackedRows.h"
#include "Property.h"
#include "RefCounted.h"

#include <memory>

namespace vntmapi {

class MemoryTable : public RefCounted<IMAPITable>
{
public:
    MemoryTable(std::vector<PropList> rows, std::vector<ULONG> columns);
    // Without rows; a subclass fills them with reload().
    explicit MemoryTable(std::vector<ULONG> columns);

    HRESULT Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink,
                   ULONG* lpulConnection) override;
    HRESULT Unadvise(ULONG ulConnection) override;
    HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override;
    HRESULT QueryColumns(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) override;
    HRESULT GetRowCount(ULONG ulFlags, ULONG* lpulCount) override;
    HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override;
    HRESULT QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) override;
    HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) override;
    HRESULT SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) override;
    HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) override;
    HRESULT Abort() override;
    HRESULT WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) override;

protected:
    using Key = std::vector<BYTE>;

    // Called before a call uses the rows: a table still making them in the background
    // finishes here first. Abort and WaitForCompletion do not call it.
    virtual void settle() {}

    const PackedRows& allRows() const { return m_allRows; }
    Key newInstanceKey();
    // Instance keys this table makes are numbers, kept as four bytes.
    std::uint32_t newKeyNumber() { return m_nextKey++; }
    static Key keyOfNumber(std::uint32_t number);
    static Key keyOf(const RowView& row);
    bool isAdvised() const { return !m_advise.empty(); }

    // Each places the row where the sort order puts it and reports what a client showing the
    // restricted rows sees: a row outside the restriction gives no event. A row without a
    // PR_INSTANCE_KEY gets a new one.
    void addRow(PropList row);
    bool removeRow(const Key& key);
    // Keeps the row's instance key; a row that leaves or enters the restriction is reported
    // deleted or added, one that moves as deleted then added.
    bool replaceRow(const Key& key, PropList row);
    // Replaces every row and sends TABLE_RELOAD. Every row has its PR_INSTANCE_KEY.
    void reload(PackedRows rows);
    // Every row, taken away without an event: for a subclass going away.
    PackedRows takeAllRows();

private:
    struct FreeRestriction
    {
        void operator()(SRestriction* r) const;
    };

    HRESULT buildRow(const RowView& row, SRow* out) const;
    void sortAllRows();
    bool rowBefore(const RowView& a, const RowView& b) const;
    std::size_t upperBound(const RowView& row, std::size_t count) const;
    bool matches(const RowView& row) const;
    void selectVisible();
    RowView visibleRow(std::size_t index) const { return m_allRows[m_visible[index]]; }
    std::size_t visibleIndexOf(std::size_t all) const;
    std::size_t indexOfKey(const Key& key) const;
    std::size_t insertLast();
    void eraseRow(std::size_t all);
    std::size_t placeRow(std::size_t all, const PropList& row);
    std::size_t showRow(std::size_t all);
    void hideRow(std::size_t visible);
    void notify(ULONG type, const Key& key = {}, std::size_t visibleIndex = 0,
                bool withRow = false);

    PackedRows m_allRows; // every row, in the current sort order
    // The rows passing the current restriction, as ascending indices into m_allRows: one copy
    // of each row, and the visible rows keep the sort order for free.
    std::vector<std::uint32_t> m_visible;
    std::vector<ULONG> m_columns;
    std::vector<SSortOrder> m_sortKeys;
    std::unique_ptr<SRestriction, FreeRestriction> m_restriction; // own copy, for later rows
    std::size_t m_cursor = 0;
    std::uint32_t m_nextKey = 1;
    AdviseList m_advise;
};

// Orders two values of the same property for SortTable; absent values come first.
int compareProps(const PropRef* a, const PropRef* b);

} // namespace vntmapi
