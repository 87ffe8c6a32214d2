#include "mail/MessageColumns.h"

#include "core/CSupportDoc.h"
#include "mail/ListImages.h"

#include <new>

namespace vantrel::mail {

namespace {

// Placeholder columns of mail folders: requested by tag, never shown.
constexpr ULONG kPlaceholderBinary = 0x00520102;
constexpr ULONG kPlaceholderSearchKey = 0x003B0102;
constexpr ULONG kPlaceholderText = 0x0069001E;

ColumnVariant text(const char* name, ULONG tag, int width)
{
    return {QString::fromLatin1(name), tag, false, 0, width, 0};
}

ColumnVariant icon(const char* name, ULONG tag, int baseImage, int width)
{
    return {QString::fromLatin1(name), tag, true, baseImage, width, 0};
}

// A contacts property known by its number in PSETID_Address; its tag is found when a
// contacts folder opens.
ColumnVariant named(const char* name, LONG id, int width)
{
    return {QString::fromLatin1(name), PR_NULL, false, 0, width, id};
}

std::array<ListColumn, kColumnCount> makeColumns()
{
    return {{
        {text("Instance key", PR_INSTANCE_KEY, 1), text("Instance key", PR_INSTANCE_KEY, 1)},
        {text("Entry key", PR_ENTRYID, 1), text("Entry key", PR_ENTRYID, 1)},
        {icon("Importance", PR_IMPORTANCE, kListImageHighImportance, 24),
         icon("Mail type", PR_MESSAGE_CLASS, kListImageContact, 28)},
        {text("Sensitivity", PR_SENSITIVITY, 90), named("File As", 0x8005, 200)},
        {icon("Attachment", PR_HASATTACH, kListImageAttachment, 24),
         text("Full name", PR_DISPLAY_NAME, 200)},
        {icon("Read", PR_MESSAGE_FLAGS, kListImageUnread, 28), named("Display As", 0x8080, 200)},
        {text("From", PR_SENT_REPRESENTING_NAME, 150), named("Email Address 1", 0x8083, 200)},
        {text("To", PR_DISPLAY_TO, 150), named("Display As 2", 0x8090, 200)},
        {text("Subject", PR_SUBJECT, 230), named("Email Address 2", 0x8093, 200)},
        {text("Recieved", PR_MESSAGE_DELIVERY_TIME, 150), named("Display As 3", 0x80A0, 200)},
        {text("Size", PR_MESSAGE_SIZE, 60), named("Email Address 3", 0x80A3, 200)},
        {text("Sent", PR_CLIENT_SUBMIT_TIME, 150), text("First name", PR_GIVEN_NAME, 140)},
        {text("cc", PR_DISPLAY_CC, 100), text("last name", PR_SURNAME, 140)},
        {text("Creation time", PR_CREATION_TIME, 100), text("Title", PR_TITLE, 100)},
        {text("Sent representing Email", PR_SENT_REPRESENTING_EMAIL_ADDRESS, 150),
         text("Middle name", PR_MIDDLE_NAME, 100)},
        {text("Receipt requested", PR_READ_RECEIPT_REQUESTED, 110),
         text("Home telephone", PR_HOME_TELEPHONE_NUMBER, 100)},
        {text("Received by email", PR_RECEIVED_BY_EMAIL_ADDRESS, 150),
         text("Business telephone", PR_BUSINESS_TELEPHONE_NUMBER, 100)},
        {text("Sender email address", PR_SENDER_EMAIL_ADDRESS, 150),
         text("Assistant telephone", PR_ASSISTANT_TELEPHONE_NUMBER, 100)},
        {text("Received by name", PR_RECEIVED_BY_NAME, 150),
         text("Mobile telephone", PR_MOBILE_TELEPHONE_NUMBER, 120)},
        {text("Received representing name", PR_RCVD_REPRESENTING_NAME, 100),
         text("Company name", PR_COMPANY_NAME, 100)},
        {text("Reply To", PR_REPLY_RECIPIENT_NAMES, 100), text("Dept.", PR_DEPARTMENT_NAME, 100)},
        {text("Received representing email", PR_RCVD_REPRESENTING_EMAIL_ADDRESS, 150),
         text("Office", PR_OFFICE_LOCATION, 100)},
        {text("Message Class", PR_MESSAGE_CLASS, 100),
         text("Street address", PR_BUSINESS_ADDRESS_STREET, 140)},
        {text("Message Classt1", kPlaceholderBinary, 0),
         text("City", PR_BUSINESS_ADDRESS_CITY, 100)},
        {text("Message Classt2", kPlaceholderBinary, 0),
         text("State or Province", PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE, 90)},
        {text("Message Classt3", kPlaceholderBinary, 0),
         text("Country", PR_BUSINESS_ADDRESS_COUNTRY, 90)},
        {text("Message Classt4", kPlaceholderBinary, 0),
         text("Zip or Post code", PR_BUSINESS_ADDRESS_POSTAL_CODE, 90)},
        {text("Message Classt5", kPlaceholderSearchKey, 0),
         text("Home street", PR_HOME_ADDRESS_STREET, 140)},
        {text("Message Classt6", kPlaceholderBinary, 0),
         text("Home City", PR_HOME_ADDRESS_CITY, 100)},
        {text("Message Classt7", kPlaceholderBinary, 0),
         text("Home State or Province", PR_HOME_ADDRESS_STATE_OR_PROVINCE, 100)},
        {text("Message Classt8", kPlaceholderBinary, 0),
         text("Home Country", PR_HOME_ADDRESS_COUNTRY, 90)},
        {text("Message Classt9", kPlaceholderText, 0),
         text("Zip-post code", PR_HOME_ADDRESS_POSTAL_CODE, 90)},
    }};
}

} // namespace

const std::array<ListColumn, kColumnCount>& DefaultColumns()
{
    static const std::array<ListColumn, kColumnCount> columns = makeColumns();
    return columns;
}

ColumnTable::ColumnTable()
    : m_columns(DefaultColumns())
{}

void ColumnTable::build(const CSupportDoc& doc)
{
    m_columns = DefaultColumns();
    for (int column = 0; column < kColumnCount; ++column) {
        ListColumn& entry = m_columns[static_cast<size_t>(column)];
        entry.mail.width = doc.columnWidth(column, WidthList::Messages);
        entry.contacts.width = doc.columnWidth(column, WidthList::Contacts);
    }
}

const ColumnVariant& ColumnTable::variant(int column, bool contacts) const
{
    const ListColumn& entry = m_columns[static_cast<size_t>(column)];
    return contacts ? entry.contacts : entry.mail;
}

void ColumnTable::setContactTag(int column, ULONG tag)
{
    if (column >= 0 && column < kColumnCount)
        m_columns[static_cast<size_t>(column)].contacts.tag = tag;
}

void ColumnTable::setWidth(int column, bool contacts, int width)
{
    if (column < 0 || column >= kColumnCount)
        return;
    ListColumn& entry = m_columns[static_cast<size_t>(column)];
    (contacts ? entry.contacts : entry.mail).width = width;
}

ColumnSet::Result ColumnSet::build(const ColumnTable& table, ColumnMask mask, bool contacts,
                                   ColumnSet* out)
{
    out->clear();
    if (mask == 0)
        return Result::NoColumns;
    mask |= kKeyColumns;
    // The set is the one thing here that can run out of memory; say so instead of failing
    // somewhere later.
    try {
        out->m_contacts = contacts;
        for (int column = 0; column < kColumnCount; ++column) {
            if (!(mask & (ColumnMask{1} << column)))
                continue;
            const ColumnVariant& variant = table.variant(column, contacts);
            out->m_tags.append(variant.tag);
            out->m_entries.append(ColumnSetEntry{column, variant});
        }
    } catch (const std::bad_alloc&) {
        out->clear();
        return Result::NoMemory;
    }
    return Result::Ok;
}

void ColumnSet::clear()
{
    m_contacts = false;
    m_tags.clear();
    m_entries.clear();
}

} // namespace vantrel::mail
