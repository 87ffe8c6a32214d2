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
    const char16_t* problem;
    const char16_t* solution;
    const char16_t* name;
    const char16_t* email;
    double start;
    double end;
    const char16_t* notes;
    qint32 priority;
    qint32 status;
    const char16_t* category;
    const char16_t* product;
};

const Job kJobs[] = {
    {12, u"Printer jams on abc paper", u"Clean the ABC roller", u"Alice Archer",
     u"alice@abc.example", 45000.25, 45002.5, u"call back abc", 1, 1, u"Hardware abc",
     u"LaserJet abc"},
    {7, u"Mail stuck", u"Restart", u"Bob Stone", u"bob@example.com", 45001.5, 45003.0, u"none", 2,
     4, u"Software", u"Mailer"},
    {20, u"ABC login fails", u"Reset password", u"Alice Archer", u"alice@abc.example", 45005.75,
     45006.0, u"", 4, 1, u"Accounts", u"Portal"},
};

struct Fact
{
    qint32 reference;
    const char16_t* type;
    const char16_t* texts[4]; // the fact and its three notes
};

const Fact kFacts[] = {
    {3, u"Howto", {u"Printer abc fix", u"n1", u"n2", u"n3"}},
    {1, u"Fact", {u"Mail", u"abc in note 1", u"", u""}},
    {2, u"Howto", {u"Login", u"x", u"y", u"ABC note 3"}},
    {4, u"Misc", {u"Nothing", u"", u"see abc", u""}},
    {5, u"Misc", {u"Other", u"", u"", u""}},
};

void fill(TestDatabase& db)
{
    const auto text = [](const char16_t* value) {
        return QString::fromUtf16(value);
    };
    QCOMPARE(db.session().startTransaction(), S_OK);
    Jobs jobs(db.jobs());
    for (const Job& row : kJobs) {
        JobRecord& job = jobs.record;
        job.set(row.number, text(row.problem), text(row.name), row.start, row.priority, row.status);
        job.slots[2].text = text(row.solution);
        job.slots[4].text = text(row.email);
        job.slots[6].date = row.end;
        job.slots[7].text = text(row.notes);
        job.slots[10].text = text(row.category);
        job.slots[11].text = text(row.product);
        QCOMPARE(jobs.insert(), S_OK);
    }
    Facts facts(db.facts());
    for (const Fact& row : kFacts) {
        facts.record.set(row.reference, text(row.type), text(row.texts[0]), text(row.texts[1]));
        facts.record.slots[4].text = text(row.texts[2]);
        facts.record.slots[5].text = text(row.texts[3]);
        QCOMPARE(facts.insert(), S_OK);
    }
    QCOMPARE(db.session().commit(), S_OK);
}

QString jobStatement(Kind kind, QString form)
{
    const bool excel = kind == Kind::Workbook;
    form.replace(u"$base"_s, excel ? u"SELECT * FROM [Job$] "_s : u"SELECT * FROM Job "_s);
    form.replace(u"$P"_s,
                 excel ? u"SELECT * FROM [Job$] WHERE [Job$]"_s : u"SELECT * FROM Job WHERE Job"_s);
    form.replace(u"$A"_s, excel ? u" AND [Job$]"_s : u" AND Job"_s);
    return form.replace(u"$O"_s, u" ORDER BY [Job number] ASC "_s);
}

