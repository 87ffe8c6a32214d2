#pragma once

#include "oledb/ErrorRecords.h"

#include <QList>
#include <QString>
#include <memory>

namespace vnt::oledb {

class DataSource;
class Session;

// The tables of the support database as a new one holds them. Column 1 of each is the
// integer key; dates are day numbers.
struct TableColumn
{
    QString name;
    QString declaredType;
    bool date = false;
};

struct TableDefinition
{
    QString name;
    QList<TableColumn> columns;
};

const QList<TableDefinition>& supportTables();

// Whether `path` names a workbook (".xlsx") rather than an SQLite database.
bool isWorkbookPath(const QString& path);
// The provider string that opens `path`: an Excel one for workbooks.
QString providerStringFor(const QString& path);

// Creates an empty support database at `path`: the tables of supportTables() in an SQLite
// file, or as sheets with a header row in a workbook when the name ends in ".xlsx". An
// existing file is never replaced.
HRESULT createEmptyDatabase(const QString& path, ErrorRecords* errors);

// Opens the database file at `path` with the SQLite provider and the provider string that
// fits it, and a session on it. On failure the data source (when there is one) holds the
// error records.
HRESULT openDatabaseFile(const QString& path, std::unique_ptr<DataSource>* dataSource,
                         std::unique_ptr<Session>* session, ErrorRecords* errors);

} // namespace vnt::oledb
