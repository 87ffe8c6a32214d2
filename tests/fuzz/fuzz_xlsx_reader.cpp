// Reads any input as a workbook container, and as the XML of one sheet with a few shared
// strings and a date style, so that both the zip layer and the cell reader see it. The
// cells read are written back as a sheet and must read back as as many rows.

#include "oledb/xlsx/XlsxReader.h"
#include "oledb/xlsx/XlsxWriter.h"

#include <cstddef>
#include <cstdint>

namespace xlsx = vnt::oledb::xlsx;

namespace {

void readContainer(const QByteArray& data)
{
    xlsx::Package package;
    xlsx::WorkbookInfo info;
    QString error;
    if (!xlsx::readPackage(data, &package, &error) ||
        !xlsx::readWorkbookInfo(package, &info, &error))
        return;
    for (const xlsx::WorkbookInfo::Sheet& sheet : info.sheets) {
        xlsx::SheetData cells;
        xlsx::readSheet(package.part(sheet.part), info, &cells, &error);
    }
}

QVariant valueOf(const xlsx::Cell& cell)
{
    switch (cell.kind) {
    case xlsx::Cell::Kind::Text:
        return cell.text;
    case xlsx::Cell::Kind::Number:
    case xlsx::Cell::Kind::Boolean:
        return cell.number;
    default:
        return {};
    }
}

void readSheetXml(const QByteArray& data)
{
    xlsx::WorkbookInfo info;
    info.sharedStrings = {QStringLiteral("a"), QStringLiteral("b_x000D_c")};
    info.styleKinds = {xlsx::FormatKind::General, xlsx::FormatKind::Date};
    xlsx::SheetData cells;
    QString error;
    if (!xlsx::readSheet(data, info, &cells, &error))
        return;
    xlsx::SheetContent content;
    content.headerRow = false;
    for (const xlsx::Row& row : cells.rows) {
        QList<QVariant> values;
        for (const xlsx::Cell& cell : row.cells)
            values.append(valueOf(cell));
        while (content.columns.size() < values.size())
            content.columns.append({QStringLiteral("c"), 0, 0, false});
        content.rows.append(values);
    }
    QByteArray written;
    if (!xlsx::replaceSheetData("<worksheet><sheetData/></worksheet>", content, &written))
        __builtin_trap();
    xlsx::SheetData reread;
    if (!xlsx::readSheet(written, info, &reread, &error) || reread.rows.size() != cells.rows.size())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    readContainer(input);
    readSheetXml(input);
    return 0;
}
