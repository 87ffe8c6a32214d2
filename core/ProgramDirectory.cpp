#include "ProgramDirectory.h"

#include "EmbeddedResources.h"
#include "TextFiles.h"
#include "fileio/AtomicFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace {

const QString kTemplateRoot = EmbeddedResources::templateRoot();
// Lists the template files already offered to this directory, so that a sample the
// user deleted is not brought back while files added to the template still arrive.
const QString kSeedManifest = QStringLiteral(".template-files");

QSet<QString> readManifest(const QString& path)
{
    QString text;
    if (ReadTextFile(path, text) != ReadSuccess)
        return {};
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    return {lines.begin(), lines.end()};
}

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
    if (!QDir(directory).mkpath(QStringLiteral("."))) {
        if (error)
            *error = QStringLiteral("Unable to create the program directory %1").arg(directory);
        return false;
    }
    return seed(kTemplateRoot, directory, error);
}

bool ProgramDirectory::seed(const QString& templateRoot, const QString& directory, QString* error)
{
    const QDir source(templateRoot);
    const QDir target(directory);
    const QString manifestPath = target.filePath(kSeedManifest);
    const QSet<QString> offered = readManifest(manifestPath);
    QStringList files;
    QDirIterator it(templateRoot, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = source.relativeFilePath(from);
        files.append(relative);
        const QString to = target.filePath(relative);
        if (offered.contains(relative) || QFileInfo::exists(to))
            continue;
        if (!target.mkpath(QFileInfo(relative).path()) || !copyFile(from, to)) {
            if (error)
                *error = QStringLiteral("Unable to create %1").arg(to);
            return false;
        }
    }
    files.sort();
    QStringList known(offered.begin(), offered.end());
    known.sort();
    QStringList all = files + known;
    all.removeDuplicates();
    all.sort();
    // The copies are already in place; a manifest that cannot be written only means
    // deleted samples may come back at the next start.
    if (all != known)
        WriteTextFile(manifestPath, all.join(u'\n') + u'\n');
    return true;
}
