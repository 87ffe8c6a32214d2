#include "OleDbTestUtil.h"

using namespace oledbtest;

namespace {

const QString kSorted = u"SELECT * FROM %1  ORDER BY [Job number] ASC "_s;

// Jobs 10, 20 and 30, stored out of order.
void fillThree(TestDatabase& db)
{
    db.insertJobs({{30, u"third"_s, u"Carol"_s, 45003, 1, 1},
                   {10, u"first"_s, u"Alice"_s, 45001, 2, 4},
                   {20, u"second"_s, u"Bob"_s, 45002, 3, 1}});
}

} // namespace

class TestOleDbRowset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void columnInformation_data() { addKindRows(); }
    void columnInformation()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(kSorted.arg(db.jobTable()));
        QVERIFY(rowset);
        QList<DBCOLUMNINFO> columns;
        QCOMPARE(rowset->getColumnInfo(&columns), S_OK);
        QCOMPARE(columns.size(), 14);
        QCOMPARE(columns[0].ordinal, 0u);
        QVERIFY(columns[0].flags & DBCOLUMNFLAGS_ISBOOKMARK);
        QStringList names;
        for (int i = 1; i < columns.size(); ++i) {
            QCOMPARE(columns[i].ordinal, DBORDINAL(i));
            QVERIFY(!(columns[i].flags & DBCOLUMNFLAGS_ISBOOKMARK));
            names.append(columns[i].name);
        }
        QCOMPARE(names.mid(1), (QStringList{"Job number", "Problem", "Solution", "Customer name",
                                            "Customer email", "Start date", "End date", "Notes",
                                            "Priority", "Status", "Category", "Product"}));
        QVERIFY(columns[1].flags & DBCOLUMNFLAGS_ISROWID);
        QVERIFY(columns[3].flags & DBCOLUMNFLAGS_WRITE);
    }

    void moves_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const auto row = [kind](const char* tag, const char* steps, const char* expected) {
                QTest::addRow("%s %s", kindName(kind), tag)
                    << kind << QString::fromLatin1(steps) << QString::fromLatin1(expected);
            };
            row("forward past the end", "first next next next next", "10 20 30 end end");
            row("back past the start", "last prev prev prev prev", "30 20 10 end end");
            row("back from past the end", "last next prev", "30 end 30");
            row("on from before the start", "first prev next", "10 end 10");
            row("restart then next", "last restart next", "30 none 10");
        }
    }
    void moves()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        Jobs jobs(db.execute(kSorted.arg(db.jobTable())));
        Rowset& rowset = *jobs.rowset;
        QStringList seen;
        for (const QString& step : steps.split(u' ')) {
            HRESULT hr = step == u"first"  ? rowset.moveFirst()
                         : step == u"next" ? rowset.moveNext()
                         : step == u"prev" ? rowset.movePrev()
                         : step == u"last" ? rowset.moveLast()
                                           : rowset.restartPosition();
            if (step == u"restart") {
                QCOMPARE(hr, S_OK);
                seen.append(jobs.read() == DB_E_BADROWHANDLE ? u"none"_s : u"row"_s);
            } else if (hr == DB_S_ENDOFROWSET) {
                seen.append(u"end"_s);
            } else {
                QCOMPARE(hr, S_OK);
                QCOMPARE(jobs.read(), S_OK);
                seen.append(QString::number(jobs.record.jobNumber()));
            }
        }
        QCOMPARE(seen.join(u' '), expected);
    }

    void previousNeedsFetchingBackwards()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        std::unique_ptr<Command> command;
        QCOMPARE(db.session().createCommand(&command), S_OK);
        command->setCommandText(u"SELECT * FROM Job"_s);
        std::unique_ptr<Rowset> rowset;
        QCOMPARE(command->execute(&rowset), S_OK);
        QCOMPARE(rowset->moveLast(), S_OK);
        QCOMPARE(rowset->movePrev(), DB_E_CANTFETCHBACKWARDS);
        QCOMPARE(rowset->moveFirst(), S_OK);
    }

    // Values come back from the file as stored; texts are cut to the bound length.
    void readsValues_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<DBSTATUS>("status");
        QTest::addColumn<QString>("read");
        const QString longText(300, u'x');
        const QString unicode = u"Caf\u00e9 \u2603 \U0001F600 \u00fc"_s;
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const auto row = [kind](const char* tag, const QString& problem, DBSTATUS status,
                                    const QString& read) {
                QTest::addRow("%s %s", kindName(kind), tag) << kind << problem << status << read;
            };
            row("null", QString(), DBSTATUS_S_ISNULL, QString());
            row("empty text", u""_s, DBSTATUS_S_OK, u""_s);
            row("unicode", unicode, DBSTATUS_S_OK, unicode);
            row("cut to 254 characters", longText, DBSTATUS_S_TRUNCATED, longText.left(254));
            row("line ends kept", u"one\r\ntwo\r\n"_s, DBSTATUS_S_OK, u"one\r\ntwo\r\n"_s);
            // Texts a workbook must escape, or keep from its own trimming and escapes.
            row("markup characters", u"a < b && c > \"d\""_s, DBSTATUS_S_OK,
                u"a < b && c > \"d\""_s);
            row("blanks at the ends", u"  padded  "_s, DBSTATUS_S_OK, u"  padded  "_s);
            row("control characters", u"tab\there\x01\x1f end"_s, DBSTATUS_S_OK,
                u"tab\there\x01\x1f end"_s);
            row("escape look-alike", u"_x0041_ stays"_s, DBSTATUS_S_OK, u"_x0041_ stays"_s);
        }
        QTest::newRow("surrogate pair not split")
            << Kind::Sqlite << QString(253, u'a') + u"\U0001F600"_s << DBSTATUS_S_TRUNCATED
            << QString(253, u'a');
    }
    void readsValues()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, problem);
        QFETCH(DBSTATUS, status);
        QFETCH(QString, read);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        {
            Jobs jobs(db.jobs());
            jobs.record.set(7, problem, u"Dana"_s, 45123.75, 2, 3);
            jobs.record.slots[1].status = problem.isNull() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
            QCOMPARE(jobs.insert(), S_OK);
        }
        // Read back from the file, not from what this connection holds.
        QCOMPARE(db.open(), S_OK);
        Jobs jobs(db.jobs());
        jobs.record.slots[1].text = u"stale"_s;
        QCOMPARE(jobs.rowset->moveFirst(), S_OK);
        QCOMPARE(jobs.read(), S_OK);
        QCOMPARE(jobs.record.slots[1].status, status);
        QCOMPARE(jobs.record.problem(), read);
        QCOMPARE(jobs.record.slots[5].date, 45123.75);
        QCOMPARE(jobs.record.slots[9].integer, 3);
    }

    // A text read through an integer binding: rounded half to even, or refused.
    void conversions_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<DBSTATUS>("status");
        QTest::addColumn<qint32>("integer");
        QTest::newRow("whole text") << u"42"_s << DBSTATUS_S_OK << 42;
        QTest::newRow("half rounds to even") << u"2.5"_s << DBSTATUS_S_OK << 2;
        QTest::newRow("too large") << u"3000000000"_s << DBSTATUS_E_DATAOVERFLOW << 0;
        QTest::newRow("not a number") << u"abc"_s << DBSTATUS_E_CANTCONVERTVALUE << 0;
    }
    void conversions()
    {
        QFETCH(QString, stored);
        QFETCH(DBSTATUS, status);
        QFETCH(qint32, integer);
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.jobs();
        // Write the text into the Problem column, then read that column as an integer.
        DBSTATUS textStatus = DBSTATUS_S_OK;
        Accessor writer;
        QCOMPARE(rowset->createAccessor({Binding::text(3, 255, &stored, &textStatus)}, &writer),
                 S_OK);
        QCOMPARE(rowset->insertRow(writer), S_OK);
        qint32 value = 0;
        qint32 jobNumber = 0;
        DBSTATUS valueStatus = DBSTATUS_S_OK;
        DBSTATUS otherStatus = DBSTATUS_S_OK;
        Accessor reader;
        QCOMPARE(rowset->createAccessor({Binding::int32(3, &value, &valueStatus),
                                         Binding::int32(2, &jobNumber, &otherStatus)},
                                        &reader),
                 S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->getData(reader), status == DBSTATUS_S_OK ? S_OK : DB_S_ERRORSOCCURRED);
        QCOMPARE(valueStatus, status);
        if (status == DBSTATUS_S_OK)
            QCOMPARE(value, integer);
    }

    void changesReachTheFile_data() { addKindRows(); }
    void changesReachTheFile()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        {
            // Update the second row, delete the first, add one.
            Jobs jobs(db.execute(kSorted.arg(db.jobTable())));
            QCOMPARE(jobs.rowset->moveFirst(), S_OK);
            QCOMPARE(jobs.rowset->moveNext(), S_OK);
            QCOMPARE(jobs.read(), S_OK);
            jobs.record.slots[1].text = u"second, solved"_s;
            QCOMPARE(jobs.write(), S_OK);
            QCOMPARE(jobs.rowset->movePrev(), S_OK);
            QCOMPARE(jobs.rowset->deleteRow(), S_OK);
            QCOMPARE(jobs.rowset->moveNext(), S_OK);
            QCOMPARE(jobs.read(), S_OK);
            QCOMPARE(jobs.record.jobNumber(), 20);
            jobs.record.set(5, u"new"_s, u"Eve"_s, 45010, 0, 0);
            QCOMPARE(jobs.insert(), S_OK);
            QCOMPARE(jobs.rowset->moveLast(), S_OK);
            QCOMPARE(jobs.read(), S_OK);
            QCOMPARE(jobs.record.jobNumber(), 5);
        }
        QCOMPARE(db.open(), S_OK);
        Jobs reopened(db.execute(kSorted.arg(db.jobTable())));
        QCOMPARE(jobNumbers(*reopened.rowset), (QList<qint32>{5, 20, 30}));
        QCOMPARE(reopened.rowset->moveFirst(), S_OK);
        QCOMPARE(reopened.rowset->moveNext(), S_OK);
        QCOMPARE(reopened.read(), S_OK);
        QCOMPARE(reopened.record.problem(), u"second, solved"_s);
    }

    void deletingTheOnlyRow()
    {
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{1, u"only"_s, u"Ann"_s, 45000, 0, 0}});
        Jobs jobs(db.execute(kSorted.arg(db.jobTable())));
        QCOMPARE(jobs.rowset->moveFirst(), S_OK);
        QCOMPARE(jobs.rowset->deleteRow(), S_OK);
        QCOMPARE(jobs.rowset->moveNext(), DB_S_ENDOFROWSET);
        QCOMPARE(jobs.rowset->moveLast(), DB_S_ENDOFROWSET);
        QCOMPARE(jobs.rowset->rowCount(), 0);
        jobs.record.set(0, u" "_s, u" "_s, 45000, 0, 0);
        QCOMPARE(jobs.insert(), S_OK);
        QCOMPARE(jobs.rowset->moveLast(), S_OK);
        QCOMPARE(jobs.rowset->moveFirst(), S_OK);
    }

    // A rowset reads the changes made through another: a changed row anew, a deleted one
    // stepped over.
    void keysetFollowsOtherRowsets()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        Jobs table(db.execute(kSorted.arg(db.jobTable())));
        Jobs search(db.execute(u"SELECT * FROM Job WHERE Job.[Status] = 1"_s));
        QCOMPARE(table.rowset->moveFirst(), S_OK);
        QCOMPARE(table.rowset->moveNext(), S_OK); // job 20
        QCOMPARE(search.rowset->moveFirst(), S_OK);
        QCOMPARE(search.read(), S_OK);
        QCOMPARE(search.record.jobNumber(), 30);
        QCOMPARE(search.rowset->deleteRow(), S_OK);
        QCOMPARE(search.rowset->moveNext(), S_OK);
        QCOMPARE(search.read(), S_OK);
        search.record.slots[1].text = u"changed elsewhere"_s;
        QCOMPARE(search.write(), S_OK);
        QCOMPARE(table.read(), S_OK);
        QCOMPARE(table.record.problem(), u"changed elsewhere"_s);
        QCOMPARE(table.rowset->moveNext(), DB_S_ENDOFROWSET);
        QCOMPARE(table.rowset->moveLast(), S_OK);
        QCOMPARE(table.read(), S_OK);
        QCOMPARE(table.record.jobNumber(), 20);
    }

    // Which changes a rowset takes follows its properties and its columns: without the
    // key or with a computed column it takes none.
    void changeInterfaceRules_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("changeInterface");
        QTest::addColumn<qint32>("updatability");
        QTest::addColumn<HRESULT>("executed");
        QTest::addColumn<QString>("allowed");
        const QString all = u"SELECT * FROM Job"_s;
        const QString everything = u"set insert delete"_s;
        QTest::newRow("no change interface") << all << false << 7 << S_OK << QString();
        QTest::newRow("change only") << all << true << 1 << S_OK << u"set"_s;
        QTest::newRow("insert and delete") << all << true << 6 << S_OK << u"insert delete"_s;
        QTest::newRow("everything") << all << true << 7 << S_OK << everything;
        QTest::newRow("columns without the key") << u"SELECT [Job number], Problem FROM Job"_s
                                                 << true << 7 << DB_S_ERRORSOCCURRED << QString();
        QTest::newRow("computed column") << u"SELECT ID, upper(Problem) FROM Job"_s << true << 7
                                         << DB_S_ERRORSOCCURRED << QString();
        QTest::newRow("key and some columns")
            << u"SELECT ID, Problem FROM Job"_s << true << 7 << S_OK << everything;
    }
    void changeInterfaceRules()
    {
        QFETCH(QString, sql);
        QFETCH(bool, changeInterface);
        QFETCH(qint32, updatability);
        QFETCH(HRESULT, executed);
        QFETCH(QString, allowed);
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        std::unique_ptr<Command> command;
        db.session().createCommand(&command);
        command->setCommandText(sql);
        DBPROPSET properties = {{DBPROP_IRowsetChange, changeInterface},
                                {DBPROP_UPDATABILITY, updatability}};
        QCOMPARE(command->setProperties(&properties), S_OK);
        std::unique_ptr<Rowset> rowset;
        QCOMPARE(command->execute(&rowset), executed);
        QString text = u"x"_s;
        DBSTATUS status = DBSTATUS_S_OK;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({Binding::text(2, 255, &text, &status)}, &accessor), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        const auto expect = [&](const char* change, HRESULT hr) {
            QCOMPARE(hr, allowed.contains(QLatin1String(change)) ? S_OK : DB_E_NOTSUPPORTED);
            if (failed(hr))
                QVERIFY(!describe(*rowset).isEmpty());
        };
        expect("set", rowset->setData(accessor));
        expect("insert", rowset->insertRow(accessor));
        expect("delete", rowset->deleteRow());
    }

    void keyIsWrittenOnlyByInsert()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        auto rowset = db.jobs();
        qint32 key = 99;
        DBSTATUS status = DBSTATUS_S_OK;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({Binding::int32(1, &key, &status)}, &accessor), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->setData(accessor), DB_E_ERRORSOCCURRED);
        QCOMPARE(status, DBSTATUS_E_PERMISSIONDENIED);
        status = DBSTATUS_S_OK;
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(rowset->rowCount(), 4);
    }

    void accessorChecks_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<HRESULT>("result");
        QTest::newRow("ordinal past the last column") << 0 << DB_E_BADORDINAL;
        QTest::newRow("bookmark column") << 1 << DB_E_BADORDINAL;
        QTest::newRow("text into an integer place") << 2 << DB_E_BADBINDINFO;
        QTest::newRow("no status place") << 3 << DB_E_BADBINDINFO;
        QTest::newRow("text without a length") << 4 << DB_E_BADBINDINFO;
    }
    void accessorChecks()
    {
        QFETCH(int, which);
        QFETCH(HRESULT, result);
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.jobs();
        qint32 integer = 0;
        QString text;
        DBSTATUS status = 0;
        const QList<Binding> bindings = {Binding::int32(14, &integer, &status),
                                         Binding::int32(0, &integer, &status),
                                         {3, DBTYPE_STR, 255, &integer, &status},
                                         Binding::int32(2, &integer, nullptr),
                                         Binding::text(3, 0, &text, &status)};
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({bindings[which]}, &accessor), result);
        QVERIFY(!describe(*rowset).isEmpty());
    }

    void transactionAbortLeavesNothing_data() { addKindRows(); }
    void transactionAbortLeavesNothing()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        auto rowset = db.execute(kSorted.arg(db.jobTable()));
        QCOMPARE(db.session().startTransaction(), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->deleteRow(), S_OK);
        QCOMPARE(db.session().abort(), S_OK);
        QCOMPARE(db.session().commit(), E_UNEXPECTED);
        QCOMPARE(db.open(), S_OK);
        QCOMPARE(jobNumbers(*db.execute(kSorted.arg(db.jobTable()))), (QList<qint32>{10, 20, 30}));
    }
};

QTEST_GUILESS_MAIN(TestOleDbRowset)
#include "tst_oledbrowset.moc"
