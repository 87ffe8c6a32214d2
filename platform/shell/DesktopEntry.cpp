#include "shell/DesktopEntry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace vnt::shell {

namespace {

QStringList searchPath(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return (value.isEmpty() ? fallback : value).split(u':', Qt::SkipEmptyParts);
}

QString homeDir(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QDir::homePath() + fallback : value;
}

// The data folders, the user's first.
QStringList dataDirs()
{
    return QStringList{homeDir("XDG_DATA_HOME", QStringLiteral("/.local/share"))} +
           searchPath("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

// Value escapes of the desktop entry format.
QString unescapeValue(const QString& value)
{
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar c = value[++i];
            result += c == u's'   ? QChar(u' ')
                      : c == u'n' ? QChar(u'\n')
                      : c == u't' ? QChar(u'\t')
                      : c == u'r' ? QChar(u'\r')
                                  : c;
        } else {
            result += value[i];
        }
    }
    return result;
}

// Each group of a key file as key -> value, the localised keys left out.
using Groups = QMap<QString, QMap<QString, QString>>;

Groups readKeyFile(const QString& path, bool* ok)
{
    Groups groups;
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok) {
        return groups;
    }
    QString group;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            groups[group];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QString key = line.left(equals).trimmed();
        if (equals > 0 && !group.isEmpty() && !key.contains(u'[') && !groups[group].contains(key)) {
            groups[group][key] = line.mid(equals + 1).trimmed();
        }
    }
    return groups;
}

QStringList listValue(const QString& value)
{
    return value.split(u';', Qt::SkipEmptyParts);
}

// Splits an Exec value into arguments: double quotes group, and inside them a backslash
// escapes '"', '`', '$' and '\'.
std::optional<QStringList> splitExec(const QString& exec, QList<bool>* quotedArgs)
{
    QStringList args;
    QString current;
    bool inArg = false;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = wasQuoted = inArg = true;
        } else if (c.isSpace()) {
            if (inArg) {
                args.append(current);
                quotedArgs->append(wasQuoted);
            }
            current.clear();
            inArg = wasQuoted = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inArg) {
        args.append(current);
        quotedArgs->append(wasQuoted);
    }
    return args;
}

std::optional<QString> findDesktopFile(const QString& id)
{
    for (const QString& dir : dataDirs()) {
        const QString applications = dir + QStringLiteral("/applications/");
        if (QFileInfo::exists(applications + id)) {
            return applications + id;
        }
        // "vendor-app.desktop" may live at vendor/app.desktop.
        QDirIterator it(applications, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.mid(applications.size()).replace(u'/', u'-') == id) {
                return path;
            }
        }
    }
    return std::nullopt;
}

std::optional<DesktopEntry> installedEntry(const QString& id)
{
    const std::optional<QString> path = findDesktopFile(id);
    std::optional<DesktopEntry> entry = path ? DesktopEntry::load(*path) : std::nullopt;
    return entry && !entry->hidden ? entry : std::nullopt;
}

QStringList mimeappsFiles()
{
    QStringList desktops;
    for (const QString& name :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts)) {
        desktops.append(name.toLower());
    }
    QStringList folders = QStringList{homeDir("XDG_CONFIG_HOME", QStringLiteral("/.config"))} +
                          searchPath("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const qsizetype configFolders = folders.size();
    for (const QString& dir : dataDirs()) {
        folders.append(dir + QStringLiteral("/applications"));
    }
    QStringList files;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        for (const QString& desktop : desktops) {
            files.append(folders[i] + u'/' + desktop + QStringLiteral("-mimeapps.list"));
        }
        files.append(folders[i] + QStringLiteral("/mimeapps.list"));
        if (i >= configFolders) {
            files.append(folders[i] + QStringLiteral("/defaults.list"));
        }
    }
    return files;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::load(const QString& path)
{
    bool ok = false;
    const Groups groups = readKeyFile(path, &ok);
    if (!ok || !groups.contains(QStringLiteral("Desktop Entry"))) {
        return std::nullopt;
    }
    const QMap<QString, QString>& keys = groups[QStringLiteral("Desktop Entry")];
    DesktopEntry entry;
    entry.path = path;
    entry.name = unescapeValue(keys.value(QStringLiteral("Name")));
    entry.icon = unescapeValue(keys.value(QStringLiteral("Icon")));
    entry.exec = unescapeValue(keys.value(QStringLiteral("Exec")));
    entry.tryExec = unescapeValue(keys.value(QStringLiteral("TryExec")));
    entry.terminal = keys.value(QStringLiteral("Terminal")) == u"true";
    entry.hidden = keys.value(QStringLiteral("Hidden")) == u"true";
    entry.mimeTypes = listValue(keys.value(QStringLiteral("MimeType")));
    return entry;
}

