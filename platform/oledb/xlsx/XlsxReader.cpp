#include "oledb/xlsx/XlsxReader.h"

#include "oledb/DayNumber.h"

#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>

namespace vnt::oledb::xlsx {

namespace {

constexpr int kMaxColumns = 16384;
constexpr int kMaxRows = 1048576;

struct Relationship
{
    QString type;
    QString target;
};

// Resolves a relationship target against the folder of the part that holds it.
QString resolveTarget(const QString& sourcePart, const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    const qsizetype slash = sourcePart.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : sourcePart.left(slash + 1);
    return QDir::cleanPath(folder + target);
}

QString relsPartOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QLatin1String("_rels/") + part.mid(slash + 1) +
           QLatin1String(".rels");
}

QHash<QString, Relationship> readRelationships(const QByteArray& xml, const QString& sourcePart)
{
    QHash<QString, Relationship> relationships;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("Relationship"))
            continue;
        const auto attributes = reader.attributes();
        if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        relationships.insert(
            attributes.value(QLatin1String("Id")).toString(),
            {attributes.value(QLatin1String("Type")).toString(),
             resolveTarget(sourcePart, attributes.value(QLatin1String("Target")).toString())});
    }
    return relationships;
}

QString targetOfType(const QHash<QString, Relationship>& relationships, QLatin1String type)
{
    for (const Relationship& relationship : relationships) {
        if (relationship.type.endsWith(type))
            return relationship.target;
    }
    return {};
}

// The text of a string item (<si> or <is>): its <t> elements, phonetic runs left out.
QString readStringItem(QXmlStreamReader& reader)
{
    const QString end = reader.name().toString();
    QString text;
    int phonetic = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("rPh"))
            ++phonetic;
        else if (reader.isEndElement() && reader.name() == QLatin1String("rPh"))
            --phonetic;
        else if (reader.isStartElement() && reader.name() == QLatin1String("t") && phonetic == 0)
            text += reader.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (reader.isEndElement() && reader.name() == end)
            break;
    }
    return unescapeText(text);
}

QStringList readSharedStrings(const QByteArray& xml)
{
    QStringList strings;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            strings.append(readStringItem(reader));
    }
    return strings;
}

FormatKind builtInFormatKind(int id)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
        (id >= 50 && id <= 58))
        return FormatKind::Date;
    if (id == 49)
        return FormatKind::Text;
    if (id == 1 || id == 3)
        return FormatKind::Integer;
    return id == 0 ? FormatKind::General : FormatKind::Number;
}

QList<FormatKind> readStyleKinds(const QByteArray& xml)
{
    QHash<int, FormatKind> customFormats;
    QList<FormatKind> kinds;
    QXmlStreamReader reader(xml);
    bool inCellXfs = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("numFmt")) {
            const auto attributes = reader.attributes();
            customFormats.insert(
                attributes.value(QLatin1String("numFmtId")).toInt(),
                formatKindOfCode(attributes.value(QLatin1String("formatCode")).toString()));
        } else if (reader.name() == QLatin1String("cellXfs")) {
            inCellXfs = reader.isStartElement();
        } else if (inCellXfs && reader.isStartElement() && reader.name() == QLatin1String("xf")) {
            const int id = reader.attributes().value(QLatin1String("numFmtId")).toInt();
            kinds.append(customFormats.value(id, builtInFormatKind(id)));
        }
    }
    return kinds;
}

bool readWorkbookPart(const QByteArray& xml, const QHash<QString, Relationship>& relationships,
                      WorkbookInfo* info, QString* error)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const auto attributes = reader.attributes();
        if (reader.name() == QLatin1String("workbookPr")) {
            const auto value = attributes.value(QLatin1String("date1904"));
            info->date1904 = value == QLatin1String("1") || value == QLatin1String("true");
        } else if (reader.name() == QLatin1String("sheet")) {
            QString id;
            for (const auto& attribute : attributes) {
                if (attribute.name() == QLatin1String("id"))
                    id = attribute.value().toString();
            }
            if (relationships.contains(id))
                info->sheets.append(
                    {attributes.value(QLatin1String("name")).toString(), relationships[id].target});
        }
    }
    if (reader.hasError()) {
        *error = QStringLiteral("the workbook part is malformed (%1)").arg(reader.errorString());
        return false;
    }
    return true;
}

