#include "ProgramDirectory.h"

#include "EmbeddedResources.h"
#include "fileio/AtomicFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kTemplateRoot = EmbeddedResources::templateRoot();

QString withSlash(QString path)
{
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

bool copyFile(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    return vnt::fileio::writeFileAtomically(to, source.readAll()).ok();
}

} // namespace

QString ProgramDirectory::resolve(const QStringList& arguments)
{
    const qsizetype option = arguments.indexOf(QStringLiteral("--home"));
    if (option >= 0 && option + 1 < arguments.size())
        return withSlash(QDir(arguments.at(option + 1)).absolutePath());
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("--home=")))
            return withSlash(QDir(argument.mid(7)).absolutePath());
    }
    const QString fromEnvironment = qEnvironmentVariable("VANTREL_HOME");
    if (!fromEnvironment.isEmpty())
        return withSlash(QDir(fromEnvironment).absolutePath());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return withSlash(data + QStringLiteral("/Korvane/Vantrel"));
}

bool ProgramDirectory::prepare(const QString& directory, QString* error)
{
    QDir dir(directory);
    const bool fresh =
        !dir.exists() || dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (!dir.mkpath(QStringLiteral("."))) {
        if (error)
            *error = QStringLiteral("Unable to create the program directory %1").arg(directory);
        return false;
    }
    return fresh ? seed(kTemplateRoot, directory, error) : true;
}

bool ProgramDirectory::seed(const QString& templateRoot, const QString& directory, QString* error)
{
    const QDir source(templateRoot);
    const QDir target(directory);
    QDirIterator it(templateRoot, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = source.relativeFilePath(from);
        const QString to = target.filePath(relative);
        const bool ok = it.fileInfo().isDir()
                            ? target.mkpath(relative)
                            : QFileInfo::exists(to) ||
                                  (target.mkpath(QFileInfo(relative).path()) && copyFile(from, to));
        if (!ok) {
            if (error)
                *error = QStringLiteral("Unable to create %1").arg(to);
            return false;
        }
    }
    return true;
}
