// vntmapi-profiles: edits the mail library's profiles. The file is the one the library reads
// ($VANTREL_MAPI_PROFILES, else <config dir>/Korvane/vntmapi-profiles.ini) or the one named on
// the command line.
#include "ProfileEditor.h"
#include "ProfileFile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vntmapi-profiles"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Edits the mail profiles of Vantrel."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The profile file (default: the library's)."));
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    vntprofiles::ProfileFile file;
    QString error;
    if (!file.load(arguments.isEmpty() ? vntprofiles::ProfileFile::defaultPath()
                                       : arguments.first(),
                   &error)) {
        // A file the editor cannot read is left alone rather than replaced.
        QMessageBox::critical(nullptr, QObject::tr("Mail Profiles"), error);
        return 1;
    }
    vntprofiles::ProfileEditor editor(&file);
    editor.resize(editor.sizeHint().expandedTo(QSize(720, 480)));
    editor.show();
    return app.exec();
}
