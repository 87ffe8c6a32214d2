#include "CMainFrame.h"
#include "CSupportView.h"
#include "CommandTable.h"
#include "ContextHelpMode.h"
#include "HelpTopics.h"
#include "HelpWindow.h"
#include "ProgramStart.h"
#include "ScriptedPrompter.h"
#include "core/CommandRouter.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace {

const QString kHelp = QStringLiteral(":/help/");

QString pageText(const QString& page)
{
    QFile file(kHelp + page);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList captures(const QString& text, const QRegularExpression& pattern)
{
    QStringList found;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(text))
        found << match.captured(1);
    return found;
}

const QRegularExpression kHref(QStringLiteral(R"re(href="([^"]*)")re"));
const QRegularExpression kAnchor(QStringLiteral(R"re((?:name|id)="([^"]*)")re"));

// "" when `target` ("page#anchor", "#anchor" or "page") names a shipped page and anchor.
QString brokenLink(const QString& from, const QString& target)
{
    const QString page = target.section(u'#', 0, 0).isEmpty() ? from : target.section(u'#', 0, 0);
    const QString anchor = target.section(u'#', 1);
    if (!QFile::exists(kHelp + page))
        return from + QStringLiteral(" -> ") + target + QStringLiteral(": no such page");
    if (!anchor.isEmpty() && !captures(pageText(page), kAnchor).contains(anchor))
        return from + QStringLiteral(" -> ") + target + QStringLiteral(": no such anchor");
    return {};
}

} // namespace

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

    // Every link and every context resolves, and every page is reachable from the contents.
    void linksResolve()
    {
        QStringList broken;
        QStringList reached{HelpPages::kDefaultPage};
        for (qsizetype next = 0; next < reached.size(); ++next) {
            const QString page = reached.at(next);
            for (const QString& target : captures(pageText(page), kHref)) {
                if (target.startsWith(u"http") || target.startsWith(u"mailto:"))
                    continue;
                const QString problem = brokenLink(page, target);
                const QString linked = target.section(u'#', 0, 0);
                if (!problem.isEmpty())
                    broken << problem;
                else if (!linked.isEmpty() && linked.endsWith(u".html") &&
                         !reached.contains(linked))
                    reached << linked;
            }
        }
        QFile table(kHelp + QStringLiteral("contexts.tsv"));
        QVERIFY(table.open(QIODevice::ReadOnly));
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.trimmed().split('\t');
            if (fields.size() == 2 && !line.startsWith('#'))
                broken << brokenLink(HelpPages::kDefaultPage, QString::fromUtf8(fields.at(1)));
        }
        broken.removeAll(QString());
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(u'\n')));
        const QStringList shipped = QDir(kHelp).entryList({QStringLiteral("*.html")});
        for (const QString& page : shipped)
            QVERIFY2(reached.contains(page),
                     qPrintable(page + QStringLiteral(" is linked from nowhere")));
    }

    // F1 in the running program shows the page of the tab in front.
    void f1ShowsTheTabPage()
    {
        ScriptedPrompter prompter;
        QTemporaryDir dir;
        std::unique_ptr<CSupportApp> app;
        QVERIFY(startProgram(app, dir.filePath(QStringLiteral("home/")),
                             dir.filePath(QStringLiteral("settings.ini"))));
        const QStringList pages = {QStringLiteral("tab-email-folders.html"),
                                   QStringLiteral("tab-database.html"),
                                   QStringLiteral("tab-notepad.html")};
        const int tabs[] = {WorkspaceTab::EmailFolders, WorkspaceTab::Database,
                            WorkspaceTab::NotePadCalendar};
        for (int i = 0; i < pages.size(); ++i) {
            app->view()->SelectTab(tabs[i]);
            app->mainFrame()->router().execute(IdHelp);
            QVERIFY(app->helpWindow());
            QCOMPARE(app->helpWindow()->currentPage(), pages.at(i));
        }
        app->mainFrame()->router().execute(IdHelpFinder);
        QCOMPARE(app->helpWindow()->currentPage(), HelpPages::kDefaultPage);
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
