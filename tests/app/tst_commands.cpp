#include "CommandTable.h"
#include "core/CommandRouter.h"
#include "core/StringTable.h"

#include <QAction>
#include <QMenu>
#include <QSet>
#include <QTest>

namespace {

int countSeparators(const QList<int>& buttons)
{
    return int(std::count(buttons.begin(), buttons.end(), 0));
}

void collect(const QList<MenuItem>& items, QList<int>& ids)
{
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Submenu)
            collect(item.items, ids);
        else if (item.kind == MenuItem::Command)
            ids << item.id;
    }
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuBarHasItsMenusAndItems()
    {
        const QList<MenuItem> bar = mainMenuBar();
        QStringList titles;
        for (const MenuItem& menu : bar)
            titles << menu.text;
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "F&ormat", "&View", "&Mail", "&Database",
                                      "&Help"}));
        QList<int> ids;
        collect(bar, ids);
        // Every command appears once in the menu bar.
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
        QCOMPARE(bar[0].items.size(), 17);
        QCOMPARE(bar[0].items[8].kind, MenuItem::Submenu);
        QCOMPARE(bar[0].items[8].items.size(), 7);
        QCOMPARE(bar[4].items.size(), 24);
        QCOMPARE(bar[6].items.last().id, 57664);
    }

    void toolBarsHaveTheirPositions()
    {
        QCOMPARE(standardToolBarButtons().size(), 39);
        QCOMPARE(countSeparators(standardToolBarButtons()), 8);
        QCOMPARE(mailToolBarButtons().size(), 16);
        QCOMPARE(mailToolBarButtons().first(), 1236);
        QCOMPARE(standardToolBarButtons().last(), 57669);
    }

    void everyCommandHasAnOwnerAndPrompts()
    {
        const StringTable& strings = StringTable::instance();
        for (int id : allCommandIds()) {
            const QByteArray which = QByteArray::number(id);
            QVERIFY2(commandOwner(id) != CommandOwner::Unknown, which);
            QVERIFY2(!strings.statusPrompt(id).isEmpty(), which);
            QVERIFY2(!strings.toolTip(id).isEmpty(), which);
        }
    }

    void acceleratorsFollowTheTable()
    {
        QCOMPARE(acceleratorsFor(57601).value(0), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(acceleratorsFor(57643).size(), 2);
        QCOMPARE(acceleratorsFor(57643).at(1), QKeySequence(Qt::ALT | Qt::Key_Backspace));
        QCOMPARE(acceleratorsFor(32843).value(0), QKeySequence(Qt::Key_F9));
        QCOMPARE(acceleratorsFor(59649).value(0), QKeySequence(Qt::CTRL | Qt::Key_Up));
        QVERIFY(acceleratorsFor(57600).isEmpty());
    }

    void routerDisablesUnboundAndRunsBound()
    {
        CommandRouter router;
        QMenu menu;
        auto* unbound = menu.addAction(QStringLiteral("Reply"));
        auto* bound = menu.addAction(QStringLiteral("Toggle"));
        bound->setCheckable(true);
        router.registerAction(1204, unbound);
        router.registerAction(32832, bound);
        QVERIFY(!unbound->isEnabled());
        QVERIFY(!router.execute(1204));

        int runs = 0;
        bool on = false;
        bool allowed = true;
        router.bind(
            32832, [&] { ++runs, on = !on; },
            [&] {
                return CommandState{allowed, on};
            });
        QVERIFY(bound->isEnabled());
        bound->trigger();
        QCOMPARE(runs, 1);
        QVERIFY(bound->isChecked());

        allowed = false;
        router.updateMenu(&menu);
        QVERIFY(!bound->isEnabled());
        QVERIFY(!router.execute(32832));
        QCOMPARE(runs, 1);

        // While something intercepts commands (context help), nothing runs.
        allowed = true;
        int intercepted = 0;
        router.setInterceptor([&](int id) { return intercepted = id, true; });
        QVERIFY(router.execute(32832));
        QCOMPARE(intercepted, 32832);
        QCOMPARE(runs, 1);
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
