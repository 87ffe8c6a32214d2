#include "oledb/xlsx/XmlScanner.h"

#include "codepage/Utf8.h"

#include <array>
#include <cstring>

namespace vnt::oledb::xlsx {

namespace {

using vnt::codepage::appendUtf8;

// What each byte may be in a name: 1 its first character, 2 a later one.
constexpr std::array<unsigned char, 256> kNameBytes = [] {
    std::array<unsigned char, 256> bytes{};
    for (int c = 0; c < 256; ++c) {
        const bool start =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
        const bool later = start || (c >= '0' && c <= '9') || c == '.' || c == '-';
        bytes[size_t(c)] = (start ? 1 : 0) | (later ? 2 : 0);
    }
    return bytes;
}();

bool isNameStart(unsigned char c)
{
    return kNameBytes[c] & 1;
}

bool isNameChar(unsigned char c)
{
    return kNameBytes[c] & 2;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The character of a reference "lt", "#65", "#x41"; 0 when it is none.
char32_t referencedCharacter(std::string_view entity)
{
    if (entity == "lt")
        return '<';
    if (entity == "gt")
        return '>';
    if (entity == "amp")
        return '&';
    if (entity == "quot")
        return '"';
    if (entity == "apos")
        return '\'';
    if (entity.size() < 2 || entity[0] != '#')
        return 0;
    const bool hex = entity[1] == 'x';
    const std::string_view digits = entity.substr(hex ? 2 : 1);
    char32_t code = 0;
    for (char c : digits) {
        const int digit = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (digit < 0 || code > 0x10FFFF)
            return 0;
        code = code * (hex ? 16 : 10) + char32_t(digit);
    }
    return !digits.empty() && isXmlChar(code) ? code : 0;
}

} // namespace

XmlScanner::XmlScanner(std::string_view document, MoreInput more)
    : m_begin(document.data())
    , m_pos(document.data())
    , m_end(document.data() + document.size())
    , m_more(std::move(more))
    , m_complete(!m_more)
{
    if (document.starts_with("\xEF\xBB\xBF"))
        m_pos += 3;
}

XmlScanner::Token XmlScanner::fail(const QString& error)
{
    if (m_token != Token::Invalid)
        m_error = error;
    return m_token = Token::Invalid;
}

XmlScanner::Token XmlScanner::next()
{
    if (m_token == Token::Invalid)
        return m_token;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_localName = m_open[size_t(--m_depth)].local;
        return m_token = Token::EndElement;
    }
    for (;;) {
        if (m_pos >= m_end && !m_complete) {
            grow(0);
            continue;
        }
        if (m_pos >= m_end) {
            if (m_depth != 0 || !m_rootSeen)
                return fail(QStringLiteral("premature end of document"));
            return m_token = Token::EndOfDocument;
        }
        const char* start = m_pos;
        const Token previous = m_token;
        const Token token = *m_pos == '<' ? readMarkup() : readText();
        if (token == Token::Invalid && !m_complete) {
            // Perhaps only cut short where the rest is still to come: again with more, at
            // least as much again as the token so far, so that a long one is not read over
            // and over.
            m_pos = start;
            m_token = previous;
            m_pendingEnd = false;
            m_error.clear();
            grow(size_t(m_end - start));
            continue;
        }
        // End of document stands for markup that gives no token (comments, instructions).
        if (token != Token::EndOfDocument)
            return token;
    }
}

// Waits for `extra` bytes more of a document still to come, or any when 0; the bytes read
// so far stay where they are.
void XmlScanner::grow(size_t extra)
{
    const std::string_view document = m_more(size_t(m_end - m_begin) + extra, &m_complete);
    m_end = document.data() + document.size();
}

XmlScanner::Token XmlScanner::readText()
{
    const char* p = m_pos;
    // Bytes that end a text (1) or make it other than as written (2).
    static constexpr std::array<unsigned char, 256> kTextBytes = [] {
        std::array<unsigned char, 256> bytes{};
        bytes['<'] = 1;
        bytes['&'] = 2;
        bytes['\r'] = 2;
        return bytes;
    }();
    unsigned char special = 0;
    for (unsigned char kind; p < m_end && (kind = kTextBytes[static_cast<unsigned char>(*p)]) != 1;
         ++p)
        special |= kind;
    if (p == m_end && !m_complete)
        return fail(QStringLiteral("premature end of document"));
    const std::string_view text(m_pos, size_t(p - m_pos));
    m_pos = p;
    if (m_depth == 0) {
        for (char c : text) {
            if (!isSpace(c))
                return fail(QStringLiteral("text outside the root element"));
        }
        return Token::EndOfDocument;
    }
    m_text = text;
    m_plainText = special == 0;
    m_cdata = false;
    return m_token = Token::Text;
}

bool XmlScanner::skipPast(std::string_view terminator)
{
    const std::string_view rest(m_pos, size_t(m_end - m_pos));
    const size_t at = rest.find(terminator);
    if (at == std::string_view::npos)
        return false;
    m_pos += at + terminator.size();
    return true;
}

XmlScanner::Token XmlScanner::readMarkup()
{
    const char second = m_pos + 1 < m_end ? m_pos[1] : '\0';
    if (second == '/')
        return readEndTag();
    if (second != '!' && second != '?')
        return readStartTag();
    const std::string_view rest(m_pos, size_t(m_end - m_pos));
    if (rest.starts_with("<?"))
        return skipPast("?>") ? Token::EndOfDocument
                              : fail(QStringLiteral("an instruction is not closed"));
    if (rest.starts_with("<!--"))
        return skipPast("-->") ? Token::EndOfDocument
                               : fail(QStringLiteral("a comment is not closed"));
    if (rest.starts_with("<![CDATA[")) {
        if (m_depth == 0)
            return fail(QStringLiteral("text outside the root element"));
        const char* start = m_pos + 9;
        m_pos = start;
        if (!skipPast("]]>"))
            return fail(QStringLiteral("a character data section is not closed"));
        m_text = {start, size_t(m_pos - 3 - start)};
        m_plainText = m_text.find('\r') == std::string_view::npos;
        m_cdata = true;
        return m_token = Token::Text;
    }
    return fail(QStringLiteral("document type declarations are not supported"));
}

// Reads the name at `p`; its local part (after a prefix) too when `local` is given.
[[gnu::always_inline]] inline const char*
XmlScanner::readName(const char* p, std::string_view* name, std::string_view* local) const
{
    const char* start = p;
    if (p >= m_end || !isNameStart(static_cast<unsigned char>(*p)))
        return nullptr;
    const char* localStart = start;
    for (++p; p < m_end && isNameChar(static_cast<unsigned char>(*p)); ++p) {
        if (*p == ':' && localStart == start)
            localStart = p + 1;
    }
    *name = {start, size_t(p - start)};
    if (local)
        *local = {localStart, size_t(p - localStart)};
    return p;
}

[[gnu::always_inline]] inline const char* XmlScanner::skipSpace(const char* p) const
{
    while (p < m_end && isSpace(*p))
        ++p;
    return p;
}

XmlScanner::Token XmlScanner::readStartTag()
{
    Element element;
    const char* p = readName(m_pos + 1, &element.name, &element.local);
    if (!p)
        return fail(QStringLiteral("an element has no name"));
    if (m_rootSeen && m_depth == 0)
        return fail(QStringLiteral("content after the root element"));
    m_attributes.clear();
    for (;;) {
        const char* before = p;
        p = skipSpace(p);
        if (p >= m_end)
            return fail(QStringLiteral("premature end of document"));
        if (*p == '>' || (*p == '/' && p + 1 < m_end && p[1] == '>')) {
            m_pendingEnd = *p == '/';
            p += m_pendingEnd ? 2 : 1;
            break;
        }
        Attribute attribute;
        if (p == before || !(p = readName(p, &attribute.name, nullptr)))
            return fail(
                QStringLiteral("an attribute of <%1> is malformed")
                    .arg(QString::fromUtf8(element.name.data(), qsizetype(element.name.size()))));
        p = skipSpace(p);
        if (p >= m_end || *p != '=')
            return fail(QStringLiteral("an attribute has no value"));
        p = skipSpace(p + 1);
        if (p >= m_end || (*p != '"' && *p != '\''))
            return fail(QStringLiteral("an attribute value is not quoted"));
        const char quote = *p++;
        const char* start = p;
        while (p < m_end && *p != quote && *p != '<')
            ++p;
        if (p >= m_end || *p != quote)
            return fail(p >= m_end ? QStringLiteral("premature end of document")
                                   : QStringLiteral("an attribute value holds '<'"));
        attribute.value = {start, size_t(p++ - start)};
        m_attributes.push_back(attribute);
    }
    m_pos = p;
    if (size_t(m_depth) >= m_open.size())
        return fail(QStringLiteral("the elements are nested too deeply"));
    m_open[size_t(m_depth++)] = element;
    m_rootSeen = true;
    m_localName = element.local;
    return m_token = Token::StartElement;
}

XmlScanner::Token XmlScanner::readEndTag()
{
    const char* p = m_pos + 2;
    const std::string_view expected =
        m_depth == 0 ? std::string_view() : m_open[size_t(m_depth - 1)].name;
    // The name must be the open element's: compared in place, read only to say otherwise.
    if (expected.empty() || size_t(m_end - p) <= expected.size() ||
        std::memcmp(p, expected.data(), expected.size()) != 0 ||
        isNameChar(static_cast<unsigned char>(p[expected.size()]))) {
        std::string_view name;
        if (!readName(p, &name, nullptr))
            return fail(QStringLiteral("an end tag has no name"));
        return fail(QStringLiteral("the end tag </%1> does not match its start tag")
                        .arg(QString::fromUtf8(name.data(), qsizetype(name.size()))));
    }
    p = skipSpace(p + expected.size());
    if (p >= m_end || *p != '>')
        return fail(QStringLiteral("an end tag is malformed"));
    m_pos = p + 1;
    m_localName = m_open[size_t(--m_depth)].local;
    return m_token = Token::EndElement;
}

bool XmlScanner::decodeAttribute(std::string_view* value, std::string* scratch)
{
    if (value->find('&') == std::string_view::npos)
        return true;
    scratch->clear();
    if (!decode(*value, scratch, true))
        fail(QStringLiteral("an attribute holds an unknown reference"));
    *value = *scratch;
    return true;
}

bool XmlScanner::appendText(std::string* out)
{
    if (m_plainText) {
        out->append(m_text);
        return true;
    }
    if (decode(m_text, out, !m_cdata))
        return true;
    fail(QStringLiteral("a text holds an unknown reference"));
    return false;
}

// Replaces references (with `references`) and turns line ends into "\n", as a parser
// hands text to its reader.
bool XmlScanner::decode(std::string_view raw, std::string* out, bool references)
{
    const char* p = raw.data();
    const char* end = p + raw.size();
    while (p < end) {
        const char* special = p;
        while (special < end && *special != '\r' && (*special != '&' || !references))
            ++special;
        out->append(p, size_t(special - p));
        if ((p = special) == end)
            break;
        if (*p == '\r') {
            out->push_back('\n');
            p += p + 1 < end && p[1] == '\n' ? 2 : 1;
            continue;
        }
        const std::string_view rest(p + 1, size_t(end - p - 1));
        const size_t semicolon = rest.find(';');
        const char32_t c = semicolon == std::string_view::npos
                               ? 0
                               : referencedCharacter(rest.substr(0, semicolon));
        if (c == 0)
            return false;
        appendUtf8(out, c);
        p += semicolon + 2;
    }
    return true;
}

bool XmlScanner::elementText(std::string_view* text, std::string* scratch, bool nested)
{
    const int target = depth();
    scratch->clear();
    Token token = next();
    if (token == Token::Text && m_plainText) {
        const std::string_view first = m_text;
        token = next();
        if (token == Token::EndElement && depth() < target) {
            *text = first;
            return true;
        }
        scratch->append(first);
    }
    for (;; token = next()) {
        switch (token) {
        case Token::Text:
            if (!appendText(scratch))
                return false;
            break;
        case Token::StartElement:
            if (!nested) {
                fail(QStringLiteral("an element holds another where text was expected"));
                return false;
            }
            break;
        case Token::EndElement:
            if (depth() < target) {
                *text = *scratch;
                return true;
            }
            break;
        default:
            return false;
        }
    }
}

bool XmlScanner::skipElement()
{
    const int target = depth();
    for (;;) {
        const Token token = next();
        if (token == Token::EndElement && depth() < target)
            return true;
        if (token == Token::Invalid || token == Token::EndOfDocument)
            return false;
    }
}

} // namespace vnt::oledb::xlsx
