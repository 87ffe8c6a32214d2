#include "mail/HtmlReferenceDecoder.h"

#include "codepage/Windows1252.h"
#include "mail/HtmlConverters.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct NamedReference
{
    const char* name;
    char16_t character;
};

// Characters of the Windows Latin-1 code page; from 160 up it agrees with Unicode.
constexpr std::array<NamedReference, 25> kNamedReferences = {{
    {"nbsp", u' '},  {"quot", u'"'},  {"amp", u'&'},   {"cent", 162},  {"pound", 163},
    {"brvbar", 166}, {"brkbar", 166}, {"copy", 169},   {"reg", 174},   {"curren", 164},
    {"yen", 165},    {"shy", 173},    {"sup2", 178},   {"sup3", 179},  {"micro", 181},
    {"para", 182},   {"middot", 183}, {"cedil", 184},  {"sup1", 185},  {"laquo", 171},
    {"raquo", 187},  {"deg", 176},    {"plusmn", 177}, {"iexcl", 161}, {"iquest", 191},
}};
constexpr qsizetype kLongestName = 6;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

char16_t numericCharacter(int value)
{
    switch (value) {
    case 8211:
        return u'-';
    case 8226:
        return htmlReferenceCharacter(149);
    case 8217:
        return htmlReferenceCharacter(146);
    case 8242:
        return u'\'';
    case 8260:
        return u'/';
    default:
        break;
    }
    if (value < 256)
        return htmlReferenceCharacter(value);
    // Four digits reach no surrogate, so every larger value is a character.
    return char16_t(value);
}

// Copies the name between "&" and ";" to `name` in lower case; returns its length, or 0
// when no ";" follows within the longest name.
qsizetype foldName(QStringView text, qsizetype from, char* name)
{
    qsizetype length = 0;
    for (qsizetype i = from; i < text.size() && length <= kLongestName; ++i, ++length) {
        const char16_t c = text[i].unicode();
        if (c == u';')
            return length;
        if (c > 0x7F)
            return 0;
        name[length] = char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
    }
    return 0;
}

bool sameName(const char* folded, qsizetype length, const char* name)
{
    return std::strlen(name) == size_t(length) && std::memcmp(folded, name, size_t(length)) == 0;
}

