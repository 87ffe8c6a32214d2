#include "DayCount.h"

#include <array>

namespace vantrel::notepad {

namespace {

using MonthLengths = std::array<int, 12>;

MonthLengths monthLengths(int year)
{
    MonthLengths lengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (QDate::isLeapYear(year))
        lengths[1] = 29;
    return lengths;
}

int monthLength(const MonthLengths& lengths, int month)
{
    return lengths[static_cast<size_t>(month - 1)];
}

// The days of months `first` .. `last` (1 = January); none when `first` is after `last`.
int daysOfMonths(const MonthLengths& lengths, int first, int last)
{
    int days = 0;
    for (int month = first; month <= last; ++month)
        days += monthLength(lengths, month);
    return days;
}

QString daysAhead(int days)
{
    return QStringLiteral(" %1 days ahead ").arg(days);
}

QString daysAgo(int days)
{
    return QStringLiteral(" %1 days ago ").arg(days);
}

} // namespace

QString DayCountText(const QDate& today, const QDate& selected)
{
    const int year = today.year();
    const int month = today.month();
    const int day = today.day();
    const int pickedMonth = selected.month();
    const int pickedDay = selected.day();
    const MonthLengths thisYear = monthLengths(year);

    if (selected.year() < year) {
        return selected.year() == year - 1 ? QStringLiteral(" Last year")
                                           : QStringLiteral(" To far back");
    }
    if (selected.year() > year) {
        if (selected.year() != year + 1)
            return QStringLiteral(" To far forward");
        // The rest of this year, then the next year's months up to the picked day.
        return daysAhead(
            monthLength(thisYear, month) - day + daysOfMonths(thisYear, month + 1, 12) +
            daysOfMonths(monthLengths(selected.year()), 1, pickedMonth - 1) + pickedDay);
    }
    if (pickedMonth < month) {
        return daysAgo(monthLength(thisYear, pickedMonth) - pickedDay +
                       daysOfMonths(thisYear, pickedMonth + 1, month - 1) + day);
    }
    if (pickedMonth > month) {
        return daysAhead(monthLength(thisYear, month) - day +
                         daysOfMonths(thisYear, month + 1, pickedMonth - 1) + pickedDay);
    }
    if (pickedDay > day)
        return daysAhead(pickedDay - day);
    if (pickedDay < day)
        return daysAgo(day - pickedDay);
    return {};
}

} // namespace vantrel::notepad
