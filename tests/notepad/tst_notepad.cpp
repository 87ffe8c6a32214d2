#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "ProgramStart.h"
#include "ScriptedPrompter.h"
#include "WorkspaceTabs.h"
#include "core/SettingsStore.h"
#include "core/TextFiles.h"
#include "notepad/CalendarPage.h"
#include "notepad/NotepadController.h"
#include "rtf/RtfReader.h"

#include <QCalendarWidget>
#include <QDir>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

using namespace Qt::StringLiterals;
using vantrel::notepad::NotepadController;

namespace {

const QByteArray kRichNotepad = QByteArrayLiteral("{\\rtf1\\ansi {\\b Bold} plain\\par}");

// The whole program, offscreen, in a program directory of its own.
class NotepadWorkspace
{
public:
    // `notepad` (unless null) becomes notepad.rtf before the start; a notepad of "/" is a
    // folder of that name.
    bool start(const QByteArray& notepad = QByteArray(), int monthStyle = 0)
    {
        if (!dir.isValid() || !QDir().mkpath(home()))
            return false;
        if (notepad == "/") {
            QDir().mkpath(notepadPath());
        } else if (!notepad.isNull()) {
            QFile file(notepadPath());
            if (!file.open(QIODevice::WriteOnly) || file.write(notepad) != notepad.size())
                return false;
        }
        {
            SettingsStore store(settingsPath());
            store.writeInt(SettingsStore::kInternalData, u"Month style"_s, monthStyle);
            if (!store.flush())
                return false;
        }
        if (!startProgram(app, home(), settingsPath()))
            return false;
        view()->SelectTab(WorkspaceTab::NotePadCalendar);
        return true;
    }

    QString home() const { return dir.filePath(u"home/"_s); }
    QString notepadPath() const { return home() + u"notepad.rtf"_s; }
    QString settingsPath() const { return dir.filePath(u"settings.ini"_s); }
    CSupportView* view() const { return app->view(); }
    QTextEdit* box() const { return view()->notepadBox(); }
    QCalendarWidget* calendar() const { return view()->monthCalendar(); }

    // The notepad file's text as the notepad would show it.
    QString savedText() const
    {
        QString rtf;
        QTextDocument document;
        if (ReadTextFile(notepadPath(), rtf) != ReadSuccess || !rtf.startsWith(u"{\\rtf") ||
            !vnt::rtf::readRtf(QStringView(rtf), &document))
            return u"<unreadable>"_s;
        return document.toPlainText();
    }
    QStringList takeNotices()
    {
        QStringList texts;
        for (const ScriptedPrompter::Notice& notice : prompter.notices())
            texts.append(notice.title + u':' + notice.text);
        prompter.clear();
        return texts;
    }

    ScriptedPrompter prompter;
    QTemporaryDir dir;
    std::unique_ptr<CSupportApp> app;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Where `date` sits in the calendar's day table, with its month shown (the header row
// comes first; a month starting on the first column begins in the second week row).
QPoint dayCentre(QCalendarWidget* calendar, const QDate& date)
{
    calendar->setCurrentPage(date.year(), date.month());
    const auto* table = calendar->findChild<QTableView*>(u"qt_calendar_calendarview"_s);
    int first =
        (QDate(date.year(), date.month(), 1).dayOfWeek() - calendar->firstDayOfWeek() + 7) % 7;
    if (first == 0)
        first = 7;
    const int position = first + date.day() - 1;
    return table->visualRect(table->model()->index(1 + position / 7, position % 7)).center();
}

// The colours the calendar shows, in the order of the style table: month background,
// background, title background, text, trailing text, title text.
QStringList shownColours(QCalendarWidget* calendar)
{
    // A day in the middle of the month, away from the selected first day.
    calendar->setSelectedDate(QDate(2024, 5, 1));
    auto* table = calendar->findChild<QTableView*>(u"qt_calendar_calendarview"_s);
    const auto* bar = calendar->findChild<QWidget*>(u"qt_calendar_navigationbar"_s);
    const auto* month = calendar->findChild<QToolButton*>(u"qt_calendar_monthbutton"_s);
    const QImage image = calendar->grab().toImage();
    const auto pixel = [&](const QModelIndex& index) {
        const QPoint corner = table->visualRect(index).topLeft() + QPoint(2, 2);
        return image.pixelColor(table->viewport()->mapTo(calendar, corner)).name();
    };
    const auto foreground = [&](int row, int column) {
        return table->model()->index(row, column).data(Qt::ForegroundRole).value<QColor>().name();
    };
    const QModelIndex midMonth = table->model()->index(3, 3);
    return {
        pixel(midMonth),
        pixel(table->model()->index(0, 0)),
        image.pixelColor(bar->mapTo(calendar, QPoint(bar->width() / 4, bar->height() / 2))).name(),
        foreground(3, 6), // a weekend day
        foreground(1, 0), // always a day of the month before
        month->palette().color(QPalette::ButtonText).name()};
}

QStringList styleColours(std::initializer_list<quint32> colourRefs)
{
    QStringList names;
    for (quint32 ref : colourRefs)
        names.append(QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int(ref >> 16)).name());
    return names;
}

const QString kWarning = u"Warning!:"_s;

} // namespace

