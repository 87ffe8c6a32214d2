#pragma once

#include "TextStreams.h"
#include "ViewTimers.h"
#include "WorkspaceHooks.h"
#include "WorkspaceLayout.h"
#include "WorkspaceTabs.h"
#include "compose/ComposeHost.h"
#include "core/CSupportDoc.h"
#include "database/DatabaseHost.h"
#include "mail/MailHost.h"
#include "notepad/NotepadHost.h"
#include "topics/TopicHost.h"

#include <QHash>
#include <QWidget>
#include <array>
#include <memory>

class CRecipientBox;
class CTextBox;
class CommandRouter;
class QComboBox;
class QMenu;
class QTabBar;
class TopicController;
struct LifecycleHooks;
namespace vantrel::mail {
class MailController;
}
namespace vantrel::compose {
class ComposeController;
}
namespace vantrel::database {
class DatabaseController;
}
namespace vantrel::print {
class PrintController;
class PrintHost;
} // namespace vantrel::print
namespace vantrel::notepad {
class NotepadController;
}

// The pop-up menus the view's controls show, built by the main frame.
struct ViewMenus
{
    QMenu* textBox = nullptr;
    QMenu* topicTree = nullptr;
    QMenu* folderTree = nullptr;
    QMenu* message = nullptr;
};

