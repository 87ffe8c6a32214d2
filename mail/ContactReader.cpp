#include "mail/ContactReader.h"

#include "mail/MapiRows.h"

#include <QList>
#include <array>

namespace vantrel::mail {

namespace {

struct ContactName
{
    bool addressSet; // PSETID_Address, else PS_MAPI
    LONG id;
};

// Row 0 says which e-mail entries exist; rows 1-6 are address and type of entries 1-3;
// rows 7-26 fill kTextFields; rows 27-29 are the display names of entries 1-3.
constexpr std::array<ContactName, 30> kNames = {{
    {true, 0x8029},  {true, 0x8083},  {true, 0x8082},  {true, 0x8093},  {true, 0x8092},
    {true, 0x80A3},  {true, 0x80A2},  {true, 0x801B},  {true, 0x801A},  {true, 0x801C},
    {false, 0x3A08}, {false, 0x3A1B}, {false, 0x3A1C}, {false, 0x3A16}, {false, 0x3A09},
    {false, 0x3A30}, {false, 0x3A2E}, {false, 0x3001}, {false, 0x3A17}, {false, 0x3A18},
    {false, 0x3A19}, {false, 0x3A1F}, {false, 0x3A51}, {false, 0x3A50}, {false, 0x3A4E},
    {false, 0x3A24}, {false, 0x001A}, {true, 0x8080},  {true, 0x8090},  {true, 0x80A0},
}};
constexpr ULONG kNameCount = ULONG(kNames.size());

constexpr int kFirstTextRow = 7;
constexpr int kFirstDisplayNameRow = 27;
using TextField = std::optional<QString> ContactProperties::*;
constexpr std::array<TextField, 20> kTextFields = {
    &ContactProperties::businessAddress,    &ContactProperties::homeAddress,
    &ContactProperties::otherAddress,       &ContactProperties::businessTelephone,
    &ContactProperties::business2Telephone, &ContactProperties::mobileTelephone,
    &ContactProperties::companyName,        &ContactProperties::homeTelephone,
    &ContactProperties::assistant,          &ContactProperties::assistantTelephone,
    &ContactProperties::displayName,        &ContactProperties::title,
    &ContactProperties::departmentName,     &ContactProperties::officeLocation,
    &ContactProperties::otherTelephone,     &ContactProperties::businessHomePage,
    &ContactProperties::personalHomePage,   &ContactProperties::managerName,
    &ContactProperties::businessFax,        &ContactProperties::messageClass,
};

// The store's tags of the thirty names; PR_NULL for each it cannot resolve.
bool resolveTags(const vntmapi::EntryPoints& api, IMAPIProp* item, QList<ULONG>* tags)
{
    GUID address = PSETID_Address;
    GUID mapi = PS_MAPI;
    std::array<MAPINAMEID, kNameCount> names{};
    std::array<LPMAPINAMEID, kNameCount> pointers{};
    for (ULONG i = 0; i < kNameCount; ++i) {
        names[i].lpguid = kNames[i].addressSet ? &address : &mapi;
        names[i].ulKind = MNID_ID;
        names[i].Kind.lID = kNames[i].id;
        pointers[i] = &names[i];
    }
    MapiBuffer<SPropTagArray> resolved(api);
    if (FAILED(item->GetIDsFromNames(kNameCount, pointers.data(), 0, resolved.put())) ||
        !resolved || resolved->cValues != kNameCount)
        return false;
    for (ULONG i = 0; i < kNameCount; ++i) {
        const ULONG tag = resolved->aulPropTag[i];
        tags->append(PROP_TYPE(tag) == PT_ERROR ? PR_NULL : tag);
    }
    return true;
}

std::optional<QString> textOf(const SPropValue& value)
{
    const ULONG type = PROP_TYPE(value.ulPropTag);
    if ((type != PT_STRING8 && type != PT_UNICODE) || !value.Value.lpszA)
        return std::nullopt;
    return QString::fromUtf8(value.Value.lpszA);
}

ContactProperties contactOf(const SPropValue* values)
{
    ContactProperties contact;
    if (PROP_TYPE(values[0].ulPropTag) == PT_LONG)
        contact.emailEntries = values[0].Value.l;
    for (int entry = 0; entry < 3; ++entry) {
        contact.emailAddress[entry] = textOf(values[1 + 2 * entry]);
        contact.addressType[entry] = textOf(values[2 + 2 * entry]);
        contact.emailDisplayName[entry] = textOf(values[kFirstDisplayNameRow + entry]);
    }
    for (std::size_t i = 0; i < kTextFields.size(); ++i)
        contact.*kTextFields[i] = textOf(values[kFirstTextRow + i]);
    return contact;
}

} // namespace

std::optional<ContactProperties> ReadContactProperties(const vntmapi::EntryPoints& api,
                                                       IMAPIProp* item, ContactReadFailure* failure)
{
    QList<ULONG> tags;
    if (!item || !resolveTags(api, item, &tags)) {
        *failure = ContactReadFailure::NamesNotResolved;
        return std::nullopt;
    }
    TagArray columns(tags);
    MapiBuffer<SPropValue> values(api);
    ULONG count = 0;
    if (FAILED(item->GetProps(columns.get(), 0, &count, values.put())) || !values ||
        count != kNameCount) {
        *failure = ContactReadFailure::PropertiesNotRead;
        return std::nullopt;
    }
    return contactOf(values.get());
}

QString ContactItemText(const vntmapi::EntryPoints& api, IMAPIProp* item)
{
    ContactReadFailure failure = ContactReadFailure::NamesNotResolved;
    const std::optional<ContactProperties> contact = ReadContactProperties(api, item, &failure);
    return contact ? contactDetailsText(*contact) : contactReadFailureText(failure);
}

} // namespace vantrel::mail
