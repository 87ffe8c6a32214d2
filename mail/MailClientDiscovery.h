// Finding the installed mail client in the machine registry, and loading its mail library.
#pragma once

#include "vntmapi/MapiLoader.h"

#include <QLibrary>
#include <QList>
#include <QString>

class QWidget;

namespace vantrel::mail {

// One registered mail client that names a mail library.
struct MailClientEntry
{
    QString clientName;
    QString libraryPath; // as registered: a path, or "mapi32.dll"

    bool operator==(const MailClientEntry&) const = default;
};

// The mail clients registered under HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail that name a
// library, the machine's default client first. A desktop client registered without a
// library gets this program registered under MSMapiApps and the plain "mapi32.dll"; a
// machine without the clients key falls back to "mapi32.dll" when MAPIX is "1". Problems
// with the registry are told to the user (owned by `view`) on the way; an empty list means
// no client was found and nothing has been said about that yet.
QList<MailClientEntry> DiscoverMailClients(QWidget* view, const QString& executablePath);

// The name this program registers under MSMapiApps: the executable's file name.
QString ExecutableFileName(const QString& executablePath);

// The mail library, loaded by path at run time with its twelve entry points resolved.
class MailLibrary
{
public:
    MailLibrary() = default;
    MailLibrary(const MailLibrary&) = delete;
    MailLibrary& operator=(const MailLibrary&) = delete;
    ~MailLibrary() { unload(); }

    // Loads `libraryName` (resolved through the registry's library table) and looks up every
    // entry point; false, with nothing left loaded, when the file or any entry point is
    // missing.
    bool load(const QString& libraryName);
    void unload();
    bool isLoaded() const { return m_library.isLoaded(); }
    const vntmapi::EntryPoints& api() const { return m_api; }

private:
    QFunctionPointer resolve(const char* name);

    QLibrary m_library;
    vntmapi::EntryPoints m_api;
};

} // namespace vantrel::mail
