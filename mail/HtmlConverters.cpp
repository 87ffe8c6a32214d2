#include "mail/HtmlConverters.h"

#include "codepage/Windows1252.h"
#include "mail/HtmlReferenceDecoder.h"

#include <algorithm>

// Both converters read their input once and never write more than they have read, as
// they did when they worked in place on the message buffer: the output is allocated once
// at the size of the input.

namespace {

class OutputBuffer
{
public:
    explicit OutputBuffer(qsizetype capacity)
        : m_text(capacity, Qt::Uninitialized)
        , m_write(m_text.data())
    {}

    void put(char16_t c) { *m_write++ = QChar(c); }

    void putLineBreak()
    {
        put(u'\r');
        put(u'\n');
    }

    QString take()
    {
        m_text.truncate(m_write - m_text.constData());
        return std::move(m_text);
    }

private:
    QString m_text;
    QChar* m_write;
};

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

char16_t lowerAscii(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u;
}

// The value of a character of "\'hh": digits count from 0, upper-case letters from 10
// at "A", anything else from 10 at "a".
int hexValue(QChar c)
{
    const int u = c.unicode();
    if (isDigit(c))
        return u - '0';
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    return u - 'a' + 10;
}

// ---------------------------------------------------------------------------------------
// Encapsulated HTML

class EncapsulatedHtmlUnpacker
{
public:
    EncapsulatedHtmlUnpacker(QStringView rtf, qsizetype start)
        : m_rtf(rtf)
        , m_position(start)
        , m_out(rtf.size() - start)
    {}

    QString run()
    {
        const qsizetype size = m_rtf.size();
        while (m_position < size) {
            const QChar c = m_rtf[m_position];
            if (c == u'{' || c == u'}' || isLineEnd(c)) {
                ++m_position;
            } else if (c == u'\\') {
                controlWord();
            } else {
                m_out.put(c.unicode());
                ++m_position;
            }
        }
        return m_out.take();
    }

private:
    bool at(QStringView word) const { return m_rtf.sliced(m_position).startsWith(word); }

    // Reads digits at `from` into `value`; returns the position after them and one
    // optional space, or -1 when there is no digit.
    qsizetype number(qsizetype from, qint64* value) const
    {
        qsizetype i = from;
        *value = 0;
        for (; i < m_rtf.size() && isDigit(m_rtf[i]); ++i)
            *value = std::min<qint64>(*value * 10 + (m_rtf[i].unicode() - u'0'), kNumberCap);
        return i == from ? -1 : afterSpace(i);
    }

    qsizetype afterSpace(qsizetype from) const
    {
        return from < m_rtf.size() && m_rtf[from] == u' ' ? from + 1 : from;
    }

    // The rules for a backslash, first match wins; the last copies it.
    void controlWord()
    {
        if (htmlTag() || pendingTag() || lineBreak() || tab() || indent() || hexByte() ||
            paragraphNumber() || htmlRtfSpan())
            return;
        if (m_position + 1 < m_rtf.size() &&
            (m_rtf[m_position + 1] == u'{' || m_rtf[m_position + 1] == u'}')) {
            m_out.put(m_rtf[m_position + 1].unicode());
            m_position += 2;
            return;
        }
        m_out.put(u'\\');
        ++m_position;
    }

    // "\*\htmltag N": the tag text follows, unless an "\*\mhtmltag N" already gave it.
    // The search for "}" moves past what it reads, so it stays linear.
    bool htmlTag()
    {
        static constexpr QStringView kWord = u"\\*\\htmltag";
        qint64 tag = 0;
        const qsizetype next = at(kWord) ? number(m_position + kWord.size(), &tag) : -1;
        if (next < 0)
            return false;
        m_position = next;
        if (tag == m_pendingTag) {
            const qsizetype close = m_rtf.indexOf(QChar(u'}'), next);
            m_position = close < 0 ? m_rtf.size() : close + 1;
            m_pendingTag = -1;
        }
        return true;
    }

    bool pendingTag()
    {
        static constexpr QStringView kWord = u"\\*\\mhtmltag";
        qint64 tag = 0;
        const qsizetype next = at(kWord) ? number(m_position + kWord.size(), &tag) : -1;
        if (next < 0)
            return false;
        m_pendingTag = tag;
        m_position = next;
        return true;
    }

