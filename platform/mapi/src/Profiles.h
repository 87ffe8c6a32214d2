// Mail profiles, read from an INI file:
//
//   [Profile Vantrel]
//   Default=true
//   Stores=Personal Folders;Archive
//   Name=Jo Bloggs                (the identity messages are sent as)
//   Address=support@example.com
//
//   [Store Vantrel/Personal Folders]
//   Path=/home/me/.local/share/Korvane/Vantrel/Mail
//   Default=true
//   Outbox=.Outbox            (optional; also SentItems, DeletedItems, Drafts)
//   Contacts=/home/me/.local/share/Korvane/Vantrel/Contacts   (optional vCard directory)
//
// The file is VANTREL_MAPI_PROFILES, else <config dir>/Korvane/vntmapi-profiles.ini. When it does
// not exist it is created with one profile whose store is the program directory's Mail/ folder,
// with the program directory's Contacts/ folder as its contacts.
#pragma once

#include "EntryId.h"

#include <string>
#include <vector>

namespace vntmapi {

struct StoreConfig
{
    std::string name;
    std::string path;
    bool isDefault = false;
    std::string outbox = ".Outbox";
    std::string sentItems = ".Sent Items";
    std::string deletedItems = ".Deleted Items";
    std::string drafts = ".Drafts";
    std::string contacts; // vCard directory; empty when the store has no contacts folder
    // The profile's identity: who received what arrives in this store.
    std::string ownerName;
    std::string ownerAddress;
    StoreKey key{};
};

struct Profile
{
    std::string name;
    bool isDefault = false;
    std::string identityName;
    std::string identityAddress;
    std::vector<StoreConfig> stores;
};

std::string profileFilePath();

// Reads every profile (creating the default file first when there is none). Exactly one profile
// and, within each profile, exactly one store come back marked default when any exist.
HRESULT loadProfiles(std::vector<Profile>* profiles);

} // namespace vntmapi
