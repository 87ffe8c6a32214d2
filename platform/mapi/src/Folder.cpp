#include "Folder.h"

#include "Contacts.h"
#include "LastError.h"
#include "Maildir.h"
#include "MemoryTable.h"
#include "Message.h"
#include "MessageWriter.h"
#include "NamedProps.h"
#include "SpoolRecord.h"
#include "StoredProps.h"

#include <algorithm>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <map>
#include <unistd.h>
#include <unordered_map>

namespace vntmapi {

namespace {

const std::vector<ULONG> kHierarchyColumns = {PR_ENTRYID, PR_DISPLAY_NAME, PR_SUBFOLDERS,
                                              PR_PARENT_ENTRYID, PR_CONTAINER_CLASS};

// Maildir++ keeps no kind of folder. A Maildir++ folder that holds calendar items, tasks or
// notes says so in a file of its own whose first line is its container class
// ("IPF.Appointment"); without one (or with anything but a short printable line) it is mail.
const char kClassFile[] = "vntmapi-folder-class";
constexpr std::size_t kMaxClassLength = 255;

std::string containerClassOf(const MsgStore& store, const std::string& folder)
{
    if (folder == kContactsFolder) {
        return "IPF.Contact";
    }
    const std::string fallback = "IPF.Note";
    gchar* contents = nullptr;
    gsize size = 0;
    if (folder == kSubtreeFolder || folder == kInboxFolder ||
        !g_file_get_contents(joinPath(store.folderDirectory(folder), kClassFile).c_str(), &contents,
                             &size, nullptr)) {
        return fallback;
    }
    std::string line(contents, size);
    g_free(contents);
    line = line.substr(0, line.find_first_of("\r\n"));
    const bool printable = std::all_of(line.begin(), line.end(),
                                       [](unsigned char c) { return c >= 0x20 && c < 0x7F; });
    return !line.empty() && line.size() <= kMaxClassLength && printable ? line : fallback;
}

// What moveMessageFile does on one file system (a rename to a new unique name in cur/, the
// stale copies removed), without syncing the folder after each file: the caller syncs it once
// when the whole list has moved. A failed rename is left to moveMessageFile, which copies
// across file systems and says why it failed otherwise.
HRESULT renameWithoutSync(const MessageFile& file, const std::string& destDir, int* failure)
{
    const std::string dest = joinPath(destDir, "cur/" + newUniqueName() + ":2," + file.info);
    if (g_rename(file.path.c_str(), dest.c_str()) != 0) {
        return moveMessageFile(file, destDir, {}, failure);
    }
    for (const std::string& copy : file.copies) {
        g_unlink(copy.c_str());
    }
    return S_OK;
}

void syncDirectory(const std::string& dir)
{
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

HRESULT newTable(std::vector<PropList> rows, const std::vector<ULONG>& columns, IMAPITable** table)
{
    if (!table) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *table = new MemoryTable(std::move(rows), columns);
    return S_OK;
}

// The progress of a copy, move or delete, told when the caller passes a progress object and
// MESSAGE_DIALOG. Asked before each message: a cancel stops between two messages, and those
// already done stay done.
class ProgressReport
{
public:
    ProgressReport(IMAPIProgress* progress, ULONG flags, std::size_t total)
        : m_progress(flags & MESSAGE_DIALOG ? progress : nullptr)
        , m_total(static_cast<ULONG>(total))
    {}

    // Whether to go on with the next message.
    bool next()
    {
        if (m_progress && m_progress->Progress(m_done, m_done, m_total) == MAPI_E_USER_CANCEL) {
            m_cancelled = true;
            return false;
        }
        ++m_done;
        return true;
    }
    void finish()
    {
        if (m_progress) {
            m_progress->Progress(m_total, m_total, m_total);
        }
    }
    // The messages gone through so far.
    std::size_t done() const { return m_done; }
    bool cancelled() const { return m_cancelled; }
    std::string cancelText(const char* verb) const
    {
        return "Cancelled after " + std::to_string(m_done) + " of " + std::to_string(m_total) +
               " messages were " + verb + ".";
    }

private:
    IMAPIProgress* m_progress;
    ULONG m_total;
    ULONG m_done = 0;
    bool m_cancelled = false;
};

} // namespace

PropList folderProperties(const MsgStore& store, const std::string& folder)
{
    PropList props;
    const StoreKey& key = store.config().key;
    props.push_back(binaryProp(PR_ENTRYID, store.folderId(folder)));
    props.push_back(binaryProp(PR_STORE_ENTRYID, encodeEntryId(storeRef(key))));
    if (folder != kSubtreeFolder) {
        props.push_back(binaryProp(PR_PARENT_ENTRYID, store.folderId(parentFolder(folder))));
    }
    std::string name = folder == kSubtreeFolder ? store.config().name : folderLeafName(folder);
    if (folder == kContactsFolder) {
        name = "Contacts";
    }
    props.push_back(stringProp(PR_DISPLAY_NAME, name));
    props.push_back(longProp(PR_OBJECT_TYPE, MAPI_FOLDER));
    props.push_back(longProp(PR_DISPLAY_TYPE, DT_FOLDER));
    const bool contacts = folder == kContactsFolder;
    props.push_back(stringProp(PR_CONTAINER_CLASS, containerClassOf(store, folder)));
    props.push_back(boolProp(PR_SUBFOLDERS, !store.childFolders(folder).empty()));
    if (folder == kInboxFolder && hasContactsFolder(store.config())) {
        props.push_back(binaryProp(PR_IPM_CONTACT_ENTRYID, store.folderId(kContactsFolder)));
    }
    std::int64_t count = 0;
    std::int64_t unread = 0;
    if (contacts) {
        count = static_cast<std::int64_t>(listContacts(store.config()).size());
    } else if (folder != kSubtreeFolder) {
        for (const MessageFile& file : listMessages(store.folderDirectory(folder))) {
            ++count;
            unread += file.info.find('S') == std::string::npos ? 1 : 0;
        }
    }
    props.push_back(longProp(PR_CONTENT_COUNT, count));
    props.push_back(longProp(PR_CONTENT_UNREAD, unread));
    return props;
}

Folder::Folder(MsgStore* store, std::string folder)
    : m_store(store)
    , m_folder(std::move(folder))
{
    m_store->AddRef();
}

Folder::~Folder()
{
    m_store->Release();
}

PropList Folder::properties() const
{
    return folderProperties(*m_store, m_folder);
}

// Named property ids belong to the store; its folders answer from the same map.
HRESULT Folder::GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                                ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames)
{
    return m_store->GetNamesFromIDs(lppPropTags, lpPropSetGuid, ulFlags, lpcPropNames,
                                    lpppPropNames);
}

HRESULT Folder::GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                                LPSPropTagArray* lppPropTags)
{
    return m_store->GetIDsFromNames(cPropNames, lppPropNames, ulFlags, lppPropTags);
}