// The workspace: one form holding every control of the eight tabs. Switching tabs
// moves, shows and hides controls from the layout table, sets the shared labels and
// refills the shared selector. The view routes the commands it owns, keeps working
// copies of some settings while it runs and writes every setting back when it goes.
class CSupportView : public QWidget,
                     public TopicHost,
                     public vantrel::mail::MailHost,
                     public vantrel::compose::ComposeHost,
                     public vantrel::database::DatabaseHost,
                     public vantrel::notepad::NotepadHost
{
    Q_OBJECT

public:
    static constexpr int kTabControlId = WorkspaceLayout::kTabControl;
    static constexpr int kSelectorId = 1046;
    static constexpr int kLabelSlots = 15;
    static constexpr int kMarkReadDelay = 12000;

    // `screenWidth` chooses the layout; 640 pixels or less warns and lays out for 800.
    CSupportView(CSupportDoc& doc, LifecycleHooks& hooks, int screenWidth,
                 QWidget* parent = nullptr);
    ~CSupportView() override;

    // Creates the run-time controls, takes the working copies of the settings and runs
    // the start-up work of the other parts. The menus are shown on a right click in their
    // controls.
    void OnInitialUpdate(CommandRouter& router, const ViewMenus& menus = {});

    // The selected tab when it is valid, else the last valid one (currentTab()).
    // Selects tab `tab` and switches to it as a click on the tab would.
    void SelectTab(int tab);

    const WorkspaceLayout& layout() const { return m_layout; }
    bool wideLayout() const { return m_layout.isWide(); }
    int layoutWidth() const { return m_layout.screenWidth(); }
    QTabBar* tabControl() const { return m_tabs; }

    // The control with the given id, or nullptr.
    QWidget* control(int controlId) const { return m_controls.value(controlId); }
    CTextBox* textBox(int controlId) const;
    CRecipientBox* recipientBox(int controlId) const;
    QComboBox* selector() const;

    // Label texts: 15 slots per tab, set on the shared labels in slot order.
    QString labelText(int tab, int slot) const;
    void setLabelText(int tab, int slot, const QString& text);
    static int labelControl(int slot);

    // Text in and out of the boxes (see TextStreams).
    const TextStreams& streams() const { return m_streams; }
    void StreamTextOut(int controlId, QString& text, int rich) const
    {
        m_streams.StreamTextOut(controlId, text, rich);
    }
    void StreamTextIn(int controlId, bool atSelection, const QString& text, int rich) const
    {
        m_streams.StreamTextIn(controlId, atSelection, text, rich);
    }
    void TransferToOutgoing(const QString& text, int rich) const
    {
        m_streams.TransferToOutgoing(text, rich);
    }
    // 0 plain text, 1 rich text.
    int OutgoingFormat() const { return m_settings.outgoingTextType; }
    void setOutgoingFormat(int format) override { m_settings.outgoingTextType = format; }

    bool previewOn() const override { return m_settings.previewOn != 0; }
    // Shows or hides the read box below the folder tree and message list.
    void OnPreviewSwitch();

    // Mark-as-read wait: armed by reading a message; tab changes suspend and resume it.
    void ArmMarkReadWait();
    bool markReadArmed() const { return m_waitArmed; }
    bool markReadSuspended() const { return m_waitSuspended; }
    ViewTimers& timers() { return m_timers; }

    WorkspaceHooks& workspaceHooks() { return m_workspaceHooks; }
    ViewSettings& workingSettings() { return m_settings; }
    const ViewSettings& workingSettings() const { return m_settings; }

    // The control remembered as focused on `tab` (0 when none).
    int rememberedFocus(int tab) const { return m_focusMemory[static_cast<size_t>(tab)]; }
    // The id of the view's control that has the keyboard focus (0 when none).
    int focusedControl() const { return focusedControlId(); }

    // Edit commands on the focused control of the view; nothing when none has focus.
    void EditCommand(int commandId);

    // Preferences (SupportViewPreferences.cpp): runs the sheet opening on `startPage` (see
    // PreferencesSheet); the start page goes back to its default when the sheet closes.
    void OnPreferences(int startPage);
    int preferencesStartPage() const { return m_preferencesPage; }
    // Fills the shared selector again for the tab in front.
    void RefillSelector() { refillSelector(currentTab()); }

    TopicController* topics() const { return m_topics.get(); }
    vantrel::mail::MailController* mail() const { return m_mail.get(); }
    vantrel::compose::ComposeController* compose() const { return m_compose.get(); }
    vantrel::database::DatabaseController* database() const { return m_database.get(); }
    vantrel::notepad::NotepadController* notepad() const { return m_notepad.get(); }
    vantrel::print::PrintController* printing() const { return m_print.get(); }

    // TopicHost and MailHost
    QWidget* hostWidget() override { return this; }
    int currentTab() override;
    int outgoingFormat() const override { return OutgoingFormat(); }
    void streamTextOut(int controlId, QString& text, int rich) override
    {
        m_streams.StreamTextOut(controlId, text, rich);
    }
    void streamTextIn(int controlId, bool atSelection, const QString& text, int rich) override
    {
        m_streams.StreamTextIn(controlId, atSelection, text, rich);
    }
    void transferToOutgoing(const QString& text, int rich) override
    {
        m_streams.TransferToOutgoing(text, rich);
    }
    QTextEdit* topicBox() override;
    void wholeTextOut(int controlId, QString& text, int rich) override
    {
        m_streams.WholeTextOut(controlId, text, rich);
    }
    QRect outgoingBoxScreenRect() override;

    // MailHost
    bool gridOn() const override { return m_settings.gridOn != 0; }
    bool composing() const override;
    void stopComposing() override;
    bool showReadText(const QString& text, bool rich) override;
    void setSenderFields(const QString& name, const QString& address) override;
    void restartReadTimer() override { ArmMarkReadWait(); }
    void stopReadTimer() override;

    // ComposeHost (SupportViewCompose.cpp)
    void applyOutgoingFormat(int format) override;
    void clearOutgoingBody() override;
    QString recipientText(int recipientType) override;
    void setRecipientText(int recipientType, const QString& text) override;
    bool setRecipientRtf(int recipientType, const QByteArray& rtf) override;
    QString subjectText() override;
    void setSubjectText(const QString& text) override;
    void showSendEmail(int controlId) override;

    // DatabaseHost (SupportViewDatabase.cpp)
    QWidget* recordControl(int controlId) const override { return control(controlId); }
    void showTab(int tab) override;
    void setFieldCaptions(int tab, const QStringList& captions) override;
    void refillCriteria() override;
    void refreshSearchLine() override;
    bool autoRecordUpdate() const override { return m_settings.autoRecordUpdate == 1; }
    QString lastReadSubject() override;
    void startViewTimer(int timerId, int milliseconds) override;

    // NotepadHost (SupportViewNotepad.cpp)
    QTextEdit* notepadBox() override;
    QCalendarWidget* monthCalendar() override;

    // Writes every setting back (once); also run by the destructor.
    void SaveSettings();

    static QString tabCaption(int tab);

private:
    // Construction and start-up (CSupportView.cpp).
    void createTabs();
    void createTextBoxes(QMenu* textBoxMenu);
    void createTopics(CommandRouter& router, QMenu* topicTreeMenu);
    void createMail(CommandRouter& router, const ViewMenus& menus);
    void createCompose(CommandRouter& router);
    void createDatabase(CommandRouter& router);
    void createNotepad();
    void createPrint(CommandRouter& router);
    void configureTextBoxes();
    void configureDatePickers();
    void registerControl(int controlId, QWidget* control);
    void initialiseLabels();
    void initialiseTimers();

    // Tabs and layout (SupportViewTabs.cpp).
    void OnTabChange();
    void updateMarkReadWait(int leaving, int next);
    void applyLayout(int tab);
    void placeControl(int id, int tab, const QPoint& origin);
    void placeSearchLine(const QPoint& origin);
    void setTransferCaptions(int tab);
    void refillSelector(int tab);
    void restoreFocus(int tab);
    int focusedControlId() const;
    void OnMarkReadTimer();

    // Commands (SupportViewCommands.cpp).
    void bindCommands(CommandRouter& router);
    void afterPaste(QWidget* target);
    void bindPreferences(CommandRouter& router);

    CSupportDoc& m_doc;
    LifecycleHooks& m_hooks;
    WorkspaceHooks m_workspaceHooks;
    WorkspaceLayout m_layout;
    QTabBar* m_tabs = nullptr;
    QHash<int, QWidget*> m_controls;
    TextStreams m_streams;
    std::unique_ptr<TopicController> m_topics;
    std::unique_ptr<vantrel::mail::MailController> m_mail;
    std::unique_ptr<vantrel::compose::ComposeController> m_compose;
    std::unique_ptr<vantrel::database::DatabaseController> m_database;
    std::unique_ptr<vantrel::notepad::NotepadController> m_notepad;
    std::unique_ptr<vantrel::print::PrintHost> m_printHost;
    std::unique_ptr<vantrel::print::PrintController> m_print;
    ViewTimers m_timers;
    std::array<std::array<QString, kLabelSlots>, WorkspaceTab::Count> m_labels;
    std::array<int, WorkspaceTab::Count> m_focusMemory{};
    int m_currentTab = 0;
    int m_shownTab = 0;
    bool m_waitArmed = false;
    bool m_waitSuspended = false;
    ViewSettings m_settings;
    bool m_settingsSaved = false;
    int m_preferencesPage = 3; // "Calendar display"
};
