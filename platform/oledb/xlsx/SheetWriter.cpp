#include "oledb/xlsx/SheetWriter.h"

#include <QByteArrayView>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vnt::oledb::xlsx {

namespace {

bool isWordByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Where `needle` is in `xml` from `from` on; -1 if nowhere. Markup is full of '<', which
// makes a search by its first byte slow.
qsizetype find(const QByteArray& xml, QByteArrayView needle, qsizetype from)
{
    if (from > xml.size())
        return -1;
    const void* found = memmem(xml.constData() + from, size_t(xml.size() - from), needle.data(),
                               size_t(needle.size()));
    return found ? static_cast<const char*>(found) - xml.constData() : -1;
}

// Where <sheetData> (or <prefix:sheetData>) starts, its prefix in `prefix`; -1 if nowhere.
qsizetype findSheetData(const QByteArray& xml, QByteArray* prefix)
{
    const QByteArrayView name("sheetData");
    for (qsizetype at = find(xml, name, 0); at >= 0; at = find(xml, name, at + 1)) {
        const qsizetype after = at + name.size();
        if (at == 0 || (after < xml.size() && isWordByte(xml[after])))
            continue;
        if (xml[at - 1] == '<') {
            prefix->clear();
            return at - 1;
        }
        if (xml[at - 1] != ':')
            continue;
        qsizetype start = at - 1;
        while (start > 0 &&
               (isWordByte(xml[start - 1]) || xml[start - 1] == '.' || xml[start - 1] == '-'))
            --start;
        const char first = xml[start];
        if (start > 0 && start < at - 1 && xml[start - 1] == '<' &&
            !(first >= '0' && first <= '9') && first != '.' && first != '-') {
            *prefix = xml.mid(start, at - start);
            return start - 1;
        }
    }
    return -1;
}

// The value of ref in "<prefix:dimension ref="...">" before `limit`.
void findDimension(SheetPart* part, qsizetype limit)
{
    const QByteArray tag = '<' + part->prefix + "dimension";
    const qsizetype at = find(part->xml, tag, 0);
    if (at < 0 || at >= limit)
        return;
    qsizetype p = at + tag.size();
    const qsizetype spaces = p;
    while (p < limit && isXmlSpace(part->xml[p]))
        ++p;
    if (p == spaces || !QByteArrayView(part->xml).sliced(p).startsWith("ref=\""))
        return;
    const qsizetype value = p + 5;
    const qsizetype close = part->xml.indexOf('"', value);
    if (close < 0 || close >= limit)
        return;
    part->dimensionStart = value;
    part->dimensionEnd = close;
}

// Whether a text needs its white space kept: at an end, a line end or tab, or doubled.
bool keepsSpace(std::string_view text)
{
    if (text.empty())
        return false;
    if (isXmlSpace(text.front()) || isXmlSpace(text.back()))
        return true;
    return text.find_first_of("\t\n\r") != std::string_view::npos ||
           text.find("  ") != std::string_view::npos;
}

// "_xHHHH_" at `p`, which a reader would take for an escaped character.
bool isLiteralEscape(const char* p, const char* end)
{
    return end - p >= 7 && p[0] == '_' && p[1] == 'x' && isHexDigit(p[2]) && isHexDigit(p[3]) &&
           isHexDigit(p[4]) && isHexDigit(p[5]) && p[6] == '_';
}

std::string styled(int style)
{
    return style > 0 ? "\" s=\"" + std::to_string(style) + '"' : std::string("\"");
}

} // namespace

bool splitSheetPart(const QByteArray& xml, SheetPart* part)
{
    part->xml = xml;
    part->dataStart = findSheetData(xml, &part->prefix);
    if (part->dataStart < 0)
        return false;
    const qsizetype openEnd = xml.indexOf('>', part->dataStart + 1 + part->prefix.size() +
                                                   qsizetype(sizeof "sheetData") - 1);
    if (openEnd < 0)
        return false;
    part->dataEnd = openEnd + 1;
    if (xml[openEnd - 1] != '/') {
        const QByteArray close = "</" + part->prefix + "sheetData>";
        const qsizetype closeAt = find(xml, close, openEnd);
        if (closeAt < 0)
            return false;
        part->dataEnd = closeAt + close.size();
    }
    findDimension(part, part->dataStart);
    return true;
}

SheetDataWriter::SheetDataWriter(const SheetPart& part, const QList<ColumnFormat>& columns,
                                 bool headerRow, qsizetype rows, double dateOffset)
    : m_part(part)
    , m_prefix(part.prefix.toStdString())
    , m_dateOffset(dateOffset)
{
    const QByteArrayView xml(part.xml);
    m_xml.reserve(xml.size() + xml.size() / 8 + 4096);
    const qsizetype rowCount = rows + (headerRow ? 1 : 0);
    if (part.dimensionStart >= 0) {
        m_xml.append(xml.first(part.dimensionStart));
        m_xml.append(rowCount == 0 || columns.isEmpty()
                         ? QByteArray("A1")
                         : "A1:" + columnName(int(columns.size()) - 1).toLatin1() +
                               QByteArray::number(rowCount));
        m_xml.append(xml.sliced(part.dimensionEnd, part.dataStart - part.dimensionEnd));
    } else {
        m_xml.append(xml.first(part.dataStart));
    }
    m_xml.append('<').append(part.prefix).append("sheetData>");
    const std::string& p = m_prefix;
    for (int i = 0; i < columns.size(); ++i) {
        const std::string style = styled(columns[i].style);
        m_columns.append({'<' + p + "c r=\"" + columnName(i).toStdString(), style + "><" + p + "v>",
                          style + " t=\"inlineStr\"><" + p + "is><" + p + 't', columns[i]});
    }
    m_numberEnd = "</" + p + "v></" + p + "c>";
    m_textEnd = "</" + p + "t></" + p + "is></" + p + "c>";
    if (!headerRow)
        return;
    beginRow();
    for (const Column& column : m_columns) {
        const QByteArray name = column.format.name.toUtf8();
        addTextCell(column.start,
                    styled(column.format.headerStyle) + " t=\"inlineStr\"><" + p + "is><" + p + 't',
                    {name.constData(), size_t(name.size())});
    }
    endRow();
}

