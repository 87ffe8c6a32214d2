#include "MessageWriter.h"

#include "MessageHeaders.h"
#include "RtfStream.h"
#include "StoredProps.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <glib/gstdio.h>
#include <gmime/gmime.h>
#include <memory>
#include <sys/time.h>
#include <unistd.h>
#include <utime.h>

namespace vntmapi {

namespace {

struct GObjectDeleter
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T>
using GPtr = std::unique_ptr<T, GObjectDeleter>;

// Headers rebuilt from the properties on every save; everything else of an old file is kept.
constexpr const char* kManagedHeaders[] = {
    "Subject",      "From",         "Sender",
    "Date",         "Importance",   "X-Priority",
    "MIME-Version", "Content-Type", "Content-Transfer-Encoding",
    "To",           "Cc",           "Bcc"};

bool isManagedHeader(const char* name)
{
    if (isHeaderPropertyHeader(name)) {
        return true;
    }
    for (const char* managed : kManagedHeaders) {
        if (g_ascii_strcasecmp(name, managed) == 0) {
            return true;
        }
    }
    return isPrivateHeader(name) || g_ascii_strncasecmp(name, "Content-", 8) == 0;
}

const std::string& textOf(const PropList& props, ULONG tag)
{
    static const std::string empty;
    const Prop* prop = findProp(props, tag);
    return prop ? prop->text() : empty;
}

HRESULT hresultFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return MAPI_E_NOT_ENOUGH_DISK;
    case EACCES:
    case EPERM:
    case EROFS:
        return MAPI_E_NO_ACCESS;
    default:
        return MAPI_E_DISK_ERROR;
    }
}

std::string curPath(const std::string& folderDir, const std::string& baseName,
                    const std::string& info)
{
    return joinPath(folderDir, "cur/" + baseName + ":2," + info);
}

void copyOldHeaders(GMimeObject* from, GMimeObject* to)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(from);
    const int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* name = g_mime_header_get_name(header);
        if (!isManagedHeader(name)) {
            g_mime_object_append_header(to, name, g_mime_header_get_value(header), "utf-8");
        }
    }
}

GPtr<GMimeMessage> parseFile(const std::string& path)
{
    GMimeStream* stream = g_mime_stream_fs_open(path.c_str(), O_RDONLY, 0, nullptr);
    if (!stream) {
        return nullptr;
    }
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser, nullptr));
    g_object_unref(parser);
    g_object_unref(stream);
    return message;
}

void addMailbox(InternetAddressList* list, const std::string& name, const std::string& address)
{
    if (address.empty()) {
        return;
    }
    InternetAddress* mailbox = internet_address_mailbox_new(name.c_str(), address.c_str());
    internet_address_list_add(list, mailbox);
    g_object_unref(mailbox);
}

void setStandardHeaders(GMimeMessage* message, const PropList& props)
{
    g_mime_message_set_subject(message, textOf(props, PR_SUBJECT).c_str(), "utf-8");
    const std::string& from = textOf(props, PR_SENT_REPRESENTING_EMAIL_ADDRESS);
    const std::string& sender = textOf(props, PR_SENDER_EMAIL_ADDRESS);
    addMailbox(g_mime_message_get_from(message), textOf(props, PR_SENT_REPRESENTING_NAME), from);
    if (sender != from ||
        textOf(props, PR_SENDER_NAME) != textOf(props, PR_SENT_REPRESENTING_NAME)) {
        addMailbox(g_mime_message_get_sender(message), textOf(props, PR_SENDER_NAME), sender);
    }
    if (const Prop* submit = findProp(props, PR_CLIENT_SUBMIT_TIME)) {
        const std::int64_t unix = (submit->number - 116444736000000000LL) / 10000000LL;
        GDateTime* date = g_date_time_new_from_unix_utc(unix);
        g_mime_message_set_date(message, date);
        g_date_time_unref(date);
    }
    if (const Prop* importance = findProp(props, PR_IMPORTANCE)) {
        const char* word = importance->number == IMPORTANCE_HIGH  ? "high"
                           : importance->number == IMPORTANCE_LOW ? "low"
                                                                  : "normal";
        g_mime_object_set_header(GMIME_OBJECT(message), "Importance", word, nullptr);
    }
    writeHeaderProperties(message, props);
    if (!g_mime_message_get_message_id(message)) {
        gchar* id = g_mime_utils_generate_message_id(g_get_host_name());
        g_mime_message_set_message_id(message, id);
        g_free(id);
    }
}

