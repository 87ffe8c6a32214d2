#include "CSupportDoc.h"

#include "LifecycleHooks.h"
#include "MessageHelpers.h"
#include "SettingsStore.h"

namespace {

const QString& internal()
{
    return SettingsStore::kInternalData;
}

bool validWidthColumn(int column)
{
    return column >= 0 && column < kColumnCount;
}

} // namespace

CSupportDoc::CSupportDoc(SettingsStore& store, const QString& programDirectory)
    : m_store(store)
    , m_programDirectory(programDirectory)
    , m_topicFolderTable(kTopicFolderTableSize)
{
    for (int kind = 0; kind < kMaskKindCount; ++kind)
        m_masks[static_cast<size_t>(kind)] = defaultColumnMask(static_cast<MaskKind>(kind));
    for (int column = 0; column < kColumnCount; ++column) {
        widthSlot(column, WidthList::Messages) = defaultColumnWidth(column, WidthList::Messages);
        widthSlot(column, WidthList::Contacts) = defaultColumnWidth(column, WidthList::Contacts);
    }
}

void CSupportDoc::LoadSettings()
{
    loadIntSettings();
    loadStringSettings();
    loadColumnMasks();
    for (int column = 0; column < kColumnCount; ++column) {
        ReadColumnWidth(column, WidthList::Messages);
        ReadColumnWidth(column, WidthList::Contacts);
    }
    loadSupportPaths();
    m_currentTopicRoot = GetSupportPath(currentPathIndex());
}

int CSupportDoc::SaveAllSettings(const ViewSettings& view)
{
    const std::array<int, 8> viewCopies = {0,
                                           view.autoRecordUpdate,
                                           view.openDatabaseAtStart,
                                           view.logonAtStartup,
                                           view.previewOn,
                                           view.gridOn,
                                           view.monthStyle,
                                           view.outgoingTextType};
    for (int index = 0; index < IntSettingCount; ++index) {
        const bool fromView = index >= AutoRecordUpdate && index <= OutgoingTextType;
        WriteIntSetting(index, fromView ? viewCopies[static_cast<size_t>(index)]
                                        : m_ints[static_cast<size_t>(index)]);
    }
    int failures = 0;
    for (int index = PlainFontName; index <= StringSettingLast; ++index) {
        if (!WriteStringSetting(index, m_strings[static_cast<size_t>(index)]))
            ++failures;
    }
    for (int index = 0; index < BoxColourCount; ++index)
        WriteBoxColour(index, view.boxColours[static_cast<size_t>(index)]);
    for (int kind = 0; kind < kMaskKindCount; ++kind)
        WriteColumnMask(static_cast<MaskKind>(kind), m_masks[static_cast<size_t>(kind)]);
    if (m_supportPathsChanged) {
        for (int index = 1; index < kSupportPathCount; ++index) {
            if (!WriteSupportPath(index))
                ++failures;
        }
    }
    if (m_columnWidthsChanged) {
        for (int column = 0; column < kColumnCount; ++column) {
            WriteColumnWidth(column, columnWidth(column, WidthList::Contacts), WidthList::Contacts);
            WriteColumnWidth(column, columnWidth(column, WidthList::Messages), WidthList::Messages);
        }
    }
    m_store.flush();
    return failures;
}

bool CSupportDoc::CanCloseFrame(QWidget* view, const LifecycleHooks& hooks)
{
    if (!LifecycleHooks::ask(hooks.isLoggedOn))
        return true;
    if (LifecycleHooks::ask(hooks.isComposing)) {
        if (!AskViewYesNo(view, 20168, 20139))
            return false;
        LifecycleHooks::run(hooks.stopMessage);
    }
    LifecycleHooks::run(hooks.logoff);
    return true;
}

// ---- integer settings ----

void CSupportDoc::loadIntSettings()
{
    for (int index = 0; index < IntSettingCount; ++index) {
        const IntSettingRule& rule = intSettingRule(index);
        const QString name = QString::fromUtf16(rule.name);
        const int stored = m_store.readInt(internal(), name, rule.readDefault);
        const int value = rule.loaded(stored);
        m_ints[static_cast<size_t>(index)] = value;
        if (value != stored)
            m_store.writeInt(internal(), name, value);
    }
}

