#include "Contacts.h"
#include "EntryId.h"
#include "FolderWatcher.h"
#include "Maildir.h"
#include "MsgStore.h"

#include <QFileSystemWatcher>
#include <algorithm>

namespace vntmapi {

MsgStore::~MsgStore() = default;

HRESULT MsgStore::Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                         IMAPIAdviseSink* lpAdviseSink, ULONG* lpulConnection)
{
    if (!lpAdviseSink || !lpulConnection) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (!(ulEventMask & fnevObjectCreated)) {
        return MAPI_E_NO_SUPPORT; // the only event this store reports
    }
    EntryRef ref;
    if (!lpEntryID || cbEntryID == 0 || !decodeEntryId(lpEntryID, cbEntryID, &ref) ||
        ref.store != m_config.key || ref.kind != EntryKind::Folder) {
        return MAPI_E_INVALID_ENTRYID;
    }
    if (!folderExists(ref.folder)) {
        return MAPI_E_NOT_FOUND;
    }
    const HRESULT hr = m_advise.add(ulEventMask, lpAdviseSink, ref.folder, lpulConnection);
    if (FAILED(hr) || m_watchers.count(ref.folder) ||
        (ref.folder == kContactsFolder && m_contactsWatcher)) {
        return hr;
    }
    const std::string folder = ref.folder;
    if (folder == kContactsFolder) {
        watchContacts();
        return hr;
    }
    auto watcher = std::make_shared<FolderWatcher>(
        m_config.path, folder, FolderWatcher::Watch::Creations,
        [this, folder](const FolderChanges& changes) { reportCreated(folder, changes); });
    // Listed once the watch is on, so nothing created meanwhile goes unseen. Only new names
    // matter here, so a large folder is listed without a stat per message.
    watcher->start(folder == kSubtreeFolder ? FolderState()
                                            : FolderState::read(folderDirectory(folder), false),
                   false);
    m_watchers[folder] = std::move(watcher);
    return hr;
}

HRESULT MsgStore::Unadvise(ULONG ulConnection)
{
    const HRESULT hr = m_advise.remove(ulConnection);
    if (FAILED(hr)) {
        return hr;
    }
    const std::vector<std::string> advised = m_advise.scopes();
    if (std::find(advised.begin(), advised.end(), kContactsFolder) == advised.end()) {
        m_contactsWatcher.reset();
    }
    std::erase_if(m_watchers, [&advised](const auto& entry) {
        return std::find(advised.begin(), advised.end(), entry.first) == advised.end();
    });
    return hr;
}

// The contacts folder is a vCard directory, not a Maildir: a new card is a new contact.
void MsgStore::watchContacts()
{
    auto watcher = std::make_shared<QFileSystemWatcher>(
        QStringList{QString::fromStdString(m_config.contacts)});
    auto known = std::make_shared<std::vector<std::string>>(listContacts(m_config));
    QObject::connect(watcher.get(), &QFileSystemWatcher::directoryChanged, [this, known] {
        std::vector<std::string> now = listContacts(m_config);
        std::vector<std::string> added;
        std::set_difference(now.begin(), now.end(), known->begin(), known->end(),
                            std::back_inserter(added));
        *known = std::move(now);
        for (const std::string& name : added) {
            EntryRef ref = folderRef(m_config.key, kContactsFolder);
            ref.kind = EntryKind::Message;
            ref.message = name;
            ObjectEvent event;
            event.parentId = folderId(kContactsFolder);
            event.objectType = MAPI_MESSAGE;
            event.entryId = encodeEntryId(ref);
            m_advise.post(fnevObjectCreated, kContactsFolder,
                          [event](LPNOTIFICATION* out) { return buildNotification(event, out); });
        }
    });
    m_contactsWatcher = std::move(watcher);
}

void MsgStore::reportCreated(const std::string& folder, const FolderChanges& changes)
{
    ObjectEvent event;
    event.parentId = folderId(folder);
    const auto post = [&] {
        m_advise.post(fnevObjectCreated, folder,
                      [event](LPNOTIFICATION* out) { return buildNotification(event, out); });
    };
    event.objectType = MAPI_MESSAGE;
    for (const MessageFile& file : changes.added) {
        EntryRef ref = folderRef(m_config.key, folder);
        ref.kind = EntryKind::Message;
        ref.message = file.baseName;
        event.entryId = encodeEntryId(ref);
        post();
    }
    event.objectType = MAPI_FOLDER;
    for (const std::string& child : changes.newFolders) {
        if (parentFolder(child) == folder) {
            event.entryId = folderId(child);
            post();
        }
    }
}

} // namespace vntmapi
