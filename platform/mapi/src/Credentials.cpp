#include "Credentials.h"

#include "UiLibrary.h"

#include <glib/gstdio.h>
#include <libsecret/secret.h>
#include <vector>

namespace vntmapi {

namespace {

const SecretSchema* schema()
{
    static const SecretSchema smtp = {"org.korvane.Vantrel.Smtp",
                                      SECRET_SCHEMA_NONE,
                                      {{"host", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER},
                                       {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                      0,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr};
    return &smtp;
}

// Without a session bus libsecret would try to start one, which on a headless machine only
// ends in a time-out.
bool hasSessionBus()
{
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    return address && *address;
}

std::string lookUp(const TransportConfig& t)
{
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(schema(), nullptr, &error, "host", t.host.c_str(),
                                               "port", t.port, "user", t.user.c_str(), nullptr);
    g_clear_error(&error);
    std::string password = found ? found : "";
    if (found) {
        secret_password_free(found);
    }
    return password;
}

void remember(const TransportConfig& t, const std::string& password)
{
    const std::string label = "Vantrel mail: " + t.user + " at " + t.host;
    GError* error = nullptr;
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(),
                               nullptr, &error, "host", t.host.c_str(), "port", t.port, "user",
                               t.user.c_str(), nullptr);
    g_clear_error(&error);
}

// The password dialog of the UI library: 1 when answered (`remember` set when the user asked
// for the keyring), 0 when cancelled or no dialog can be shown.
using AskPassword = int(ULONG_PTR parent, const char* host, const char* user, char* password,
                        unsigned size, int offerKeyring, int* remember);

} // namespace

std::string findPassword(const TransportConfig& t, ULONG_PTR uiParam, ULONG logonFlags)
{
    if (t.kind != TransportConfig::Smtp || t.user.empty()) {
        return {};
    }
    const bool keyring = hasSessionBus();
    if (keyring) {
        std::string password = lookUp(t);
        if (!password.empty()) {
            return password;
        }
    }
    if (!(logonFlags & MAPI_PASSWORD_UI)) {
        return {};
    }
    auto* ask = vnt::mapi::uiFunctionAs<AskPassword>("vntmapiui_askPassword");
    if (!ask) {
        return {};
    }
    std::vector<char> buffer(1024, '\0');
    int keep = 0;
    if (ask(uiParam, t.host.c_str(), t.user.c_str(), buffer.data(),
            static_cast<unsigned>(buffer.size()), keyring ? 1 : 0, &keep) != 1) {
        return {};
    }
    std::string password(buffer.data());
    std::fill(buffer.begin(), buffer.end(), '\0');
    if (keep && keyring && !password.empty()) {
        remember(t, password);
    }
    return password;
}

} // namespace vntmapi