// GMime refuses a null buffer, which an empty vector may give.
GMimeStream* memoryStream(const BYTE* data, std::size_t size)
{
    static const char kEmpty[] = "";
    return g_mime_stream_mem_new_with_buffer(size ? reinterpret_cast<const char*>(data) : kEmpty,
                                             size);
}

GMimeObject* textPart(const char* subtype, const std::string& text)
{
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
    g_mime_text_part_set_text(part, text.c_str());
    GMimePart* mime = GMIME_PART(part);
    // A last line without its newline would gain one when read back from any encoding but
    // base64 (GMime writes no soft line break at the end of quoted-printable).
    const bool open = !text.empty() && text.back() != '\n';
    g_mime_part_set_content_encoding(
        mime, open ? GMIME_CONTENT_ENCODING_BASE64
                   : g_mime_part_get_best_content_encoding(mime, GMIME_ENCODING_CONSTRAINT_7BIT));
    return GMIME_OBJECT(part);
}

GMimePart* bytesPart(const char* type, const char* subtype, const BYTE* data, std::size_t size)
{
    GMimePart* part = g_mime_part_new_with_type(type, subtype);
    GMimeStream* stream = memoryStream(data, size);
    GMimeDataWrapper* wrapper =
        g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(part, wrapper);
    g_object_unref(wrapper);
    g_object_unref(stream);
    return part;
}

// The RTF as a text/rtf part; written like the text bodies, its bytes untouched.
GMimeObject* rtfPart(const std::string& rtf)
{
    GMimePart* part =
        bytesPart("text", "rtf", reinterpret_cast<const BYTE*>(rtf.data()), rtf.size());
    const bool open = !rtf.empty() && rtf.back() != '\n';
    g_mime_part_set_content_encoding(
        part, open ? GMIME_CONTENT_ENCODING_BASE64
                   : g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT));
    return GMIME_OBJECT(part);
}

// text/plain, text/html and text/rtf: one alone, or those present as alternatives.
GMimeObject* buildBody(const PropList& props)
{
    std::vector<GMimeObject*> parts;
    if (const Prop* text = findProp(props, PR_BODY)) {
        parts.push_back(textPart("plain", text->text()));
    }
    if (const Prop* html = findProp(props, PR_BODY_HTML)) {
        parts.push_back(textPart("html", html->text()));
    }
    std::string rtf;
    if (const Prop* compressed = findProp(props, PR_RTF_COMPRESSED);
        compressed && decodeCompressedRtf(compressed->data, &rtf)) {
        parts.push_back(rtfPart(rtf));
    }
    if (parts.empty()) {
        return textPart("plain", "");
    }
    if (parts.size() == 1) {
        return parts.front();
    }
    GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
    for (GMimeObject* part : parts) {
        g_mime_multipart_add(alternative, part);
        g_object_unref(part);
    }
    return GMIME_OBJECT(alternative);
}

// The file name of an attachment; the display name stands in for a file without one, not
// for an attached message, whose display name is its subject.
std::string attachmentName(const PropList& props, bool embedded)
{
    for (ULONG tag : {PR_ATTACH_LONG_FILENAME, PR_ATTACH_FILENAME, PR_DISPLAY_NAME}) {
        if (embedded && tag == PR_DISPLAY_NAME) {
            break;
        }
        if (const Prop* name = findProp(props, tag); name && !name->text().empty()) {
            return name->text();
        }
    }
    return {};
}

