// Drops any input into a Maildir as a message file and reads it through the mail library the
// way the program does: the contents table, every property, the recipient and attachment
// tables, the body streams and the rich text through the decompressing wrapper. Then it saves
// a change to the message, which writes the file again, and reads that back.
//
// Fast enough for millions of runs: inputs are bounded, and the Maildir and the summary index
// live in memory (a tmpfs, where the writes' flushes cost nothing) when one is at hand.

#include "FuzzMailStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const vntmapi::EntryPoints* g_api = nullptr;
// Larger inputs add parse time, not new paths: headers, parts and encodings all fit.
constexpr std::size_t kMaxInput = 64 * 1024;
IMAPISession* g_session = nullptr;
IMsgStore* g_store = nullptr;
IMAPIFolder* g_inbox = nullptr;
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
    fuzz::freeRows(*g_api, rows);
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
    fuzz::MailStore mail;
    if (!fuzz::openMailStore("fuzz-message", nullptr, &mail)) {
        return false;
    }
    g_api = mail.api;
    g_session = mail.session;
    g_store = mail.store;
    g_inboxDir = mail.maildir;
    ULONG size = 0;
    LPENTRYID inboxId = nullptr;
    ULONG type = 0;
    bool ok = SUCCEEDED(g_store->GetReceiveFolder("IPM.Note", 0, &size, &inboxId, nullptr));
    ok = ok && SUCCEEDED(g_store->OpenEntry(size, inboxId, nullptr, MAPI_BEST_ACCESS, &type,
                                            reinterpret_cast<IUnknown**>(&g_inbox)));
    g_api->MAPIFreeBuffer(inboxId);
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
