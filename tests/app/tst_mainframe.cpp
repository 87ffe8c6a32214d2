#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "ContextHelpMode.h"
#include "HelpWindow.h"
#include "ScriptedPrompter.h"
#include "core/CommandRouter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

class TestMainFrame : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_settingsFile;
    QString m_home;

    std::unique_ptr<CSupportApp> start(int screenWidth = 1024)
    {
        auto app = std::make_unique<CSupportApp>(QStringList{QStringLiteral("vantrel")});
        StartOptions options;
        options.programDirectory = m_home;
        options.settingsFile = m_settingsFile;
        options.screenWidth = screenWidth;
        if (!app->InitInstance(options))
            return {};
        return app;
    }
    static bool closeWindow(CSupportApp& app) { return app.mainFrame()->close(); }
    QVariant stored(const QString& key) const
    {
        return QSettings(m_settingsFile, QSettings::IniFormat).value(key);
    }

private Q_SLOTS:
    void init()
    {
        m_settingsFile = m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()));
        m_home = m_dir.filePath(QStringLiteral("%1/").arg(QTest::currentTestFunction()));
    }

    void firstStartShowsTheWholeFormAndStoresItsPlacement()
    {
        ScriptedPrompter prompter;
        auto app = start();
        QVERIFY(app);
        CMainFrame* frame = app->mainFrame();
        QVERIFY(frame->isVisible());
        // The offscreen screen (800 by 600) is too small for the wide form.
        QVERIFY(frame->isMaximized());
        QCOMPARE(frame->windowTitle(), QStringLiteral("Vantrel"));
        QVERIFY(frame->standardToolBar()->isVisibleTo(frame));
        QVERIFY(frame->mailToolBar()->isVisibleTo(frame));
        QCOMPARE(frame->toolBarArea(frame->standardToolBar()), Qt::TopToolBarArea);
        QCOMPARE(frame->toolBarArea(frame->mailToolBar()), Qt::TopToolBarArea);
        QVERIFY(frame->toolBarBreak(frame->mailToolBar()));
        QVERIFY(frame->mailToolBar()->y() > frame->standardToolBar()->y());
        QCOMPARE(frame->standardToolBar()->windowTitle(), QStringLiteral("Standard"));
        QCOMPARE(frame->mailToolBar()->windowTitle(), QStringLiteral("tool 1"));
        // The message pane and the three lock-key indicators.
        QCOMPARE(frame->statusBar()->findChildren<QLabel*>().size(), 4);
        QVERIFY(QFileInfo::exists(m_home + QStringLiteral("support1/headfoot/footer.rtf")));

        QVERIFY(closeWindow(*app));
        app.reset();
        QVERIFY(prompter.notices().isEmpty());
        WindowPlacement placement;
        placement.setRectText(stored(QStringLiteral("Window size/Rect")).toString());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(placement.normalRect()));
        QVERIFY(placement.normalRect().width() > screen.width() / 2);
        QCOMPARE(stored(QStringLiteral("Window size/icon")).toInt(), 0);
        QCOMPARE(stored(QStringLiteral("Window size/max")).toInt(), 1);
        QCOMPARE(stored(QStringLiteral("Internal data/Edit out")).toUInt(), 0xFFFFFFu);
        QCOMPARE(stored(QStringLiteral("Internal data/Grid On")).toInt(), 1);
        QVERIFY(stored(QStringLiteral("Bar state/Vantrel")).isValid());
    }

    void firstStartSizeJustHoldsTheForm_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("800 layout") << 800;
        QTest::newRow("wide layout") << 1024;
    }
    void firstStartSizeJustHoldsTheForm()
    {
        QFETCH(int, screen);
        auto app = start(screen);
        CMainFrame* frame = app->mainFrame();
        auto* scroller = frame->findChild<QScrollArea*>(QStringLiteral("workspaceScroller"));
        const QSize form = app->view()->minimumSize();
        const QSize size = frame->firstStartSize();
        QCOMPARE(size.width(), form.width());
        frame->showNormal();
        const auto scrollBarsAt = [&](const QSize& inner) {
            frame->resize(inner);
            QCoreApplication::processEvents();
            return std::pair(scroller->horizontalScrollBar()->isVisible(),
                             scroller->verticalScrollBar()->isVisible());
        };
        QCOMPARE(scrollBarsAt(size), std::pair(false, false));
        QCOMPARE(app->view()->size(), form);
        QCOMPARE(scrollBarsAt(size - QSize(0, 1)).second, true);
    }

    void firstStartPlacement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("outer");
        QTest::addColumn<bool>("maximised");
        const QSize wanted(1030, 760);
        QTest::newRow("large screen")
            << QRect(0, 0, 1920, 1050) << QRect(QPoint(445, 145), wanted) << false;
        QTest::newRow("beside a panel, second screen")
            << QRect(1980, 30, 2500, 1400) << QRect(QPoint(2715, 350), wanted) << false;
        QTest::newRow("exact fit")
            << QRect(0, 0, 1030, 760) << QRect(QPoint(0, 0), wanted) << false;
        QTest::newRow("one row short")
            << QRect(0, 0, 1280, 759) << QRect(125, 0, 1030, 759) << true;
        QTest::newRow("1024 by 768 less a panel")
            << QRect(0, 0, 1024, 738) << QRect(0, 0, 1024, 738) << true;
        QTest::newRow("no screen known") << QRect() << QRect(QPoint(10, 10), wanted) << false;
    }
    void firstStartPlacement()
    {
        QFETCH(QRect, available);
        QFETCH(QRect, outer);
        QFETCH(bool, maximised);
        const FirstStartPlacement placement = ::firstStartPlacement(QSize(1030, 760), available);
        QCOMPARE(placement.outer, outer);
        QCOMPARE(placement.maximised, maximised);
    }

    void unusableProgramDirectoryStopsTheStart()
    {
        ScriptedPrompter prompter;
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_home = blocker.fileName() + QStringLiteral("/home/");
        QVERIFY(!start());
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().kind, ScriptedPrompter::Notice::Plain);
    }

    void maximisedWindowReopensMaximisedWithItsNormalRectangle()
    {
        auto app = start();
        app->mainFrame()->showNormal();
        app->mainFrame()->move(100, 120);
        app->mainFrame()->resize(496, 296);
        app->mainFrame()->showMaximized();
        QVERIFY(app->mainFrame()->isMaximized());
        QVERIFY(closeWindow(*app));
        app.reset();
        QCOMPARE(stored(QStringLiteral("Window size/max")).toInt(), 1);
        QCOMPARE(stored(QStringLiteral("Window size/Rect")).toString(),
                 QStringLiteral("0100 0120 0600 0420"));

        app = start();
        QVERIFY(app->mainFrame()->isMaximized());
        app->mainFrame()->showNormal();
        QTRY_COMPARE(app->mainFrame()->frameGeometry(), QRect(100, 120, 500, 300));
    }

    void storedRectangleIsBroughtWithinReach_data()
    {
        // The offscreen screen is 800 by 600; a second one stands to its right.
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("placed");
        const QList<QRect> screens{QRect(0, 0, 800, 600), QRect(800, 0, 1024, 768)};
        QTest::newRow("on screen") << QRect(100, 50, 400, 300) << QRect(100, 50, 400, 300);
        QTest::newRow("on the second screen")
            << QRect(1000, 100, 500, 400) << QRect(1000, 100, 500, 400);
        QTest::newRow("title above the screen")
            << QRect(100, -20, 400, 300) << QRect(100, 0, 400, 300);
        QTest::newRow("far right") << QRect(5000, 100, 400, 300) << QRect(1424, 100, 400, 300);
        QTest::newRow("all but an edge off the left")
            << QRect(-390, 100, 400, 300) << QRect(0, 100, 400, 300);
        QTest::newRow("larger than the screen")
            << QRect(-50, -50, 900, 700) << QRect(0, 0, 800, 600);
        QTest::newRow("empty") << QRect(0, 0, 0, 0) << QRect(10, 10, 490, 390);
        QTest::newRow("tiny") << QRect(30, 30, 5, 5) << QRect(30, 30, 200, 150);
        QTest::newRow("no screens known") << QRect(-900, -900, 400, 300) << QRect();
    }
    void storedRectangleIsBroughtWithinReach()
    {
        QFETCH(QRect, stored);
        QFETCH(QRect, placed);
        const QList<QRect> screens{QRect(0, 0, 800, 600), QRect(800, 0, 1024, 768)};
        if (placed.isNull())
            QCOMPARE(reachableRect(stored, {}), stored);
        else
            QCOMPARE(reachableRect(stored, screens), placed);
    }

    void garbageRectangleOpensOnTheScreen()
    {
        for (const char* text : {"zzzz zzzz", "-999 -999 -500 -600", "9999 9999 9999 9999"}) {
            {
                QSettings raw(m_settingsFile, QSettings::IniFormat);
                raw.setValue(QStringLiteral("Window size/Rect"), QLatin1String(text));
            }
            auto app = start();
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY2(screen.contains(app->mainFrame()->frameGeometry().topLeft()), text);
            QVERIFY2(app->mainFrame()->width() >= 200, text);
        }
    }

    void minimisedWindowReopensMinimised()
    {
        {
            QSettings raw(m_settingsFile, QSettings::IniFormat);
            raw.setValue(QStringLiteral("Window size/Rect"), QStringLiteral("0050 0060 0450 0360"));
            raw.setValue(QStringLiteral("Window size/icon"), 1);
            raw.setValue(QStringLiteral("Window size/max"), 0);
        }
        auto app = start();
        QVERIFY(app->mainFrame()->isMinimized());
        QVERIFY(!app->mainFrame()->isActiveWindow());
        QVERIFY(closeWindow(*app));
        app.reset();
        QCOMPARE(stored(QStringLiteral("Window size/icon")).toInt(), 1);
        QCOMPARE(stored(QStringLiteral("Window size/Rect")).toString(),
                 QStringLiteral("0050 0060 0450 0360"));
    }

    void hiddenMailToolBarStaysHiddenAfterARestart()
    {
        auto app = start();
        CMainFrame* frame = app->mainFrame();
        QAction* toggle = frame->router().action(IdMailToolBar);
        frame->router().updateAll();
        QVERIFY(toggle->isChecked());
        QVERIFY(frame->router().execute(IdMailToolBar));
        QVERIFY(!frame->mailToolBar()->isVisible());
        QCOMPARE(frame->mailToolBarFlag(), 0);
        QVERIFY(!toggle->isChecked());
        QVERIFY(frame->router().execute(IdViewStatusBar));
        QVERIFY(!frame->statusBar()->isVisible());
        QVERIFY(closeWindow(*app));
        app.reset();

        app = start();
        QVERIFY(!app->mainFrame()->mailToolBar()->isVisible());
        QVERIFY(!app->mainFrame()->statusBar()->isVisible());
        QVERIFY(app->mainFrame()->standardToolBar()->isVisible());
        QVERIFY(app->mainFrame()->router().execute(IdMailToolBar));
        QVERIFY(app->mainFrame()->mailToolBar()->isVisible());
        QCOMPARE(app->mainFrame()->mailToolBarFlag(), 1);
    }

    void closingWhileComposingAsksFirst()
    {
        ScriptedPrompter prompter;
        auto app = start();
        int logoffs = 0;
        app->hooks().isLoggedOn = [] {
            return true;
        };
        app->hooks().isComposing = [] {
            return true;
        };
        app->hooks().logoff = [&] {
            ++logoffs;
        };
        prompter.answerNo();
        QVERIFY(!closeWindow(*app));
        QVERIFY(app->mainFrame()->isVisible());
        QCOMPARE(logoffs, 0);
        prompter.answerYes();
        QVERIFY(closeWindow(*app));
        QCOMPARE(logoffs, 1);
        QCOMPARE(prompter.notices().size(), 2);
    }

    void screenWidthChoosesTheLayout_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<bool>("wide");
        QTest::addColumn<int>("tabWidth");
        QTest::newRow("640 warns") << 640 << true << false << 790;
        QTest::newRow("641") << 641 << false << false << 631;
        QTest::newRow("800") << 800 << false << false << 790;
        QTest::newRow("801 is wide") << 801 << false << true << 791;
        QTest::newRow("1024") << 1024 << false << true << 1014;
    }
    void screenWidthChoosesTheLayout()
    {
        QFETCH(int, screen);
        QFETCH(bool, warned);
        QFETCH(bool, wide);
        QFETCH(int, tabWidth);
        ScriptedPrompter prompter;
        auto app = start(screen);
        QCOMPARE(prompter.notices().size(), warned ? 1 : 0);
        if (warned)
            QCOMPARE(prompter.notices().first().text,
                     QStringLiteral(
                         "The program has been designed for a resolution of 800 by 600 or above!"));
        QCOMPARE(app->view()->wideLayout(), wide);
        QCOMPARE(app->view()->tabControl()->width(), tabWidth);
        QCOMPARE(app->view()->tabControl()->count(), 8);
        QCOMPARE(app->view()->tabControl()->tabText(6), QStringLiteral("Create new topic file"));
    }

    void scrollsOnlyWhenControlsAreCut()
    {
        auto app = start(1024);
        auto* scroller =
            app->mainFrame()->findChild<QScrollArea*>(QStringLiteral("workspaceScroller"));
        QVERIFY(scroller);
        app->mainFrame()->showNormal();
        const QSize form = app->view()->minimumSize();
        QVERIFY(form.width() < app->view()->tabControl()->width());
        app->mainFrame()->resize(form.width() + 60, form.height() + 400);
        QCoreApplication::processEvents();
        QVERIFY2(!scroller->horizontalScrollBar()->isVisible(),
                 qPrintable(QStringLiteral("form %1, viewport %2")
                                .arg(form.width())
                                .arg(scroller->viewport()->width())));
        QCOMPARE(app->view()->width(), scroller->viewport()->width());
        app->mainFrame()->resize(form.width() / 2, form.height() + 400);
        QCoreApplication::processEvents();
        QVERIFY(scroller->horizontalScrollBar()->isVisible());
        QCOMPARE(app->view()->width(), form.width());
    }

    void mailButtonsDropTheirNamesWhenTheRowIsShort()
    {
        auto app = start();
        QToolBar* bar = app->mainFrame()->mailToolBar();
        app->mainFrame()->resize(1600, 700);
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        app->mainFrame()->resize(700, 700);
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCoreApplication::processEvents();
        QVERIFY(bar->sizeHint().width() <= 700);
    }

    void checkedMenuItemsShowCheckMarks()
    {
        auto app = start();
        QAction* preview = app->mainFrame()->router().action(32832);
        QVERIFY(preview->isCheckable() && !preview->icon().isNull());
        for (QMenu* menu : app->mainFrame()->findChildren<QMenu*>()) {
            if (menu->actions().contains(preview))
                Q_EMIT menu->aboutToShow();
        }
        QVERIFY(!preview->isIconVisibleInMenu());
        QVERIFY(preview->isChecked());
        // The empty message list has a blank header, not the widget's column number.
        auto* list = qobject_cast<QTreeView*>(app->view()->control(1011));
        QVERIFY(list);
        const QAbstractItemModel* model = list->model();
        QVERIFY(!model || model->columnCount() == 0 ||
                model->headerData(0, Qt::Horizontal).toString().isEmpty());
    }

    void commandsWithoutTheirPartAreDisabled()
    {
        ScriptedPrompter prompter;
        auto app = start();
        CommandRouter& router = app->mainFrame()->router();
        router.updateAll();
        for (int id : {1204, 1207, 32859})
            QVERIFY2(!router.action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(router.execute(IdAppAbout));
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().title, QStringLiteral("About Vantrel"));
    }

    void contextHelpExplainsTheNextCommand()
    {
        auto app = start();
        CommandRouter& router = app->mainFrame()->router();
        QVERIFY(router.execute(IdContextHelp));
        QVERIFY(app->mainFrame()->contextHelp()->isActive());
        // Even a command that cannot run yet is explained rather than carried out.
        QVERIFY(router.execute(1204));
        QVERIFY(!app->mainFrame()->contextHelp()->isActive());
        QVERIFY(app->helpWindow());
        QVERIFY(app->helpWindow()->currentPage().startsWith(QStringLiteral("menu-mail.html")));

        QVERIFY(router.execute(IdHelpFinder));
        QCOMPARE(app->helpWindow()->currentPage(), QStringLiteral("index.html"));
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
