#include "EmbeddedResources.h"
#include "core/StringTable.h"

#include <QRegularExpression>
#include <QTest>

class TestStringTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesTheTableFormat()
    {
        StringTable table;
        QString error;
        QVERIFY(table.parse("# comment\n\n10\tplain\r\n11\tA\\nB\\tC\\\\D\\x\n12\ttrailing  \n",
                            &error));
        QCOMPARE(table.size(), 3);
        QCOMPARE(table.text(10), QStringLiteral("plain"));
        QCOMPARE(table.text(11), QStringLiteral("A\nB\tC\\D\\x"));
        QCOMPARE(table.text(12), QStringLiteral("trailing  "));
        QCOMPARE(table.statusPrompt(11), QStringLiteral("A"));
        QCOMPARE(table.toolTip(11), QStringLiteral("B\tC\\D\\x"));
        QCOMPARE(table.toolTip(10), QString());
        QString missing = QStringLiteral("kept");
        QVERIFY(!table.load(99, &missing));
        QCOMPARE(missing, QStringLiteral("kept"));
        QCOMPARE(table.text(99, QStringLiteral("fallback")), QStringLiteral("fallback"));
    }

    void rejectsBrokenTables_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("duplicate") << QByteArray("1\ta\n1\tb\n");
        QTest::newRow("no id") << QByteArray("x\ta\n");
        QTest::newRow("no tab") << QByteArray("12 text\n");
    }
    void rejectsBrokenTables()
    {
        QFETCH(QByteArray, data);
        StringTable table;
        QString error;
        QVERIFY(!table.parse(data, &error));
        QVERIFY(error.startsWith(QStringLiteral("line ")));
    }

    // The shipped table has every entry the program looks up by number.
    void programTableIsComplete()
    {
        QVERIFY(EmbeddedResources::available());
        const StringTable& table = StringTable::instance();
        QVERIFY(table.size() > 300);
        for (int id = 1000; id <= 1075; ++id)
            QVERIFY2(!table.text(id).isEmpty(), qPrintable(QString::number(id)));
        for (int id = 25500; id <= 25507; ++id)
            QVERIFY2(table.contains(id), qPrintable(QString::number(id)));
        for (int id : {57344, 57345, 59137, 59138, 59139, 20108, 20139, 20141, 20143, 20168,
                       25513, 25514, 25010, 25013, 25014, 25011, 25012, 25015, 25001, 25007})
            QVERIFY2(table.contains(id), qPrintable(QString::number(id)));
        QCOMPARE(table.text(1075), QStringLiteral("Press these tabs to move around the program"));
        QCOMPARE(table.text(57669),
                 QStringLiteral("Display help for clicked on buttons, menus and windows\nHelp"));
        QCOMPARE(table.text(20168), QStringLiteral("Still within a message. Are you sure?"));
        QCOMPARE(table.text(25008), QStringLiteral("Transfer Note "));
    }
};

QTEST_GUILESS_MAIN(TestStringTable)
#include "tst_stringtable.moc"
