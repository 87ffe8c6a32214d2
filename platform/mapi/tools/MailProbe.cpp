// vntmapi-probe: drives the mail library in a loop so that a fault script can kill it at any
// moment and then check the Maildir. The profile file comes from VANTREL_MAPI_PROFILES; the
// first store of profile "Probe" is used.
//   vntmapi-probe resave   re-saves the Inbox's one message with "Round N" and other flags,
//                          printing N after each save that reported success
//   vntmapi-probe move     moves the one message between the Inbox and ".Archive", printing
//                          the number of moves that reported success
//   vntmapi-probe check    prints the subjects of the Inbox and of ".Archive", one a line
#include "vntmapi/MapiLoader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const vntmapi::EntryPoints* g_api = nullptr;

struct Row
{
    std::vector<BYTE> id;
    std::string subject;
};

std::vector<Row> rowsOf(IMAPIContainer* container)
{
    std::vector<Row> result;
    IMAPITable* table = nullptr;
    if (FAILED(container->GetContentsTable(0, &table))) {
        return result;
    }
    ULONG columns[] = {2, PR_ENTRYID, PR_SUBJECT};
    LPSRowSet rows = nullptr;
    if (SUCCEEDED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) &&
        SUCCEEDED(table->QueryRows(1000, 0, &rows))) {
        for (ULONG i = 0; i < rows->cRows; ++i) {
            const SPropValue* props = rows->aRow[i].lpProps;
            Row row;
            row.id.assign(props[0].Value.bin.lpb, props[0].Value.bin.lpb + props[0].Value.bin.cb);
            if (PROP_TYPE(props[1].ulPropTag) == PT_STRING8) {
                row.subject = props[1].Value.lpszA;
            }
            result.push_back(std::move(row));
            g_api->MAPIFreeBuffer(rows->aRow[i].lpProps);
        }
        g_api->MAPIFreeBuffer(rows);
    }
    table->Release();
    return result;
}

template<typename T>
T* openEntry(IMsgStore* store, std::vector<BYTE> id, ULONG flags)
{
    ULONG type = 0;
    LPUNKNOWN object = nullptr;
    store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr,
                     flags, &type, &object);
    return static_cast<T*>(object);
}

IMAPIFolder* openArchive(IMsgStore* store, IMAPIFolder* inbox)
{
    ULONG type = 0;
    IMAPIFolder* subtree = nullptr;
    SPropValue* parent = nullptr;
    ULONG count = 0;
    ULONG tags[] = {1, PR_PARENT_ENTRYID};
    if (FAILED(inbox->GetProps(reinterpret_cast<LPSPropTagArray>(tags), 0, &count, &parent)) ||
        FAILED(store->OpenEntry(parent->Value.bin.cb,
                                reinterpret_cast<LPENTRYID>(parent->Value.bin.lpb), nullptr,
                                MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN*>(&subtree)))) {
        g_api->MAPIFreeBuffer(parent);
        return nullptr;
    }
    g_api->MAPIFreeBuffer(parent);
    IMAPIFolder* archive = nullptr;
    subtree->CreateFolder(FOLDER_GENERIC, "Archive", nullptr, nullptr, OPEN_IF_EXISTS, &archive);
    subtree->Release();
    return archive;
}

int resave(IMsgStore* store, IMAPIFolder* inbox)
{
    std::vector<Row> rows = rowsOf(inbox);
    if (rows.size() != 1) {
        std::fprintf(stderr, "the Inbox holds %zu messages, not one\n", rows.size());
        return 1;
    }
    long round = std::strtol(rows[0].subject.c_str() + std::strlen("Round "), nullptr, 10);
    IMessage* message = openEntry<IMessage>(store, rows[0].id, MAPI_MODIFY);
    if (!message) {
        return 1;
    }
    for (;;) {
        ++round;
        const std::string subject = "Round " + std::to_string(round);
        SPropValue values[2] = {};
        values[0].ulPropTag = PR_SUBJECT;
        values[0].Value.lpszA = const_cast<char*>(subject.c_str());
        values[1].ulPropTag = PR_MESSAGE_FLAGS;
        values[1].Value.l = (round % 2) ? MSGFLAG_READ : MSGFLAG_UNSENT;
        if (FAILED(message->SetProps(2, values, nullptr)) || FAILED(message->SaveChanges(0))) {
            std::fprintf(stderr, "save %ld failed\n", round);
            return 1;
        }
        std::printf("%ld\n", round);
        std::fflush(stdout);
    }
}

int move(IMAPIFolder* inbox, IMAPIFolder* archive)
{
    for (long moves = 1;; ++moves) {
        IMAPIFolder* from = inbox;
        IMAPIFolder* to = archive;
        std::vector<Row> rows = rowsOf(inbox);
        if (rows.empty()) {
            std::swap(from, to);
            rows = rowsOf(archive);
        }
        if (rows.size() != 1) {
            std::fprintf(stderr, "%zu messages found, not one\n", rows.size());
            return 1;
        }
        SBinary entry{static_cast<ULONG>(rows[0].id.size()), rows[0].id.data()};
        ENTRYLIST list{1, &entry};
        if (from->CopyMessages(&list, nullptr, to, 0, nullptr, MESSAGE_MOVE) != S_OK) {
            std::fprintf(stderr, "move %ld failed\n", moves);
            return 1;
        }
        std::printf("%ld\n", moves);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string action = argc > 1 ? argv[1] : "";
    vntmapi::MapiLibrary library;
    std::string error;
    if (!library.load(VNTMAPI_LIBRARY_PATH, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    g_api = &library.api();
    IMAPISession* session = nullptr;
    IMAPITable* stores = nullptr;
    LPSRowSet rows = nullptr;
    ULONG columns[] = {1, PR_ENTRYID};
    IMsgStore* store = nullptr;
    if (FAILED(g_api->MAPIInitialize(nullptr)) ||
        FAILED(
            g_api->MAPILogonEx(0, "Probe", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, &session)) ||
        FAILED(session->GetMsgStoresTable(0, &stores)) ||
        FAILED(stores->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) ||
        FAILED(stores->QueryRows(1, 0, &rows)) || rows->cRows != 1 ||
        FAILED(session->OpenMsgStore(
            0, rows->aRow[0].lpProps[0].Value.bin.cb,
            reinterpret_cast<LPENTRYID>(rows->aRow[0].lpProps[0].Value.bin.lpb), nullptr, MDB_WRITE,
            &store))) {
        std::fprintf(stderr, "cannot open the store of profile Probe\n");
        return 2;
    }
    ULONG size = 0;
    LPENTRYID inboxId = nullptr;
    store->GetReceiveFolder("IPM.Note", 0, &size, &inboxId, nullptr);
    IMAPIFolder* inbox =
        openEntry<IMAPIFolder>(store,
                               std::vector<BYTE>(reinterpret_cast<BYTE*>(inboxId),
                                                 reinterpret_cast<BYTE*>(inboxId) + size),
                               MAPI_MODIFY);
    IMAPIFolder* archive = inbox ? openArchive(store, inbox) : nullptr;
    if (!archive) {
        std::fprintf(stderr, "cannot open the Inbox and the Archive\n");
        return 2;
    }
    if (action == "resave") {
        return resave(store, inbox);
    }
    if (action == "move") {
        return move(inbox, archive);
    }
    if (action == "check") {
        for (IMAPIFolder* folder : {inbox, archive}) {
            for (const Row& row : rowsOf(folder)) {
                std::printf("%s\n", row.subject.c_str());
            }
        }
        return 0;
    }
    std::fprintf(stderr, "usage: vntmapi-probe resave|move|check\n");
    return 2;
}
