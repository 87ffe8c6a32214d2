#pragma once

#include "SettingDefinitions.h"

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

class QWidget;
class SettingsStore;
struct LifecycleHooks;

// The settings the view keeps working copies of while it runs, handed back at shut-down.
struct ViewSettings
{
    int autoRecordUpdate = 1;
    int openDatabaseAtStart = 0;
    int logonAtStartup = 0;
    int previewOn = 1;
    int gridOn = 1;
    int monthStyle = 0;
    int outgoingTextType = 0;
    std::array<std::uint32_t, BoxColourCount> boxColours{kDefaultBoxColour, kDefaultBoxColour,
                                                         kDefaultBoxColour, kDefaultBoxColour};
};

// The one document of the program: every lasting setting, the support paths and the
// topic folder table. It lives for the whole run; no file is ever opened as a document.
class CSupportDoc
{
public:
    static constexpr int kMaxTopicFolders = 999;
    static constexpr int kTopicFolderTableSize = 1000;

    // `programDirectory` ends with "/".
    CSupportDoc(SettingsStore& store, const QString& programDirectory);

    // Reads every setting with its default, range and fallback, writing fallbacks back
    // at once. The topic store and the support path list follow (see CSupportApp).
    void LoadSettings();
    // Writes every setting back at shut-down: the integers (taking the view's copies
    // for indexes 1..7), strings, box colours, masks, and the support paths and column
    // widths when they changed during the run. Returns how many string or path values
    // could not be stored; integer failures are not counted.
    int SaveAllSettings(const ViewSettings& view);

    // Whether the main window may close: while logged on with a message being composed
    // the user is asked first (No keeps the window open, Yes stops the message); when
    // logged on the program then logs off.
    bool CanCloseFrame(QWidget* view, const LifecycleHooks& hooks);

    // Integer settings: the in-memory value, and the writer with its own range rules.
    int intSetting(int index) const;
    void setIntSetting(int index, int value);
    void WriteIntSetting(int index, int value = 0);

    QString stringSetting(int index) const;
    void setStringSetting(int index, const QString& value);
    bool WriteStringSetting(int index, const QString& value);

    // Box colours are read by the view's initial update; values above 0xFFFFFF read
    // as white.
    std::uint32_t ReadBoxColour(int index) const;
    void WriteBoxColour(int index, std::uint32_t colour);

    ColumnMask columnMask(MaskKind kind) const;
    void setColumnMask(MaskKind kind, ColumnMask mask);
    void WriteColumnMask(MaskKind kind, ColumnMask mask);
    // Replaces, in memory, every mask that shows a column its folder kind lacks.
    void ValidateColumnMasks();

    int columnWidth(int column, WidthList list) const;
    void ReadColumnWidth(int column, WidthList list);
    void WriteColumnWidth(int column, int width, WidthList list);
    // Changes a width without writing it; it is written at shut-down.
    void setColumnWidth(int column, int width, WidthList list);
    bool columnWidthsChanged() const { return m_columnWidthsChanged; }

    // Support paths: 0 is the main path, 1..9 "Support path 2" .. "Support path 10".
    QString GetSupportPath(int index) const;
    void setSupportPath(int index, const QString& path);
    bool WriteSupportPath(int index);
    bool supportPathsChanged() const { return m_supportPathsChanged; }
    void RebuildSupportPathList();
    const QStringList& supportPathList() const { return m_supportPathList; }

    int currentPathIndex() const { return m_ints[CurrentPath]; }
    void setCurrentPathIndex(int index);
    QString currentTopicRoot() const { return m_currentTopicRoot; }
    void setCurrentTopicRoot(const QString& root) { m_currentTopicRoot = root; }

    int topicFolderCount() const { return m_topicFolderCount; }
    void setTopicFolderCount(int count);
    void incrementTopicFolderCount();
    std::vector<QStringList>& topicFolderTable() { return m_topicFolderTable; }
    const std::vector<QStringList>& topicFolderTable() const { return m_topicFolderTable; }

    QString programDirectory() const { return m_programDirectory; }
    QString mainSupportPath() const { return m_programDirectory + QStringLiteral("support1"); }
    QString notepadFileName() const { return QStringLiteral("notepad.rtf"); }
    QString notepadPath() const { return m_programDirectory + notepadFileName(); }

    SettingsStore& store() { return m_store; }

private:
    void loadIntSettings();
    void loadStringSettings();
    void loadColumnMasks();
    void loadSupportPaths();
    QString supportPathDefault(int index) const;
    int& widthSlot(int column, WidthList list);

    SettingsStore& m_store;
    QString m_programDirectory;

    // The integer settings by index; "Reply Display Options" and the column values
    // are the program-wide copies the mail Parts read.
    std::array<int, IntSettingCount> m_ints{};
    std::array<QString, StringSettingLast + 1> m_strings;
    std::array<ColumnMask, kMaskKindCount> m_masks{};
    std::array<std::array<int, kColumnCount>, 2> m_widths{};
    bool m_columnWidthsChanged = false;

    std::array<QString, kSupportPathCount> m_supportPaths;
    bool m_supportPathsChanged = false;
    QStringList m_supportPathList;
    QString m_currentTopicRoot;

    int m_topicFolderCount = 0;
    std::vector<QStringList> m_topicFolderTable;
};