    // "\par", which also matches the start of "\pard".
    bool lineBreak()
    {
        if (!at(u"\\par"))
            return false;
        m_out.putLineBreak();
        m_position = afterSpace(m_position + 4);
        return true;
    }

    bool tab()
    {
        if (!at(u"\\tab"))
            return false;
        for (int i = 0; i < 3; ++i)
            m_out.put(u' ');
        m_position = afterSpace(m_position + 4);
        return true;
    }

    // "\li N" and "\fi-N" are dropped.
    bool indent()
    {
        qint64 value = 0;
        qsizetype next = -1;
        if (at(u"\\li"))
            next = number(m_position + 3, &value);
        else if (at(u"\\fi-"))
            next = number(m_position + 4, &value);
        if (next < 0)
            return false;
        m_position = next;
        return true;
    }

    bool hexByte()
    {
        if (!at(u"\\'") || m_position + 4 > m_rtf.size())
            return false;
        const int byte =
            (16 * hexValue(m_rtf[m_position + 2]) + hexValue(m_rtf[m_position + 3])) & 0xFF;
        // A zero byte ended the text of the old single-byte buffer; here it is dropped.
        if (byte != 0)
            m_out.put(vnt::codepage::windows1252ToUnicode(uchar(byte)));
        m_position += 4;
        return true;
    }

    // "\pntext": the list number's text, up to the group's "}", where reading resumes.
    bool paragraphNumber()
    {
        static constexpr QStringView kWord = u"\\pntext";
        if (!at(kWord))
            return false;
        const qsizetype close = m_rtf.indexOf(QChar(u'}'), m_position + kWord.size());
        m_position = close < 0 ? m_rtf.size() : close;
        return true;
    }

    // "\htmlrtf" (and "\htmlrtf0" itself) drops rich text up to the next "\htmlrtf0"
    // that starts later. Reading resumes after the match, so no text is searched twice;
    // without a match the output ends.
    bool htmlRtfSpan()
    {
        static constexpr QStringView kWord = u"\\htmlrtf";
        static constexpr QStringView kEnd = u"\\htmlrtf0";
        if (!at(kWord))
            return false;
        const qsizetype end = m_rtf.indexOf(kEnd, m_position + 1);
        m_position = end < 0 ? m_rtf.size() : afterSpace(end + kEnd.size());
        return true;
    }

    static constexpr qint64 kNumberCap = qint64(1) << 40;

    QStringView m_rtf;
    qsizetype m_position;
    OutputBuffer m_out;
    qint64 m_pendingTag = -1;
};

// ---------------------------------------------------------------------------------------
// HTML to text

// Whether `text` has the ASCII `word` at `at`, case ignored. Only ASCII letters fold, as
// in the single-byte text the rules were written for.
bool hasWordAt(QStringView text, qsizetype at, QStringView word)
{
    if (text.size() - at < word.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (lowerAscii(text[at + i]) != lowerAscii(word[i]))
            return false;
    }
    return true;
}

// The first `word`, which starts with "<", at or after `from`, case ignored. Looking only
// at each "<" is much quicker than a case-folding search of every character.
qsizetype indexOfTag(QStringView text, QStringView word, qsizetype from = 0)
{
    for (qsizetype at = text.indexOf(QChar(u'<'), from); at >= 0;
         at = text.indexOf(QChar(u'<'), at + 1)) {
        if (hasWordAt(text, at, word))
            return at;
    }
    return -1;
}

class HtmlTextExtractor
{
public:
    explicit HtmlTextExtractor(QStringView html)
        : m_html(html)
        , m_references(html)
        , m_out(html.size())
    {}

