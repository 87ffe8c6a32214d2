#pragma once

#include "oledb/xlsx/XlsxPackage.h"

#include <QHash>
#include <QList>
#include <QString>

namespace vnt::oledb::xlsx {

// What a cell style's number format shows.
enum class FormatKind { General, Text, Integer, Number, Date };

struct Cell
{
    enum class Kind { Empty, Number, Text, Boolean, Error };
    Kind kind = Kind::Empty;
    int column = 0; // 0-based
    double number = 0;
    QString text;
    int style = 0;
};

// A row holds only the cells its XML lists, so that a reference far to the right costs one
// cell and not every column before it.
struct Row
{
    int number = 0;    // 1-based row number in the sheet
    QList<Cell> cells; // the listed cells by column

    // The cell in 0-based `column`: an empty one where the row lists none.
    Cell cell(int column) const;
    // One past the column of the last listed cell.
    int width() const { return cells.isEmpty() ? 0 : cells.last().column + 1; }
};

// The style of the 0-based columns first to last, as one <col> element gives it.
struct ColumnStyle
{
    int first = 0;
    int last = 0;
    int style = 0;
};

struct SheetData
{
    QList<Row> rows;                 // rows that hold cells, in sheet order
    QList<ColumnStyle> columnStyles; // in sheet order; a later range wins where they overlap

    int columnStyle(int column) const;
};

// Where the parts of a workbook are, and what its cell styles mean.
struct WorkbookInfo
{
    struct Sheet
    {
        QString name;
        QString part;
    };
    QString workbookPart;
    QString relsPart;
    QString stylesPart;
    QString sharedStringsPart;
    QString calcChainPart;
    QList<Sheet> sheets;
    bool date1904 = false;
    QList<FormatKind> styleKinds; // by cell style index
    QStringList sharedStrings;

    FormatKind styleKind(int style) const { return styleKinds.value(style, FormatKind::General); }
    bool isDateStyle(int style) const { return styleKind(style) == FormatKind::Date; }
};

// Reads the workbook part, its relationships, the shared strings and the styles. False
// with `error` set when the container does not hold a workbook.
bool readWorkbookInfo(const Package& package, WorkbookInfo* info, QString* error);

// Reads the cells of one sheet part. False with `error` set when its XML is malformed.
bool readSheet(const QByteArray& xml, const WorkbookInfo& info, SheetData* sheet, QString* error);

// What a number format code shows: dates or times ("yyyy-mm-dd", "h:mm", "d/m/yy"), text
// ("@"), whole numbers ("0", "#,##0") or other numbers.
FormatKind formatKindOfCode(const QString& code);

// 0-based column of a cell reference such as "AB12"; -1 when it has no column letters.
int columnOfReference(QStringView reference);

// Text with Excel's _xHHHH_ escapes of control characters turned back into characters.
QString unescapeText(const QString& text);

} // namespace vnt::oledb::xlsx
