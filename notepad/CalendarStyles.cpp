#include "CalendarStyles.h"

#include <QCalendarWidget>
#include <QPalette>
#include <QTextCharFormat>
#include <array>

namespace vantrel::notepad {

namespace {

// "Blue and white", "Pleasant", "Night time", "Sunny red", "Spring green", "Neutural".
constexpr std::array<CalendarColours, kCalendarStyleCount> kStyles = {{
    {0xFFFFFF, 0xFFFFFF, 0x800000, 0x000000, 0x804040, 0xF0F0F0},
    {0xECFFFF, 0xFFFFFF, 0xB0B0FF, 0x000000, 0x646414, 0x000000},
    {0x404040, 0x000000, 0xFF8040, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF},
    {0x361BBA, 0x1F0F6A, 0xCACA00, 0xFFFFFF, 0xC8C814, 0xFFFFFF},
    {0x00A400, 0x00A400, 0x00ECEC, 0x80FFFF, 0xCECECE, 0x00A400},
    {0xFFFFFF, 0xFFFFFF, 0xA0A0A0, 0x000000, 0x646414, 0x000000},
}};

} // namespace

int shownCalendarStyle(int style)
{
    return style >= 0 && style < kCalendarStyleCount ? style : 0;
}

const CalendarColours& calendarColours(int style)
{
    return kStyles[static_cast<size_t>(shownCalendarStyle(style))];
}

QColor colourFromColourRef(quint32 colourRef)
{
    return QColor(int(colourRef & 0xFF), int((colourRef >> 8) & 0xFF),
                  int((colourRef >> 16) & 0xFF));
}

int ApplyCalendarStyle(QCalendarWidget* calendar, int style)
{
    style = shownCalendarStyle(style);
    if (!calendar)
        return style;
    const CalendarColours& colours = calendarColours(style);
    const QColor titleBackground = colourFromColourRef(colours.titleBackground);
    const QColor background = colourFromColourRef(colours.background);

    // The calendar paints its days with Base and Text, days of other months with the
    // disabled Text, and its month and year bar (and the selected day) with Highlight
    // and HighlightedText; the palette reaches the bar and the day table inside it.
    QPalette palette = calendar->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, colourFromColourRef(colours.monthBackground));
    palette.setColor(QPalette::Text, colourFromColourRef(colours.text));
    palette.setColor(QPalette::Highlight, titleBackground);
    palette.setColor(QPalette::HighlightedText, colourFromColourRef(colours.titleText));
    palette.setColor(QPalette::Disabled, QPalette::Text, colourFromColourRef(colours.trailingText));
    calendar->setPalette(palette);
    calendar->setAutoFillBackground(true);

    QTextCharFormat weekdayNames;
    weekdayNames.setForeground(titleBackground);
    weekdayNames.setBackground(background);
    calendar->setHeaderTextFormat(weekdayNames);
    // Weekends are not set apart: every day takes the style's text colour.
    for (int day = Qt::Monday; day <= Qt::Sunday; ++day)
        calendar->setWeekdayTextFormat(static_cast<Qt::DayOfWeek>(day), QTextCharFormat());
    return style;
}

} // namespace vantrel::notepad
