#include "mail/MailClientDiscovery.h"

#include "core/MessageHelpers.h"
#include "registry/RegistryKey.h"

using namespace Qt::StringLiterals;
using namespace vnt::registry;

namespace vantrel::mail {

namespace {

const QString kClientsKey = u"SOFTWARE\\Clients\\Mail"_s;
const QString kMessagingKey = u"SOFTWARE\\Microsoft\\Windows Messaging Subsystem"_s;
const QString kMapiAppsKey = kMessagingKey + u"\\MSMapiApps"_s;
const QString kDesktopClient = u"Microsoft Outlook"_s;
const QString kPlainLibrary = u"mapi32.dll"_s;

constexpr int kMsgOpenKeyFailed = 20132;
constexpr int kMsgSetKeyFailed = 20135;
constexpr std::uint32_t kMaxClientName = 1024;
constexpr std::uint32_t kMapixBytes = 10;

// "DLLPathEx" of a client key: a string as it is, an expandable string expanded, anything
// else empty.
QString libraryPathOf(const RegistryKey& client)
{
    RegistryValue value;
    if (client.queryValue(u"DLLPathEx"_s, &value) != ERROR_SUCCESS)
        return {};
    if (value.type == REG_SZ)
        return value.toString();
    if (value.type == REG_EXPAND_SZ)
        return expandEnvironmentStrings(value.toString());
    return {};
}

} // namespace

QString ExecutableFileName(const QString& executablePath)
{
    qsizetype cut = -1;
    for (const QChar separator : {u'/', u'\\', u':'})
        cut = std::max(cut, executablePath.lastIndexOf(separator));
    return executablePath.mid(cut + 1);
}

QList<MailClientEntry> DiscoverMailClients(QWidget* view, const QString& executablePath)
{
    QList<MailClientEntry> clients;
    bool desktopSeen = false;
    bool desktopHasLibrary = false;

    RegistryKey clientsKey;
    const bool keyOpened =
        clientsKey.open(HKEY_LOCAL_MACHINE, kClientsKey, KEY_READ) == ERROR_SUCCESS;
    if (keyOpened) {
        RegistryValue defaultValue;
        const QString defaultClient =
            clientsKey.queryValue(QString(), &defaultValue) == ERROR_SUCCESS
                ? defaultValue.toString()
                : QString();
        QStringList names;
        QString name;
        for (std::uint32_t i = 0;; ++i) {
            const LSTATUS status = clientsKey.enumKey(i, &name, kMaxClientName);
            if (status == ERROR_MORE_DATA)
                continue;
            if (status != ERROR_SUCCESS)
                break;
            names.append(name);
        }
        for (const QString& clientName : std::as_const(names)) {
            const bool isDesktop = clientName == kDesktopClient;
            desktopSeen = desktopSeen || isDesktop;
            RegistryKey client;
            if (client.open(HKEY_LOCAL_MACHINE, kClientsKey + u'\\' + clientName, KEY_READ) !=
                ERROR_SUCCESS) {
                ShowViewMessage(view, kMsgOpenKeyFailed, TitleWarning);
                continue;
            }
            const QString path = libraryPathOf(client);
            if (path.isEmpty())
                continue;
            if (clientName == defaultClient)
                clients.prepend({clientName, path});
            else
                clients.append({clientName, path});
            desktopHasLibrary = desktopHasLibrary || isDesktop;
        }
    }

    if (desktopSeen && desktopHasLibrary)
        return clients;

    if (keyOpened && desktopSeen) {
        RegistryKey apps;
        if (apps.open(HKEY_LOCAL_MACHINE, kMapiAppsKey, KEY_SET_VALUE) != ERROR_SUCCESS) {
            ShowViewMessage(view, kMsgOpenKeyFailed, TitleWarning);
            return clients;
        }
        if (apps.setValue(ExecutableFileName(executablePath),
                          RegistryValue::string(kDesktopClient)) != ERROR_SUCCESS)
            ShowViewMessage(view, kMsgSetKeyFailed, TitleInformation);
        clients.append({kDesktopClient, kPlainLibrary});
    }

    if (keyOpened)
        return clients;

    RegistryKey messaging;
    if (messaging.open(HKEY_LOCAL_MACHINE, kMessagingKey, KEY_READ) != ERROR_SUCCESS) {
        ShowViewMessage(view, kMsgOpenKeyFailed, TitleWarning);
        return clients;
    }
    char mapix[kMapixBytes] = {};
    std::uint32_t size = sizeof mapix;
    if (messaging.queryValue(u"MAPIX"_s, nullptr, mapix, &size) == ERROR_SUCCESS &&
        QByteArray(mapix, qstrnlen(mapix, size)) == "1")
        clients.append({u"Default"_s, kPlainLibrary});
    return clients;
}

QFunctionPointer MailLibrary::resolve(const char* name)
{
    if (QFunctionPointer function = m_library.resolve(name))
        return function;
    const std::string plain = vntmapi::undecoratedName(name);
    return plain == name ? nullptr : m_library.resolve(plain.c_str());
}

bool MailLibrary::load(const QString& libraryName)
{
    unload();
    m_library.setFileName(resolveLibraryName(libraryName));
    // The mail library registers types with GLib that do not survive being unmapped and
    // mapped again, so a freed library stays in memory and a later load reuses it.
    m_library.setLoadHints(QLibrary::PreventUnloadHint);
    if (!m_library.load())
        return false;

    // The three decorated names first, as the desktop client's library is checked.
    vntmapi::EntryPoints api;
    const auto bind = [this](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(resolve(name));
        return slot != nullptr;
    };
    const bool complete =
        bind(api.ScCreateConversationIndex, "ScCreateConversationIndex@16") &&
        bind(api.FreePadrlist, "FreePadrlist@4") && bind(api.UlRelease, "UlRelease@4") &&
        bind(api.MAPIInitialize, "MAPIInitialize") &&
        bind(api.MAPIAdminProfiles, "MAPIAdminProfiles") && bind(api.MAPILogonEx, "MAPILogonEx") &&
        bind(api.MAPIUninitialize, "MAPIUninitialize") &&
        bind(api.MAPIFreeBuffer, "MAPIFreeBuffer") &&
        bind(api.MAPIAllocateBuffer, "MAPIAllocateBuffer") &&
        bind(api.MAPIAllocateMore, "MAPIAllocateMore") && bind(api.RTFSync, "RTFSync") &&
        bind(api.WrapCompressedRTFStream, "WrapCompressedRTFStream");
    if (!complete) {
        m_library.unload();
        return false;
    }
    m_api = api;
    return true;
}

void MailLibrary::unload()
{
    m_api = {};
    if (m_library.isLoaded())
        m_library.unload();
}

} // namespace vantrel::mail
