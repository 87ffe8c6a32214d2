#include "PrintFixture.h"
#include "ScriptedPrompter.h"
#include "core/CommandRouter.h"
#include "database/RecordPrintRows.h"
#include "print/PrintController.h"
#include "print/RecordPrintLayout.h"

#include <QDateTimeEdit>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantrel::print;
using namespace vantrel::database;

namespace {

const QString kEllipsis = u"\u2026"_s;

// Letter paper at 600 dpi, so that the form's units are device units.
RecordGeometry letterGeometry()
{
    return recordGeometry({720, 720, 720, 720}, {5100, 6600, 0, 0, 0, 0, 600, 600});
}

QString digits(int length)
{
    return u"0123456789"_s.repeated(length / 10 + 1).left(length);
}

PrintRow single(const QString& label, const QString& value)
{
    PrintRow row;
    row.label = label;
    row.value = value;
    return row;
}

PrintRow multi(const QString& label, const QStringList& lines)
{
    PrintRow row;
    row.label = label;
    row.lines = lines;
    row.multiLine = true;
    return row;
}

// "label=value" for each row, the lines of a long text joined by "|".
QStringList rowsOf(const RecordPrintForm& form)
{
    QStringList rows;
    for (const PrintRow& row : form.rows)
        rows.append(row.label + u'=' + (row.multiLine ? row.lines.join(u'|') : row.value));
    return rows;
}

// The record controls of the Job and Knowledge tabs, by control id.
class RecordTabs
{
public:
    template<typename Control>
    Control* add(int id)
    {
        auto* control = new Control(&m_window);
        m_controls.insert(id, control);
        return control;
    }
    RecordPrintSource source(const QStringList& columns, int priority, int status)
    {
        return {[this](int id) { return m_controls.value(id); }, columns, priority, status,
                QDateTime(QDate(2024, 3, 5), QTime(9, 30))};
    }
    // A Job tab: number, name, an empty e-mail, category, product, dates and texts.
    void fillJob()
    {
        add<QLineEdit>(1018)->setText(u" 42"_s);
        add<QLineEdit>(1016)->setText(u"Ann Smith"_s);
        add<QLineEdit>(1023);
        add<QLineEdit>(1049)->setText(u"Hardware"_s);
        add<QLineEdit>(1050)->setText(u"Scanner"_s);
        add<QDateTimeEdit>(1070)->setDateTime(QDateTime(QDate(2024, 1, 2), QTime(8, 5)));
        add<QDateTimeEdit>(1071)->setDateTime(QDateTime(QDate(2024, 2, 9), QTime(17, 45)));
        add<QPlainTextEdit>(1017)->setPlainText(u"Paper jams\nat once"_s);
        add<QPlainTextEdit>(1015)->setPlainText(u"Cleaned the rollers"_s);
        add<QPlainTextEdit>(1042);
    }

private:
    QWidget m_window;
    QHash<int, QWidget*> m_controls;
};

} // namespace

class TestRecordPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void displayLinesToRows_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("rows"); // a row ending in an ellipsis: its start
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve.append(u"line %1"_s.arg(i));
        QTest::newRow("108") << QStringList{digits(108)} << QStringList{digits(108)};
        QTest::newRow("109: one left over") << QStringList{digits(109)} << QStringList{digits(108)};
        QTest::newRow("110") << QStringList{digits(110)} << QStringList{digits(108), u"89"_s};
        QTest::newRow("300") << QStringList{digits(300)}
                             << QStringList{digits(108), digits(300).mid(108, 20) + kEllipsis};
        QTest::newRow("twelve lines") << twelve << twelve.mid(0, 10);
        QTest::newRow("no box") << QStringList{} << QStringList{u" "_s};
        QTest::newRow("empty line") << QStringList{u""_s, u"b"_s} << QStringList{u" "_s, u"b"_s};
    }
    void displayLinesToRows()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, rows);
        const RecordGeometry g = letterGeometry();
        const FormDrawing d =
            RecordPrintLayout(g, QFontMetrics(g.font)).plan({u"T"_s, {multi(u"Notes"_s, lines)}});
        QCOMPARE(d.texts.size(), rows.size() + 2); // after the title and the label
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QString printed = d.texts.at(i + 2).text;
            if (rows.at(i).endsWith(kEllipsis))
                QVERIFY(printed.startsWith(rows.at(i).chopped(1)) && printed.endsWith(kEllipsis));
            else
                QCOMPARE(printed, rows.at(i));
        }
    }

    void rowsAndRulesOfTheForm()
    {
        const RecordGeometry g = letterGeometry();
        const RecordPrintLayout layout(g, QFontMetrics(g.font));
        PrintRow number = single(u"Job number"_s, u"7"_s);
        number.indentValue = true;
        const FormDrawing d = layout.plan({u"Title"_s, {number, single(u"Type"_s, u"x"_s)}});
        const int h = layout.rowHeight();
        const int x = g.valueColumn;
        QCOMPARE(x, g.left + (g.right - g.left) / 4);
        QVERIFY(d.texts.at(0).centred);
        QCOMPARE(d.texts.at(0).rect.top(), g.top + 12);
        QCOMPARE(d.texts.at(1).rect.topLeft(), QPoint(g.left + 14, g.top + 2 * h + 6));
        QCOMPARE(d.texts.at(2).rect.left(), x + 28);
        QCOMPARE(d.texts.at(4).rect.left(), x + 14);
        // The value separators run from the rule above each row to the rule below it.
        QVERIFY(d.rules.contains(QLine(x, g.top + 2 * h, x, g.top + 4 * h - 20)));
        QVERIFY(d.rules.contains(QLine(x, g.top + 4 * h - 20, x, g.top + 6 * h - 20)));
        QCOMPARE(d.rowCount, 6);
    }

    void fullPageLeavesTheRestOut()
    {
        RecordGeometry g = letterGeometry();
        const int h = QFontMetrics(g.font).lineSpacing();
        g.drawHeight = 15 * h + h / 2;
        const RecordPrintForm form{u"Title"_s,
                                   {single(u"A"_s, u"a"_s), single(u"B"_s, u"b"_s),
                                    multi(u"Note"_s, QStringList(12, digits(300))),
                                    single(u"After"_s, u"z"_s)}};
        const FormDrawing d = RecordPrintLayout(g, QFontMetrics(g.font)).plan(form);
        QVERIFY(d.pageFull);
        QCOMPARE(d.fieldsDrawn, 2);
        QCOMPARE(d.rowCount, 16);
        for (const FormDrawing::Text& text : d.texts)
            QVERIFY(text.text != u"After"_s);
    }

    void jobFormFromTheRecordTab_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("endDate");
        QTest::newRow("outstanding") << 1 << u"Outstanding       "_s << u" "_s;
        QTest::newRow("completed")
            << 4 << u"Completed         "_s << u"17:45    Friday,  February  09,  2024"_s;
    }
    void jobFormFromTheRecordTab()
    {
        QFETCH(int, status);
        QFETCH(QString, statusText);
        QFETCH(QString, endDate);
        printtest::Settings s;
        RecordTabs tabs;
        tabs.fillJob();
        const QStringList columns = {u"Job No"_s, u""_s,       u"Fix"_s,    u""_s,
                                     u"Mail"_s,   u"Opened"_s, u"Closed"_s, u"Notes"_s,
                                     u""_s,       u"State"_s,  u"Cat"_s,    u"Prod"_s};
        const RecordPrintForm form = JobPrintForm(s.doc, tabs.source(columns, 2, status));
        QCOMPARE(
            rowsOf(form),
            QStringList({u"Date of Report=Tuesday, March 05, 2024"_s, u"Job No=42"_s,
                         u"Customer name=Ann Smith"_s, u"Mail= "_s, u"Priority=Urgent"_s,
                         u"Cat=Hardware"_s, u"State="_s + statusText,
                         u"Opened=08:05    Tuesday,  January  02,  2024"_s, u"Closed="_s + endDate,
                         u"Prod=Scanner"_s, u"Problem=Paper jams|at once"_s,
                         u"Fix=Cleaned the rollers"_s, u"Notes="_s}));
        QVERIFY(form.rows.at(1).indentValue && form.rows.at(2).elide && !form.rows.at(4).elide);
    }

    void knowledgeFormAndHeadings()
    {
        printtest::Settings s;
        s.doc.setStringSetting(DatabasePrintHeading, QString());
        s.doc.setStringSetting(KnowledgePrintHeading, QString());
        RecordTabs tabs;
        tabs.add<QLineEdit>(1041)->setText(u"17"_s);
        tabs.add<QLineEdit>(1059)->setText(u"FAQ"_s);
        tabs.add<QPlainTextEdit>(1038)->setPlainText(u"Printers need paper"_s);
        tabs.add<QPlainTextEdit>(1039)->setPlainText(u"One"_s);
        tabs.add<QPlainTextEdit>(1040);
        const RecordPrintForm form = KnowledgePrintForm(
            s.doc, tabs.source({u"Ref"_s, u""_s, u""_s, u"First"_s, u""_s, u""_s}, 0, 0));
        // Note 3 has no box on this tab: the row is left without lines.
        QCOMPARE(rowsOf(form),
                 QStringList({u"Date of Report=Tuesday, March 05, 2024"_s, u"Ref=17"_s,
                              u"Type=FAQ"_s, u"Fact or Problem=Printers need paper"_s,
                              u"First=One"_s, u"Note 2="_s, u"Note 3="_s}));
        // Empty headings take their defaults and keep them.
        QCOMPARE(form.title, u"Knowledge base record"_s);
        QCOMPARE(s.doc.stringSetting(KnowledgePrintHeading), u"Knowledge base record"_s);
        QCOMPARE(JobPrintForm(s.doc, tabs.source({}, 0, 0)).title, u"Database record"_s);
        QCOMPARE(s.doc.stringSetting(DatabasePrintHeading), u"Database record"_s);
        s.doc.setStringSetting(DatabasePrintHeading, u"Service report"_s);
        QCOMPARE(JobPrintForm(s.doc, tabs.source({}, 0, 0)).title, u"Service report"_s);
    }

    void displayLinesFollowTheBox()
    {
        QWidget window;
        auto* box = new QPlainTextEdit(&window);
        box->setGeometry(0, 0, 240, 120);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString paragraph = u"words that wrap inside a narrow box "_s.repeated(8).trimmed();
        box->setPlainText(paragraph + u"\nlast"_s);
        const QStringList wrapped = DisplayLines(*box);
        QVERIFY(wrapped.size() > 3);
        QCOMPARE(wrapped.last(), u"last"_s);
        QCOMPARE(wrapped.mid(0, wrapped.size() - 1).join(QString()), paragraph);

        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setPlainText(digits(300));
        QCOMPARE(DisplayLines(*box), QStringList{digits(300)});
    }

    void printedFormShowsEveryRow()
    {
        if (!printtest::havePdfTools())
            QSKIP("pdftotext and pdfinfo (poppler-utils) are needed");
        ScriptedPrompter prompter;
        printtest::Settings s;
        printtest::Workspace workspace;
        RecordTabs tabs;
        tabs.fillJob();
        workspace.formSource = [&](int) {
            return JobPrintForm(s.doc, tabs.source({u"Job number"_s}, 3, 4));
        };
        PrintController print(s.doc, workspace);
        QTemporaryDir out;
        const QString pdf = out.filePath(u"job.pdf"_s);
        printtest::printToPdf(print.printer(), pdf);
        prompter.dialogResult(QDialog::Accepted);
        print.PrintRecord(PrintController::JobRecord);

        QCOMPARE(printtest::pdfPageCount(pdf), 1);
        // The tool keeps words apart but not the number of blanks between them.
        const QString page = printtest::pdfPages(pdf).value(0).simplified();
        const RecordPrintForm form = workspace.recordForm(PrintController::JobRecord);
        QVERIFY(page.contains(form.title));
        for (const PrintRow& row : form.rows) {
            QVERIFY2(page.contains(row.label), qPrintable(row.label));
            for (const QString& value : row.multiLine ? row.lines : QStringList{row.value})
                QVERIFY2(page.contains(value.simplified()), qPrintable(value));
        }
    }
};

QTEST_MAIN(TestRecordPrint)
#include "tst_recordprint.moc"
