#include "oledb/provider/WorkbookTable.h"

#include "oledb/provider/NumberText.h"
#include "oledb/provider/Sqlite.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace vnt::oledb {

namespace {

using xlsx::Cell;

bool isEmptyRow(const xlsx::Row& row)
{
    return std::all_of(row.cells.begin(), row.cells.end(),
                       [](const Cell& cell) { return cell.kind == Cell::Kind::Empty; });
}

QString cellText(const Cell& cell)
{
    switch (cell.kind) {
    case Cell::Kind::Text:
        return cell.text;
    case Cell::Kind::Number:
        return numberText(cell.number);
    case Cell::Kind::Boolean:
        return cell.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default:
        return {};
    }
}

bool isWholeNumber(double number)
{
    return std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9e15;
}

int columnCount(const xlsx::Row* header, const QList<const xlsx::Row*>& rows)
{
    int count = header ? header->width() : 0;
    for (const xlsx::Row* row : rows) {
        for (auto cell = row->cells.rbegin(); cell != row->cells.rend(); ++cell) {
            if (cell->kind != Cell::Kind::Empty) {
                count = qMax(count, cell->column + 1);
                break;
            }
        }
    }
    return qMax(count, 1);
}

// Names from the header row; missing ones are F1, F2, ... by column, repeated ones get a
// number, so that every column can be named in a statement.
QStringList columnNames(const xlsx::Row* header, int count)
{
    QStringList names;
    QSet<QString> taken;
    for (int column = 0; column < count; ++column) {
        QString name = header ? cellText(header->cell(column)).trimmed() : QString();
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

QList<xlsx::ColumnFormat> columnFormats(const xlsx::WorkbookInfo& info, const xlsx::SheetData& data,
                                        const xlsx::Row* header,
                                        const QList<const xlsx::Row*>& rows)
{
    const QStringList names = columnNames(header, columnCount(header, rows));
    QList<xlsx::ColumnFormat> formats;
    for (int column = 0; column < names.size(); ++column) {
        xlsx::ColumnFormat format;
        format.name = names[column];
        format.headerStyle = header ? header->cell(column).style : 0;
        // Values are written in the style of the column's first value, as a user who
        // formats a column formats its cells; an empty column takes the column's style.
        const int columnStyle = data.columnStyle(column);
        format.style = -1;
        format.date = info.isDateStyle(columnStyle);
        for (const xlsx::Row* row : rows) {
            const Cell cell = row->cell(column);
            if (cell.kind == Cell::Kind::Empty)
                continue;
            if (format.style < 0)
                format.style = cell.style;
            format.date =
                format.date || (cell.kind == Cell::Kind::Number && info.isDateStyle(cell.style));
        }
        if (format.style < 0)
            format.style = columnStyle;
        formats.append(format);
    }
    return formats;
}

// Why the first column cannot be the key; empty when it can.
QString keyProblem(const QList<const xlsx::Row*>& rows)
{
    QHash<qint64, int> seen;
    for (const xlsx::Row* row : rows) {
        const Cell cell = row->cell(0);
        const QString where = QStringLiteral("A%1").arg(row->number);
        if (cell.kind == Cell::Kind::Empty)
            continue;
        if (cell.kind != Cell::Kind::Number || !isWholeNumber(cell.number))
            return QStringLiteral("cell %1 holds '%2', not a whole number that identifies its "
                                  "row")
                .arg(where, cellText(cell));
        const qint64 key = qint64(cell.number);
        if (seen.contains(key))
            return QStringLiteral("rows %1 and %2 have the same number %3 in the first column")
                .arg(seen[key])
                .arg(row->number)
                .arg(key);
        seen.insert(key, row->number);
    }
    return {};
}

// The column's type: what its number format shows, or else what its values are. A column
// with neither has no type, and each value keeps the type it is written with.
QString declaredType(xlsx::FormatKind kind, int column, const QList<const xlsx::Row*>& rows)
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
    bool numbers = false;
    bool texts = false;
    bool whole = true;
    for (const xlsx::Row* row : rows) {
        const Cell cell = row->cell(column);
        if (cell.kind == Cell::Kind::Number || cell.kind == Cell::Kind::Boolean) {
            numbers = true;
            whole = whole && isWholeNumber(cell.number);
        } else if (cell.kind == Cell::Kind::Text) {
            texts = true;
        }
    }
    if (numbers == texts)
        return {};
    return texts   ? QStringLiteral("TEXT")
           : whole ? QStringLiteral("INTEGER")
                   : QStringLiteral("REAL");
}

QString createStatement(const xlsx::WorkbookInfo& info, const WorkbookTable& table,
                        const QList<const xlsx::Row*>& rows)
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
                (name + QLatin1Char(' ') + declaredType(kind, column, rows)).trimmed() +
                QLatin1String(" COLLATE NOCASE"));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quoteIdentifier(table.table), definitions.join(QLatin1String(", ")));
}

