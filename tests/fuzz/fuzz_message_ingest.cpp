// Drops any input into a Maildir as a message file and reads it through the mail library the
// way the program does: the contents table, every property, the recipient and attachment
// tables, the body streams and the rich text through the decompressing wrapper. Then it saves
// a change to the message, which writes the file again, and reads that back.
//
// Fast enough for millions of runs: inputs are bounded, and the Maildir and the summary index
// live in memory (a tmpfs, where the writes' flushes cost nothing) when one is at hand.

#include "FuzzScratch.h"
#include "vntmapi/MapiLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Never destroyed: unloading the library at exit, before LeakSanitizer looks, would make every
// block the library still holds look leaked.
vntmapi::MapiLibrary& g_library = *new vntmapi::MapiLibrary;
const vntmapi::EntryPoints* g_api = nullptr;
// Larger inputs add parse time, not new paths: headers, parts and encodings all fit.
constexpr std::size_t kMaxInput = 64 * 1024;
IMAPISession* g_session = nullptr;
IMsgStore* g_store = nullptr;
IMAPIFolder* g_inbox = nullptr;
fs::path g_scratch;  // everything a run writes, removed at exit
fs::path g_inboxDir; // the Inbox folder: cur/ and new/ below it

SPropValue* findValue(LPSPropValue values, ULONG count, ULONG tag)
{
    for (ULONG i = 0; i < count; ++i) {
        if (values[i].ulPropTag == tag) {
            return &values[i];
        }
    }
    return nullptr;
}

void freeRows(LPSRowSet rows)
{
    if (!rows) {
        return;
    }
    for (ULONG i = 0; i < rows->cRows; ++i) {
        g_api->MAPIFreeBuffer(rows->aRow[i].lpProps);
    }
    g_api->MAPIFreeBuffer(rows);
}

void drainTable(IMAPITable* table)
{
    LPSRowSet rows = nullptr;
    if (SUCCEEDED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)) &&
        SUCCEEDED(table->QueryRows(1000, 0, &rows))) {
        freeRows(rows);
    }
}

void drainStream(IStream* stream)
{
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) {
    }
}

void readStreams(IMessage* message)
{
    for (const ULONG tag : {PR_BODY, PR_BODY_HTML, PR_RTF_COMPRESSED}) {
        IUnknown* unknown = nullptr;
        if (FAILED(message->OpenProperty(tag, &IID_IStream, 0, MAPI_DEFERRED_ERRORS, &unknown))) {
            continue;
        }
        auto* stream = static_cast<IStream*>(unknown);
        if (tag == PR_RTF_COMPRESSED) {
            IStream* text = nullptr;
            if (SUCCEEDED(g_api->WrapCompressedRTFStream(stream, 0, &text))) {
                drainStream(text);
                text->Release();
            }
        } else {
            drainStream(stream);
        }
        stream->Release();
    }
}

void readMessage(IMessage* message)
{
    ULONG count = 0;
    LPSPropValue values = nullptr;
    if (SUCCEEDED(message->GetProps(nullptr, 0, &count, &values))) {
        g_api->MAPIFreeBuffer(values);
    }
    IMAPITable* table = nullptr;
    if (SUCCEEDED(message->GetRecipientTable(0, &table))) {
        drainTable(table);
        table->Release();
    }
    if (SUCCEEDED(message->GetAttachmentTable(0, &table))) {
        drainTable(table);
        table->Release();
    }
    readStreams(message);
}

