#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CommandIcons.h"
#include "DemoHome.h"
#include "SingleInstance.h"
#include "core/Prompter.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "Usage: vantrel [--home DIR] [--settings FILE]\n"
    "       vantrel --demo [DIR]\n"
    "Answer customer e-mail from prepared topic files and a support database.\n\n"
    "  --home DIR       use DIR as the program directory\n"
    "  --settings FILE  keep the settings in the INI file FILE\n"
    "  --demo [DIR]     build an example home in DIR (default ~/vantrel-demo) and start on it\n"
    "  --help           show this text\n"
    "  --version        show the version\n\n"
    "See vantrel(1); F1 in the program opens the user guide.\n";

// Answered before the window system is reached, so they work without a display.
bool answeredFromCommandLine(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("vantrel " VANTREL_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (answeredFromCommandLine(argc, argv))
        return 0;
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    // Ties the window to the menu entry (icon and grouping on Wayland desktops).
    QGuiApplication::setDesktopFileName(QStringLiteral("vantrel"));
    QApplication::setWindowIcon(applicationIcon());

    const StartOptions options = CSupportApp::optionsFrom(QApplication::arguments());
    // Two runs on one program directory would overwrite each other's files and settings.
    SingleInstance instance(options.programDirectory);
    if (instance.claim() == SingleInstance::Role::Later)
        return 0;

    QString error;
    if (!options.demoDirectory.isEmpty() && !BuildDemoHome(options.demoDirectory, &error)) {
        Prompter::current().plainMessage(error);
        return 1;
    }

    CSupportApp theApp(QApplication::arguments());
    QObject::connect(&instance, &SingleInstance::activationRequested, &theApp,
                     [&theApp] { SingleInstance::bringToFront(theApp.mainFrame()); });
    if (!theApp.InitInstance(options))
        return 1;
    return QApplication::exec();
}
