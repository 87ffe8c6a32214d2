#include "oledb/xlsx/XlsxWriter.h"

#include "oledb/xlsx/SheetWriter.h"
#include "oledb/xlsx/XlsxReader.h"

#include <QRegularExpression>

namespace vnt::oledb::xlsx {

namespace {

const QString kMainNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString kRelsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kXmlDeclaration =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");

QString escapeAttribute(const QString& text)
{
    QString escaped = escapeCellText(text);
    escaped.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return escaped;
}

QByteArray sheetPart(const NewSheet& sheet)
{
    QString cols;
    for (int column = 0; column < sheet.kinds.size(); ++column) {
        const int style = newWorkbookStyle(sheet.kinds[column]);
        if (style > 0)
            cols += QStringLiteral("<col min=\"%1\" max=\"%1\" width=\"%2\" style=\"%3\" "
                                   "customWidth=\"1\"/>")
                        .arg(column + 1)
                        .arg(sheet.kinds[column] == FormatKind::Text ? 30 : 16)
                        .arg(style);
    }
    if (!cols.isEmpty())
        cols = QLatin1String("<cols>") + cols + QLatin1String("</cols>");
    return (kXmlDeclaration +
            QStringLiteral("<worksheet xmlns=\"%1\" xmlns:r=\"%2\"><dimension ref=\"A1\"/>%3"
                           "<sheetData/></worksheet>")
                .arg(kMainNamespace, kRelsNamespace, cols))
        .toUtf8();
}

QByteArray stylesPart()
{
    return (kXmlDeclaration +
            QStringLiteral(
                "<styleSheet xmlns=\"%1\">"
                "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd hh:mm\"/>"
                "</numFmts><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
                "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
                "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
                "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"4\"><xf numFmtId=\"0\" "
                "fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"164\" "
                "fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
                "<xf numFmtId=\"1\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
                "applyNumberFormat=\"1\"/><xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" "
                "borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs><cellStyles "
                "count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
                "builtinId=\"0\"/></cellStyles></styleSheet>")
                .arg(kMainNamespace))
        .toUtf8();
}

} // namespace

int newWorkbookStyle(FormatKind kind)
{
    switch (kind) {
    case FormatKind::Date:
        return 1;
    case FormatKind::Integer:
        return 2;
    case FormatKind::Text:
        return 3;
    default:
        return 0;
    }
}

QString columnName(int column)
{
    QString name;
    for (++column; column > 0; column = (column - 1) / 26)
        name.prepend(QChar(u'A' + (column - 1) % 26));
    return name;
}

QString escapeCellText(const QString& text)
{
    static const QRegularExpression kLiteralEscape(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
    QString source = text;
    source.replace(kLiteralEscape, QStringLiteral("_x005F_\\1"));
    QString escaped;
    escaped.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c == QLatin1Char('&'))
            escaped += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&gt;");
        else if ((c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')) ||
                 c.unicode() >= 0xFFFE)
            escaped += QLatin1String("_x") +
                       QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0') +
                       QLatin1Char('_');
        else if (c.isHighSurrogate() && i + 1 < source.size() && source[i + 1].isLowSurrogate())
            escaped += source.mid(i++, 2);
        else if (c.isSurrogate())
            escaped += QChar(QChar::ReplacementCharacter);
        else
            escaped += c;
    }
    return escaped;
}

bool replaceSheetData(const QByteArray& sheetXml, const SheetContent& content, QByteArray* result)
{
    SheetPart part;
    if (!splitSheetPart(sheetXml, &part))
        return false;
    SheetDataWriter writer(part, content.columns, content.headerRow, content.rows.size(),
                           content.dateOffset);
    for (const QList<QVariant>& row : content.rows) {
        writer.beginRow();
        for (int column = 0; column < row.size(); ++column)
            writer.addValue(column, row[column]);
        writer.endRow();
    }
    *result = writer.finish();
    return true;
}

int addDateStyle(QByteArray* stylesXml)
{
    QString xml = QString::fromUtf8(*stylesXml);
    static const QRegularExpression kCellXfs(
        QStringLiteral("<([A-Za-z_][\\w.-]*:)?cellXfs\\b[^>]*>(.*?)</\\1?cellXfs>"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = kCellXfs.match(xml);
    if (!match.hasMatch())
        return -1;
    const QString prefix = match.captured(1);
    static const QRegularExpression kXf(QStringLiteral("<([A-Za-z_][\\w.-]*:)?xf\\b"));
    const int index = int(match.captured(2).count(kXf));
    const QString xf = QStringLiteral("<%1xf numFmtId=\"22\" fontId=\"0\" fillId=\"0\" "
                                      "borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>")
                           .arg(prefix);
    xml.insert(match.capturedEnd(2), xf);
    QString open = xml.mid(match.capturedStart(), match.capturedStart(2) - match.capturedStart());
    static const QRegularExpression kCount(QStringLiteral("count=\"\\d*\""));
    open.replace(kCount, QStringLiteral("count=\"%1\"").arg(index + 1));
    xml.replace(match.capturedStart(), match.capturedStart(2) - match.capturedStart(), open);
    *stylesXml = xml.toUtf8();
    return index;
}

void dropCalcChain(Package* package, const WorkbookInfo& info)
{
    if (info.calcChainPart.isEmpty() || !package->contains(info.calcChainPart))
        return;
    package->removePart(info.calcChainPart);
    static const QRegularExpression kRelationship(
        QStringLiteral("<Relationship\\b[^>]*relationships/calcChain\"[^>]*/>"));
    QString rels = QString::fromUtf8(package->part(info.relsPart));
    package->setPart(info.relsPart, rels.remove(kRelationship).toUtf8());
    const QRegularExpression override(QStringLiteral("<Override\\b[^>]*PartName=\"/%1\"[^>]*/>")
                                          .arg(QRegularExpression::escape(info.calcChainPart)));
    const QString typesName = QStringLiteral("[Content_Types].xml");
    QString types = QString::fromUtf8(package->part(typesName));
    package->setPart(typesName, types.remove(override).toUtf8());
}

Package newWorkbook(const QList<NewSheet>& sheets)
{
    QString overrides;
    QString sheetList;
    QString relationships;
    Package package;
    for (int i = 0; i < sheets.size(); ++i) {
        const QString part = QStringLiteral("worksheets/sheet%1.xml").arg(i + 1);
        overrides += QStringLiteral("<Override PartName=\"/xl/%1\" ContentType=\"application/"
                                    "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+"
                                    "xml\"/>")
                         .arg(part);
        sheetList += QStringLiteral("<sheet name=\"%1\" sheetId=\"%2\" r:id=\"rId%2\"/>")
                         .arg(escapeAttribute(sheets[i].name))
                         .arg(i + 1);
        relationships += QStringLiteral("<Relationship Id=\"rId%1\" Type=\"%2/worksheet\" "
                                        "Target=\"%3\"/>")
                             .arg(i + 1)
                             .arg(kRelsNamespace, part);
        package.setPart(QLatin1String("xl/") + part, sheetPart(sheets[i]));
    }
    package.setPart(
        QStringLiteral("[Content_Types].xml"),
        (kXmlDeclaration +
         QStringLiteral(
             "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package."
             "relationships+xml\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd."
             "openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>%1<Override "
             "PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-"
             "officedocument.spreadsheetml.styles+xml\"/></Types>")
             .arg(overrides))
            .toUtf8());
    package.setPart(
        QStringLiteral("_rels/.rels"),
        (kXmlDeclaration +
         QStringLiteral("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                        "relationships\"><Relationship Id=\"rId1\" Type=\"%1/officeDocument\" "
                        "Target=\"xl/workbook.xml\"/></Relationships>")
             .arg(kRelsNamespace))
            .toUtf8());
    package.setPart(QStringLiteral("xl/workbook.xml"),
                    (kXmlDeclaration +
                     QStringLiteral("<workbook xmlns=\"%1\" xmlns:r=\"%2\"><sheets>%3</sheets>"
                                    "</workbook>")
                         .arg(kMainNamespace, kRelsNamespace, sheetList))
                        .toUtf8());
    relationships += QStringLiteral("<Relationship Id=\"rId%1\" Type=\"%2/styles\" "
                                    "Target=\"styles.xml\"/>")
                         .arg(sheets.size() + 1)
                         .arg(kRelsNamespace);
    package.setPart(QStringLiteral("xl/_rels/workbook.xml.rels"),
                    (kXmlDeclaration +
                     QStringLiteral("<Relationships xmlns=\"http://schemas.openxmlformats.org/"
                                    "package/2006/relationships\">%1</Relationships>")
                         .arg(relationships))
                        .toUtf8());
    package.setPart(QStringLiteral("xl/styles.xml"), stylesPart());
    return package;
}

} // namespace vnt::oledb::xlsx
