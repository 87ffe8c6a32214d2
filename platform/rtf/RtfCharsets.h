#pragma once

#include <QtGlobal>

namespace vnt::rtf::detail {

// The character of a byte met as \'hh (or as a raw byte of 8-bit input). In fonts with
// the symbol character set the byte is a Symbol font position; positions that font
// leaves to plain text fall back to the document's code page.
char16_t decodeByte(unsigned char byte, bool symbolFont);

// Whether `c` may go into a QTextDocument as text. Control characters other than tab
// carry no text in RTF, and QTextDocument gives paragraph and frame separators and the
// object replacement character a structural meaning that text must not fake.
bool isDocumentChar(char16_t c);

} // namespace vnt::rtf::detail
