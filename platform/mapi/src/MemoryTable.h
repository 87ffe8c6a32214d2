// A table over rows held in memory: the profile, stores, hierarchy and contents tables all
// hand their rows to one of these. Each row gets a PR_INSTANCE_KEY unique within the table.
#pragma once

#include "Property.h"
#include "RefCounted.h"

namespace vntmapi {

class MemoryTable : public RefCounted<IMAPITable>
{
public:
    MemoryTable(std::vector<PropList> rows, std::vector<ULONG> columns);

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

private:
    HRESULT buildRow(const PropList& row, SRow* out) const;
    static void sortRows(std::vector<PropList>* rows, const std::vector<SSortOrder>& keys);

    std::vector<PropList> m_allRows; // every row, in the current sort order
    std::vector<PropList> m_rows;    // the rows passing the current restriction
    std::vector<ULONG> m_columns;
    std::size_t m_cursor = 0;
};

// Orders two values of the same property for SortTable; absent values come first.
int compareProps(const Prop* a, const Prop* b);

} // namespace vntmapi