int CSupportDoc::intSetting(int index) const
{
    return index >= 0 && index < IntSettingCount ? m_ints[static_cast<size_t>(index)] : 0;
}

void CSupportDoc::setIntSetting(int index, int value)
{
    if (index == CurrentPath)
        setCurrentPathIndex(value);
    else if (index > 0 && index < IntSettingCount)
        m_ints[static_cast<size_t>(index)] = value;
}

void CSupportDoc::WriteIntSetting(int index, int value)
{
    if (index < 0 || index >= IntSettingCount)
        return;
    const IntSettingRule& rule = intSettingRule(index);
    const QString name = QString::fromUtf16(rule.name);
    if (index == CurrentPath) {
        // Takes no value: writes the document's own index when it is valid.
        const int current = currentPathIndex();
        if (current >= 0 && current < kSupportPathCount)
            m_store.writeInt(internal(), name, current);
        return;
    }
    const int validated = rule.forWriting(value);
    m_store.writeInt(internal(), name, validated);
    m_ints[static_cast<size_t>(index)] = validated;
}

// ---- string settings ----

void CSupportDoc::loadStringSettings()
{
    for (int index = PlainFontName; index <= StringSettingLast; ++index) {
        const QString name = stringSettingName(index);
        QString value = m_store.readString(internal(), name);
        if (value.isEmpty()) {
            value = stringSettingDefault(index);
            m_store.writeString(internal(), name, value);
        }
        m_strings[static_cast<size_t>(index)] = value;
    }
}

QString CSupportDoc::stringSetting(int index) const
{
    return index >= PlainFontName && index <= StringSettingLast
               ? m_strings[static_cast<size_t>(index)]
               : QString();
}

void CSupportDoc::setStringSetting(int index, const QString& value)
{
    if (index >= PlainFontName && index <= StringSettingLast)
        m_strings[static_cast<size_t>(index)] = value;
}

bool CSupportDoc::WriteStringSetting(int index, const QString& value)
{
    if (index < PlainFontName || index > StringSettingLast)
        return false;
    const QString stored = value.isEmpty() ? stringSettingDefault(index) : value;
    m_strings[static_cast<size_t>(index)] = stored;
    return m_store.writeString(internal(), stringSettingName(index), stored);
}

// ---- box colours ----

std::uint32_t CSupportDoc::ReadBoxColour(int index) const
{
    const QString name = boxColourName(index);
    if (name.isEmpty())
        return kDefaultBoxColour;
    const auto colour = static_cast<std::uint32_t>(
        m_store.readInt(internal(), name, static_cast<int>(kDefaultBoxColour)));
    return colour > kDefaultBoxColour ? kDefaultBoxColour : colour;
}

void CSupportDoc::WriteBoxColour(int index, std::uint32_t colour)
{
    const QString name = boxColourName(index);
    if (!name.isEmpty())
        m_store.writeUnsigned(internal(), name, colour);
}

// ---- column masks ----

void CSupportDoc::loadColumnMasks()
{
    for (int kind = 0; kind < kMaskKindCount; ++kind) {
        const auto maskKind = static_cast<MaskKind>(kind);
        auto mask =
            static_cast<ColumnMask>(m_store.readInt(internal(), columnMaskName(maskKind), 0));
        if (mask == 0) {
            mask = defaultColumnMask(maskKind);
            m_store.writeUnsigned(internal(), columnMaskName(maskKind), mask);
        }
        m_masks[static_cast<size_t>(kind)] = mask;
    }
}

ColumnMask CSupportDoc::columnMask(MaskKind kind) const
{
    return m_masks[static_cast<size_t>(kind)];
}

void CSupportDoc::setColumnMask(MaskKind kind, ColumnMask mask)
{
    m_masks[static_cast<size_t>(kind)] = mask;
}

void CSupportDoc::WriteColumnMask(MaskKind kind, ColumnMask mask)
{
    m_masks[static_cast<size_t>(kind)] = mask;
    m_store.writeUnsigned(internal(), columnMaskName(kind), mask);
}

