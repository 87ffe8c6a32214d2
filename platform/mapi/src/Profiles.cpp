#include "Profiles.h"

#include "Maildir.h"
#include "WelcomeMessage.h"

#include <algorithm>
#include <glib.h>
#include <glib/gstdio.h>
#include <memory>

namespace vntmapi {

namespace {

constexpr char kProfilePrefix[] = "Profile ";
constexpr char kStorePrefix[] = "Store ";

struct KeyFileDeleter
{
    void operator()(GKeyFile* f) const { g_key_file_free(f); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

std::string takeString(gchar* value)
{
    std::string result = value ? value : "";
    g_free(value);
    return result;
}

std::string programDirectory()
{
    const char* home = g_getenv("VANTREL_HOME");
    if (home && *home) {
        return home;
    }
    return joinPath(joinPath(g_get_user_data_dir(), "Korvane"), "Vantrel");
}

std::string readString(GKeyFile* file, const std::string& group, const char* key,
                       const std::string& fallback)
{
    if (!g_key_file_has_key(file, group.c_str(), key, nullptr)) {
        return fallback;
    }
    return takeString(g_key_file_get_string(file, group.c_str(), key, nullptr));
}

StoreKey makeStoreKey(const std::string& profile, const std::string& store)
{
    // Derived from the names so ids stay valid across restarts and Maildir moves.
    GChecksum* sum = g_checksum_new(G_CHECKSUM_MD5);
    g_checksum_update(sum, reinterpret_cast<const guchar*>(profile.data()),
                      static_cast<gssize>(profile.size()));
    g_checksum_update(sum, reinterpret_cast<const guchar*>("/"), 1);
    g_checksum_update(sum, reinterpret_cast<const guchar*>(store.data()),
                      static_cast<gssize>(store.size()));
    StoreKey key{};
    gsize size = key.size();
    g_checksum_get_digest(sum, key.data(), &size);
    g_checksum_free(sum);
    return key;
}

StoreConfig readStore(GKeyFile* file, const std::string& profile, const std::string& name)
{
    const std::string group = kStorePrefix + profile + "/" + name;
    StoreConfig store;
    store.name = name;
    store.path = readString(file, group, "Path", "");
    store.isDefault = g_key_file_get_boolean(file, group.c_str(), "Default", nullptr);
    store.outbox = readString(file, group, "Outbox", store.outbox);
    store.sentItems = readString(file, group, "SentItems", store.sentItems);
    store.deletedItems = readString(file, group, "DeletedItems", store.deletedItems);
    store.drafts = readString(file, group, "Drafts", store.drafts);
    store.contacts = readString(file, group, "Contacts", "");
    store.richText = g_key_file_get_boolean(file, group.c_str(), "RichText", nullptr);
    store.key = makeStoreKey(profile, name);
    return store;
}

TransportConfig readTransport(GKeyFile* file, const std::string& profile)
{
    const std::string group = "Transport " + profile;
    TransportConfig transport;
    const std::string kind = readString(file, group, "Kind", "sendmail");
    transport.kind = g_ascii_strcasecmp(kind.c_str(), "smtp") == 0 ? TransportConfig::Smtp
                                                                   : TransportConfig::Sendmail;
    transport.host = readString(file, group, "Host", "");
    const std::string security = readString(file, group, "Security", "starttls");
    transport.security =
        g_ascii_strcasecmp(security.c_str(), "tls") == 0    ? TransportConfig::ImplicitTls
        : g_ascii_strcasecmp(security.c_str(), "none") == 0 ? TransportConfig::Plain
                                                            : TransportConfig::StartTls;
    const int defaultPort = transport.security == TransportConfig::ImplicitTls ? 465 : 587;
    GError* error = nullptr;
    const int port = g_key_file_get_integer(file, group.c_str(), "Port", &error);
    transport.port = error || port <= 0 || port > 65535 ? defaultPort : port;
    g_clear_error(&error);
    transport.user = readString(file, group, "User", "");
    transport.caFile = readString(file, group, "CaFile", "");
    transport.sendmailPath = readString(file, group, "Sendmail", transport.sendmailPath);
    const double retry = g_key_file_get_double(file, group.c_str(), "RetrySeconds", &error);
    if (!error && retry > 0) {
        transport.retrySeconds = retry;
    }
    g_clear_error(&error);
    return transport;
}

Profile readProfile(GKeyFile* file, const std::string& group)
{
    Profile profile;
    profile.name = group.substr(sizeof(kProfilePrefix) - 1);
    profile.isDefault = g_key_file_get_boolean(file, group.c_str(), "Default", nullptr);
    profile.identityName = readString(file, group, "Name", "");
    profile.identityAddress = readString(file, group, "Address", "");
    gsize count = 0;
    gchar** names = g_key_file_get_string_list(file, group.c_str(), "Stores", &count, nullptr);
    for (gsize i = 0; i < count; ++i) {
        if (*names[i]) {
            profile.stores.push_back(readStore(file, profile.name, names[i]));
        }
    }
    g_strfreev(names);
    const TransportConfig transport = readTransport(file, profile.name);
    for (StoreConfig& store : profile.stores) {
        store.identityName = profile.identityName;
        store.identityAddress = profile.identityAddress;
        store.transport = transport;
    }
    if (!profile.stores.empty() && std::none_of(profile.stores.begin(), profile.stores.end(),
                                                [](const StoreConfig& s) { return s.isDefault; })) {
        profile.stores.front().isDefault = true;
    }
    return profile;
}

HRESULT writeDefaultProfile(const std::string& file)
{
    const std::string mail = joinPath(programDirectory(), "Mail");
    const std::string contacts = joinPath(programDirectory(), "Contacts");
    // Only a store made here gets the welcome message: one found in place is the user's.
    const bool newStore = !g_file_test(mail.c_str(), G_FILE_TEST_EXISTS);
    if (!makeMaildir(mail) || g_mkdir_with_parents(contacts.c_str(), 0700) != 0) {
        return MAPI_E_NO_ACCESS;
    }
    if (newStore) {
        writeWelcomeMessage(mail); // an empty Inbox is no reason to fail the profile
    }
    KeyFilePtr keys(g_key_file_new());
    g_key_file_set_boolean(keys.get(), "Profile Vantrel", "Default", TRUE);
    // The address is the user's to fill in; the name is a fair start.
    const char* realName = g_get_real_name();
    g_key_file_set_string(keys.get(), "Profile Vantrel", "Name",
                          g_strcmp0(realName, "Unknown") == 0 ? g_get_user_name() : realName);
    g_key_file_set_string(keys.get(), "Profile Vantrel", "Address", "");
    const gchar* stores[] = {"Personal Folders"};
    g_key_file_set_string_list(keys.get(), "Profile Vantrel", "Stores", stores, 1);
    g_key_file_set_string(keys.get(), "Store Vantrel/Personal Folders", "Path", mail.c_str());
    g_key_file_set_boolean(keys.get(), "Store Vantrel/Personal Folders", "Default", TRUE);
    g_key_file_set_string(keys.get(), "Store Vantrel/Personal Folders", "Contacts",
                          contacts.c_str());
    gchar* dir = g_path_get_dirname(file.c_str());
    const int made = g_mkdir_with_parents(dir, 0700);
    g_free(dir);
    if (made != 0 || !g_key_file_save_to_file(keys.get(), file.c_str(), nullptr)) {
        return MAPI_E_NO_ACCESS;
    }
    return S_OK;
}

} // namespace

bool TransportConfig::isUsable() const
{
    if (kind == Smtp) {
        return !host.empty();
    }
    return g_file_test(sendmailPath.c_str(), G_FILE_TEST_IS_EXECUTABLE) &&
           !g_file_test(sendmailPath.c_str(), G_FILE_TEST_IS_DIR);
}

std::string profileFilePath()
{
    const char* overridden = g_getenv("VANTREL_MAPI_PROFILES");
    if (overridden && *overridden) {
        return overridden;
    }
    return joinPath(joinPath(g_get_user_config_dir(), "Korvane"), "vntmapi-profiles.ini");
}

HRESULT loadProfiles(std::vector<Profile>* profiles)
{
    const std::string path = profileFilePath();
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        const HRESULT hr = writeDefaultProfile(path);
        if (FAILED(hr)) {
            return hr;
        }
    }
    KeyFilePtr keys(g_key_file_new());
    if (!g_key_file_load_from_file(keys.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) {
        return MAPI_E_CORRUPT_DATA;
    }
    profiles->clear();
    gchar** groups = g_key_file_get_groups(keys.get(), nullptr);
    for (gchar** g = groups; *g; ++g) {
        if (g_str_has_prefix(*g, kProfilePrefix)) {
            profiles->push_back(readProfile(keys.get(), *g));
        }
    }
    g_strfreev(groups);
    auto firstDefault = std::find_if(profiles->begin(), profiles->end(),
                                     [](const Profile& p) { return p.isDefault; });
    for (auto it = profiles->begin(); it != profiles->end(); ++it) {
        it->isDefault =
            firstDefault == profiles->end() ? it == profiles->begin() : it == firstDefault;
    }
    return S_OK;
}

} // namespace vntmapi
