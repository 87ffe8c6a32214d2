#include "MessageHeaders.h"

#include "OneOff.h"
#include "TextClean.h"

#include <algorithm>
#include <cctype>

namespace vntmapi {

namespace {

constexpr const char* kSensitivities[] = {nullptr, "Personal", "Private", "Company-Confidential"};

constexpr const char* kHeaders[] = {"Sensitivity",  "Disposition-Notification-To",
                                    "Thread-Topic", "Thread-Index",
                                    "Reply-To",     "In-Reply-To",
                                    "References"};

// Written through these headers or through From and Sender.
constexpr ULONG kHeaderProps[] = {PR_SENSITIVITY,           PR_READ_RECEIPT_REQUESTED,
                                  PR_CONVERSATION_TOPIC,    PR_CONVERSATION_INDEX,
                                  PR_REPLY_RECIPIENT_NAMES, PR_REPLY_RECIPIENT_ENTRIES,
                                  PR_SENDER_ENTRYID,        PR_SENT_REPRESENTING_ENTRYID,
                                  PR_SENDER_ADDRTYPE,       PR_SENT_REPRESENTING_ADDRTYPE,
                                  PR_SENDER_SEARCH_KEY,     PR_SENT_REPRESENTING_SEARCH_KEY,
                                  PR_IN_REPLY_TO_ID,        PR_INTERNET_REFERENCES};

constexpr ULONG kDerivedProps[] = {PR_NORMALIZED_SUBJECT, PR_INTERNET_MESSAGE_ID};

bool listed(const ULONG* begin, const ULONG* end, ULONG tag)
{
    return std::any_of(begin, end, [tag](ULONG t) { return PROP_ID(t) == PROP_ID(tag); });
}

const char* header(GMimeMessage* message, const char* name)
{
    return g_mime_object_get_header(GMIME_OBJECT(message), name);
}

std::string trimmed(const char* text)
{
    std::string value = text ? text : "";
    const auto space = [](unsigned char c) {
        return std::isspace(c) != 0;
    };
    value.erase(value.begin(), std::find_if_not(value.begin(), value.end(), space));
    value.erase(std::find_if_not(value.rbegin(), value.rend(), space).base(), value.end());
    return value;
}

// The message identifiers ("<...>") of a header value, one space between them. Whatever else
// the value holds (a folded header's line breaks, comments, or text smuggled in that would
// start a header of its own) is left out.
std::string identifierList(const std::string& text)
{
    const std::string clean = cleanText(text, false);
    std::string list;
    std::size_t open = clean.find('<');
    while (open != std::string::npos) {
        const std::size_t close = clean.find_first_of("<> ", open + 1);
        if (close == std::string::npos) {
            break;
        }
        if (clean[close] == '>' && close > open + 1) {
            list += (list.empty() ? "" : " ") + clean.substr(open, close - open + 1);
        }
        open = clean.find('<', close);
    }
    return list;
}

// In-Reply-To and References: what threads a reply under the message it answers.
void readThreadHeaders(GMimeMessage* message, PropList* props)
{
    for (const auto& [name, tag] :
         {std::pair{"In-Reply-To", PR_IN_REPLY_TO_ID}, {"References", PR_INTERNET_REFERENCES}}) {
        const std::string ids = identifierList(trimmed(header(message, name)));
        if (!ids.empty()) {
            putProp(props, stringProp(tag, ids));
        }
    }
}

void writeThreadHeaders(GMimeObject* object, const PropList& props)
{
    for (const auto& [name, tag] :
         {std::pair{"In-Reply-To", PR_IN_REPLY_TO_ID}, {"References", PR_INTERNET_REFERENCES}}) {
        const Prop* ids = findProp(props, tag);
        const std::string list = ids ? identifierList(ids->text()) : std::string();
        if (!list.empty()) {
            g_mime_object_set_header(object, name, list.c_str(), nullptr);
        }
    }
}

// "Re: ", "FW: ", "Fwd: " and the like: up to three letters and a colon.
std::string normalizedSubject(const std::string& subject)
{
    const std::size_t colon = subject.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 3 ||
        !std::all_of(subject.begin(), subject.begin() + static_cast<long>(colon),
                     [](unsigned char c) { return std::isalpha(c) != 0; })) {
        return subject;
    }
    std::size_t start = colon + 1;
    while (start < subject.size() && subject[start] == ' ') {
        ++start;
    }
    return subject.substr(start);
}

// The first mailbox of a list; false when there is none with an address.
bool firstMailbox(InternetAddressList* list, OneOff* entry)
{
    const std::vector<OneOff> all = mailboxesOf(list);
    if (all.empty()) {
        return false;
    }
    *entry = all.front();
    return !entry->address.empty();
}

void addAddressProps(const OneOff& who, ULONG addrType, ULONG searchKey, ULONG entryId,
                     PropList* props)
{
    putProp(props, stringProp(addrType, who.addressType));
    putProp(props, binaryProp(searchKey, addressSearchKey(who.addressType, who.address)));
    putProp(props, binaryProp(entryId, encodeOneOff(who)));
}

std::vector<OneOff> replyToEntries(GMimeMessage* message)
{
    std::vector<OneOff> entries = mailboxesOf(g_mime_message_get_reply_to(message));
    std::erase_if(entries, [](const OneOff& entry) { return entry.address.empty(); });
    return entries;
}

std::string joinedNames(const std::vector<OneOff>& entries)
{
    std::string names;
    for (const OneOff& entry : entries) {
        names += (names.empty() ? "" : "; ") + entry.name;
    }
    return names;
}

void readReplyTo(GMimeMessage* message, PropList* props)
{
    const std::vector<OneOff> replyTo = replyToEntries(message);
    if (replyTo.empty()) {
        return;
    }
    std::vector<std::vector<BYTE>> entries;
    for (const OneOff& entry : replyTo) {
        entries.push_back(encodeOneOff(entry));
    }
    putProp(props, stringProp(PR_REPLY_RECIPIENT_NAMES, joinedNames(replyTo)));
    putProp(props, binaryProp(PR_REPLY_RECIPIENT_ENTRIES, encodeFlatEntryList(entries)));
}

void writeReplyTo(GMimeMessage* message, const PropList& props)
{
    const Prop* entries = findProp(props, PR_REPLY_RECIPIENT_ENTRIES);
    std::vector<std::vector<BYTE>> list;
    if (!entries || !decodeFlatEntryList(entries->bytes().data(), entries->bytes().size(), &list)) {
        return;
    }
    InternetAddressList* replyTo = g_mime_message_get_reply_to(message);
    for (const std::vector<BYTE>& bytes : list) {
        OneOff entry;
        if (decodeOneOff(bytes.data(), bytes.size(), &entry) && !entry.address.empty()) {
            InternetAddress* mailbox =
                internet_address_mailbox_new(entry.name.c_str(), entry.address.c_str());
            internet_address_list_add(replyTo, mailbox);
            g_object_unref(mailbox);
        }
    }
}

} // namespace

