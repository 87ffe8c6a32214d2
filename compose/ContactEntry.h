// A new contact typed by the user ("Add new recipient", and "New  Contact..." while names are
// checked), stored as a contact item in one of the profile's contacts folders.
#pragma once

#include <QByteArray>
#include <QString>
#include <utility>

namespace vantrel::mail {
struct ContactsFolder;
}

namespace vantrel::compose {

class AddressBook;
class OutgoingState;
struct ContactForm;
struct ContactValues;

// The contact's first complete entry, handed back to the caller.
struct NewContact
{
    QByteArray oneOffId;
    QString displayName;
    QString address;
    QString addressType;
    bool addToMessage = false;
};

class ContactEntry
{
public:
    ContactEntry(OutgoingState& state, AddressBook& book);
    ContactEntry(const ContactEntry&) = delete;
    ContactEntry& operator=(const ContactEntry&) = delete;

    // Shows the form (the three-entry form when the contacts folders carry the named e-mail
    // properties, else the simple form) and stores the contact. `fromCheckNames`: the form
    // starts with `name` as the first display name and `address` (may be empty) as the first
    // address. On success `result` (when given) gets the first complete entry and its one-off
    // entry identifier. False on cancel or any failure; failures have been told to the user.
    bool AddContact(bool fromCheckNames, const QString& name, const QString& address,
                    NewContact* result);

private:
    bool runForm(bool fromCheckNames, const QString& name, const QString& address,
                 ContactForm* form);
    void checkAddressType(ContactValues& values);
    bool createOneOffs(ContactValues& values);
    bool store(const mail::ContactsFolder& where, const ContactValues& values);
    void tell(int messageId, int titleKind);

    OutgoingState& m_state;
    AddressBook& m_book;
};

// First and last name from a display name: split at its first space (leading blanks passed
// over); without a space the whole name is the first name.
std::pair<QString, QString> SplitDisplayName(const QString& displayName);

// A one-off entry identifier in its wide-character form, as contacts keep it beside each
// e-mail address: the header with the Unicode and no-rich-info flags, then the three strings
// in UTF-16. Empty when `oneOff` is too short to be one.
QByteArray OriginalEntryId(const QByteArray& oneOff);

} // namespace vantrel::compose
