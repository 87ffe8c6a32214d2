#include "shell/Shell.h"

#include "registry/RegistryKey.h"
#include "shell/DesktopEntry.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace vnt::shell {

namespace {

namespace reg = vnt::registry;

const QString AppPaths =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\");

// Why `path` cannot be run, or 0 when it can.
std::intptr_t checkProgram(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return info.absoluteDir().exists() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    if (info.isDir() || !info.isExecutable()) {
        return SE_ERR_ACCESSDENIED;
    }
    return 0;
}

// The file a program name stands for: a path as it is, else the first executable of that
// name in PATH, else the first non-executable one (so that the answer says why).
QString programPath(const QString& program)
{
    if (program.contains(u'/')) {
        return program;
    }
    const QString found = QStandardPaths::findExecutable(program);
    if (!found.isEmpty()) {
        return found;
    }
    for (const QString& dir : qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts)) {
        if (QFileInfo::exists(dir + u'/' + program)) {
            return dir + u'/' + program;
        }
    }
    return {};
}

std::intptr_t start(QStringList command, const QString& directory)
{
    if (command.isEmpty() || command.first().isEmpty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const QString path = programPath(command.first());
    if (path.isEmpty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const std::intptr_t problem = checkProgram(path)) {
        return problem;
    }
    if (!directory.isEmpty() && !QFileInfo(directory).isDir()) {
        return ERROR_PATH_NOT_FOUND;
    }
    QProcess process;
    process.setProgram(path);
    process.setArguments(command.mid(1));
    process.setWorkingDirectory(directory);
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        // The file passed the checks, so what failed is running it (a missing interpreter,
        // a format the system cannot run) or the system itself.
        const std::intptr_t problem = checkProgram(path);
        return problem ? problem
                       : (process.error() == QProcess::FailedToStart ? ERROR_FILE_NOT_FOUND
                                                                     : SE_ERR_OOM);
    }
    return pid > 32 ? std::intptr_t(pid) : 33;
}

std::intptr_t startHandler(const QString& mimeType, const QStringList& urls,
                           const QString& parameters, const QString& directory)
{
    DesktopEntry entry;
    switch (defaultApplication(mimeType, &entry)) {
    case HandlerLookup::Found:
        break;
    case HandlerLookup::NotInstalled:
        return SE_ERR_ASSOCINCOMPLETE;
    case HandlerLookup::NoneRegistered:
        return SE_ERR_NOASSOC;
    }
    std::optional<QStringList> command = entry.command(urls);
    if (!command) {
        return SE_ERR_ASSOCINCOMPLETE;
    }
    if (!entry.tryExec.isEmpty() && programPath(entry.tryExec).isEmpty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    *command += QProcess::splitCommand(parameters);
    if (entry.terminal) {
        // Debian's choice of terminal; without one the entry cannot be run as it asks.
        const QString terminal =
            QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
        if (terminal.isEmpty()) {
            return SE_ERR_ASSOCINCOMPLETE;
        }
        command->prepend(QStringLiteral("-e"));
        command->prepend(terminal);
    }
    return start(*command, directory);
}

} // namespace

std::intptr_t shellExecute(const QString& verb, const QString& file, const QString& parameters,
                           const QString& directory, int show)
{
    Q_UNUSED(show); // the desktop decides how a new window is shown
    if (!verb.isEmpty() && verb.compare(u"open", Qt::CaseInsensitive) != 0) {
        return SE_ERR_NOASSOC;
    }
    if (file.isEmpty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    reg::RegistryKey registered;
    if (!file.contains(u'/') && !file.contains(u'\\') &&
        registered.open(reg::HKEY_LOCAL_MACHINE, AppPaths + file, reg::KEY_QUERY_VALUE) ==
            reg::ERROR_SUCCESS) {
        reg::RegistryValue value;
        if (registered.getValue(QString(), reg::RRF_RT_REG_SZ, &value) == reg::ERROR_SUCCESS &&
            !value.toString().trimmed().isEmpty()) {
            return start(QProcess::splitCommand(value.toString()) +
                             QProcess::splitCommand(parameters),
                         directory);
        }
        if (registered.getValue(QStringLiteral("MimeType"), reg::RRF_RT_REG_SZ, &value) ==
                reg::ERROR_SUCCESS &&
            !value.toString().isEmpty()) {
            return startHandler(value.toString(), {}, parameters, directory);
        }
        return SE_ERR_ASSOCINCOMPLETE;
    }
    const QUrl url(file, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1 && !file.startsWith(u'/')) {
        return startHandler(QStringLiteral("x-scheme-handler/") + url.scheme().toLower(), {file},
                            parameters, directory);
    }
    return start(QStringList{file} + QProcess::splitCommand(parameters), directory);
}

} // namespace vnt::shell
