// The support database in the whole program, offscreen, on real SQLite files and
// workbooks: connecting, browsing, editing, inserting, deleting and searching records as
// the user does it through the record tabs and the Database menu.

#include "DatabaseWorkspace.h"
#include "core/ProgressFeedback.h"
#include "database/DatabaseController.h"
#include "database/DatabasePage.h"
#include "print/PrintController.h"

#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTabBar>
#include <QtTest>

using namespace dbtest;
using namespace vantrel::database;
using namespace Qt::StringLiterals;

namespace {

constexpr int kConnect = 32788;
constexpr int kUpdate = 32786;
constexpr int kInsert = 32785;
constexpr int kInsertFromEmail = 32889;
constexpr int kDelete = 32783;
constexpr int kClear = 32789;
constexpr int kFirst = 59648;
constexpr int kLast = 59649;
constexpr int kNext = 59650;
constexpr int kPrevious = 59651;

constexpr int kJobNumberBox = 1018;
constexpr int kProblemBox = 1017;
constexpr int kSolutionBox = 1015;
constexpr int kNameBox = 1016;
constexpr int kEmailBox = 1023;
constexpr int kNotesBox = 1042;
constexpr int kFactBox = 1038;

const QString kJobs = u"SELECT * FROM Job ORDER BY ID"_s;

QList<Row> threeJobs()
{
    return {job(1, u"printer jams"_s), job(2, u"mail is slow"_s, u"Bob O'Brien"_s),
            job(3, u"cannot log in"_s)};
}

} // namespace

class DatabaseWorkspaceTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DatabaseWorkspace> open(const QString& file, const QList<Row>& jobs,
                                            const QList<Row>& knowledgeRows = {
                                                knowledge(1, u"Toner low"_s),
                                                knowledge(2, u"Printer jams in tray"_s)})
    {
        auto w = std::make_unique<DatabaseWorkspace>();
        if (!w->start(file, jobs, knowledgeRows))
            return nullptr;
        w->view()->SelectTab(4);
        w->router().execute(kConnect);
        return w;
    }

    // Chooses `criterion` in the shared selector, types `text` into the search box and
    // presses "Search using this selection".
    static void search(DatabaseWorkspace& w, int criterion, const QString& text)
    {
        w.view()->selector()->setCurrentIndex(criterion);
        w.setText(1035, text);
        w.click(1036);
    }