QString knowledgeStatement(Kind kind, QString form)
{
    form.replace(u"$base"_s, kind == Kind::Workbook ? u"SELECT * FROM [Knowledge$] "_s
                                                    : u"SELECT * FROM Knowledge "_s);
    form.replace(u"$P"_s, u"SELECT * FROM Knowledge WHERE Knowledge"_s);
    return form.replace(u"$O"_s, u" ORDER BY [Reference] ASC "_s);
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
                QTest::addRow("%s %s", kindName(kind), name)
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
        const QString anyNote = u"$P.[Fact or Problem] LIKE'%abc%' OR  Knowledge.[Note 1] "
                                "LIKE'%abc%' OR  Knowledge.[Note 2] LIKE'%abc%' OR  "
                                "Knowledge.[Note 3] LIKE'%abc%'$O"_s;
        const QList<std::tuple<const char*, QString, QList<qint32>>> forms = {
            {"table", u"SELECT * FROM Knowledge"_s, {3, 1, 2, 4, 5}},
            {"0 all", u"$base ORDER BY [Reference] ASC "_s, {1, 2, 3, 4, 5}},
            {"0 all, descending", u"$base ORDER BY [Reference] DESC"_s, {5, 4, 3, 2, 1}},
            {"1 all notes", anyNote, {1, 2, 3, 4}},
            {"2 reference", u"$P.[Reference] = 3$O"_s, {3}},
            {"3 type", u"$P.[Type] LIKE'%how%'$O"_s, {2, 3}},
            {"4 fact", u"$P.[Fact or Problem] LIKE'%abc%'$O"_s, {3}},
            {"5 note 1", u"$P.[Note 1] LIKE'%abc%'$O"_s, {1}},
            {"6 note 2", u"$P.[Note 2] LIKE'%abc%'$O"_s, {4}},
            {"7 note 3", u"$P.[Note 3] LIKE'%abc%'$O"_s, {2}},
        };
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            for (const auto& [name, form, references] : forms)
                QTest::addRow("%s %s", kindName(kind), name)
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
    void searchResultsTakeChanges_data() { addKindRows(); }
    void searchResultsTakeChanges()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fill(db);
        {
            Facts found(db.execute(knowledgeStatement(kind, u"$P.[Type] LIKE'%how%'$O"_s)));
            QCOMPARE(found.rowset->moveFirst(), S_OK);
            QCOMPARE(found.read(), S_OK);
            found.record.slots[3].text = u"edited in a search"_s;
            QCOMPARE(found.write(), S_OK);
            found.record.set(9, u"Blank"_s, u" "_s, u" "_s);
            QCOMPARE(found.insert(), S_OK);
        }
        QCOMPARE(db.open(), S_OK);
        auto all = db.execute(knowledgeStatement(kind, u"$base ORDER BY [Reference] ASC "_s));
        QCOMPARE(::references(*all), (QList<qint32>{1, 2, 3, 4, 5, 9}));
        auto edited = db.execute(knowledgeStatement(kind, u"$P.[Note 1] LIKE'%edited%'$O"_s));
        QCOMPARE(::references(*edited), QList<qint32>{2});
    }

    // LIKE: '%' any run, '_' one character, case ignored for all letters as the desktop
    // engines do, not only for A to Z.
    void likeMatches_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("matched");
        const auto row = [](const char* tag, const QString& condition, const QString& value,
                            bool matched) {
            QTest::newRow(tag) << condition << value << matched;
        };
        row("ASCII case", u"LIKE '%abc%'"_s, u"xxABCyy"_s, true);
        row("accented case", u"LIKE '%\u00c4RGER%'"_s, u"Viel \u00e4rger hier"_s, true);
        row("Greek case", u"LIKE '%\u03a3\u039f\u03a6%'"_s, u"\u03c3\u03bf\u03c6\u03af\u03b1"_s,
            true);
        row("accent is not ignored", u"LIKE '%cafe%'"_s, u"caf\u00e9"_s, false);
        row("underscore takes one character", u"LIKE 'a_c'"_s, u"a\u00dfc"_s, true);
        row("underscore needs one", u"LIKE 'a_c'"_s, u"ac"_s, false);
        row("underscore after non-ASCII text", u"LIKE '\u00fc_'"_s, u"\u00dcx"_s, true);
        row("whole value", u"LIKE 'abc'"_s, u"abcd"_s, false);
        row("percent matches nothing", u"LIKE '%'"_s, u""_s, true);
        row("two runs, backtracking", u"LIKE '%a%b%'"_s, u"xaxxbx"_s, true);
        row("runs in the wrong order", u"LIKE '%b%a'"_s, u"ab"_s, false);
        row("escaped percent", u"LIKE '10\\%%' ESCAPE '\\'"_s, u"10% off"_s, true);
        row("escaped percent is literal", u"LIKE '10\\%%' ESCAPE '\\'"_s, u"100 off"_s, false);
        row("no blank before the quote", u"LIKE'%gin%'"_s, u"Login"_s, true);
        row("null never matches", u"LIKE '%'"_s, QString(), false);
        row("not like", u"NOT LIKE '%abc%'"_s, u"xyz"_s, true);
    }
    void likeMatches()
    {
        QFETCH(QString, condition);
        QFETCH(QString, value);
        QFETCH(bool, matched);
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.facts();
        DBSTATUS status = value.isNull() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({Binding::text(4, 255, &value, &status)}, &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        auto found =
            db.execute(u"SELECT * FROM Knowledge WHERE Knowledge.[Fact or Problem] "_s + condition);
        QVERIFY2(found, qPrintable(describe(db.lastCommand())));
        QCOMPARE(found->rowCount(), matched ? 1 : 0);
    }

    // A sort on one column puts nulls first and orders by type (numbers before texts),
    // whether the keys are sorted here or by the database.
    void sortOrders_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("clause");
        QTest::addColumn<bool>("withText");
        QTest::addColumn<QStringList>("numbers");
        const QStringList ascending = {"-", "10", "20", "30"};
        const QStringList descending = {"30", "20", "10", "-"};
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const auto row = [kind](const char* tag, const char* clause, bool withText,
                                    const QStringList& numbers) {
                QTest::addRow("%s %s", kindName(kind), tag)
                    << kind << QString::fromUtf8(clause) << withText << numbers;
            };
            row("ascending", " ORDER BY [Job number] ASC ", false, ascending);
            row("descending", " ORDER BY [Job number] DESC", false, descending);
            row("a text among numbers", " ORDER BY [Job number]", true,
                ascending + QStringList{"x"});
            row("a text, descending", " ORDER BY [Job number] desc", true,
                QStringList{"x"} + descending);
            row("filtered", " WHERE [Job number] > 10 ORDER BY [Job number]", false, {"20", "30"});
            row("by position", " ORDER BY 2 DESC", false, descending);
            row("by an expression", " ORDER BY [Job number] + 0", false, ascending);
            row("two terms", " ORDER BY [Status], [Job number]", false, ascending);
            row("nulls last", " ORDER BY [Job number] NULLS LAST", false, {"10", "20", "30", "-"});
        }
    }
    void sortOrders()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, clause);
        QFETCH(bool, withText);
        QFETCH(QStringList, numbers);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        QString number;
        DBSTATUS status = DBSTATUS_S_OK;
        const QList<Binding> bindings = {Binding::text(2, 20, &number, &status)};
        QStringList values = {u"30"_s, QString(), u"10"_s, u"20"_s};
        if (withText)
            values.insert(2, u"x"_s);
        {
            // The rows of a whole table are listed when first needed: before the new ones.
            auto table = db.jobs();
            Accessor accessor;
            QCOMPARE(table->createAccessor(bindings, &accessor), S_OK);
            for (const QString& value : values) {
                number = value;
                status = value.isNull() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
                QCOMPARE(table->insertRow(accessor), S_OK);
            }
            QCOMPARE(table->rowCount(), values.size());
        }
        auto sorted = db.execute(u"SELECT * FROM "_s + db.jobTable() + clause);
        QVERIFY2(sorted, qPrintable(describe(db.lastCommand())));
        Accessor accessor;
        QCOMPARE(sorted->createAccessor(bindings, &accessor), S_OK);
        QStringList read;
        for (HRESULT hr = sorted->moveFirst(); hr == S_OK; hr = sorted->moveNext()) {
            QCOMPARE(sorted->getData(accessor), S_OK);
            read.append(status == DBSTATUS_S_ISNULL ? u"-"_s : number);
        }
        QCOMPARE(read, numbers);
    }

    // Numbers and dates match LIKE through their text; an escape of two characters is
    // refused and named.
    void likeOnNumbersAndItsEscape()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{123, u"p"_s, u"Ann"_s, 45000.5, 0, 0}});
        QCOMPARE(db.execute(u"SELECT * FROM Job WHERE Job.[Job number] LIKE '%23'"_s)->rowCount(),
                 1);
        QCOMPARE(
            db.execute(u"SELECT * FROM Job WHERE Job.[Start date] LIKE '45000.5'"_s)->rowCount(),
            1);
        HRESULT hr = S_OK;
        QVERIFY(!db.execute(u"SELECT * FROM Job WHERE Problem LIKE 'p' ESCAPE 'ab'"_s, &hr));
        QVERIFY(failed(hr));
        QVERIFY(describe(db.lastCommand()).contains(QLatin1String("ESCAPE")));
    }
};

QTEST_GUILESS_MAIN(TestOleDbStatements)
#include "tst_oledbstatements.moc"