Cell readCellValue(QXmlStreamReader& reader, QStringView type, const WorkbookInfo& info)
{
    Cell cell;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == QLatin1String("c"))
            break;
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("is")) {
            cell.kind = Cell::Kind::Text;
            cell.text = readStringItem(reader);
        } else if (reader.name() == QLatin1String("v")) {
            const QString value = reader.readElementText();
            if (type == QLatin1String("s")) {
                cell.kind = Cell::Kind::Text;
                cell.text = info.sharedStrings.value(value.toInt());
            } else if (type == QLatin1String("str") || type == QLatin1String("inlineStr")) {
                cell.kind = Cell::Kind::Text;
                cell.text = unescapeText(value);
            } else if (type == QLatin1String("e")) {
                cell.kind = Cell::Kind::Error;
            } else if (type == QLatin1String("d")) {
                cell.kind =
                    parseIsoDayNumber(value, &cell.number) ? Cell::Kind::Number : Cell::Kind::Empty;
            } else {
                bool ok = false;
                cell.number = value.trimmed().toDouble(&ok);
                cell.kind = !ok                          ? Cell::Kind::Empty
                            : type == QLatin1String("b") ? Cell::Kind::Boolean
                                                         : Cell::Kind::Number;
            }
        } else if (reader.name() != QLatin1String("f")) {
            reader.skipCurrentElement();
        }
    }
    return cell;
}

bool readCell(QXmlStreamReader& reader, const WorkbookInfo& info, Row* row)
{
    const auto attributes = reader.attributes();
    int column = row->width();
    if (attributes.hasAttribute(QLatin1String("r")))
        column = columnOfReference(attributes.value(QLatin1String("r")));
    if (column < 0 || column >= kMaxColumns)
        return false;
    const QString type = attributes.value(QLatin1String("t")).toString();
    Cell cell = readCellValue(reader, type, info);
    cell.column = column;
    cell.style = attributes.value(QLatin1String("s")).toInt();
    // Cells come in column order; one listed out of order or twice is placed by its column,
    // the later one winning.
    if (column >= row->width()) {
        row->cells.append(cell);
        return true;
    }
    const auto place =
        std::lower_bound(row->cells.begin(), row->cells.end(), column,
                         [](const Cell& listed, int wanted) { return listed.column < wanted; });
    if (place->column == column)
        *place = cell;
    else
        row->cells.insert(place, cell);
    return true;
}

void readColumnStyle(QXmlStreamReader& reader, SheetData* sheet)
{
    const auto attributes = reader.attributes();
    if (!attributes.hasAttribute(QLatin1String("style")))
        return;
    const int first = qMax(attributes.value(QLatin1String("min")).toInt(), 1);
    const int last = qMin(attributes.value(QLatin1String("max")).toInt(), kMaxColumns);
    if (first <= last)
        sheet->columnStyles.append(
            {first - 1, last - 1, attributes.value(QLatin1String("style")).toInt()});
}

} // namespace

Cell Row::cell(int column) const
{
    const auto found =
        std::lower_bound(cells.begin(), cells.end(), column,
                         [](const Cell& listed, int wanted) { return listed.column < wanted; });
    if (found != cells.end() && found->column == column)
        return *found;
    Cell empty;
    empty.column = column;
    return empty;
}

int SheetData::columnStyle(int column) const
{
    for (auto range = columnStyles.rbegin(); range != columnStyles.rend(); ++range) {
        if (column >= range->first && column <= range->last)
            return range->style;
    }
    return 0;
}

