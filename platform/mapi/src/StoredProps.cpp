#include "StoredProps.h"

#include "MessageHeaders.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vntmapi {

namespace {

constexpr char kPrefix[] = "X-Vantrel-Prop-";

constexpr ULONG kComputed[] = {PR_ENTRYID,
                               PR_PARENT_ENTRYID,
                               PR_STORE_ENTRYID,
                               PR_INSTANCE_KEY,
                               PR_RECORD_KEY,
                               PR_OBJECT_TYPE,
                               PR_MESSAGE_SIZE,
                               PR_MESSAGE_FLAGS,
                               PR_HASATTACH,
                               PR_DISPLAY_TO,
                               PR_DISPLAY_CC,
                               PR_MESSAGE_DELIVERY_TIME,
                               PR_TRANSPORT_MESSAGE_HEADERS,
                               PR_RECEIVED_BY_NAME,
                               PR_RECEIVED_BY_EMAIL_ADDRESS,
                               PR_RCVD_REPRESENTING_NAME,
                               PR_RCVD_REPRESENTING_EMAIL_ADDRESS};

bool sameId(ULONG a, ULONG b)
{
    return PROP_ID(a) == PROP_ID(b);
}

bool hasAddress(const PropList& all, ULONG addressTag)
{
    const Prop* address = findProp(all, addressTag);
    return address && !address->text().empty();
}

std::string encodeValue(const Prop& prop)
{
    switch (PROP_TYPE(prop.tag)) {
    case PT_STRING8:
    case PT_UNICODE:
        return prop.text();
    case PT_BINARY: {
        gchar* b64 = g_base64_encode(prop.bytes().data(), prop.bytes().size());
        std::string text = b64;
        g_free(b64);
        return text;
    }
    case PT_MV_LONG: {
        std::string text;
        for (LONG value : longsOf(prop)) {
            text += (text.empty() ? "" : ",") + std::to_string(value);
        }
        return text;
    }
    default:
        return std::to_string(prop.number);
    }
}

Prop decodeValue(ULONG tag, const char* value)
{
    Prop prop;
    prop.tag = tag;
    switch (PROP_TYPE(tag)) {
    case PT_STRING8:
    case PT_UNICODE:
        prop.data = value;
        break;
    case PT_BINARY: {
        gsize size = 0;
        guchar* bytes = g_base64_decode(value, &size);
        prop.data.assign(bytes, bytes + size);
        g_free(bytes);
        break;
    }
    case PT_MV_LONG: {
        std::vector<LONG> values;
        for (const char* p = value; *p;) {
            char* end = nullptr;
            values.push_back(static_cast<LONG>(g_ascii_strtoll(p, &end, 10)));
            if (end == p) {
                break;
            }
            p = *end == ',' ? end + 1 : end;
        }
        prop = longsProp(tag, values);
        break;
    }
    default:
        prop.number = g_ascii_strtoll(value, nullptr, 10);
    }
    return prop;
}

} // namespace

bool isComputedProp(ULONG tag)
{
    return isDerivedHeaderProperty(tag) || std::any_of(std::begin(kComputed), std::end(kComputed),
                                                       [&](ULONG c) { return sameId(c, tag); });
}

bool hasStandardHeader(const Prop& prop, const PropList& all)
{
    const ULONG tag = prop.tag;
    if (isHeaderProperty(tag)) {
        return true;
    }
    // A name without an address has no mailbox to go into, so it is kept privately.
    if (sameId(tag, PR_SENT_REPRESENTING_NAME)) {
        return hasAddress(all, PR_SENT_REPRESENTING_EMAIL_ADDRESS);
    }
    if (sameId(tag, PR_SENDER_NAME)) {
        return hasAddress(all, PR_SENDER_EMAIL_ADDRESS);
    }
    for (ULONG standard :
         {PR_SUBJECT, PR_SENT_REPRESENTING_EMAIL_ADDRESS, PR_SENDER_EMAIL_ADDRESS,
          PR_CLIENT_SUBMIT_TIME, PR_IMPORTANCE, PR_BODY, PR_BODY_HTML, PR_RTF_COMPRESSED}) {
        if (sameId(tag, standard)) {
            return true;
        }
    }
    return false;
}

