#pragma once

#include "CPersistentFrame.h"
#include "CSupportView.h"
#include "CommandTable.h"

#include <QHash>

class CSupportDoc;
class CSupportView;
class CommandRouter;
class ContextHelpMode;
class LockKeyState;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolBar;
struct LifecycleHooks;

// The program's only top-level window: the menu bar, the "Standard" and mail toolbars,
// the status bar and the workspace view.
class CMainFrame : public CPersistentFrame
{
    Q_OBJECT

public:
    CMainFrame(SettingsStore& store, CSupportDoc& doc, LifecycleHooks& hooks,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    void setView(CSupportView* view);
    CSupportView* view() const { return m_view; }
    CommandRouter& router() { return *m_router; }

    QToolBar* standardToolBar() const { return m_standardBar; }
    QToolBar* mailToolBar() const { return m_mailBar; }
    int mailToolBarFlag() const { return m_mailToolBarFlag; }
    ContextHelpMode* contextHelp() const { return m_contextHelp; }

    // The text-box popup menu (menu 128), shown by the text boxes on a right click.
    QMenu* textBoxMenu() const { return m_textBoxMenu; }
    // The topic tree's popup menu (menu 178).
    QMenu* topicTreeMenu() const { return m_topicTreeMenu; }
    // Every pop-up menu the view's controls show.
    ViewMenus viewMenus() const
    {
        return {m_textBoxMenu, m_topicTreeMenu, m_folderTreeMenu, m_messageMenu};
    }

    // The whole form below the menu bar and toolbars, above the status bar.
    QSize firstStartSize() const override;

    // Asks for help on a context (see the application's help entry point).
    void requestHelp(int context);

    // Refreshes the enabled and checked states and the lock-key panes, as idle time does.
    void updateIdleState();

Q_SIGNALS:
    // Help on a context (0x10000 plus a control or command id, or 0x10065).
    void helpRequested(int context);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createMenus();
    QMenu* buildMenu(const QString& title, const QList<MenuItem>& items, QWidget* parent);
    QAction* createAction(int id, const QString& text);
    QToolBar* createToolBar(const QString& title, const QString& objectName,
                            const QList<int>& buttons);
    void createStatusBar();
    void bindFrameCommands();
    void OnMailToolBar();
    void fitMailBar();
    bool isRecordMoveKey(const QKeyEvent* key) const;

    CSupportDoc& m_doc;
    LifecycleHooks& m_hooks;
    CommandRouter* m_router;
    CSupportView* m_view = nullptr;
    QToolBar* m_standardBar = nullptr;
    QToolBar* m_mailBar = nullptr;
    int m_mailBarTextWidth = 0;
    QMenu* m_textBoxMenu = nullptr;
    QMenu* m_topicTreeMenu = nullptr;
    QMenu* m_folderTreeMenu = nullptr;
    QMenu* m_messageMenu = nullptr;
    ContextHelpMode* m_contextHelp = nullptr;
    QLabel* m_messagePane = nullptr;
    QHash<int, QLabel*> m_indicators;
    std::unique_ptr<LockKeyState> m_lockKeys;
    int m_mailToolBarFlag = 1;
};
