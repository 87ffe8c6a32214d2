#include "MimeContent.h"

namespace vntmapi {

namespace {

// An attachment is a part with a file name or an attachment disposition; a winmail.dat part
// often has only a name, which GMime alone would not count.
bool isAttachment(GMimePart* part)
{
    if (g_mime_part_is_attachment(part) || g_mime_part_get_filename(part)) {
        return true;
    }
    GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    return !g_mime_content_type_is_type(type, "text", "*");
}

std::string partText(GMimePart* part)
{
    if (!GMIME_IS_TEXT_PART(part)) {
        return {};
    }
    gchar* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
    std::string result = text ? validUtf8(text) : std::string();
    g_free(text);
    return result;
}

void takeBody(GMimePart* part, MessageContent* content)
{
    GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    if (content->bodyText.empty() && g_mime_content_type_is_type(type, "text", "plain")) {
        content->bodyText = partText(part);
    } else if (content->bodyHtml.empty() && g_mime_content_type_is_type(type, "text", "html")) {
        content->bodyHtml = partText(part);
    }
}

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

void scanParts(GMimeMessage* message, MessageContent* content, bool* hasAttachments)
{
    *hasAttachments = false;
    if (content) {
        gchar* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
        content->headers = headers ? validUtf8(headers) : std::string();
        g_free(headers);
    }
    GMimePartIter* iter = g_mime_part_iter_new(GMIME_OBJECT(message));
    bool more = g_mime_part_iter_is_valid(iter);
    while (more) {
        GMimeObject* current = g_mime_part_iter_get_current(iter);
        if (GMIME_IS_MESSAGE_PART(current)) {
            *hasAttachments = true; // an attached message
        } else if (GMIME_IS_PART(current)) {
            GMimePart* part = GMIME_PART(current);
            if (isAttachment(part)) {
                *hasAttachments = true;
            } else if (content) {
                takeBody(part, content);
            }
        }
        more = g_mime_part_iter_next(iter);
    }
    g_mime_part_iter_free(iter);
}

} // namespace vntmapi