bool startsWithGreaterThanEntity(QStringView text, qsizetype at)
{
    return at + 4 <= text.size() && (text[at + 1] == u'g' || text[at + 1] == u'G') &&
           (text[at + 2] == u't' || text[at + 2] == u'T') && text[at + 3] == u';';
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

HtmlReferenceDecoder::Reference HtmlReferenceDecoder::decode(qsizetype position)
{
    if (position + 1 >= m_text.size())
        return {};
    if (m_text[position + 1] == u'#')
        return numeric(position);
    char name[kLongestName + 1];
    const qsizetype length = foldName(m_text, position + 1, name);
    if (sameName(name, length, "lt"))
        return lessThanRun(position);
    return named(name, length);
}

// "&#" and two to four digits; two or three need a ";", after four one is assumed.
HtmlReferenceDecoder::Reference HtmlReferenceDecoder::numeric(qsizetype position) const
{
    const qsizetype first = position + 2;
    int value = 0;
    qsizetype digits = 0;
    while (digits < 4 && first + digits < m_text.size() && isDigit(m_text[first + digits])) {
        value = value * 10 + (m_text[first + digits].unicode() - u'0');
        ++digits;
    }
    if (digits < 2)
        return {};
    const qsizetype length = 2 + digits + 1;
    if (position + length > m_text.size())
        return {};
    if (digits < 4 && m_text[first + digits] != u';')
        return {};
    const char16_t character = numericCharacter(value);
    if (character == 0)
        return {};
    return {character, length};
}

// "&", a name and ";".
HtmlReferenceDecoder::Reference HtmlReferenceDecoder::named(const char* name, qsizetype length)
{
    if (length == 0)
        return {};
    for (const NamedReference& reference : kNamedReferences) {
        if (sameName(name, length, reference.name))
            return {reference.character, length + 2};
    }
    return {};
}

// "&lt;" opens a run that ends just after the first "&gt;" or just before a ">" that
// closes the level it started at; the run becomes one space. A run that reaches the end
// of the text does not decode.
//
// Finding the end is a forward search. When it succeeds, the caller moves past the run,
// so the searched text is read once. When there is no "&gt;" ahead the search may fail
// again and again; the ">" characters of that tail are then indexed once, and each run
// is answered from the index.
HtmlReferenceDecoder::Reference HtmlReferenceDecoder::lessThanRun(qsizetype position)
{
    const qsizetype from = position + 1;
    const qsizetype gt = nextGreaterThanEntity(from);
    if (gt < 0) {
        const qsizetype end = closingAngleAtLevelZero(from);
        if (end < 0)
            return {};
        return {u' ', end - position};
    }
    qsizetype level = 0;
    for (qsizetype i = from; i < gt; ++i) {
        const QChar c = m_text[i];
        if (c == u'<') {
            ++level;
        } else if (c == u'>') {
            if (level == 0)
                return {u' ', i - position};
            --level;
        }
    }
    return {u' ', gt + 4 - position};
}

qsizetype HtmlReferenceDecoder::nextGreaterThanEntity(qsizetype from)
{
    if (m_gtSearchedFrom >= 0 && m_gtSearchedFrom <= from && (m_nextGt < 0 || m_nextGt >= from))
        return m_nextGt;
    m_gtSearchedFrom = from;
    m_nextGt = -1;
    for (qsizetype at = m_text.indexOf(QChar(u'&'), from); at >= 0;
         at = m_text.indexOf(QChar(u'&'), at + 1)) {
        if (startsWithGreaterThanEntity(m_text, at)) {
            m_nextGt = at;
            break;
        }
    }
    return m_nextGt;
}

qsizetype HtmlReferenceDecoder::closingAngleAtLevelZero(qsizetype from)
{
    if (!m_tailIndexed)
        indexClosingAngles(from);
    for (; m_levelPosition < from; ++m_levelPosition) {
        const QChar c = m_text[m_levelPosition];
        m_level += c == u'<' ? 1 : c == u'>' ? -1 : 0;
    }
    const qsizetype level = m_level - m_lowestLevel;
    if (level < 0 || level + 1 >= qsizetype(m_levelStarts.size()))
        return -1;
    qsizetype& cursor = m_levelCursors[size_t(level)];
    const qsizetype end = m_levelStarts[size_t(level) + 1];
    while (cursor < end && m_angles[size_t(cursor)] < from)
        ++cursor;
    return cursor < end ? m_angles[size_t(cursor)] : -1;
}

void HtmlReferenceDecoder::indexClosingAngles(qsizetype from)
{
    m_tailIndexed = true;
    m_levelPosition = from;
    m_level = 0;
    qsizetype level = 0;
    qsizetype lowest = 0;
    qsizetype highest = 0;
    bool any = false;
    for (qsizetype i = from; i < m_text.size(); ++i) {
        const QChar c = m_text[i];
        if (c == u'<') {
            ++level;
        } else if (c == u'>') {
            lowest = any ? std::min(lowest, level) : level;
            highest = any ? std::max(highest, level) : level;
            any = true;
            --level;
        }
    }
    if (!any)
        return;
    m_lowestLevel = lowest;
    std::vector<qsizetype> counts(size_t(highest - lowest + 1), 0);
    level = 0;
    for (qsizetype i = from; i < m_text.size(); ++i) {
        const QChar c = m_text[i];
        if (c == u'<')
            ++level;
        else if (c == u'>')
            ++counts[size_t(level-- - lowest)];
    }
    m_levelStarts.assign(counts.size() + 1, 0);
    for (size_t i = 0; i < counts.size(); ++i)
        m_levelStarts[i + 1] = m_levelStarts[i] + counts[i];
    m_levelCursors.assign(m_levelStarts.begin(), m_levelStarts.end() - 1);
    m_angles.resize(size_t(m_levelStarts.back()));
    std::vector<qsizetype> fill(m_levelCursors);
    level = 0;
    for (qsizetype i = from; i < m_text.size(); ++i) {
        const QChar c = m_text[i];
        if (c == u'<')
            ++level;
        else if (c == u'>')
            m_angles[size_t(fill[size_t(level-- - lowest)]++)] = i;
    }
}
