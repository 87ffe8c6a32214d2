// Desktop entries (the .desktop files of the XDG desktop entry format) and the lookup of a
// MIME type's default application (the XDG MIME applications rules).
#pragma once

#include <QStringList>
#include <optional>

namespace vnt::shell {

struct DesktopEntry
{
    QString path;
    QString name;
    QString icon;
    QString exec;
    QString tryExec;
    bool terminal = false;
    bool hidden = false;
    QStringList mimeTypes;

    // Reads the [Desktop Entry] group; nullopt when the file cannot be read or lacks it.
    static std::optional<DesktopEntry> load(const QString& path);

    // The command line of the Exec key with its field codes filled in for `urls` (the
    // files or URLs to open); nullopt when the line is malformed (unbalanced quotes, an
    // unknown field code or no program).
    std::optional<QStringList> command(const QStringList& urls) const;
};

enum class HandlerLookup { Found, NoneRegistered, NotInstalled };

// The desktop entry of the default application for `mimeType`. NotInstalled when defaults
// name only applications that are not installed and nothing else handles the type.
HandlerLookup defaultApplication(const QString& mimeType, DesktopEntry* entry);

} // namespace vnt::shell
