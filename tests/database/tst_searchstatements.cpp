// The statements the searches and sort settings build, as text, for both kinds of database,
// and the input checks that refuse a search.

#include "database/SearchStatements.h"

#include <QtTest>

using namespace vantrel::database;
using namespace Qt::StringLiterals;

namespace {

const QStringList kJobNames = {u"Job number"_s,    u"Problem"_s,        u"Solution"_s,
                               u"Customer name"_s, u"Customer email"_s, u"Start date"_s,
                               u"End date"_s,      u"Notes"_s,          u"Priority"_s,
                               u"Status"_s,        u"Category"_s,       u"Product"_s};
const QStringList kKnowledgeNames = {u"Reference"_s, u"Type"_s,   u"Fact or Problem"_s,
                                     u"Note 1"_s,    u"Note 2"_s, u"Note 3"_s};

DatabaseNames sortedNames(int type)
{
    DatabaseNames names = NamesForType(type, u"qdmdatab"_s, u"Microsoft.Jet.OLEDB.4.0"_s);
    BuildJobBaseQuery(names, kJobNames, 0, false);
    BuildKnowledgeBaseQuery(names, kKnowledgeNames, 0, false);
    return names;
}

} // namespace

class SearchStatementsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void baseQueries()
    {
        DatabaseNames access = sortedNames(AccessDatabase);
        QCOMPARE(access.jobBaseQuery, u"SELECT * FROM Job  ORDER BY [Job number] ASC "_s);
        QCOMPARE(access.knowledgeBaseQuery,
                 u"SELECT * FROM Knowledge  ORDER BY [Reference] ASC "_s);
        BuildJobBaseQuery(access, kJobNames, 99, true);
        QCOMPARE(access.jobBaseQuery, u"SELECT * FROM Job  ORDER BY [Job number] DESC"_s);
        const DatabaseNames excel = sortedNames(ExcelWorkbook);
        QCOMPARE(excel.jobBaseQuery, u"SELECT * FROM [Job$]  ORDER BY [Job number] ASC "_s);
        QCOMPARE(excel.fileName, u"vntdatab.xlsx"_s);
        QCOMPARE(excel.providerString.size(), 20);
        QCOMPARE(NamesForType(999, {}, {}).fileName, u"vntdatab.db"_s);
    }

    void jobStatements_data()
    {
        QTest::addColumn<int>("criterion");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("statement");
        const QString order = u" ORDER BY [Job number] ASC "_s;
        const QString p = u"SELECT * FROM Job WHERE Job"_s;
        QTest::newRow("all") << 0 << u""_s << u"SELECT * FROM Job  ORDER BY [Job number] ASC "_s;
        QTest::newRow("number") << 1 << u"12"_s << p + u".[Job number] = 12"_s + order;
        QTest::newRow("number as typed")
            << 1 << u"12abc"_s << p + u".[Job number] = 12abc"_s + order;
        QTest::newRow("number with words")
            << 1 << u"12 OR 1=1"_s << p + u".[Job number] = '12 OR 1=1'"_s + order;
        QTest::newRow("problem") << 2 << u"abc"_s << p + u".[Problem] LIKE '%abc%'"_s + order;
        QTest::newRow("quotes doubled")
            << 4 << u"O'Brien"_s << p + u".[Customer name] LIKE '%O''Brien%'"_s + order;
        QTest::newRow("injection stays text")
            << 8 << u"x%' OR '1'='1"_s << p + u".[Notes] LIKE '%x%'' OR ''1''=''1%'"_s + order;
        QTest::newRow("product") << 12 << u"[Job$]"_s
                                 << p + u".[Product] LIKE '%[Job$]%'"_s + order;
    }
    void jobStatements()
    {
        QFETCH(int, criterion);
        QFETCH(QString, text);
        QFETCH(QString, statement);
        JobSearchInput in;
        in.criterion = criterion;
        in.text = text;
        QCOMPARE(BuildJobSearch(sortedNames(AccessDatabase), kJobNames, in).text, statement);
    }

    void datesValuesAndCustomers()
    {
        const DatabaseNames names = sortedNames(AccessDatabase);
        const QString order = u" ORDER BY [Job number] ASC "_s;
        JobSearchInput in;
        in.fromDay = 45000;
        in.toDay = 45000;
        in.criterion = 13;
        QCOMPARE(BuildJobSearch(names, kJobNames, in).text,
                 u"SELECT * FROM Job WHERE Job.[Start date] >=  45000.000000 AND "
                 "Job.[Start date] <= 45001.000000"_s +
                     order);
        in.criterion = 14;
        QCOMPARE(BuildJobSearch(names, kJobNames, in).text,
                 u"SELECT * FROM Job WHERE Job.[Status] = 4 AND Job.[End date] >=  45000.000000 "
                 "AND Job.[End date] <= 45001.000000"_s +
                     order);
        in.criterion = 6;
        in.day = 45000;
        QCOMPARE(
            BuildJobSearch(names, kJobNames, in).text,
            u"SELECT * FROM Job WHERE Job.[Start date] BETWEEN 45000.000000 AND 45001.000000"_s);
        in.criterion = 17;
        in.name = u"Ann"_s;
        QCOMPARE(
            BuildJobSearch(names, kJobNames, in).text,
            u"SELECT * FROM Job WHERE Job.[Status] = 1 AND Job.[Customer name] LIKE '%Ann%'"_s +
                order);
        in.criterion = 24;
        in.address = u"a@b.c"_s;
        in.value = 3;
        QCOMPARE(BuildJobSearch(names, kJobNames, in).text,
                 u"SELECT * FROM Job WHERE Job.[Priority] = 3 AND Job.[Customer email] LIKE "
                 "'%a@b.c%'"_s +
                     order);
        in.value = 7;
        QVERIFY(!BuildJobSearch(names, kJobNames, in).isValid());
        QCOMPARE(BuildJobSearch(names, kJobNames, in).messageId, 0);
        in.criterion = 10;
        in.value = 4;
        QCOMPARE(BuildJobSearch(names, kJobNames, in).text,
                 u"SELECT * FROM Job WHERE Job.[Status] = 4"_s + order);
        in.criterion = 16;
        QCOMPARE(BuildJobSearch(sortedNames(ExcelWorkbook), kJobNames, in).text,
                 u"SELECT * FROM [Job$] WHERE [Job$].[Customer name] LIKE '%Ann%' AND "
                 "[Job$].[Status] = 1 AND [Job$].[Start date] >=  45000.000000 AND "
                 "[Job$].[Start date] <= 45001.000000 ORDER BY [Job number] ASC "_s);
    }

    void refusals_data()
    {
        QTest::addColumn<int>("criterion");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("message");
        QTest::newRow("no number") << 1 << u""_s << 20210;
        QTest::newRow("number below one") << 1 << u"0x"_s << 20211;
        QTest::newRow("negative") << 1 << u" -3"_s << 20211;
        QTest::newRow("no text") << 2 << u""_s << 20212;
        QTest::newRow("253 is fine") << 3 << QString(253, u'a') << 0;
        QTest::newRow("254 too many") << 3 << QString(254, u'a') << 20213;
        QTest::newRow("no name") << 4 << u""_s << 20214;
        QTest::newRow("no address") << 5 << u""_s << 20215;
        QTest::newRow("no notes") << 8 << u""_s << 20216;
        QTest::newRow("no category") << 11 << u""_s << 20217;
        QTest::newRow("no sender name") << 18 << u""_s << 20214;
        QTest::newRow("no sender address") << 20 << u""_s << 20215;
        QTest::newRow("no customer address") << 23 << u""_s << 20214;
    }
    void refusals()
    {
        QFETCH(int, criterion);
        QFETCH(QString, text);
        QFETCH(int, message);
        JobSearchInput in;
        in.criterion = criterion;
        in.text = in.name = in.address = text;
        const SearchStatement statement =
            BuildJobSearch(sortedNames(AccessDatabase), kJobNames, in);
        QCOMPARE(statement.messageId, message);
        QCOMPARE(statement.isValid(), message == 0);
        in.criterion = 13;
        in.datesValid = false;
        QCOMPARE(BuildJobSearch(sortedNames(AccessDatabase), kJobNames, in).messageId, 20061);
    }

    void knowledgeStatements()
    {
        const DatabaseNames names = sortedNames(AccessDatabase);
        QCOMPARE(
            BuildKnowledgeSearch(names, kKnowledgeNames, 3, u"abc"_s).text,
            u"SELECT * FROM Knowledge WHERE Knowledge.[Type] LIKE'%abc%' ORDER BY [Reference] ASC "_s);
        const QString anyNote =
            u"SELECT * FROM Knowledge WHERE Knowledge.[Fact or Problem] LIKE'%abc%' OR  "
            "Knowledge.[Note 1] LIKE'%abc%' OR  Knowledge.[Note 2] LIKE'%abc%' OR  "
            "Knowledge.[Note 3] LIKE'%abc%' ORDER BY [Reference] ASC "_s;
        QCOMPARE(BuildKnowledgeSearch(names, kKnowledgeNames, 1, u"abc"_s).text, anyNote);
        QCOMPARE(BuildKnowledgeSearch(names, kKnowledgeNames, kSimilarToNotes, u"abc"_s).text,
                 anyNote);
        QCOMPARE(
            BuildKnowledgeSearch(names, kKnowledgeNames, 2, u"7"_s).text,
            u"SELECT * FROM Knowledge WHERE Knowledge.[Reference] = 7 ORDER BY [Reference] ASC "_s);
        QCOMPARE(
            BuildKnowledgeSearch(sortedNames(ExcelWorkbook), kKnowledgeNames, 5, u"it's"_s).text,
            u"SELECT * FROM [Knowledge$] WHERE [Knowledge$].[Note 1] LIKE'%it''s%' "
            "ORDER BY [Reference] ASC "_s);
        QCOMPARE(BuildKnowledgeSearch(names, kKnowledgeNames, 3, QString(49, u'a')).messageId, 0);
        QCOMPARE(BuildKnowledgeSearch(names, kKnowledgeNames, 3, QString(50, u'a')).messageId,
                 20213);
        QCOMPARE(BuildKnowledgeSearch(names, kKnowledgeNames, 9, u""_s).messageId, 20220);
        QCOMPARE(BuildKnowledgeSearch(names, kKnowledgeNames, 2, u"0"_s).messageId, 20211);
    }
};

QTEST_GUILESS_MAIN(SearchStatementsTest)
#include "tst_searchstatements.moc"