LONG sensitivityOf(GMimeMessage* message)
{
    const std::string sensitivity = trimmed(header(message, "Sensitivity"));
    for (LONG i = 1; i < 4; ++i) {
        if (g_ascii_strcasecmp(sensitivity.c_str(), kSensitivities[i]) == 0) {
            return i;
        }
    }
    return 0;
}

bool readReceiptRequested(GMimeMessage* message)
{
    return header(message, "Disposition-Notification-To") != nullptr;
}

std::string replyToNames(GMimeMessage* message)
{
    return joinedNames(replyToEntries(message));
}

std::vector<OneOff> mailboxesOf(InternetAddressList* list)
{
    std::vector<OneOff> mailboxes;
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (!INTERNET_ADDRESS_IS_MAILBOX(address)) {
            continue;
        }
        OneOff entry;
        const char* email = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
        entry.address = email ? email : "";
        const char* name = internet_address_get_name(address);
        entry.name = cleanText(name && *name ? name : entry.address, false);
        mailboxes.push_back(std::move(entry));
    }
    return mailboxes;
}

void readHeaderProperties(GMimeMessage* message, PropList* props)
{
    putProp(props, longProp(PR_SENSITIVITY, sensitivityOf(message)));
    putProp(props, boolProp(PR_READ_RECEIPT_REQUESTED, readReceiptRequested(message)));
    const char* subjectText = g_mime_message_get_subject(message);
    const std::string subject = cleanText(subjectText ? subjectText : "", false);
    const std::string normalized = normalizedSubject(subject);
    putProp(props, stringProp(PR_NORMALIZED_SUBJECT, normalized));
    const char* topic = header(message, "Thread-Topic");
    putProp(props, stringProp(PR_CONVERSATION_TOPIC,
                              topic ? cleanText(trimmed(topic), false) : normalized));
    const std::string index = trimmed(header(message, "Thread-Index"));
    if (!index.empty()) {
        gsize size = 0;
        guchar* bytes = g_base64_decode(index.c_str(), &size);
        if (size > 0) {
            putProp(props, binaryProp(PR_CONVERSATION_INDEX, {bytes, bytes + size}));
        }
        g_free(bytes);
    }
    if (const char* id = g_mime_message_get_message_id(message)) {
        putProp(props, stringProp(PR_INTERNET_MESSAGE_ID, "<" + cleanText(id, false) + ">"));
    }
    readThreadHeaders(message, props);
    OneOff from;
    if (firstMailbox(g_mime_message_get_from(message), &from)) {
        addAddressProps(from, PR_SENT_REPRESENTING_ADDRTYPE, PR_SENT_REPRESENTING_SEARCH_KEY,
                        PR_SENT_REPRESENTING_ENTRYID, props);
    }
    OneOff sender;
    if (!firstMailbox(g_mime_message_get_sender(message), &sender)) {
        sender = from;
    }
    if (!sender.address.empty()) {
        addAddressProps(sender, PR_SENDER_ADDRTYPE, PR_SENDER_SEARCH_KEY, PR_SENDER_ENTRYID, props);
    }
    readReplyTo(message, props);
}

