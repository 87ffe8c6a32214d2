#include "rtf/RtfPlainText.h"

#include "codepage/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

namespace vnt::rtf {

namespace {

using vnt::codepage::appendUtf8;

// Windows-1252 bytes 0x80-0x9F; the five it leaves undefined map to themselves.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t fromCp1252(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : byte;
}

// One code point from `text` at `*pos`; a byte that does not start valid UTF-8 is read as
// Windows-1252 so that no input is lost.
char32_t nextCodePoint(std::string_view text, std::size_t* pos)
{
    const auto lead = static_cast<unsigned char>(text[*pos]);
    const int length = lead < 0x80         ? 1
                       : (lead >> 5) == 6  ? 2
                       : (lead >> 4) == 14 ? 3
                       : (lead >> 3) == 30 ? 4
                                           : 0;
    if (length == 1 || length == 0 || *pos + length > text.size()) {
        ++*pos;
        return fromCp1252(lead);
    }
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[*pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++*pos;
            return fromCp1252(lead);
        }
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
        ++*pos;
        return fromCp1252(lead);
    }
    *pos += length;
    return c;
}

void appendUnicode(std::string* out, char32_t c)
{
    auto unit = [out](unsigned value) {
        *out += "\\u" + std::to_string(static_cast<std::int16_t>(value)) + "?";
    };
    if (c >= 0x10000) {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        unit(c);
    }
}

struct GroupState
{
    bool skip = false;     // a destination that carries no text
    bool rtfOnly = false;  // inside \htmlrtf: not part of the encapsulated HTML
    bool htmlTag = false;  // an \*\htmltag group: literal HTML
    int fallbackChars = 1; // \ucN
};

