#include "../fileio/FaultTestUtil.h"
#include "OleDbTestUtil.h"
#include "oledb/DayNumber.h"
#include "oledb/xlsx/XlsxReader.h"
#include "oledb/xlsx/XlsxWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <sys/stat.h>

using namespace oledbtest;
namespace xlsx = vnt::oledb::xlsx;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

xlsx::Package packageOf(const QString& path)
{
    xlsx::Package package;
    QString error;
    xlsx::readPackage(readFile(path), &package, &error);
    return package;
}

// A workbook whose sheet "Job" has the cells `sheetData` (the inside of <sheetData>).
QByteArray workbookWithSheet(const QString& sheetData, bool date1904 = false)
{
    xlsx::Package package =
        xlsx::newWorkbook({{QStringLiteral("Job"), {QStringLiteral("ID")}, {}}});
    package.setPart(QStringLiteral("xl/worksheets/sheet1.xml"),
                    QStringLiteral("<worksheet xmlns=\"http://schemas.openxmlformats.org/"
                                   "spreadsheetml/2006/main\"><sheetData>%1</sheetData>"
                                   "</worksheet>")
                        .arg(sheetData)
                        .toUtf8());
    if (date1904) {
        QByteArray workbook = package.part(QStringLiteral("xl/workbook.xml"));
        workbook.replace("<sheets>", "<workbookPr date1904=\"1\"/><sheets>");
        package.setPart(QStringLiteral("xl/workbook.xml"), workbook);
    }
    QByteArray data;
    QString error;
    xlsx::writePackage(package, &data, &error);
    return data;
}

struct Opened
{
    std::unique_ptr<DataSource> dataSource;
    std::unique_ptr<Session> session;
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;
    HRESULT executed = E_FAIL;
};

Opened openWorkbook(const QString& path, const QString& sql,
                    const QString& provider = providerString(Kind::Workbook))
{
    Opened opened;
    DataSource::create(QStringLiteral("SQLite"), &opened.dataSource);
    DBPROPSET properties = initProperties(path, provider);
    opened.dataSource->setProperties(&properties);
    if (failed(opened.dataSource->initialize()))
        return opened;
    opened.dataSource->createSession(&opened.session);
    opened.session->createCommand(&opened.command);
    opened.command->setCommandText(sql);
    DBPROPSET rowsetProps = rowsetProperties();
    opened.command->setProperties(&rowsetProps);
    opened.executed = opened.command->execute(&opened.rowset);
    return opened;
}

// Every row as "value|value|...", nulls as "-".
QStringList rowTexts(Rowset& rowset)
{
    QList<DBCOLUMNINFO> columns;
    rowset.getColumnInfo(&columns);
    columns.removeIf([](const DBCOLUMNINFO& c) { return c.flags & DBCOLUMNFLAGS_ISBOOKMARK; });
    QList<QString> texts(columns.size());
    QList<DBSTATUS> statuses(columns.size());
    QList<Binding> bindings;
    for (qsizetype i = 0; i < columns.size(); ++i)
        bindings.append(Binding::text(columns[i].ordinal, 1000, &texts[i], &statuses[i]));
    Accessor accessor;
    rowset.createAccessor(bindings, &accessor);
    QStringList rows;
    for (HRESULT hr = rowset.moveFirst(); hr == S_OK; hr = rowset.moveNext()) {
        rowset.getData(accessor);
        QStringList values;
        for (qsizetype i = 0; i < columns.size(); ++i)
            values.append(statuses[i] == DBSTATUS_S_ISNULL ? QStringLiteral("-") : texts[i]);
        rows.append(values.join(QLatin1Char('|')));
    }
    return rows;
}

QString fixture()
{
    return QStringLiteral(VANTREL_TEST_DATA "/oledb/calc-saved.xlsx");
}

} // namespace

