// Unpacks any input as HTML encapsulated in RTF, read as UTF-8 when it is valid and as a
// single-byte code page otherwise, then turns the HTML into text as the read window does.

#include "codepage/Windows1252.h"
#include "mail/HtmlConverters.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString rtf = vnt::codepage::decodeUtf8OrWindows1252(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    static_cast<void>(IsEncapsulatedHtml(rtf));
    const QString html = UnpackEncapsulatedHtml(rtf);
    if (html.size() > rtf.size() || HtmlToText(html).size() > html.size())
        __builtin_trap();
    return 0;
}
