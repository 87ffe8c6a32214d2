// A logged-on session on one profile, and the profile administration object.
#pragma once

#include "Profiles.h"
#include "RefCounted.h"

#include <memory>

namespace vntmapi {

class Spooler;

class Session : public RefCounted<IMAPISession>
{
public:
    // Unless `logonFlags` has MAPI_NO_MAIL, the session sends what is queued in its stores,
    // with the SMTP password from the keyring or, with MAPI_PASSWORD_UI, asked for.
    Session(Profile profile, ULONG_PTR uiParam = 0, ULONG logonFlags = MAPI_NO_MAIL);
    ~Session() override;

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
    std::unique_ptr<Spooler> m_spooler;
};

class ProfAdmin : public RefCounted<IProfAdmin>
{
public:
    HRESULT GetProfileTable(ULONG ulFlags, IMAPITable** lppTable) override;
};

// Picks the profile to log on to: by name, or the default one when the name is empty.
HRESULT findProfile(const char* name, ULONG flags, Profile* profile);

} // namespace vntmapi
