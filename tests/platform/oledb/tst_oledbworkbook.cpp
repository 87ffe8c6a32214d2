#include "../fileio/FaultTestUtil.h"
#include "OleDbTestUtil.h"
#include "oledb/DayNumber.h"
#include "oledb/xlsx/XlsxReader.h"
#include "oledb/xlsx/XlsxWriter.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <functional>
#include <sys/stat.h>

using namespace oledbtest;
namespace xlsx = vnt::oledb::xlsx;

namespace {

// A workbook saved by the spreadsheet program: three sheets, formulas, styles, views.
QByteArray calcSaved()
{
    return readFile(QStringLiteral(VANTREL_TEST_DATA "/oledb/calc-saved.xlsx"));
}

xlsx::Package packageOf(const QString& path)
{
    xlsx::Package package;
    QString error;
    xlsx::readPackage(readFile(path), &package, &error);
    return package;
}

const QString kHeader = u"<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t></is></c>"
                        "<c r=\"B1\" t=\"inlineStr\"><is><t>Text</t></is></c></row>"_s;

// A workbook whose sheet "Job" has the cells `sheetData` (the inside of <sheetData>);
// `edit` changes the package further.
QByteArray workbookWithSheet(const QString& sheetData,
                             const std::function<void(xlsx::Package&)>& edit = {})
{
    xlsx::Package package = xlsx::newWorkbook({{u"Job"_s, {u"ID"_s}, {}}});
    package.setPart(u"xl/worksheets/sheet1.xml"_s,
                    u"<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                    "main\"><sheetData>%1</sheetData></worksheet>"_s.arg(sheetData)
                        .toUtf8());
    if (edit)
        edit(package);
    QByteArray data;
    QString error;
    xlsx::writePackage(package, &data, &error);
    return data;
}

// Replaces `from` by `to` in the package entry `name`.
void replaceText(xlsx::Package& package, const QString& name, const QByteArray& from,
                 const QByteArray& to)
{
    package.setPart(name, package.part(name).replace(from, to));
}

// A workbook database whose file holds `data`, opened with `provider`.
struct Workbook : TestDatabase
{
    explicit Workbook(const QByteArray& data, const QString& provider = {})
        : TestDatabase(Kind::Workbook)
        , written(writeFile(path(), data))
        , opened(open(provider))
    {}
    bool written;
    HRESULT opened;
};

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
            values.append(statuses[i] == DBSTATUS_S_ISNULL ? u"-"_s : texts[i]);
        rows.append(values.join(u'|'));
    }
    return rows;
}

} // namespace

