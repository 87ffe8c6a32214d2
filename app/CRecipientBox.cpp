#include "CRecipientBox.h"

#include <QPalette>
#include <QTextCursor>

CRecipientBox::CRecipientBox(QWidget* parent)
    : QTextEdit(parent)
    , m_startFormat(CharFormatRecord::make(QStringLiteral("Arial"), 10, QColor(200, 0, 0)))
{
    setFont(textBoxBaseFont());
    setAcceptRichText(true);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // One line of names fits the box's 25 pixels; the scroll bar shows only when they wrap.
    document()->setDocumentMargin(1);
    // The names carry fixed colours (checked blue, unknown red, groups green) meant for light
    // paper, like the text boxes' default; a dark desktop theme must not put them on black.
    QPalette paper = palette();
    paper.setColor(QPalette::Base, Qt::white);
    paper.setColor(QPalette::Text, Qt::black);
    setPalette(paper);
}

void CRecipientBox::ApplyStartFormat()
{
    const QTextCharFormat format = m_startFormat.toCharFormat();
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(format);
    QFont font = document()->defaultFont();
    font.setFamilies({m_startFormat.face});
    font.setPointSizeF(m_startFormat.points());
    document()->setDefaultFont(font);
    setCurrentCharFormat(format);
}
