#include "print/PageGeometry.h"

#include <QPageLayout>
#include <QPrinter>
#include <algorithm>

namespace vantrel::print {

namespace {

constexpr int kPointsPerInch = 72;
constexpr int kRecordFontPoints = 10;

int pointsToDevice(qreal points, int dpi)
{
    return qRound(points * dpi / kPointsPerInch);
}

// A margin in device units for record forms; below the smallest margin it is half an inch.
int recordMargin(int twips, int dpi)
{
    const int used = twips < kSmallestMargin ? kHalfInch : twips;
    return static_cast<int>(static_cast<qint64>(dpi) * used / kTwipsPerInch);
}

} // namespace

PageMetrics pageMetrics(const QPrinter& printer)
{
    PageMetrics page;
    page.dpiX = printer.logicalDpiX();
    page.dpiY = printer.logicalDpiY();
    QPageLayout layout = printer.pageLayout();
    const QRect sheet = layout.fullRectPixels(page.dpiX);
    page.width = sheet.width();
    page.height = sheet.height();
    layout.setUnits(QPageLayout::Point);
    const QMarginsF edges = layout.minimumMargins();
    page.offsetLeft = pointsToDevice(edges.left(), page.dpiX);
    page.offsetRight = pointsToDevice(edges.right(), page.dpiX);
    page.offsetTop = pointsToDevice(edges.top(), page.dpiY);
    page.offsetBottom = pointsToDevice(edges.bottom(), page.dpiY);
    return page;
}

int scaleRounded(int value, int numerator, int denominator)
{
    if (value <= 0 || denominator <= 0)
        return 0;
    const qint64 product = static_cast<qint64>(value) * numerator;
    return static_cast<int>((product + denominator / 2) / denominator);
}

int toTwips(int deviceUnits, int dpi)
{
    return scaleRounded(deviceUnits, kTwipsPerInch, dpi);
}

int toDeviceUnits(int twips, int dpi)
{
    return scaleRounded(twips, dpi, kTwipsPerInch);
}

Margins normalisedMargins(const Margins& margins, const PageMetrics& page)
{
    const auto normalised = [](int margin, int offsetTwips) {
        return margin <= offsetTwips || margin < kSmallestMargin ? kHalfInch : margin;
    };
    return {normalised(margins.left, toTwips(page.offsetLeft, page.dpiX)),
            normalised(margins.right, toTwips(page.offsetRight, page.dpiX)),
            normalised(margins.top, toTwips(page.offsetTop, page.dpiY)),
            normalised(margins.bottom, toTwips(page.offsetBottom, page.dpiY))};
}

QRect textRectTwips(const Margins& margins, const PageMetrics& page)
{
    const Margins used = normalisedMargins(margins, page);
    const int width = toTwips(page.width, page.dpiX);
    const int height = toTwips(page.height, page.dpiY);
    return QRect(used.left, used.top, width - used.right - used.left,
                 height - used.bottom - used.top);
}

QRect textRectDevice(const Margins& margins, const PageMetrics& page)
{
    const QRect twips = textRectTwips(margins, page);
    const int left = toDeviceUnits(twips.left(), page.dpiX);
    const int top = toDeviceUnits(twips.top(), page.dpiY);
    const int right = toDeviceUnits(twips.left() + twips.width(), page.dpiX);
    const int bottom = toDeviceUnits(twips.top() + twips.height(), page.dpiY);
    return QRect(left, top, right - left, bottom - top);
}

RecordGeometry recordGeometry(const Margins& margins, const PageMetrics& page)
{
    RecordGeometry g;
    g.left = std::max(page.offsetLeft, recordMargin(margins.left, page.dpiX) - page.offsetLeft);
    g.top = std::max(page.offsetTop, recordMargin(margins.top, page.dpiY) - page.offsetTop);
    g.right = page.width - (page.offsetLeft + recordMargin(margins.right, page.dpiX));
    g.valueColumn = g.left + (g.right - g.left) / 4;
    g.pageWidth = page.width;
    g.drawHeight = page.printableHeight();
    g.dpiX = page.dpiX;
    g.font = QFont(QStringLiteral("Arial"));
    g.font.setStyleHint(QFont::SansSerif);
    g.font.setPixelSize(std::max(1, page.dpiX * kRecordFontPoints / kPointsPerInch));
    g.font.setWeight(QFont::Normal);
    return g;
}

} // namespace vantrel::print
