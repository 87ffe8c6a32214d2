#include "Maildir.h"

#include "FolderState.h"
#include "HeaderRepair.h"
#include "MessageHeaders.h"
#include "MimeContent.h"
#include "Property.h"
#include "Recipients.h"
#include "StoredProps.h"
#include "TextClean.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <glib/gstdio.h>
#include <gmime/gmime.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace vntmapi {

std::string joinPath(const std::string& a, const std::string& b)
{
    return a + "/" + b;
}

bool isDirectory(const std::string& path)
{
    return g_file_test(path.c_str(), G_FILE_TEST_IS_DIR);
}

bool makeMaildir(const std::string& dir)
{
    for (const char* sub : {"cur", "new", "tmp"}) {
        if (g_mkdir_with_parents(joinPath(dir, sub).c_str(), 0700) != 0) {
            return false;
        }
    }
    return true;
}

namespace {

template<typename F>
void forEachEntry(const std::string& dir, F&& visit)
{
    GDir* handle = g_dir_open(dir.c_str(), 0, nullptr);
    if (!handle) {
        return;
    }
    while (const gchar* name = g_dir_read_name(handle)) {
        visit(std::string(name));
    }
    g_dir_close(handle);
}

std::string addressListText(InternetAddressList* list)
{
    std::string text;
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        const char* name = internet_address_get_name(address);
        std::string part;
        if (name && *name) {
            part = name;
        } else if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            part = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
        }
        if (!part.empty()) {
            text += (text.empty() ? "" : "; ") + part;
        }
    }
    return text;
}

void firstMailbox(InternetAddressList* list, std::string* name, std::string* address)
{
    const std::vector<OneOff> all = mailboxesOf(list);
    if (!all.empty()) {
        *name = all.front().name;
        *address = all.front().address;
    }
}

// A file that does not start with a header block: GMime finds no message, or one without a
// single header.
bool isHeaderless(GMimeMessage* message)
{
    return !message ||
           g_mime_header_list_get_count(g_mime_object_get_header_list(GMIME_OBJECT(message))) == 0;
}

// Text, not binary: no control bytes but tab, line breaks and form feed.
bool looksLikeText(const gchar* bytes, gsize size)
{
    return std::none_of(bytes, bytes + size, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f') ||
               byte == 0x7F;
    });
}

// The whole of a headerless message as its plain body, when it is text at all.
std::string rawText(std::string_view bytes)
{
    if (!looksLikeText(bytes.data(), bytes.size())) {
        return {};
    }
    return cleanText(validUtf8(bytes.data(), static_cast<gssize>(bytes.size())), true);
}

std::int32_t importanceOf(GMimeObject* message)
{
    if (const char* value = g_mime_object_get_header(message, "Importance")) {
        if (g_ascii_strncasecmp(value, "high", 4) == 0) {
            return IMPORTANCE_HIGH;
        }
        return g_ascii_strncasecmp(value, "low", 3) == 0 ? IMPORTANCE_LOW : IMPORTANCE_NORMAL;
    }
    if (const char* value = g_mime_object_get_header(message, "X-Priority")) {
        const int level = atoi(value);
        if (level == 1 || level == 2) {
            return IMPORTANCE_HIGH;
        }
        return level == 4 || level == 5 ? IMPORTANCE_LOW : IMPORTANCE_NORMAL;
    }
    if (const char* value = g_mime_object_get_header(message, "X-MSMail-Priority")) {
        if (g_ascii_strncasecmp(value, "high", 4) == 0) {
            return IMPORTANCE_HIGH;
        }
        return g_ascii_strncasecmp(value, "low", 3) == 0 ? IMPORTANCE_LOW : IMPORTANCE_NORMAL;
    }
    if (const char* value = g_mime_object_get_header(message, "Priority")) {
        if (g_ascii_strncasecmp(value, "urgent", 6) == 0) {
            return IMPORTANCE_HIGH;
        }
        return g_ascii_strncasecmp(value, "non-urgent", 10) == 0 ? IMPORTANCE_LOW
                                                                 : IMPORTANCE_NORMAL;
    }
    return IMPORTANCE_NORMAL;
}

