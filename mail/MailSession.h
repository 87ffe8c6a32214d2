// The mail session: the chosen client's library, the profiles and their stores, the logon
// to one profile with up to 20 opened stores, and the logoff. One per process, owned by the
// view; everything runs on the user-interface thread.
#pragma once

#include "mail/MailClientDiscovery.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <array>

class QWidget;

namespace vantrel::mail {

enum class ProfileStoreKind {
    OpenableProfile = 0,
    UnopenableProfile = 1,
    MessageStore = 2,
    AddinStore = 3, // the store named "Business Contact Manager"
};

// One row of the profile and store list rebuilt at each logon.
struct ProfileStoreEntry
{
    QString profileName;
    QString storeName; // empty for a profile row
    bool inUse = false;
    bool opened = false;
    int storeSlot = 0; // 1-based slot in the store table, 0 if none
    ProfileStoreKind kind = ProfileStoreKind::OpenableProfile;
    ULONG objectType = 0;
    ULONG resourceType = 0;
};

// Capabilities of the default store, from its PR_STORE_SUPPORT_MASK.
struct StoreCapabilities
{
    bool richText = false;
    bool html = false;
    bool uncompressedRichText = false;
    bool notifications = false;
};

// The settings logon reads, and "Addin Warning" which it may change.
struct LogonSettings
{
    bool askProfile = false; // "Profile Option" is 1
    int addinWarning = 1;    // "Addin Warning"
};

class MailSession
{
public:
    static constexpr int kMaxStores = 20;

    // `view` owns the messages shown; `executablePath` names this program under MSMapiApps.
    MailSession(QWidget* view, QString executablePath);
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;
    // Logs off, uninitialises the mail platform and unloads its library.
    ~MailSession();

    // Finds the client, loads its library when it is not the one loaded, enumerates the
    // profiles, logs on to the profile in use and opens its stores. Every failure has been
    // told to the user and leaves the session logged off. With `askProfile` the user picks
    // the profile in "Choose Profile" first.
    bool logon(const LogonSettings& settings);
    // Once the folders are open: a profile holding the add-in's store brings up its warning
    // while `addinWarning` is 1, and the user's answer is written back there.
    void warnAboutAddin(LogonSettings& settings);
    // Releases the stores and logs the session off; false when the platform refused (told
    // to the user; the session counts as logged off all the same).
    bool logoff();
    // Drops every store, the profile list and the session, and forgets the loaded library's
    // path so that the next logon loads the library again.
    bool fullReset();

    // Uninitialises the mail platform and unloads its library (at program exit).
    void unload() { unloadLibrary(); }

    bool isLoggedOn() const { return m_loggedOn; }
    bool isInitialised() const { return m_initialised; }
    QString loadedPath() const { return m_loadedPath; }
    const QList<MailClientEntry>& clients() const { return m_clients; }
    const QList<ProfileStoreEntry>& profileStores() const { return m_profileStores; }
    // Stores in use at this logon; slot 0 is the default store.
    int storeCount() const { return m_storeCount; }
    IMsgStore* store(int slot) const;
    // The name of the store opened into `slot`, from the profile and store list.
    QString storeName(int slot) const;
    IMAPISession* session() const { return m_session.get(); }
    const vntmapi::EntryPoints& api() const { return m_library.api(); }
    bool hasAddinStore() const { return m_addinStore; }
    const StoreCapabilities& capabilities() const { return m_capabilities; }
    // How often a library has been loaded (a second logon with the same client loads none).
    int libraryLoads() const { return m_libraryLoads; }

private:
    bool loadLibrary(const QString& path);
    void unloadLibrary();
    bool enumerateProfiles();
    void askForProfile();
    bool chooseProfile(QString* profileName);
    bool openStores();
    void readCapabilities();
    void releaseStores();
    bool logoffSession();
    ULONG_PTR windowParam() const;

    QPointer<QWidget> m_view;
    QString m_executablePath;
    QList<MailClientEntry> m_clients;
    bool m_clientsDiscovered = false;
    MailLibrary m_library;
    QString m_loadedPath;
    bool m_initialised = false;
    bool m_loggedOn = false;
    int m_libraryLoads = 0;
    MapiPtr<IMAPISession> m_session;
    std::array<MapiPtr<IMsgStore>, kMaxStores> m_stores;
    int m_storeCount = 0;
    bool m_addinStore = false;
    StoreCapabilities m_capabilities;
    QList<ProfileStoreEntry> m_profileStores;
};

} // namespace vantrel::mail
