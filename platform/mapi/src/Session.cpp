#include "Session.h"

#include "AddressBook.h"
#include "Credentials.h"
#include "MailUser.h"
#include "Maildir.h"
#include "MemoryTable.h"
#include "MsgStore.h"
#include "FolderRoles.h"
#include "Spooler.h"

namespace vntmapi {

namespace {

const std::vector<ULONG> kStoreColumns = {PR_ENTRYID, PR_DISPLAY_NAME, PR_DEFAULT_STORE};
const std::vector<ULONG> kProfileColumns = {PR_DISPLAY_NAME, PR_DEFAULT_PROFILE};
constexpr char kProviderName[] = "Maildir message store";

PropList storeRow(const StoreConfig& store)
{
    PropList row;
    row.push_back(binaryProp(PR_ENTRYID, encodeEntryId(storeRef(store.key))));
    row.push_back(binaryProp(PR_RECORD_KEY, {store.key.begin(), store.key.end()}));
    row.push_back(stringProp(PR_DISPLAY_NAME, store.name));
    row.push_back(boolProp(PR_DEFAULT_STORE, store.isDefault));
    row.push_back(longProp(PR_OBJECT_TYPE, MAPI_STORE));
    row.push_back(longProp(PR_RESOURCE_TYPE, MAPI_STORE_PROVIDER));
    row.push_back(longProp(PR_RESOURCE_FLAGS, store.isDefault ? STATUS_DEFAULT_STORE : 0));
    row.push_back(stringProp(PR_PROVIDER_DISPLAY, kProviderName));
    return row;
}

} // namespace

Session::Session(Profile profile, ULONG_PTR uiParam, ULONG logonFlags)
    : m_profile(std::move(profile))
{
    for (StoreConfig& store : m_profile.stores) {
        resolveFolderRoles(&store, false);
    }
    if (logonFlags & MAPI_NO_MAIL || m_profile.stores.empty()) {
        return;
    }
    // One transport per profile: asked for once, whatever the number of stores.
    const std::string password =
        findPassword(m_profile.stores.front().transport, uiParam, logonFlags);
    for (StoreConfig& store : m_profile.stores) {
        store.transport.password = password;
    }
    m_spooler = std::make_unique<Spooler>(m_profile.stores);
}

Session::~Session() = default;

const StoreConfig* Session::findStore(const StoreKey& key) const
{
    for (const StoreConfig& store : m_profile.stores) {
        if (store.key == key) {
            return &store;
        }
    }
    return nullptr;
}

HRESULT Session::GetMsgStoresTable(ULONG, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_loggedOff) {
        return MAPI_E_INVALID_OBJECT;
    }
    std::vector<PropList> rows;
    for (const StoreConfig& store : m_profile.stores) {
        rows.push_back(storeRow(store));
    }
    *lppTable = new MemoryTable(std::move(rows), kStoreColumns);
    return S_OK;
}

HRESULT Session::OpenMsgStore(ULONG_PTR, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID,
                              ULONG ulFlags, IMsgStore** lppMDB)
{
    if (!lppMDB) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_loggedOff) {
        return MAPI_E_INVALID_OBJECT;
    }
    EntryRef ref;
    if (!decodeEntryId(lpEntryID, cbEntryID, &ref) || ref.kind != EntryKind::Store) {
        return MAPI_E_INVALID_ENTRYID;
    }
    const StoreConfig* store = findStore(ref.store);
    if (!store) {
        return MAPI_E_UNKNOWN_ENTRYID;
    }
    if (!isDirectory(store->path)) {
        return MAPI_E_NOT_FOUND;
    }
    // Saves that never finished leave files in tmp/; a store opened to be written sweeps them.
    if (ulFlags & MDB_WRITE) {
        removeStaleTemporaries(store->path);
        for (const std::string& folder : listFolders(store->path)) {
            removeStaleTemporaries(folderDirectory(store->path, folder));
        }
    }
    StoreConfig config = *store;
    resolveFolderRoles(&config, ulFlags & MDB_WRITE);
    *lppMDB = new MsgStore(std::move(config));
    return S_OK;
}