QVariant cellValue(const Cell& cell, const xlsx::ColumnFormat& format, double dateOffset)
{
    switch (cell.kind) {
    case Cell::Kind::Text:
        return cell.text;
    case Cell::Kind::Boolean:
        return qint64(cell.number != 0);
    case Cell::Kind::Number:
        if (format.date)
            return cell.number + dateOffset;
        if (isWholeNumber(cell.number))
            return qint64(cell.number);
        return cell.number;
    default:
        return {};
    }
}

// Inserts the rows; with a key, rows that have one go first so that the numbers given
// to the others cannot collide with them.
bool insertRows(sqlite3* db, WorkbookTable* table, const QList<const xlsx::Row*>& rows,
                double dateOffset, QString* error)
{
    QStringList places;
    for (qsizetype i = 0; i < table->columns.size(); ++i)
        places.append(QStringLiteral("?"));
    Statement insert;
    int rc = insert.prepare(
        db, QStringLiteral("INSERT INTO %1 VALUES (%2)")
                .arg(quoteIdentifier(table->table), places.join(QLatin1String(", "))));
    QHash<const xlsx::Row*, qint64> keys;
    for (int pass = table->keyed ? 0 : 1; pass < 2 && rc == SQLITE_OK; ++pass) {
        for (const xlsx::Row* row : rows) {
            const bool hasKey = row->cell(0).kind != Cell::Kind::Empty;
            if (table->keyed && hasKey != (pass == 0))
                continue;
            for (int column = 0; column < table->columns.size(); ++column)
                insert.bind(column + 1,
                            cellValue(row->cell(column), table->columns[column], dateOffset));
            rc = insert.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
            insert.reset();
            keys.insert(row, sqlite3_last_insert_rowid(db));
            if (rc != SQLITE_OK)
                break;
        }
    }
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    for (const xlsx::Row* row : rows)
        table->rowOrder.append(keys.value(row));
    return true;
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

bool loadSheet(sqlite3* db, const xlsx::WorkbookInfo& info, const xlsx::SheetData& data,
               const SheetLayout& layout, WorkbookTable* table, QString* error)
{
    const xlsx::Row* header = layout.headerRow && !data.rows.isEmpty() ? &data.rows[0] : nullptr;
    QList<const xlsx::Row*> rows;
    for (qsizetype i = header ? 1 : 0; i < data.rows.size(); ++i) {
        if (!isEmptyRow(data.rows[i]))
            rows.append(&data.rows[i]);
    }
    // A table holds a limited number of columns; say so before building names for them all.
    const int count = columnCount(header, rows);
    const int limit = sqlite3_limit(db, SQLITE_LIMIT_COLUMN, -1);
    if (count > limit) {
        *error = QStringLiteral("it has %1 columns, more than the %2 a table can hold")
                     .arg(count)
                     .arg(limit);
        return false;
    }
    table->columns = columnFormats(info, data, header, rows);
    const QString problem = keyProblem(rows);
    table->keyed = problem.isEmpty();
    if (!table->keyed)
        table->readOnlyReason = QStringLiteral("The rows of sheet '%1' cannot be changed: %2.")
                                    .arg(table->sheet, problem);
    const int rc = execSql(db, createStatement(info, *table, rows).toUtf8().constData());
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    return insertRows(db, table, rows, layout.dateOffset, error);
}

bool readTableContent(sqlite3* db, const WorkbookTable& table, const SheetLayout& layout,
                      xlsx::SheetContent* content, QList<qint64>* order, QString* error)
{
    content->columns = table.columns;
    content->headerRow = layout.headerRow;
    content->dateOffset = layout.dateOffset;
    Statement select;
    int rc = select.prepare(
        db, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(quoteIdentifier(table.table)));
    QHash<qint64, QList<QVariant>> rows;
    QList<qint64> added;
    QSet<qint64> known(table.rowOrder.begin(), table.rowOrder.end());
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if ((rc = select.step()) != SQLITE_ROW)
            break;
        QList<QVariant> values;
        for (int column = 0; column < select.columnCount(); ++column)
            values.append(select.value(column));
        const qint64 key = select.int64Value(0);
        if (!known.contains(key))
            added.append(key);
        rows.insert(key, values);
    }
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    for (qint64 key : table.rowOrder + added) {
        if (rows.contains(key)) {
            order->append(key);
            content->rows.append(rows.take(key));
        }
    }
    return true;
}

} // namespace vnt::oledb
