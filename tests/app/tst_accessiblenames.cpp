// Names for screen readers and keyboard use in the whole program, offscreen, on a real
// SQLite support database: every control of every tab, of the Preferences pages and of a few
// dialogs has a name; captions that change carry the names with them; Tab reaches every
// control of a tab and never sticks.
#include "AccessibleNames.h"
#include "DatabaseWorkspace.h"
#include "HelpWindow.h"
#include "PreferencesSheet.h"
#include "topics/TopicNameDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace dbtest;

namespace {

constexpr int kConnect = 32788, kPreferences = 32828, kAbout = 57664, kOpenTopicFile = 57601;

QString accessibleName(QWidget* w)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
}

bool meaningful(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Controls a keyboard user reaches with Tab (the one a focus proxy stands for counts once).
bool reachable(const QWidget* w)
{
    return !w->isWindow() && w->isVisible() && w->isEnabled() && !w->focusProxy() &&
           (w->focusPolicy() & Qt::TabFocus);
}

QString describe(const QWidget* w)
{
    const int id = w->property("controlId").toInt();
    return u"%1 '%2'%3"_s.arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                              id ? u" (%1)"_s.arg(id) : QString());
}

// Shown controls of `window` that a screen reader could not name.
QStringList unnamed(QWidget* window)
{
    QCoreApplication::processEvents();
    QStringList offenders;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool button = qobject_cast<QAbstractButton*>(w) && w->isVisible();
        if ((reachable(w) || button) && !meaningful(accessibleName(w)))
            offenders << describe(w);
    }
    return offenders;
}

} // namespace

class TestAccessibleNames : public QObject
{
    Q_OBJECT

    DatabaseWorkspace m_work;

    CSupportView* view() const { return m_work.view(); }
    QWidget* frame() const { return m_work.app->mainFrame(); }

    void showTab(int tab)
    {
        view()->SelectTab(tab);
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.start(u"vntdatab.db"_s, {job(1, u"printer jams"_s)},
                             {knowledge(1, u"Toner low"_s)}));
        QApplication::setActiveWindow(frame());
        QVERIFY(QTest::qWaitForWindowActive(frame()));
    }

    void everyTabNamesEveryControl()
    {
        QStringList offenders;
        for (int tab = 0; tab < WorkspaceTab::Count; ++tab) {
            showTab(tab);
            for (const QString& offender : unnamed(frame()))
                offenders << CSupportView::tabCaption(tab) + u": "_s + offender;
        }
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(u'\n')));
    }

    void namesFollowTheirSource()
    {
        showTab(WorkspaceTab::Database);
        QWidget* jobNumber = view()->control(1018);
        // No database yet: the caption beside the box is blank, its tooltip names it.
        QCOMPARE(accessibleName(jobNumber), jobNumber->toolTip());
        m_work.router().execute(kConnect);
        QTest::qWait(20);
        QCOMPARE(qobject_cast<QLabel*>(view()->control(1019))->text(), u"Job number"_s);
        QCOMPARE(accessibleName(jobNumber), u"Job number"_s);
        // On Linux Qt reports a combo box's current entry as its name; the caption is its own.
        QCOMPARE(view()->selector()->accessibleName(),
                 view()->labelText(WorkspaceTab::Database, 14));
        // The same caption names another box on Knowledge base.
        showTab(WorkspaceTab::KnowledgeBase);
        QCOMPARE(accessibleName(view()->control(1041)),
                 view()->labelText(WorkspaceTab::KnowledgeBase, 0));
        // A name the program sets itself stays.
        view()->control(1035)->setAccessibleName(u"Search text"_s);
        AccessibleNames::apply(frame());
        QCOMPARE(accessibleName(view()->control(1035)), u"Search text"_s);

        // An icon-only tool button is named by its command.
        auto* bar = m_work.app->mainFrame()->standardToolBar();
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        QWidget* open = bar->widgetForAction(m_work.router().action(kOpenTopicFile));
        QVERIFY(open);
        QCOMPARE(accessibleName(open), u"Open topic file"_s);
    }

    void preferencesAndDialogsNameEveryControl()
    {
        QStringList offenders;
        m_work.prompter.dialogScript([&](QDialog& dialog) {
            dialog.show();
            auto* pages = dialog.findChild<QTabWidget*>();
            for (int page = 0; pages && page < pages->count(); ++page) {
                pages->setCurrentIndex(page);
                for (const QString& offender : unnamed(&dialog))
                    offenders << pages->tabText(page) + u": "_s + offender;
            }
            return int(QDialog::Rejected);
        });
        m_work.router().execute(kPreferences);
        m_work.prompter.dialogScript([&](QDialog& dialog) {
            dialog.show();
            offenders << unnamed(&dialog);
            return int(QDialog::Rejected);
        });
        m_work.router().execute(kAbout);

        TopicNameDialog topicName(TopicNameDialog::NewFolder, u"Printers"_s, frame());
        topicName.show();
        offenders << unnamed(&topicName);
        m_work.app->WinHelp(0, false);
        offenders << unnamed(m_work.app->helpWindow());
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(u'\n')));
    }

    void tabReachesEveryControlWithoutTraps()
    {
        if (m_work.app->helpWindow())
            m_work.app->helpWindow()->close();
        QApplication::setActiveWindow(frame());
        QVERIFY(QTest::qWaitForWindowActive(frame()));
        QStringList problems;
        for (int tab = 0; tab < WorkspaceTab::Count; ++tab) {
            showTab(tab);
            view()->tabControl()->setFocus(Qt::TabFocusReason);
            QSet<QWidget*> visited;
            // Date boxes take Tab between their six parts, so a few presses may stay in one.
            int stuck = 0;
            for (int press = 0; press < 200 && stuck < 8; ++press) {
                QWidget* before = QApplication::focusWidget();
                QVERIFY(before);
                visited.insert(before);
                // Boxes that take Tab as text are left with Ctrl+Tab.
                auto* box = qobject_cast<QTextEdit*>(before);
                const bool tabIsText = box && !box->tabChangesFocus() && !box->isReadOnly();
                QTest::keyClick(before, Qt::Key_Tab,
                                tabIsText ? Qt::ControlModifier : Qt::NoModifier);
                stuck = QApplication::focusWidget() == before ? stuck + 1 : 0;
            }
            if (stuck > 0)
                problems << CSupportView::tabCaption(tab) + u": Tab stays in "_s +
                                describe(QApplication::focusWidget());
            for (QWidget* w : view()->findChildren<QWidget*>()) {
                if (reachable(w) && !visited.contains(w))
                    problems << CSupportView::tabCaption(tab) + u": never reached "_s + describe(w);
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