void SheetDataWriter::beginRow()
{
    m_rowNumberSize = int(
        std::to_chars(m_rowNumber, m_rowNumber + sizeof m_rowNumber, ++m_row).ptr - m_rowNumber);
    m_xml.append('<').append(m_prefix.data(), qsizetype(m_prefix.size())).append("row r=\"");
    m_xml.append(m_rowNumber, m_rowNumberSize).append("\">");
}

void SheetDataWriter::endRow()
{
    m_xml.append("</").append(m_prefix.data(), qsizetype(m_prefix.size())).append("row>");
}

void SheetDataWriter::beginCell(const Column& column)
{
    m_xml.append(column.start.data(), qsizetype(column.start.size()));
    m_xml.append(m_rowNumber, m_rowNumberSize);
    m_xml.append(column.number.data(), qsizetype(column.number.size()));
}

void SheetDataWriter::addInteger(int column, qint64 value)
{
    if (column >= m_columns.size())
        return;
    if (m_columns[column].format.date)
        return addNumber(column, double(value));
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    beginCell(m_columns[column]);
    m_xml.append(digits, end - digits).append(m_numberEnd.data(), qsizetype(m_numberEnd.size()));
}

void SheetDataWriter::addNumber(int column, double value)
{
    if (column >= m_columns.size() || !std::isfinite(value))
        return;
    const Column& format = m_columns[column];
    // The shortest text that reads back as the same number.
    char digits[32];
    const char* end = std::to_chars(digits, digits + sizeof digits,
                                    value - (format.format.date ? m_dateOffset : 0))
                          .ptr;
    beginCell(format);
    m_xml.append(digits, end - digits).append(m_numberEnd.data(), qsizetype(m_numberEnd.size()));
}

void SheetDataWriter::addText(int column, std::string_view utf8)
{
    if (column < m_columns.size())
        addTextCell(m_columns[column].start, m_columns[column].text, utf8);
}

void SheetDataWriter::addTextCell(const std::string& start, const std::string& middle,
                                  std::string_view utf8)
{
    m_xml.append(start.data(), qsizetype(start.size())).append(m_rowNumber, m_rowNumberSize);
    m_xml.append(middle.data(), qsizetype(middle.size()));
    m_xml.append(keepsSpace(utf8) ? QByteArrayView(" xml:space=\"preserve\">")
                                  : QByteArrayView(">"));
    appendEscaped(utf8);
    m_xml.append(m_textEnd.data(), qsizetype(m_textEnd.size()));
}

void SheetDataWriter::addValue(int column, const QVariant& value)
{
    if (value.isNull())
        return;
    if (value.typeId() == QMetaType::LongLong)
        return addInteger(column, value.toLongLong());
    if (value.typeId() == QMetaType::Double)
        return addNumber(column, value.toDouble());
    const QByteArray text = value.toString().toUtf8();
    addText(column, {text.constData(), size_t(text.size())});
}

// Appends text as cell content, as escapeCellText() makes it, without going through a
// string of its own unless the text is not UTF-8.
void SheetDataWriter::appendEscaped(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    const bool ascii =
        std::all_of(p, end, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && !QByteArrayView(p, qsizetype(text.size())).isValidUtf8()) {
        m_xml.append(escapeCellText(QString::fromUtf8(p, qsizetype(text.size()))).toUtf8());
        return;
    }
    const char* run = p;
    const auto flush = [&](const char* upTo) {
        m_xml.append(run, upTo - run);
    };
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '&' || c == '<' || c == '>') {
            flush(p);
            m_xml.append(c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;");
            run = ++p;
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            flush(p);
            char escape[8];
            std::snprintf(escape, sizeof escape, "_x%04X_", unsigned(c));
            m_xml.append(escape, 7);
            run = ++p;
        } else if (c == '_' && isLiteralEscape(p, end)) {
            // "_xHHHH_" written as is would read back as one character: its '_' is escaped.
            flush(p);
            m_xml.append("_x005F");
            run = p;
            p += 7;
        } else if (c == 0xEF && end - p >= 3 && static_cast<unsigned char>(p[1]) == 0xBF &&
                   (static_cast<unsigned char>(p[2]) & 0xFE) == 0xBE) {
            flush(p);
            m_xml.append(static_cast<unsigned char>(p[2]) == 0xBE ? "_xFFFE_" : "_xFFFF_");
            run = p += 3;
        } else {
            ++p;
        }
    }
    flush(end);
}

QByteArray SheetDataWriter::finish()
{
    m_xml.append("</").append(m_part.prefix).append("sheetData>");
    m_xml.append(QByteArrayView(m_part.xml).sliced(m_part.dataEnd));
    return std::move(m_xml);
}

} // namespace vnt::oledb::xlsx