GPtr<GMimeMessage> parseBytes(const std::vector<BYTE>& data)
{
    GMimeStream* stream = memoryStream(data.data(), data.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser, nullptr));
    g_object_unref(parser);
    g_object_unref(stream);
    return message;
}

// Removes this library's private headers from `object` and every message inside it: they
// keep what only the store needs (recipient rows name Bcc recipients) and never leave it.
void removePrivateHeaders(GMimeObject* object)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    for (int i = g_mime_header_list_get_count(headers) - 1; i >= 0; --i) {
        if (isPrivateHeader(g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i)))) {
            g_mime_header_list_remove_at(headers, i);
        }
    }
    if (GMIME_IS_MESSAGE(object)) {
        if (GMimeObject* body = g_mime_message_get_mime_part(GMIME_MESSAGE(object))) {
            removePrivateHeaders(body);
        }
    } else if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            removePrivateHeaders(g_mime_multipart_get_part(multipart, i));
        }
    } else if (GMIME_IS_MESSAGE_PART(object)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object))) {
            removePrivateHeaders(GMIME_OBJECT(inner));
        }
    }
}

// An attached message goes back as message/rfc822 when its bytes parse as one.
GMimeObject* embeddedPart(const std::vector<BYTE>& data, bool forSending)
{
    GPtr<GMimeMessage> message = parseBytes(data);
    if (!message) {
        return nullptr;
    }
    if (forSending) {
        removePrivateHeaders(GMIME_OBJECT(message.get()));
    }
    return GMIME_OBJECT(g_mime_message_part_new_with_message("rfc822", message.get()));
}

GMimeObject* filePart(const PropList& props, const std::vector<BYTE>& data)
{
    const Prop* tag = findProp(props, PR_ATTACH_MIME_TAG);
    GMimeContentType* type =
        g_mime_content_type_parse(nullptr, tag ? tag->text().c_str() : "application/octet-stream");
    const bool known = type && g_mime_content_type_get_media_type(type) &&
                       g_mime_content_type_get_media_subtype(type) &&
                       !g_mime_content_type_is_type(type, "multipart", "*") &&
                       !g_mime_content_type_is_type(type, "message", "*");
    GMimePart* part =
        known ? bytesPart(g_mime_content_type_get_media_type(type),
                          g_mime_content_type_get_media_subtype(type), data.data(), data.size())
              : bytesPart("application", "octet-stream", data.data(), data.size());
    if (type) {
        g_object_unref(type);
    }
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    return GMIME_OBJECT(part);
}

GMimeObject* attachmentPart(const AttachmentData& attachment, bool forSending)
{
    const PropList& props = attachment.props;
    const Prop* method = findProp(props, PR_ATTACH_METHOD);
    GMimeObject* part = nullptr;
    const bool embedded = method && method->number == ATTACH_EMBEDDED_MSG;
    if (embedded) {
        part = embeddedPart(attachment.data, forSending);
    }
    if (!part) {
        part = filePart(props, attachment.data);
    }
    const Prop* contentId = findProp(props, PR_ATTACH_CONTENT_ID);
    const bool inlined = contentId && !contentId->text().empty();
    g_mime_object_set_disposition(part, inlined ? "inline" : "attachment");
    if (inlined) {
        g_mime_object_set_content_id(part, contentId->text().c_str());
    }
    // Non-ASCII names are written in the RFC 2231 form, GMime's default for parameters.
    const std::string name = attachmentName(props, embedded && GMIME_IS_MESSAGE_PART(part));
    if (!name.empty()) {
        g_mime_object_set_content_disposition_parameter(part, "filename", name.c_str());
        g_mime_object_set_content_type_parameter(part, "name", name.c_str());
    }
    return part;
}

