#include "MimeContent.h"

#include "TextClean.h"

#include <cstring>

namespace vntmapi {

namespace {

enum class BodyKind { None, Plain, Html, Rtf };

// A Content-Type that is not "type/subtype" (a bare "text", say) means text/plain; us-ascii
// (RFC 2045, 5.2), where GMime would make it application/octet-stream.
bool hasInvalidContentType(GMimeObject* object)
{
    const char* raw = g_mime_object_get_header(object, "Content-Type");
    return raw && !std::strchr(raw, '/');
}

BodyKind bodyKind(GMimeObject* object)
{
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (g_mime_content_type_is_type(type, "text", "plain") || hasInvalidContentType(object)) {
        return BodyKind::Plain;
    }
    if (g_mime_content_type_is_type(type, "text", "html")) {
        return BodyKind::Html;
    }
    if (g_mime_content_type_is_type(type, "text", "rtf") ||
        g_mime_content_type_is_type(type, "application", "rtf")) {
        return BodyKind::Rtf;
    }
    return BodyKind::None;
}

// An attachment is a part with an attachment disposition, or with a file name unless it is
// plain or HTML text: inline text is shown even when it carries a name (RFC 2183), while a
// winmail.dat part often has only a name, which GMime alone would not count. Other parts are
// attachments unless they can be a body.
bool isAttachment(GMimePart* part)
{
    if (g_mime_part_is_attachment(part)) {
        return true;
    }
    const BodyKind kind = bodyKind(GMIME_OBJECT(part));
    if (kind == BodyKind::Plain || kind == BodyKind::Html) {
        return false;
    }
    return kind == BodyKind::None || g_mime_part_get_filename(part);
}

// The decoded text of a part labelled UTF-8 (up to a NUL, as the converted C string ends
// there) without a pass through iconv; false for any other label.
bool utf8PartText(GMimePart* part, std::string* text)
{
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    const char* name = charset ? g_mime_charset_iconv_name(charset) : nullptr;
    if (!name || g_ascii_strcasecmp(name, "UTF-8") != 0) {
        return false;
    }
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) {
        return false;
    }
    GMimeStream* stream = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(wrapper, stream);
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    const auto* bytes = reinterpret_cast<const char*>(array->data);
    const std::size_t size = bytes ? strnlen(bytes, array->len) : 0;
    if (size == 0 || g_utf8_validate(bytes, static_cast<gssize>(size), nullptr)) {
        text->assign(bytes ? bytes : "", size);
    } else {
        // A conversion would drop the bytes that break the label; keep what they stand for.
        *text = utf8WithWindows1252Bytes(bytes, size);
    }
    g_object_unref(stream);
    return true;
}

std::string partText(GMimePart* part)
{
    if (!GMIME_IS_TEXT_PART(part)) {
        return {};
    }
    std::string utf8;
    if (utf8PartText(part, &utf8)) {
        return cleanText(utf8, true);
    }
    gchar* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
    // Labels lie (Windows-1252 sent as ISO-8859-1) and broken encodings leave control bytes.
    std::string result = text ? cleanText(validUtf8(text), true) : std::string();
    g_free(text);
    return result;
}

void takeBody(GMimePart* part, BodyKind kind, MessageContent* content)
{
    if (kind == BodyKind::Plain) {
        content->bodyText = partText(part);
    } else if (kind == BodyKind::Html) {
        content->bodyHtml = partText(part);
    } else if (kind == BodyKind::Rtf) {
        const std::vector<BYTE> bytes = partBytes(part);
        content->bodyRtf.assign(bytes.begin(), bytes.end());
    }
}

std::vector<BYTE> streamBytes(GMimeStream* stream)
{
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::vector<BYTE>(array->data, array->data + array->len);
}

std::vector<BYTE> messageBytes(GMimeMessage* message)
{
    GMimeStream* stream = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, stream);
    std::vector<BYTE> bytes = streamBytes(stream);
    g_object_unref(stream);
    return bytes;
}

void addText(PropList* props, ULONG tag, const char* value)
{
    if (value && *value) {
        props->push_back(stringProp(tag, validUtf8(value)));
    }
}

std::string mimeTag(GMimeObject* object)
{
    GMimeContentType* type = g_mime_object_get_content_type(object);
    gchar* tag = g_mime_content_type_get_mime_type(type);
    gchar* lower = tag ? g_ascii_strdown(tag, -1) : nullptr;
    std::string result = lower ? lower : "application/octet-stream";
    g_free(lower);
    g_free(tag);
    return result;
}

// The parts of the file name and the type every attachment shows.
void describe(GMimeObject* object, const char* fileName, AttachmentData* attachment)
{
    PropList* props = &attachment->props;
    props->push_back(longProp(PR_OBJECT_TYPE, MAPI_ATTACH));
    addText(props, PR_ATTACH_FILENAME, fileName);
    addText(props, PR_ATTACH_LONG_FILENAME, fileName);
    if (const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr) {
        addText(props, PR_ATTACH_EXTENSION, dot);
    }
    props->push_back(stringProp(PR_ATTACH_MIME_TAG, mimeTag(object)));
    addText(props, PR_ATTACH_CONTENT_ID, g_mime_object_get_content_id(object));
    props->push_back(longProp(PR_RENDERING_POSITION, -1));
    props->push_back(longProp(PR_ATTACH_SIZE, static_cast<std::int64_t>(attachment->data.size())));
}

