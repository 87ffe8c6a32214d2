#pragma once

#include "print/PageGeometry.h"
#include "print/RecordPrintForm.h"

#include <QFontMetrics>
#include <QLine>
#include <QList>
#include <QRect>

class QPainter;

namespace vantrel::print {

// What a record form puts on the page: its texts and its rules, in device units of the
// printable area.
struct FormDrawing
{
    struct Text
    {
        QRect rect;
        QString text;
        bool centred = false;
    };
    QList<Text> texts;
    QList<QLine> rules;
    int rowCount = 0;    // rows of the page used so far
    int fieldsDrawn = 0; // field rows drawn completely
    bool pageFull = false;
};

// The one-page record form: a boxed title, then one boxed row per field, the label left of
// the value column and the value right of it. A long text shows its first ten display lines,
// each cut into at most two rows. Rows that do not fit on the page are left out.
class RecordPrintLayout
{
public:
    static constexpr int kMaxDisplayLines = 10;
    static constexpr int kRowCharacters = 108;

    RecordPrintLayout(const RecordGeometry& geometry, const QFontMetrics& metrics);

    // Row height and the number of rows on a page.
    int rowHeight() const { return m_rowHeight; }
    int rowsPerPage() const { return m_rowsPerPage; }

    FormDrawing plan(const RecordPrintForm& form) const;
    // Draws with the painter's current font (the record font).
    static void paint(QPainter& painter, const FormDrawing& drawing, int dpi);
    // Selects the record font, plans and draws `form`; the painter's origin is the
    // printable area's corner.
    static FormDrawing draw(QPainter& painter, const RecordGeometry& geometry,
                            const RecordPrintForm& form);

    // The rows a display line takes: its first 108 characters and, when at least two more
    // follow, the rest cut with an ellipsis to `width`. An empty line prints a blank.
    QStringList splitLine(const QString& line, int width) const;

private:
    struct Cursor
    {
        int row = 0;
        int previousRule = 0;
    };

    int unit(int offset) const;
    int rowTop(int row) const { return m_g.top + row * m_rowHeight; }
    void title(const QString& text, Cursor& at, FormDrawing& out) const;
    void singleRow(const PrintRow& row, Cursor& at, FormDrawing& out) const;
    bool multiRow(const PrintRow& row, Cursor& at, FormDrawing& out) const;
    void closeBox(int y, Cursor& at, FormDrawing& out) const;

    RecordGeometry m_g;
    QFontMetrics m_metrics;
    int m_rowHeight = 1;
    int m_textHeight = 1;
    int m_rowsPerPage = 0;
};

} // namespace vantrel::print