void setBody(GMimeMessage* message, const PropList& props,
             const std::vector<AttachmentData>& attachments, bool forSending)
{
    GMimeObject* body = buildBody(props);
    if (!attachments.empty()) {
        GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
        g_mime_multipart_add(mixed, body);
        g_object_unref(body);
        for (const AttachmentData& attachment : attachments) {
            GMimeObject* part = attachmentPart(attachment, forSending);
            g_mime_multipart_add(mixed, part);
            g_object_unref(part);
        }
        body = GMIME_OBJECT(mixed);
    }
    g_mime_message_set_mime_part(message, body);
    g_object_unref(body);
}

// The headers of `old`, if any, that this library does not manage are carried over.
// `forSending`: without the private headers, which only this library reads back.
GPtr<GMimeMessage> buildMessage(const PropList& props, const RecipientList& recipients,
                                const std::vector<AttachmentData>& attachments, GMimeMessage* old,
                                bool forSending = false)
{
    GPtr<GMimeMessage> message(g_mime_message_new(FALSE));
    if (old) {
        copyOldHeaders(GMIME_OBJECT(old), GMIME_OBJECT(message.get()));
    }
    setStandardHeaders(message.get(), props);
    writeRecipients(message.get(), recipients, !forSending);
    if (!forSending) {
        writePrivateHeaders(GMIME_OBJECT(message.get()), props);
    }
    setBody(message.get(), props, attachments, forSending);
    return message;
}

// Flushes and closes `fd`, whose file `path` is removed on failure; `ok` and `error` say how
// writing went so far and get the first failure.
HRESULT finishNewFile(int fd, const std::string& path, bool ok, int error, int* failure)
{
    if (ok && fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        g_unlink(path.c_str());
        if (failure) {
            *failure = error;
        }
        return hresultFromErrno(error);
    }
    return S_OK;
}

int createNewFile(const std::string& path)
{
    return g_open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

// Writes `message` to a new file `path`, flushed to disk; the file is removed on failure.
HRESULT writeNewFile(GMimeMessage* message, const std::string& path)
{
    const int fd = createNewFile(path);
    if (fd < 0) {
        return hresultFromErrno(errno);
    }
    GMimeStream* stream = g_mime_stream_fs_new(fd);
    g_mime_stream_fs_set_owner(GMIME_STREAM_FS(stream), FALSE);
    errno = 0;
    const bool ok = g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, stream) >= 0 &&
                    g_mime_stream_flush(stream) == 0;
    const int error = errno != 0 ? errno : EIO;
    g_object_unref(stream);
    return finishNewFile(fd, path, ok, error, nullptr);
}

// Writes `bytes` to a new file `path`, all of them and flushed; the file is removed on failure.
HRESULT writeNewFile(const std::string& bytes, const std::string& path, int* failure)
{
    const int fd = createNewFile(path);
    if (fd < 0) {
        *failure = errno;
        return hresultFromErrno(errno);
    }
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    return finishNewFile(fd, path, done == bytes.size(), error, failure);
}

void setModificationTime(const std::string& path, std::int64_t unixTime)
{
    const utimbuf times{unixTime, unixTime};
    utime(path.c_str(), &times);
}

// The delivery time lives in the file's modification time: the set one, else the old file's.
void keepDeliveryTime(const std::string& path, const PropList& props, const std::string& oldPath)
{
    if (const Prop* delivered = findProp(props, PR_MESSAGE_DELIVERY_TIME)) {
        setModificationTime(path, (delivered->number - 116444736000000000LL) / 10000000LL);
        return;
    }
    GStatBuf info;
    if (!oldPath.empty() && g_stat(oldPath.c_str(), &info) == 0) {
        setModificationTime(path, info.st_mtime);
    }
}

// A rename is only durable once its directory is written out too.
void syncDirectoryOf(const std::string& path)
{
    gchar* dir = g_path_get_dirname(path.c_str());
    const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    g_free(dir);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::string tmpPath(const std::string& folderDir)
{
    return joinPath(folderDir, "tmp/" + newUniqueName());
}

HRESULT renameInto(const std::string& from, const std::string& to, int* failure = nullptr)
{
    if (g_rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        g_unlink(from.c_str());
        if (failure) {
            *failure = error;
        }
        return hresultFromErrno(error);
    }
    syncDirectoryOf(to);
    return S_OK;
}

// Stale copies of a message (see MessageFile::copies) go once the message has been written or
// moved. One left behind does no harm: listings read it as the same message.
void removeCopies(const MessageFile& file)
{
    for (const std::string& copy : file.copies) {
        g_unlink(copy.c_str());
    }
}

} // namespace

