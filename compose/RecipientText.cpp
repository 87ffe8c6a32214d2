#include "compose/RecipientText.h"

#include <algorithm>

namespace vantrel::compose {

namespace {

constexpr char kBoxHeader[] =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl {\\f0\\fswiss MS Sans Serif;}"
    "{\\f1\\froman\\fcharset2 Symbol;}{\\f2\\fswiss\\fprq2 System;}{\\f3\\fnil\\fprq13 Arial;}"
    "{\\f4\\fmodern Courier New;}{\\f5\\fmodern Courier New;}}{\\colortbl\\red0\\green0\\blue200;"
    "\\red200\\green0\\blue0;\\red0\\green128\\blue0;}\\deflang2057\\pard\\plain\\f3\\fs20\\cf0";

// A name as RTF text: the characters RTF gives a meaning escaped, the rest as 7-bit ASCII so
// that the box reads the same characters whatever its code page.
void appendEscaped(QByteArray& rtf, const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            rtf += '\\';
            rtf += static_cast<char>(u);
        } else if (u < 0x20) {
            continue;
        } else if (u < 0x80) {
            rtf += static_cast<char>(u);
        } else {
            rtf += "\\u" + QByteArray::number(static_cast<qint16>(u)) + '?';
        }
    }
}

constexpr qsizetype kMaxAddress = 254;
constexpr qsizetype kMaxLabel = 63;

// RFC 5322 atext; letters beyond ASCII are let through for internationalised addresses.
bool isAtext(QChar c)
{
    static const QString specials = QStringLiteral("!#$%&'*+/=?^_`{|}~-");
    return c.unicode() >= 0x80 || (c.unicode() < 0x80 && c.isLetterOrNumber()) ||
           specials.contains(c);
}

bool isDotAtom(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QStringView atom : text.split(u'.')) {
        if (atom.isEmpty() || !std::all_of(atom.begin(), atom.end(), isAtext))
            return false;
    }
    return true;
}

// "..." with printable ASCII inside, a backslash escaping the next character.
bool isQuotedLocal(QStringView text)
{
    if (text.size() < 2 || !text.startsWith(u'"') || !text.endsWith(u'"'))
        return false;
    for (qsizetype i = 1; i < text.size() - 1; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 || c > 0x7E)
            return false;
        if (c == u'\\' && ++i >= text.size() - 1)
            return false;
    }
    return true;
}

bool isDomain(QStringView text)
{
    if (text.startsWith(u'[') && text.endsWith(u']') && text.size() > 2) {
        const QStringView literal = text.mid(1, text.size() - 2);
        return std::all_of(literal.begin(), literal.end(), [](QChar c) {
            const char16_t u = c.unicode();
            return u >= 33 && u <= 126 && u != u'[' && u != u']' && u != u'\\';
        });
    }
    if (text.isEmpty())
        return false;
    for (const QStringView label : text.split(u'.')) {
        if (label.isEmpty() || label.size() > kMaxLabel || label.startsWith(u'-') ||
            label.endsWith(u'-'))
            return false;
        for (const QChar c : label) {
            if (c.unicode() < 0x80 && !c.isLetterOrNumber() && c != u'-')
                return false;
        }
    }
    return true;
}

} // namespace

QList<RecipientEntry> ParseBoxText(const QString& text, int recipientType)
{
    QList<RecipientEntry> entries;
    for (const QString& part : text.split(u';')) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        RecipientEntry entry;
        entry.recipientType = recipientType;
        entry.displayText = name;
        entry.address = ExtractAddress(name);
        entries.append(entry);
    }
    return entries;
}

QString ExtractAddress(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return trimmed;
    static const QString opening = QStringLiteral("([{<");
    static const QString closing = QStringLiteral(")]}>");
    qsizetype open = -1;
    for (qsizetype i = 0; i < trimmed.size() && open < 0; ++i) {
        if (opening.contains(trimmed.at(i)))
            open = i;
    }
    if (open < 0 || open == trimmed.size() - 1)
        return trimmed;
    qsizetype close = open + 1;
    while (close < trimmed.size() && !closing.contains(trimmed.at(close)))
        ++close;
    QString inside = trimmed.mid(open + 1, close - open - 1);
    if (inside.isEmpty())
        return trimmed;
    if (inside.startsWith(QLatin1StringView("SMTP:"))) {
        inside.remove(0, 5);
        if (inside.isEmpty())
            return trimmed;
    }
    return inside;
}

QByteArray RenderBoxRtf(const QList<RecipientEntry>& entries, int recipientType)
{
    QByteArray rtf(kBoxHeader);
    for (const RecipientEntry& entry : entries) {
        if (entry.recipientType != recipientType)
            continue;
        if (entry.resolved) {
            rtf += entry.group ? "\\cf2" : "\\cf0";
            rtf += "\\ul ";
            appendEscaped(rtf, entry.displayText);
            rtf += "\\ulnone ;";
        } else {
            rtf += "\\cf1\\ulnone ";
            appendEscaped(rtf, entry.displayText);
            rtf += ';';
        }
    }
    rtf += "\\cf1\\ulnone \\par})";
    return rtf;
}

bool IsValidAddress(const QString& address)
{
    if (address.isEmpty() || address.size() > kMaxAddress)
        return false;
    qsizetype at = -1;
    if (address.startsWith(u'"')) {
        // A quoted local part may hold "@"; its closing quote must come right before the "@".
        qsizetype i = 1;
        for (; i < address.size() && address.at(i) != u'"'; ++i) {
            if (address.at(i) == u'\\')
                ++i;
        }
        at = i + 1;
        if (at >= address.size() || address.at(at) != u'@' ||
            !isQuotedLocal(QStringView(address).left(at)))
            return false;
    } else {
        at = address.lastIndexOf(u'@');
        if (at <= 0 || !isDotAtom(QStringView(address).left(at)))
            return false;
    }
    return isDomain(QStringView(address).mid(at + 1));
}

} // namespace vantrel::compose
