#include "CSupportApp.h"

#include "AboutDialog.h"
#include "AccessibleNames.h"
#include "CMainFrame.h"
#include "CSupportView.h"
#include "HelpTopics.h"
#include "HelpWindow.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/ProgramDirectory.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"
#include "topics/TopicStore.h"

#include <QApplication>
#include <QDir>
#include <QScreen>

namespace {

CSupportApp* g_app = nullptr;

QString optionValue(const QStringList& arguments, const QString& name)
{
    const qsizetype at = arguments.indexOf(name);
    if (at >= 0 && at + 1 < arguments.size())
        return arguments.at(at + 1);
    const QString prefix = name + u'=';
    for (const QString& argument : arguments) {
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return {};
}

} // namespace

CSupportApp::CSupportApp(const QStringList& arguments)
    : m_arguments(arguments)
{
    g_app = this;
}

CSupportApp::~CSupportApp()
{
    m_frame.reset();
    if (mailPlatformInitialised)
        LifecycleHooks::run(m_hooks.unloadMailPlatform);
    m_doc.reset();
    if (m_helpWindow)
        delete m_helpWindow.data();
    if (g_app == this)
        g_app = nullptr;
}

CSupportApp* CSupportApp::current()
{
    return g_app;
}

StartOptions CSupportApp::optionsFrom(const QStringList& arguments)
{
    StartOptions options;
    options.programDirectory = ProgramDirectory::resolve(arguments);
    options.settingsFile = optionValue(arguments, QStringLiteral("--settings"));
    const qsizetype demo = arguments.indexOf(QStringLiteral("--demo"));
    if (demo >= 0) {
        const QString next = arguments.value(demo + 1);
        options.demoDirectory = QDir(next.isEmpty() || next.startsWith(u'-')
                                         ? QDir::homePath() + QStringLiteral("/vantrel-demo")
                                         : next)
                                    .absolutePath();
        // The example home keeps everything of its own, away from the user's files.
        options.programDirectory = options.demoDirectory + QStringLiteral("/home/");
        options.settingsFile = options.demoDirectory + QStringLiteral("/settings.ini");
    }
    return options;
}

bool CSupportApp::InitInstance(const StartOptions& options)
{
    m_programDirectory = options.programDirectory.isEmpty() ? ProgramDirectory::resolve(m_arguments)
                                                            : options.programDirectory;
    if (!m_programDirectory.endsWith(u'/'))
        m_programDirectory += u'/';
    QString error;
    if (!ProgramDirectory::prepare(m_programDirectory, &error)) {
        Prompter::current().plainMessage(error);
        return false;
    }

    m_store = options.settingsFile.isEmpty()
                  ? std::make_unique<SettingsStore>()
                  : std::make_unique<SettingsStore>(options.settingsFile);
    m_doc = std::make_unique<CSupportDoc>(*m_store, m_programDirectory);
    m_doc->LoadSettings();
    BuildTopicStore(*m_doc);
    m_doc->RebuildSupportPathList();

    AccessibleNames::install(); // names for screen readers, in every window from now on
    m_frame = std::make_unique<CMainFrame>(*m_store, *m_doc, m_hooks);
    connect(m_frame.get(), &CMainFrame::helpRequested, this,
            [this](int context) { WinHelp(context, true); });
    int screenWidth = options.screenWidth;
    if (screenWidth <= 0 && QGuiApplication::primaryScreen())
        screenWidth = QGuiApplication::primaryScreen()->size().width();
    auto* view = new CSupportView(*m_doc, m_hooks, screenWidth);
    m_frame->setView(view);
    bindApplicationCommands();
    view->OnInitialUpdate(m_frame->router(), m_frame->viewMenus());

    if (options.show)
        m_frame->ActivateFrame();
    return true;
}

CSupportView* CSupportApp::view() const
{
    return m_frame ? m_frame->view() : nullptr;
}

void CSupportApp::bindApplicationCommands()
{
    CommandRouter& router = m_frame->router();
    router.bind(IdAppAbout, [this] {
        AboutDialog about(m_frame.get());
        Prompter::current().runDialog(about);
    });
    router.bind(IdHelpFinder, [this] { WinHelp(0, false); });
    // F1 explains the tab in front; Help Topics opens the contents.
    router.bind(IdHelp, [this] { WinHelp(helpTopicForTab(view() ? view()->currentTab() : 0)); });
    router.bind(IdDefaultHelp, [this] { WinHelp(0, false); });
}

HelpWindow* CSupportApp::helpWindow() const
{
    return m_helpWindow.data();
}

void CSupportApp::WinHelp(int context, bool isContext)
{
    QString page = HelpPages::kDefaultPage;
    if (isContext) {
        const int tab = view() ? view()->currentTab() : 0;
        const std::optional<int> topic = helpTopicForContext(context, tab);
        if (!topic)
            return;
        page = HelpPages::instance().pageFor(*topic);
    }
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(m_frame.get());
        m_helpWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    m_helpWindow->showPage(page);
}