std::string newUniqueName()
{
    static std::atomic<unsigned> counter{0};
    timeval now{};
    gettimeofday(&now, nullptr);
    std::string host = g_get_host_name();
    for (char& c : host) {
        c = (c == '/' || c == ':') ? '_' : c;
    }
    gchar* name = g_strdup_printf("%lld.M%ldP%dQ%u.%s", static_cast<long long>(now.tv_sec),
                                  static_cast<long>(now.tv_usec), static_cast<int>(getpid()),
                                  ++counter, host.c_str());
    std::string result = name;
    g_free(name);
    return result;
}

std::string infoLetters(const std::string& oldInfo, std::uint32_t flags)
{
    std::string info;
    for (char c : oldInfo) {
        if (c != 'S' && c != 'D') {
            info += c;
        }
    }
    info += (flags & MSGFLAG_UNSENT) ? "D" : "";
    info += (flags & MSGFLAG_READ) ? "S" : "";
    std::sort(info.begin(), info.end()); // Maildir wants the letters in ASCII order
    return info;
}

HRESULT saveMessageFile(const SaveTarget& target, const PropList& props,
                        const RecipientList& recipients,
                        const std::vector<AttachmentData>& attachments)
{
    GPtr<GMimeMessage> old = target.old.path.empty() ? nullptr : parseFile(target.old.path);
    GPtr<GMimeMessage> message = buildMessage(props, recipients, attachments, old.get());
    const std::string tmp = tmpPath(target.folderDir);
    HRESULT hr = writeNewFile(message.get(), tmp);
    if (FAILED(hr)) {
        return hr;
    }
    keepDeliveryTime(tmp, props, target.old.path);
    const Prop* flags = findProp(props, PR_MESSAGE_FLAGS);
    const std::string info =
        infoLetters(target.old.info, flags ? static_cast<std::uint32_t>(flags->number) : 0);
    const std::string dest = curPath(target.folderDir, target.baseName, info);
    if (target.old.path.empty()) {
        return renameInto(tmp, dest);
    }
    // The new content replaces the old file under its own name in one step, and only then do
    // the flags change with a second rename: at no moment do two files hold the unique name,
    // nor none.
    hr = renameInto(tmp, target.old.path);
    if (FAILED(hr)) {
        return hr;
    }
    if (target.old.path != dest) {
        if (g_rename(target.old.path.c_str(), dest.c_str()) != 0) {
            return hresultFromErrno(errno); // saved, but under the old flags
        }
        syncDirectoryOf(dest);
    }
    removeCopies(target.old);
    return S_OK;
}

std::string renderForSending(const PropList& props, const RecipientList& recipients,
                             const std::vector<AttachmentData>& attachments,
                             const std::string& savedPath)
{
    GPtr<GMimeMessage> saved = savedPath.empty() ? nullptr : parseFile(savedPath);
    GPtr<GMimeMessage> message = buildMessage(props, recipients, attachments, saved.get(), true);
    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    g_mime_format_options_add_hidden_header(options, "Bcc");
    gchar* text = g_mime_object_to_string(GMIME_OBJECT(message.get()), options);
    g_mime_format_options_free(options);
    std::string bytes = text ? text : "";
    g_free(text);
    return bytes;
}

std::vector<BYTE> renderMessageBytes(const PropList& props, const RecipientList& recipients,
                                     const std::vector<AttachmentData>& attachments,
                                     const std::vector<BYTE>& oldBytes)
{
    GPtr<GMimeMessage> old = oldBytes.empty() ? nullptr : parseBytes(oldBytes);
    GPtr<GMimeMessage> message = buildMessage(props, recipients, attachments, old.get());
    GMimeStream* stream = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, stream);
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    std::vector<BYTE> bytes(array->data, array->data + array->len);
    g_object_unref(stream);
    return bytes;
}

