// Drops any input into a contacts folder (a vCard directory) as one card and reads it through
// the mail library as the program does: the contacts table, the opened contact's properties,
// the address book's entries and name resolution. Then it edits the contact, which writes the
// card again keeping the lines it does not read, and reads that back.

#include "FuzzMailStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const vntmapi::EntryPoints* g_api = nullptr;
constexpr std::size_t kMaxInput = 32 * 1024;
IMAPISession* g_session = nullptr;
IMsgStore* g_store = nullptr;
IAddrBook* g_book = nullptr;
fs::path g_vdir;
std::string g_contactsId;

void freeRows(LPSRowSet rows)
{
    fuzz::freeRows(*g_api, rows);
}

// Every row of a table restricted on PR_ANR with `typed` (none: all rows).
void drain(IMAPITable* table, const char* typed)
{
    SPropValue value{};
    value.ulPropTag = PR_ANR;
    value.Value.lpszA = const_cast<char*>(typed);
    SRestriction anr{};
    anr.rt = RES_CONTENT;
    anr.res.resContent = {FL_PREFIX, PR_ANR, &value};
    LPSRowSet rows = nullptr;
    if ((!typed || SUCCEEDED(table->Restrict(&anr, 0))) &&
        SUCCEEDED(table->QueryRows(100, 0, &rows))) {
        freeRows(rows);
    }
}

void readContact(IMessage* contact)
{
    ULONG count = 0;
    LPSPropValue values = nullptr;
    if (SUCCEEDED(contact->GetProps(nullptr, 0, &count, &values))) {
        g_api->MAPIFreeBuffer(values);
    }
}

void resolve(const char* name)
{
    LPADRLIST list = nullptr;
    void* block = nullptr;
    if (g_api->MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(1)),
                                  reinterpret_cast<void**>(&list)) != S_OK ||
        g_api->MAPIAllocateBuffer(sizeof(SPropValue), &block) != S_OK) {
        std::abort();
    }
    auto* value = static_cast<LPSPropValue>(block);
    *value = SPropValue{};
    value->ulPropTag = PR_DISPLAY_NAME;
    value->Value.lpszA = const_cast<char*>(name);
    list->cEntries = 1;
    list->aEntries[0] = {0, 1, value};
    g_book->ResolveName(0, 0, nullptr, list);
    g_api->FreePadrlist(list);
}

bool setUp()
{
    fuzz::MailStore mail;
    if (!fuzz::openMailStore("fuzz-vcard", "contacts", &mail)) {
        return false;
    }
    g_api = mail.api;
    g_session = mail.session;
    g_store = mail.store;
    g_vdir = mail.scratch / "contacts";
    return SUCCEEDED(g_session->OpenAddressBook(0, nullptr, 0, &g_book));
}

IMAPIFolder* openContacts()
{
    ULONG size = 0;
    LPENTRYID inboxId = nullptr;
    IMAPIFolder* inbox = nullptr;
    IMAPIFolder* contacts = nullptr;
    ULONG type = 0;
    if (FAILED(g_store->GetReceiveFolder("IPM.Note", 0, &size, &inboxId, nullptr)) ||
        FAILED(g_store->OpenEntry(size, inboxId, nullptr, 0, &type,
                                  reinterpret_cast<IUnknown**>(&inbox)))) {
        std::abort();
    }
    g_api->MAPIFreeBuffer(inboxId);
    ULONG tags[] = {1, PR_IPM_CONTACT_ENTRYID};
    ULONG count = 0;
    LPSPropValue value = nullptr;
    if (SUCCEEDED(inbox->GetProps(reinterpret_cast<LPSPropTagArray>(tags), 0, &count, &value)) &&
        value->ulPropTag == PR_IPM_CONTACT_ENTRYID) {
        g_store->OpenEntry(value->Value.bin.cb, reinterpret_cast<LPENTRYID>(value->Value.bin.lpb),
                           nullptr, MAPI_MODIFY, &type, reinterpret_cast<IUnknown**>(&contacts));
    }
    g_api->MAPIFreeBuffer(value);
    inbox->Release();
    return contacts;
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
    const fs::path file = g_vdir / ("card" + std::to_string(++counter) + ".vcf");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    IMAPIFolder* contacts = openContacts();
    IMAPITable* table = nullptr;
    if (contacts && SUCCEEDED(contacts->GetContentsTable(0, &table))) {
        ULONG columns[] = {1, PR_ENTRYID};
        LPSRowSet rows = nullptr;
        if (SUCCEEDED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) &&
            SUCCEEDED(table->QueryRows(1, 0, &rows)) && rows->cRows == 1) {
            IMessage* contact = nullptr;
            ULONG type = 0;
            const SBinary& id = rows->aRow[0].lpProps[0].Value.bin;
            if (SUCCEEDED(g_store->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr,
                                             MAPI_MODIFY, &type,
                                             reinterpret_cast<IUnknown**>(&contact)))) {
                readContact(contact);
                SPropValue change[2] = {};
                change[0].ulPropTag = PR_TITLE;
                change[0].Value.lpszA = const_cast<char*>("Checked, \"twice\"; ok\n");
                change[1].ulPropTag = PR_BUSINESS_ADDRESS_CITY;
                change[1].Value.lpszA = const_cast<char*>("Y\xC3\xB6rk");
                if (SUCCEEDED(contact->SetProps(2, change, nullptr)) &&
                    SUCCEEDED(contact->SaveChanges(FORCE_SAVE))) {
                    readContact(contact);
                }
                contact->Release();
            }
        }
        freeRows(rows);
        drain(table, "a");
        table->Release();
    }
    if (contacts) {
        contacts->Release();
    }
    resolve("a");
    resolve("Anna Lee <a@b.example>");
    std::error_code ignored;
    fs::remove(file, ignored);
    return 0;
}
