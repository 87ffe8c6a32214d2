// The contacts folder of a store: a vCard directory (one .vcf file per contact, as vdir keeps
// them) shown in the IPM subtree with container class "IPF.Contact". A contact saved here is
// written whole to "<UID>.vcf" through a temporary file; an edited card keeps every line that
// its changes do not touch.
#pragma once

#include "ContactCard.h"
#include "MsgStore.h"

namespace vntmapi {

// The contacts folder's name in entry ids; never a Maildir++ name (those start with ".").
inline const std::string kContactsFolder = "#Contacts";

bool hasContactsFolder(const StoreConfig& config);

// Names (file names without ".vcf") of the contacts, sorted.
std::vector<std::string> listContacts(const StoreConfig& config);

// Every property of one contact; false when its file cannot be read.
bool contactProperties(const MsgStore& store, const std::string& name, PropList* props);

// The contents table rows of the contacts folder.
std::vector<PropList> contactRows(const MsgStore& store);

HRESULT openContact(MsgStore* store, const std::string& name, IMessage** message);

// A new contact of the store's contacts folder: SaveChanges gives it a file.
IMessage* newContact(MsgStore* store);

// The store's tags of the named properties contacts carry (created on first use).
ContactTags contactTags(const MsgStore& store);

} // namespace vntmapi
