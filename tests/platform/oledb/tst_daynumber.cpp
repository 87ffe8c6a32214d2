#include "oledb/DayNumber.h"

#include <QTest>

using namespace vnt::oledb;

class TestDayNumber : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void converts_data()
    {
        QTest::addColumn<double>("dayNumber");
        QTest::addColumn<QDateTime>("dateTime");
        QTest::newRow("base day") << 0.0 << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        QTest::newRow("day one") << 1.0 << QDateTime(QDate(1899, 12, 31), QTime(0, 0));
        QTest::newRow("noon") << 2.5 << QDateTime(QDate(1900, 1, 1), QTime(12, 0));
        QTest::newRow("before the base, time counts forward")
            << -1.25 << QDateTime(QDate(1899, 12, 29), QTime(6, 0));
        QTest::newRow("leap day") << 45351.75 << QDateTime(QDate(2024, 2, 29), QTime(18, 0));
        QTest::newRow("last millisecond of a day")
            << 45000.0 + 86399999.0 / 86400000.0
            << QDateTime(QDate(2023, 3, 15), QTime(23, 59, 59, 999));
    }
    void converts()
    {
        QFETCH(double, dayNumber);
        QFETCH(QDateTime, dateTime);
        QCOMPARE(dateTimeFromDayNumber(dayNumber), dateTime);
        QCOMPARE(toDayNumber(dateTime), dayNumber);
    }

    void roundsToTheMillisecond()
    {
        // A hair before midnight is midnight of the next day, not 24:00 of this one.
        QCOMPARE(dateTimeFromDayNumber(45000.9999999999),
                 QDateTime(QDate(2023, 3, 16), QTime(0, 0)));
        QCOMPARE(dateTimeFromDayNumber(-1.9999999999), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    }

    void refusesWhatIsNoDate_data()
    {
        QTest::addColumn<double>("dayNumber");
        QTest::newRow("not a number") << qQNaN();
        QTest::newRow("infinite") << qInf();
        QTest::newRow("after 9999") << 2958466.0;
        QTest::newRow("before 100") << -657435.0;
    }
    void refusesWhatIsNoDate()
    {
        QFETCH(double, dayNumber);
        QVERIFY(!dateTimeFromDayNumber(dayNumber).isValid());
    }

    void parsesIsoText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("dayNumber");
        QTest::newRow("date") << "2024-02-29" << true << 45351.0;
        QTest::newRow("date and minutes") << "2024-02-29T18:00" << true << 45351.75;
        QTest::newRow("blank for T, seconds") << "2024-02-29 06:00:00" << true << 45351.25;
        QTest::newRow("milliseconds") << "1899-12-30T12:00:00.000" << true << 0.5;
        QTest::newRow("no such day") << "2023-02-29" << false << 0.0;
        QTest::newRow("other order") << "29.02.2024" << false << 0.0;
        QTest::newRow("trailing text") << "2024-02-29x" << false << 0.0;
    }
    void parsesIsoText()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, dayNumber);
        double parsed = -1;
        QCOMPARE(parseIsoDayNumber(text, &parsed), valid);
        if (valid)
            QCOMPARE(parsed, dayNumber);
    }
};

QTEST_GUILESS_MAIN(TestDayNumber)
#include "tst_daynumber.moc"
