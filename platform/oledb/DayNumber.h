#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace vnt::oledb {

// Dates as the database keeps them: day numbers counted from 30 December 1899, the
// fraction being the time of day. Before the base day the whole part counts back and the
// fraction still counts forward from midnight (-1.25 is 29 December 1899, 06:00).
// Times are local wall-clock times; no time zone is involved.

double toDayNumber(const QDate& date, const QTime& time = QTime(0, 0));
double toDayNumber(const QDateTime& dateTime);

// The date and time of `dayNumber`, rounded to the millisecond. False (and nothing set)
// for values that are not finite or lie outside the years 100 to 9999.
bool fromDayNumber(double dayNumber, QDate* date, QTime* time);
QDateTime dateTimeFromDayNumber(double dayNumber);

// Reads "yyyy-MM-dd", "yyyy-MM-ddTHH:mm[:ss[.zzz]]" (a blank may stand for the T) into a
// day number. False for any other text.
bool parseIsoDayNumber(QStringView text, double* dayNumber);

// Workbooks that count from 1 January 1904 store day numbers this much smaller.
constexpr double kDate1904Offset = 1462.0;

} // namespace vnt::oledb
