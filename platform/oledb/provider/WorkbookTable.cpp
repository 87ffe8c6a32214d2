#include "oledb/provider/WorkbookTable.h"

#include "oledb/provider/NumberText.h"
#include "oledb/provider/Sqlite.h"
#include "oledb/xlsx/SheetReader.h"
#include "oledb/xlsx/SheetWriter.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>
#include <unordered_map>

namespace vnt::oledb {

namespace {

using xlsx::Cell;
using xlsx::SheetCell;
using xlsx::SheetRow;

// The rows of a sheet that loading reads: the header row when the sheet has one, then the
// rows of data, empty ones left out.
struct SheetRows
{
    const xlsx::SheetCells& sheet;
    const xlsx::WorkbookInfo& info;
    const SheetRow* header = nullptr;
    std::vector<const SheetRow*> rows;

    // The listed cell of `row` in `column`; null where the row lists none.
    const SheetCell* cell(const SheetRow* row, int column) const
    {
        const std::span<const SheetCell> cells = sheet.cellsOf(*row);
        const auto found = std::lower_bound(
            cells.begin(), cells.end(), column,
            [](const SheetCell& listed, int wanted) { return listed.column < wanted; });
        return found != cells.end() && found->column == column ? &*found : nullptr;
    }
    QString text(const SheetCell* cell) const;
};

// What the values of one column are.
struct ColumnSummary
{
    int firstStyle = -1; // the style of its first value
    bool dates = false;  // a number in a date style
    bool numbers = false;
    bool texts = false;
    bool whole = true; // every number a whole one
};

bool isEmptyRow(const xlsx::SheetCells& sheet, const SheetRow& row)
{
    const std::span<const SheetCell> cells = sheet.cellsOf(row);
    return std::all_of(cells.begin(), cells.end(),
                       [](const SheetCell& cell) { return cell.kind == Cell::Kind::Empty; });
}

QString SheetRows::text(const SheetCell* cell) const
{
    switch (cell ? cell->kind : Cell::Kind::Empty) {
    case Cell::Kind::Text:
        return sheet.text(*cell, info);
    case Cell::Kind::Number:
        return numberText(cell->number);
    case Cell::Kind::Boolean:
        return cell->number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default:
        return {};
    }
}

bool isWholeNumber(double number)
{
    return std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9e15;
}

int columnCount(const SheetRows& rows)
{
    const auto width = [&](const SheetRow* row) {
        const std::span<const SheetCell> cells = rows.sheet.cellsOf(*row);
        return cells.empty() ? 0 : cells.back().column + 1;
    };
    int count = rows.header ? width(rows.header) : 0;
    for (const SheetRow* row : rows.rows) {
        const std::span<const SheetCell> cells = rows.sheet.cellsOf(*row);
        for (auto cell = cells.rbegin(); cell != cells.rend(); ++cell) {
            if (cell->kind != Cell::Kind::Empty) {
                count = qMax(count, cell->column + 1);
                break;
            }
        }
    }
    return qMax(count, 1);
}

std::vector<ColumnSummary> columnSummaries(const SheetRows& rows, int count)
{
    std::vector<ColumnSummary> columns(static_cast<size_t>(count));
    for (const SheetRow* row : rows.rows) {
        for (const SheetCell& cell : rows.sheet.cellsOf(*row)) {
            if (cell.kind == Cell::Kind::Empty || cell.column >= count)
                continue;
            ColumnSummary& values = columns[size_t(cell.column)];
            if (values.firstStyle < 0)
                values.firstStyle = cell.style;
            if (cell.kind == Cell::Kind::Number || cell.kind == Cell::Kind::Boolean) {
                values.numbers = true;
                values.whole = values.whole && isWholeNumber(cell.number);
                values.dates = values.dates || (cell.kind == Cell::Kind::Number &&
                                                rows.info.isDateStyle(cell.style));
            } else if (cell.kind == Cell::Kind::Text) {
                values.texts = true;
            }
        }
    }
    return columns;
}

// Names from the header row; missing ones are F1, F2, ... by column, repeated ones get a
// number, so that every column can be named in a statement.
QStringList columnNames(const SheetRows& rows, int count)
{
    QStringList names;
    QSet<QString> taken;
    for (int column = 0; column < count; ++column) {
        QString name =
            rows.header ? rows.text(rows.cell(rows.header, column)).trimmed() : QString();
        if (name.isEmpty())
            name = QStringLiteral("F%1").arg(column + 1);
        const QString base = name;
        for (int n = 1; taken.contains(name.toLower()); ++n)
            name = base + QString::number(n);
        taken.insert(name.toLower());
        names.append(name);
    }
    return names;
}

QList<xlsx::ColumnFormat> columnFormats(const SheetRows& rows,
                                        const std::vector<ColumnSummary>& values)
{
    const QStringList names = columnNames(rows, int(values.size()));
    QList<xlsx::ColumnFormat> formats;
    for (int column = 0; column < names.size(); ++column) {
        const SheetCell* header = rows.header ? rows.cell(rows.header, column) : nullptr;
        // Values are written in the style of the column's first value, as a user who
        // formats a column formats its cells; an empty column takes the column's style.
        const int columnStyle = rows.sheet.columnStyle(column);
        const ColumnSummary& summary = values[size_t(column)];
        xlsx::ColumnFormat format;
        format.name = names[column];
        format.headerStyle = header ? header->style : 0;
        format.style = summary.firstStyle < 0 ? columnStyle : summary.firstStyle;
        format.date = rows.info.isDateStyle(columnStyle) || summary.dates;
        formats.append(format);
    }
    return formats;
}

// Why the first column cannot be the key; empty when it can.
QString keyProblem(const SheetRows& rows)
{
    std::unordered_map<qint64, int> seen;
    seen.reserve(rows.rows.size());
    for (const SheetRow* row : rows.rows) {
        const SheetCell* cell = rows.cell(row, 0);
        if (!cell || cell->kind == Cell::Kind::Empty)
            continue;
        if (cell->kind != Cell::Kind::Number || !isWholeNumber(cell->number))
            return QStringLiteral("cell A%1 holds '%2', not a whole number that identifies its "
                                  "row")
                .arg(row->number)
                .arg(rows.text(cell));
        const qint64 key = qint64(cell->number);
        const auto [place, added] = seen.emplace(key, row->number);
        if (!added)
            return QStringLiteral("rows %1 and %2 have the same number %3 in the first column")
                .arg(place->second)
                .arg(row->number)
                .arg(key);
    }
    return {};
}

// The column's type: what its number format shows, or else what its values are. A column
// with neither has no type, and each value keeps the type it is written with.
QString declaredType(xlsx::FormatKind kind, const ColumnSummary& values)
{
    switch (kind) {
    case xlsx::FormatKind::Text:
        return QStringLiteral("TEXT");
    case xlsx::FormatKind::Integer:
        return QStringLiteral("INTEGER");
    case xlsx::FormatKind::Number:
    case xlsx::FormatKind::Date:
        return QStringLiteral("REAL");
    case xlsx::FormatKind::General:
        break;
    }
    if (values.numbers == values.texts)
        return {};
    return values.texts   ? QStringLiteral("TEXT")
           : values.whole ? QStringLiteral("INTEGER")
                          : QStringLiteral("REAL");
}

QString createStatement(const xlsx::WorkbookInfo& info, const WorkbookTable& table,
                        const std::vector<ColumnSummary>& values)
{
    QStringList definitions;
    for (int column = 0; column < table.columns.size(); ++column) {
        const xlsx::ColumnFormat& format = table.columns[column];
        const QString name = quoteIdentifier(format.name);
        const xlsx::FormatKind kind =
            format.date ? xlsx::FormatKind::Date : info.styleKind(format.style);
        if (column == 0 && table.keyed)
            definitions.append(name + QLatin1String(" INTEGER PRIMARY KEY"));
        else
            definitions.append(
                (name + QLatin1Char(' ') + declaredType(kind, values[size_t(column)])).trimmed() +
                QLatin1String(" COLLATE NOCASE"));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quoteIdentifier(table.table), definitions.join(QLatin1String(", ")));
}

// Binds the cell's value to parameter `place`; texts are bound in place, the sheet and
// the shared strings outliving the statement.
int bindCell(sqlite3_stmt* insert, int place, const SheetRows& rows, const SheetCell& cell,
             const xlsx::ColumnFormat& format, double dateOffset)
{
    switch (cell.kind) {
    case Cell::Kind::Text:
        if (cell.shared) {
            const QString& text = rows.info.sharedStrings[qsizetype(cell.text)];
            return sqlite3_bind_text16(insert, place, text.utf16(), int(text.size() * 2),
                                       SQLITE_STATIC);
        }
        return sqlite3_bind_text(insert, place, rows.sheet.texts.data() + cell.text,
                                 int(cell.textSize), SQLITE_STATIC);
    case Cell::Kind::Boolean:
        return sqlite3_bind_int64(insert, place, cell.number != 0);
    case Cell::Kind::Number:
        if (format.date)
            return sqlite3_bind_double(insert, place, cell.number + dateOffset);
        if (isWholeNumber(cell.number))
            return sqlite3_bind_int64(insert, place, qint64(cell.number));
        return sqlite3_bind_double(insert, place, cell.number);
    default:
        return sqlite3_bind_null(insert, place);
    }
}

int insertRow(sqlite3_stmt* insert, const SheetRows& rows, const SheetRow* row,
              const QList<xlsx::ColumnFormat>& columns, double dateOffset)
{
    const int count = int(columns.size());
    int column = 0;
    int rc = SQLITE_OK;
    for (const SheetCell& cell : rows.sheet.cellsOf(*row)) {
        if (cell.column >= count)
            break;
        for (; column < cell.column && rc == SQLITE_OK; ++column)
            rc = sqlite3_bind_null(insert, column + 1);
        if (rc == SQLITE_OK)
            rc = bindCell(insert, ++column, rows, cell, columns[cell.column], dateOffset);
    }
    for (; column < count && rc == SQLITE_OK; ++column)
        rc = sqlite3_bind_null(insert, column + 1);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(insert) == SQLITE_DONE ? SQLITE_OK
                                                 : sqlite3_errcode(sqlite3_db_handle(insert));
    sqlite3_reset(insert);
    return rc;
}

// Inserts the rows in one transaction; with a key, rows that have one go first so that the
// numbers given to the others cannot collide with them.
bool insertRows(sqlite3* db, const SheetRows& rows, WorkbookTable* table, double dateOffset,
                QString* error)
{
    QStringList places;
    for (qsizetype i = 0; i < table->columns.size(); ++i)
        places.append(QStringLiteral("?"));
    Statement insert;
    int rc = insert.prepare(
        db, QStringLiteral("INSERT INTO %1 VALUES (%2)")
                .arg(quoteIdentifier(table->table), places.join(QLatin1String(", "))));
    if (rc == SQLITE_OK)
        rc = execSql(db, "BEGIN");
    std::vector<qint64> keys(rows.rows.size());
    for (int pass = table->keyed ? 0 : 1; pass < 2 && rc == SQLITE_OK; ++pass) {
        for (size_t i = 0; i < rows.rows.size() && rc == SQLITE_OK; ++i) {
            const SheetRow* row = rows.rows[i];
            const SheetCell* key = rows.cell(row, 0);
            const bool hasKey = key && key->kind != Cell::Kind::Empty;
            if (table->keyed && hasKey != (pass == 0))
                continue;
            rc = insertRow(insert.handle(), rows, row, table->columns, dateOffset);
            keys[i] = sqlite3_last_insert_rowid(db);
        }
    }
    if (rc == SQLITE_OK)
        rc = execSql(db, "COMMIT");
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        if (!sqlite3_get_autocommit(db))
            execSql(db, "ROLLBACK");
        return false;
    }
    table->rowOrder = QList<qint64>(keys.begin(), keys.end());
    return true;
}

// The keys of the rows to write in the order they are written: the sheet's rows in their
// old order, then added rows by key.
bool writtenOrder(sqlite3* db, const WorkbookTable& table, const QString& key, const QString& name,
                  std::vector<qint64>* order, QString* error)
{
    Statement select;
    int rc = select.prepare(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY 1").arg(key, name));
    std::vector<qint64> present;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if ((rc = select.step()) == SQLITE_ROW)
            present.push_back(select.int64Value(0));
    }
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    std::vector<qint64> known(table.rowOrder.begin(), table.rowOrder.end());
    std::sort(known.begin(), known.end());
    order->reserve(present.size());
    for (qint64 row : table.rowOrder) {
        if (std::binary_search(present.begin(), present.end(), row))
            order->push_back(row);
    }
    for (qint64 row : present) {
        if (!std::binary_search(known.begin(), known.end(), row))
            order->push_back(row);
    }
    return true;
}

void writeRow(sqlite3_stmt* select, int columns, xlsx::SheetDataWriter* writer)
{
    writer->beginRow();
    for (int column = 0; column < columns && column < sqlite3_column_count(select); ++column) {
        switch (sqlite3_column_type(select, column)) {
        case SQLITE_INTEGER:
            writer->addInteger(column, sqlite3_column_int64(select, column));
            break;
        case SQLITE_FLOAT:
            writer->addNumber(column, sqlite3_column_double(select, column));
            break;
        case SQLITE_NULL:
            break;
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, column));
            writer->addText(column, {text, size_t(sqlite3_column_bytes(select, column))});
        }
        }
    }
    writer->endRow();
}

} // namespace

