#include "RtfTokenizer.h"

#include "RtfCharsets.h"

#include <algorithm>
#include <limits>

namespace vnt::rtf::detail {

namespace {

// The RTF grammar gives a parameter at most 10 digits; longer runs of digits are still
// taken as part of the word, with the value saturated, so they cannot turn into text.
constexpr int kMaxParamDigits = 10;

bool isLetter(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char16_t c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isTextChar(char16_t c)
{
    return c != '\\' && c != '{' && c != '}' && isDocumentChar(c);
}

} // namespace

RtfToken RtfTokenizer::next()
{
    RtfToken token;
    while (m_pos < m_input.size()) {
        const char16_t c = m_input[m_pos].unicode();
        if (c == '{' || c == '}') {
            ++m_pos;
            token.type = c == '{' ? RtfTokenType::GroupOpen : RtfTokenType::GroupClose;
            return token;
        }
        if (c == '\\') {
            if (controlSequence(token))
                return token;
            continue;
        }
        if (isTextChar(c)) {
            textRun(token);
            return token;
        }
        ++m_pos;
    }
    return token;
}

bool RtfTokenizer::controlSequence(RtfToken& token)
{
    ++m_pos;
    if (m_pos >= m_input.size())
        return false;
    const char16_t c = m_input[m_pos].unicode();
    if (isLetter(c)) {
        controlWord(token);
        return true;
    }
    ++m_pos;
    if (c == '\'')
        return hexEscape(token);
    if (c == '\r' || c == '\n') {
        // A backslash before a line end is an old spelling of \par.
        token.type = RtfTokenType::ControlWord;
        token.text = u"par";
        return true;
    }
    token.type = RtfTokenType::ControlSymbol;
    token.symbol = c;
    return true;
}

void RtfTokenizer::controlWord(RtfToken& token)
{
    const qsizetype start = m_pos;
    while (m_pos < m_input.size() && isLetter(m_input[m_pos].unicode()))
        ++m_pos;
    token.type = RtfTokenType::ControlWord;
    token.text = m_input.sliced(start, m_pos - start);

    bool negative = false;
    if (m_pos + 1 < m_input.size() && m_input[m_pos] == u'-' &&
        isDigit(m_input[m_pos + 1].unicode())) {
        negative = true;
        ++m_pos;
    }
    qint64 value = 0;
    int digits = 0;
    while (m_pos < m_input.size() && isDigit(m_input[m_pos].unicode())) {
        if (digits < kMaxParamDigits)
            value = value * 10 + (m_input[m_pos].unicode() - '0');
        ++digits;
        ++m_pos;
    }
    if (digits > 0) {
        value = std::min<qint64>(value, std::numeric_limits<int>::max());
        token.hasParam = true;
        token.param = static_cast<int>(negative ? -value : value);
    }
    if (m_pos < m_input.size() && m_input[m_pos] == u' ')
        ++m_pos;

    if (token.text == u"bin" && token.param > 0)
        m_pos += std::min<qsizetype>(token.param, m_input.size() - m_pos);
}

bool RtfTokenizer::hexEscape(RtfToken& token)
{
    int value = 0;
    for (int i = 0; i < 2; ++i) {
        const int digit = m_pos < m_input.size() ? hexValue(m_input[m_pos].unicode()) : -1;
        if (digit < 0)
            return false; // cut short: the escape is dropped
        value = value * 16 + digit;
        ++m_pos;
    }
    token.type = RtfTokenType::HexByte;
    token.symbol = static_cast<char16_t>(value);
    return true;
}

void RtfTokenizer::textRun(RtfToken& token)
{
    const qsizetype start = m_pos;
    bool high = false;
    while (m_pos < m_input.size()) {
        const char16_t c = m_input[m_pos].unicode();
        if (!isTextChar(c))
            break;
        high |= c > 127;
        ++m_pos;
    }
    token.type = RtfTokenType::Text;
    token.text = m_input.sliced(start, m_pos - start);
    token.hasHighChars = high;
}

} // namespace vnt::rtf::detail