std::uint32_t flagsFromInfo(std::string_view info)
{
    std::uint32_t flags = 0;
    if (info.find('S') != std::string::npos) {
        flags |= MSGFLAG_READ;
    }
    if (info.find('D') != std::string::npos) {
        flags |= MSGFLAG_UNSENT;
    }
    return flags;
}

// The class a message saved here keeps, else what its MIME structure says it is: a read
// receipt or delivery report, a signed or encrypted message, a meeting request.
std::string messageClassOf(GMimeMessage* message)
{
    if (const char* stored = g_mime_object_get_header(
            GMIME_OBJECT(message), privateHeaderName(PR_MESSAGE_CLASS).c_str())) {
        return cleanText(stored, false);
    }
    GMimeObject* body = g_mime_message_get_mime_part(message);
    GMimeContentType* type = body ? g_mime_object_get_content_type(body) : nullptr;
    if (!type) {
        return "IPM.Note";
    }
    const auto parameter = [type](const char* name) {
        const char* value = g_mime_content_type_get_parameter(type, name);
        return std::string(value ? value : "");
    };
    const auto same = [](const std::string& a, const char* b) {
        return g_ascii_strcasecmp(a.c_str(), b) == 0;
    };
    if (g_mime_content_type_is_type(type, "multipart", "report")) {
        const std::string report = parameter("report-type");
        if (same(report, "disposition-notification")) {
            return "REPORT.IPM.Note.IPNRN";
        }
        if (same(report, "delivery-status")) {
            return "REPORT.IPM.Note.NDR";
        }
    }
    if (g_mime_content_type_is_type(type, "multipart", "signed")) {
        const std::string protocol = parameter("protocol");
        if (same(protocol, "application/pkcs7-signature") ||
            same(protocol, "application/x-pkcs7-signature")) {
            return "IPM.Note.SMIME.MultipartSigned";
        }
    }
    if (g_mime_content_type_is_type(type, "application", "pkcs7-mime") ||
        g_mime_content_type_is_type(type, "application", "x-pkcs7-mime")) {
        return "IPM.Note.SMIME";
    }
    if (g_mime_content_type_is_type(type, "text", "calendar")) {
        const std::string method = parameter("method");
        if (same(method, "REQUEST")) {
            return "IPM.Schedule.Meeting.Request";
        }
        if (same(method, "CANCEL")) {
            return "IPM.Schedule.Meeting.Canceled";
        }
    }
    return "IPM.Note";
}

// The name `address` has on the message's To or Cc line, if any.
std::string nameOnRecipientLines(GMimeMessage* message, const std::string& address)
{
    for (InternetAddressList* list :
         {g_mime_message_get_to(message), g_mime_message_get_cc(message)}) {
        for (const OneOff& entry : mailboxesOf(list)) {
            if (g_ascii_strcasecmp(entry.address.c_str(), address.c_str()) == 0 &&
                entry.name != entry.address) {
                return entry.name;
            }
        }
    }
    return {};
}

void readReceivedBy(GMimeMessage* message, MessageSummary* s)
{
    for (const char* name : {"Delivered-To", "X-Original-To"}) {
        const char* value = g_mime_object_get_header(GMIME_OBJECT(message), name);
        std::string address = value ? cleanText(value, false) : std::string();
        address.erase(0, address.find_first_not_of(" \t<"));
        address.erase(std::min(address.size(), address.find_last_not_of(" \t>") + 1));
        if (!address.empty()) {
            s->receivedByAddress = address;
            s->receivedByName = nameOnRecipientLines(message, address);
            return;
        }
    }
}

