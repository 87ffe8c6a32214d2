// The object interfaces of the mail library: abstract classes with COM-style reference counts.
// Every method returns an HRESULT; nothing throws across the library boundary. Memory handed
// out by a method (property arrays, row sets, entry ids) is freed with MAPIFreeBuffer.
#pragma once

#include "MapiDefs.h"

#include <utility>

class IUnknown
{
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

class IMAPIAdviseSink : public IUnknown
{
public:
    virtual ULONG OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) = 0;
};

class IMAPIProgress : public IUnknown
{
public:
    virtual HRESULT Progress(ULONG ulValue, ULONG ulCount, ULONG ulTotal) = 0;
};

class IStream : public IUnknown
{
public:
    // Seek origins as in the stream API: 0 from the start, 1 from the current position, 2 from
    // the end.
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
    virtual HRESULT Seek(std::int64_t move, ULONG origin, std::uint64_t* newPosition) = 0;
    virtual HRESULT SetSize(std::uint64_t newSize) = 0;
    virtual HRESULT Commit(ULONG flags) = 0;
    virtual HRESULT GetSize(std::uint64_t* size) = 0;
};
constexpr ULONG STREAM_SEEK_SET = 0;
constexpr ULONG STREAM_SEEK_CUR = 1;
constexpr ULONG STREAM_SEEK_END = 2;

class IMAPITable : public IUnknown
{
public:
    virtual HRESULT Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink,
                           ULONG* lpulConnection) = 0;
    virtual HRESULT Unadvise(ULONG ulConnection) = 0;
    virtual HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
    virtual HRESULT QueryColumns(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) = 0;
    virtual HRESULT GetRowCount(ULONG ulFlags, ULONG* lpulCount) = 0;
    virtual HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
    virtual HRESULT QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) = 0;
    virtual HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) = 0;
    virtual HRESULT SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
    virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) = 0;
};

class IMAPIProp : public IUnknown
{
public:
    // The reason for the last failure or partial completion `hResult` of a call on this object;
    // *lppMAPIError is null when there is none to give.
    virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
    virtual HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                             LPSPropValue* lppPropArray) = 0;
    virtual HRESULT GetPropList(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) = 0;
    virtual HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions,
                                 ULONG ulFlags, LPUNKNOWN* lppUnk) = 0;
    virtual HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray,
                             LPSPropProblemArray* lppProblems) = 0;
    virtual HRESULT DeleteProps(LPSPropTagArray lpPropTagArray,
                                LPSPropProblemArray* lppProblems) = 0;
    virtual HRESULT SaveChanges(ULONG ulFlags) = 0;
    // lpDestObj is an IMAPIProp of the kind lpInterface names.
    virtual HRESULT CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps,
                           ULONG ulUIParam, IMAPIProgress* lpProgress, LPCIID lpInterface,
                           IMAPIProp* lpDestObj, ULONG ulFlags,
                           LPSPropProblemArray* lppProblems) = 0;
    virtual HRESULT CopyProps(LPSPropTagArray lpIncludeProps, ULONG ulUIParam,
                              IMAPIProgress* lpProgress, LPCIID lpInterface, IMAPIProp* lpDestObj,
                              ULONG ulFlags, LPSPropProblemArray* lppProblems) = 0;
    virtual HRESULT GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid,
                                    ULONG ulFlags, ULONG* lpcPropNames,
                                    LPMAPINAMEID** lpppPropNames) = 0;
    virtual HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                                    LPSPropTagArray* lppPropTags) = 0;
};

class IAttach : public IMAPIProp
{};

class IMessage : public IMAPIProp
{
public:
    virtual HRESULT GetAttachmentTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
    virtual HRESULT OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags,
                               IAttach** lppAttach) = 0;
    virtual HRESULT CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum,
                                 IAttach** lppAttach) = 0;
    virtual HRESULT DeleteAttach(ULONG ulAttachmentNum, ULONG ulUIParam, IMAPIProgress* lpProgress,
                                 ULONG ulFlags) = 0;
    virtual HRESULT GetRecipientTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
    virtual HRESULT ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) = 0;
    virtual HRESULT SubmitMessage(ULONG ulFlags) = 0;
    virtual HRESULT SetReadFlag(ULONG ulFlags) = 0;
};

class IMAPIContainer : public IMAPIProp
{
public:
    virtual HRESULT GetContentsTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
    virtual HRESULT GetHierarchyTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                              ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
    virtual HRESULT SetSearchCriteria(LPSRestriction lpRestriction, LPENTRYLIST lpContainerList,
                                      ULONG ulSearchFlags) = 0;
    virtual HRESULT GetSearchCriteria(ULONG ulFlags, LPSRestriction* lppRestriction,
                                      LPENTRYLIST* lppContainerList, ULONG* lpulSearchState) = 0;
};

