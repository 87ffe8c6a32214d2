#include "OleDbTestUtil.h"

using namespace oledbtest;

// Every statement form the search criteria build runs, unchanged, on both kinds of file.
// The forms are written with the fragments they are built from: $P the search prefix, $A
// the AND fragment, $O the sort clause; the Knowledge searches use the same text for
// both kinds of file.

namespace {

struct Job
{
    qint32 number;
    const char* problem;
    const char* solution;
    const char* name;
    const char* email;
    double start;
    double end;
    const char* notes;
    qint32 priority;
    qint32 status;
    const char* category;
    const char* product;
};

const Job kJobs[] = {
    {12, "Printer jams on abc paper", "Clean the ABC roller", "Alice Archer", "alice@abc.example",
     45000.25, 45002.5, "call back abc", 1, 1, "Hardware abc", "LaserJet abc"},
    {7, "Mail stuck", "Restart", "Bob Stone", "bob@example.com", 45001.5, 45003.0, "none", 2, 4,
     "Software", "Mailer"},
    {20, "ABC login fails", "Reset password", "Alice Archer", "alice@abc.example", 45005.75,
     45006.0, "", 4, 1, "Accounts", "Portal"},
};

struct Fact
{
    qint32 reference;
    const char* type;
    const char* fact;
    const char* note1;
    const char* note2;
    const char* note3;
};

const Fact kFacts[] = {
    {3, "Howto", "Printer abc fix", "n1", "n2", "n3"},
    {1, "Fact", "Mail", "abc in note 1", "", ""},
    {2, "Howto", "Login", "x", "y", "ABC note 3"},
    {4, "Misc", "Nothing", "", "see abc", ""},
    {5, "Misc", "Other", "", "", ""},
};

void fill(TestDatabase& db)
{
    QCOMPARE(db.session().startTransaction(), S_OK);
    auto jobs = db.execute(QStringLiteral("SELECT * FROM ") + db.jobTable());
    JobRecord job;
    Accessor accessor;
    QCOMPARE(jobs->createAccessor(job.bindings(), &accessor), S_OK);
    for (const Job& row : kJobs) {
        job.set(row.number, QString::fromUtf8(row.problem), QString::fromUtf8(row.name), row.start,
                row.priority, row.status);
        job.slots[2].text = QString::fromUtf8(row.solution);
        job.slots[4].text = QString::fromUtf8(row.email);
        job.slots[6].date = row.end;
        job.slots[7].text = QString::fromUtf8(row.notes);
        job.slots[10].text = QString::fromUtf8(row.category);
        job.slots[11].text = QString::fromUtf8(row.product);
        QCOMPARE(jobs->insertRow(accessor), S_OK);
    }
    auto facts = db.execute(QStringLiteral("SELECT * FROM Knowledge"));
    KnowledgeRecord fact;
    QCOMPARE(facts->createAccessor(fact.bindings(), &accessor), S_OK);
    for (const Fact& row : kFacts) {
        fact.set(row.reference, QString::fromUtf8(row.type), QString::fromUtf8(row.fact),
                 QString::fromUtf8(row.note1));
        fact.slots[4].text = QString::fromUtf8(row.note2);
        fact.slots[5].text = QString::fromUtf8(row.note3);
        QCOMPARE(facts->insertRow(accessor), S_OK);
    }
    QCOMPARE(db.session().commit(), S_OK);
}

QString jobStatement(Kind kind, QString form)
{
    const bool excel = kind == Kind::Workbook;
    form.replace(QLatin1String("$base"), excel ? QLatin1String("SELECT * FROM [Job$] ")
                                               : QLatin1String("SELECT * FROM Job "));
    form.replace(QLatin1String("$P"), excel ? QLatin1String("SELECT * FROM [Job$] WHERE [Job$]")
                                            : QLatin1String("SELECT * FROM Job WHERE Job"));
    form.replace(QLatin1String("$A"),
                 excel ? QLatin1String(" AND [Job$]") : QLatin1String(" AND Job"));
    form.replace(QLatin1String("$O"), QLatin1String(" ORDER BY [Job number] ASC "));
    return form;
}

QString knowledgeStatement(Kind kind, QString form)
{
    form.replace(QLatin1String("$base"), kind == Kind::Workbook
                                             ? QLatin1String("SELECT * FROM [Knowledge$] ")
                                             : QLatin1String("SELECT * FROM Knowledge "));
    form.replace(QLatin1String("$P"), QLatin1String("SELECT * FROM Knowledge WHERE Knowledge"));
    form.replace(QLatin1String("$O"), QLatin1String(" ORDER BY [Reference] ASC "));
    return form;
}

QList<qint32> references(Rowset& rowset)
{
    KnowledgeRecord record;
    Accessor accessor;
    rowset.createAccessor(record.bindings(), &accessor);
    QList<qint32> list;
    for (HRESULT hr = rowset.moveFirst(); hr == S_OK; hr = rowset.moveNext()) {
        rowset.getData(accessor);
        list.append(record.slots[0].integer);
    }
    return list;
}

} // namespace

