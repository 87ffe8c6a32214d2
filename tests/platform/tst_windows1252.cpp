#include "codepage/Windows1252.h"

#include <QTest>

class TestWindows1252 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mapsTheHighControlRange_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        QTest::newRow("euro") << 0x80 << 0x20AC;
        QTest::newRow("bullet") << 149 << 0x2022;
        QTest::newRow("right quote") << 146 << 0x2019;
        QTest::newRow("undefined 0x81 stays a control") << 0x81 << 0x81;
        QTest::newRow("y diaeresis") << 0x9F << 0x178;
        QTest::newRow("latin-1 e acute") << 0xE9 << 0xE9;
        QTest::newRow("ascii") << int('A') << int('A');
    }
    void mapsTheHighControlRange()
    {
        QFETCH(int, byte);
        QFETCH(int, unicode);
        QCOMPARE(int(vnt::codepage::windows1252ToUnicode(static_cast<unsigned char>(byte))),
                 unicode);
    }

    void utf8IsPreferredAndLegacyBytesFallBack()
    {
        using vnt::codepage::decodeUtf8OrWindows1252;
        QCOMPARE(decodeUtf8OrWindows1252(QByteArray("caf\xc3\xa9")), QStringLiteral("café"));
        // A lone 0xE9 is not UTF-8: the whole text is read as Windows-1252.
        QCOMPARE(decodeUtf8OrWindows1252(QByteArray("caf\xe9 \x93ok\x94")),
                 QString::fromUtf16(u"café \u201Cok\u201D"));
        QCOMPARE(decodeUtf8OrWindows1252(QByteArray("\xef\xbb\xbfhi")), QStringLiteral("hi"));
    }
};

QTEST_GUILESS_MAIN(TestWindows1252)
#include "tst_windows1252.moc"