HRESULT deliverMessageBytes(const std::string& folderDir, const std::string& baseName,
                            const std::string& bytes, const std::string& info)
{
    const std::string tmp = tmpPath(folderDir);
    int failure = 0;
    const HRESULT hr = writeNewFile(bytes, tmp, &failure);
    if (FAILED(hr)) {
        return hr;
    }
    // Unread mail arrives in new/ as a delivery agent leaves it; flagged mail goes to cur/.
    const std::string dest =
        info.empty() ? joinPath(folderDir, "new/" + baseName) : curPath(folderDir, baseName, info);
    return renameInto(tmp, dest);
}

HRESULT copyMessageFile(const MessageFile& file, const std::string& destDir,
                        const std::string& baseName, const FileRewrite& rewrite, int* failure)
{
    int ignored = 0;
    failure = failure ? failure : &ignored;
    gchar* data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(file.path.c_str(), &data, &size, nullptr)) {
        *failure = ENOENT;
        return MAPI_E_NOT_FOUND;
    }
    std::string bytes(data, size);
    g_free(data);
    if (rewrite) {
        bytes = rewrite(std::move(bytes));
    }
    const std::string tmp = tmpPath(destDir);
    const HRESULT hr = writeNewFile(bytes, tmp, failure);
    if (FAILED(hr)) {
        return hr;
    }
    GStatBuf info;
    if (g_stat(file.path.c_str(), &info) == 0) {
        setModificationTime(tmp, info.st_mtime);
    }
    return renameInto(tmp, curPath(destDir, baseName, file.info), failure);
}

HRESULT moveMessageFile(const MessageFile& file, const std::string& destDir,
                        const FileRewrite& rewrite, int* failure)
{
    int ignored = 0;
    failure = failure ? failure : &ignored;
    // A new unique name: synchronisers key their state on it (mbsync's ",U=" field, Dovecot's
    // uid list), and the same name in two folders would read as one message synced twice.
    const std::string baseName = newUniqueName();
    const std::string dest = curPath(destDir, baseName, file.info);
    if (!rewrite && g_rename(file.path.c_str(), dest.c_str()) == 0) {
        syncDirectoryOf(dest);
        removeCopies(file);
        return S_OK;
    }
    if (!rewrite && errno != EXDEV) {
        *failure = errno;
        return hresultFromErrno(errno);
    }
    // Rewritten, or onto another file system: a copy, then the original goes.
    const HRESULT hr = copyMessageFile(file, destDir, baseName, rewrite, failure);
    if (FAILED(hr)) {
        return hr;
    }
    if (g_unlink(file.path.c_str()) != 0) {
        *failure = errno; // copied, but the original stays: not a move
        return hresultFromErrno(errno);
    }
    removeCopies(file);
    return S_OK;
}

bool removeMessageFile(const MessageFile& file)
{
    bool removed = g_unlink(file.path.c_str()) == 0;
    for (const std::string& copy : file.copies) {
        removed = (g_unlink(copy.c_str()) == 0 || errno == ENOENT) && removed;
    }
    return removed;
}

HRESULT setSeenFlag(const MessageFile& file, bool read)
{
    gchar* subDir = g_path_get_dirname(file.path.c_str()); // its new/ or cur/
    gchar* folderDir = g_path_get_dirname(subDir);
    std::uint32_t flags = file.info.find('D') != std::string::npos ? MSGFLAG_UNSENT : 0;
    flags |= read ? MSGFLAG_READ : 0;
    const std::string dest = curPath(folderDir, file.baseName, infoLetters(file.info, flags));
    g_free(folderDir);
    g_free(subDir);
    if (dest != file.path && g_rename(file.path.c_str(), dest.c_str()) != 0) {
        return hresultFromErrno(errno);
    }
    return S_OK;
}

} // namespace vntmapi
