#include "ScriptedPrompter.h"
#include "core/MessageHelpers.h"
#include "core/StringTable.h"

#include <QTest>
#include <QWidget>

namespace {

constexpr int kMissing = 29999; // no entry in the table
const QString kResolution =
    QStringLiteral("The program has been designed for a resolution of 800 by 600 or above!");

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewMessageTitles_data()
    {
        QTest::addColumn<int>("messageId");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString long128(128, u't');
        const QString long129(129, u't');
        QTest::newRow("information")
            << 20108 << 1 << QString() << QStringLiteral("Information") << kResolution;
        QTest::newRow("warning") << 20108 << 2 << QStringLiteral("ignored")
                                 << QStringLiteral("Warning!") << kResolution;
        QTest::newRow("given title") << 20108 << 0 << QStringLiteral("Topic files")
                                     << QStringLiteral("Topic files") << kResolution;
        QTest::newRow("empty given title")
            << 20108 << 0 << QString() << QStringLiteral("Warning!") << kResolution;
        QTest::newRow("128 characters stay") << 20108 << 0 << long128 << long128 << kResolution;
        QTest::newRow("129 characters are cut to 127")
            << 20108 << 0 << long129 << QString(127, u't') << kResolution;
        QTest::newRow("missing message") << kMissing << 1 << QString() << QStringLiteral("Warning!")
                                         << QStringLiteral("Unknown error display 29999");
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
        QCOMPARE(n[0].title, QStringLiteral("Warning!"));
        QCOMPARE(n[0].text, QStringLiteral("Unable to store topic path"));
        QCOMPARE(n[1].title, QStringLiteral("Warning  29999"));
        QCOMPARE(n[1].text, QStringLiteral("Unknown error display 29999"));
        QCOMPARE(n[2].kind, ScriptedPrompter::Notice::Question);
        QCOMPARE(n[2].title, QStringLiteral("Warning! Still logged onto your mail"));
        QCOMPARE(n[3].title, QStringLiteral("Warning  29999"));
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
