#include "mail/MailSession.h"

#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "mail/AddinWarningDialog.h"
#include "mail/ChooseProfileDialog.h"
#include "mail/MapiRows.h"

#include <QCheckBox>
#include <QWidget>
#include <vector>

using namespace Qt::StringLiterals;

namespace vantrel::mail {

namespace {

const QString kAddinStoreName = u"Business Contact Manager"_s;

constexpr int kMsgNoClient = 20069;
constexpr int kMsgLibraryFailed = 20151;
constexpr int kMsgNoProfile = 20169;
constexpr int kMsgNoStores = 20170;
constexpr int kMsgTooManyStores = 20171;
constexpr int kMsgLogonFailed = 20071;
constexpr int kMsgInboxFailed = 20033;
constexpr int kMsgStoreDenied = 20073;
constexpr int kMsgStoreFailed = 20074;
constexpr int kMsgLogoffFailed = 20137;

} // namespace

MailSession::MailSession(QWidget* view, QString executablePath)
    : m_view(view)
    , m_executablePath(std::move(executablePath))
{}

MailSession::~MailSession()
{
    if (m_loggedOn)
        logoff();
    unloadLibrary();
}

IMsgStore* MailSession::store(int slot) const
{
    return slot >= 0 && slot < kMaxStores ? m_stores[slot].get() : nullptr;
}

QString MailSession::storeName(int slot) const
{
    for (const ProfileStoreEntry& entry : m_profileStores) {
        if (entry.opened && entry.storeSlot == slot + 1)
            return entry.storeName;
    }
    return {};
}

ULONG_PTR MailSession::windowParam() const
{
    return m_view ? static_cast<ULONG_PTR>(m_view->effectiveWinId()) : 0;
}

bool MailSession::loadLibrary(const QString& path)
{
    unloadLibrary();
    m_loadedPath = path;
    ++m_libraryLoads;
    if (!m_library.load(path)) {
        ShowViewMessage(m_view, kMsgLibraryFailed, TitleWarning);
        return false;
    }
    if (FAILED(m_library.api().MAPIInitialize(nullptr))) {
        m_library.unload();
        ShowViewMessage(m_view, kMsgLibraryFailed, TitleWarning);
        return false;
    }
    m_initialised = true;
    return true;
}

void MailSession::unloadLibrary()
{
    if (m_initialised)
        m_library.api().MAPIUninitialize();
    m_initialised = false;
    m_library.unload();
}

bool MailSession::logon(const LogonSettings& settings)
{
    if (!m_clientsDiscovered) {
        m_clients = DiscoverMailClients(m_view, m_executablePath);
        m_clientsDiscovered = true;
    }
    if (m_clients.isEmpty()) {
        ShowViewMessage(m_view, kMsgNoClient, TitleInformation);
        return false;
    }
    const QString path = m_clients.constFirst().libraryPath;
    // A library that failed to load under this path is tried again rather than used.
    if (path != m_loadedPath || !m_initialised) {
        if (!fullReset() || !loadLibrary(path))
            return false;
    }

    if (!enumerateProfiles()) {
        ShowViewMessage(m_view, kMsgNoProfile, TitleInformation);
        fullReset();
        return false;
    }
    if (settings.askProfile) {
        askForProfile();
    } else {
        for (ProfileStoreEntry& entry : m_profileStores) {
            entry.opened = false;
            entry.storeSlot = 0;
        }
    }

    QString profileName;
    if (!chooseProfile(&profileName))
        return false;

    const auto storesInUse = std::count_if(
        m_profileStores.cbegin(), m_profileStores.cend(), [](const ProfileStoreEntry& entry) {
            return entry.kind == ProfileStoreKind::MessageStore && entry.inUse;
        });
    if (storesInUse == 0) {
        ShowViewMessage(m_view, kMsgNoStores, TitleInformation);
        return false;
    }
    m_storeCount = static_cast<int>(storesInUse);
    if (m_storeCount > kMaxStores) {
        m_storeCount = kMaxStores;
        ShowViewMessage(m_view, kMsgTooManyStores, TitleInformation);
    }

    const ULONG flags = MAPI_PASSWORD_UI | MAPI_EXPLICIT_PROFILE | MAPI_EXTENDED |
                        (m_addinStore ? MAPI_ALLOW_OTHERS : MAPI_NEW_SESSION);
    const QByteArray name = profileName.toUtf8();
    if (FAILED(m_library.api().MAPILogonEx(windowParam(), name.constData(), nullptr, flags,
                                           m_session.put()))) {
        m_session.reset();
        ShowViewMessage(m_view, kMsgLogonFailed, TitleInformation);
        return false;
    }
    m_loggedOn = true;

    if (!openStores()) {
        ShowViewMessage(m_view, kMsgInboxFailed, TitleInformation);
        logoff();
        return false;
    }

    return true;
}

void MailSession::warnAboutAddin(LogonSettings& settings)
{
    if (!m_addinStore || settings.addinWarning != 1)
        return;
    AddinWarningDialog warning(m_view);
    if (Prompter::current().runDialog(warning) == QDialog::Accepted)
        settings.addinWarning = warning.doNotShowAgain()->isChecked() ? 0 : 1;
}

bool MailSession::enumerateProfiles()
{
    m_profileStores.clear();
    m_addinStore = false;
    const vntmapi::EntryPoints& api = m_library.api();
    MapiPtr<IProfAdmin> admin;
    if (FAILED(api.MAPIAdminProfiles(0, admin.put())))
        return false;
    MapiPtr<IMAPITable> profileTable;
    if (FAILED(admin->GetProfileTable(0, profileTable.put())))
        return false;
    Rows profileRows(api);
    if (FAILED(
            QueryAllRows(profileTable.get(), {PR_DISPLAY_NAME, PR_DEFAULT_PROFILE}, &profileRows)))
        return false;

    struct Profile
    {
        QString name;
        bool isDefault;
    };
    QList<Profile> profiles;
    for (ULONG i = 0; i < profileRows.count(); ++i) {
        Profile profile{{}, FlagOf(profileRows[i], PR_DEFAULT_PROFILE)};
        if (!TextOf(profileRows[i], PR_DISPLAY_NAME, &profile.name))
            return false;
        if (profile.isDefault)
            profiles.prepend(profile);
        else
            profiles.append(profile);
    }

    for (const Profile& profile : std::as_const(profiles)) {
        const QByteArray name = profile.name.toUtf8();
        MapiPtr<IMAPISession> probe;
        const bool openable = SUCCEEDED(
            api.MAPILogonEx(0, name.constData(), nullptr,
                            MAPI_NEW_SESSION | MAPI_EXTENDED | MAPI_NO_MAIL, probe.put()));
        if (openable) {
            MapiPtr<IMAPITable> storesTable;
            if (FAILED(probe->GetMsgStoresTable(0, storesTable.put())))
                return false;
            Rows storeRows(api);
            if (FAILED(QueryAllRows(storesTable.get(),
                                    {PR_RESOURCE_FLAGS, PR_DISPLAY_NAME, PR_PROVIDER_DISPLAY,
                                     PR_RESOURCE_TYPE, PR_OBJECT_TYPE},
                                    &storeRows)))
                return false;
            for (ULONG i = 0; i < storeRows.count(); ++i) {
                ProfileStoreEntry entry;
                if (!TextOf(storeRows[i], PR_DISPLAY_NAME, &entry.storeName))
                    return false;
                entry.profileName = profile.name;
                entry.inUse = profile.isDefault;
                entry.kind = ProfileStoreKind::MessageStore;
                if (entry.storeName == kAddinStoreName) {
                    entry.kind = ProfileStoreKind::AddinStore;
                    m_addinStore = true;
                }
                entry.objectType = NumberOf(storeRows[i], PR_OBJECT_TYPE);
                entry.resourceType = NumberOf(storeRows[i], PR_RESOURCE_TYPE);
                m_profileStores.append(entry);
            }
            storesTable.reset();
            probe->Logoff(0, 0, 0);
        }
        ProfileStoreEntry row;
        row.profileName = profile.name;
        row.inUse = profile.isDefault;
        row.kind =
            openable ? ProfileStoreKind::OpenableProfile : ProfileStoreKind::UnopenableProfile;
        m_profileStores.prepend(row);
    }
    return true;
}

void MailSession::askForProfile()
{
    QStringList profiles;
    int selected = -1;
    for (const ProfileStoreEntry& entry : std::as_const(m_profileStores)) {
        if (entry.kind != ProfileStoreKind::OpenableProfile)
            continue;
        if (entry.inUse && selected < 0)
            selected = static_cast<int>(profiles.size());
        profiles.append(entry.profileName);
    }
    ChooseProfileDialog dialog(profiles, selected < 0 ? 0 : selected, m_view);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return;
    const int row = dialog.selectedRow();
    if (row < 0)
        return;
    const QString chosen = profiles.at(row);
    for (ProfileStoreEntry& entry : m_profileStores) {
        entry.opened = false;
        entry.storeSlot = 0;
        entry.inUse =
            entry.profileName == chosen && (entry.kind == ProfileStoreKind::OpenableProfile ||
                                            entry.kind == ProfileStoreKind::MessageStore);
    }
}

bool MailSession::chooseProfile(QString* profileName)
{
    const auto isOpenable = [](const ProfileStoreEntry& entry) {
        return entry.kind == ProfileStoreKind::OpenableProfile;
    };
    auto chosen = std::find_if(
        m_profileStores.cbegin(), m_profileStores.cend(),
        [&](const ProfileStoreEntry& entry) { return isOpenable(entry) && entry.inUse; });
    if (chosen == m_profileStores.cend()) {
        ShowViewMessage(m_view, kMsgNoProfile, TitleInformation);
        chosen = std::find_if(m_profileStores.cbegin(), m_profileStores.cend(), isOpenable);
        if (chosen == m_profileStores.cend()) {
            ShowViewMessage(m_view, kMsgNoProfile, TitleInformation);
            return false;
        }
    }
    *profileName = chosen->profileName;
    return true;
}

bool MailSession::openStores()
{
    const vntmapi::EntryPoints& api = m_library.api();
    MapiPtr<IMAPITable> table;
    if (FAILED(m_session->GetMsgStoresTable(0, table.put())))
        return false;
    Rows rows(api);
    if (FAILED(QueryAllRows(
            table.get(),
            {PR_ENTRYID, PR_DISPLAY_NAME, PR_DEFAULT_STORE, PR_OBJECT_TYPE, PR_RESOURCE_TYPE},
            &rows)))
        return false;

    enum class Outcome { Opened, NoMatch, Failed };
    int opened = 0;
    const auto openRow = [&](const SRow& row) {
        QString name;
        TextOf(row, PR_DISPLAY_NAME, &name);
        auto entry = std::find_if(m_profileStores.begin(), m_profileStores.end(),
                                  [&](const ProfileStoreEntry& candidate) {
                                      return candidate.kind == ProfileStoreKind::MessageStore &&
                                             candidate.inUse && !candidate.opened &&
                                             candidate.storeName == name;
                                  });
        if (entry == m_profileStores.end())
            return Outcome::NoMatch;
        const SPropValue* id = FindValue(row, PR_ENTRYID);
        const HRESULT hr =
            id ? m_session->OpenMsgStore(windowParam(), id->Value.bin.cb,
                                         reinterpret_cast<LPENTRYID>(id->Value.bin.lpb), nullptr,
                                         MDB_WRITE, m_stores[opened].put())
               : MAPI_E_NOT_FOUND;
        if (FAILED(hr)) {
            m_stores[opened].reset();
            ShowViewMessage(m_view, hr == E_ACCESSDENIED ? kMsgStoreDenied : kMsgStoreFailed,
                            TitleInformation);
            return Outcome::Failed;
        }
        entry->opened = true;
        entry->storeSlot = ++opened;
        return Outcome::Opened;
    };
    // Ends the passes on a row without a store to open; fails when none is open yet.
    bool ended = false;
    const auto handle = [&](Outcome outcome) {
        if (outcome == Outcome::Failed || (outcome == Outcome::NoMatch && opened == 0))
            return false;
        ended = outcome == Outcome::NoMatch;
        return true;
    };

    for (ULONG i = 0; i < rows.count(); ++i) {
        QString name;
        TextOf(rows[i], PR_DISPLAY_NAME, &name);
        if (name == kAddinStoreName || !FlagOf(rows[i], PR_DEFAULT_STORE))
            continue;
        if (!handle(openRow(rows[i])))
            return false;
        break;
    }
    if (rows.count() > 1) {
        for (ULONG i = 0; i < rows.count() && !ended && opened < kMaxStores; ++i) {
            QString name;
            TextOf(rows[i], PR_DISPLAY_NAME, &name);
            if (name == kAddinStoreName || FlagOf(rows[i], PR_DEFAULT_STORE))
                continue;
            if (!handle(openRow(rows[i])))
                return false;
        }
    }
    if (opened == 0)
        return false;
    m_storeCount = std::min(m_storeCount, opened);
    readCapabilities();
    return true;
}

void MailSession::readCapabilities()
{
    m_capabilities = {};
    ULONG tags[] = {1, PR_STORE_SUPPORT_MASK};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    const HRESULT hr =
        m_stores[0]->GetProps(reinterpret_cast<LPSPropTagArray>(tags), 0, &count, &values);
    if (hr == S_OK && count == 1 && values[0].ulPropTag == PR_STORE_SUPPORT_MASK) {
        const ULONG mask = values[0].Value.l;
        m_capabilities.richText = mask & STORE_RTF_OK;
        m_capabilities.html = mask & STORE_HTML_OK;
        m_capabilities.uncompressedRichText = mask & STORE_UNCOMPRESSED_RTF;
        m_capabilities.notifications = mask & STORE_NOTIFY_OK;
    }
    m_library.api().MAPIFreeBuffer(values);
}

void MailSession::releaseStores()
{
    for (MapiPtr<IMsgStore>& store : m_stores)
        store.reset();
    m_storeCount = 0;
    m_capabilities = {};
}

bool MailSession::logoffSession()
{
    const HRESULT hr = m_session->Logoff(windowParam(), MAPI_LOGOFF_UI, 0);
    if (FAILED(hr)) {
        ShowViewMessage(m_view, kMsgLogoffFailed, TitleWarning);
        m_loggedOn = false;
        return false;
    }
    m_session.reset();
    m_loggedOn = false;
    return true;
}

bool MailSession::logoff()
{
    if (!m_loggedOn)
        return true;
    m_profileStores.clear();
    releaseStores();
    return logoffSession();
}

bool MailSession::fullReset()
{
    releaseStores();
    m_profileStores.clear();
    if (m_session && !logoffSession())
        return false;
    m_loadedPath.clear();
    m_addinStore = false;
    return true;
}

} // namespace vantrel::mail