private Q_SLOTS:
    void connectsAndBrowses_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("sqlite") << u"vntdatab.db"_s;
        QTest::newRow("workbook") << u"vntdatab.xlsx"_s;
    }
    void connectsAndBrowses()
    {
        QFETCH(QString, file);
        auto w = open(file, threeJobs());
        QVERIFY(w);
        QCOMPARE(w->takeNotices(), QStringList());
        QVERIFY(w->connection().jobOpen());
        QVERIFY(w->connection().knowledgeOpen());
        QVERIFY(!w->router().state(kConnect).enabled);
        const auto* caption = qobject_cast<QLabel*>(w->view()->control(1019));
        QCOMPARE(caption->text(), u"Job number"_s);
        QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        QCOMPARE(w->text(kProblemBox), u"printer jams"_s);
        QVERIFY(!w->router().state(kFirst).enabled);
        QVERIFY(w->router().state(kNext).enabled);

        // Ctrl+Right moves on even from inside a text box.
        QWidget* problem = w->view()->control(kProblemBox);
        w->router().updateAll();
        QApplication::setActiveWindow(problem->window());
        QVERIFY(QTest::qWaitForWindowActive(problem->window()));
        problem->setFocus();
        QTest::keyClick(problem, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);
        w->router().execute(kNext);
        QCOMPARE(w->text(kJobNumberBox), u"3"_s);
        w->router().execute(kNext);
        QCOMPARE(w->takeNotices(), QStringList{u"No more records found"_s});
        QCOMPARE(w->text(kJobNumberBox), u"3"_s);
        QVERIFY(!w->router().state(kNext).enabled);
        w->router().execute(kPrevious);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);
        w->router().execute(kFirst);
        QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        w->router().execute(kLast);
        QCOMPARE(w->text(kJobNumberBox), u"3"_s);

        w->view()->SelectTab(5);
        QCOMPARE(w->text(kFactBox), u"Toner low"_s);
        QCOMPARE(qobject_cast<QLabel*>(w->view()->control(1021))->text(), u"Fact or Problem"_s);
        w->router().execute(kNext);
        QCOMPARE(w->text(kFactBox), u"Printer jams in tray"_s);
        QCOMPARE(w->takeNotices(), QStringList());
    }

    void editsInsertsAndDeletes_data() { connectsAndBrowses_data(); }
    void editsInsertsAndDeletes()
    {
        QFETCH(QString, file);
        QList<Row> jobs = threeJobs();
        jobs[0][2] = QVariant(); // no solution
        auto w = open(file, jobs);
        QVERIFY(w);
        const QString path = w->databasePath(file);
        QCOMPARE(w->text(kSolutionBox), u" "_s);
        w->setText(kProblemBox, u"printer jams daily"_s);
        w->router().execute(kUpdate);
        QCOMPARE(columnValues(path, kJobs, 3).value(0), u"printer jams daily"_s);
        QCOMPARE(columnValues(path, kJobs, 4).value(0), u" "_s); // a blank, never null

        // "Auto record update" writes the shown record before a move.
        w->setText(kSolutionBox, u"cleaned the rollers"_s);
        w->router().execute(kNext);
        QCOMPARE(columnValues(path, kJobs, 4).value(0), u"cleaned the rollers"_s);

        w->prompter.answerNo();
        w->router().execute(kClear);
        QCOMPARE(w->text(kProblemBox), u"mail is slow"_s);
        w->prompter.answerYes();
        w->router().execute(kClear);
        QCOMPARE(w->text(kProblemBox), u" "_s);
        QCOMPARE(columnValues(path, kJobs, 3).value(1), u" "_s);

        w->setText(1004, u"Carol Diaz"_s);
        w->setText(1005, u"carol@example.com"_s);
        w->router().execute(kInsertFromEmail);
        QCOMPARE(columnValues(path, kJobs, 5).value(3), u"Carol Diaz"_s);
        QCOMPARE(columnValues(path, kJobs, 6).value(3), u"carol@example.com"_s);
        QCOMPARE(w->text(kNameBox), u"Carol Diaz"_s);
        w->setText(1004, QString(253, u'n'));
        w->router().execute(kInsertFromEmail);
        QCOMPARE(columnValues(path, kJobs, 5).value(4), u" "_s);
        QVERIFY(!w->router().state(kNext).enabled);

        for (int i = 0; i < 5; ++i) {
            w->prompter.answerYes();
            w->router().execute(kDelete);
        }
        QCOMPARE(w->takeNotices().last(),
                 u"You have deleted the last record! Inserting new Record"_s);
        QCOMPARE(columnValues(path, kJobs, 2), QStringList{u"0"_s});
        QCOMPARE(w->text(kJobNumberBox), u"0"_s);
    }

    // A text longer than the form holds is never cut behind the user's back.
    void longTextsKeptWhole()
    {
        QList<Row> jobs = threeJobs();
        const QString notes = QString(10000, u'n') + u"END"_s;
        jobs[0][7] = notes;
        auto w = open(u"vntdatab.db"_s, jobs);
        QVERIFY(w);
        const QString path = w->databasePath(u"vntdatab.db"_s);
        QCOMPARE(w->text(kNotesBox).size(), 254);
        w->setText(kProblemBox, u"edited"_s);
        w->router().execute(kUpdate);
        QCOMPARE(columnValues(path, kJobs, 9).value(0), notes);
        QCOMPARE(columnValues(path, kJobs, 3).value(0), u"edited"_s);

        w->setText(kNotesBox, w->text(kNotesBox) + u"more"_s);
        w->setText(kProblemBox, u"edited again"_s);
        w->prompter.answerNo();
        w->router().execute(kUpdate);
        QVERIFY(w->takeNotices().value(0).contains(u"\"Notes\""_s));
        QCOMPARE(columnValues(path, kJobs, 9).value(0), notes);
        QCOMPARE(columnValues(path, kJobs, 3).value(0), u"edited again"_s);

        w->setText(kNotesBox, w->text(kNotesBox) + u"!"_s);
        w->prompter.answerYes();
        w->router().execute(kUpdate);
        QCOMPARE(columnValues(path, kJobs, 9).value(0).size(), 254);
    }

    // Another program's change to the shown row is not overwritten without asking.
    void changesByAnotherProgram()
    {
        auto w = open(u"vntdatab.db"_s, threeJobs());
        QVERIFY(w);
        const QString path = w->databasePath(u"vntdatab.db"_s);
        const QString first = u"SELECT * FROM Job WHERE ID = 1"_s;
        QVERIFY(changeRows(path, first, 3, u"changed elsewhere"_s));
        w->setText(kSolutionBox, u"mine"_s);
        w->prompter.answerNo();
        w->router().execute(kUpdate);
        QVERIFY(w->takeNotices().value(0).startsWith(u"This record has been changed"_s));
        QCOMPARE(w->text(kProblemBox), u"changed elsewhere"_s);
        QCOMPARE(columnValues(path, kJobs, 4).value(0), u"Solution 1"_s);

        QVERIFY(changeRows(path, first, 3, u"changed again"_s));
        w->setText(kSolutionBox, u"mine"_s);
        w->prompter.answerYes();
        w->router().execute(kUpdate);
        QCOMPARE(columnValues(path, kJobs, 4).value(0), u"mine"_s);
        QCOMPARE(columnValues(path, kJobs, 3).value(0), u"changed elsewhere"_s);
        w->takeNotices();

        QVERIFY(changeRows(path, first, 3, QString()));
        w->setText(kSolutionBox, u"mine, kept"_s);
        w->prompter.answerYes();
        w->router().execute(kUpdate);
        QVERIFY(w->takeNotices().value(0).startsWith(u"This record has been deleted"_s));
        QCOMPARE(columnValues(path, kJobs, 4).value(2), u"mine, kept"_s);
        QCOMPARE(w->prompter.unscriptedQuestions(), 0);
    }

    void emptyTableAndMissingFile()
    {
        auto w = open(u"vntdatab.db"_s, {}, {});
        QVERIFY(w);
        QCOMPARE(w->takeNotices(), (QStringList{u"No records found!  Inserting new Record"_s,
                                                u"No records found!  Inserting new Record"_s}));
        QCOMPARE(columnValues(w->databasePath(u"vntdatab.db"_s), kJobs, 2), QStringList{u"0"_s});
        QCOMPARE(columnValues(w->databasePath(u"vntdatab.db"_s), u"SELECT * FROM Knowledge"_s, 2),
                 QStringList{u"0"_s});

        auto missing = std::make_unique<DatabaseWorkspace>();
        QVERIFY(missing->start(QString(), {}, {}));
        QFile::remove(missing->databasePath(u"vntdatab.db"_s));
        missing->router().execute(kConnect);
        const QList<ScriptedPrompter::Notice> notices = missing->prompter.notices();
        QCOMPARE(notices.size(), 2);
        QCOMPARE(notices[0].title, u"Database Error"_s);
        QVERIFY(notices[0].text.contains(u"vntdatab.db"_s));
        QCOMPARE(notices[1].text,
                 u"Unable to open the database source provider. Please pick one from this list"_s);
        QVERIFY(missing->router().state(kConnect).enabled);
        QVERIFY(!missing->router().state(kUpdate).enabled);
    }

    // A big workbook is read on a worker thread: the window meanwhile shows a busy bar,
    // refuses a second connection and refuses to close. A damaged one says why, as before.
    void connectsWithBusyBar_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole") << false;
        QTest::newRow("damaged") << true;
    }
    void connectsWithBusyBar()
    {
        QFETCH(bool, damaged);
        // Rows enough that the workbook is still being read when the bar is first due.
        QList<Row> jobs;
        for (int number = 1; number <= 20000; ++number)
            jobs.append(job(number, u"problem %1"_s.arg(number)));
        auto w = std::make_unique<DatabaseWorkspace>();
        QVERIFY(w->start(u"vntdatab.xlsx"_s, jobs, {knowledge(1, u"Toner low"_s)}));
        w->view()->SelectTab(4);
        QFile file(w->databasePath(u"vntdatab.xlsx"_s));
        if (damaged) { // the Job sheet's data, well into the file
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() * 6 / 10));
            QVERIFY(file.write(QByteArray(512, '\xff')) == 512);
            file.close();
        }
        const ProgressFeedback::Timing timing = ProgressFeedback::setTiming({0, 0});
        CMainFrame* frame = w->app->mainFrame();
        QStringList seen;
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, this, [&] {
            const auto dialogs = frame->findChildren<QProgressDialog*>();
            if (dialogs.isEmpty() || !seen.isEmpty())
                return;
            seen << dialogs[0]->labelText() << QString::number(dialogs[0]->maximum());
            w->db()->ConnectDatabase();
            seen << QVariant(w->router().execute(kConnect)).toString();
            // Closed by the window manager (dropped while busy) and by the program itself.
            frame->close();
            QCloseEvent close;
            QApplication::sendEvent(frame, &close);
            seen << QVariant(frame->isVisible() && !close.isAccepted()).toString();
        });
        probe.start();
        w->router().execute(kConnect);
        probe.stop();
        ProgressFeedback::setTiming(timing);
        QCOMPARE(seen, (QStringList{u"Opening the database..."_s, u"0"_s, u"false"_s, u"true"_s}));
        QVERIFY(frame->findChildren<QProgressDialog*>().isEmpty());
        if (damaged) {
            const QList<ScriptedPrompter::Notice> notices = w->prompter.notices();
            QCOMPARE(notices.size(), 2);
            QCOMPARE(notices[0].title, u"Database Error"_s);
            QVERIFY2(notices[0].text.startsWith(
                         u"The workbook '%1' cannot be read: "_s.arg(file.fileName())),
                     qPrintable(notices[0].text));
            QCOMPARE(notices[1].text, u"Unable to open the database source provider. Please "
                                      "pick one from this list"_s);
            QVERIFY(!w->connection().anyOpen());
            QVERIFY(w->router().state(kConnect).enabled);
            return;
        }
        QCOMPARE(w->takeNotices(), QStringList());
        QVERIFY(w->connection().jobOpen());
        QVERIFY(w->connection().knowledgeOpen());
        QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        QCOMPARE(w->text(kProblemBox), u"problem 1"_s);
        w->router().execute(kNext);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);
    }

    void searchesJobs_data() { connectsAndBrowses_data(); }
    void searchesJobs()
    {
        QFETCH(QString, file);
        auto w = open(file, threeJobs());
        QVERIFY(w);
        search(*w, 2, u"JAMS"_s);
        QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        QCOMPARE(w->connection().active, int(JobSearch));
        w->router().execute(kNext);
        QCOMPARE(w->takeNotices(), QStringList{u"No more records found"_s});

        search(*w, 4, u"O'Brien"_s);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);
        QCOMPARE(w->takeNotices(), QStringList());

        // Texts that would change a statement are searched for as they stand.
        for (const QString& text : {u"'); DROP TABLE Job; --"_s, u"%' OR '1'='1"_s, u"[Job$]"_s,
                                    u"100%"_s, u"SELECT * FROM Knowledge"_s}) {
            search(*w, 3, text);
            QCOMPARE(w->takeNotices(), QStringList{u"No records found"_s});
            QVERIFY(w->view()->timers().isActive(2763));
            w->view()->timers().fire(2763);
            QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        }
        QCOMPARE(columnValues(w->databasePath(file), kJobs, 2).size(), 3);

        search(*w, 3, QString(254, u'x'));
        QCOMPARE(w->takeNotices(), QStringList{u"Too many characters to search on"_s});
        search(*w, 1, u"0"_s);
        QCOMPARE(w->takeNotices(), QStringList{u"Please input a number greater than zero"_s});
        search(*w, 1, u"3"_s);
        QCOMPARE(w->text(kProblemBox), u"cannot log in"_s);

        // A statement the database refuses returns to the whole table.
        search(*w, 1, u"12abc"_s);
        const QStringList refused = w->takeNotices();
        QCOMPARE(refused.size(), 2);
        QCOMPARE(refused.last(), u"Unable to open database accessor"_s);
        QCOMPARE(w->connection().active, int(JobTable));

        w->setText(1004, u"Bob O'Brien"_s);
        w->click(1033);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);
        w->prompter.answerYes();
        w->router().execute(kDelete);
        QCOMPARE(w->takeNotices().last(),
                 u"You have deleted all the records within the search criteria!"_s);
        QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        QCOMPARE(columnValues(w->databasePath(file), kJobs, 2), (QStringList{u"1"_s, u"3"_s}));
    }

    void searchesKnowledge()
    {
        auto w = open(u"vntdatab.db"_s, threeJobs());
        QVERIFY(w);
        // Two characters selected in the problem box look for just those.
        auto* problem = qobject_cast<QPlainTextEdit*>(w->view()->control(kProblemBox));
        QTextCursor cursor = problem->textCursor();
        cursor.setPosition(8);
        cursor.setPosition(10, QTextCursor::KeepAnchor);
        problem->setTextCursor(cursor);
        w->click(1060);
        QCOMPARE(w->view()->currentTab(), 5);
        QCOMPARE(w->text(kFactBox), u"Printer jams in tray"_s);

        search(*w, 1, u"toner"_s);
        QCOMPARE(w->text(kFactBox), u"Toner low"_s);
        search(*w, 3, QString(50, u't'));
        QCOMPARE(w->takeNotices(), QStringList{u"Too many characters to search on"_s});
        search(*w, 4, u"nothing like it"_s);
        QCOMPARE(w->takeNotices(),
                 QStringList{u"No records found! Resetting Knowledge table to All records."_s});
        w->view()->timers().fire(2760);
        QCOMPARE(w->text(kFactBox), u"Toner low"_s);

        w->click(1037);
        QString outgoing;
        w->view()->StreamTextOut(1000, outgoing, 0);
        QCOMPARE(outgoing, u"Toner low\r\n"_s);
    }

    // The search line shows the input the criterion needs, and the search reads it.
    void searchLineFollowsCriterion()
    {
        QList<Row> jobs = threeJobs();
        jobs[1][9] = 4;       // completed
        jobs[2][5] = 45001.9; // started a day later
        auto w = open(u"vntdatab.db"_s, jobs);
        QVERIFY(w);
        const auto shown = [&] {
            QList<int> ids;
            for (int id : {1034, 1035, 1072, 1073})
                if (w->view()->control(id)->isVisibleTo(w->view()))
                    ids.append(id);
            return ids;
        };
        QCOMPARE(shown(), QList<int>{1035});
        w->view()->selector()->setCurrentIndex(10);
        QCOMPARE(shown(), QList<int>{1034});
        auto* values = qobject_cast<QComboBox*>(w->view()->control(1034));
        QCOMPARE(values->count(), 5);
        QCOMPARE(values->currentIndex(), 1); // the shown record's status
        values->setCurrentIndex(4);
        Q_EMIT values->activated(4);
        w->click(1036);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);

        w->view()->selector()->setCurrentIndex(13);
        QCOMPARE(shown(), (QList<int>{1072, 1073}));
        for (int id : {1072, 1073})
            qobject_cast<QDateTimeEdit*>(w->view()->control(id))
                ->setDateTime(QDateTime(QDate(2023, 3, 15), QTime(18, 0))); // day 45000
        w->click(1036);
        QCOMPARE(w->text(kJobNumberBox), u"1"_s);
        w->router().execute(kNext);
        QCOMPARE(w->text(kJobNumberBox), u"2"_s);
        w->router().execute(kNext);
        QCOMPARE(w->takeNotices(), QStringList{u"No more records found"_s});
        w->view()->selector()->setCurrentIndex(17);
        QCOMPARE(shown(), QList<int>());
    }

    // Leaving a record tab writes its record when records update themselves; a provider
    // that does not exist falls back to the built-in one, which may be kept.
    void tabsAndProvider()
    {
        auto w = std::make_unique<DatabaseWorkspace>();
        {
            QVERIFY(w->dir.isValid());
            SettingsStore store(w->dir.filePath(u"settings.ini"_s));
            store.writeString(SettingsStore::kInternalData, u"Database source"_s,
                              u"No.Such.Provider"_s);
        }
        QVERIFY(w->start(u"vntdatab.db"_s, threeJobs(), {knowledge(1, u"Toner low"_s)}));
        w->view()->SelectTab(4);
        w->prompter.answerYes();
        w->router().execute(kConnect);
        QCOMPARE(w->takeNotices(), QStringList{u"The Internal default was successful! Do you "
                                               u"want to save it for next time?"_s});
        SettingsStore& store = w->app->document()->store();
        QCOMPARE(store.readString(SettingsStore::kInternalData, u"Database source"_s),
                 u"Microsoft.Jet.OLEDB.4.0"_s);

        const QString path = w->databasePath(u"vntdatab.db"_s);
        w->setText(kProblemBox, u"written on leaving"_s);
        w->view()->SelectTab(5);
        QCOMPARE(columnValues(path, kJobs, 3).value(0), u"written on leaving"_s);
        QCOMPARE(w->connection().active, int(Knowledge));
        w->setText(kFactBox, u"Toner very low"_s);
        w->view()->SelectTab(0);
        QCOMPARE(columnValues(path, u"SELECT * FROM Knowledge"_s, 4).value(0), u"Toner very low"_s);
        w->view()->SelectTab(4);
        QCOMPARE(w->connection().active, int(JobTable));
        QCOMPARE(w->text(kProblemBox), u"written on leaving"_s);
    }

    // The record shown prints as a form with every label and value.
    void printsTheRecord()
    {
        if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed");
        auto w = open(u"vntdatab.db"_s, threeJobs());
        QVERIFY(w);
        w->router().execute(kNext);
        const QString pdf = w->dir.filePath(u"record.pdf"_s);
        QPrinter& printer = w->view()->printing()->printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        w->prompter.dialogResult(QDialog::Accepted);
        QVERIFY(w->router().execute(32871));
        QProcess text;
        text.start(u"pdftotext"_s, {pdf, u"-"_s});
        QVERIFY(text.waitForFinished(30000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        for (const QString& shown :
             {u"Database record"_s, u"Job number"_s, u"2"_s, u"mail is slow"_s, u"Bob O'Brien"_s,
              u"Solution 2"_s, u"Notes 2"_s, u"Normal"_s, u"Outstanding"_s, u"Product"_s})
            QVERIFY2(page.contains(shown), qPrintable(shown + u" in "_s + page));
    }

    // A workbook the program has changed opens in the spreadsheet program with the changes.
    void workbookOpensInCalc()
    {
        const QString office = QStandardPaths::findExecutable(u"soffice"_s);
        if (office.isEmpty())
            QSKIP("LibreOffice is not installed");
        auto w = open(u"vntdatab.xlsx"_s, threeJobs());
        QVERIFY(w);
        w->setText(kProblemBox, u"Caf\u00e9 & <printer> \"quoted\""_s);
        w->router().execute(kUpdate);
        w->setText(1004, u"Zo\u00eb Quinn"_s);
        w->router().execute(kInsertFromEmail);
        const QString folder = w->dir.filePath(u"home"_s);
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(office, {u"--headless"_s, u"--convert-to"_s,
                               u"csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,"
                               "false,false,-1"_s,
                               u"-env:UserInstallation=file://"_s + w->dir.filePath(u"profile"_s),
                               w->databasePath(u"vntdatab.xlsx"_s)});
        QVERIFY(process.waitForFinished(120000));
        QFile csv(folder + u"/vntdatab-Job.csv"_s);
        QVERIFY2(csv.open(QIODevice::ReadOnly), process.readAllStandardError().constData());
        const QStringList lines = QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[1].startsWith(u"1,1,\"Caf\u00e9 & <printer> \"\"quoted\"\"\",Solution 1,"_s),
                 qPrintable(lines[1]));
        QVERIFY2(lines[4].contains(u",Zo\u00eb Quinn,"_s), qPrintable(lines[4]));
    }

    void sortOrderFromPreferences()
    {
        auto w = open(u"vntdatab.db"_s, threeJobs());
        QVERIFY(w);
        CSupportDoc& doc = *w->app->document();
        ViewSettings& view = w->view()->workingSettings();
        cproppage1 page(doc, view, w->db()->pageInput());
        QCOMPARE(page.jobFieldList()->itemText(1), u"Problem"_s);
        page.jobFieldList()->setCurrentIndex(1);
        page.jobOrderList()->setCurrentIndex(1);
        w->db()->ApplySortChanges(page.apply(doc, view));
        QVERIFY(w->view()->timers().isActive(2763));
        QVERIFY(!w->view()->timers().isActive(2760));
        w->view()->timers().fire(2763);
        QCOMPARE(w->text(kProblemBox), u"printer jams"_s);
        w->router().execute(kNext);
        QCOMPARE(w->text(kProblemBox), u"mail is slow"_s);
        cproppage1 unchanged(doc, view, w->db()->pageInput());
        w->db()->ApplySortChanges(unchanged.apply(doc, view));
        QVERIFY(!w->view()->timers().isActive(2763));
    }
};

QTEST_MAIN(DatabaseWorkspaceTest)
#include "tst_databaseworkspace.moc"
