#pragma once

#include "oledb/ErrorRecords.h"

#include <memory>

namespace vnt::oledb {

class Connection;

// Opens the SQLite database file at `path`; it must exist. Read-only with `readOnly`, and
// also when the file cannot be written.
HRESULT openSqliteFile(const QString& path, bool readOnly, std::shared_ptr<Connection>* connection,
                       ErrorRecords* errors);

} // namespace vnt::oledb