int WorkbookTable::columnIndex(const QString& name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool loadSheet(sqlite3* db, const xlsx::WorkbookInfo& info, const xlsx::SheetCells& data,
               const SheetLayout& layout, WorkbookTable* table, QString* error)
{
    SheetRows rows{data, info, nullptr, {}};
    if (layout.headerRow && !data.rows.empty())
        rows.header = &data.rows.front();
    rows.rows.reserve(data.rows.size());
    for (size_t i = rows.header ? 1 : 0; i < data.rows.size(); ++i) {
        if (!isEmptyRow(data, data.rows[i]))
            rows.rows.push_back(&data.rows[i]);
    }
    // A table holds a limited number of columns; say so before building names for them all.
    const int count = columnCount(rows);
    const int limit = sqlite3_limit(db, SQLITE_LIMIT_COLUMN, -1);
    if (count > limit) {
        *error = QStringLiteral("it has %1 columns, more than the %2 a table can hold")
                     .arg(count)
                     .arg(limit);
        return false;
    }
    const std::vector<ColumnSummary> values = columnSummaries(rows, count);
    table->columns = columnFormats(rows, values);
    const QString problem = keyProblem(rows);
    table->keyed = problem.isEmpty();
    if (!table->keyed)
        table->readOnlyReason = QStringLiteral("The rows of sheet '%1' cannot be changed: %2.")
                                    .arg(table->sheet, problem);
    const int rc = execSql(db, createStatement(info, *table, values).toUtf8().constData());
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    return insertRows(db, rows, table, layout.dateOffset, error);
}

bool writeTableSheet(sqlite3* db, const WorkbookTable& table,
                     const QList<xlsx::ColumnFormat>& columns, const SheetLayout& layout,
                     const QByteArray& sheetXml, QByteArray* result, QList<qint64>* order,
                     QString* error)
{
    xlsx::SheetPart part;
    if (!xlsx::splitSheetPart(sheetXml, &part)) {
        *error = QStringLiteral("sheet '%1' has no cells to replace").arg(table.sheet);
        return false;
    }
    const QString key = quoteIdentifier(columns.value(0).name);
    const QString name = quoteIdentifier(table.table);
    std::vector<qint64> keys;
    if (!writtenOrder(db, table, key, name, &keys, error))
        return false;
    // Rows usually keep the order of their keys: then one pass reads them all.
    const bool inKeyOrder = std::is_sorted(keys.begin(), keys.end());
    Statement select;
    int rc = select.prepare(
        db, inKeyOrder ? QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(name, key)
                       : QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(name, key));
    xlsx::SheetDataWriter writer(part, columns, layout.headerRow, qsizetype(keys.size()),
                                 layout.dateOffset);
    for (size_t i = 0; i < keys.size() && rc == SQLITE_OK; ++i) {
        if (!inKeyOrder) {
            select.reset();
            select.bindInt64(1, keys[i]);
        }
        const int stepped = select.step();
        if (stepped == SQLITE_ROW && select.int64Value(0) == keys[i])
            writeRow(select.handle(), int(columns.size()), &writer);
        else
            rc = stepped == SQLITE_ROW || stepped == SQLITE_DONE ? SQLITE_CORRUPT : stepped;
    }
    if (rc != SQLITE_OK) {
        // A row that is not where the list of keys puts it is a fault of this program.
        *error = QString::fromUtf8(rc == SQLITE_CORRUPT ? sqlite3_errstr(rc) : sqlite3_errmsg(db));
        return false;
    }
    *result = writer.finish();
    *order = QList<qint64>(keys.begin(), keys.end());
    return true;
}

} // namespace vnt::oledb