HRESULT Folder::OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG, ULONG, LPUNKNOWN* lppUnk)
{
    if (!lppUnk || !lpiid) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (*lpiid != IID_IMAPITable) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    IMAPITable* table = nullptr;
    HRESULT hr = MAPI_E_NO_SUPPORT;
    if (ulPropTag == PR_CONTAINER_HIERARCHY) {
        hr = GetHierarchyTable(0, &table);
    } else if (ulPropTag == PR_CONTAINER_CONTENTS) {
        hr = GetContentsTable(0, &table);
    }
    *lppUnk = SUCCEEDED(hr) ? table : nullptr;
    return hr;
}

HRESULT Folder::GetHierarchyTable(ULONG ulFlags, IMAPITable** lppTable)
{
    if (ulFlags & CONVENIENT_DEPTH) {
        return MAPI_E_NO_SUPPORT;
    }
    std::vector<PropList> rows;
    for (const std::string& child : m_store->childFolders(m_folder)) {
        rows.push_back(folderProperties(*m_store, child));
    }
    return newTable(std::move(rows), kHierarchyColumns, lppTable);
}

HRESULT Folder::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                          ULONG* lpulObjType, LPUNKNOWN* lppUnk)
{
    return m_store->OpenEntry(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk);
}

HRESULT Folder::SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Folder::GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Folder::CreateMessage(LPCIID, ULONG, IMessage** lppMessage)
{
    if (!lppMessage) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_folder == kSubtreeFolder) {
        return MAPI_E_NO_SUPPORT; // holds folders only
    }
    *lppMessage = m_folder == kContactsFolder ? newContact(m_store) : newMessage(m_store, m_folder);
    return S_OK;
}

