// The Preferences sheet in the whole program, offscreen, logged on to a real Maildir store:
// the page each command opens on, what OK shows at once, and that Cancel and rejected input
// change nothing.
#include "CTextBox.h"
#include "ColumnPage.h"
#include "ComposeWorkspace.h"
#include "MailProfilePage.h"
#include "MailSetupPage.h"
#include "PreferencesSheet.h"
#include "ScriptedPrompter.h"
#include "database/DatabasePage.h"
#include "mail/MessageListView.h"
#include "notepad/CalendarPage.h"
#include "print/PageSetupPage.h"
#include "topics/TopicController.h"
#include "topics/TopicPathsPage.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using vantrel::mail::MessageListDelegate;

namespace {

constexpr int Prefs = 32828, ForMail = 32854, ForDatabase = 32855, FromList = 32831,
              FromTopics = 32883, PageSetup = 32893;
const QStringList kPageTitles =
    u"Database|Mail setup|Column |Calendar display|Edit file topic paths|Mail Profile|Page Setup"_s
        .split(u'|');
constexpr int kSubject = 8; // a text column the Inbox shows by default
constexpr int kCreateReply = WorkspaceTab::CreateReply;

QTreeWidgetItem* columnItem(const cproppage3& page, int column)
{
    for (int row = 0; row < page.columnList()->topLevelItemCount(); ++row) {
        if (page.columnList()->topLevelItem(row)->data(0, Qt::UserRole).toInt() == column)
            return page.columnList()->topLevelItem(row);
    }
    return nullptr;
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

    ScriptedPrompter m_prompter;
    composetest::ComposeWorkspace m_work;

    CSupportView* view() const { return m_work.view(); }
    CSupportDoc& doc() const { return *m_work.app->document(); }
    QTreeView* list() const { return qobject_cast<QTreeView*>(view()->control(1011)); }

    // Runs `command`, `script` filling in the sheet; false when no sheet came.
    bool run(int command, const std::function<int(PreferencesSheet&)>& script)
    {
        bool shown = false;
        m_prompter.dialogScript([&](QDialog& dialog) {
            auto* sheet = qobject_cast<PreferencesSheet*>(&dialog);
            shown = sheet != nullptr;
            return sheet ? script(*sheet) : int(QDialog::Rejected);
        });
        return m_work.router().execute(command) && shown;
    }
    void setLoggedOn(bool on)
    {
        if (view()->mail()->isLoggedOn() != on)
            on ? void(view()->mail()->OnLogon()) : void(view()->mail()->OnLogoff());
    }
    QStringList headers() const
    {
        QStringList texts;
        for (int section = 0; section < list()->model()->columnCount(); ++section)
            texts << list()->model()->headerData(section, Qt::Horizontal).toString() + u':' +
                         QString::number(list()->header()->sectionSize(section));
        return texts;
    }
    QStringList topicTree() const
    {
        auto* tree = qobject_cast<QTreeWidget*>(view()->control(1045));
        QStringList names;
        for (int row = 0; row < tree->topLevelItemCount(); ++row)
            names << tree->topLevelItem(row)->text(0);
        return names;
    }
    // Every value the sheet could touch, and what the workspace shows of them.
    QStringList snapshot() const
    {
        QStringList values;
        for (int index = 0; index < IntSettingCount; ++index)
            values << QString::number(doc().intSetting(index));
        for (int index = PlainFontName; index <= StringSettingLast; ++index)
            values << doc().stringSetting(index);
        for (int kind = 0; kind < kMaskKindCount; ++kind)
            values << QString::number(doc().columnMask(MaskKind(kind)), 16);
        for (int column = 0; column < kColumnCount; ++column)
            values << u"%1/%2"_s.arg(doc().columnWidth(column, WidthList::Messages))
                          .arg(doc().columnWidth(column, WidthList::Contacts));
        for (int path = 0; path < kSupportPathCount; ++path)
            values << doc().GetSupportPath(path);
        values << doc().supportPathList() << QString::number(doc().supportPathsChanged())
               << QString::number(doc().columnWidthsChanged());
        const ViewSettings& v = view()->workingSettings();
        for (int value : {v.autoRecordUpdate, v.openDatabaseAtStart, v.logonAtStartup, v.gridOn,
                          v.monthStyle, v.outgoingTextType})
            values << QString::number(value);
        values << headers() << topicTree() << view()->selector()->currentText()
               << view()->monthCalendar()->palette().color(QPalette::Base).name()
               << QString::number(view()->textBox(1000)->wrapLength())
               << QString::number(
                      qobject_cast<MessageListDelegate*>(list()->itemDelegate())->grid());
        return values;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_work.start()); }
    void cleanupTestCase() { m_work.app.reset(); }

