#pragma once

#include "oledb/xlsx/XlsxWriter.h"

#include <string>
#include <string_view>

namespace vnt::oledb::xlsx {

// A sheet part taken apart around its <sheetData> element, whose rows are replaced while
// everything else of the part (column widths, views, ...) stays.
struct SheetPart
{
    QByteArray xml;
    QByteArray prefix;             // namespace prefix of its elements, "x:" or empty
    qsizetype dataStart = 0;       // where <sheetData> starts
    qsizetype dataEnd = 0;         // just after </sheetData> (or <sheetData/>)
    qsizetype dimensionStart = -1; // the value of the dimension's ref, when it has one
    qsizetype dimensionEnd = -1;
};

// False when the part has no sheet data.
bool splitSheetPart(const QByteArray& xml, SheetPart* part);

// Writes a sheet part with new rows, row by row, straight as UTF-8: values in the style of
// their column, texts inline, dates less the offset of a 1904 workbook. A sheet is written
// whole after every change, so the cells are written without any string of their own.
class SheetDataWriter
{
public:
    // Starts the part for `rows` rows of data, after a header row when `headerRow`.
    SheetDataWriter(const SheetPart& part, const QList<ColumnFormat>& columns, bool headerRow,
                    qsizetype rows, double dateOffset);

    void beginRow();
    void addInteger(int column, qint64 value);
    void addNumber(int column, double value);
    void addText(int column, std::string_view utf8);
    // A value as a SheetContent holds it: null, qint64, double or text.
    void addValue(int column, const QVariant& value);
    void endRow();
    // The whole part.
    QByteArray finish();

private:
    struct Column
    {
        std::string start;  // <c r="B
        std::string number; // " s="3"><v>
        std::string text;   // " s="3" t="inlineStr"><is><t
        ColumnFormat format;
    };

    void beginCell(const Column& column);
    void addTextCell(const std::string& start, const std::string& middle, std::string_view utf8);
    void appendEscaped(std::string_view utf8);

    const SheetPart& m_part;
    QByteArray m_xml;
    std::string m_prefix;
    QList<Column> m_columns;
    double m_dateOffset = 0;
    int m_row = 0;
    char m_rowNumber[16] = {};
    int m_rowNumberSize = 0;
    std::string m_numberEnd; // </v></c>
    std::string m_textEnd;   // </t></is></c>
};

} // namespace vnt::oledb::xlsx