class TestOleDbWorkbook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void calcSavedWorkbookLoads()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vntdatab.xlsx"));
        QVERIFY(QFile::copy(fixture(), path));
        Opened opened =
            openWorkbook(path, QStringLiteral("SELECT * FROM [Job$]  ORDER BY [Job number] ASC "));
        QCOMPARE(opened.executed, S_OK);
        JobRecord record;
        Accessor accessor;
        QCOMPARE(opened.rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(opened.rowset->moveFirst(), S_OK);
        QCOMPARE(opened.rowset->getData(accessor), S_OK);
        QCOMPARE(record.jobNumber(), 101);
        QCOMPARE(record.slots[3].text, QString::fromUtf8("Zo\u00eb \u00c5ngstr\u00f6m"));
        QCOMPARE(record.slots[7].text, QStringLiteral("first line\nsecond line"));
        QVERIFY(qAbs(record.slots[5].date - toDayNumber(QDate(2024, 1, 15), QTime(9, 30))) < 1e-6);
        QCOMPARE(opened.rowset->moveNext(), S_OK);
        QCOMPARE(opened.rowset->getData(accessor), S_OK);
        QCOMPARE(record.slots[6].status, DBSTATUS_S_ISNULL);
        QCOMPARE(opened.rowset->moveNext(), S_OK);
        QCOMPARE(opened.rowset->getData(accessor), S_OK);
        QCOMPARE(record.jobNumber(), 103);         // the formula's value
        QCOMPARE(record.slots[2].text, QString()); // an empty text, not null
        QCOMPARE(record.slots[2].status, DBSTATUS_S_OK);
        QCOMPARE(record.problem(), QStringLiteral("Mail & calendar <sync>"));
        QList<DBCOLUMNINFO> columns;
        opened.rowset->getColumnInfo(&columns);
        QCOMPARE(columns[7].type, DBTYPE_DATE);
    }

    void sheetsWithoutKeysAreReadOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vntdatab.xlsx"));
        QVERIFY(QFile::copy(fixture(), path));
        Opened opened = openWorkbook(path, QStringLiteral("SELECT * FROM Notes"));
        QCOMPARE(opened.executed, DB_S_ERRORSOCCURRED);
        QCOMPARE(rowTexts(*opened.rowset),
                 (QStringList{"Printers|Check the cable first", "Mail|Ask for the log"}));
        QCOMPARE(opened.rowset->moveFirst(), S_OK);
        QCOMPARE(opened.rowset->deleteRow(), DB_E_NOTSUPPORTED);
        QCOMPARE(describe(*opened.rowset),
                 QStringLiteral("The rows of sheet 'Notes' cannot be changed: cell A2 holds "
                                "'Printers', not a whole number that identifies its row."));
    }

    void writingBackKeepsTheRestOfTheWorkbook()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vntdatab.xlsx"));
        QVERIFY(QFile::copy(fixture(), path));
        const xlsx::Package before = packageOf(path);
        {
            Opened opened = openWorkbook(
                path, QStringLiteral("SELECT * FROM [Job$] WHERE [Job$].[Job number] = 102"));
            JobRecord record;
            Accessor accessor;
            QCOMPARE(opened.rowset->createAccessor(record.bindings(), &accessor), S_OK);
            QCOMPARE(opened.rowset->moveFirst(), S_OK);
            QCOMPARE(opened.rowset->getData(accessor), S_OK);
            // Statuses are cleared before a write; the end date was null.
            for (Slot& slot : record.slots)
                slot.status = DBSTATUS_S_OK;
            record.slots[6].date = 45400.5;
            QCOMPARE(opened.rowset->setData(accessor), S_OK);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"vntdatab.xlsx"});
        const xlsx::Package after = packageOf(path);
        QCOMPARE(after.part("xl/worksheets/sheet2.xml"), before.part("xl/worksheets/sheet2.xml"));
        QCOMPARE(after.part("xl/worksheets/sheet3.xml"), before.part("xl/worksheets/sheet3.xml"));
        QCOMPARE(after.part("docProps/app.xml"), before.part("docProps/app.xml"));
        QVERIFY(after.part("xl/worksheets/sheet1.xml").contains("<sheetViews>"));
        // Rows keep their sheet order; the row that had no key now has one.
        xlsx::WorkbookInfo info;
        QString error;
        QVERIFY(xlsx::readWorkbookInfo(after, &info, &error));
        xlsx::SheetData sheet;
        QVERIFY(xlsx::readSheet(after.part("xl/worksheets/sheet1.xml"), info, &sheet, &error));
        QCOMPARE(sheet.rows.size(), 4);
        QCOMPARE(sheet.rows[2].cell(1).number, 102.0);
        QCOMPARE(sheet.rows[2].cell(0).number, 6.0);
        QCOMPARE(sheet.rows[2].cell(7).number, 45400.5);
        QVERIFY(info.isDateStyle(sheet.rows[2].cell(7).style));
        QCOMPARE(sheet.rows[3].cell(1).number, 103.0);
    }

    void cells_data()
    {
        QTest::addColumn<QString>("sheetData");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QStringList>("rows");
        const QString excel = providerString(Kind::Workbook);
        const QString header =
            QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t></is></c>"
                           "<c r=\"B1\" t=\"inlineStr\"><is><t>Text</t></is></c></row>");
        QTest::newRow("inline strings and rich runs")
            << header + "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"inlineStr\"><is>"
                        "<r><t>bo</t></r><r><t>ld</t></r><rPh><t>x</t></rPh></is></c></row>"
            << false << excel << QStringList{"1|bold"};
        QTest::newRow("cells and rows without references")
            << header + "<row><c><v>4</v></c><c t=\"str\"><v>formula text</v></c></row>"
                        "<row><c><v>5</v></c></row>"
            << false << excel << QStringList{"4|formula text", "5|-"};
        QTest::newRow("escaped control characters")
            << header + "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"inlineStr\"><is>"
                        "<t>a_x000D_&#10;b_x005F_x0041_</t></is></c></row>"
            << false << excel << QStringList{"1|a\r\nb_x0041_"};
        QTest::newRow("booleans, errors and empty rows")
            << header +
                   "<row r=\"3\"><c r=\"A3\"><v>2</v></c><c r=\"B3\" t=\"b\"><v>1</v></c></row>"
                   "<row r=\"4\"><c r=\"B4\"/></row>"
                   "<row r=\"5\"><c r=\"A5\"><v>3</v></c><c r=\"B5\" t=\"e\"><v>#N/A</v></c></row>"
            << false << excel << QStringList{"2|1", "3|-"};
        QTest::newRow("first row is data")
            << "<row r=\"1\"><c r=\"A1\"><v>7</v></c><c r=\"C1\" t=\"inlineStr\"><is><t>x</t></is>"
               "</c></row>"
            << false << QStringLiteral("Excel 8.0;HDR=No;") << QStringList{"7|-|x"};
        QTest::newRow("dates of a 1904 workbook")
            << header +
                   "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" s=\"1\"><v>0.5</v></c></row>"
            << true << excel << QStringList{"1|1462.5"};
        QTest::newRow("cells out of order and listed twice")
            << header + "<row r=\"2\"><c r=\"C2\"><v>3</v></c><c r=\"A2\"><v>1</v></c>"
                        "<c r=\"C2\"><v>4</v></c></row>"
            << false << excel << QStringList{"1|-|4"};
        QTest::newRow("missing keys numbered after the others")
            << header + "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>a</t></is></c></row>"
                        "<row r=\"3\"><c r=\"A3\"><v>8</v></c></row>"
                        "<row r=\"4\"><c r=\"B4\" t=\"inlineStr\"><is><t>c</t></is></c></row>"
            << false << excel << QStringList{"8|-", "9|a", "10|c"};
    }
    void cells()
    {
        QFETCH(QString, sheetData);
        QFETCH(bool, date1904);
        QFETCH(QString, provider);
        QFETCH(QStringList, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cells.xlsx"));
        QVERIFY(writeFile(path, workbookWithSheet(sheetData, date1904)));
        Opened opened = openWorkbook(path, QStringLiteral("SELECT * FROM [Job$]"), provider);
        QVERIFY2(opened.rowset, qPrintable(describe(*opened.dataSource)));
        QCOMPARE(rowTexts(*opened.rowset), rows);
    }

    void keyColumn_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("problem");
        const QString prefix = QStringLiteral("The rows of sheet 'Job' cannot be changed: ");
        QTest::newRow("distinct whole numbers") << "<v>3</v>|<v>1</v>"
                                                << "";
        QTest::newRow("same number twice") << "<v>3</v>|<v>3</v>"
                                           << prefix + "rows 2 and 3 have the same number 3 in "
                                                       "the first column.";
        QTest::newRow("fraction") << "<v>3</v>|<v>1.5</v>"
                                  << prefix + "cell A3 holds '1.5', not a whole number that "
                                              "identifies its row.";
    }
    void keyColumn()
    {
        QFETCH(QString, keys);
        QFETCH(QString, problem);
        const QStringList values = keys.split(QLatin1Char('|'));
        QString sheetData = QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t>"
                                           "</is></c></row>");
        for (int i = 0; i < values.size(); ++i)
            sheetData +=
                QStringLiteral("<row r=\"%1\"><c r=\"A%1\">%2</c></row>").arg(i + 2).arg(values[i]);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keys.xlsx"));
        QVERIFY(writeFile(path, workbookWithSheet(sheetData)));
        Opened opened = openWorkbook(path, QStringLiteral("SELECT * FROM Job"));
        QCOMPARE(opened.executed, problem.isEmpty() ? S_OK : DB_S_ERRORSOCCURRED);
        QCOMPARE(opened.rowset->moveFirst(), S_OK);
        const HRESULT deleted = opened.rowset->deleteRow();
        QCOMPARE(deleted, problem.isEmpty() ? S_OK : DB_E_NOTSUPPORTED);
        QCOMPARE(describe(*opened.rowset), problem);
    }

    void dateStyleAddedWhenTheWorkbookHasNone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plain.xlsx"));
        xlsx::Package package = xlsx::newWorkbook({{QStringLiteral("Job"), {}, {}}});
        package.setPart(QStringLiteral("xl/worksheets/sheet1.xml"),
                        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                        "main\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t>"
                        "</is></c><c r=\"B1\" t=\"inlineStr\"><is><t>When</t></is></c></row>"
                        "</sheetData></worksheet>");
        QByteArray styles = package.part(QStringLiteral("xl/styles.xml"));
        styles.replace("numFmtId=\"164\" fontId", "numFmtId=\"0\" fontId");
        package.setPart(QStringLiteral("xl/styles.xml"), styles);
        QByteArray data;
        QString error;
        QVERIFY(xlsx::writePackage(package, &data, &error));
        QVERIFY(writeFile(path, data));
        {
            Opened opened = openWorkbook(path, QStringLiteral("SELECT * FROM Job"));
            double when = 45500.25;
            DBSTATUS status = DBSTATUS_S_OK;
            Accessor accessor;
            QCOMPARE(opened.rowset->createAccessor({Binding::date(2, &when, &status)}, &accessor),
                     S_OK);
            QCOMPARE(opened.rowset->insertRow(accessor), S_OK);
        }
        Opened reopened = openWorkbook(path, QStringLiteral("SELECT * FROM Job"));
        QList<DBCOLUMNINFO> columns;
        reopened.rowset->getColumnInfo(&columns);
        QCOMPARE(columns[2].type, DBTYPE_DATE);
        QCOMPARE(rowTexts(*reopened.rowset), QStringList{"1|45500.25"});
    }

    void changedByAnotherProgram()
    {
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Knowledge"));
        KnowledgeRecord record;
        record.set(1, QStringLiteral("t"), QStringLiteral("f"), QStringLiteral("n"));
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        const QByteArray theirs = workbookWithSheet(QString());
        QVERIFY(writeFile(db.path(), theirs));
        QCOMPARE(rowset->insertRow(accessor), DB_E_CONCURRENCYVIOLATION);
        QVERIFY(describe(db.dataSource()).contains(QLatin1String("changed by another program")));
        QCOMPARE(readFile(db.path()), theirs);
        QCOMPARE(rowset->rowCount(), 1);
    }

    // A program that rewrites the workbook in place and puts its time back is still seen.
    void changedInPlaceKeepingSizeAndTime()
    {
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Knowledge"));
        KnowledgeRecord record;
        record.set(1, QStringLiteral("t"), QStringLiteral("f"), QStringLiteral("n"));
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(db.path()).constData(), &before), 0);
        QByteArray theirs = readFile(db.path());
        theirs[theirs.size() - 30] = char(theirs[theirs.size() - 30] ^ 1);
        {
            QFile file(db.path());
            QVERIFY(file.open(QIODevice::ReadWrite));
            QCOMPARE(file.write(theirs), theirs.size());
        }
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(db.path()).constData(), times, 0), 0);
        QCOMPARE(rowset->insertRow(accessor), DB_E_CONCURRENCYVIOLATION);
        QCOMPARE(readFile(db.path()), theirs);
    }

    void fullDiskKeepsTheWorkbook_data()
    {
        QTest::addColumn<bool>("shim");
        QTest::addColumn<HRESULT>("result");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << true << STG_E_MEDIUMFULL << "the disk is full";
        QTest::newRow("file size limit") << false << STG_E_MEDIUMFULL << "the file is larger than the disk";
    }
    void fullDiskKeepsTheWorkbook()
    {
        QFETCH(bool, shim);
        QFETCH(HRESULT, result);
        QFETCH(QString, reason);
        if (shim && !faulttest::faultShimLoaded())
            QSKIP("the fault shim is not preloaded");
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Knowledge"));
        KnowledgeRecord record;
        record.set(1, QStringLiteral("t"), QStringLiteral("f"), QStringLiteral("n"));
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        const QByteArray before = readFile(db.path());
        HRESULT inserted = S_OK;
        {
            const faulttest::ShimFaults faults(shim ? db.folder() : QString(), 0);
            const faulttest::FileSizeLimit limit(shim ? RLIM_INFINITY : rlim_t(1000));
            inserted = rowset->insertRow(accessor);
        }
        QCOMPARE(inserted, result);
        const QString description = describe(db.dataSource());
        QVERIFY2(description.contains(QStringLiteral("could not be written: ") + reason),
                 qPrintable(description));
        QCOMPARE(readFile(db.path()), before);
        QCOMPARE(rowset->rowCount(), 0);
        // The failed change is gone, and the next one is written whole.
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(db.open(), S_OK);
        QCOMPARE(db.execute(QStringLiteral("SELECT * FROM Knowledge"))->rowCount(), 1);
    }

    // Memory and time stay proportional to the XML: a reference far to the right is one
    // cell, and a style for every column is one range.
    void hostileSheetsStaySmall()
    {
        QString rows;
        QString columns;
        for (int i = 1; i <= 200; ++i)
            rows += QStringLiteral("<row r=\"%1\"><c r=\"XFD%1\"/></row>").arg(i);
        for (int i = 0; i < 40; ++i)
            columns += QStringLiteral("<col min=\"1\" max=\"16384\" style=\"%1\"/>").arg(i % 2);
        const QByteArray xml = QStringLiteral("<worksheet><cols>%1</cols><sheetData>%2</sheetData>"
                                              "</worksheet>")
                                   .arg(columns, rows)
                                   .toUtf8();
        xlsx::WorkbookInfo info;
        xlsx::SheetData sheet;
        QString error;
        QVERIFY(xlsx::readSheet(xml, info, &sheet, &error));
        QCOMPARE(sheet.rows.size(), 200);
        for (const xlsx::Row& row : sheet.rows)
            QCOMPARE(row.cells.size(), 1);
        QCOMPARE(sheet.rows[0].width(), 16384);
        QCOMPARE(sheet.rows[0].cell(16383).column, 16383);
        QCOMPARE(sheet.columnStyles.size(), 40);
        QCOMPARE(sheet.columnStyle(16383), 1);
        QCOMPARE(sheet.columnStyle(0), 1);

        // As a workbook: the empty far cells add no columns; a value far out is refused.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("far.xlsx"));
        QVERIFY(writeFile(
            path, workbookWithSheet(QStringLiteral("<row r=\"1\"><c r=\"A1\" "
                                                   "t=\"inlineStr\"><is><t>ID</t>"
                                                   "</is></c></row>") +
                                    rows.mid(rows.indexOf(QLatin1String("<row r=\"2\""))))));
        Opened opened = openWorkbook(path, QStringLiteral("SELECT * FROM [Job$]"));
        QVERIFY2(opened.rowset, qPrintable(describe(*opened.dataSource)));
        QCOMPARE(rowTexts(*opened.rowset), QStringList{});
        QVERIFY(writeFile(path, workbookWithSheet(QStringLiteral("<row r=\"1\"><c r=\"XFD1\">"
                                                                 "<v>1</v></c></row>"))));
        Opened refused = openWorkbook(path, QStringLiteral("SELECT * FROM [Job$]"));
        QVERIFY(!refused.rowset);
        QVERIFY2(describe(*refused.dataSource).contains(QLatin1String("16384 columns")),
                 qPrintable(describe(*refused.dataSource)));
    }

    // A workbook written here opens in the spreadsheet program, dates shown as dates.
    void opensInCalc()
    {
        const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (office.isEmpty())
            QSKIP("LibreOffice is not installed");
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{12, QStringLiteral("Caf\u00e9 & <printer>"), QStringLiteral("Ann Lee"),
                        toDayNumber(QDate(2024, 2, 29), QTime(18, 30)), 2, 1}});
        QProcess process;
        process.setWorkingDirectory(db.folder());
        process.start(office, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                               QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,"
                                              "false,true,false,false,false,-1"),
                               QStringLiteral("-env:UserInstallation=file://") + db.folder() +
                                   QStringLiteral("/profile"),
                               db.path()});
        QVERIFY(process.waitForFinished(120000));
        const QByteArray csv = readFile(db.folder() + QStringLiteral("/vntdatab-Job.csv"));
        QVERIFY2(!csv.isEmpty(), process.readAllStandardError().constData());
        QCOMPARE(csv.split('\n').value(1),
                 QString::fromUtf8("1,12,Caf\u00e9 & <printer>, ,Ann Lee,annlee@example.com,"
                                   "2024-02-29 18:30:00,2024-03-03 06:30:00, ,2,1, , ")
                     .toUtf8());
    }

    void textSurvivesTheRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("markup characters") << "a < b && c > \"d\"";
        QTest::newRow("blanks at the ends") << "  padded  ";
        QTest::newRow("control characters") << QStringLiteral("tab\there\x01\x1f end");
        QTest::newRow("escape look-alike") << "_x0041_ stays";
        QTest::newRow("outside the basic plane") << QString::fromUtf8("\U0001F41B bug");
    }
    void textSurvivesTheRoundTrip()
    {
        QFETCH(QString, text);
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM [Knowledge$]"));
        KnowledgeRecord record;
        record.set(1, QStringLiteral("t"), text, QStringLiteral("n"));
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(db.open(), S_OK);
        rowset = db.execute(QStringLiteral("SELECT * FROM [Knowledge$]"));
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        QCOMPARE(record.slots[2].text, text);
    }
};

QTEST_GUILESS_MAIN(TestOleDbWorkbook)
#include "tst_oledbworkbook.moc"
