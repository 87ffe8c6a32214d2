#include "EmbeddedResources.h"
#include "ScriptedPrompter.h"
#include "core/MessageHelpers.h"
#include "core/StringTable.h"

#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMissing = 29999; // no entry in the table

} // namespace

// The string table and the notices that show its entries.
class TestStrings : public QObject
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
        QCOMPARE(table.text(10), u"plain"_s);
        QCOMPARE(table.text(11), u"A\nB\tC\\D\\x"_s);
        QCOMPARE(table.text(12), u"trailing  "_s);
        QCOMPARE(table.statusPrompt(11), u"A"_s);
        QCOMPARE(table.toolTip(11), u"B\tC\\D\\x"_s);
        QCOMPARE(table.toolTip(10), QString());
        QString missing = u"kept"_s;
        QVERIFY(!table.load(99, &missing));
        QCOMPARE(missing, u"kept"_s);
        QCOMPARE(table.text(99, u"fallback"_s), u"fallback"_s);
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
        QVERIFY(error.startsWith(u"line "_s));
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
        QCOMPARE(table.text(1075), u"Press these tabs to move around the program"_s);
        QCOMPARE(table.text(57669),
                 u"Display help for clicked on buttons, menus and windows\nHelp"_s);
        QCOMPARE(table.text(25008), u"Transfer Note "_s);
    }

    void viewMessageTitles_data()
    {
        QTest::addColumn<int>("messageId");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString resolution =
            u"The program has been designed for a resolution of 800 by 600 or above!"_s;
        const QString long128(128, u't');
        const QString long129(129, u't');
        QTest::newRow("information") << 20108 << 1 << QString() << u"Information"_s << resolution;
        QTest::newRow("warning") << 20108 << 2 << u"ignored"_s << u"Warning!"_s << resolution;
        QTest::newRow("given title")
            << 20108 << 0 << u"Topic files"_s << u"Topic files"_s << resolution;
        QTest::newRow("empty given title")
            << 20108 << 0 << QString() << u"Warning!"_s << resolution;
        QTest::newRow("128 characters stay") << 20108 << 0 << long128 << long128 << resolution;
        QTest::newRow("129 characters are cut to 127")
            << 20108 << 0 << long129 << QString(127, u't') << resolution;
        QTest::newRow("missing message")
            << kMissing << 1 << QString() << u"Warning!"_s << u"Unknown error display 29999"_s;
    }
    void viewMessageTitles()
    {
        QFETCH(int, messageId);
        QFETCH(int, kind);
        QFETCH(QString, given);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ScriptedPrompter prompter;
        QWidget view;
        ShowViewMessage(&view, messageId, kind, given);
        QCOMPARE(prompter.notices().size(), 1);
        const auto& notice = prompter.notices().first();
        QCOMPARE(notice.owner, &view);
        QCOMPARE(notice.title, title);
        QCOMPARE(notice.text, text);
    }

    void warningsAndQuestionsLoadBothTexts()
    {
        ScriptedPrompter prompter;
        QWidget view;
        ShowDocWarning(20143, 20141);
        ShowViewWarning(&view, kMissing, kMissing);
        prompter.answerYes();
        QVERIFY(AskViewYesNo(&view, 20168, 20139));
        QVERIFY(!AskViewYesNo(&view, 20168, kMissing));
        QCOMPARE(prompter.unscriptedQuestions(), 1);

        const auto& n = prompter.notices();
        QCOMPARE(n.size(), 4);
        QCOMPARE(n[0].owner, nullptr);
        QCOMPARE(n[0].title, u"Warning!"_s);
        QCOMPARE(n[0].text, u"Unable to store topic path"_s);
        QCOMPARE(n[1].title, u"Warning  29999"_s);
        QCOMPARE(n[1].text, u"Unknown error display 29999"_s);
        QCOMPARE(n[2].kind, ScriptedPrompter::Notice::Question);
        QCOMPARE(n[2].title, u"Warning! Still logged onto your mail"_s);
        QCOMPARE(n[2].text, u"Still within a message. Are you sure?"_s);
        QCOMPARE(n[3].title, u"Warning  29999"_s);
    }
};

QTEST_MAIN(TestStrings)
#include "tst_strings.moc"