int columnOfReference(QStringView reference)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size(); ++i) {
        const char16_t letter = reference[i].toUpper().unicode();
        if (letter < u'A' || letter > u'Z')
            break;
        column = column * 26 + (letter - u'A' + 1);
        if (column > kMaxColumns)
            return -1;
    }
    return i == 0 ? -1 : column - 1;
}

QString unescapeText(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression kEscape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString result;
    qsizetype last = 0;
    auto match = kEscape.globalMatch(text);
    while (match.hasNext()) {
        const auto found = match.next();
        result += QStringView(text).mid(last, found.capturedStart() - last);
        result += QChar(char16_t(found.captured(1).toUShort(nullptr, 16)));
        last = found.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

FormatKind formatKindOfCode(const QString& code)
{
    // Quoted text, escaped characters, colours and conditions say nothing of the kind.
    static const QRegularExpression kNoise(
        QStringLiteral("\"[^\"]*\"|\\\\.|\\[(?![hHmMsS]+\\])[^\\]]*\\]|_.|\\*."));
    QString significant = code;
    significant.remove(kNoise);
    if (significant.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return FormatKind::General;
    static const QRegularExpression kDatePart(QStringLiteral("[dDmMyYhHsS]"));
    if (significant.contains(kDatePart))
        return FormatKind::Date;
    if (significant.contains(QLatin1Char('@')))
        return FormatKind::Text;
    static const QRegularExpression kWhole(QStringLiteral("^[0#,]+$"));
    return significant.contains(kWhole) ? FormatKind::Integer : FormatKind::Number;
}

bool readWorkbookInfo(const Package& package, WorkbookInfo* info, QString* error)
{
    const auto rootRelationships =
        readRelationships(package.part(QStringLiteral("_rels/.rels")), QString());
    info->workbookPart = targetOfType(rootRelationships, QLatin1String("/officeDocument"));
    if (info->workbookPart.isEmpty() || !package.contains(info->workbookPart)) {
        *error = QStringLiteral("it holds no workbook");
        return false;
    }
    info->relsPart = relsPartOf(info->workbookPart);
    const auto relationships = readRelationships(package.part(info->relsPart), info->workbookPart);
    info->stylesPart = targetOfType(relationships, QLatin1String("/styles"));
    info->sharedStringsPart = targetOfType(relationships, QLatin1String("/sharedStrings"));
    info->calcChainPart = targetOfType(relationships, QLatin1String("/calcChain"));
    info->sharedStrings = readSharedStrings(package.part(info->sharedStringsPart));
    info->styleKinds = readStyleKinds(package.part(info->stylesPart));
    return readWorkbookPart(package.part(info->workbookPart), relationships, info, error);
}

bool readSheet(const QByteArray& xml, const WorkbookInfo& info, SheetData* sheet, QString* error)
{
    QXmlStreamReader reader(xml);
    Row* row = nullptr;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("row")) {
            const int previous = sheet->rows.isEmpty() ? 0 : sheet->rows.last().number;
            const auto number = reader.attributes().value(QLatin1String("r"));
            sheet->rows.append(Row{number.isEmpty() ? previous + 1 : number.toInt(), {}});
            row = &sheet->rows.last();
            if (row->number <= previous || row->number > kMaxRows) {
                *error = QStringLiteral("row %1 is out of order").arg(row->number);
                return false;
            }
        } else if (reader.name() == QLatin1String("c") && row) {
            if (!readCell(reader, info, row)) {
                *error = QStringLiteral("a cell of row %1 has a bad reference").arg(row->number);
                return false;
            }
        } else if (reader.name() == QLatin1String("col")) {
            readColumnStyle(reader, sheet);
        }
    }
    if (reader.hasError()) {
        *error = QStringLiteral("a sheet is malformed (%1)").arg(reader.errorString());
        return false;
    }
    return true;
}

} // namespace vnt::oledb::xlsx
