#include "TextClean.h"

#include <cstring>
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

std::string utf8WithWindows1252Bytes(const char* text, std::size_t size)
{
    std::string out;
    out.reserve(size + size / 8);
    const char* pos = text;
    const char* const end = text + size;
    while (pos < end) {
        const gchar* validEnd = nullptr;
        g_utf8_validate(pos, end - pos, &validEnd);
        out.append(pos, static_cast<std::size_t>(validEnd - pos));
        pos = validEnd;
        if (pos < end) {
            const auto byte = static_cast<unsigned char>(*pos++);
            const gunichar c = byte >= 0x80 && byte < 0xA0 ? kC1[byte - 0x80] : byte;
            append(&out, c ? c : gunichar('?'));
        }
    }
    return out;
}

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
    // What stays as it is goes on in runs: a 1 MB body is mostly such text.
    std::string out;
    out.reserve(utf8.size());
    const char* p = utf8.data();
    const char* end = p + utf8.size();
    const char* run = p;
    const auto replace = [&](const char* next) {
        out.append(run, p);
        run = next;
        p = next;
    };
    while (p < end) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte >= 0x20 && byte < 0x7F) {
            ++p;
            continue;
        }
        const gunichar c = byte < 0x80 ? byte : g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            replace(p + 1); // not UTF-8 after all: drop the byte rather than pass it on
            continue;
        }
        const char* next = g_utf8_next_char(p);
        if (c >= 0x80 && c <= 0x9F) {
            replace(next);
            if (kC1[c - 0x80] != 0) {
                append(&out, kC1[c - 0x80]);
            }
            continue;
        }
        if ((c < 0x20 || c == 0x7F) && !keptControl(c, multiLine)) {
            replace(next);
            if (!multiLine && (c == '\t' || c == '\n' || c == '\r') && !out.empty() &&
                out.back() != ' ') {
                out += ' ';
            }
            continue;
        }
        // Passed on as written, unless written otherwise than UTF-8 writes it.
        char buffer[6];
        const auto size = static_cast<std::ptrdiff_t>(g_unichar_to_utf8(c, buffer));
        if (size != next - p || std::memcmp(buffer, p, static_cast<std::size_t>(size)) != 0) {
            replace(next);
            out.append(buffer, static_cast<std::size_t>(size));
            continue;
        }
        p = next;
    }
    out.append(run, p);
    return out;
}

} // namespace vntmapi
