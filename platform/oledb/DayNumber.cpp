#include "oledb/DayNumber.h"

#include <cmath>

namespace vnt::oledb {

namespace {

constexpr qint64 kMsecsPerDay = 86400000;

QDate baseDay()
{
    return QDate(1899, 12, 30);
}

} // namespace

double toDayNumber(const QDate& date, const QTime& time)
{
    const double days = double(baseDay().daysTo(date));
    const double fraction =
        double(time.isValid() ? time.msecsSinceStartOfDay() : 0) / double(kMsecsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

double toDayNumber(const QDateTime& dateTime)
{
    return toDayNumber(dateTime.date(), dateTime.time());
}

bool fromDayNumber(double dayNumber, QDate* date, QTime* time)
{
    if (!std::isfinite(dayNumber) || std::fabs(dayNumber) > 3000000.0)
        return false;
    const double whole = std::trunc(dayNumber);
    qint64 msecs = qRound64(std::fabs(dayNumber - whole) * double(kMsecsPerDay));
    QDate day = baseDay().addDays(qint64(whole));
    if (msecs >= kMsecsPerDay) {
        day = day.addDays(1);
        msecs -= kMsecsPerDay;
    }
    if (!day.isValid() || day.year() < 100 || day.year() > 9999)
        return false;
    *date = day;
    *time = QTime::fromMSecsSinceStartOfDay(int(msecs));
    return true;
}

QDateTime dateTimeFromDayNumber(double dayNumber)
{
    QDate date;
    QTime time;
    if (!fromDayNumber(dayNumber, &date, &time))
        return {};
    return QDateTime(date, time);
}

bool parseIsoDayNumber(QStringView text, double* dayNumber)
{
    text = text.trimmed();
    const QDate date = QDate::fromString(text.left(10).toString(), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return false;
    QTime time(0, 0);
    if (text.size() > 10) {
        if (text[10] != QLatin1Char('T') && text[10] != QLatin1Char(' '))
            return false;
        const QString rest = text.mid(11).toString();
        for (const char* format : {"HH:mm", "HH:mm:ss", "HH:mm:ss.zzz"}) {
            time = QTime::fromString(rest, QLatin1String(format));
            if (time.isValid())
                break;
        }
        if (!time.isValid())
            return false;
    }
    *dayNumber = toDayNumber(date, time);
    return true;
}

} // namespace vnt::oledb
