#pragma once

#include "core/LifecycleHooks.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class CMainFrame;
class CSupportDoc;
class CSupportView;
class HelpWindow;
class SettingsStore;

// How the program starts; the defaults are those of a normal desktop start.
struct StartOptions
{
    QString programDirectory; // empty: chosen from the arguments and environment
    QString settingsFile;     // empty: the user's own settings
    QString demoDirectory;    // set: build the example home there first (--demo)
    int screenWidth = 0;      // 0: the primary screen's width
    bool show = true;
};

// The application: starts the program in order, owns the one document, frame and view
// for the whole run, and is the help entry point.
class CSupportApp : public QObject
{
    Q_OBJECT

public:
    explicit CSupportApp(const QStringList& arguments);
    ~CSupportApp() override;

    // Start-up: the program directory, the settings store, the document with all
    // settings, the frame with its bars, the view and its initial update, then the
    // window. False when the program cannot start.
    bool InitInstance(const StartOptions& options = StartOptions());
    // Turns `arguments` (--home DIR, --settings FILE, --demo [DIR]) into options.
    static StartOptions optionsFrom(const QStringList& arguments);

    static CSupportApp* current();

    CSupportDoc* document() const { return m_doc.get(); }
    CMainFrame* mainFrame() const { return m_frame.get(); }
    CSupportView* view() const;
    SettingsStore* settingsStore() const { return m_store.get(); }
    LifecycleHooks& hooks() { return m_hooks; }
    QString programDirectory() const { return m_programDirectory; }

    // Help: with `context` false the default topic; otherwise the topic of the context.
    void WinHelp(int context, bool isContext = true);
    HelpWindow* helpWindow() const;

    // Set by the mail logon when the mail platform starts; read at the end.
    int mailPlatformInitialised = 0;

private:
    void bindApplicationCommands();

    QStringList m_arguments;
    QString m_programDirectory;
    LifecycleHooks m_hooks;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSupportDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    QPointer<HelpWindow> m_helpWindow;
};
