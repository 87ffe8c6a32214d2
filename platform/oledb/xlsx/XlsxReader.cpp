#include "oledb/xlsx/XlsxReader.h"

#include "oledb/xlsx/SheetReader.h"

#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>

namespace vnt::oledb::xlsx {

namespace {

constexpr int kMaxColumns = 16384;

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
    return columnStyleOf(columnStyles, column);
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
    SheetCells cells;
    if (!readSheetCells(xml, info, &cells, error))
        return false;
    for (const SheetRow& listed : cells.rows) {
        Row row{listed.number, {}};
        row.cells.reserve(listed.count);
        for (const SheetCell& compact : cells.cellsOf(listed)) {
            Cell cell;
            cell.kind = compact.kind;
            cell.column = compact.column;
            cell.number = compact.kind == Cell::Kind::Text ? 0 : compact.number;
            cell.style = compact.style;
            if (compact.kind == Cell::Kind::Text)
                cell.text = cells.text(compact, info);
            row.cells.append(cell);
        }
        sheet->rows.append(row);
    }
    sheet->columnStyles = cells.columnStyles;
    return true;
}

} // namespace vnt::oledb::xlsx
