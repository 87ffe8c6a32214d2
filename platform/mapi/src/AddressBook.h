// The address book of a session: a root container whose hierarchy lists the contacts folder
// of every store of the profile. Each e-mail address of a contact is one mail user entry; a
// contact group (KIND:group) is one distribution list entry.
#pragma once

#include "AbEntryId.h"
#include "Anr.h"
#include "Profiles.h"
#include "PropObject.h"

#include <memory>

namespace vntmapi {

struct AbEntry
{
    AbRef ref;
    std::string displayName;
    std::string givenName;
    std::string surname;
    std::string address; // empty for a group
    std::string company;
    AnrKeys keys;
};

// The entries of one contacts folder. Read once and kept for the process; read again when
// the folder's listing changed (a card saved through a temporary file renames into it).
std::shared_ptr<const std::vector<AbEntry>> abEntries(const StoreConfig& store);

// The properties of an entry, as contents tables and opened entries give them.
PropList abEntryProps(const AbEntry& entry);

class AddrBook : public PropObject<IAddrBook>
{
public:
    explicit AddrBook(std::vector<StoreConfig> stores);

    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override;
    HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                            LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) override;
    HRESULT CreateOneOff(const char* lpszName, const char* lpszAdrType, const char* lpszAddress,
                         ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override;
    HRESULT ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags, const char* lpszNewEntryTitle,
                        LPADRLIST lpAdrList) override;
    HRESULT Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList) override;
    HRESULT Details(ULONG_PTR*, void*, void*, ULONG, LPENTRYID, void*, void*, char*, ULONG) override
    {
        return MAPI_E_NO_SUPPORT; // the program never shows an entry's details
    }
    HRESULT PrepareRecips(ULONG ulFlags, LPSPropTagArray lpPropTagArray,
                          LPADRLIST lpRecipList) override;

    // The properties of the entry `id` (a one-off or an entry of this book); false when unknown.
    bool entryProps(const void* id, ULONG size, PropList* props) const;

protected:
    PropList properties() const override;

private:
    enum class Match { Unresolved, Ambiguous, Resolved };
    Match resolve(const std::string& name, PropList* resolved) const;
    const StoreConfig* findStore(const StoreKey& key) const;

    std::vector<StoreConfig> m_stores; // those with a contacts folder
};

// Whether `text` names an address outright: "SMTP:a@b", "Name <a@b>", "Name [SMTP:a@b]" or
// a bare "a@b". Gives the name part (empty when there is none) and the address.
bool explicitAddress(const std::string& text, std::string* name, std::string* address);

} // namespace vntmapi
