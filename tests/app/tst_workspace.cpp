#include "CSupportView.h"
#include "CTextBox.h"
#include "ScriptedPrompter.h"
#include "WorkspaceLayoutData.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <memory>

namespace {

// A view with its document and settings in a temporary place, as the program makes it.
struct Workspace
{
    explicit Workspace(const QString& dir, int screenWidth = 1024, int outgoingType = 0)
        : store(dir + QStringLiteral("/settings.ini"))
        , doc(store, dir + u'/')
    {
        store.writeInt(SettingsStore::kInternalData, QStringLiteral("Outgoing text type"),
                       outgoingType);
        doc.LoadSettings();
        doc.RebuildSupportPathList();
        view = std::make_unique<CSupportView>(doc, hooks, screenWidth);
        view->OnInitialUpdate(router);
        view->show();
    }
    ~Workspace() { view.reset(); }

    SettingsStore store;
    CSupportDoc doc;
    LifecycleHooks hooks;
    CommandRouter router;
    std::unique_ptr<CSupportView> view;
};

} // namespace

class TestWorkspace : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString dir() const
    {
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) +
                                            QString::fromLatin1(QTest::currentDataTag()));
        QDir().mkpath(path);
        return path;
    }

private Q_SLOTS:
    void everyControlTakesItsPlaceOnEveryTab_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::newRow("800 layout") << false;
        QTest::newRow("wide layout") << true;
    }
    void everyControlTakesItsPlaceOnEveryTab()
    {
        QFETCH(bool, wide);
        ScriptedPrompter prompter;
        Workspace w(dir(), wide ? 1024 : 800);
        for (int tab = 0; tab < WorkspaceTab::Count; ++tab) {
            w.view->SelectTab(tab);
            QSet<int> expected{1075};
            // The search line starts with the search box.
            if (tab == WorkspaceTab::Database)
                expected.insert(1035);
            for (const ControlPlacement& p : workspacePlacements(wide)) {
                if (p.tab != tab ||
                    (tab == WorkspaceTab::EmailFolders && (p.id == 1006 || p.id == 1011)))
                    continue;
                expected.insert(p.id);
                QWidget* control = w.view->control(p.id);
                QVERIFY2(control, qPrintable(QString::number(p.id)));
                QCOMPARE(control->geometry(), QRect(p.x, p.y, p.width, p.height));
            }
            for (int id = 1000; id <= 1075; ++id) {
                QWidget* control = w.view->control(id);
                if (control && id != 1006 && id != 1011)
                    QVERIFY2(control->isVisibleTo(w.view.get()) == expected.contains(id),
                             qPrintable(QStringLiteral("%1 on tab %2").arg(id).arg(tab)));
            }
        }
    }

    void spotPositions_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("id");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("selector on Database") << 800 << 4 << 1046 << QRect(140, 85, 170, 20);
        QTest::newRow("selector on topic tab, wide") << 1024 << 6 << 1046 << QRect(2, 35, 264, 20);
        QTest::newRow("outgoing box, wide") << 1024 << 3 << 1000 << QRect(4, 148, 998, 468);
        QTest::newRow("show all on Knowledge base, wide")
            << 1024 << 5 << 1031 << QRect(800, 120, 150, 40);
        QTest::newRow("topic box on topic tab") << 800 << 6 << 1001 << QRect(250, 35, 538, 385);
        QTest::newRow("calendar") << 800 << 7 << 1074 << QRect(2, 32, 780, 142);
        QTest::newRow("tab control at 640") << 640 << 0 << 1075 << QRect(2, 2, 790, 22);
        QTest::newRow("tab control at 1280") << 1280 << 3 << 1075 << QRect(2, 2, 1270, 22);
    }
    void spotPositions()
    {
        QFETCH(int, screen);
        QFETCH(int, tab);
        QFETCH(int, id);
        QFETCH(QRect, rect);
        ScriptedPrompter prompter;
        Workspace w(dir(), screen);
        w.view->SelectTab(tab);
        QCOMPARE(w.view->control(id)->geometry(), rect);
        QVERIFY(w.view->control(id)->isVisibleTo(w.view.get()));
    }

    void labelsAndTransferCaptionsFollowTheTab()
    {
        Workspace w(dir());
        const auto label = [&](int id) {
            return qobject_cast<QLabel*>(w.view->control(id))->text();
        };
        const auto button = [&](int id) {
            return qobject_cast<QPushButton*>(w.view->control(id))->text();
        };
        QCOMPARE(label(1019), QStringLiteral("From:"));
        QCOMPARE(label(1020), QStringLiteral("Address:"));
        w.view->SelectTab(WorkspaceTab::Database);
        QCOMPARE(label(1044), QStringLiteral("Select and Search"));
        QCOMPARE(button(1055), QStringLiteral("Transfer &Problem to email"));
        QCOMPARE(button(1057), QStringLiteral("Transfer Notes to emai&l"));
        w.view->SelectTab(WorkspaceTab::KnowledgeBase);
        QCOMPARE(button(1055), QStringLiteral("Transfer Note &1 to email"));
        QCOMPARE(button(1057), QStringLiteral("Transfer Note &3 to email"));
        QCOMPARE(label(1019), QStringLiteral(" "));
    }

    void topicTabShowsTheTopicControlsAndPaths()
    {
        Workspace w(dir());
        w.doc.setCurrentPathIndex(9);
        QVERIFY(w.router.execute(32842)); // F8
        QCOMPARE(w.view->currentTab(), int(WorkspaceTab::CreateTopicFile));
        for (int id : {1045, 1001, 1007, 1014, 1046})
            QVERIFY2(w.view->control(id)->isVisibleTo(w.view.get()),
                     qPrintable(QString::number(id)));
        QComboBox* selector = w.view->selector();
        QCOMPARE(selector->count(), 10);
        QCOMPARE(selector->itemText(0), w.doc.GetSupportPath(0));
        QCOMPARE(selector->currentIndex(), 9);
        QVERIFY(selector->currentText().endsWith(QStringLiteral("Examples")));
    }

    void tabKeysGiveBackTheRememberedFocus()
    {
        Workspace w(dir());
        w.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.view.get()));
        QVERIFY(w.router.execute(32843)); // F9
        QVERIFY(w.view->textBox(1003)->hasFocus());
        QVERIFY(w.router.execute(32840)); // F6
        w.view->control(1016)->setFocus();
        QVERIFY(w.router.execute(32836)); // F2
        QCOMPARE(w.view->currentTab(), 0);
        QCOMPARE(w.view->rememberedFocus(WorkspaceTab::Database), 1016);
        QVERIFY(w.router.execute(32840));
        QVERIFY(w.view->control(1016)->hasFocus());
    }

    void editCommandsActOnTheFocusedControlOnly()
    {
        Workspace w(dir());
        w.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.view.get()));
        w.view->SelectTab(WorkspaceTab::CreateTopicFile);
        CTextBox* topic = w.view->textBox(1001);
        topic->setPlainText(QStringLiteral("topic"));
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        QVERIFY(!QApplication::focusWidget());
        for (int id : {57637, 57632, 57642, 57643, 57635})
            QVERIFY(w.router.execute(id));
        QCOMPARE(topic->toPlainText(), QStringLiteral("topic"));

        topic->setFocus();
        QVERIFY(w.router.execute(57642)); // select all
        QVERIFY(w.router.execute(57632)); // delete the selection
        QCOMPARE(topic->toPlainText(), QString());
    }

    void pasteIntoATextBoxKeepsItsPlainRecord()
    {
        Workspace w(dir());
        w.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.view.get()));
        w.view->SelectTab(WorkspaceTab::CreateReply);
        auto* data = new QMimeData;
        data->setHtml(
            QStringLiteral("<b style='color:#00f;font-family:Serif;font-size:22pt'>Big</b> "
                           "<i>styled</i>"));
        data->setText(QStringLiteral("Big styled"));
        QGuiApplication::clipboard()->setMimeData(data);
        CTextBox* topic = w.view->textBox(1001);
        topic->setFocus();
        QVERIFY(w.router.execute(57637));
        QCOMPARE(topic->toPlainText(), QStringLiteral("Big styled"));
        QTextCursor cursor(topic->document());
        for (int position : {1, 6}) {
            cursor.setPosition(position);
            const QTextCharFormat format = cursor.charFormat();
            QCOMPARE(format.fontFamilies().toStringList().value(0), QStringLiteral("Courier New"));
            QCOMPARE(format.fontPointSize(), 10.0);
            QCOMPARE(format.foreground().color(), QColor(Qt::black));
            QVERIFY(format.fontWeight() <= QFont::Normal);
        }
    }

    void previewSwitchMovesTreeAndList_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("preview");
        QTest::addColumn<int>("full");
        QTest::newRow("800") << 800 << 220 << 395;
        QTest::newRow("wide") << 1024 << 290 << 558;
    }
    void previewSwitchMovesTreeAndList()
    {
        QFETCH(int, screen);
        QFETCH(int, preview);
        QFETCH(int, full);
        Workspace w(dir(), screen);
        QAction check;
        check.setCheckable(true);
        w.router.registerAction(32832, &check);
        QVERIFY(w.view->previewOn());
        QVERIFY(check.isChecked());
        QCOMPARE(w.view->control(1006)->height(), preview);
        QVERIFY(w.view->textBox(1002)->isVisibleTo(w.view.get()));
        QVERIFY(w.router.execute(32832));
        QVERIFY(!check.isChecked());
        QCOMPARE(w.view->control(1006)->height(), full);
        QCOMPARE(w.view->control(1011)->height(), full);
        QVERIFY(!w.view->textBox(1002)->isVisibleTo(w.view.get()));
        // Other tabs are not affected, and coming back keeps the arrangement.
        w.view->SelectTab(WorkspaceTab::ReadEmail);
        QVERIFY(w.view->textBox(1002)->isVisibleTo(w.view.get()));
        w.view->SelectTab(WorkspaceTab::EmailFolders);
        QCOMPARE(w.view->control(1011)->height(), full);
        QVERIFY(w.router.execute(32832));
        QCOMPARE(w.view->control(1011)->height(), preview);
    }

    void previewOffAtStartIsArranged()
    {
        const QString where = dir();
        {
            SettingsStore store(where + QStringLiteral("/settings.ini"));
            store.writeInt(SettingsStore::kInternalData, QStringLiteral("Preview on"), 0);
        }
        Workspace w(where, 800);
        QVERIFY(!w.view->previewOn());
        QCOMPARE(w.view->control(1006)->height(), 395);
        QVERIFY(!w.view->textBox(1002)->isVisibleTo(w.view.get()));
    }

    void markReadWaitFollowsTheTabs()
    {
        Workspace w(dir());
        int marked = 0;
        QList<int> updated;
        w.view->workspaceHooks().selectedMessageCount = [] {
            return 1;
        };
        w.view->workspaceHooks().markSelectedRead = [&] {
            ++marked;
        };
        w.view->workspaceHooks().updateCurrentRecord = [&](int tab) {
            updated << tab;
        };
        ViewTimers& timers = w.view->timers();

        w.view->SelectTab(WorkspaceTab::ReadEmail);
        w.view->ArmMarkReadWait();
        QVERIFY(timers.isActive(ViewTimers::kMarkAsRead));
        w.view->SelectTab(WorkspaceTab::Database);
        QVERIFY(!timers.isActive(ViewTimers::kMarkAsRead));
        QVERIFY(w.view->markReadSuspended());
        // While the wait is suspended no record is written on leaving the database.
        w.view->SelectTab(WorkspaceTab::KnowledgeBase);
        QVERIFY(updated.isEmpty());
        w.view->SelectTab(WorkspaceTab::ReadEmail);
        QVERIFY(timers.isActive(ViewTimers::kMarkAsRead));
        QCOMPARE(timers.interval(ViewTimers::kMarkAsRead), 12000);
        QVERIFY(!w.view->markReadSuspended());
        timers.fire(ViewTimers::kMarkAsRead);
        QCOMPARE(marked, 1);
        QVERIFY(!w.view->markReadArmed());

        // With the wait over, leaving a table tab updates its record when asked to.
        w.view->SelectTab(WorkspaceTab::Database);
        w.view->SelectTab(WorkspaceTab::KnowledgeBase);
        QCOMPARE(updated, QList<int>{WorkspaceTab::Database});
        w.view->workingSettings().autoRecordUpdate = 0;
        w.view->SelectTab(WorkspaceTab::Database);
        QCOMPARE(updated.size(), 1);
    }

    void markReadWaitsForThePreview()
    {
        Workspace w(dir());
        int marked = 0;
        w.view->workspaceHooks().selectedMessageCount = [] {
            return 1;
        };
        w.view->workspaceHooks().markSelectedRead = [&] {
            ++marked;
        };
        w.view->OnPreviewSwitch(); // off
        w.view->SelectTab(WorkspaceTab::EmailFolders);
        w.view->ArmMarkReadWait();
        w.view->timers().fire(ViewTimers::kMarkAsRead);
        QCOMPARE(marked, 0);
        QVERIFY(w.view->markReadArmed());
        w.view->OnPreviewSwitch(); // on: the wait starts again
        QVERIFY(w.view->timers().isActive(ViewTimers::kMarkAsRead));
        w.view->timers().fire(ViewTimers::kMarkAsRead);
        QCOMPARE(marked, 1);
    }

    void searchLineFollowsTheSearchState()
    {
        Workspace w(dir(), 800);
        bool datesShown = false;
        w.view->workspaceHooks().searchLineVisible = [&](int id) {
            return datesShown ? id == 1072 || id == 1073 : id == 1034;
        };
        w.view->SelectTab(WorkspaceTab::Database);
        QVERIFY(w.view->control(1034)->isVisibleTo(w.view.get()));
        QCOMPARE(w.view->control(1034)->geometry(), QRect(320, 85, 300, 20));
        QVERIFY(!w.view->control(1072)->isVisibleTo(w.view.get()));
        datesShown = true;
        w.view->SelectTab(WorkspaceTab::Database);
        QCOMPARE(w.view->control(1073)->geometry(), QRect(475, 85, 145, 20));
        QVERIFY(w.view->control(1073)->isVisibleTo(w.view.get()));
        QVERIFY(!w.view->control(1034)->isVisibleTo(w.view.get()));
        // On the knowledge base 1035 is an ordinary control.
        w.view->SelectTab(WorkspaceTab::KnowledgeBase);
        QCOMPARE(w.view->control(1035)->geometry(), QRect(320, 45, 300, 20));
    }

    // Captions fit their fixed-size buttons and labels in both layouts.
    void captionsAreNotClipped_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("800") << 800;
        QTest::newRow("wide") << 1024;
    }
    void captionsAreNotClipped()
    {
        QFETCH(int, screen);
        Workspace w(dir(), screen);
        for (int tab = 0; tab < WorkspaceTab::Count; ++tab) {
            w.view->SelectTab(tab);
            for (int id = 1004; id <= 1074; ++id) {
                QWidget* control = w.view->control(id);
                if (!control || !control->isVisibleTo(w.view.get()))
                    continue;
                QString text;
                int room = control->width();
                if (auto* button = qobject_cast<QPushButton*>(control)) {
                    text = button->text();
                    room -= 6; // frame and padding
                } else if (auto* label = qobject_cast<QLabel*>(control)) {
                    text = label->text();
                }
                text.remove(u'&');
                const int needed = control->fontMetrics().horizontalAdvance(text);
                QVERIFY2(needed <= room,
                         qPrintable(QStringLiteral("%1 on tab %2: \"%3\" needs %4 of %5")
                                        .arg(id)
                                        .arg(tab)
                                        .arg(text)
                                        .arg(needed)
                                        .arg(room)));
            }
        }
    }

    void tooltipsComeFromTheStringTable()
    {
        Workspace w(dir());
        QCOMPARE(w.view->tabControl()->toolTip(),
                 QStringLiteral("Press these tabs to move around the program"));
        QVERIFY(!w.view->control(1046)->toolTip().isEmpty());
        QVERIFY(!w.view->control(1007)->toolTip().contains(u'\n'));
    }
};

QTEST_MAIN(TestWorkspace)
#include "tst_workspace.moc"
