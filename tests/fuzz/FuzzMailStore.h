// The mail library as the mail fuzz targets use it: loaded once and never unloaded (so that
// LeakSanitizer, which looks after exit, still sees the library's blocks referenced), logged
// on to a profile whose store is a Maildir in the target's scratch folder.
#pragma once

#include "FuzzScratch.h"
#include "vntmapi/MapiLoader.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzz {

struct MailStore
{
    const vntmapi::EntryPoints* api = nullptr;
    IMAPISession* session = nullptr;
    IMsgStore* store = nullptr;    // opened for writing
    std::filesystem::path maildir; // its root folder, the Inbox
    std::filesystem::path scratch;
};

inline void freeRows(const vntmapi::EntryPoints& api, LPSRowSet rows)
{
    if (!rows) {
        return;
    }
    for (ULONG i = 0; i < rows->cRows; ++i) {
        api.MAPIFreeBuffer(rows->aRow[i].lpProps);
    }
    api.MAPIFreeBuffer(rows);
}

// `contacts`, when given, is the name of a vCard folder beside the Maildir that the store
// takes as its contacts folder. False when any step fails.
inline bool openMailStore(const char* prefix, const char* contacts, MailStore* out)
{
    static vntmapi::MapiLibrary& library = *new vntmapi::MapiLibrary;
    namespace fs = std::filesystem;
    out->scratch = scratchFolder(prefix);
    if (out->scratch.empty() || !library.load(VNTMAPI_LIBRARY_PATH)) {
        return false;
    }
    out->maildir = out->scratch / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) {
        fs::create_directories(out->maildir / sub);
    }
    const fs::path profiles = out->scratch / "profiles.ini";
    std::ofstream ini(profiles);
    ini << "[Profile Fuzz]\nStores=Mail\n[Store Fuzz/Mail]\nPath=" << out->maildir.string() << "\n";
    if (contacts) {
        fs::create_directories(out->scratch / contacts);
        ini << "Contacts=" << (out->scratch / contacts).string() << "\n";
    }
    ini.close();
    setenv("VANTREL_MAPI_PROFILES", profiles.c_str(), 1);
    setenv("VANTREL_MAPI_CACHE", (out->scratch / "cache").c_str(), 1);
    out->api = &library.api();
    if (FAILED(out->api->MAPIInitialize(nullptr)) ||
        FAILED(out->api->MAPILogonEx(0, "Fuzz", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION,
                                     &out->session))) {
        return false;
    }
    IMAPITable* stores = nullptr;
    ULONG columns[] = {1, PR_ENTRYID};
    LPSRowSet rows = nullptr;
    bool ok = SUCCEEDED(out->session->GetMsgStoresTable(0, &stores)) &&
              SUCCEEDED(stores->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) &&
              SUCCEEDED(stores->QueryRows(1, 0, &rows)) && rows->cRows == 1;
    ok = ok && SUCCEEDED(out->session->OpenMsgStore(
                   0, rows->aRow[0].lpProps[0].Value.bin.cb,
                   reinterpret_cast<LPENTRYID>(rows->aRow[0].lpProps[0].Value.bin.lpb), nullptr,
                   MDB_WRITE, &out->store));
    freeRows(*out->api, rows);
    if (stores) {
        stores->Release();
    }
    return ok;
}

} // namespace fuzz
