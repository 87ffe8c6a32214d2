// A message store over one Maildir++ tree.
#pragma once

#include "Notifications.h"
#include "Profiles.h"
#include "PropObject.h"

#include <map>
#include <memory>

class QFileSystemWatcher;

namespace vntmapi {

class FolderWatcher;
struct FolderChanges;

class MsgStore : public PropObject<IMsgStore>
{
public:
    explicit MsgStore(StoreConfig config);
    ~MsgStore() override;

    const StoreConfig& config() const { return m_config; }
    std::vector<BYTE> folderId(const std::string& folder) const;
    // Whether the store's top folder is a Maildir of its own, which is its Inbox.
    bool hasInbox() const;
    bool folderExists(const std::string& folder) const;
    std::vector<std::string> childFolders(const std::string& folder) const;
    std::string folderDirectory(const std::string& folder) const;

    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN* lppUnk) override;
    HRESULT GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                            ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames) override;
    HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                            LPSPropTagArray* lppPropTags) override;
    HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                   IMAPIAdviseSink* lpAdviseSink, ULONG* lpulConnection) override;
    HRESULT Unadvise(ULONG ulConnection) override;
    HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                            LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) override;
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override;
    HRESULT GetReceiveFolder(const char* lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID,
                             LPENTRYID* lppEntryID, char** lppszExplicitClass) override;
    HRESULT StoreLogoff(ULONG* lpulFlags) override;
    HRESULT AbortSubmit(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) override;

    // Records the reason of a failure for GetLastError, for the store's own objects too.
    void noteError(HRESULT code, std::string text) { setLastError(code, std::move(text)); }

protected:
    PropList properties() const override;

private:
    void addSpecialFolder(PropList* props, ULONG* mask, ULONG tag, ULONG bit,
                          const std::string& folder) const;
    void reportCreated(const std::string& folder, const FolderChanges& changes);
    void watchContacts();

    StoreConfig m_config;
    AdviseList m_advise; // scoped by folder
    // One watcher per advised folder (shared_ptr: its type is complete only where it is made);
    // declared after m_advise, so the watchers go first.
    std::map<std::string, std::shared_ptr<FolderWatcher>> m_watchers;
    std::shared_ptr<QFileSystemWatcher> m_contactsWatcher; // while the contacts folder is advised
};

} // namespace vntmapi