class TestNotepad : public QObject
{
    Q_OBJECT

    std::unique_ptr<NotepadWorkspace> m_shared;

private Q_SLOTS:
    void cleanupTestCase() { m_shared.reset(); }

    void loadsAtStartUp_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("saved"); // the file's text after start-up
        QTest::addColumn<QStringList>("notices");
        const QString builtIn = NotepadController::builtInText();
        QTest::newRow("first start") << QByteArray() << builtIn << builtIn << QStringList();
        QTest::newRow("rich notepad")
            << kRichNotepad << u"Bold plain"_s << u"Bold plain"_s << QStringList();
        QTest::newRow("empty file")
            << QByteArray("") << builtIn << builtIn << QStringList{kWarning + u"Zero bytes read"_s};
        QTest::newRow("folder in the way")
            << QByteArray("/") << builtIn << u"<unreadable>"_s
            << QStringList{kWarning + u"Unable to write file to disk"_s};
    }
    void loadsAtStartUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        QFETCH(QString, saved);
        QFETCH(QStringList, notices);
        NotepadWorkspace w;
        QVERIFY(w.start(file));
        QCOMPARE(w.box()->toPlainText(), shown);
        QCOMPARE(w.savedText(), saved);
        QCOMPARE(w.takeNotices(), notices);
        QVERIFY(!w.box()->document()->isModified());
        if (file == kRichNotepad) {
            QCOMPARE(fileBytes(w.notepadPath()), kRichNotepad); // read, not written again
            QTextCursor bold(w.box()->document());
            bold.setPosition(1);
            QVERIFY(bold.charFormat().fontWeight() > QFont::Normal);
        }
    }

    void closingSavesTheWholeChangedNotepad_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("select");
        QTest::newRow("changed") << true << false;
        QTest::newRow("changed, some text selected") << true << true;
        QTest::newRow("unchanged") << false << false;
    }
    void closingSavesTheWholeChangedNotepad()
    {
        QFETCH(bool, edit);
        QFETCH(bool, select);
        NotepadWorkspace w;
        QVERIFY(w.start(kRichNotepad));
        if (edit) {
            w.box()->setFocus();
            w.box()->moveCursor(QTextCursor::End);
            QTest::keyClicks(w.box(), u" more"_s);
        }
        if (select) {
            QTextCursor cursor(w.box()->document());
            cursor.setPosition(2);
            cursor.setPosition(5, QTextCursor::KeepAnchor);
            w.box()->setTextCursor(cursor);
        }
        QVERIFY(w.app->mainFrame()->close());
        QCOMPARE(w.savedText(), edit ? u"Bold plain more"_s : u"Bold plain"_s);
        if (!edit)
            QCOMPARE(fileBytes(w.notepadPath()), kRichNotepad);
        QCOMPARE(w.takeNotices(), QStringList());
    }

    void emptyNotepadIsNotSaved()
    {
        NotepadWorkspace w;
        QVERIFY(w.start(kRichNotepad));
        w.box()->selectAll();
        QTest::keyClick(w.box(), Qt::Key_Delete);
        QVERIFY(w.box()->document()->isModified());
        QVERIFY(w.app->mainFrame()->close());
        QCOMPARE(w.takeNotices(), QStringList{kWarning + u"No note pad text to save"_s});
        QCOMPARE(fileBytes(w.notepadPath()), kRichNotepad);
    }

    void shiftClickWritesTheDayCount()
    {
        NotepadWorkspace w;
        QVERIFY(w.start(kRichNotepad));
        auto* days = w.calendar()->findChild<QTableView*>(u"qt_calendar_calendarview"_s);
        const QDate tomorrow = QDate::currentDate().addDays(1);
        QTest::mouseClick(days->viewport(), Qt::LeftButton, {}, dayCentre(w.calendar(), tomorrow));
        QCOMPARE(w.calendar()->selectedDate(), tomorrow);
        QCOMPARE(w.box()->toPlainText(), u"Bold plain"_s);
        QTest::mouseClick(days->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          dayCentre(w.calendar(), tomorrow));
        QCOMPARE(w.box()->toPlainText(), u" 1 days ahead Bold plain"_s);
        QVERIFY(!w.box()->document()->isUndoAvailable());
        QVERIFY(w.box()->document()->isModified());
        // Today itself writes nothing.
        w.view()->notepad()->OnCalendarSelect(QDate::currentDate(), Qt::ShiftModifier);
        QCOMPARE(w.box()->toPlainText(), u" 1 days ahead Bold plain"_s);
        QCOMPARE(w.box()->textCursor().position(), 0);
    }

    void calendarStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("colours");
        const QStringList blueAndWhite =
            styleColours({0xFFFFFF, 0xFFFFFF, 0x800000, 0x000000, 0x804040, 0xF0F0F0});
        QTest::newRow("blue and white") << 0 << blueAndWhite;
        QTest::newRow("pleasant") << 1
                                  << styleColours({0xECFFFF, 0xFFFFFF, 0xB0B0FF, 0x000000, 0x646414,
                                                   0x000000});
        QTest::newRow("night time")
            << 2 << styleColours({0x404040, 0x000000, 0xFF8040, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF});
        QTest::newRow("sunny red")
            << 3 << styleColours({0x361BBA, 0x1F0F6A, 0xCACA00, 0xFFFFFF, 0xC8C814, 0xFFFFFF});
        QTest::newRow("spring green")
            << 4 << styleColours({0x00A400, 0x00A400, 0x00ECEC, 0x80FFFF, 0xCECECE, 0x00A400});
        QTest::newRow("neutural") << 5
                                  << styleColours({0xFFFFFF, 0xFFFFFF, 0xA0A0A0, 0x000000, 0x646414,
                                                   0x000000});
        QTest::newRow("7 applies 0") << 7 << blueAndWhite;
    }
    void calendarStyles()
    {
        QFETCH(int, style);
        QFETCH(QStringList, colours);
        if (!m_shared) {
            m_shared = std::make_unique<NotepadWorkspace>();
            QVERIFY(m_shared->start(QByteArray(), 2));
        }
        m_shared->view()->workspaceHooks().applyCalendarStyle(style);
        QCOMPARE(shownColours(m_shared->calendar()), colours);
        QCOMPARE(m_shared->view()->workingSettings().monthStyle, style == 7 ? 0 : style);
    }

    void storedStyleSevenShowsBlueAndWhiteAndIsStoredAsZero()
    {
        NotepadWorkspace w;
        QVERIFY(w.start(QByteArray(), 7));
        QCOMPARE(shownColours(w.calendar()),
                 styleColours({0xFFFFFF, 0xFFFFFF, 0x800000, 0x000000, 0x804040, 0xF0F0F0}));
        QVERIFY(w.app->mainFrame()->close());
        w.app.reset();
        QCOMPARE(SettingsStore(w.settingsPath())
                     .readInt(SettingsStore::kInternalData, u"Month style"_s, -1),
                 0);
    }

    void preferencesPage_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("changed");
        QTest::newRow("kept") << 3 << 3 << 3 << false;
        QTest::newRow("another style") << 0 << 0 << 4 << true;
        QTest::newRow("out of range shows 0") << 7 << 0 << 0 << true;
    }
    void preferencesPage()
    {
        QFETCH(int, stored);
        QFETCH(int, shown);
        QFETCH(int, chosen);
        QFETCH(bool, changed);
        ViewSettings view;
        view.monthStyle = stored;
        cdialprop4 page(view);
        QCOMPARE(page.checkedStyle(), shown);
        page.styleButton(chosen)->click();
        QCOMPARE(page.apply(view), changed);
        QCOMPARE(view.monthStyle, chosen);
    }
};

QTEST_MAIN(TestNotepad)
#include "tst_notepad.moc"
