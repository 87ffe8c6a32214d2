#include "mail/HtmlReferenceDecoder.h"

#include "codepage/Windows1252.h"
#include "mail/HtmlConverters.h"
#include "mail/HtmlEntityTable.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

struct LegacyReference
{
    std::string_view name;
    char16_t character;
};

// The names mail clients have always written, read with case ignored. They come before
// the HTML5 names, so "&nbsp;" stays a plain space. Windows Latin-1 code page characters;
// from 160 up it agrees with Unicode.
constexpr std::array<LegacyReference, 25> kLegacyReferences = {{
    {"nbsp", u' '},  {"quot", u'"'},  {"amp", u'&'},   {"cent", 162},  {"pound", 163},
    {"brvbar", 166}, {"brkbar", 166}, {"copy", 169},   {"reg", 174},   {"curren", 164},
    {"yen", 165},    {"shy", 173},    {"sup2", 178},   {"sup3", 179},  {"micro", 181},
    {"para", 182},   {"middot", 183}, {"cedil", 184},  {"sup1", 185},  {"laquo", 171},
    {"raquo", 187},  {"deg", 176},    {"plusmn", 177}, {"iexcl", 161}, {"iquest", 191},
}};
constexpr qsizetype kLongestLegacyName = 6;

constexpr char32_t kBeyondUnicode = 0x110000;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool isNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Adds a digit to a value that stops growing once it is past the last character, so
// that a long run of digits cannot overflow it.
char32_t appendDigit(char32_t value, int base, int digit)
{
    if (value >= kBeyondUnicode)
        return kBeyondUnicode;
    return std::min<char32_t>(value * char32_t(base) + char32_t(digit), kBeyondUnicode);
}

HtmlReferenceDecoder::Reference singleUnit(char16_t unit, qsizetype length)
{
    HtmlReferenceDecoder::Reference reference;
    reference.units[0] = unit;
    reference.unitCount = 1;
    reference.length = length;
    return reference;
}

// The text of a numeric reference of `length` characters. Values below 256 go through the
// converter's table, a few punctuation marks become plain ones, and every other value
// is its Unicode character.
HtmlReferenceDecoder::Reference numericCharacter(char32_t value, qsizetype length)
{
    switch (value) {
    case 8211:
        return singleUnit(u'-', length);
    case 8226:
        return singleUnit(htmlReferenceCharacter(149), length);
    case 8217:
        return singleUnit(htmlReferenceCharacter(146), length);
    case 8242:
        return singleUnit(u'\'', length);
    case 8260:
        return singleUnit(u'/', length);
    default:
        break;
    }
    if (value < 256) {
        const char16_t character = htmlReferenceCharacter(int(value));
        return character == 0 ? HtmlReferenceDecoder::Reference{} : singleUnit(character, length);
    }
    if (value >= kBeyondUnicode || QChar::isSurrogate(value))
        return {};
    if (!QChar::requiresSurrogates(value))
        return singleUnit(char16_t(value), length);
    HtmlReferenceDecoder::Reference reference;
    reference.units[0] = QChar::highSurrogate(value);
    reference.units[1] = QChar::lowSurrogate(value);
    reference.unitCount = 2;
    reference.length = length;
    return reference;
}

const HtmlNamedEntity* findHtmlEntity(std::string_view name)
{
    const auto found = std::lower_bound(
        kHtmlNamedEntities.begin(), kHtmlNamedEntities.end(), name,
        [](const HtmlNamedEntity& entity, std::string_view key) { return entity.name < key; });
    return found != kHtmlNamedEntities.end() && found->name == name ? &*found : nullptr;
}

} // namespace

char16_t htmlReferenceCharacter(int code)
{
    if (code < 1 || code > 255)
        return 0;
    if (code <= 8 || code == 11 || code == 12 || (code >= 14 && code <= 31) || code == 127 ||
        code == 129 || (code >= 141 && code <= 144) || code == 157 || code == 158)
        return 0;
    if (code == 64)
        return u'=';
    return vnt::codepage::windows1252ToUnicode(uchar(code));
}

HtmlReferenceDecoder::HtmlReferenceDecoder(QStringView text)
    : m_text(text)
{}