bool isSkippedDestination(std::string_view word)
{
    static constexpr std::string_view kSkipped[] = {"fonttbl",
                                                    "colortbl",
                                                    "stylesheet",
                                                    "info",
                                                    "pict",
                                                    "object",
                                                    "header",
                                                    "headerl",
                                                    "headerr",
                                                    "headerf",
                                                    "footer",
                                                    "footerl",
                                                    "footerr",
                                                    "footerf",
                                                    "listtable",
                                                    "listoverridetable",
                                                    "rsidtbl",
                                                    "generator",
                                                    "xmlnstbl",
                                                    "themedata",
                                                    "colorschememapping",
                                                    "datastore",
                                                    "latentstyles",
                                                    "fldinst",
                                                    "filetbl",
                                                    "revtbl",
                                                    "pgdsctbl",
                                                    "mhtmltag",
                                                    "bkmkstart",
                                                    "bkmkend"};
    return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

char32_t symbolForWord(std::string_view word)
{
    static constexpr std::pair<std::string_view, char32_t> kSymbols[] = {
        {"par", U'\n'},        {"line", U'\n'},     {"sect", U'\n'},     {"row", U'\n'},
        {"tab", U'\t'},        {"cell", U'\t'},     {"emdash", 0x2014},  {"endash", 0x2013},
        {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005}};
    for (const auto& [name, c] : kSymbols) {
        if (name == word) {
            return c;
        }
    }
    return 0;
}

class Extractor
{
public:
    explicit Extractor(std::string_view rtf)
        : m_rtf(rtf)
    {}

    RtfExtract run()
    {
        while (m_pos < m_rtf.size()) {
            const char c = m_rtf[m_pos++];
            if (c == '{') {
                m_stack.push_back(m_state);
                m_pendingSkip = 0;
            } else if (c == '}') {
                closeGroup();
            } else if (c == '\\') {
                control();
            } else if (c != '\r' && c != '\n') {
                character(fromCp1252(static_cast<unsigned char>(c)));
            }
        }
        return {std::move(m_out), m_html};
    }

private:
    void closeGroup()
    {
        if (!m_stack.empty()) {
            m_state = m_stack.back();
            m_stack.pop_back();
        }
        m_pendingSkip = 0;
        m_destination = false;
    }

    void control()
    {
        if (m_pos >= m_rtf.size()) {
            return;
        }
        const char c = m_rtf[m_pos];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            controlWord();
            return;
        }
        ++m_pos;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            character(char32_t(c));
            break;
        case '~':
            character(0xA0);
            break;
        case '_':
            character(0x2011);
            break;
        case '\'':
            hexByte();
            break;
        case '*':
            m_destination = true;
            break;
        case '\r':
        case '\n':
            character(U'\n');
            break;
        default: // \- and the other symbols carry no text
            break;
        }
    }

    void hexByte()
    {
        int value = 0;
        for (int i = 0; i < 2; ++i) {
            const char h = m_pos < m_rtf.size() ? m_rtf[m_pos] : '\0';
            const int digit = (h >= '0' && h <= '9')   ? h - '0'
                              : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                              : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                       : -1;
            if (digit < 0) {
                return;
            }
            value = value * 16 + digit;
            ++m_pos;
        }
        character(fromCp1252(static_cast<unsigned char>(value)));
    }

    void controlWord()
    {
        const std::size_t start = m_pos;
        while (m_pos < m_rtf.size() && std::isalpha(static_cast<unsigned char>(m_rtf[m_pos]))) {
            ++m_pos;
        }
        const std::string_view word = m_rtf.substr(start, std::min<std::size_t>(m_pos - start, 32));
        bool hasNumber = false;
        std::int64_t number = 0;
        const bool negative = m_pos < m_rtf.size() && m_rtf[m_pos] == '-';
        m_pos += negative ? 1 : 0;
        while (m_pos < m_rtf.size() && std::isdigit(static_cast<unsigned char>(m_rtf[m_pos]))) {
            number = std::min<std::int64_t>(number * 10 + (m_rtf[m_pos] - '0'), 1 << 30);
            hasNumber = true;
            ++m_pos;
        }
        number = negative ? -number : number;
        if (m_pos < m_rtf.size() && m_rtf[m_pos] == ' ') {
            ++m_pos; // the delimiter belongs to the word
        }
        apply(word, hasNumber, number);
        m_destination = false;
    }

    void apply(std::string_view word, bool hasNumber, std::int64_t number)
    {
        if (m_destination) {
            if (m_html && word == "htmltag") {
                m_state.htmlTag = true;
            } else {
                m_state.skip = true;
            }
        } else if (isSkippedDestination(word)) {
            m_state.skip = true;
        } else if (word == "fromhtml") {
            m_html = !hasNumber || number != 0;
        } else if (word == "htmlrtf") {
            m_state.rtfOnly = !hasNumber || number != 0;
        } else if (word == "bin" && hasNumber) {
            // Raw bytes follow, which must not be read as RTF.
            m_pos += std::min<std::size_t>(std::size_t(std::max<std::int64_t>(number, 0)),
                                           m_rtf.size() - m_pos);
        } else if (word == "uc" && hasNumber) {
            m_state.fallbackChars = int(std::clamp<std::int64_t>(number, 0, 16));
        } else if (word == "u" && hasNumber) {
            unicode(static_cast<char16_t>(number < 0 ? number + 65536 : number));
        } else if (const char32_t c = symbolForWord(word)) {
            character(c);
        }
    }

    void unicode(char16_t unit)
    {
        if (unit >= 0xD800 && unit < 0xDC00) {
            m_highSurrogate = unit;
        } else if (unit >= 0xDC00 && unit < 0xE000) {
            if (m_highSurrogate) {
                emit(0x10000 + ((char32_t(m_highSurrogate) - 0xD800) << 10) + (unit - 0xDC00));
            }
            m_highSurrogate = 0;
        } else {
            emit(unit);
        }
        m_pendingSkip = m_state.fallbackChars;
    }

    void character(char32_t c)
    {
        if (m_pendingSkip > 0) {
            --m_pendingSkip; // the fallback of the \uN before
            return;
        }
        emit(c);
    }

    void emit(char32_t c)
    {
        const bool shown = !m_state.skip && (!m_html || m_state.htmlTag || !m_state.rtfOnly);
        if (shown) {
            appendUtf8(&m_out, c);
        }
    }

    std::string_view m_rtf;
    std::size_t m_pos = 0;
    std::vector<GroupState> m_stack;
    GroupState m_state;
    bool m_html = false;
    bool m_destination = false;
    int m_pendingSkip = 0;
    char16_t m_highSurrogate = 0;
    std::string m_out;
};

} // namespace

std::string plainTextToRtfUtf8(std::string_view text)
{
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                      "\\uc1\\pard\\f0\\fs20 ";
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = nextCodePoint(text, &pos);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && pos < text.size() && text[pos] == '\n') {
                ++pos;
            }
            out += "\\par\r\n";
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x80) {
            out += char(c);
        } else {
            appendUnicode(&out, c);
        }
    }
    out += "}";
    return out;
}

RtfExtract extractRtfText(std::string_view rtf)
{
    return Extractor(rtf).run();
}

} // namespace vnt::rtf
