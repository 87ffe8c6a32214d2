#include "CRecipientBox.h"

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
