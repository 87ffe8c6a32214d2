#include "compose/QuoteText.h"

#include "compose/ComposeHost.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QTextCursor>
#include <QTextDocument>

namespace vantrel::compose {

namespace {

const QString kRtfMark = QStringLiteral("{\\rtf");

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QString quotePlain(const QString& text, QChar prefix)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && text[i] != u'\r' && text[i] != u'\n')
            continue;
        if (i > start) {
            out += prefix;
            out += QStringView(text).sliced(start, i - start);
            out += u"\r\n";
        }
        start = i + 1;
    }
    return out;
}

// The end of the control word or symbol that starts at `i` (a backslash): letters, then an
// optional signed number; a symbol is the backslash and one character.
qsizetype controlEnd(const QString& text, qsizetype i)
{
    const qsizetype size = text.size();
    qsizetype end = i + 1;
    if (end >= size || !isAsciiLetter(text[end]))
        return std::min(end + 1, size);
    while (end < size && isAsciiLetter(text[end]))
        ++end;
    if (end < size && text[end] == u'-')
        ++end;
    while (end < size && isAsciiDigit(text[end]))
        ++end;
    return end;
}

// Control words are compared whole: "\pardeftab" is not a paragraph mark, and "\\par" is
// text.
QString quoteRich(const QString& text, QChar prefix)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const qsizetype size = text.size();
    bool pardSeen = false;
    bool awaitingText = false;
    qsizetype i = 0;
    while (i < size) {
        const QChar c = text[i];
        if (c == u'\\') {
            const qsizetype end = controlEnd(text, i);
            qsizetype letters = i + 1;
            while (letters < end && isAsciiLetter(text[letters]))
                ++letters;
            const QStringView word = QStringView(text).sliced(i + 1, letters - i - 1);
            if (word == u"par" || (word == u"pard" && !pardSeen))
                awaitingText = true;
            pardSeen = pardSeen || word == u"pard";
            out += QStringView(text).sliced(i, end - i);
            i = end;
            continue;
        }
        // The prefix goes before the space that starts the paragraph's text. A paragraph
        // without one before the end keeps the rest of the text unquoted: dropping it would
        // lose the end of the message.
        if (c == u' ' && awaitingText && i + 1 < size && text[i + 1] != u'\\') {
            out += prefix;
            awaitingText = false;
        }
        out += c;
        ++i;
    }
    return out;
}

QString withoutCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// The body as it stands (the header block just streamed in) with `separator` and `readText`
// added at its end, as one RTF text: the header keeps the box's own format and the read
// message its formatting.
QString appendedRich(ComposeHost& host, const QString& separator, const QString& readText)
{
    QString body;
    host.streamTextOut(ComposeHost::kOutgoingBox, body, 1);
    QTextDocument document;
    if (!vnt::rtf::readRtf(QStringView(body), &document))
        document.setPlainText(withoutCrLf(body));
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(withoutCrLf(separator));
    if (readText.startsWith(kRtfMark))
        vnt::rtf::insertRtf(QStringView(readText), cursor);
    else
        cursor.insertText(withoutCrLf(readText));
    return vnt::rtf::writeRtf(document);
}

} // namespace

QString QuoteText(const QString& text, QChar prefix, bool richFormat)
{
    if (richFormat && text.startsWith(kRtfMark))
        return quoteRich(text, prefix);
    return quotePlain(text, prefix);
}

bool FillAnswerBody(ComposeHost& host, int option, const QString& headerBlock)
{
    if (option < 2 || option > 4)
        return false;
    const int rich = host.outgoingFormat() == 0 ? 0 : 1;
    constexpr int box = ComposeHost::kOutgoingBox;
    host.streamTextIn(box, false, headerBlock, rich);
    if (option == 2)
        return true;

    QString readText;
    host.streamTextOut(ComposeHost::kReadBox, readText, rich);
    const QString separator = option == 4 ? QStringLiteral("\r\n ") : QStringLiteral("\r\n");
    if (rich)
        host.streamTextIn(box, false, appendedRich(host, separator, readText), rich);
    else
        host.streamTextIn(box, false, headerBlock + separator + readText, rich);
    if (option == 4) {
        QString body;
        host.streamTextOut(box, body, rich);
        host.streamTextIn(box, false, QuoteText(body, u'>', rich), rich);
    }
    return true;
}

} // namespace vantrel::compose