HRESULT Session::OpenAddressBook(ULONG_PTR, LPCIID, ULONG, IAddrBook** lppAdrBook)
{
    if (!lppAdrBook) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_loggedOff) {
        return MAPI_E_INVALID_OBJECT;
    }
    *lppAdrBook = new AddrBook(m_profile.stores);
    return S_OK;
}

HRESULT Session::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                           ULONG* lpulObjType, LPUNKNOWN* lppUnk)
{
    if (!lppUnk || !lpulObjType) {
        return MAPI_E_INVALID_PARAMETER;
    }
    OneOff address;
    if (lpEntryID && decodeOneOff(reinterpret_cast<const BYTE*>(lpEntryID), cbEntryID, &address)) {
        *lpulObjType = MAPI_MAILUSER;
        *lppUnk = new MailUser(std::move(address));
        return S_OK;
    }
    AbRef abRef;
    if (decodeAbEntryId(lpEntryID, cbEntryID, &abRef)) {
        MapiPtr<IAddrBook> book(new AddrBook(m_profile.stores));
        return book->OpenEntry(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk);
    }
    EntryRef ref;
    if (!decodeEntryId(lpEntryID, cbEntryID, &ref)) {
        return MAPI_E_INVALID_ENTRYID;
    }
    const std::vector<BYTE> storeId = encodeEntryId(storeRef(ref.store));
    IMsgStore* store = nullptr;
    HRESULT hr = OpenMsgStore(0, static_cast<ULONG>(storeId.size()),
                              reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(storeId.data())),
                              nullptr, 0, &store);
    if (FAILED(hr)) {
        return hr;
    }
    hr = store->OpenEntry(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk);
    store->Release();
    return hr;
}

HRESULT Session::QueryIdentity(ULONG* lpcbEntryID, LPENTRYID* lppEntryID)
{
    if (!lpcbEntryID || !lppEntryID) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_loggedOff) {
        return MAPI_E_INVALID_OBJECT;
    }
    OneOff identity;
    identity.address = m_profile.identityAddress;
    identity.name =
        m_profile.identityName.empty() ? m_profile.identityAddress : m_profile.identityName;
    return allocEntryId(encodeOneOff(identity), lpcbEntryID, lppEntryID);
}

HRESULT Session::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                 LPENTRYID lpEntryID2, ULONG, ULONG* lpulResult)
{
    if (!lpulResult) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulResult = sameEntry(lpEntryID1, cbEntryID1, lpEntryID2, cbEntryID2) ? 1 : 0;
    return S_OK;
}

HRESULT Session::Logoff(ULONG_PTR, ULONG, ULONG)
{
    // Objects already opened stay usable until released; the session itself is done. A message
    // in flight is let finish; what waits stays queued for the next session.
    m_loggedOff = true;
    m_spooler.reset();
    return S_OK;
}

HRESULT ProfAdmin::GetProfileTable(ULONG, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    std::vector<Profile> profiles;
    const HRESULT hr = loadProfiles(&profiles);
    if (FAILED(hr)) {
        return hr;
    }
    std::vector<PropList> rows;
    for (const Profile& profile : profiles) {
        rows.push_back({stringProp(PR_DISPLAY_NAME, profile.name),
                        boolProp(PR_DEFAULT_PROFILE, profile.isDefault)});
    }
    *lppTable = new MemoryTable(std::move(rows), kProfileColumns);
    return S_OK;
}

HRESULT findProfile(const char* name, ULONG flags, Profile* profile)
{
    std::vector<Profile> profiles;
    const HRESULT hr = loadProfiles(&profiles);
    if (FAILED(hr)) {
        return MAPI_E_LOGON_FAILED;
    }
    const bool useDefault = !name || !*name || (flags & MAPI_USE_DEFAULT);
    for (Profile& candidate : profiles) {
        if (useDefault ? candidate.isDefault : candidate.name == name) {
            *profile = std::move(candidate);
            return S_OK;
        }
    }
    return MAPI_E_LOGON_FAILED;
}

} // namespace vntmapi
