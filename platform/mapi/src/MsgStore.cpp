#include "MsgStore.h"

#include "Contacts.h"
#include "Folder.h"
#include "Maildir.h"
#include "Message.h"
#include "NamedProps.h"
#include "SpoolRecord.h"
#include "Spooler.h"
#include "fileio/FileLock.h"

#include <cstring>

namespace vntmapi {

namespace {

// No STORE_RTF_OK unless the profile asks for it (StoreConfig::richText): only then does
// saving a message build one body from the other, otherwise callers keep them in step with
// RTFSync.
constexpr ULONG kSupportMask =
    STORE_ENTRYID_UNIQUE | STORE_SORT_OK | STORE_UNICODE_OK | STORE_NOTIFY_OK | STORE_HTML_OK;
constexpr ULONG kRichTextMask = STORE_RTF_OK | STORE_UNCOMPRESSED_RTF;

} // namespace

MsgStore::MsgStore(StoreConfig config)
    : m_config(std::move(config))
{}

std::vector<BYTE> MsgStore::folderId(const std::string& folder) const
{
    return encodeEntryId(folderRef(m_config.key, folder));
}

bool MsgStore::hasInbox() const
{
    // Some layouts keep only folders at the top (an INBOX among them): no Maildir there, no
    // Inbox of the store's own.
    return isDirectory(joinPath(m_config.path, "cur"));
}

bool MsgStore::folderExists(const std::string& folder) const
{
    if (folder == kSubtreeFolder) {
        return true;
    }
    if (folder == kInboxFolder) {
        return hasInbox();
    }
    if (folder == kContactsFolder) {
        return hasContactsFolder(m_config);
    }
    const std::vector<std::string> all = listFolders(m_config.path);
    return std::find(all.begin(), all.end(), folder) != all.end();
}

std::vector<std::string> MsgStore::childFolders(const std::string& folder) const
{
    std::vector<std::string> children;
    if (folder == kSubtreeFolder) {
        if (hasInbox()) {
            children.push_back(kInboxFolder);
        }
        if (hasContactsFolder(m_config)) {
            children.push_back(kContactsFolder);
        }
    }
    if (folder == kInboxFolder || folder == kContactsFolder) {
        return children; // Maildir++ folders are the Inbox's siblings, as IMAP shows them
    }
    for (const std::string& candidate : listFolders(m_config.path)) {
        if (parentFolder(candidate) == folder) {
            children.push_back(candidate);
        }
    }
    return children;
}

std::string MsgStore::folderDirectory(const std::string& folder) const
{
    if (folder == kContactsFolder) {
        return m_config.contacts;
    }
    return vntmapi::folderDirectory(m_config.path, folder);
}

void MsgStore::addSpecialFolder(PropList* props, ULONG* mask, ULONG tag, ULONG bit,
                                const std::string& folder) const
{
    if (!folder.empty() && folderExists(folder)) {
        props->push_back(binaryProp(tag, folderId(folder)));
        *mask |= bit;
    }
}

PropList MsgStore::properties() const
{
    PropList props;
    props.push_back(binaryProp(PR_ENTRYID, encodeEntryId(storeRef(m_config.key))));
    props.push_back(binaryProp(PR_STORE_ENTRYID, encodeEntryId(storeRef(m_config.key))));
    props.push_back(binaryProp(PR_RECORD_KEY, {m_config.key.begin(), m_config.key.end()}));
    props.push_back(stringProp(PR_DISPLAY_NAME, m_config.name));
    props.push_back(longProp(PR_OBJECT_TYPE, MAPI_STORE));
    props.push_back(boolProp(PR_DEFAULT_STORE, m_config.isDefault));
    // Submitting needs an Outbox to queue in and a way for messages to leave.
    const bool canSubmit =
        !m_config.outbox.empty() && folderExists(m_config.outbox) && m_config.transport.isUsable();
    props.push_back(longProp(PR_STORE_SUPPORT_MASK, kSupportMask |
                                                        (canSubmit ? STORE_SUBMIT_OK : 0) |
                                                        (m_config.richText ? kRichTextMask : 0)));
    props.push_back(binaryProp(PR_IPM_SUBTREE_ENTRYID, folderId(kSubtreeFolder)));
    ULONG mask = FOLDER_IPM_SUBTREE_VALID | FOLDER_IPM_INBOX_VALID;
    addSpecialFolder(&props, &mask, PR_IPM_OUTBOX_ENTRYID, FOLDER_IPM_OUTBOX_VALID,
                     m_config.outbox);
    addSpecialFolder(&props, &mask, PR_IPM_WASTEBASKET_ENTRYID, FOLDER_IPM_WASTEBASKET_VALID,
                     m_config.deletedItems);
    addSpecialFolder(&props, &mask, PR_IPM_SENTMAIL_ENTRYID, FOLDER_IPM_SENTMAIL_VALID,
                     m_config.sentItems);
    props.push_back(longProp(PR_VALID_FOLDER_MASK, mask));
    ULONG noBit = 0; // Drafts has no bit of its own in the mask
    addSpecialFolder(&props, &noBit, PR_IPM_DRAFTS_ENTRYID, 0, m_config.drafts);
    return props;
}

HRESULT MsgStore::OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT MsgStore::GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG,
                                  ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames)
{
    return namesFromIds(m_config.path, lppPropTags, lpPropSetGuid, lpcPropNames, lpppPropNames);
}