// The display name of a header such as "Mail Delivery System <>", whose empty address leaves
// GMime no mailbox to give.
std::string nameWithoutAddress(GMimeMessage* message, const char* header)
{
    const char* raw = g_mime_object_get_header(GMIME_OBJECT(message), header);
    const char* bracket = raw ? std::strchr(raw, '<') : nullptr;
    if (!bracket) {
        return {};
    }
    std::string phrase(raw, static_cast<std::size_t>(bracket - raw));
    phrase.erase(0, phrase.find_first_not_of(" \t\""));
    phrase.erase(std::min(phrase.size(), phrase.find_last_not_of(" \t\"") + 1));
    gchar* decoded = g_mime_utils_header_decode_phrase(nullptr, phrase.c_str());
    std::string name = decoded ? decoded : phrase;
    g_free(decoded);
    return name;
}

void fillFromMessage(GMimeMessage* message, MessageSummary* s)
{
    const char* subject = g_mime_message_get_subject(message);
    s->subject = subject ? subject : "";
    firstMailbox(g_mime_message_get_from(message), &s->fromName, &s->fromAddress);
    if (s->fromName.empty() && s->fromAddress.empty()) {
        s->fromName = nameWithoutAddress(message, "From");
    }
    firstMailbox(g_mime_message_get_sender(message), &s->senderName, &s->senderAddress);
    if (s->senderAddress.empty()) {
        s->senderName = s->fromName;
        s->senderAddress = s->fromAddress;
    }
    s->displayTo = addressListText(g_mime_message_get_to(message));
    s->displayCc = addressListText(g_mime_message_get_cc(message));
    // Encoded words labelled ISO-8859-1 often carry Windows-1252 text; one-line fields keep no
    // control characters.
    for (std::string* field : {&s->subject, &s->fromName, &s->fromAddress, &s->senderName,
                               &s->senderAddress, &s->displayTo, &s->displayCc}) {
        *field = cleanText(*field, false);
    }
    if (GDateTime* date = g_mime_message_get_date(message)) {
        s->submitTime = fileTimeFromUnix(g_date_time_to_unix(date));
    }
    s->importance = importanceOf(GMIME_OBJECT(message));
    s->messageClass = messageClassOf(message);
    s->sensitivity = sensitivityOf(message);
    s->readReceipt = readReceiptRequested(message);
    s->replyToNames = replyToNames(message);
    readReceivedBy(message, s);
}

// Decodes one "&...-" run of IMAP's modified UTF-7: base64 with "," for "/" over UTF-16BE.
std::string decodeShifted(const std::string& run)
{
    if (run.empty()) {
        return "&";
    }
    std::string b64 = run;
    std::replace(b64.begin(), b64.end(), ',', '/');
    b64.append((4 - b64.size() % 4) % 4, '=');
    gsize size = 0;
    guchar* utf16 = g_base64_decode(b64.c_str(), &size);
    gchar* utf8 = g_convert(reinterpret_cast<const gchar*>(utf16), static_cast<gssize>(size),
                            "UTF-8", "UTF-16BE", nullptr, nullptr, nullptr);
    std::string result = utf8 ? utf8 : "&" + run + "-"; // keep what cannot be decoded
    g_free(utf8);
    g_free(utf16);
    return result;
}

// Folder names on disk are modified UTF-7, as IMAP servers write them ("Entw&APw-rfe").
std::string decodeFolderName(const std::string& name)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < name.size()) {
        const std::size_t amp = name.find('&', pos);
        const std::size_t dash = amp == std::string::npos ? amp : name.find('-', amp);
        if (dash == std::string::npos) {
            out += name.substr(pos);
            break;
        }
        out += name.substr(pos, amp - pos) + decodeShifted(name.substr(amp + 1, dash - amp - 1));
        pos = dash + 1;
    }
    return out;
}

} // namespace

std::uint32_t messageFlags(std::string_view info, bool hasAttachments)
{
    return flagsFromInfo(info) | (hasAttachments ? MSGFLAG_HASATTACH : 0);
}