    void startPage_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("page"); // counted with the "Column " page
        using P = PreferencesSheet;
        const int byTab[] = {P::MailSetupPage,  P::MailSetupPage, P::TopicPathsPage,
                             P::MailSetupPage,  P::DatabasePage,  P::DatabasePage,
                             P::TopicPathsPage, P::CalendarPage};
        const std::pair<int, int> byCommand[] = {{ForMail, P::MailSetupPage},
                                                 {ForDatabase, P::DatabasePage},
                                                 {FromList, P::DatabasePage},
                                                 {FromTopics, P::TopicPathsPage},
                                                 {PageSetup, P::PageSetupPage}};
        for (bool on : {true, false}) {
            for (int tab = 0; tab < WorkspaceTab::Count; ++tab)
                QTest::addRow("%s tab %d", on ? "on" : "off", tab)
                    << on << tab << Prefs << byTab[tab];
            for (const auto& [command, page] : byCommand)
                QTest::addRow("%s command %d", on ? "on" : "off", command)
                    << on << int(WorkspaceTab::NotePadCalendar) << command << page;
        }
    }
    void startPage()
    {
        QFETCH(bool, loggedOn);
        QFETCH(int, tab);
        QFETCH(int, command);
        QFETCH(int, page);
        setLoggedOn(loggedOn);
        view()->SelectTab(tab);
        QStringList titles;
        QString shown;
        QVERIFY(run(command, [&](PreferencesSheet& sheet) {
            shown = sheet.tabs()->currentWidget()->windowTitle();
            for (int index = 0; index < sheet.tabs()->count(); ++index)
                titles << sheet.tabs()->tabText(index);
            return int(QDialog::Rejected);
        }));
        QStringList expected = kPageTitles;
        QCOMPARE(shown, expected.at(page)); // the same page, wherever it sits
        if (!loggedOn)
            expected.removeAt(PreferencesSheet::ColumnPage);
        QCOMPARE(titles, expected);
        QCOMPARE(view()->preferencesStartPage(), PreferencesSheet::kDefaultStartPage);
    }

    void wrapLength_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("boxLength"); // the box keeps 32..131, else uses 76
        QTest::newRow("too short") << u"25"_s << 94 << 94;
        QTest::newRow("shortest taken") << u"30"_s << 30 << 76;
        QTest::newRow("ordinary") << u"100"_s << 100 << 100;
        QTest::newRow("longest taken") << u"132"_s << 132 << 76;
        QTest::newRow("too long") << u"133"_s << 94 << 94;
        QTest::newRow("no number") << u"8O"_s << 94 << 94;
    }
    void wrapLength()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(int, boxLength);
        setLoggedOn(true);
        view()->SelectTab(kCreateReply);
        CTextBox* box = view()->textBox(1000);
        doc().setIntSetting(PlainWrapLength, 94);
        box->SetWrapLength(94);
        box->ApplyFixedWidth(kCreateReply);
        const int lineWidth = box->lineWidthTwips();
        QVERIFY(run(ForMail, [&](PreferencesSheet& sheet) {
            retype(sheet.mailSetupPage()->wrapEdit(), typed);
            return int(QDialog::Accepted);
        }));
        QCOMPARE(doc().intSetting(PlainWrapLength), stored);
        QCOMPARE(box->wrapLength(), boxLength);
        QCOMPARE(box->lineWidthTwips() == lineWidth, boxLength == 94);
    }

    void columnWidth_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("0") << u"0"_s << false;
        QTest::newRow("1001") << u"1001"_s << false;
        QTest::newRow("not a number") << u"12a"_s << false;
        QTest::newRow("1") << u"1"_s << true;
        QTest::newRow("1000") << u"1000"_s << true;
    }
    void columnWidth()
    {
        QFETCH(QString, typed);
        QFETCH(bool, taken);
        setLoggedOn(true);
        const int before = doc().columnWidth(kSubject, WidthList::Messages);
        int rejected = -1;
        QVERIFY(run(ForMail, [&](PreferencesSheet& sheet) {
            cproppage3* page = sheet.columnPage();
            QSignalSpy spy(page, &cproppage3::widthRejected);
            page->columnList()->setCurrentItem(columnItem(*page, kSubject));
            retype(page->widthEdit(), typed);
            QTest::keyClick(page->widthEdit(), Qt::Key_Return);
            rejected = int(spy.count());
            return int(QDialog::Accepted);
        }));
        QCOMPARE(rejected, taken ? 0 : 1);
        const int width = taken ? typed.toInt() : before;
        QCOMPARE(doc().columnWidth(kSubject, WidthList::Messages), width);
        QVERIFY(headers().contains(u"Subject:%1"_s.arg(width)));
    }

    void cancelAfterChangingEveryPageChangesNothing()
    {
        setLoggedOn(true);
        view()->SelectTab(kCreateReply);
        const QStringList before = snapshot();
        QVERIFY(run(Prefs, [this](PreferencesSheet& sheet) {
            for (QCheckBox* check : sheet.findChildren<QCheckBox*>())
                check->toggle();
            sheet.databasePage()->databaseTypeList()->setCurrentIndex(1);
            retype(sheet.mailSetupPage()->wrapEdit(), u"100"_s);
            sheet.mailSetupPage()->replyButton(4)->setChecked(true);
            cproppage3* columns = sheet.columnPage();
            for (int row = 0; row < columns->columnList()->topLevelItemCount(); ++row)
                columns->columnList()->topLevelItem(row)->setCheckState(0, Qt::Unchecked);
            retype(columns->widthEdit(), u"333"_s);
            QTest::keyClick(columns->widthEdit(), Qt::Key_Return);
            sheet.calendarPage()->styleButton(4)->setChecked(true);
            sheet.topicPathsPage()->pathEdit(1)->setText(m_work.path(u"elsewhere"_s));
            sheet.mailProfilePage()->selectProfileButton()->setChecked(true);
            sheet.pageSetupPage()->marginBox(cproppage7::Left)->setText(u"2"_s);
            sheet.pageSetupPage()->databaseHeadingBox()->setText(u"Changed"_s);
            return int(QDialog::Rejected);
        }));
        QCOMPARE(snapshot(), before);
    }

    void newPagesWorkFromTheKeyboard()
    {
        setLoggedOn(true);
        QStringList seen;
        QVERIFY(run(ForMail, [&](PreferencesSheet& sheet) {
            sheet.show();
            QApplication::setActiveWindow(&sheet);
            if (!QTest::qWaitForWindowActive(&sheet))
                return int(QDialog::Rejected);
            QCheckBox* grid = sheet.mailSetupPage()->gridCheck();
            const bool gridWas = grid->isChecked();
            QTest::keyClick(&sheet, Qt::Key_G, Qt::AltModifier);
            seen << u"grid %1"_s.arg(QTest::qWaitFor([&] { return grid->isChecked() != gridWas; }));
            sheet.tabs()->tabBar()->setFocus();
            for (int step = 0; step < 7; ++step) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget()->objectName();
            }
            // Next page: untick the first column, give the second a width, leave with Tab.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            QTreeWidget* columns = sheet.columnPage()->columnList();
            QTest::keyClick(&sheet, Qt::Key_M, Qt::AltModifier);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QTest::keyClick(&sheet, Qt::Key_W, Qt::AltModifier);
            QTest::keyClicks(QApplication::focusWidget(), u"77"_s);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << u"first %1, width %2"_s.arg(columns->topLevelItem(0)->checkState(0))
                        .arg(sheet.columnPage()->widths()[3]);
            // Ctrl+Tab turns the page wherever the focus is.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            seen << sheet.tabs()->currentWidget()->windowTitle();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            return sheet.result();
        }));
        QCOMPARE(seen, QStringList({u"grid 1"_s, u"c1130"_s, u"c1146"_s, u"c1179"_s, u"c1169"_s,
                                    u"c1235"_s, u"c1162"_s, u"c1165"_s, u"first 0, width 77"_s,
                                    u"Calendar display"_s}));
    }

    void okShowsTheChangesAtOnce()
    {
        setLoggedOn(true);
        QVERIFY(QDir().mkpath(m_work.path(u"roots/second/Fresh topics"_s)));
        view()->topics()->SelectRoot(1);
        view()->SelectTab(kCreateReply);
        QVERIFY(!topicTree().contains(u"Fresh topics"_s));
        auto* delegate = qobject_cast<MessageListDelegate*>(list()->itemDelegate());
        const bool grid = delegate->grid();
        const ColumnMask mask = doc().columnMask(MaskKind::Inbox);
        QVERIFY(headers().join(u' ').contains(u"Subject:"_s));
        QVERIFY(run(Prefs, [this](PreferencesSheet& sheet) {
            sheet.mailSetupPage()->gridCheck()->toggle();
            sheet.calendarPage()->styleButton(3)->setChecked(true);
            sheet.topicPathsPage()->pathEdit(1)->setText(m_work.path(u"roots/second"_s));
            columnItem(*sheet.columnPage(), kSubject)->setCheckState(0, Qt::Unchecked);
            return int(QDialog::Accepted);
        }));
        QCOMPARE(delegate->grid(), !grid);
        QCOMPARE(view()->monthCalendar()->palette().color(QPalette::Base),
                 vantrel::notepad::colourFromColourRef(
                     vantrel::notepad::calendarColours(3).monthBackground));
        QVERIFY(topicTree().contains(u"Fresh topics"_s));
        QCOMPARE(view()->selector()->currentText(), m_work.path(u"roots/second"_s));
        QCOMPARE(doc().columnMask(MaskKind::Inbox), mask & ~ColumnMask(1u << kSubject));
        QVERIFY(!headers().join(u' ').contains(u"Subject:"_s));
    }

    // While an answer is open its display options are fixed; a forward fixes the attachment too.
    void replyOptionsFixedWhileAnswering_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("optionsEnabled");
        QTest::addColumn<bool>("attachmentEnabled");
        using vantrel::compose::OutgoingMode;
        QTest::newRow("composing") << int(OutgoingMode::Composing) << true << true;
        QTest::newRow("reply") << int(OutgoingMode::Replying) << false << true;
        QTest::newRow("reply all") << int(OutgoingMode::ReplyingAll) << false << true;
        QTest::newRow("forward") << int(OutgoingMode::Forwarding) << false << false;
    }
    void replyOptionsFixedWhileAnswering()
    {
        QFETCH(int, mode);
        cproppage2 page(*m_work.app->document(), m_work.view()->workingSettings(),
                        vantrel::compose::OutgoingMode(mode));
        for (int option = 1; option <= 4; ++option)
            QTEST(page.replyButton(option)->isEnabled(), "optionsEnabled");
        QTEST(page.attachmentCheck()->isEnabled(), "attachmentEnabled");
    }

    void uncheckingEveryColumnKeepsTheKeyColumns()
    {
        setLoggedOn(true);
        QVERIFY(run(ForMail, [](PreferencesSheet& sheet) {
            QTreeWidget* columns = sheet.columnPage()->columnList();
            for (int row = 0; row < columns->topLevelItemCount(); ++row)
                columns->topLevelItem(row)->setCheckState(0, Qt::Unchecked);
            return int(QDialog::Accepted);
        }));
        QCOMPARE(doc().columnMask(MaskKind::Inbox), ColumnMask(0x3));
        QCOMPARE(list()->model()->headerData(0, Qt::Horizontal).toString(), u"No columns"_s);
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
