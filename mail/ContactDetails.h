#pragma once

#include <QString>
#include <optional>

// The text the read window shows for an item of a contacts folder. Built from the values
// already read off the item, so that the text rules stand apart from the store.

// Values of the contact item. std::nullopt marks a value that could not be read or is not
// of the expected type (not a string, or for `emailEntries` not a 32-bit integer).
struct ContactProperties
{
    // Which e-mail entries exist: 0x1 the first, 0x2 the second, 0x4 the third.
    std::optional<qint32> emailEntries;
    std::optional<QString> emailAddress[3];
    std::optional<QString> addressType[3];
    std::optional<QString> emailDisplayName[3];
    std::optional<QString> businessAddress;
    std::optional<QString> homeAddress;
    std::optional<QString> otherAddress;
    std::optional<QString> businessTelephone;
    std::optional<QString> business2Telephone;
    std::optional<QString> mobileTelephone;
    std::optional<QString> companyName;
    std::optional<QString> homeTelephone;
    std::optional<QString> assistant;
    std::optional<QString> assistantTelephone;
    std::optional<QString> displayName;
    std::optional<QString> title;
    std::optional<QString> departmentName;
    std::optional<QString> officeLocation;
    std::optional<QString> otherTelephone;
    std::optional<QString> businessHomePage;
    std::optional<QString> personalHomePage;
    std::optional<QString> managerName;
    std::optional<QString> businessFax;
    // A class that is not a string is taken for a contact.
    std::optional<QString> messageClass;
};

// Why the item's values could not be read at all.
enum class ContactReadFailure {
    NamesNotResolved,
    PropertiesNotRead,
};

// The sentence the read window shows instead of the details.
QString contactReadFailureText(ContactReadFailure failure);

enum class ContactItemKind {
    Contact,
    DistributionList,
    Other,
};

// "IPM.Contact" and "IPM.DistList", and the classes derived from them, in any letter case.
ContactItemKind contactItemKind(const std::optional<QString>& messageClass);

// The details of the item, lines ending in "\r\n"; a one-line sentence for a distribution
// list or an item that is neither.
QString contactDetailsText(const ContactProperties& contact);