AttachmentData embeddedAttachment(GMimeMessagePart* part)
{
    AttachmentData attachment;
    GMimeMessage* message = g_mime_message_part_get_message(part);
    if (message) {
        attachment.data = messageBytes(message);
    }
    GMimeObject* object = GMIME_OBJECT(part);
    const char* fileName = g_mime_object_get_content_disposition_parameter(object, "filename");
    if (!fileName) {
        fileName = g_mime_object_get_content_type_parameter(object, "name");
    }
    describe(object, fileName, &attachment);
    attachment.props.push_back(longProp(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG));
    const char* subject = message ? g_mime_message_get_subject(message) : nullptr;
    addText(&attachment.props, PR_DISPLAY_NAME, fileName ? fileName : subject);
    return attachment;
}

AttachmentData fileAttachment(GMimePart* part)
{
    AttachmentData attachment;
    attachment.data = partBytes(part);
    const char* fileName = g_mime_part_get_filename(part);
    describe(GMIME_OBJECT(part), fileName, &attachment);
    attachment.props.push_back(longProp(PR_ATTACH_METHOD, ATTACH_BY_VALUE));
    addText(&attachment.props, PR_DISPLAY_NAME, fileName);
    return attachment;
}

struct Walk
{
    MessageContent* content;
    bool* hasAttachments;
    bool seen[4] = {}; // by BodyKind: the first part of each kind is the body
    GMimeMessage* firstAttachedMessage = nullptr;

    bool foundBody() const
    {
        return seen[int(BodyKind::Plain)] || seen[int(BodyKind::Html)] || seen[int(BodyKind::Rtf)];
    }

    void leaf(GMimePart* part)
    {
        if (!isAttachment(part)) {
            const BodyKind kind = bodyKind(GMIME_OBJECT(part));
            bool& taken = seen[static_cast<int>(kind)];
            if (!taken) {
                taken = true;
                if (content) {
                    takeBody(part, kind, content);
                }
                return;
            }
        }
        *hasAttachments = true;
        if (content) {
            content->attachments.push_back(fileAttachment(part));
        }
    }

    void object(GMimeObject* object)
    {
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count; ++i) {
                this->object(g_mime_multipart_get_part(multipart, i));
            }
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            *hasAttachments = true;
            if (!firstAttachedMessage) {
                firstAttachedMessage = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            }
            if (content) {
                content->attachments.push_back(embeddedAttachment(GMIME_MESSAGE_PART(object)));
            }
        } else if (GMIME_IS_PART(object)) {
            leaf(GMIME_PART(object));
        }
    }
};

} // namespace

std::string validUtf8(const char* text, gssize size)
{
    if (g_utf8_validate(text, size, nullptr)) {
        return size < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(size));
    }
    gchar* converted = g_convert_with_fallback(text, size, "UTF-8", "WINDOWS-1252", "?", nullptr,
                                               nullptr, nullptr);
    std::string result = converted ? converted : "";
    g_free(converted);
    return result;
}

std::vector<BYTE> partBytes(GMimePart* part)
{
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) {
        return {};
    }
    GMimeStream* stream = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(wrapper, stream);
    std::vector<BYTE> bytes = streamBytes(stream);
    g_object_unref(stream);
    return bytes;
}

namespace {

// Forwarded messages are followed this deep for a body, no further.
constexpr int kDeepestForward = 8;

void scanPartsAt(GMimeMessage* message, MessageContent* content, bool* hasAttachments, int depth)
{
    *hasAttachments = false;
    if (content) {
        gchar* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
        content->headers = headers ? validUtf8(headers) : std::string();
        g_free(headers);
    }
    if (GMimeObject* body = g_mime_message_get_mime_part(message)) {
        Walk walk{content, hasAttachments};
        walk.object(body);
        // A message that only forwards another one reads as the message it forwards; the
        // forwarded one stays an attachment too.
        if (content && !walk.foundBody() && walk.firstAttachedMessage && depth < kDeepestForward) {
            MessageContent inner;
            bool innerAttachments = false;
            scanPartsAt(walk.firstAttachedMessage, &inner, &innerAttachments, depth + 1);
            content->bodyText = std::move(inner.bodyText);
            content->bodyHtml = std::move(inner.bodyHtml);
            content->bodyRtf = std::move(inner.bodyRtf);
        }
    }
    if (content) {
        content->hasAttachments = *hasAttachments;
    }
}

} // namespace

void scanParts(GMimeMessage* message, MessageContent* content, bool* hasAttachments)
{
    scanPartsAt(message, content, hasAttachments, 0);
}

} // namespace vntmapi