class TestOleDbStatements : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobForms_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QList<qint32>>("jobs");
        const QList<std::tuple<const char*, const char*, QList<qint32>>> forms = {
            {"0 all, ascending", "$base ORDER BY [Job number] ASC ", {7, 12, 20}},
            {"0 all, descending", "$base ORDER BY [Job number] DESC", {20, 12, 7}},
            {"0 all, sorted on a text column", "$base ORDER BY [Problem] ASC ", {20, 7, 12}},
            {"1 job number", "$P.[Job number] = 12$O", {12}},
            {"2 problem", "$P.[Problem] LIKE '%abc%'$O", {12, 20}},
            {"3 solution", "$P.[Solution] LIKE '%abc%'$O", {12}},
            {"4 customer name", "$P.[Customer name] LIKE '%arch%'$O", {12, 20}},
            {"5 customer email", "$P.[Customer email] LIKE '%abc%'$O", {12, 20}},
            {"6 start date", "$P.[Start date] BETWEEN 45000.000000 AND 45001.000000", {12}},
            {"7 end date, whole day", "$P.[End date] BETWEEN 45003.000000 AND 45004.000000", {7}},
            {"8 notes", "$P.[Notes] LIKE '%abc%'$O", {12}},
            {"9 priority", "$P.[Priority] = 2$O", {7}},
            {"10 status", "$P.[Status] = 4$O", {7}},
            {"11 category", "$P.[Category] LIKE '%abc%'$O", {12}},
            {"12 product", "$P.[Product] LIKE '%abc%'$O", {12}},
            {"13 started within range",
             "$P.[Start date] >=  45000.000000$A.[Start date] <= 45002.000000$O",
             {7, 12}},
            {"14 completed within range",
             "$P.[Status] = 4$A.[End date] >=  45003.000000$A.[End date] <= 45004.000000$O",
             {7}},
            {"15 outstanding within range",
             "$P.[Status] = 1$A.[Start date] >=  45005.000000$A.[Start date] <= 45006.000000$O",
             {20}},
            {"16 outstanding name within range",
             "$P.[Customer name] LIKE '%Alice%'$A.[Status] = 1$A.[Start date] >=  "
             "45000.000000$A.[Start date] <= 45006.000000$O",
             {12, 20}},
            {"17 outstanding on name",
             "$P.[Status] = 1$A.[Customer name] LIKE '%Alice%'$O",
             {12, 20}},
            {"18 completed on name", "$P.[Status] = 4$A.[Customer name] LIKE '%bob%'$O", {7}},
            {"19 outstanding on address",
             "$P.[Status] = 1$A.[Customer email] LIKE '%abc.example%'$O",
             {12, 20}},
            {"20 completed on address",
             "$P.[Status] = 4$A.[Customer email] LIKE '%example.com%'$O",
             {7}},
            {"21 status on name", "$P.[Status] = 1$A.[Customer name] LIKE '%alice%'$O", {12, 20}},
            {"22 priority on name", "$P.[Priority] = 4$A.[Customer name] LIKE '%Alice%'$O", {20}},
            {"23 status on address", "$P.[Status] = 4$A.[Customer email] LIKE '%bob%'$O", {7}},
            {"24 priority on address",
             "$P.[Priority] = 1$A.[Customer email] LIKE '%alice%'$O",
             {12}},
            {"nothing found", "$P.[Problem] LIKE '%zzz%'$O", {}},
        };
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            for (const auto& [name, form, jobs] : forms)
                QTest::addRow("%s %s", kind == Kind::Sqlite ? "access" : "excel", name)
                    << kind << jobStatement(kind, QString::fromUtf8(form)) << jobs;
        }
    }
    void jobForms()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, form);
        QFETCH(QList<qint32>, jobs);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fill(db);
        HRESULT hr = E_FAIL;
        auto rowset = db.execute(form, &hr);
        QVERIFY2(rowset, qPrintable(describe(db.lastCommand())));
        QCOMPARE(hr, S_OK);
        QVERIFY(rowset->canChange());
        QCOMPARE(jobNumbers(*rowset), jobs);
    }

    void knowledgeForms_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QList<qint32>>("references");
        const QString anyNote = QStringLiteral(
            "$P.[Fact or Problem] LIKE'%abc%' OR  Knowledge.[Note 1] LIKE'%abc%' OR  "
            "Knowledge.[Note 2] LIKE'%abc%' OR  Knowledge.[Note 3] LIKE'%abc%'$O");
        const QList<std::tuple<const char*, QString, QList<qint32>>> forms = {
            {"table", QStringLiteral("SELECT * FROM Knowledge"), {3, 1, 2, 4, 5}},
            {"0 all", QStringLiteral("$base ORDER BY [Reference] ASC "), {1, 2, 3, 4, 5}},
            {"0 all, descending",
             QStringLiteral("$base ORDER BY [Reference] DESC"),
             {5, 4, 3, 2, 1}},
            {"1 all notes", anyNote, {1, 2, 3, 4}},
            {"2 reference", QStringLiteral("$P.[Reference] = 3$O"), {3}},
            {"3 type", QStringLiteral("$P.[Type] LIKE'%how%'$O"), {2, 3}},
            {"4 fact", QStringLiteral("$P.[Fact or Problem] LIKE'%abc%'$O"), {3}},
            {"5 note 1", QStringLiteral("$P.[Note 1] LIKE'%abc%'$O"), {1}},
            {"6 note 2", QStringLiteral("$P.[Note 2] LIKE'%abc%'$O"), {4}},
            {"7 note 3", QStringLiteral("$P.[Note 3] LIKE'%abc%'$O"), {2}},
        };
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            for (const auto& [name, form, references] : forms)
                QTest::addRow("%s %s", kind == Kind::Sqlite ? "access" : "excel", name)
                    << kind << knowledgeStatement(kind, form) << references;
        }
    }
    void knowledgeForms()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, form);
        QFETCH(QList<qint32>, references);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fill(db);
        auto rowset = db.execute(form);
        QVERIFY2(rowset, qPrintable(describe(db.lastCommand())));
        QVERIFY(rowset->canChange());
        QCOMPARE(::references(*rowset), references);
    }

    // A search result takes changes: the Knowledge searches go through the name that
    // the workbook gives its sheet besides "Knowledge$".
    void searchResultsTakeChanges_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("access") << Kind::Sqlite;
        QTest::newRow("excel") << Kind::Workbook;
    }
    void searchResultsTakeChanges()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fill(db);
        auto rowset =
            db.execute(knowledgeStatement(kind, QStringLiteral("$P.[Type] LIKE'%how%'$O")));
        KnowledgeRecord record;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        record.slots[3].text = QStringLiteral("edited in a search");
        QCOMPARE(rowset->setData(accessor), S_OK);
        record.set(9, QStringLiteral("Blank"), QStringLiteral(" "), QStringLiteral(" "));
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(db.open(), S_OK);
        auto all =
            db.execute(knowledgeStatement(kind, QStringLiteral("$base ORDER BY [Reference] ASC ")));
        QCOMPARE(::references(*all), (QList<qint32>{1, 2, 3, 4, 5, 9}));
        auto edited =
            db.execute(knowledgeStatement(kind, QStringLiteral("$P.[Note 1] LIKE'%edited%'$O")));
        QCOMPARE(::references(*edited), QList<qint32>{2});
    }
};

QTEST_GUILESS_MAIN(TestOleDbStatements)
#include "tst_oledbstatements.moc"
