#include "print/RecordPrintLayout.h"

#include <QPainter>
#include <algorithm>

namespace vantrel::print {

namespace {

// The gaps between texts and rules are given for a 600-dpi printer and scaled to the
// device, so the form looks the same at any resolution.
constexpr int kReferenceDpi = 600;
constexpr int kTextIndent = 14;
constexpr int kNumberIndent = 28;
constexpr int kTitleDrop = 12;
constexpr int kLabelDrop = 6;
constexpr int kRuleRise = 20;
constexpr int kLabelRise = 12;
constexpr int kBoxDrop = 20;

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;

} // namespace

RecordPrintLayout::RecordPrintLayout(const RecordGeometry& geometry, const QFontMetrics& metrics)
    : m_g(geometry)
    , m_metrics(metrics)
    , m_rowHeight(std::max(1, metrics.lineSpacing()))
    , m_textHeight(std::max(1, metrics.height()))
    , m_rowsPerPage(geometry.drawHeight / m_rowHeight)
{}

int RecordPrintLayout::unit(int offset) const
{
    return offset * m_g.dpiX / kReferenceDpi;
}

FormDrawing RecordPrintLayout::plan(const RecordPrintForm& form) const
{
    FormDrawing out;
    Cursor at;
    title(form.title, at, out);
    for (const PrintRow& row : form.rows) {
        if (at.row > m_rowsPerPage) {
            out.pageFull = true;
            break;
        }
        if (!row.multiLine)
            singleRow(row, at, out);
        else if (!multiRow(row, at, out))
            break;
        ++out.fieldsDrawn;
    }
    out.rowCount = at.row;
    return out;
}

void RecordPrintLayout::title(const QString& text, Cursor& at, FormDrawing& out) const
{
    const int left = m_g.left + unit(kTextIndent);
    const int top = rowTop(at.row) + unit(kTitleDrop);
    out.texts.append({QRect(left, top, m_g.right - left, m_rowHeight), text, true});
    at.row = 2;
    const int bottom = rowTop(at.row);
    out.rules.append(
        {QLine(m_g.left, m_g.top, m_g.right, m_g.top), QLine(m_g.right, m_g.top, m_g.right, bottom),
         QLine(m_g.left, m_g.top, m_g.left, bottom), QLine(m_g.left, bottom, m_g.right, bottom)});
    at.previousRule = bottom;
}

void RecordPrintLayout::singleRow(const PrintRow& row, Cursor& at, FormDrawing& out) const
{
    const int top = rowTop(at.row) + unit(kLabelDrop);
    const int labelLeft = m_g.left + unit(kTextIndent);
    const int labelHeight = m_metrics.boundingRect(row.label).height();
    out.texts.append({QRect(labelLeft, top, m_g.right - labelLeft, 2 * labelHeight), row.label});
    const int valueLeft = m_g.valueColumn + unit(row.indentValue ? kNumberIndent : kTextIndent);
    const int valueWidth = m_g.right - valueLeft;
    const QString value =
        row.elide ? m_metrics.elidedText(row.value, Qt::ElideRight, valueWidth) : row.value;
    out.texts.append({QRect(valueLeft, top, valueWidth, 2 * labelHeight), value});
    at.row += 2;
    const int y = rowTop(at.row) - unit(kRuleRise);
    out.rules.append({QLine(m_g.left, at.previousRule, m_g.left, y),
                      QLine(m_g.left, y, m_g.right, y),
                      QLine(m_g.right, y, m_g.right, at.previousRule),
                      QLine(m_g.valueColumn, at.previousRule, m_g.valueColumn, y)});
    at.previousRule = y;
}

bool RecordPrintLayout::multiRow(const PrintRow& row, Cursor& at, FormDrawing& out) const
{
    const int labelLeft = m_g.left + unit(kTextIndent);
    const int labelHeight = m_metrics.boundingRect(row.label).height();
    const int labelRight = m_g.pageWidth - 2 * m_g.left;
    out.texts.append({QRect(labelLeft, rowTop(at.row) - unit(kLabelRise), labelRight - labelLeft,
                            2 * labelHeight),
                      row.label});
    ++at.row;
    const int labelBottom = rowTop(at.row) - unit(kLabelRise);
    out.rules.append({QLine(m_g.valueColumn, at.previousRule, m_g.valueColumn, labelBottom),
                      QLine(m_g.valueColumn, labelBottom, m_g.left, labelBottom)});

    // A field without a box on the tab still takes one row.
    const QStringList lines = row.lines.isEmpty() ? QStringList{QString()} : row.lines;
    const int width = m_g.right - labelLeft;
    for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), kMaxDisplayLines); ++i) {
        for (const QString& piece : splitLine(lines.at(i), width)) {
            out.texts.append({QRect(labelLeft, rowTop(at.row), width, m_textHeight), piece});
            ++at.row;
            if (at.row > m_rowsPerPage) {
                out.pageFull = true;
                return false;
            }
        }
    }
    closeBox(rowTop(at.row) + unit(kBoxDrop), at, out);
    return true;
}

void RecordPrintLayout::closeBox(int y, Cursor& at, FormDrawing& out) const
{
    out.rules.append({QLine(m_g.left, at.previousRule, m_g.left, y),
                      QLine(m_g.left, y, m_g.right, y),
                      QLine(m_g.right, y, m_g.right, at.previousRule)});
    at.previousRule = y;
    ++at.row;
}

QStringList RecordPrintLayout::splitLine(const QString& line, int width) const
{
    if (line.isEmpty())
        return {QStringLiteral(" ")};
    if (line.size() <= kRowCharacters)
        return {line};
    const QString rest = line.mid(kRowCharacters);
    if (rest.size() < 2)
        return {line.left(kRowCharacters)};
    return {line.left(kRowCharacters), m_metrics.elidedText(rest, Qt::ElideRight, width)};
}

void RecordPrintLayout::paint(QPainter& painter, const FormDrawing& drawing, int dpi)
{
    painter.save();
    painter.setPen(QPen(Qt::black, std::max(1, dpi / 300)));
    painter.drawLines(drawing.rules);
    for (const FormDrawing::Text& text : drawing.texts) {
        const int flags =
            text.centred ? Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine : kTextFlags;
        painter.drawText(text.rect, flags, text.text);
    }
    painter.restore();
}

FormDrawing RecordPrintLayout::draw(QPainter& painter, const RecordGeometry& geometry,
                                    const RecordPrintForm& form)
{
    painter.setFont(geometry.font);
    const RecordPrintLayout layout(geometry, painter.fontMetrics());
    const FormDrawing drawing = layout.plan(form);
    paint(painter, drawing, geometry.dpiX);
    return drawing;
}

} // namespace vantrel::print
