#include "print/PrintedText.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace vantrel::print {

namespace {

// Tab stops of a text box are set in screen pixels.
constexpr qreal kScreenDpi = 96.0;
// How far inside a page's first and last line its drawing stops (device units).
constexpr qreal kEdge = 0.5;

} // namespace

PrintedText::PrintedText(const QTextDocument& source, QPaintDevice* device, const QRect& textRect,
                         int maxPages)
    : m_document(source.clone())
    , m_rect(textRect)
{
    m_document->documentLayout()->setPaintDevice(device);
    m_document->setDocumentMargin(0);
    QTextOption option = m_document->defaultTextOption();
    // A word wider than the page is broken rather than cut off at the margin.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(option.tabStopDistance() * device->logicalDpiX() / kScreenDpi);
    m_document->setDefaultTextOption(option);
    m_document->setPageSize(m_rect.size());
    if (textLength() > 0 && m_rect.height() > 0)
        paginate(maxPages);
}

PrintedText::~PrintedText() = default;

int PrintedText::textLength() const
{
    return m_document->characterCount() - 1;
}

void PrintedText::paginate(int maxPages)
{
    const qreal pageHeight = m_rect.height();
    const int length = textLength();
    QAbstractTextDocumentLayout* layout = m_document->documentLayout();
    int page = -1;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        const qreal top = layout->blockBoundingRect(block).top();
        const QTextLayout* lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal lineTop = top + line.y();
            // The layout moves a line that would straddle a page to the next page's top.
            const int onPage = static_cast<int>(std::floor((lineTop + 0.5) / pageHeight));
            if (onPage <= page) {
                m_pages.last().bottom = std::max(m_pages.last().bottom, lineTop + line.height());
                continue;
            }
            const int start = m_pages.isEmpty() ? 0 : block.position() + line.textStart();
            if (!m_pages.isEmpty())
                m_pages.last().last = start - 1;
            if (m_pages.size() == maxPages)
                return;
            m_pages.append({start, length, lineTop, lineTop + line.height()});
            page = onPage;
        }
    }
}

QString PrintedText::pageText(int index) const
{
    if (index < 0 || index >= m_pages.size())
        return {};
    const PageRange& range = m_pages.at(index);
    QTextCursor cursor(m_document.get());
    cursor.setPosition(range.first);
    cursor.setPosition(std::min(range.last + 1, textLength()), QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

void PrintedText::renderPage(QPainter& painter, int index) const
{
    if (index < 0 || index >= m_pages.size())
        return;
    const PageRange& page = m_pages.at(index);
    painter.save();
    painter.translate(m_rect.left(), m_rect.top() - page.top);
    painter.setClipRect(QRectF(0, page.top, m_rect.width(), m_rect.height()), Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext context;
    // Only the lines of this page: the neighbours touch its edges but stay outside.
    context.clip = QRectF(0, page.top + kEdge, m_rect.width(), page.bottom - page.top - 2 * kEdge);
    context.palette.setColor(QPalette::Text, Qt::black);
    m_document->documentLayout()->draw(&painter, context);
    painter.restore();
}

} // namespace vantrel::print