    QString run()
    {
        const qsizetype size = m_html.size();
        m_position = textStart();
        while (m_position < size) {
            const QChar c = m_html[m_position];
            if (c == u'<') {
                tag();
            } else if (m_leading && isLineEnd(c)) {
                ++m_position;
            } else {
                m_leading = false;
                text(c);
            }
        }
        return m_out.take();
    }

private:
    // After the first "<html" or "<!DOCTYPE HTML" tag, or after the "<body" tag that follows.
    qsizetype textStart() const
    {
        static constexpr QStringView kHtml = u"<html";
        static constexpr QStringView kDoctype = u"<!DOCTYPE HTML";
        const qsizetype html = indexOfTag(m_html, kHtml);
        // Only a doctype before "<html" matters; without "<html" any one does.
        const QStringView before = html < 0 ? m_html : m_html.first(html);
        const qsizetype doctype = indexOfTag(before, kDoctype);
        // The whole opening tag is passed over, so its ">" and attributes never show.
        qsizetype start = 0;
        if (doctype >= 0 && (html < 0 || doctype < html))
            start = skipTag(doctype);
        else if (html >= 0)
            start = skipTag(html);
        const qsizetype body = indexOfTag(m_html, u"<body", start);
        return body < 0 ? start : skipTag(body);
    }

    // From a "<": a ">" closes the tag unless further "<" opened levels it has to close
    // first. Up to two line-end characters after it go with the tag. A tag that never
    // closes takes the rest of the text. Reading resumes after the tag, so the scan
    // reads nothing twice.
    qsizetype skipTag(qsizetype from) const
    {
        const qsizetype size = m_html.size();
        qsizetype level = 0;
        qsizetype i = from + 1;
        for (; i < size; ++i) {
            const QChar c = m_html[i];
            if (c == u'<') {
                ++level;
            } else if (c == u'>') {
                if (level == 0)
                    break;
                --level;
            }
        }
        if (i == size)
            return size;
        ++i;
        for (int dropped = 0; dropped < 2 && i < size && isLineEnd(m_html[i]); ++dropped)
            ++i;
        return i;
    }

    // Whether the character `offset` places ahead is the letter `lower`, in either case.
    bool letterAhead(qsizetype offset, char16_t lower) const
    {
        return m_position + offset < m_html.size() &&
               lowerAscii(m_html[m_position + offset]) == lower;
    }

    bool charAhead(qsizetype offset, char16_t c) const
    {
        return m_position + offset < m_html.size() && m_html[m_position + offset] == QChar(c);
    }

    void tag()
    {
        if (!m_leading && letterAhead(1, u'b')) {
            if (letterAhead(2, u'r') && charAhead(3, u'>')) {
                m_out.putLineBreak();
                m_position += 4;
            } else {
                m_position = skipTag(m_position);
            }
        } else if (letterAhead(1, u'p') && charAhead(2, u'>')) {
            m_out.putLineBreak();
            m_position += 3;
        } else if (hasWordAt(m_html, m_position, u"<style")) {
            style();
        } else {
            m_position = skipTag(m_position);
        }
    }

    // The style sheet up to its closing tag is dropped; without one the text ends. The
    // search moves past what it reads.
    void style()
    {
        const qsizetype next = skipTag(m_position);
        const qsizetype close = indexOfTag(m_html, u"</style", next);
        m_position = close < 0 ? m_html.size() : skipTag(close);
    }

    void text(QChar c)
    {
        if (c == u'&') {
            const HtmlReferenceDecoder::Reference reference = m_references.decode(m_position);
            if (reference.length > 0) {
                for (qsizetype i = 0; i < reference.unitCount; ++i)
                    m_out.put(reference.units[i]);
                m_position += reference.length;
                return;
            }
        }
        m_out.put(c.unicode());
        ++m_position;
    }

    QStringView m_html;
    HtmlReferenceDecoder m_references;
    OutputBuffer m_out;
    qsizetype m_position = 0;
    bool m_leading = true;
};

} // namespace

bool IsEncapsulatedHtml(QStringView rtf)
{
    const qsizetype from = rtf.indexOf(u"\\from");
    return from >= 0 && rtf.sliced(from).startsWith(u"\\fromhtml");
}

QString UnpackEncapsulatedHtml(QStringView rtf)
{
    const qsizetype start = rtf.indexOf(u"{\\*\\htmltag");
    if (start < 0)
        return {};
    return EncapsulatedHtmlUnpacker(rtf, start).run();
}

QString HtmlToText(QStringView html)
{
    return HtmlTextExtractor(html).run();
}
