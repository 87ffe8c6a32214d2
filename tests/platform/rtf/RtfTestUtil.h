#pragma once

#include <QFile>
#include <QFont>
#include <QStringList>
#include <QTest>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

// Helpers shared by the RTF tests.
namespace rtftest {

using namespace Qt::StringLiterals;

// One row of a data table, the values in column order.
template<typename... Values>
void addRow(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

inline QByteArray readSample(const QString& name)
{
    QFile file(QStringLiteral(VANTREL_TEST_DATA "/rtf/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", qPrintable(name));
    return file.readAll();
}

// The formats a reader or writer can carry, as one comparable line. With `defaults`
// the font and size a run does not set are those of the document.
inline QString describe(const QTextCharFormat& format, const QFont* defaults = nullptr)
{
    QStringList parts;
    QString family = format.fontFamilies().toStringList().value(0);
    if (family.isEmpty() && defaults)
        family = defaults->family();
    if (!family.isEmpty())
        parts << family;
    qreal size = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : 0;
    if (size == 0 && defaults)
        size = defaults->pointSizeF();
    if (size > 0)
        parts << QString::number(size) + u"pt"_s;
    if (format.fontWeight() > QFont::Medium)
        parts << u"bold"_s;
    if (format.fontItalic())
        parts << u"italic"_s;
    if (format.fontUnderline())
        parts << u"underline"_s;
    if (format.fontStrikeOut())
        parts << u"strike"_s;
    if (format.foreground().style() != Qt::NoBrush)
        parts << u"fg"_s + format.foreground().color().name();
    if (format.background().style() != Qt::NoBrush)
        parts << u"bg"_s + format.background().color().name();
    return parts.join(u' ');
}

// The text with line breaks and no-break spaces as they are, and "\n" between paragraphs.
inline QString textOf(const QTextDocument& document)
{
    return document.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

// The format of the character at `position`.
inline QTextCharFormat formatAt(const QTextDocument& document, int position)
{
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

// The format of the first occurrence of `text`.
inline QTextCharFormat formatOf(const QTextDocument& document, const QString& text)
{
    const QTextCursor found = document.find(text);
    if (found.isNull()) {
        qWarning("text not found: %s", qPrintable(text));
        return {};
    }
    return formatAt(document, found.selectionStart());
}

inline QString describeBlock(const QTextBlockFormat& format)
{
    return u"align=%1 left=%2 right=%3 first=%4 top=%5 bottom=%6"_s
        .arg(int(format.alignment() & Qt::AlignHorizontal_Mask))
        .arg(format.leftMargin())
        .arg(format.rightMargin())
        .arg(format.textIndent())
        .arg(format.topMargin())
        .arg(format.bottomMargin());
}

} // namespace rtftest