void writeHeaderProperties(GMimeMessage* message, const PropList& props)
{
    GMimeObject* object = GMIME_OBJECT(message);
    for (const char* name : kHeaders) {
        g_mime_object_remove_header(object, name);
    }
    const Prop* sensitivity = findProp(props, PR_SENSITIVITY);
    if (sensitivity && sensitivity->number >= 1 && sensitivity->number <= 3) {
        g_mime_object_set_header(object, "Sensitivity", kSensitivities[sensitivity->number],
                                 nullptr);
    }
    const Prop* receipt = findProp(props, PR_READ_RECEIPT_REQUESTED);
    const Prop* from = findProp(props, PR_SENT_REPRESENTING_EMAIL_ADDRESS);
    if (receipt && receipt->number != 0 && from && !from->text().empty()) {
        g_mime_object_set_header(object, "Disposition-Notification-To", from->text().c_str(),
                                 nullptr);
    }
    if (const Prop* topic = findProp(props, PR_CONVERSATION_TOPIC)) {
        g_mime_object_set_header(object, "Thread-Topic", topic->text().c_str(), "utf-8");
    }
    if (const Prop* index = findProp(props, PR_CONVERSATION_INDEX); index && !index->data.empty()) {
        gchar* encoded = g_base64_encode(index->bytes().data(), index->bytes().size());
        g_mime_object_set_header(object, "Thread-Index", encoded, nullptr);
        g_free(encoded);
    }
    writeThreadHeaders(object, props);
    writeReplyTo(message, props);
}

bool isHeaderPropertyHeader(const char* name)
{
    return std::any_of(std::begin(kHeaders), std::end(kHeaders),
                       [name](const char* h) { return g_ascii_strcasecmp(h, name) == 0; });
}

bool isHeaderProperty(ULONG tag)
{
    return listed(std::begin(kHeaderProps), std::end(kHeaderProps), tag);
}

bool isDerivedHeaderProperty(ULONG tag)
{
    return listed(std::begin(kDerivedProps), std::end(kDerivedProps), tag);
}

} // namespace vntmapi
