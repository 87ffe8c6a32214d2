#include "CSupportApp.h"
#include "CommandIcons.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setWindowIcon(applicationIcon());

    CSupportApp theApp(QApplication::arguments());
    if (!theApp.InitInstance(CSupportApp::optionsFrom(QApplication::arguments())))
        return 1;
    return QApplication::exec();
}
