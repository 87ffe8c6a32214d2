// Making decoded mail text fit to show: senders routinely label Windows-1252 text as
// ISO-8859-1, and broken transfer encodings leave control bytes behind.
#pragma once

#include <string>

namespace vntmapi {

// `utf8` (valid UTF-8) with C1 controls U+0080..U+009F read as the Windows-1252 characters
// their byte values stand for, and other control characters dropped: all of them for a
// one-line field, all but tab, line feed, carriage return and form feed for a body.
std::string cleanText(const std::string& utf8, bool multiLine);

// Text labelled UTF-8 that is not all UTF-8: its valid sequences as they are, and each byte
// that breaks a sequence read as Windows-1252 ("?" where that code page has no character),
// so that a "Café" written by a program that ignored its own label keeps its "é".
std::string utf8WithWindows1252Bytes(const char* text, std::size_t size);

} // namespace vntmapi
