#pragma once

#include "core/CSupportDoc.h"

#include <QWidget>

class CommandRouter;
class QTabBar;
struct LifecycleHooks;

// The workspace: one form with eight tabs that fills the main window. It keeps working
// copies of some settings while it runs and writes every setting back when it goes.
class CSupportView : public QWidget
{
    Q_OBJECT

public:
    enum Tab {
        EmailFolders = 0,
        ReadEmail,
        CreateReply,
        SendEmail,
        DatabaseTab,
        KnowledgeBase,
        CreateTopicFile,
        NotePadCalendar,
        TabCount
    };
    static constexpr int kTabControlId = 1075;
    static constexpr int kWideLayoutFrom = 801;
    static constexpr int kLowResolution = 640;

    // `screenWidth` chooses the layout; 640 pixels or less warns and lays out for 800.
    CSupportView(CSupportDoc& doc, LifecycleHooks& hooks, int screenWidth,
                 QWidget* parent = nullptr);
    ~CSupportView() override;

    void OnInitialUpdate(CommandRouter& router);

    // The selected tab when it is valid, else the last valid one.
    int currentTab();
    void SelectTab(int tab);

    bool wideLayout() const { return m_wideLayout; }
    int layoutWidth() const { return m_layoutWidth; }
    QTabBar* tabControl() const { return m_tabs; }

    ViewSettings& workingSettings() { return m_settings; }
    const ViewSettings& workingSettings() const { return m_settings; }

    // Writes every setting back (once); also run by the destructor.
    void SaveSettings();

    static QString tabCaption(int tab);

private:
    void createTabs();

    CSupportDoc& m_doc;
    LifecycleHooks& m_hooks;
    QTabBar* m_tabs = nullptr;
    int m_layoutWidth = 0;
    bool m_wideLayout = false;
    int m_currentTab = 0;
    ViewSettings m_settings;
    bool m_settingsSaved = false;
};
