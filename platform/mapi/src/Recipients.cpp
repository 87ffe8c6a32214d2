#include "Recipients.h"

#include "MessageHeaders.h"
#include "StoredProps.h"

#include <algorithm>
#include <cstring>

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

// Every recipient row is also kept whole in one private header, so that what the headers
// cannot say (entry ids, object and display types, rows without an address) comes back.
constexpr char kRowHeader[] = "X-Vantrel-Prop-Recipient";

std::string encodeRow(const PropList& row)
{
    std::string out;
    char tag[9];
    for (const Prop& prop : row) {
        if (PROP_ID(prop.tag) == PROP_ID(PR_ROWID)) {
            continue;
        }
        g_snprintf(tag, sizeof(tag), "%08X", static_cast<unsigned>(prop.tag));
        std::string value;
        switch (PROP_TYPE(prop.tag)) {
        case PT_STRING8:
        case PT_UNICODE:
        case PT_BINARY: {
            gchar* b64 = g_base64_encode(prop.bytes().data(), prop.bytes().size());
            value = b64;
            g_free(b64);
            break;
        }
        case PT_MV_LONG:
            for (LONG v : longsOf(prop)) {
                value += (value.empty() ? "" : ",") + std::to_string(v);
            }
            break;
        default:
            value = std::to_string(prop.number);
        }
        out += (out.empty() ? "" : " ") + std::string(tag) + "=" + value;
    }
    return out;
}

PropList decodeRow(const char* text)
{
    PropList row;
    gchar** tokens = g_strsplit_set(text, " \t\r\n", -1);
    for (gchar** token = tokens; token && *token; ++token) {
        const char* eq = std::strchr(*token, '=');
        if (!eq || eq - *token != 8) {
            continue;
        }
        const auto tag = static_cast<ULONG>(g_ascii_strtoull(*token, nullptr, 16));
        const char* value = eq + 1;
        switch (PROP_TYPE(tag)) {
        case PT_STRING8:
        case PT_UNICODE:
        case PT_BINARY: {
            gsize size = 0;
            guchar* bytes = g_base64_decode(value, &size);
            Prop prop;
            prop.tag = PROP_TYPE(tag) == PT_BINARY ? tag : CHANGE_PROP_TYPE(tag, PT_STRING8);
            prop.data.assign(reinterpret_cast<const char*>(bytes), size);
            g_free(bytes);
            putProp(&row, std::move(prop));
            break;
        }
        case PT_MV_LONG: {
            std::vector<LONG> values;
            gchar** parts = g_strsplit(value, ",", -1);
            for (gchar** part = parts; part && *part && **part; ++part) {
                values.push_back(static_cast<LONG>(g_ascii_strtoll(*part, nullptr, 10)));
            }
            g_strfreev(parts);
            putProp(&row, longsProp(tag, values));
            break;
        }
        case PT_LONG:
        case PT_BOOLEAN:
        case PT_I2:
        case PT_I8:
        case PT_SYSTIME:
            putProp(&row, longProp(tag, g_ascii_strtoll(value, nullptr, 10)));
            break;
        default:
            break;
        }
    }
    g_strfreev(tokens);
    return row;
}

std::vector<PropList> storedRows(GMimeMessage* message)
{
    std::vector<PropList> rows;
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    const int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        if (g_ascii_strcasecmp(g_mime_header_get_name(header), kRowHeader) == 0) {
            const char* value = g_mime_header_get_value(header);
            rows.push_back(decodeRow(value ? value : ""));
        }
    }
    return rows;
}

// The addressed rows of each type, in order: what the To, Cc and Bcc headers say.
std::vector<std::pair<std::int64_t, std::string>> addressedRows(const RecipientList& rows)
{
    std::vector<std::pair<std::int64_t, std::string>> out;
    for (const PropList& row : rows) {
        const Prop* type = findProp(row, PR_RECIPIENT_TYPE);
        const std::string email = textOf(row, PR_EMAIL_ADDRESS);
        if (!email.empty()) {
            out.emplace_back(type ? type->number : MAPI_TO, email);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
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
    const std::size_t first = recipients->size();
    readHeaderRecipients(message, recipients);
    // The stored rows count only while they agree with the headers: a file changed by another
    // program keeps what its headers say.
    std::vector<PropList> stored = storedRows(message);
    const RecipientList fromHeaders(recipients->begin() + static_cast<std::ptrdiff_t>(first),
                                    recipients->end());
    if (stored.empty() || addressedRows(stored) != addressedRows(fromHeaders)) {
        return;
    }
    recipients->resize(first);
    // In the order the headers list them: To, then Cc, then Bcc.
    const auto typeOf = [](const PropList& row) {
        const Prop* type = findProp(row, PR_RECIPIENT_TYPE);
        return type ? type->number : std::int64_t{MAPI_TO};
    };
    std::stable_sort(stored.begin(), stored.end(),
                     [&](const PropList& a, const PropList& b) { return typeOf(a) < typeOf(b); });
    for (PropList& row : stored) {
        putProp(&row, longProp(PR_ROWID, static_cast<std::int64_t>(recipients->size())));
        recipients->push_back(std::move(row));
    }
}

void readHeaderRecipients(GMimeMessage* message, RecipientList* recipients)
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

void writeRecipients(GMimeMessage* message, const RecipientList& recipients, bool keepRows)
{
    while (g_mime_object_remove_header(GMIME_OBJECT(message), kRowHeader)) {
    }
    // The rows name Bcc recipients too: they stay in the store and never leave it.
    for (const PropList& row : keepRows ? recipients : RecipientList{}) {
        g_mime_object_append_header(GMIME_OBJECT(message), kRowHeader, encodeRow(row).c_str(),
                                    nullptr);
    }
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