class IMAPIFolder : public IMAPIContainer
{
public:
    virtual HRESULT CreateMessage(LPCIID lpInterface, ULONG ulFlags, IMessage** lppMessage) = 0;
    // lpDestFolder is an IMAPIFolder.
    virtual HRESULT CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface,
                                 IMAPIFolder* lpDestFolder, ULONG ulUIParam,
                                 IMAPIProgress* lpProgress, ULONG ulFlags) = 0;
    virtual HRESULT DeleteMessages(LPENTRYLIST lpMsgList, ULONG ulUIParam,
                                   IMAPIProgress* lpProgress, ULONG ulFlags) = 0;
    virtual HRESULT CreateFolder(ULONG ulFolderType, const char* lpszFolderName,
                                 const char* lpszFolderComment, LPCIID lpInterface, ULONG ulFlags,
                                 IMAPIFolder** lppFolder) = 0;
    virtual HRESULT SetReadFlags(LPENTRYLIST lpMsgList, ULONG ulUIParam, IMAPIProgress* lpProgress,
                                 ULONG ulFlags) = 0;
    virtual HRESULT EmptyFolder(ULONG ulUIParam, IMAPIProgress* lpProgress, ULONG ulFlags) = 0;
};

class IMsgStore : public IMAPIProp
{
public:
    virtual HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                           IMAPIAdviseSink* lpAdviseSink, ULONG* lpulConnection) = 0;
    virtual HRESULT Unadvise(ULONG ulConnection) = 0;
    virtual HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                    LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                              ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
    // *lppszExplicitClass may be null on input; when asked for it is freed with MAPIFreeBuffer.
    virtual HRESULT GetReceiveFolder(const char* lpszMessageClass, ULONG ulFlags,
                                     ULONG* lpcbEntryID, LPENTRYID* lppEntryID,
                                     char** lppszExplicitClass) = 0;
    virtual HRESULT StoreLogoff(ULONG* lpulFlags) = 0;
    // Takes a submitted message off the send queue while it still waits there.
    virtual HRESULT AbortSubmit(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) = 0;
};

// An address: the session's identity, a one-off, or an address book entry (a contact's
// e-mail address, or a contact group, whose PR_OBJECT_TYPE is then MAPI_DISTLIST).
class IMailUser : public IMAPIProp
{};

// A container of the address book: the root (its hierarchy lists the others) or the
// contacts folder of a store.
class IABContainer : public IMAPIContainer
{};

class IAddrBook : public IMAPIProp
{
public:
    // An empty entry id opens the root container.
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                              ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
    virtual HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                    LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) = 0;
    virtual HRESULT CreateOneOff(const char* lpszName, const char* lpszAdrType,
                                 const char* lpszAddress, ULONG ulFlags, ULONG* lpcbEntryID,
                                 LPENTRYID* lppEntryID) = 0;
    // Resolves every entry without PR_ENTRYID by its PR_DISPLAY_NAME; each resolved entry's
    // rgPropVals is replaced (the old block freed). MAPI_E_AMBIGUOUS_RECIP when a name matches
    // several entries, else MAPI_E_NOT_FOUND when one matches none; the others are resolved
    // either way.
    virtual HRESULT ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags, const char* lpszNewEntryTitle,
                                LPADRLIST lpAdrList) = 0;
    // The address dialog; *lppAdrList (may be null) fills the wells and is replaced by the
    // chosen recipients on OK. MAPI_E_USER_CANCEL on Cancel or where no dialog can be shown.
    virtual HRESULT Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms,
                            LPADRLIST* lppAdrList) = 0;
    virtual HRESULT Details(ULONG_PTR* lpulUIParam, void* lpfnDismiss, void* lpvDismissContext,
                            ULONG cbEntryID, LPENTRYID lpEntryID, void* lpfButtonCallback,
                            void* lpvButtonContext, char* lpszButtonText, ULONG ulFlags) = 0;
    // Puts the properties `lpPropTagArray` names first in each resolved entry, in that order,
    // read from the entry itself where the row lacks them; the row's other values follow.
    virtual HRESULT PrepareRecips(ULONG ulFlags, LPSPropTagArray lpPropTagArray,
                                  LPADRLIST lpRecipList) = 0;
};

class IMAPISession : public IUnknown
{
public:
    virtual HRESULT GetMsgStoresTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
    virtual HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                                 LPCIID lpInterface, ULONG ulFlags, IMsgStore** lppMDB) = 0;
    virtual HRESULT OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                                    IAddrBook** lppAdrBook) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                              ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
    virtual HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                    LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) = 0;
    virtual HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) = 0;
    // The entry id of the user the session sends as; freed with MAPIFreeBuffer.
    virtual HRESULT QueryIdentity(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
};

class IProfAdmin : public IUnknown
{
public:
    virtual HRESULT GetProfileTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
};

// Owns one reference to an interface and releases it when it goes.
template<typename T>
class MapiPtr
{
public:
    MapiPtr() = default;
    explicit MapiPtr(T* p)
        : m_p(p)
    {}
    MapiPtr(const MapiPtr& other)
        : m_p(other.m_p)
    {
        if (m_p) {
            m_p->AddRef();
        }
    }
    MapiPtr(MapiPtr&& other) noexcept
        : m_p(std::exchange(other.m_p, nullptr))
    {}
    MapiPtr& operator=(MapiPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~MapiPtr() { reset(); }

    void reset()
    {
        if (m_p) {
            std::exchange(m_p, nullptr)->Release();
        }
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out-parameters: drops the current reference first.
    T** put()
    {
        reset();
        return &m_p;
    }
    // For OpenEntry/OpenProperty results: every interface derives from IUnknown alone, so an
    // IUnknown* and a T* to the same object have the same address.
    LPUNKNOWN* putUnknown() { return reinterpret_cast<LPUNKNOWN*>(put()); }
    T* release() { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};