// IMAP's modified UTF-7 (RFC 3501 5.1.3), the form Dovecot gives non-ASCII folder names on
// disk: printable ASCII as it is ("&" as "&-"), anything else as base64 of UTF-16BE.
std::string encodeFolderName(const std::string& name)
{
    std::string out;
    glong units = 0;
    gunichar2* utf16 = g_utf8_to_utf16(name.c_str(), -1, nullptr, &units, nullptr);
    if (!utf16) {
        return {};
    }
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
    for (glong i = 0; i < units;) {
        const gunichar2 c = utf16[i];
        if (c >= 0x20 && c < 0x7F) {
            out += c == '&' ? std::string("&-") : std::string(1, static_cast<char>(c));
            ++i;
            continue;
        }
        std::string bytes;
        for (; i < units && (utf16[i] < 0x20 || utf16[i] >= 0x7F); ++i) {
            bytes += static_cast<char>(utf16[i] >> 8);
            bytes += static_cast<char>(utf16[i] & 0xFF);
        }
        out += '&';
        unsigned bits = 0;
        int count = 0;
        for (const unsigned char b : bytes) {
            bits = (bits << 8) | b;
            count += 8;
            while (count >= 6) {
                count -= 6;
                out += kAlphabet[(bits >> count) & 0x3F];
            }
        }
        if (count > 0) {
            out += kAlphabet[(bits << (6 - count)) & 0x3F];
        }
        out += '-';
    }
    g_free(utf16);
    return out;
}

std::vector<std::string> listFolders(const std::string& root)
{
    std::set<std::string> folders;
    forEachEntry(root, [&](const std::string& name) {
        if (name.size() > 1 && name[0] == '.' && name != ".." &&
            isDirectory(joinPath(root, name))) {
            folders.insert(name);
        }
    });
    std::set<std::string> implied;
    for (const std::string& folder : folders) {
        for (std::string p = parentFolder(folder); p != "/"; p = parentFolder(p)) {
            implied.insert(p);
        }
    }
    folders.insert(implied.begin(), implied.end());
    return {folders.begin(), folders.end()};
}

std::string parentFolder(const std::string& folder)
{
    const std::size_t dot = folder.rfind('.');
    if (folder.empty() || dot == 0 || dot == std::string::npos) {
        return "/";
    }
    return folder.substr(0, dot);
}

std::string folderLeafName(const std::string& folder)
{
    if (folder.empty()) {
        return "Inbox";
    }
    return decodeFolderName(folder.substr(folder.rfind('.') + 1));
}

std::string folderDirectory(const std::string& root, const std::string& folder)
{
    return folder.empty() ? root : joinPath(root, folder);
}

