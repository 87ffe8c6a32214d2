// What a message's MIME parts hold beyond its headers: the bodies and the attachments.
#pragma once

#include "Property.h"

#include <gmime/gmime.h>
#include <string>

namespace vntmapi {

// One attachment as the library keeps it: its properties (no PR_ATTACH_NUM) and its bytes,
// the decoded content or, for an attached message, the message as a file holds it.
struct AttachmentData
{
    PropList props;
    std::vector<BYTE> data;
};

struct MessageContent
{
    std::string bodyText;             // first text/plain part that is not an attachment, as UTF-8
    std::string bodyHtml;             // first text/html part that is not an attachment, as UTF-8
    std::string bodyRtf;              // first text/rtf part that is not an attachment, as bytes
    std::string headers;              // the top-level header block
    PropList headerProps;             // sensitivity, reply-to and the like (MessageHeaders.h)
    PropList stored;                  // properties kept in this library's private headers
    std::vector<PropList> recipients; // To, Cc and Bcc as recipient rows
    std::vector<AttachmentData> attachments;
    bool hasAttachments = false;
};

// Walks the parts of `message` without entering attached messages, but for the body of one
// that only forwards another message. Bodies and attachments
// are decoded only when `content` is given; `hasAttachments` is always filled.
void scanParts(GMimeMessage* message, MessageContent* content, bool* hasAttachments);

// `text` as valid UTF-8: unchanged when it is, else read as Windows-1252.
std::string validUtf8(const char* text, gssize size = -1);

// The decoded content of `part`.
std::vector<BYTE> partBytes(GMimePart* part);

} // namespace vntmapi
