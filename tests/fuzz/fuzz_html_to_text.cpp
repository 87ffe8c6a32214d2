// Turns any input into text as HTML, read as UTF-8 when it is valid and as a single-byte
// code page otherwise. The converter must never write more than it reads.

#include "codepage/Windows1252.h"
#include "mail/HtmlConverters.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString html = vnt::codepage::decodeUtf8OrWindows1252(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (HtmlToText(html).size() > html.size())
        __builtin_trap();
    return 0;
}
