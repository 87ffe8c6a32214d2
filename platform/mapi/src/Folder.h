// A folder of a Maildir store: the IPM subtree, the Inbox or a Maildir++ folder.
#pragma once

#include "Maildir.h"
#include "MsgStore.h"

namespace vntmapi {

class Folder : public PropObject<IMAPIFolder>
{
public:
    // Holds a reference to `store` for its lifetime.
    Folder(MsgStore* store, std::string folder);
    ~Folder() override;

    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN* lppUnk) override;
    HRESULT GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                            ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames) override;
    HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                            LPSPropTagArray* lppPropTags) override;
    HRESULT GetContentsTable(ULONG ulFlags, IMAPITable** lppTable) override;
    HRESULT GetHierarchyTable(ULONG ulFlags, IMAPITable** lppTable) override;
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override;
    HRESULT SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override;
    HRESULT GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) override;
    HRESULT CreateMessage(LPCIID, ULONG, IMessage**) override;
    HRESULT CopyMessages(LPENTRYLIST, LPCIID, IMAPIFolder*, ULONG, IMAPIProgress*, ULONG) override;
    HRESULT DeleteMessages(LPENTRYLIST, ULONG, IMAPIProgress*, ULONG) override;
    HRESULT CreateFolder(ULONG, const char*, const char*, LPCIID, ULONG, IMAPIFolder**) override;
    HRESULT SetReadFlags(LPENTRYLIST, ULONG, IMAPIProgress*, ULONG) override;
    HRESULT EmptyFolder(ULONG, IMAPIProgress*, ULONG) override;

    MsgStore* store() const { return m_store; }
    const std::string& folder() const { return m_folder; }

protected:
    PropList properties() const override;

private:
    // The message files `list` names (every message of this folder when null); false when an
    // entry is not a message of this store.
    bool messagesOf(LPENTRYLIST list, std::vector<MessageFile>* files) const;
    // Takes out the messages waiting in the send queue, which stay until sent or aborted;
    // returns how many.
    std::size_t dropQueued(std::vector<MessageFile>* files) const;

    MsgStore* m_store;
    std::string m_folder;
};

// The properties of a folder as GetProps and the parent's hierarchy table report them.
PropList folderProperties(const MsgStore& store, const std::string& folder);

} // namespace vntmapi