bool propFromValue(const SPropValue& value, Prop* out)
{
    const ULONG tag = value.ulPropTag;
    const PropValueUnion& v = value.Value;
    switch (PROP_TYPE(tag)) {
    case PT_I2:
        *out = longProp(tag, v.i);
        return true;
    case PT_LONG:
        *out = longProp(tag, v.l);
        return true;
    case PT_BOOLEAN:
        *out = boolProp(tag, v.b != 0);
        return true;
    case PT_I8:
        *out = longProp(tag, v.li);
        return true;
    case PT_SYSTIME:
        *out = timeProp(tag, (std::uint64_t{v.ft.dwHighDateTime} << 32) | v.ft.dwLowDateTime);
        return true;
    case PT_STRING8:
    case PT_UNICODE:
        // One string type inside, as reading a file would give it.
        *out = stringProp(CHANGE_PROP_TYPE(tag, PT_STRING8), v.lpszA ? v.lpszA : "");
        return true;
    case PT_BINARY:
        *out = binaryProp(tag, {v.bin.lpb, v.bin.lpb + v.bin.cb});
        return true;
    case PT_MV_LONG:
        if (v.MVl.cValues > 0 && !v.MVl.lpl) {
            return false;
        }
        *out = longsProp(tag, {v.MVl.lpl, v.MVl.lpl + v.MVl.cValues});
        return true;
    default:
        return false;
    }
}

void writePrivateHeaders(GMimeObject* message, const PropList& props)
{
    for (const Prop& prop : props) {
        if (isComputedProp(prop.tag) || hasStandardHeader(prop, props)) {
            continue;
        }
        const std::string name = privateHeaderName(prop.tag);
        g_mime_object_set_header(message, name.c_str(), encodeValue(prop).c_str(), "utf-8");
    }
}

void readPrivateHeaders(GMimeObject* message, PropList* props)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(message);
    const int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* name = g_mime_header_get_name(header);
        if (!isPrivateHeader(name)) {
            continue;
        }
        char* end = nullptr;
        const auto tag = static_cast<ULONG>(std::strtoul(name + sizeof(kPrefix) - 1, &end, 16));
        const char* value = g_mime_header_get_value(header);
        if (end && *end == '\0' && value && !isComputedProp(tag)) {
            putProp(props, decodeValue(tag, value));
        }
    }
}

std::string privateHeaderName(ULONG tag)
{
    char name[sizeof(kPrefix) + 8];
    g_snprintf(name, sizeof(name), "%s%08X", kPrefix, static_cast<unsigned>(tag));
    return name;
}

bool isPrivateHeader(const char* name)
{
    return name && g_ascii_strncasecmp(name, kPrefix, sizeof(kPrefix) - 1) == 0;
}

std::string remapPrivateHeaders(std::string message, const std::function<ULONG(ULONG)>& map)
{
    constexpr std::size_t kPrefixLength = sizeof(kPrefix) - 1;
    constexpr std::size_t kTagDigits = 8;
    std::size_t line = 0;
    while (line < message.size() && message[line] != '\r' && message[line] != '\n') {
        const std::size_t digits = line + kPrefixLength;
        if (digits + kTagDigits < message.size() && message[digits + kTagDigits] == ':' &&
            g_ascii_strncasecmp(message.c_str() + line, kPrefix, kPrefixLength) == 0) {
            char* end = nullptr;
            const std::string hex = message.substr(digits, kTagDigits);
            const auto tag = static_cast<ULONG>(std::strtoul(hex.c_str(), &end, 16));
            const ULONG mapped = end && *end == '\0' ? map(tag) : tag;
            if (mapped != tag && mapped != PR_NULL) {
                char name[kTagDigits + 1];
                g_snprintf(name, sizeof(name), "%08X", static_cast<unsigned>(mapped));
                message.replace(digits, kTagDigits, name);
            }
        }
        const std::size_t next = message.find('\n', line);
        if (next == std::string::npos) {
            break;
        }
        line = next + 1; // the header block ends at the first empty line
    }
    return message;
}

} // namespace vntmapi
