#pragma once

#include <string>
#include <string_view>

namespace vnt::rtf {

// Conversions between plain text and RTF on UTF-8 bytes, for the mail library, which has no
// Qt Gui and so cannot use rtfToPlainText() and plainTextToRtf().

// A minimal RTF document holding the UTF-8 `text`: "\r\n", "\n" and "\r" end paragraphs, tabs
// become \tab, \ { } are escaped and characters above 127 become \uN? (UTF-16 units, as
// signed numbers). Bytes that are not UTF-8 are taken as Windows-1252.
std::string plainTextToRtfUtf8(std::string_view text);

struct RtfExtract
{
    std::string text;    // UTF-8
    bool isHtml = false; // `text` is the HTML that an \fromhtml document encapsulates
};

// The text of `rtf` as UTF-8, paragraphs ending in "\n". Skipped: \* destinations, font and
// colour tables, style sheets, document information, pictures, objects, field instructions.
// An \fromhtml document gives back its HTML: the \*\htmltag groups and the text outside
// \htmlrtf. \'hh bytes are read as Windows-1252.
RtfExtract extractRtfText(std::string_view rtf);

} // namespace vnt::rtf
