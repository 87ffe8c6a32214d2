#pragma once

#include <QByteArray>
#include <QString>

// The single-byte code page that legacy texts of the mail and database platforms use.
namespace vnt::codepage {

// The Unicode character of a Windows-1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
char16_t windows1252ToUnicode(unsigned char byte);

QString decodeWindows1252(const QByteArray& bytes);

// Text files written by older versions may be in Windows-1252: take UTF-8 when the
// bytes are valid UTF-8, otherwise Windows-1252.
QString decodeUtf8OrWindows1252(const QByteArray& bytes);

} // namespace vnt::codepage
