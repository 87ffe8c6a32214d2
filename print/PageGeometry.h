#pragma once

#include <QFont>
#include <QRect>

class QPrinter;

namespace vantrel::print {

inline constexpr int kTwipsPerInch = 1440;
// Margins of half an inch replace those the printer cannot honour or that are too small.
inline constexpr int kHalfInch = 720;
inline constexpr int kSmallestMargin = 711;

// What a print job knows of the paper, in device units: the whole sheet, the unprintable
// edges (offsets) and the resolution. Everything else is worked out from these with
// integer arithmetic, so the same settings give the same page on every printer.
struct PageMetrics
{
    int width = 0; // the whole sheet
    int height = 0;
    int offsetLeft = 0; // unprintable edges
    int offsetTop = 0;
    int offsetRight = 0;
    int offsetBottom = 0;
    int dpiX = 0;
    int dpiY = 0;

    // Height of the printable part, which record forms count their rows against.
    int printableHeight() const { return height - offsetTop - offsetBottom; }
    bool operator==(const PageMetrics&) const = default;
};

// Page margins in twips (1/1440 inch), as the settings keep them.
struct Margins
{
    int left = kHalfInch;
    int right = kHalfInch;
    int top = kHalfInch;
    int bottom = kHalfInch;
};

// The sheet of `printer` as it prints now (paper size, orientation, resolution).
PageMetrics pageMetrics(const QPrinter& printer);

// value * numerator / denominator rounded to the nearest unit (negative values count as 0).
int scaleRounded(int value, int numerator, int denominator);
int toTwips(int deviceUnits, int dpi);
int toDeviceUnits(int twips, int dpi);

// Margins as text pages use them: a margin not larger than the printer's offset on its side,
// or below 711 twips, becomes half an inch.
Margins normalisedMargins(const Margins& margins, const PageMetrics& page);
// The text area of a page in twips and in device units, measured from the sheet's corner.
QRect textRectTwips(const Margins& margins, const PageMetrics& page);
QRect textRectDevice(const Margins& margins, const PageMetrics& page);

// Where a record form is drawn, in device units measured from the printable area's corner.
struct RecordGeometry
{
    int left = 0;
    int top = 0;
    int right = 0;
    int valueColumn = 0; // a quarter of the way from left to right
    int pageWidth = 0;
    int drawHeight = 0; // the rows of a form are counted against this height
    int dpiX = 0;
    QFont font; // Arial, 10 points, at the printer's resolution
};

RecordGeometry recordGeometry(const Margins& margins, const PageMetrics& page);

} // namespace vantrel::print