std::optional<QStringList> DesktopEntry::command(const QStringList& urls) const
{
    QList<bool> quotedArgs;
    const std::optional<QStringList> args = splitExec(exec, &quotedArgs);
    if (!args || args->isEmpty()) {
        return std::nullopt;
    }
    QStringList result;
    for (qsizetype n = 0; n < args->size(); ++n) {
        const QString& arg = (*args)[n];
        // A code standing alone may become several arguments or none.
        if (!quotedArgs[n] && arg.size() == 2 && arg[0] == u'%') {
            const QChar code = arg[1];
            if (code == u'F' || code == u'U') {
                result += urls;
                continue;
            }
            if (code == u'f' || code == u'u') {
                result += urls.mid(0, 1);
                continue;
            }
            if (code == u'i') {
                if (!icon.isEmpty()) {
                    result += {QStringLiteral("--icon"), icon};
                }
                continue;
            }
            if (QStringLiteral("dDnNvm").contains(code)) {
                continue; // deprecated codes are dropped
            }
        }
        QString expanded;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] != u'%') {
                expanded += arg[i];
                continue;
            }
            if (i + 1 == arg.size()) {
                return std::nullopt;
            }
            const QChar code = arg[++i];
            if (code == u'%') {
                expanded += u'%';
            } else if (code == u'c') {
                expanded += name;
            } else if (code == u'k') {
                expanded += path;
            } else if (code == u'f' || code == u'u') {
                expanded += urls.value(0);
            } else if (!QStringLiteral("FUidDnNvm").contains(code)) {
                return std::nullopt;
            }
        }
        result += expanded;
    }
    return result;
}

HandlerLookup defaultApplication(const QString& mimeType, DesktopEntry* entry)
{
    bool namedButMissing = false;
    QStringList added;
    QStringList removed;
    for (const QString& file : mimeappsFiles()) {
        bool ok = false;
        const Groups groups = readKeyFile(file, &ok);
        if (!ok) {
            continue;
        }
        for (const QString& id :
             listValue(groups.value(QStringLiteral("Default Applications")).value(mimeType))) {
            if (removed.contains(id)) {
                continue;
            }
            if (std::optional<DesktopEntry> found = installedEntry(id)) {
                *entry = *found;
                return HandlerLookup::Found;
            }
            namedButMissing = true;
        }
        added += listValue(groups.value(QStringLiteral("Added Associations")).value(mimeType));
        removed += listValue(groups.value(QStringLiteral("Removed Associations")).value(mimeType));
    }
    // No usable default: an application associated with the type in some other way.
    for (const QString& id : added) {
        std::optional<DesktopEntry> found =
            removed.contains(id) ? std::nullopt : installedEntry(id);
        if (found) {
            *entry = *found;
            return HandlerLookup::Found;
        }
    }
    for (const QString& dir : dataDirs()) {
        const QString applications = dir + QStringLiteral("/applications/");
        QDirIterator it(applications, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString id = path.mid(applications.size()).replace(u'/', u'-');
            std::optional<DesktopEntry> found = DesktopEntry::load(path);
            if (found && !found->hidden && found->mimeTypes.contains(mimeType) &&
                !removed.contains(id)) {
                *entry = *found;
                return HandlerLookup::Found;
            }
        }
    }
    return namedButMissing ? HandlerLookup::NotInstalled : HandlerLookup::NoneRegistered;
}

} // namespace vnt::shell
