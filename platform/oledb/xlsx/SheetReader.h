#pragma once

#include "oledb/xlsx/XlsxReader.h"

#include <span>
#include <string>
#include <vector>

namespace vnt::oledb::xlsx {

class PartStream;

// A cell as loading reads it, without a string of its own: the text of a text cell is a
// run of its sheet's texts or one of the workbook's shared strings.
struct SheetCell
{
    qint32 column = 0; // 0-based
    qint32 style = 0;
    Cell::Kind kind = Cell::Kind::Empty;
    bool shared = false;  // the text is shared string number `text`
    quint32 text = 0;     // otherwise its offset in the sheet's texts
    quint32 textSize = 0; // and its size
    double number = 0;
};

struct SheetRow
{
    qint32 number = 0; // 1-based row number in the sheet
    quint32 first = 0; // its cells are cells[first, first + count), by column
    quint32 count = 0;
};

// The cells of a sheet: rows that list cells, in sheet order; texts in UTF-8.
struct SheetCells
{
    std::vector<SheetRow> rows;
    std::vector<SheetCell> cells;
    std::string texts;
    QList<ColumnStyle> columnStyles; // in sheet order; a later range wins where they overlap

    std::span<const SheetCell> cellsOf(const SheetRow& row) const
    {
        return {cells.data() + row.first, row.count};
    }
    // The text of a text cell in its own sheet's texts.
    std::string_view ownText(const SheetCell& cell) const
    {
        return {texts.data() + cell.text, cell.textSize};
    }
    QString text(const SheetCell& cell, const WorkbookInfo& info) const;
    int columnStyle(int column) const;
};

// Reads the cells of one sheet part, as readSheet() does, into the compact form.
bool readSheetCells(const QByteArray& xml, const WorkbookInfo& info, SheetCells* sheet,
                    QString* error);

// Reads the cells of a sheet part while it is being inflated.
bool readSheetCells(PartStream& stream, const WorkbookInfo& info, SheetCells* sheet,
                    QString* error);

// The strings of the shared strings part; those before a malformed part of it.
QStringList readSharedStrings(const QByteArray& xml);

// The style of `column` by the ranges `styles`, the later winning; 0 outside them all.
int columnStyleOf(const QList<ColumnStyle>& styles, int column);

} // namespace vnt::oledb::xlsx
