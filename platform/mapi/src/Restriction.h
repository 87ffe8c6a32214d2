// Evaluating table restrictions against rows held in memory.
#pragma once

#include "PackedRows.h"

namespace vntmapi {

// S_OK when every node is of a kind the tables can evaluate, else MAPI_E_TOO_COMPLEX (or
// MAPI_E_INVALID_PARAMETER for a malformed node).
HRESULT checkRestriction(const SRestriction& restriction);

// Whether `row` passes; a property the row lacks never matches a comparison.
bool rowMatches(const SRestriction& restriction, const RowView& row);

} // namespace vntmapi
