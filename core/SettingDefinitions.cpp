#include "SettingDefinitions.h"

#include "StringTable.h"

namespace {

// name, read default, load range and fallback, writer range and replacements
constexpr std::array<IntSettingRule, IntSettingCount> kIntRules = {{
    {u"Current path", 20, 0, 9, 0, 0, 9, 0, 0},
    {u"Auto record update", 22, 0, 1, 1, 0, 1, 0, 0},
    {u"Open Database at Start", 22, 0, 1, 0, 0, 1, 0, 0},
    {u"Logon to Mail at startup", 22, 0, 1, 0, 0, 1, 0, 0},
    {u"Preview on", 22, 0, 1, 1, 0, 1, 1, 1},
    // Only a stored 0 turns the grid off; the writer stores anything but 1 as 0.
    {u"Grid On", 22, 0, 0, 1, 1, 1, 0, 0},
    {u"Month style", 22, 0, 5, 0, 0, 5, 0, 0},
    {u"Outgoing text type", 22, 0, 1, 0, 0, 1, 0, 0},
    {u"Plain text font size", 100, 8, 36, 12, 8, 36, 10, 12},
    {u"Plain text wrap length", 200, 32, 131, 94, 32, 131, 76, 76},
    {u"Reply Display Options", 0, 1, 4, 2, 1, 4, 2, 2},
    {u"Add attachment to FW msg", 22, 0, 1, 0, 0, 1, 0, 0},
    {u"Read Html code", 22, 0, 1, 0, 0, 1, 0, 0},
    {u"Profile Option", 100, 0, 1, 0, 0, 1, 0, 0},
    {u"Database type", 999, 0, 1, 0, 0, 1, 0, 0},
    {u"RTF text font size", 100, 8, 36, 12, 8, 36, 12, 12},
    {u"Addin Warning", 100, 0, 1, 1, 0, 1, 1, 1},
    {u"Index Ascent", 100, 0, 1, 0, 0, 1, 0, 0},
    {u"Column Index", 100, 0, 11, 0, 0, 11, 0, 0},
    {u"Index Ascent KB", 100, 0, 1, 0, 0, 1, 0, 0},
    {u"Column Index KB", 100, 0, 5, 0, 0, 5, 0, 0},
    {u"Metric measure", 100, 0, 1, 0, 0, 1, 0, 0},
    {u"Left margin", 15121, 711, 2880, 720, 711, 2880, 720, 720},
    {u"Right margin", 15122, 711, 2880, 720, 711, 2880, 720, 720},
    {u"Top margin", 15123, 711, 2880, 720, 711, 2880, 720, 720},
    {u"Bottom margin", 15123, 711, 2880, 720, 711, 2880, 720, 720},
    {u"Run OL on Mail Start", 15124, 0, 1, 0, 0, 1, 0, 0},
}};

struct MaskDefinition
{
    const char16_t* name;
    ColumnMask defaultMask;
    ColumnMask allowed;
};

constexpr std::array<MaskDefinition, kMaskKindCount> kMasks = {{
    {u"Inbox mask", 0x37F, 0x5EFFFF},
    {u"Outbox mask", 0x9BF, 0x503DFF},
    {u"Sent mask", 0x97F, 0x5E3FFF},
    {u"Delete mask", 0x97F, 0x727FFF},
    {u"Others mask", 0x37F, 0x52FFFF},
    {u"IMAP mask", 0x37F, 0x503DFF},
    {u"Contacts mask", 0xFFFFFFFF, 0xFFFFFFFF},
}};

constexpr std::array<int, kColumnCount> kMessageWidths = {
    1,   1,   24,  90,  24,  28,  150, 150, 230, 150, 60,  150, 150, 100, 100, 150,
    110, 150, 150, 100, 100, 150, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,
};

constexpr std::array<int, kColumnCount> kContactWidths = {
    1,   1,   28,  200, 200, 200, 200, 200, 200, 200, 200, 140, 140, 100, 100, 100,
    100, 100, 120, 100, 120, 100, 140, 100, 90,  90,  90,  140, 100, 100, 90,  90,
};

} // namespace

const IntSettingRule& intSettingRule(int index)
{
    Q_ASSERT(index >= 0 && index < IntSettingCount);
    return kIntRules[static_cast<size_t>(index)];
}

QString stringSettingName(int index)
{
    switch (index) {
    case PlainFontName:
        return QStringLiteral("Plain text font name");
    case DatabasePrintHeading:
        return QStringLiteral("Database print heading");
    case KnowledgePrintHeading:
        return QStringLiteral("Knowledge print heading");
    case RtfFontName:
        return QStringLiteral("RTF text font name");
    default:
        return {};
    }
}

QString stringSettingDefault(int index)
{
    switch (index) {
    case PlainFontName:
        return QStringLiteral("Courier New");
    case DatabasePrintHeading:
        return StringTable::instance().text(25513, QStringLiteral("Support database record"));
    case KnowledgePrintHeading:
        return StringTable::instance().text(25514, QStringLiteral("Knowledge base record"));
    case RtfFontName:
        return QStringLiteral("Arial");
    default:
        return {};
    }
}

QString boxColourName(int index)
{
    static const std::array<QString, BoxColourCount> names = {
        QStringLiteral("Edit in"), QStringLiteral("Edit out"), QStringLiteral("Edit file"),
        QStringLiteral("Note pad")};
    return index >= 0 && index < BoxColourCount ? names[static_cast<size_t>(index)] : QString();
}

QString columnMaskName(MaskKind kind)
{
    return QString::fromUtf16(kMasks[static_cast<size_t>(kind)].name);
}

ColumnMask defaultColumnMask(MaskKind kind)
{
    return kMasks[static_cast<size_t>(kind)].defaultMask;
}

ColumnMask allowedColumns(MaskKind kind)
{
    return kMasks[static_cast<size_t>(kind)].allowed;
}

QString columnWidthName(int column, WidthList list)
{
    return (list == WidthList::Contacts ? QStringLiteral("CWC") : QStringLiteral("CW")) +
           QString::number(column);
}

int defaultColumnWidth(int column, WidthList list)
{
    if (column < 0 || column >= kColumnCount)
        return 0;
    const auto& widths = list == WidthList::Contacts ? kContactWidths : kMessageWidths;
    return widths[static_cast<size_t>(column)];
}

QString supportPathName(int index)
{
    return QStringLiteral("Support path %1").arg(index + 1);
}
