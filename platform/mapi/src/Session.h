// A logged-on session on one profile, and the profile administration object.
#pragma once

#include "Profiles.h"
#include "RefCounted.h"

namespace vntmapi {

class Session : public RefCounted<IMAPISession>
{
public:
    explicit Session(Profile profile);

    HRESULT GetMsgStoresTable(ULONG ulFlags, IMAPITable** lppTable) override;
    HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                         LPCIID lpInterface, ULONG ulFlags, IMsgStore** lppMDB) override;
    HRESULT OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                            IAddrBook** lppAdrBook) override;
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override;
    HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                            LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) override;
    HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) override;
    HRESULT QueryIdentity(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override;

private:
    const StoreConfig* findStore(const StoreKey& key) const;

    Profile m_profile;
    bool m_loggedOff = false;
};

class ProfAdmin : public RefCounted<IProfAdmin>
{
public:
    HRESULT GetProfileTable(ULONG ulFlags, IMAPITable** lppTable) override;
};

// Picks the profile to log on to: by name, or the default one when the name is empty.
HRESULT findProfile(const char* name, ULONG flags, Profile* profile);

} // namespace vntmapi