class TestOleDbWorkbook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void calcSavedWorkbookLoads()
    {
        Workbook db(calcSaved());
        QCOMPARE(db.opened, S_OK);
        Jobs jobs(db.execute(u"SELECT * FROM [Job$]  ORDER BY [Job number] ASC "_s));
        QCOMPARE(jobs.rowset->moveFirst(), S_OK);
        QCOMPARE(jobs.read(), S_OK);
        JobRecord& job = jobs.record;
        QCOMPARE(job.jobNumber(), 101);
        QCOMPARE(job.slots[3].text, u"Zo\u00eb \u00c5ngstr\u00f6m"_s);
        QCOMPARE(job.slots[7].text, u"first line\nsecond line"_s);
        QVERIFY(qAbs(job.slots[5].date - toDayNumber(QDate(2024, 1, 15), QTime(9, 30))) < 1e-6);
        QCOMPARE(jobs.rowset->moveNext(), S_OK);
        QCOMPARE(jobs.read(), S_OK);
        QCOMPARE(job.slots[6].status, DBSTATUS_S_ISNULL);
        QCOMPARE(jobs.rowset->moveNext(), S_OK);
        QCOMPARE(jobs.read(), S_OK);
        QCOMPARE(job.jobNumber(), 103);         // the formula's value
        QCOMPARE(job.slots[2].text, QString()); // an empty text, not null
        QCOMPARE(job.slots[2].status, DBSTATUS_S_OK);
        QCOMPARE(job.problem(), u"Mail & calendar <sync>"_s);
        QList<DBCOLUMNINFO> columns;
        jobs.rowset->getColumnInfo(&columns);
        QCOMPARE(columns[7].type, DBTYPE_DATE);
    }

    void sheetsWithoutKeysAreReadOnly()
    {
        Workbook db(calcSaved());
        HRESULT executed = E_FAIL;
        auto rowset = db.execute(u"SELECT * FROM Notes"_s, &executed);
        QCOMPARE(executed, DB_S_ERRORSOCCURRED);
        QCOMPARE(rowTexts(*rowset),
                 (QStringList{"Printers|Check the cable first", "Mail|Ask for the log"}));
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->deleteRow(), DB_E_NOTSUPPORTED);
        QCOMPARE(describe(*rowset), u"The rows of sheet 'Notes' cannot be changed: cell A2 holds "
                                    "'Printers', not a whole number that identifies its row."_s);
    }

    void writingBackKeepsTheRestOfTheWorkbook()
    {
        Workbook db(calcSaved());
        const xlsx::Package before = packageOf(db.path());
        {
            Jobs jobs(db.execute(u"SELECT * FROM [Job$] WHERE [Job$].[Job number] = 102"_s));
            QCOMPARE(jobs.rowset->moveFirst(), S_OK);
            QCOMPARE(jobs.read(), S_OK);
            // Statuses are cleared before a write; the end date was null.
            for (Slot& slot : jobs.record.slots)
                slot.status = DBSTATUS_S_OK;
            jobs.record.slots[6].date = 45400.5;
            QCOMPARE(jobs.write(), S_OK);
        }
        QCOMPARE(QDir(db.folder()).entryList(QDir::Files), QStringList{"vntdatab.xlsx"});
        const xlsx::Package after = packageOf(db.path());
        for (const char* part :
             {"xl/worksheets/sheet2.xml", "xl/worksheets/sheet3.xml", "docProps/app.xml"})
            QCOMPARE(after.part(QLatin1String(part)), before.part(QLatin1String(part)));
        QVERIFY(after.part(u"xl/worksheets/sheet1.xml"_s).contains("<sheetViews>"));
        // Rows keep their sheet order; the row that had no key now has one.
        xlsx::WorkbookInfo info;
        QString error;
        QVERIFY(xlsx::readWorkbookInfo(after, &info, &error));
        xlsx::SheetData sheet;
        QVERIFY(xlsx::readSheet(after.part(u"xl/worksheets/sheet1.xml"_s), info, &sheet, &error));
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
        const auto row = [](const char* tag, const QString& cells, const QStringList& rows,
                            bool date1904 = false, const QString& provider = {}) {
            QTest::newRow(tag) << cells << date1904 << provider << rows;
        };
        row("inline strings and rich runs",
            kHeader + u"<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"inlineStr\"><is>"
                      "<r><t>bo</t></r><r><t>ld</t></r><rPh><t>x</t></rPh></is></c></row>"_s,
            {"1|bold"});
        row("cells and rows without references",
            kHeader + u"<row><c><v>4</v></c><c t=\"str\"><v>formula text</v></c></row>"
                      "<row><c><v>5</v></c></row>"_s,
            {"4|formula text", "5|-"});
        row("escaped control characters",
            kHeader + u"<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"inlineStr\"><is>"
                      "<t>a_x000D_&#10;b_x005F_x0041_</t></is></c></row>"_s,
            {"1|a\r\nb_x0041_"});
        row("booleans, errors and empty rows",
            kHeader + u"<row r=\"3\"><c r=\"A3\"><v>2</v></c><c r=\"B3\" t=\"b\"><v>1</v></c></row>"
                      "<row r=\"4\"><c r=\"B4\"/></row><row r=\"5\"><c r=\"A5\"><v>3</v></c>"
                      "<c r=\"B5\" t=\"e\"><v>#N/A</v></c></row>"_s,
            {"2|1", "3|-"});
        row("first row is data",
            u"<row r=\"1\"><c r=\"A1\"><v>7</v></c><c r=\"C1\" t=\"inlineStr\"><is><t>x</t></is>"
            "</c></row>"_s,
            {"7|-|x"}, false, u"Excel 8.0;HDR=No;"_s);
        row("dates of a 1904 workbook",
            kHeader +
                u"<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" s=\"1\"><v>0.5</v></c></row>"_s,
            {"1|1462.5"}, true);
        row("cells out of order and listed twice",
            kHeader + u"<row r=\"2\"><c r=\"C2\"><v>3</v></c><c r=\"A2\"><v>1</v></c>"
                      "<c r=\"C2\"><v>4</v></c></row>"_s,
            {"1|-|4"});
        row("references, character data, line ends and prefixes",
            kHeader + u"<x:row xmlns:x=\"urn:main\" r=\"2\"><x:c r=\"A2\"><x:v> 1 </x:v></x:c><x:c "
                      u"r=\"B2\" "
                      "t='inlineStr'><x:is><x:t>a&amp;b&#x41;&#66;<![CDATA[<c>&amp;]]>\r\nz\r"
                      "</x:t></x:is></x:c></x:row>"_s,
            {"1|a&bAB<c>&amp;\nz\n"});
        row("shared strings by number",
            kHeader + u"<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"s\"><v>1</v></c>"
                      "</row><row r=\"3\"><c r=\"A3\"><v>2</v></c><c r=\"B3\" t=\"s\"><v>9</v></c>"
                      "</row>"_s,
            {"1|second_x0041_", "2|"});
        row("missing keys numbered after the others",
            kHeader + u"<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>a</t></is></c></row>"
                      "<row r=\"3\"><c r=\"A3\"><v>8</v></c></row>"
                      "<row r=\"4\"><c r=\"B4\" t=\"inlineStr\"><is><t>c</t></is></c></row>"_s,
            {"8|-", "9|a", "10|c"});
    }
    void cells()
    {
        QFETCH(QString, sheetData);
        QFETCH(bool, date1904);
        QFETCH(QString, provider);
        QFETCH(QStringList, rows);
        const auto mark1904 = [date1904](xlsx::Package& package) {
            if (date1904)
                replaceText(package, u"xl/workbook.xml"_s, "<sheets>",
                            "<workbookPr date1904=\"1\"/><sheets>");
            package.setPart(u"xl/sharedStrings.xml"_s,
                            "<sst><si><t>first</t></si><si><r><t>second</t></r><r><t>_x005F_x0041_"
                            "</t></r></si></sst>");
            replaceText(package, u"xl/_rels/workbook.xml.rels"_s, "</Relationships>",
                        "<Relationship Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/"
                        "officeDocument/2006/relationships/sharedStrings\" "
                        "Target=\"sharedStrings.xml\"/></Relationships>");
        };
        Workbook db(workbookWithSheet(sheetData, mark1904), provider);
        QVERIFY2(succeeded(db.opened), qPrintable(describe(db.dataSource())));
        auto rowset = db.execute(u"SELECT * FROM [Job$]"_s);
        QVERIFY2(rowset, qPrintable(describe(db.dataSource())));
        QCOMPARE(rowTexts(*rowset), rows);
    }

    // A sheet that is not well-formed XML is refused, not read in part.
    void malformedSheets_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("cut short") << u"<worksheet><sheetData><row r=\"1\"><c><v>1</v></c>"_s;
        QTest::newRow("tags that do not match")
            << u"<worksheet><sheetData><row></sheetData></row></worksheet>"_s;
        QTest::newRow("unknown entity")
            << u"<worksheet><sheetData><row><c t=\"str\"><v>&nbsp;</v></c></row></sheetData>"
               "</worksheet>"_s;
        QTest::newRow("character out of range")
            << u"<worksheet><sheetData><row><c t=\"str\"><v>&#0;</v></c></row></sheetData>"
               "</worksheet>"_s;
        QTest::newRow("document type")
            << u"<!DOCTYPE worksheet [<!ENTITY a \"b\">]><worksheet><sheetData/></worksheet>"_s;
        QTest::newRow("unquoted attribute")
            << u"<worksheet><sheetData><row r=1/></sheetData></worksheet>"_s;
        QTest::newRow("element for a value")
            << u"<worksheet><sheetData><row><c><v><b/></v></c></row></sheetData></worksheet>"_s;
        QTest::newRow("two roots") << u"<worksheet/><worksheet/>"_s;
        QTest::newRow("nothing") << QString();
    }
    void malformedSheets()
    {
        QFETCH(QString, xml);
        xlsx::WorkbookInfo info;
        xlsx::SheetData sheet;
        QString error;
        QVERIFY(!xlsx::readSheet(xml.toUtf8(), info, &sheet, &error));
        QVERIFY2(error.startsWith(u"a sheet is malformed ("_s), qPrintable(error));
    }

    // Texts are written so that they read back the same, white space kept only where it
    // needs saying; the rest of the sheet part stays, prefixes included.
    void textsWrittenAndReadBack()
    {
        const QStringList texts = {u"plain words"_s,
                                   u" leading"_s,
                                   u"two  spaces"_s,
                                   u"line\r\nend"_s,
                                   u"a & <b> > c"_s,
                                   u"_x0041_ literal"_s,
                                   u"\u00e9t\u00e9 \U0001F600"_s,
                                   u"nul\u0001 \ufffe"_s};
        xlsx::SheetContent content;
        content.columns = {{u"Text"_s, 0, 3, false}};
        for (const QString& text : texts)
            content.rows.append({text});
        const QByteArray part = "<x:worksheet xmlns:x=\"urn:main\"><x:dimension ref=\"A1\"/>"
                                "<x:sheetData/><x:pageMargins/></x:worksheet>";
        QByteArray xml;
        QVERIFY(xlsx::replaceSheetData(part, content, &xml));
        QVERIFY(xml.startsWith("<x:worksheet xmlns:x=\"urn:main\"><x:dimension ref=\"A1:A9\"/>"
                               "<x:sheetData><x:row r=\"1\">"));
        QVERIFY(xml.endsWith("</x:sheetData><x:pageMargins/></x:worksheet>"));
        QVERIFY(xml.contains("<x:c r=\"A2\" s=\"3\" t=\"inlineStr\"><x:is><x:t>plain words<"));
        QVERIFY(xml.contains("<x:t xml:space=\"preserve\"> leading<"));
        QVERIFY(xml.contains("<x:t>a &amp; &lt;b&gt; &gt; c<"));
        xlsx::WorkbookInfo info;
        xlsx::SheetData sheet;
        QString error;
        QVERIFY2(xlsx::readSheet(xml, info, &sheet, &error), qPrintable(error));
        QStringList read;
        for (qsizetype i = 1; i < sheet.rows.size(); ++i)
            read.append(sheet.rows[i].cell(0).text);
        QCOMPARE(read, texts);
    }

    // A large sheet is read while it is inflated and a large part of another kind is kept
    // when the workbook is written again; damage to them is found.
    void largeParts()
    {
        QByteArray rows = kHeader.toUtf8();
        for (int i = 2; i <= 20001; ++i) {
            const QByteArray n = QByteArray::number(i);
            rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + QByteArray::number(i - 1) +
                    "</v></c><c r=\"B" + n + "\" t=\"inlineStr\"><is><t>text " + n +
                    "</t></is></c></row>";
        }
        rows.replace("text 778<", "bad \xff<");
        const QByteArray media(2 * 1024 * 1024, 'm');
        const QByteArray data = workbookWithSheet(QString(), [&](xlsx::Package& package) {
            package.setPart(u"xl/worksheets/sheet1.xml"_s,
                            "<worksheet><sheetData>" + rows + "</sheetData></worksheet>");
            package.setPart(u"xl/media/image1.bin"_s, media);
        });
        Workbook db(data);
        QCOMPARE(db.opened, S_OK);
        auto picked = db.execute(u"SELECT * FROM [Job$] WHERE [ID] IN (1, 777, 20000)"_s);
        QCOMPARE(rowTexts(*picked),
                 (QStringList{"1|text 2", "777|bad \ufffd", "20000|text 20001"}));
        QCOMPARE(picked->moveFirst(), S_OK);
        QCOMPARE(picked->deleteRow(), S_OK);
        QCOMPARE(packageOf(db.path()).part(u"xl/media/image1.bin"_s), media);
        QCOMPARE(db.open(), S_OK);
        QCOMPARE(db.execute(u"SELECT * FROM [Job$]"_s)->rowCount(), 19999);

        QByteArray damaged = data;
        damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x55);
        Workbook broken(damaged);
        QVERIFY(failed(broken.opened));
        QVERIFY2(describe(broken.dataSource()).contains(u"is damaged"_s),
                 qPrintable(describe(broken.dataSource())));
    }

    // A large part is compressed in pieces side by side; they read back as one.
    void largePartsRoundTrip()
    {
        QByteArray large;
        for (int i = 0; large.size() < 6 * 1024 * 1024; ++i)
            large += "<row r=\"" + QByteArray::number(i) + "\"><c><v>" +
                     QByteArray::number(i * 7919 % 100003) + "</v></c></row>";
        xlsx::Package package;
        package.setPart(u"large.xml"_s, large);
        package.setPart(u"small.xml"_s, "<a/>");
        QByteArray data;
        QString error;
        QVERIFY(xlsx::writePackage(package, &data, &error));
        QVERIFY(data.size() < large.size() / 3);
        xlsx::Package read;
        QVERIFY2(xlsx::readPackage(data, &read, &error), qPrintable(error));
        QCOMPARE(read.names, package.names);
        QVERIFY(read.part(u"large.xml"_s) == large);
    }

    // The first column must hold distinct whole numbers for the rows to be changed.
    void keyColumn_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("problem");
        const QString prefix = u"The rows of sheet 'Job' cannot be changed: "_s;
        QTest::newRow("distinct whole numbers") << QStringList{"3", "1"} << QString();
        QTest::newRow("same number twice")
            << QStringList{"3", "3"}
            << prefix + u"rows 2 and 3 have the same number 3 in the first column."_s;
        QTest::newRow("fraction")
            << QStringList{"3", "1.5"}
            << prefix + u"cell A3 holds '1.5', not a whole number that identifies its row."_s;
    }
    void keyColumn()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, problem);
        QString sheetData =
            u"<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t></is></c></row>"_s;
        for (int i = 0; i < keys.size(); ++i)
            sheetData +=
                u"<row r=\"%1\"><c r=\"A%1\"><v>%2</v></c></row>"_s.arg(i + 2).arg(keys[i]);
        Workbook db(workbookWithSheet(sheetData));
        HRESULT executed = E_FAIL;
        auto rowset = db.execute(u"SELECT * FROM Job"_s, &executed);
        QCOMPARE(executed, problem.isEmpty() ? S_OK : DB_S_ERRORSOCCURRED);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->deleteRow(), problem.isEmpty() ? S_OK : DB_E_NOTSUPPORTED);
        QCOMPARE(describe(*rowset), problem);
    }

    void dateStyleAddedWhenTheWorkbookHasNone()
    {
        const QString header = u"<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t></is></c>"
                               "<c r=\"B1\" t=\"inlineStr\"><is><t>When</t></is></c></row>"_s;
        Workbook db(workbookWithSheet(header, [](xlsx::Package& package) {
            replaceText(package, u"xl/styles.xml"_s, "numFmtId=\"164\" fontId",
                        "numFmtId=\"0\" fontId");
        }));
        {
            auto rowset = db.execute(u"SELECT * FROM Job"_s);
            double when = 45500.25;
            DBSTATUS status = DBSTATUS_S_OK;
            Accessor accessor;
            QCOMPARE(rowset->createAccessor({Binding::date(2, &when, &status)}, &accessor), S_OK);
            QCOMPARE(rowset->insertRow(accessor), S_OK);
        }
        QCOMPARE(db.open(), S_OK);
        auto reopened = db.execute(u"SELECT * FROM Job"_s);
        QList<DBCOLUMNINFO> columns;
        reopened->getColumnInfo(&columns);
        QCOMPARE(columns[2].type, DBTYPE_DATE);
        QCOMPARE(rowTexts(*reopened), QStringList{"1|45500.25"});
    }

    // A workbook another program wrote since it was read is never overwritten, even when
    // that program rewrote it in place and put its time back.
    void changedByAnotherProgram_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("replaced") << false;
        QTest::newRow("in place, same size and time") << true;
    }
    void changedByAnotherProgram()
    {
        QFETCH(bool, inPlace);
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        Facts facts(db.facts());
        facts.record.set(1, u"t"_s, u"f"_s, u"n"_s);
        QCOMPARE(facts.insert(), S_OK);
        const QByteArray native = QFile::encodeName(db.path());
        struct stat before;
        QCOMPARE(::stat(native.constData(), &before), 0);
        QByteArray theirs = inPlace ? readFile(db.path()) : workbookWithSheet(QString());
        if (inPlace) {
            theirs[theirs.size() - 30] = char(theirs[theirs.size() - 30] ^ 1);
            QFile file(db.path());
            QVERIFY(file.open(QIODevice::ReadWrite));
            QCOMPARE(file.write(theirs), theirs.size());
        } else {
            QVERIFY(writeFile(db.path(), theirs));
        }
        if (inPlace) {
            const timespec times[2] = {before.st_atim, before.st_mtim};
            QCOMPARE(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
        }
        QCOMPARE(facts.insert(), DB_E_CONCURRENCYVIOLATION);
        QVERIFY(describe(db.dataSource()).contains(QLatin1String("changed by another program")));
        QCOMPARE(readFile(db.path()), theirs);
        QCOMPARE(facts.rowset->rowCount(), 1);
    }

    // A write that fails part-way leaves the workbook as it was and the rowset without the
    // change; the next change is written whole.
    void fullDiskKeepsTheWorkbook_data()
    {
        QTest::addColumn<bool>("shim");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << true << u"the disk is full"_s;
        QTest::newRow("file size limit") << false << u"the file is larger than the disk"_s;
    }
    void fullDiskKeepsTheWorkbook()
    {
        QFETCH(bool, shim);
        QFETCH(QString, reason);
        if (shim && !faulttest::faultShimLoaded())
            QSKIP("the fault shim is not preloaded");
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        Facts facts(db.facts());
        facts.record.set(1, u"t"_s, u"f"_s, u"n"_s);
        const QByteArray before = readFile(db.path());
        HRESULT inserted = S_OK;
        {
            const faulttest::ShimFaults faults(shim ? db.folder() : QString(), 0);
            const faulttest::FileSizeLimit limit(shim ? RLIM_INFINITY : rlim_t(1000));
            inserted = facts.insert();
        }
        QCOMPARE(inserted, STG_E_MEDIUMFULL);
        const QString description = describe(db.dataSource());
        QVERIFY2(description.contains(u"could not be written: "_s + reason),
                 qPrintable(description));
        QCOMPARE(readFile(db.path()), before);
        QCOMPARE(facts.rowset->rowCount(), 0);
        QCOMPARE(facts.insert(), S_OK);
        QCOMPARE(db.open(), S_OK);
        QCOMPARE(db.facts()->rowCount(), 1);
    }

    // Memory and time stay proportional to the XML: a reference far to the right is one
    // cell, and a style for every column is one range.
    void hostileSheetsStaySmall()
    {
        QString rows;
        QString columns;
        for (int i = 1; i <= 200; ++i)
            rows += u"<row r=\"%1\"><c r=\"XFD%1\"/></row>"_s.arg(i);
        for (int i = 0; i < 40; ++i)
            columns += u"<col min=\"1\" max=\"16384\" style=\"%1\"/>"_s.arg(i % 2);
        const QByteArray xml =
            u"<worksheet><cols>%1</cols><sheetData>%2</sheetData></worksheet>"_s.arg(columns, rows)
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
        const QString id =
            u"<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t></is></c></row>"_s;
        Workbook far(workbookWithSheet(id + rows.mid(rows.indexOf(u"<row r=\"2\""_s))));
        auto rowset = far.execute(u"SELECT * FROM [Job$]"_s);
        QVERIFY2(rowset, qPrintable(describe(far.dataSource())));
        QCOMPARE(rowTexts(*rowset), QStringList{});
        Workbook refused(workbookWithSheet(u"<row r=\"1\"><c r=\"XFD1\"><v>1</v></c></row>"_s));
        QVERIFY(failed(refused.opened));
        QVERIFY2(describe(refused.dataSource()).contains(QLatin1String("16384 columns")),
                 qPrintable(describe(refused.dataSource())));
    }

    // A workbook written here opens in the spreadsheet program, dates shown as dates.
    void opensInCalc()
    {
        const QString office = QStandardPaths::findExecutable(u"soffice"_s);
        if (office.isEmpty())
            QSKIP("LibreOffice is not installed");
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{12, u"Caf\u00e9 & <printer>"_s, u"Ann Lee"_s,
                        toDayNumber(QDate(2024, 2, 29), QTime(18, 30)), 2, 1}});
        QProcess process;
        process.setWorkingDirectory(db.folder());
        process.start(office, {u"--headless"_s, u"--convert-to"_s,
                               u"csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,"
                               "false,false,-1"_s,
                               u"-env:UserInstallation=file://"_s + db.folder() + u"/profile"_s,
                               db.path()});
        QVERIFY(process.waitForFinished(120000));
        const QByteArray csv = readFile(db.folder() + u"/vntdatab-Job.csv"_s);
        QVERIFY2(!csv.isEmpty(), process.readAllStandardError().constData());
        QCOMPARE(csv.split('\n').value(1),
                 u"1,12,Caf\u00e9 & <printer>, ,Ann Lee,annlee@example.com,2024-02-29 18:30:00,"
                 "2024-03-03 06:30:00, ,2,1, , "_s.toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestOleDbWorkbook)
#include "tst_oledbworkbook.moc"
