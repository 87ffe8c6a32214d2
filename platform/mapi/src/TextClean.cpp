#include "TextClean.h"

#include <glib.h>

namespace vntmapi {

namespace {

// Windows-1252 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr gunichar kC1[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                              0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool keptControl(gunichar c, bool multiLine)
{
    return multiLine && (c == '\t' || c == '\n' || c == '\r' || c == '\f');
}

void append(std::string* out, gunichar c)
{
    char buffer[6];
    out->append(buffer, static_cast<std::size_t>(g_unichar_to_utf8(c, buffer)));
}

} // namespace

std::string cleanText(const std::string& utf8, bool multiLine)
{
    // Most text needs nothing: leave it untouched without re-encoding.
    bool clean = true;
    for (const unsigned char byte : utf8) {
        if (byte < 0x20 || byte == 0x7F || byte == 0xC2) {
            clean = false;
            break;
        }
    }
    if (clean) {
        return utf8;
    }
    std::string out;
    out.reserve(utf8.size());
    const char* p = utf8.data();
    const char* end = p + utf8.size();
    while (p < end) {
        const gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            ++p; // not UTF-8 after all: drop the byte rather than pass it on
            continue;
        }
        p = g_utf8_next_char(p);
        if (c >= 0x80 && c <= 0x9F) {
            if (kC1[c - 0x80] != 0) {
                append(&out, kC1[c - 0x80]);
            }
        } else if ((c < 0x20 || c == 0x7F) && !keptControl(c, multiLine)) {
            if (!multiLine && (c == '\t' || c == '\n' || c == '\r') && !out.empty() &&
                out.back() != ' ') {
                out += ' ';
            }
        } else {
            append(&out, c);
        }
    }
    return out;
}

} // namespace vntmapi