HRESULT MsgStore::GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                                  LPSPropTagArray* lppPropTags)
{
    return idsFromNames(m_config.path, cPropNames, lppPropNames, ulFlags, lppPropTags);
}

HRESULT MsgStore::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                  LPENTRYID lpEntryID2, ULONG, ULONG* lpulResult)
{
    if (!lpulResult) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulResult = sameEntry(lpEntryID1, cbEntryID1, lpEntryID2, cbEntryID2) ? 1 : 0;
    return S_OK;
}

HRESULT MsgStore::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID, ULONG, ULONG* lpulObjType,
                            LPUNKNOWN* lppUnk)
{
    if (!lpulObjType || !lppUnk) {
        return MAPI_E_INVALID_PARAMETER;
    }
    EntryRef ref = folderRef(m_config.key, kSubtreeFolder); // no id: the root folder
    if (cbEntryID != 0 && !decodeEntryId(lpEntryID, cbEntryID, &ref)) {
        return MAPI_E_INVALID_ENTRYID;
    }
    if (ref.store != m_config.key) {
        return MAPI_E_UNKNOWN_ENTRYID;
    }
    if (ref.kind == EntryKind::Store) {
        AddRef();
        *lpulObjType = MAPI_STORE;
        *lppUnk = this;
        return S_OK;
    }
    if (!folderExists(ref.folder)) {
        return MAPI_E_NOT_FOUND;
    }
    if (ref.kind == EntryKind::Message) {
        IMessage* message = nullptr;
        const HRESULT hr = ref.folder == kContactsFolder
                               ? openContact(this, ref.message, &message)
                               : openMessage(this, ref.folder, ref.message, &message);
        if (SUCCEEDED(hr)) {
            *lpulObjType = MAPI_MESSAGE;
            *lppUnk = message;
        }
        return hr;
    }
    *lpulObjType = MAPI_FOLDER;
    *lppUnk = new Folder(this, ref.folder);
    return S_OK;
}

HRESULT MsgStore::GetReceiveFolder(const char*, ULONG, ULONG* lpcbEntryID, LPENTRYID* lppEntryID,
                                   char** lppszExplicitClass)
{
    // Every message class is received into the Inbox.
    if (lppszExplicitClass) {
        *lppszExplicitClass = nullptr;
    }
    if (!hasInbox()) {
        return MAPI_E_NOT_FOUND;
    }
    return allocEntryId(folderId(kInboxFolder), lpcbEntryID, lppEntryID);
}

HRESULT MsgStore::StoreLogoff(ULONG*)
{
    return S_OK;
}

HRESULT MsgStore::AbortSubmit(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG)
{
    EntryRef ref;
    if (!lpEntryID || !decodeEntryId(lpEntryID, cbEntryID, &ref) ||
        ref.kind != EntryKind::Message) {
        return MAPI_E_INVALID_ENTRYID;
    }
    if (ref.store != m_config.key) {
        return MAPI_E_UNKNOWN_ENTRYID;
    }
    const Spool spool(m_config);
    if (!spool.isValid() || ref.folder != m_config.outbox) {
        return MAPI_E_NOT_IN_QUEUE;
    }
    vnt::fileio::FileLock lock;
    if (!spool.lock(&lock)) {
        return MAPI_E_BUSY;
    }
    SpoolRecord record;
    std::string why;
    const RecordRead read = spool.read(ref.message, &record, &why);
    MessageFile file;
    const bool inOutbox = findMessage(folderDirectory(m_config.outbox), ref.message, &file);
    if (read == RecordRead::Missing) {
        // Gone from the Outbox as well: the spooler has dealt with it (sent, most likely).
        return inOutbox ? MAPI_E_NOT_IN_QUEUE : MAPI_E_UNABLE_TO_ABORT;
    }
    if (read == RecordRead::Damaged) {
        // Not sent and no longer queued: the message stays, unsent, and the record is kept.
        spool.setAside(ref.message);
        if (inOutbox) {
            markUnsent(file);
        }
        setLastError(MAPI_E_CORRUPT_DATA,
                     "The send queue record " + spool.recordPath(ref.message) +
                         " is damaged: " + why +
                         ". The message was not sent and stays in the "
                         "Outbox; the record is kept beside it as \".damaged\".");
        return MAPI_E_CORRUPT_DATA;
    }
    if (record.state != SpoolRecord::State::Queued) {
        return MAPI_E_UNABLE_TO_ABORT; // handed to the server, or already answered
    }
    spool.remove(ref.message);
    if (inOutbox) {
        markUnsent(file);
    }
    return S_OK;
}

} // namespace vntmapi
