#include "PlainText.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
// The editor marks where frames, tables and table cells begin and end with these two
// noncharacters.
constexpr QChar kFrameStart(0xFDD0);
constexpr QChar kFrameEnd(0xFDD1);

bool hasFrameMarks(const QString& raw)
{
    return raw.contains(kFrameStart) || raw.contains(kFrameEnd);
}

// Qt keeps paragraph and line separators; text handed between parts ends lines in CRLF.
QString cleaned(QString text)
{
    text.remove(QChar::ObjectReplacementCharacter);
    text.remove(kFrameStart);
    text.remove(kFrameEnd);
    text.replace(QChar::ParagraphSeparator, kLineEnd);
    text.replace(QChar::LineSeparator, kLineEnd);
    return text;
}

void appendFrame(const QTextFrame* frame, QStringList& paragraphs);

// A cell's paragraphs stay on its row, one space apart.
QString cellText(const QTextTableCell& cell)
{
    QStringList parts;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* inner = it.currentFrame())
            appendFrame(inner, parts);
        else
            parts.append(it.currentBlock().text());
    }
    QString text = parts.join(u' ');
    text.replace(QChar::LineSeparator, u' ');
    text.replace(QChar::ParagraphSeparator, u' ');
    text.replace(kLineEnd, QStringLiteral(" "));
    text.replace(u'\t', u' ');
    return cleaned(text);
}

void appendTable(const QTextTable* table, QStringList& paragraphs)
{
    for (int row = 0; row < table->rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            // A merged cell is written once, at its top-left position.
            if (cell.row() == row && cell.column() == column)
                cells.append(cellText(cell));
        }
        paragraphs.append(cells.join(u'\t'));
    }
}

void appendFrame(const QTextFrame* frame, QStringList& paragraphs)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* child = it.currentFrame()) {
            if (const auto* table = qobject_cast<const QTextTable*>(child))
                appendTable(table, paragraphs);
            else
                appendFrame(child, paragraphs);
        } else {
            paragraphs.append(cleaned(it.currentBlock().text()));
        }
    }
}

} // namespace

QString boxPlainText(const QTextDocument& document)
{
    const QString raw = document.toRawText();
    if (!hasFrameMarks(raw))
        return cleaned(raw);
    QStringList paragraphs;
    appendFrame(document.rootFrame(), paragraphs);
    return paragraphs.join(kLineEnd);
}

QString boxPlainText(const QTextCursor& selection)
{
    const QString raw = selection.selectedText();
    if (!hasFrameMarks(raw))
        return cleaned(raw);
    QTextDocument copy;
    QTextCursor(&copy).insertFragment(selection.selection());
    return boxPlainText(copy);
}
