#include "oledb/xlsx/SheetReader.h"

#include "oledb/DayNumber.h"
#include "oledb/xlsx/PackageReader.h"
#include "oledb/xlsx/XmlScanner.h"

#include <QStringDecoder>
#include <algorithm>
#include <charconv>

namespace vnt::oledb::xlsx {

namespace {

constexpr int kMaxColumns = 16384;
constexpr int kMaxRows = 1048576;

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// A whole number as the attributes of a sheet give them; 0 when it is none, as Qt's
// conversions answer.
int toInt(std::string_view text)
{
    text = trimmed(text);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

bool toDouble(std::string_view text, double* value)
{
    text = trimmed(text);
    if (text.starts_with('+') && !text.starts_with("+-"))
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

int columnOfReference(std::string_view reference)
{
    int column = 0;
    size_t i = 0;
    for (; i < reference.size(); ++i) {
        char letter = reference[i];
        if (letter >= 'a' && letter <= 'z')
            letter = char(letter - 'a' + 'A');
        if (letter < 'A' || letter > 'Z')
            break;
        column = column * 26 + (letter - 'A' + 1);
        if (column > kMaxColumns)
            return -1;
    }
    return i == 0 ? -1 : column - 1;
}

// The document as UTF-8 the scanner can read: a part in UTF-16 is converted, and bytes
// that are not UTF-8 become replacement characters, as a text decoder makes them.
std::string_view utf8Document(const QByteArray& xml, QByteArray* converted)
{
    const std::optional<QStringConverter::Encoding> encoding =
        QStringConverter::encodingForData(xml);
    if (encoding && *encoding != QStringConverter::Utf8) {
        QStringDecoder decoder(*encoding);
        *converted = QString(decoder(xml)).toUtf8();
    } else if (!xml.isValidUtf8()) {
        *converted = QString::fromUtf8(xml).toUtf8();
    } else {
        return {xml.constData(), size_t(xml.size())};
    }
    return {converted->constData(), size_t(converted->size())};
}

// The text of a string item (<si> or <is>) just started: its <t> elements, phonetic runs
// left out.
bool readStringItem(XmlScanner& xml, std::string* item, std::string* scratch)
{
    item->clear();
    const int itemDepth = xml.depth();
    int phonetic = 0;
    for (;;) {
        const XmlScanner::Token token = xml.next();
        if (token == XmlScanner::Token::StartElement && isWord(xml.name(), "rPh")) {
            ++phonetic;
        } else if (token == XmlScanner::Token::EndElement && isWord(xml.name(), "rPh")) {
            --phonetic;
        } else if (token == XmlScanner::Token::StartElement && isWord(xml.name(), "t") &&
                   phonetic == 0) {
            std::string_view text;
            if (!xml.elementText(&text, scratch, true))
                return false;
            item->append(text);
        } else if (token == XmlScanner::Token::EndElement && xml.depth() < itemDepth) {
            return true;
        } else if (token == XmlScanner::Token::Invalid) {
            return false;
        }
    }
}

// Text with _xHHHH_ escapes turned back into characters; most texts have none.
bool hasEscapes(std::string_view text)
{
    return text.find("_x") != std::string_view::npos;
}

QString unescapedText(std::string_view text)
{
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return hasEscapes(text) ? unescapeText(decoded) : decoded;
}

class SheetParser
{
public:
    SheetParser(std::string_view xml, const WorkbookInfo& info, SheetCells* sheet,
                XmlScanner::MoreInput more = {})
        : m_xml(xml, std::move(more))
        , m_info(info)
        , m_sheet(sheet)
    {}

    bool read(QString* error);

private:
    bool startRow(QString* error);
    bool readCell();
    bool readValue(SheetCell* cell, std::string_view type);
    void readColumnStyle();
    void storeText(SheetCell* cell, std::string_view text, bool escaped);
    void place(const SheetCell& cell);

    XmlScanner m_xml;
    const WorkbookInfo& m_info;
    SheetCells* m_sheet;
    std::string m_item;
    std::string m_scratch;
    std::string m_attribute;
    std::string m_type;
};

bool SheetParser::read(QString* error)
{
    for (;;) {
        const XmlScanner::Token token = m_xml.next();
        if (token == XmlScanner::Token::EndOfDocument)
            return true;
        if (token == XmlScanner::Token::Invalid)
            break;
        if (token != XmlScanner::Token::StartElement)
            continue;
        const std::string_view name = m_xml.name();
        if (isWord(name, "row")) {
            if (!startRow(error))
                return false;
        } else if (isWord(name, "c") && !m_sheet->rows.empty()) {
            if (!readCell()) {
                if (m_xml.hasError())
                    break;
                *error = QStringLiteral("a cell of row %1 has a bad reference")
                             .arg(m_sheet->rows.back().number);
                return false;
            }
        } else if (isWord(name, "col")) {
            readColumnStyle();
        }
    }
    *error = QStringLiteral("a sheet is malformed (%1)").arg(m_xml.errorString());
    return false;
}

bool SheetParser::startRow(QString* error)
{
    const int previous = m_sheet->rows.empty() ? 0 : m_sheet->rows.back().number;
    std::string_view value;
    m_xml.attributeText("r", &value, &m_attribute);
    const int number = value.empty() ? previous + 1 : toInt(value);
    m_sheet->rows.push_back({number, quint32(m_sheet->cells.size()), 0});
    if (number <= previous || number > kMaxRows) {
        *error = QStringLiteral("row %1 is out of order").arg(number);
        return false;
    }
    return true;
}

bool SheetParser::readCell()
{
    const SheetRow& row = m_sheet->rows.back();
    int column = row.count == 0 ? 0 : m_sheet->cells.back().column + 1;
    std::string_view value;
    if (m_xml.attributeText("r", &value, &m_attribute))
        column = columnOfReference(value);
    if (column < 0 || column >= kMaxColumns)
        return false;
    SheetCell cell;
    cell.column = column;
    if (m_xml.attributeText("s", &value, &m_attribute))
        cell.style = toInt(value);
    std::string_view type;
    m_xml.attributeText("t", &type, &m_type);
    if (!readValue(&cell, type))
        return false;
    place(cell);
    return true;
}

bool SheetParser::readValue(SheetCell* cell, std::string_view type)
{
    const int cellDepth = m_xml.depth();
    for (;;) {
        const XmlScanner::Token token = m_xml.next();
        if (token == XmlScanner::Token::EndElement && m_xml.depth() < cellDepth)
            return true;
        if (token == XmlScanner::Token::Invalid)
            return false;
        if (token != XmlScanner::Token::StartElement)
            continue;
        if (isWord(m_xml.name(), "is")) {
            if (!readStringItem(m_xml, &m_item, &m_scratch))
                return false;
            cell->kind = Cell::Kind::Text;
            storeText(cell, m_item, true);
        } else if (isWord(m_xml.name(), "v")) {
            std::string_view value;
            if (!m_xml.elementText(&value, &m_scratch, false))
                return false;
            if (isWord(type, "s")) {
                cell->kind = Cell::Kind::Text;
                const int index = toInt(value);
                if (index >= 0 && index < m_info.sharedStrings.size()) {
                    cell->shared = true;
                    cell->text = quint32(index);
                    cell->textSize = 0;
                } else {
                    storeText(cell, {}, false);
                }
            } else if (isWord(type, "str") || isWord(type, "inlineStr")) {
                cell->kind = Cell::Kind::Text;
                storeText(cell, value, true);
            } else if (isWord(type, "e")) {
                cell->kind = Cell::Kind::Error;
            } else if (isWord(type, "d")) {
                const QString text = QString::fromUtf8(value.data(), qsizetype(value.size()));
                cell->kind =
                    parseIsoDayNumber(text, &cell->number) ? Cell::Kind::Number : Cell::Kind::Empty;
            } else {
                const bool ok = toDouble(value, &cell->number);
                cell->kind = !ok                 ? Cell::Kind::Empty
                             : isWord(type, "b") ? Cell::Kind::Boolean
                                                 : Cell::Kind::Number;
            }
        } else if (!isWord(m_xml.name(), "f") && !m_xml.skipElement()) {
            return false;
        }
    }
}

void SheetParser::storeText(SheetCell* cell, std::string_view text, bool escaped)
{
    cell->shared = false;
    cell->text = quint32(m_sheet->texts.size());
    if (escaped && hasEscapes(text)) {
        const QByteArray unescaped = unescapedText(text).toUtf8();
        m_sheet->texts.append(unescaped.constData(), size_t(unescaped.size()));
    } else {
        m_sheet->texts.append(text);
    }
    cell->textSize = quint32(m_sheet->texts.size() - cell->text);
}

// Cells come in column order; one listed out of order or twice is placed by its column,
// the later one winning.
void SheetParser::place(const SheetCell& cell)
{
    SheetRow& row = m_sheet->rows.back();
    std::vector<SheetCell>& cells = m_sheet->cells;
    if (row.count == 0 || cell.column > cells.back().column) {
        cells.push_back(cell);
        ++row.count;
        return;
    }
    const auto begin = cells.begin() + row.first;
    const auto place =
        std::lower_bound(begin, cells.end(), cell.column, [](const SheetCell& listed, int wanted) {
            return listed.column < wanted;
        });
    if (place->column == cell.column) {
        *place = cell;
    } else {
        cells.insert(place, cell);
        ++row.count;
    }
}

void SheetParser::readColumnStyle()
{
    std::string_view value;
    if (!m_xml.attributeText("style", &value, &m_attribute))
        return;
    const int style = toInt(value);
    const int first =
        std::max(m_xml.attributeText("min", &value, &m_attribute) ? toInt(value) : 0, 1);
    const int last =
        std::min(m_xml.attributeText("max", &value, &m_attribute) ? toInt(value) : 0, kMaxColumns);
    if (first <= last)
        m_sheet->columnStyles.append({first - 1, last - 1, style});
}

} // namespace

QString SheetCells::text(const SheetCell& cell, const WorkbookInfo& info) const
{
    if (cell.shared)
        return info.sharedStrings.value(qsizetype(cell.text));
    const std::string_view text = ownText(cell);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

int SheetCells::columnStyle(int column) const
{
    return columnStyleOf(columnStyles, column);
}

int columnStyleOf(const QList<ColumnStyle>& styles, int column)
{
    for (auto range = styles.rbegin(); range != styles.rend(); ++range) {
        if (column >= range->first && column <= range->last)
            return range->style;
    }
    return 0;
}

bool readSheetCells(const QByteArray& xml, const WorkbookInfo& info, SheetCells* sheet,
                    QString* error)
{
    QByteArray converted;
    const std::string_view document = utf8Document(xml, &converted);
    // Room for the cells a part of this size usually holds: untouched room costs nothing.
    sheet->cells.reserve(document.size() / 32);
    sheet->texts.reserve(document.size() / 2);
    SheetParser parser(document, info, sheet);
    return parser.read(error);
}

bool readSheetCells(PartStream& stream, const WorkbookInfo& info, SheetCells* sheet, QString* error)
{
    bool complete = false;
    std::string_view document = stream.waitForMore(3, &complete);
    const auto whole = [&] {
        while (!complete)
            document = stream.waitForMore(document.size(), &complete);
        return QByteArray::fromRawData(document.data(), qsizetype(document.size()));
    };
    // A part in another encoding is read once it has come whole.
    const auto encoding = QStringConverter::encodingForData(
        QByteArrayView(document.data(), qsizetype(document.size())));
    if (encoding && *encoding != QStringConverter::Utf8)
        return readSheetCells(whole(), info, sheet, error);
    const size_t expected = size_t(stream.expectedSize());
    sheet->cells.reserve(expected / 32);
    sheet->texts.reserve(expected / 2);
    SheetParser parser(document, info, sheet, [&stream](size_t size, bool* done) {
        return stream.waitForMore(size, done);
    });
    const bool read = parser.read(error);
    // Bytes that are not UTF-8 are read again as replacement characters.
    if (whole().isValidUtf8())
        return read;
    *sheet = SheetCells();
    return readSheetCells(whole(), info, sheet, error);
}

QStringList readSharedStrings(const QByteArray& xml)
{
    QByteArray converted;
    XmlScanner scanner(utf8Document(xml, &converted));
    QStringList strings;
    std::string item;
    std::string scratch;
    for (;;) {
        const XmlScanner::Token token = scanner.next();
        if (token == XmlScanner::Token::EndOfDocument || token == XmlScanner::Token::Invalid)
            return strings;
        if (token == XmlScanner::Token::StartElement && isWord(scanner.name(), "si")) {
            if (!readStringItem(scanner, &item, &scratch))
                return strings;
            strings.append(unescapedText(item));
        }
    }
}

} // namespace vnt::oledb::xlsx