void CSupportDoc::ValidateColumnMasks()
{
    for (int kind = 0; kind < kMaskKindCount; ++kind) {
        const auto maskKind = static_cast<MaskKind>(kind);
        ColumnMask& mask = m_masks[static_cast<size_t>(kind)];
        if ((mask & ~allowedColumns(maskKind)) != 0)
            mask = defaultColumnMask(maskKind);
    }
}

// ---- column widths ----

int& CSupportDoc::widthSlot(int column, WidthList list)
{
    return m_widths[static_cast<size_t>(list)][static_cast<size_t>(column)];
}

int CSupportDoc::columnWidth(int column, WidthList list) const
{
    return validWidthColumn(column)
               ? m_widths[static_cast<size_t>(list)][static_cast<size_t>(column)]
               : 0;
}

void CSupportDoc::ReadColumnWidth(int column, WidthList list)
{
    if (!validWidthColumn(column))
        return;
    const QString name = columnWidthName(column, list);
    int width = m_store.readInt(SettingsStore::kColumnData, name, 0);
    // A negative width is as unusable as a missing one.
    if (width <= 0) {
        width = defaultColumnWidth(column, list);
        m_store.writeInt(SettingsStore::kColumnData, name, width);
    }
    widthSlot(column, list) = width;
}

void CSupportDoc::WriteColumnWidth(int column, int width, WidthList list)
{
    if (!validWidthColumn(column))
        return;
    widthSlot(column, list) = width;
    m_store.writeInt(SettingsStore::kColumnData, columnWidthName(column, list), width);
}

void CSupportDoc::setColumnWidth(int column, int width, WidthList list)
{
    if (!validWidthColumn(column))
        return;
    widthSlot(column, list) = width;
    m_columnWidthsChanged = true;
}

// ---- support paths ----

QString CSupportDoc::supportPathDefault(int index) const
{
    return index == kSupportPathCount - 1 ? m_programDirectory + QStringLiteral("Examples")
                                          : mainSupportPath();
}

void CSupportDoc::loadSupportPaths()
{
    m_supportPaths[0] = mainSupportPath();
    for (int index = 1; index < kSupportPathCount; ++index) {
        QString path = m_store.readString(internal(), supportPathName(index));
        if (path.isEmpty()) {
            path = supportPathDefault(index);
            m_store.writeString(internal(), supportPathName(index), path);
        }
        m_supportPaths[static_cast<size_t>(index)] = path;
    }
}

QString CSupportDoc::GetSupportPath(int index) const
{
    if (index < 0 || index >= kSupportPathCount)
        index = 0;
    return index == 0 ? mainSupportPath() : m_supportPaths[static_cast<size_t>(index)];
}

void CSupportDoc::setSupportPath(int index, const QString& path)
{
    if (index < 1 || index >= kSupportPathCount)
        return;
    m_supportPaths[static_cast<size_t>(index)] = path;
    m_supportPathsChanged = true;
}

bool CSupportDoc::WriteSupportPath(int index)
{
    if (index < 1 || index >= kSupportPathCount)
        return false;
    return m_store.writeString(internal(), supportPathName(index),
                               m_supportPaths[static_cast<size_t>(index)]);
}

void CSupportDoc::RebuildSupportPathList()
{
    m_supportPathList.clear();
    for (int index = 0; index < kSupportPathCount; ++index) {
        const QString path = GetSupportPath(index);
        if (!path.isEmpty())
            m_supportPathList.append(path);
    }
}

void CSupportDoc::setCurrentPathIndex(int index)
{
    if (index >= 0 && index < kSupportPathCount)
        m_ints[CurrentPath] = index;
}

// ---- topic folder table ----

void CSupportDoc::setTopicFolderCount(int count)
{
    if (count >= 0 && count <= kMaxTopicFolders)
        m_topicFolderCount = count;
}

void CSupportDoc::incrementTopicFolderCount()
{
    if (m_topicFolderCount < kMaxTopicFolders)
        ++m_topicFolderCount;
}
