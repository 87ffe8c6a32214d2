#pragma once

#include "oledb/xlsx/XlsxPackage.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace vnt::oledb::xlsx {

struct WorkbookInfo;

// How one column of a sheet is written.
struct ColumnFormat
{
    QString name;
    int headerStyle = 0;
    int style = 0; // cell style of its values
    bool date = false;
};

// The rows of one sheet to write: values are null, qint64, double or QString.
struct SheetContent
{
    QList<ColumnFormat> columns;
    bool headerRow = true;
    QList<QList<QVariant>> rows;
    double dateOffset = 0; // subtracted from dates, for workbooks counting from 1904
};

// Replaces the cells of the sheet part `sheetXml` by `content`, keeping everything else
// of the part (column widths, views, ...). False when the part has no sheet data.
bool replaceSheetData(const QByteArray& sheetXml, const SheetContent& content, QByteArray* result);

// Adds a cell style that shows dates to the styles part; its index, or -1 when the part
// has no cell styles to add to.
int addDateStyle(QByteArray* stylesXml);

// Removes the calculation chain, which would name cells that no longer hold formulas.
void dropCalcChain(Package* package, const WorkbookInfo& info);

enum class FormatKind;

// A new workbook with one sheet per entry, each holding only its header row. Every column
// whose kind is not General gets a column style that shows it (so that a spreadsheet and
// a later load both know the column's type).
struct NewSheet
{
    QString name;
    QStringList columns;
    QList<FormatKind> kinds;
};
Package newWorkbook(const QList<NewSheet>& sheets);

// The cell style of a kind in a new workbook.
int newWorkbookStyle(FormatKind kind);

// "A" for column 0, "AB" for column 27.
QString columnName(int column);

// Text as cell content: XML escaped, control characters as _xHHHH_.
QString escapeCellText(const QString& text);

} // namespace vnt::oledb::xlsx
