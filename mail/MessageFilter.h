// "Filter on this column": the restriction that keeps the rows whose value in one column
// matches what the list shows in the selected row.
#pragma once

#include "mail/MessageColumns.h"
#include "mail/ReadState.h"

#include <QByteArray>
#include <QString>
#include <array>

namespace vantrel::mail {

// The cell the filter starts from.
struct FilterCell
{
    ColumnVariant column;  // the column filtered on
    bool contacts = false; // the list shows a contacts folder
    int image = 0;         // the cell's image (icon columns); 0 when none
    QString text;          // the cell's text; empty when no row is selected
    bool shift = false;    // Shift is held: names match on two letters
};

// The most of a cell the filter reads.
inline constexpr int kFilterTextLimit = 510;

// A restriction with its own storage; it cannot be copied or moved, as its nodes point into
// it.
class FilterRestriction
{
public:
    FilterRestriction() = default;
    FilterRestriction(const FilterRestriction&) = delete;
    FilterRestriction& operator=(const FilterRestriction&) = delete;

    SRestriction* get() { return &m_root; }
    const SRestriction* get() const { return &m_root; }

private:
    friend class FilterBuilder;

    SRestriction m_root{};
    std::array<SRestriction, 2> m_parts{};
    std::array<SPropValue, 2> m_values{};
    QByteArray m_text;
};

// Builds the restriction for `cell` into `out`; false when the filter is to be reset instead
// (a value it cannot filter on). Date columns take their window from `read`, the message read
// last.
bool BuildFilterRestriction(const FilterCell& cell, const ReadState& read, FilterRestriction* out);

} // namespace vantrel::mail
