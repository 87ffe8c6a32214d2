#pragma once

#include <QColor>
#include <QtGlobal>

class QCalendarWidget;

namespace vantrel::notepad {

// The six colours of a calendar style, as 0x00BBGGRR values.
struct CalendarColours
{
    quint32 monthBackground; // behind the days
    quint32 background;      // around the month, behind the weekday names
    quint32 titleBackground; // the month and year bar, the weekday names, the selected day
    quint32 text;            // the days of the month shown
    quint32 trailingText;    // the days of the months before and after
    quint32 titleText;       // month and year, the selected day's number
};

constexpr int kCalendarStyleCount = 6;

// `style` when it is one of 0..5, else 0.
int shownCalendarStyle(int style);
// The colours of `style`; those of style 0 for a style outside 0..5.
const CalendarColours& calendarColours(int style);
QColor colourFromColourRef(quint32 colourRef);

// Paints `calendar` in `style`, or in style 0 when `style` is outside 0..5, and returns
// the style used. The arrows move one month per click, as the calendar always does.
int ApplyCalendarStyle(QCalendarWidget* calendar, int style);

} // namespace vantrel::notepad
