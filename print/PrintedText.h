#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <memory>

class QPaintDevice;
class QPainter;
class QTextDocument;

namespace vantrel::print {

// Longer texts print only their first 500 pages.
inline constexpr int kMaxPages = 500;

// One printed page of a text: its first and last character (document positions) and
// where its lines lie in the laid-out copy.
struct PageRange
{
    int first = 0;
    int last = 0;
    qreal top = 0;
    qreal bottom = 0;

    bool operator==(const PageRange&) const = default;
};

using PageTable = QList<PageRange>;

// A copy of a text box's document laid out for a print device: lines wrap at the width of
// the text area and never straddle a page, and the page table records which characters
// each page holds. Pages are drawn from the copy, so the box itself is left alone.
class PrintedText
{
public:
    // `textRect` is in device units of `device`, measured from the sheet's corner.
    PrintedText(const QTextDocument& source, QPaintDevice* device, const QRect& textRect,
                int maxPages = kMaxPages);
    ~PrintedText();
    PrintedText(const PrintedText&) = delete;
    PrintedText& operator=(const PrintedText&) = delete;

    // Characters of the text, without the document's final paragraph end.
    int textLength() const;
    const PageTable& pages() const { return m_pages; }
    QRect textRect() const { return m_rect; }
    // The plain text of page `index`, paragraphs ending in "\n".
    QString pageText(int index) const;

    // Draws page `index` into the text area; the painter's origin is the sheet's corner.
    void renderPage(QPainter& painter, int index) const;

private:
    void paginate(int maxPages);

    std::unique_ptr<QTextDocument> m_document;
    QRect m_rect;
    PageTable m_pages;
};

} // namespace vantrel::print
