#pragma once

#include "oledb/ErrorRecords.h"

#include <memory>

namespace vnt::oledb {

class Connection;

struct WorkbookOptions
{
    bool readOnly = false;
    bool headerRow = true; // the first row names the columns
};

// Opens the .xlsx workbook at `path`: every sheet becomes a table "Name$" of an in-memory
// database, and a view "Name" on it. Each change writes the workbook back before it
// commits, through a temporary file renamed over the old one.
HRESULT openWorkbook(const QString& path, const WorkbookOptions& options,
                     std::shared_ptr<Connection>* connection, ErrorRecords* errors);

} // namespace vnt::oledb