bool Folder::messagesOf(LPENTRYLIST list, std::vector<MessageFile>* files) const
{
    const std::string dir = m_store->folderDirectory(m_folder);
    if (!list) {
        *files = listMessages(dir);
        return true;
    }
    // Each look-up reads through the whole folder: a long list reads each folder once instead.
    constexpr ULONG kFoundOneByOne = 16;
    std::map<std::string, std::unordered_map<std::string, MessageFile>> listed;
    const auto find = [&](const std::string& folder, const std::string& baseName,
                          MessageFile* file) {
        const std::string folderDir = m_store->folderDirectory(folder);
        if (list->cValues <= kFoundOneByOne) {
            return findMessage(folderDir, baseName, file);
        }
        auto [byName, added] = listed.try_emplace(folder);
        if (added) {
            for (MessageFile& each : listMessages(folderDir)) {
                byName->second.emplace(each.baseName, std::move(each));
            }
        }
        const auto found = byName->second.find(baseName);
        if (found == byName->second.end()) {
            return false;
        }
        *file = found->second;
        return true;
    };
    bool allFound = true;
    files->reserve(list->cValues);
    for (ULONG i = 0; i < list->cValues; ++i) {
        EntryRef ref;
        MessageFile file;
        const bool ours = decodeEntryId(list->lpbin[i].lpb, list->lpbin[i].cb, &ref) &&
                          ref.kind == EntryKind::Message && ref.store == m_store->config().key;
        if (ours && find(ref.folder, ref.message, &file)) {
            files->push_back(std::move(file));
        } else {
            allFound = false;
        }
    }
    return allFound;
}

std::size_t Folder::dropQueued(std::vector<MessageFile>* files) const
{
    const StoreConfig& config = m_store->config();
    if (m_folder != config.outbox) {
        return 0;
    }
    const auto queued = std::remove_if(files->begin(), files->end(), [&](const MessageFile& f) {
        return isQueued(config, f.baseName);
    });
    const auto count = static_cast<std::size_t>(files->end() - queued);
    files->erase(queued, files->end());
    return count;
}

