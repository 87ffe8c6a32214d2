#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CommandIcons.h"
#include "DemoHome.h"
#include "SingleInstance.h"
#include "core/Prompter.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
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
