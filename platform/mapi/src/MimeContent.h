// What a message's MIME parts hold beyond its headers: the bodies and whether any part is an
// attachment.
#pragma once

#include "Property.h"

#include <gmime/gmime.h>
#include <string>

namespace vntmapi {

struct MessageContent
{
    std::string bodyText;             // first text/plain part that is not an attachment, as UTF-8
    std::string bodyHtml;             // first text/html part that is not an attachment, as UTF-8
    std::string headers;              // the top-level header block
    PropList stored;                  // properties kept in this library's private headers
    std::vector<PropList> recipients; // To, Cc and Bcc as recipient rows
    bool hasAttachments = false;
};

// Walks every part (attached messages included). Bodies are decoded only when `content` is
// given; `hasAttachments` is always filled.
void scanParts(GMimeMessage* message, MessageContent* content, bool* hasAttachments);

// `text` as valid UTF-8: unchanged when it is, else read as Windows-1252.
std::string validUtf8(const char* text, gssize size = -1);

} // namespace vntmapi