HRESULT Folder::CopyMessages(LPENTRYLIST lpMsgList, LPCIID, IMAPIFolder* lpDestFolder, ULONG,
                             IMAPIProgress* lpProgress, ULONG ulFlags)
{
    auto* dest = dynamic_cast<Folder*>(lpDestFolder);
    if (!lpMsgList || !dest) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (dest->m_folder == kSubtreeFolder || dest->m_folder == kContactsFolder) {
        return MAPI_E_NO_SUPPORT;
    }
    std::vector<MessageFile> files;
    bool complete = messagesOf(lpMsgList, &files);
    const bool move = ulFlags & MESSAGE_MOVE;
    const std::size_t locked = move ? dropQueued(&files) : 0;
    const std::string destDir = dest->m_store->folderDirectory(dest->m_folder);
    // Named properties kept in the file carry this store's ids; the other store has its own.
    const std::string& from = m_store->config().path;
    const std::string& to = dest->m_store->config().path;
    // Each tag is looked up once, however many messages carry it.
    std::map<ULONG, ULONG> mapped;
    const auto map = [&](ULONG tag) {
        if (PROP_ID(tag) < 0x8000) {
            return tag;
        }
        const auto known = mapped.find(tag);
        return known != mapped.end() ? known->second : (mapped[tag] = mapNamedTag(from, to, tag));
    };
    FileRewrite rewrite;
    if (from != to) {
        rewrite = [&](std::string bytes) {
            return remapPrivateHeaders(std::move(bytes), map);
        };
    }
    std::size_t failed = 0;
    HRESULT failure = S_OK;
    int systemError = 0;
    const bool renaming = move && !rewrite;
    ProgressReport report(lpProgress, ulFlags, files.size());
    for (const MessageFile& file : files) {
        if (!report.next()) {
            break;
        }
        // Either way the file gets a new unique name in its new folder.
        int error = 0;
        const HRESULT hr = renaming ? renameWithoutSync(file, destDir, &error)
                           : move
                               ? moveMessageFile(file, destDir, rewrite, &error)
                               : copyMessageFile(file, destDir, newUniqueName(), rewrite, &error);
        if (FAILED(hr)) {
            ++failed;
            failure = hr;
            systemError = error;
        }
    }
    if (renaming && failed < report.done()) {
        syncDirectory(joinPath(destDir, "cur")); // every rename on disk before the answer
    }
    if (report.cancelled()) {
        setLastError(MAPI_E_USER_CANCEL, report.cancelText(move ? "moved" : "copied"));
        return MAPI_E_USER_CANCEL;
    }
    report.finish();
    const std::size_t missing = lpMsgList->cValues - files.size() - locked;
    if (failed == 0 && complete && locked == 0) {
        return S_OK;
    }
    if (locked > 0 && failed == 0 && missing == 0) {
        setLastError(MAPI_W_PARTIAL_COMPLETION,
                     std::to_string(locked) + " of " + std::to_string(lpMsgList->cValues) +
                         " messages wait to be sent and were not moved; abort their submission "
                         "first.");
        return MAPI_W_PARTIAL_COMPLETION;
    }
    std::string text = std::string("Could not ") + (move ? "move " : "copy ");
    text += std::to_string(failed + missing) + " of " + std::to_string(lpMsgList->cValues) +
            " messages to the folder \"" + folderLeafName(dest->m_folder) + "\" (" + destDir +
            "): ";
    text +=
        failed > 0 ? fileErrorReason(systemError) : "they were moved or deleted by another program";
    text += ".";
    // Nothing done for a reason the user can fix: that reason is the result. Otherwise the
    // caller refreshes what did change and asks GetLastError why the rest did not.
    const HRESULT result =
        failed == lpMsgList->cValues && failed > 0 ? failure : MAPI_W_PARTIAL_COMPLETION;
    setLastError(result, std::move(text), systemError);
    return result;
}

HRESULT Folder::DeleteMessages(LPENTRYLIST lpMsgList, ULONG, IMAPIProgress* lpProgress,
                               ULONG ulFlags)
{
    if (!lpMsgList) {
        return MAPI_E_INVALID_PARAMETER;
    }
    std::vector<MessageFile> files;
    bool complete = messagesOf(lpMsgList, &files);
    complete = dropQueued(&files) == 0 && complete;
    ProgressReport report(lpProgress, ulFlags, files.size());
    for (const MessageFile& file : files) {
        if (!report.next()) {
            setLastError(MAPI_E_USER_CANCEL, report.cancelText("deleted"));
            return MAPI_E_USER_CANCEL;
        }
        complete = removeMessageFile(file) && complete;
    }
    report.finish();
    return complete ? S_OK : MAPI_W_PARTIAL_COMPLETION;
}

HRESULT Folder::SetReadFlags(LPENTRYLIST lpMsgList, ULONG, IMAPIProgress*, ULONG ulFlags)
{
    std::vector<MessageFile> files;
    bool complete = messagesOf(lpMsgList, &files);
    const bool read = !(ulFlags & CLEAR_READ_FLAG);
    const bool receipts =
        (ulFlags & GENERATE_RECEIPT_ONLY) || (read && !(ulFlags & SUPPRESS_RECEIPT));
    for (MessageFile& file : files) {
        if (receipts) {
            complete = SUCCEEDED(queueReadReceipt(m_store, &file)) && complete;
        }
        if (!(ulFlags & GENERATE_RECEIPT_ONLY)) {
            complete = SUCCEEDED(setSeenFlag(file, read)) && complete;
        }
    }
    return complete ? S_OK : MAPI_W_PARTIAL_COMPLETION;
}

} // namespace vntmapi
