// A contact's vCard as MAPI properties, and back. Each property read comes from one "field"
// (a line, or a component of a structured line); writing replaces only the fields whose value
// changed and keeps every other line of the file as it was.
#pragma once

#include "Property.h"
#include "VCard.h"

#include <map>

namespace vntmapi {

// The store's tags of the PSETID_Address names a contact uses.
struct ContactTags
{
    ULONG fileAs = PR_NULL;
    ULONG email[3][4] = {}; // display name, address type, address, original display name
    ULONG emailEntryId[3] = {};
    ULONG emailList = PR_NULL; // multi-valued long
    ULONG emailMask = PR_NULL;
    ULONG postal[3] = {}; // home, business, other
};

struct CardEmail
{
    int slot = 0;
    std::string address;
    std::string addressType = "SMTP";
    std::string displayName; // as the file names it; empty when it does not
};

// The card's e-mail addresses in their entries: each in the entry its X-VNT-ENTRY parameter
// names, the others in the free entries in preference order. Three at most.
std::vector<CardEmail> cardEmails(const std::vector<VCardProperty>& card);

struct ContactCard
{
    std::vector<VCardProperty> lines;
    std::map<std::string, std::size_t> origin; // field -> index in lines
    std::string version = "4.0";
};

// The properties a card gives (contents table and opened contact alike).
void cardProperties(const ContactTags& tags, ContactCard* card, PropList* props);

// The card's text after the properties `props` replaced what they say; `uid` is used when
// the card has none.
std::string writeCard(const ContactTags& tags, const ContactCard& card, const PropList& props,
                      const std::string& uid);

} // namespace vntmapi