IMessage* openFirstMessage()
{
    IMAPITable* table = nullptr;
    if (FAILED(g_inbox->GetContentsTable(0, &table))) {
        return nullptr;
    }
    ULONG columns[] = {3, PR_ENTRYID, PR_SUBJECT, PR_MESSAGE_DELIVERY_TIME};
    IMessage* message = nullptr;
    LPSRowSet rows = nullptr;
    if (SUCCEEDED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) &&
        SUCCEEDED(table->QueryRows(10, 0, &rows)) && rows->cRows > 0) {
        SPropValue* id = findValue(rows->aRow[0].lpProps, rows->aRow[0].cValues, PR_ENTRYID);
        ULONG type = 0;
        if (id) {
            g_store->OpenEntry(id->Value.bin.cb, reinterpret_cast<LPENTRYID>(id->Value.bin.lpb),
                               nullptr, MAPI_BEST_ACCESS, &type,
                               reinterpret_cast<IUnknown**>(&message));
        }
    }
    freeRows(rows);
    table->Release();
    return message;
}

bool setUp()
{
    const fs::path& dir = fuzz::scratchFolder("fuzz-message");
    if (dir.empty() || !g_library.load(VNTMAPI_LIBRARY_PATH)) {
        return false;
    }
    g_scratch = dir;
    const fs::path root = g_scratch / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) {
        fs::create_directories(root / sub);
    }
    g_inboxDir = root;
    const fs::path profiles = fs::path(dir) / "profiles.ini";
    std::ofstream(profiles) << "[Profile Fuzz]\nStores=Mail\n[Store Fuzz/Mail]\nPath="
                            << root.string() << "\n";
    setenv("VANTREL_MAPI_PROFILES", profiles.c_str(), 1);
    setenv("VANTREL_MAPI_CACHE", (fs::path(dir) / "cache").c_str(), 1);
    g_api = &g_library.api();
    if (FAILED(g_api->MAPIInitialize(nullptr)) ||
        FAILED(
            g_api->MAPILogonEx(0, "Fuzz", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, &g_session))) {
        return false;
    }
    ULONG size = 0;
    LPENTRYID storeId = nullptr;
    IMAPITable* stores = nullptr;
    ULONG columns[] = {1, PR_ENTRYID};
    LPSRowSet rows = nullptr;
    bool ok = SUCCEEDED(g_session->GetMsgStoresTable(0, &stores)) &&
              SUCCEEDED(stores->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) &&
              SUCCEEDED(stores->QueryRows(1, 0, &rows)) && rows->cRows == 1;
    ok = ok && SUCCEEDED(g_session->OpenMsgStore(
                   0, rows->aRow[0].lpProps[0].Value.bin.cb,
                   reinterpret_cast<LPENTRYID>(rows->aRow[0].lpProps[0].Value.bin.lpb), nullptr,
                   MDB_WRITE, &g_store));
    freeRows(rows);
    if (stores) {
        stores->Release();
    }
    ok = ok && SUCCEEDED(g_store->GetReceiveFolder("IPM.Note", 0, &size, &storeId, nullptr));
    ULONG type = 0;
    ok = ok && SUCCEEDED(g_store->OpenEntry(size, storeId, nullptr, MAPI_BEST_ACCESS, &type,
                                            reinterpret_cast<IUnknown**>(&g_inbox)));
    g_api->MAPIFreeBuffer(storeId);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = setUp();
    static unsigned counter = 0;
    if (!ready) {
        std::abort();
    }
    if (size > kMaxInput) {
        return 0;
    }
    // A new unique name each time, so the summary index sees a new message.
    const fs::path file =
        g_inboxDir / "cur" / ("1700000000.M" + std::to_string(++counter) + "P1Q1.fuzz:2,S");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    if (IMessage* message = openFirstMessage()) {
        readMessage(message);
        SPropValue subject{};
        subject.ulPropTag = PR_SUBJECT;
        subject.Value.lpszA = const_cast<char*>("Re: checked");
        // A save reads the written file back into the message: no second table needed.
        if (SUCCEEDED(message->SetProps(1, &subject, nullptr)) &&
            SUCCEEDED(message->SaveChanges(0))) {
            readMessage(message);
        }
        message->Release();
    }
    std::error_code ignored;
    for (const char* sub : {"cur", "new"}) {
        for (const auto& entry : fs::directory_iterator(g_inboxDir / sub, ignored)) {
            fs::remove(entry.path(), ignored);
        }
    }
    return 0;
}
