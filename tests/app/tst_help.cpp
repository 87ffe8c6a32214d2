#include "ContextHelpMode.h"
#include "HelpTopics.h"
#include "HelpWindow.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

class TestHelp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contextsDependOnTheTab_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("topic"); // -1: nothing shown
        QTest::newRow("selector on Create Reply") << 0x10416 << 2 << 100608;
        QTest::newRow("selector on topic file tab") << 0x10416 << 6 << 100608;
        QTest::newRow("selector on Database") << 0x10416 << 4 << 100609;
        QTest::newRow("selector on Knowledge base") << 0x10416 << 5 << 100609;
        QTest::newRow("selector on Email Folders") << 0x10416 << 0 << -1;
        QTest::newRow("search on Database") << 0x1040C << 4 << 100610;
        QTest::newRow("search on Knowledge base") << 0x1040C << 5 << 100611;
        QTest::newRow("search on Note Pad") << 0x1040C << 7 << -1;
        QTest::newRow("other control unchanged") << 0x10400 << 3 << 0x10400;
        QTest::newRow("no control") << 0x10065 << 1 << 0x10065;
    }
    void contextsDependOnTheTab()
    {
        QFETCH(int, context);
        QFETCH(int, tab);
        QFETCH(int, topic);
        const std::optional<int> result = helpTopicForContext(context, tab);
        QCOMPARE(result.value_or(-1), topic);
    }

    void everyMappedPageShips()
    {
        const HelpPages& pages = HelpPages::instance();
        for (int topic : {100608, 100609, 100610, 100611, 0x10065, 0x10000 + 1075, 0x10000 + 1000,
                          0x10000 + 57601, 0x10000 + 1204})
            QVERIFY2(pages.contains(topic), qPrintable(QString::number(topic)));
        QFile table(QStringLiteral(":/help/contexts.tsv"));
        QVERIFY(table.open(QIODevice::ReadOnly));
        for (const QByteArray& line : table.readAll().split('\n')) {
            if (line.trimmed().isEmpty() || line.startsWith('#'))
                continue;
            const QString page =
                QString::fromUtf8(line.split('\t').value(1).trimmed()).section(u'#', 0, 0);
            QVERIFY2(QFile::exists(QStringLiteral(":/help/") + page), qPrintable(page));
        }
        QCOMPARE(pages.pageFor(424242), QStringLiteral("index.html"));
    }

    void pagesParseLeniently()
    {
        HelpPages pages;
        QVERIFY(!pages.parse("# c\n10\ta.html\n11\tb.html#x\nbad line\n"));
        QCOMPARE(pages.pageFor(11), QStringLiteral("b.html#x"));
        QCOMPARE(pages.pageFor(10), QStringLiteral("a.html"));
    }

    void windowShowsAPage()
    {
        HelpWindow window;
        window.showPage(QStringLiteral("tab-database.html"));
        QCOMPARE(window.currentPage(), QStringLiteral("tab-database.html"));
        QVERIFY(window.isVisible());
    }

    void clicksNameTheControlUnderThePointer()
    {
        QWidget workspace;
        workspace.resize(300, 200);
        auto* edit = new QLineEdit(&workspace);
        edit->setProperty("controlId", 1035);
        edit->setGeometry(10, 10, 100, 20);
        QToolBar bar;
        QAction* action = bar.addAction(QStringLiteral("Reply"));
        action->setData(1204);
        workspace.show();
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&workspace));

        QList<int> asked;
        ContextHelpMode mode(&workspace, [&](int context) { asked << context; });
        QCOMPARE(mode.contextFor(edit), 0x10000 + 1035);
        QCOMPARE(mode.contextFor(&workspace), 0x10065);
        QCOMPARE(mode.contextFor(bar.widgetForAction(action)), 0x10000 + 1204);

        mode.enter();
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(!mode.isActive());
        mode.enter();
        QTest::mouseClick(&workspace, Qt::LeftButton, {}, QPoint(250, 150));
        mode.enter();
        QTest::keyClick(&workspace, Qt::Key_Escape);
        QVERIFY(!mode.isActive());
        QCOMPARE(asked, (QList<int>{0x10000 + 1035, 0x10065}));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