HtmlReferenceDecoder::Reference HtmlReferenceDecoder::decode(qsizetype position) const
{
    if (position + 1 >= m_text.size())
        return {};
    if (m_text[position + 1] == u'#')
        return numeric(position);
    return named(position);
}

HtmlReferenceDecoder::Reference HtmlReferenceDecoder::numeric(qsizetype position) const
{
    const qsizetype marker = position + 2;
    if (marker < m_text.size() && (m_text[marker] == u'x' || m_text[marker] == u'X'))
        return hexadecimal(position);
    return decimal(position);
}

// "&#" and two to four digits; two or three need a ";", after four one is assumed. Five
// or more digits are read whole, as HTML does, and take a ";" that follows.
HtmlReferenceDecoder::Reference HtmlReferenceDecoder::decimal(qsizetype position) const
{
    const qsizetype first = position + 2;
    char32_t value = 0;
    qsizetype digits = 0;
    while (first + digits < m_text.size() && isDigit(m_text[first + digits])) {
        value = appendDigit(value, 10, m_text[first + digits].unicode() - u'0');
        ++digits;
    }
    const qsizetype end = first + digits;
    if (digits >= 5) {
        const bool semicolon = end < m_text.size() && m_text[end] == u';';
        return numericCharacter(value, end + (semicolon ? 1 : 0) - position);
    }
    if (digits < 2 || end >= m_text.size())
        return {};
    if (digits < 4 && m_text[end] != u';')
        return {};
    return numericCharacter(value, end + 1 - position);
}

// "&#x" and hexadecimal digits, with a ";" taken when one follows.
HtmlReferenceDecoder::Reference HtmlReferenceDecoder::hexadecimal(qsizetype position) const
{
    const qsizetype first = position + 3;
    char32_t value = 0;
    qsizetype end = first;
    for (int digit = 0; end < m_text.size() && (digit = hexDigitValue(m_text[end])) >= 0; ++end)
        value = appendDigit(value, 16, digit);
    if (end == first)
        return {};
    const bool semicolon = end < m_text.size() && m_text[end] == u';';
    return numericCharacter(value, end + (semicolon ? 1 : 0) - position);
}

// "&", a name and ";". The old names and "lt" and "gt" are looked up with case ignored,
// then the HTML5 names as written. "&Lt;" and "&Gt;" are HTML5 names of their own (much
// less and much greater than), so those two spellings are not angle brackets.
HtmlReferenceDecoder::Reference HtmlReferenceDecoder::named(qsizetype position) const
{
    const qsizetype first = position + 1;
    const qsizetype limit = std::min(m_text.size(), first + qsizetype(kLongestHtmlEntityName) + 1);
    qsizetype end = first;
    while (end < limit && isNameCharacter(m_text[end]))
        ++end;
    const qsizetype length = end - first;
    if (length == 0 || length > qsizetype(kLongestHtmlEntityName) || end >= m_text.size() ||
        m_text[end] != u';')
        return {};
    char name[kLongestHtmlEntityName];
    for (qsizetype i = 0; i < length; ++i)
        name[i] = char(m_text[first + i].unicode());
    const qsizetype referenceLength = length + 2;

    if (length <= kLongestLegacyName) {
        char folded[kLongestLegacyName];
        for (qsizetype i = 0; i < length; ++i)
            folded[i] = lowerAscii(name[i]);
        const std::string_view foldedName(folded, size_t(length));
        for (const LegacyReference& reference : kLegacyReferences) {
            if (foldedName == reference.name)
                return singleUnit(reference.character, referenceLength);
        }
        // "Lt" and "Gt" are left to the HTML5 names.
        const bool angle = foldedName == "lt" || foldedName == "gt";
        if (angle && !(name[0] >= 'A' && name[0] <= 'Z' && name[1] >= 'a' && name[1] <= 'z'))
            return singleUnit(folded[0] == 'l' ? u'<' : u'>', referenceLength);
    }
    if (const HtmlNamedEntity* entity = findHtmlEntity(std::string_view(name, size_t(length)))) {
        Reference reference;
        reference.units[0] = entity->units[0];
        reference.units[1] = entity->units[1];
        reference.unitCount = entity->units[1] == 0 ? 1 : 2;
        reference.length = referenceLength;
        return reference;
    }
    return {};
}
