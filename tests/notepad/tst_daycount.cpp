#include "notepad/DayCount.h"

#include <QTest>

using vantrel::notepad::DayCountText;

class TestDayCount : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The texts at the edges of the range and past it; within it the table test below
    // checks every day.
    void countsFromToday_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("selected");
        QTest::addColumn<QString>("text");
        const QDate today(2023, 5, 15);
        const auto row = [](const char* name, QDate from, QDate to, const char* text) {
            QTest::newRow(name) << from << to << QString::fromLatin1(text);
        };
        row("today", today, today, "");
        row("last day of last year", today, QDate(2022, 12, 31), " Last year");
        row("first day of last year", today, QDate(2022, 1, 1), " Last year");
        row("two years back", today, QDate(2021, 12, 31), " To far back");
        row("30 Dec to 2 Jan", QDate(2023, 12, 30), QDate(2024, 1, 2), " 3 days ahead ");
        row("leap year 28 Feb to 1 Mar", QDate(2024, 2, 28), QDate(2024, 3, 1), " 2 days ahead ");
        row("plain year 28 Feb to 1 Mar", QDate(2023, 2, 28), QDate(2023, 3, 1), " 1 days ahead ");
        row("back over a leap February", QDate(2024, 3, 10), QDate(2024, 2, 10), " 29 days ago ");
        row("two years ahead", today, QDate(2025, 1, 1), " To far forward");
    }
    void countsFromToday()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, selected);
        QFETCH(QString, text);
        QCOMPARE(DayCountText(today, selected), text);
    }

    // Within this year and the next the month tables count exactly the calendar's days.
    void agreesWithTheCalendarOverTwoYears_data()
    {
        QTest::addColumn<QDate>("today");
        for (const QDate& today : {QDate(2023, 5, 15), QDate(2024, 2, 29), QDate(2023, 12, 31),
                                   QDate(2024, 1, 1), QDate(2100, 3, 1)})
            QTest::newRow(qPrintable(today.toString(Qt::ISODate))) << today;
    }
    void agreesWithTheCalendarOverTwoYears()
    {
        QFETCH(QDate, today);
        for (QDate day(today.year(), 1, 1); day.year() <= today.year() + 1; day = day.addDays(1)) {
            const qint64 days = today.daysTo(day);
            const QString expected = days > 0   ? QStringLiteral(" %1 days ahead ").arg(days)
                                     : days < 0 ? QStringLiteral(" %1 days ago ").arg(-days)
                                                : QString();
            QVERIFY2(DayCountText(today, day) == expected, qPrintable(day.toString(Qt::ISODate)));
        }
    }
};

QTEST_APPLESS_MAIN(TestDayCount)
#include "tst_daycount.moc"
