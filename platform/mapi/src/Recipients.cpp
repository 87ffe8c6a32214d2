#include "Recipients.h"

#include "MessageHeaders.h"
#include "StoredProps.h"

#include <algorithm>

namespace vntmapi {

namespace {

constexpr std::pair<GMimeAddressType, ULONG> kHeaders[] = {{GMIME_ADDRESS_TYPE_TO, MAPI_TO},
                                                           {GMIME_ADDRESS_TYPE_CC, MAPI_CC},
                                                           {GMIME_ADDRESS_TYPE_BCC, MAPI_BCC}};

const char* headerName(GMimeAddressType type)
{
    switch (type) {
    case GMIME_ADDRESS_TYPE_TO:
        return "To";
    case GMIME_ADDRESS_TYPE_CC:
        return "Cc";
    default:
        return "Bcc";
    }
}

const Prop* rowIdOf(const PropList& row)
{
    return findProp(row, PR_ROWID);
}

std::int64_t nextRowId(const RecipientList& recipients)
{
    std::int64_t next = 0;
    for (const PropList& row : recipients) {
        if (const Prop* id = rowIdOf(row)) {
            next = std::max(next, id->number + 1);
        }
    }
    return next;
}

PropList rowFromEntry(const ADRENTRY& entry)
{
    PropList row;
    for (ULONG i = 0; i < entry.cValues; ++i) {
        Prop prop;
        if (propFromValue(entry.rgPropVals[i], &prop)) {
            putProp(&row, std::move(prop));
        }
    }
    if (!findProp(row, PR_ADDRTYPE)) {
        row.push_back(stringProp(PR_ADDRTYPE, "SMTP"));
    }
    return row;
}

auto findRow(RecipientList* recipients, const PropList& row)
{
    const Prop* id = rowIdOf(row);
    return std::find_if(recipients->begin(), recipients->end(), [&](const PropList& have) {
        const Prop* haveId = rowIdOf(have);
        return id && haveId && haveId->number == id->number;
    });
}

std::string textOf(const PropList& row, ULONG tag)
{
    const Prop* prop = findProp(row, tag);
    return prop ? prop->text() : std::string();
}

} // namespace

const std::vector<ULONG>& recipientColumns()
{
    static const std::vector<ULONG> columns = {PR_ROWID, PR_RECIPIENT_TYPE, PR_DISPLAY_NAME,
                                               PR_EMAIL_ADDRESS, PR_ADDRTYPE};
    return columns;
}

void readRecipients(GMimeMessage* message, RecipientList* recipients)
{
    for (const auto& [header, type] : kHeaders) {
        InternetAddressList* list = g_mime_message_get_addresses(message, header);
        for (const OneOff& mailbox : mailboxesOf(list)) {
            PropList row;
            row.push_back(longProp(PR_ROWID, static_cast<std::int64_t>(recipients->size())));
            row.push_back(longProp(PR_RECIPIENT_TYPE, type));
            row.push_back(stringProp(PR_DISPLAY_NAME, mailbox.name));
            row.push_back(stringProp(PR_EMAIL_ADDRESS, mailbox.address));
            row.push_back(stringProp(PR_ADDRTYPE, mailbox.addressType));
            recipients->push_back(std::move(row));
        }
    }
}

void writeRecipients(GMimeMessage* message, const RecipientList& recipients)
{
    for (const auto& [header, type] : kHeaders) {
        InternetAddressList* list = g_mime_message_get_addresses(message, header);
        internet_address_list_clear(list);
        for (const PropList& row : recipients) {
            const Prop* recipientType = findProp(row, PR_RECIPIENT_TYPE);
            const std::string email = textOf(row, PR_EMAIL_ADDRESS);
            if (!email.empty() && (recipientType ? recipientType->number : MAPI_TO) == type) {
                InternetAddress* mailbox = internet_address_mailbox_new(
                    textOf(row, PR_DISPLAY_NAME).c_str(), email.c_str());
                internet_address_list_add(list, mailbox);
                g_object_unref(mailbox);
            }
        }
        // A cleared list would still be written as an empty header.
        if (internet_address_list_length(list) == 0) {
            g_mime_object_remove_header(GMIME_OBJECT(message), headerName(header));
        }
    }
}

HRESULT modifyRecipients(RecipientList* recipients, ULONG flags, const ADRLIST* changes)
{
    if (!changes) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if ((flags & (MODRECIP_ADD | MODRECIP_MODIFY | MODRECIP_REMOVE)) == 0) {
        recipients->clear(); // no flag: the list given replaces every recipient
        flags |= MODRECIP_ADD;
    }
    for (ULONG i = 0; i < changes->cEntries; ++i) {
        PropList row = rowFromEntry(changes->aEntries[i]);
        if (flags & MODRECIP_ADD) {
            putProp(&row, longProp(PR_ROWID, nextRowId(*recipients)));
            recipients->push_back(std::move(row));
            continue;
        }
        const auto found = findRow(recipients, row);
        if (found == recipients->end()) {
            return MAPI_E_NOT_FOUND;
        }
        if (flags & MODRECIP_REMOVE) {
            recipients->erase(found);
        } else {
            *found = std::move(row);
        }
    }
    return S_OK;
}

} // namespace vntmapi