namespace {

std::int64_t nanoseconds(const timespec& t)
{
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

} // namespace

std::vector<MessageFile> listMessages(const std::string& folderDir, ListDetail detail)
{
    const FolderState state = FolderState::read(folderDir, detail == ListDetail::WithStat);
    // In the order they were listed, as a client reading the folder finds them.
    std::vector<const std::pair<const std::string, KnownFile>*> entries;
    entries.reserve(state.files.size());
    for (const auto& entry : state.files) {
        entries.push_back(&entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto* a, const auto* b) { return a->second.listed < b->second.listed; });
    std::vector<MessageFile> files;
    files.reserve(entries.size());
    for (const auto* entry : entries) {
        files.push_back(messageFile(folderDir, entry->first, entry->second));
        if (const auto copies = state.copies.find(entry->first); copies != state.copies.end()) {
            for (const std::string& copy : copies->second) {
                files.back().copies.push_back(folderDir + '/' + copy);
            }
        }
    }
    return files;
}

bool findMessage(const std::string& folderDir, const std::string& baseName, MessageFile* file)
{
    // Only this message's files are kept: a large folder is read through, not listed.
    const FolderState state = FolderState::read(folderDir, false, baseName);
    const auto found = state.files.find(baseName);
    if (found == state.files.end()) {
        return false;
    }
    *file = messageFile(folderDir, found->first, found->second);
    if (const auto copies = state.copies.find(baseName); copies != state.copies.end()) {
        for (const std::string& copy : copies->second) {
            file->copies.push_back(folderDir + '/' + copy);
        }
    }
    return true;
}

void removeStaleTemporaries(const std::string& folderDir)
{
    constexpr time_t kStaleSeconds = 36 * 60 * 60;
    const std::string dir = joinPath(folderDir, "tmp");
    DIR* handle = opendir(dir.c_str());
    if (!handle) {
        return;
    }
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(handle)) {
        struct stat info
        {};
        if (entry->d_name[0] == '.' ||
            fstatat(dirfd(handle), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        // Access counts as use, as the Maildir rules have it: a writer may pause for long.
        const time_t touched = std::max(info.st_mtime, info.st_atime);
        if (now - touched > kStaleSeconds) {
            unlinkat(dirfd(handle), entry->d_name, 0);
        }
    }
    closedir(handle);
}

namespace {

// Parses a message held in `bytes` (g_malloc'ed, taken over) into `summary`, and `content` when
// given; `info` are the Maildir flag letters it has, if any.
void parseMessage(gchar* bytes, gsize length, const std::string& info, MessageSummary* summary,
                  MessageContent* content)
{
    // The stream takes the bytes as they are unless a header block needs its end; the
    // original bytes stay alive until the end either way, for a message without headers.
    const std::string repaired = repairedHeaderEnds(std::string_view(bytes, length));
    const std::string_view original(bytes, length);
    GByteArray* array = nullptr;
    if (repaired.empty()) {
        array = g_byte_array_new_take(reinterpret_cast<guint8*>(bytes), length);
        bytes = nullptr;
    } else {
        array = g_byte_array_sized_new(static_cast<guint>(repaired.size()));
        g_byte_array_append(array, reinterpret_cast<const guint8*>(repaired.data()),
                            static_cast<guint>(repaired.size()));
    }
    GMimeStream* stream = g_mime_stream_mem_new_with_byte_array(array);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_mime_parser_set_persist_stream(parser, FALSE);
    // Undeclared 8-bit header text is most often Windows-1252 (GMime would assume Latin-1).
    GMimeParserOptions* options = g_mime_parser_options_new();
    const char* fallback[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    GMimeMessage* message = g_mime_parser_construct_message(parser, options);
    constexpr std::int64_t kLargestRawText = 16 * 1024 * 1024;
    if (content && summary->size <= kLargestRawText && isHeaderless(message)) {
        content->bodyText = rawText(original);
    }
    if (message) {
        fillFromMessage(message, summary);
        scanParts(message, content, &summary->hasAttachments);
        if (content) {
            readHeaderProperties(message, &content->headerProps);
            readPrivateHeaders(GMIME_OBJECT(message), &content->stored);
            readRecipients(message, &content->recipients);
        }
        summary->flags = messageFlags(info, summary->hasAttachments);
        g_object_unref(message);
    }
    g_mime_parser_options_free(options);
    g_object_unref(parser);
    g_object_unref(stream);
    g_free(bytes);
}

} // namespace

bool readMessage(const MessageFile& file, MessageSummary* summary, MessageContent* content)
{
    GStatBuf info;
    if (g_stat(file.path.c_str(), &info) != 0) {
        return false;
    }
    *summary = MessageSummary{};
    summary->size = static_cast<std::int64_t>(info.st_size);
    summary->modified = nanoseconds(info.st_mtim);
    summary->changed = nanoseconds(info.st_ctim);
    summary->deliveryTime = fileTimeFromUnix(info.st_mtime);
    summary->flags = flagsFromInfo(file.info);
    gchar* bytes = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(file.path.c_str(), &bytes, &length, nullptr)) {
        return false;
    }
    parseMessage(bytes, length, file.info, summary, content);
    return true;
}

void readMessageBytes(const std::vector<std::uint8_t>& bytes, MessageSummary* summary,
                      MessageContent* content)
{
    *summary = MessageSummary{};
    summary->size = static_cast<std::int64_t>(bytes.size());
    // A message held inside another one was read when the one holding it was.
    summary->flags = flagsFromInfo("S");
    auto* copy = static_cast<gchar*>(g_malloc(bytes.size() + 1));
    std::copy(bytes.begin(), bytes.end(), copy);
    copy[bytes.size()] = '\0';
    parseMessage(copy, bytes.size(), "S", summary, content);
}

} // namespace vntmapi
