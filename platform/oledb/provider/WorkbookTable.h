#pragma once

#include "oledb/xlsx/XlsxReader.h"
#include "oledb/xlsx/XlsxWriter.h"

namespace vnt::oledb::xlsx {
struct SheetCells;
}

struct sqlite3;

namespace vnt::oledb {

// One sheet of a workbook as a table of the in-memory database: "Name$", its first
// column the integer key when that column holds distinct whole numbers (or nothing, in
// which case new numbers are given).
struct WorkbookTable
{
    QString sheet;
    QString part;
    QString table;
    QList<xlsx::ColumnFormat> columns;
    bool keyed = false;
    QString readOnlyReason;
    QList<qint64> rowOrder; // keys in the order of the sheet's rows
    bool dirty = false;

    int columnIndex(const QString& name) const;
};

struct SheetLayout
{
    bool headerRow = true;
    double dateOffset = 0; // added to dates when reading, for workbooks counting from 1904
};

// Creates the table for `data` and fills it. False with `error` set on a database failure.
bool loadSheet(sqlite3* db, const xlsx::WorkbookInfo& info, const xlsx::SheetCells& data,
               const SheetLayout& layout, WorkbookTable* table, QString* error);

// Writes the table's rows in the formats `columns` into its sheet part `sheetXml`: rows of
// the sheet in their old order, then added rows by key. `order` receives the keys in the
// written order.
bool writeTableSheet(sqlite3* db, const WorkbookTable& table,
                     const QList<xlsx::ColumnFormat>& columns, const SheetLayout& layout,
                     const QByteArray& sheetXml, QByteArray* result, QList<qint64>* order,
                     QString* error);

} // namespace vnt::oledb
