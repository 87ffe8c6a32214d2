#include "OleDbTestUtil.h"

using namespace oledbtest;

namespace {

const QString kSorted = QStringLiteral("SELECT * FROM %1  ORDER BY [Job number] ASC ");

void addKinds()
{
    QTest::addColumn<Kind>("kind");
}

void fillThree(TestDatabase& db)
{
    db.insertJobs({{30, QStringLiteral("third"), QStringLiteral("Carol"), 45003, 1, 1},
                   {10, QStringLiteral("first"), QStringLiteral("Alice"), 45001, 2, 4},
                   {20, QStringLiteral("second"), QStringLiteral("Bob"), 45002, 3, 1}});
}

} // namespace

class TestOleDbRowset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void columnInformation_data()
    {
        addKinds();
        QTest::newRow("sqlite") << Kind::Sqlite;
        QTest::newRow("workbook") << Kind::Workbook;
    }
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
        addKinds();
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const char* name = kind == Kind::Sqlite ? "sqlite" : "workbook";
            QTest::addRow("%s forward past the end", name) << kind << "first next next next next"
                                                           << "10 20 30 end end";
            QTest::addRow("%s back past the start", name) << kind << "last prev prev prev prev"
                                                          << "30 20 10 end end";
            QTest::addRow("%s back from past the end", name) << kind << "last next prev"
                                                             << "30 end 30";
            QTest::addRow("%s on from before the start", name) << kind << "first prev next"
                                                               << "10 end 10";
            QTest::addRow("%s restart then next", name) << kind << "last restart next"
                                                        << "30 none 10";
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
        auto rowset = db.execute(kSorted.arg(db.jobTable()));
        JobRecord record;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QStringList seen;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            HRESULT hr = step == "first"  ? rowset->moveFirst()
                         : step == "next" ? rowset->moveNext()
                         : step == "prev" ? rowset->movePrev()
                         : step == "last" ? rowset->moveLast()
                                          : rowset->restartPosition();
            if (step == "restart") {
                QCOMPARE(hr, S_OK);
                seen.append(rowset->getData(accessor) == DB_E_BADROWHANDLE ? "none" : "row");
            } else if (hr == DB_S_ENDOFROWSET) {
                seen.append("end");
            } else {
                QCOMPARE(hr, S_OK);
                QCOMPARE(rowset->getData(accessor), S_OK);
                seen.append(QString::number(record.jobNumber()));
            }
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), expected);
    }

    void previousNeedsFetchingBackwards()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        std::unique_ptr<Command> command;
        QCOMPARE(db.session().createCommand(&command), S_OK);
        command->setCommandText(QStringLiteral("SELECT * FROM Job"));
        std::unique_ptr<Rowset> rowset;
        QCOMPARE(command->execute(&rowset), S_OK);
        QCOMPARE(rowset->moveLast(), S_OK);
        QCOMPARE(rowset->movePrev(), DB_E_CANTFETCHBACKWARDS);
        QCOMPARE(rowset->moveFirst(), S_OK);
    }

    void readsValues_data()
    {
        addKinds();
        QTest::addColumn<QString>("problem");
        QTest::addColumn<DBSTATUS>("status");
        QTest::addColumn<QString>("read");
        const QString longText(300, QLatin1Char('x'));
        const QString unicode = QString::fromUtf8("Caf\u00e9 \u2603 \U0001F600 \u00fc");
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const char* name = kind == Kind::Sqlite ? "sqlite" : "workbook";
            QTest::addRow("%s null", name) << kind << QString() << DBSTATUS_S_ISNULL << QString();
            QTest::addRow("%s empty text", name) << kind << "" << DBSTATUS_S_OK << "";
            QTest::addRow("%s unicode", name) << kind << unicode << DBSTATUS_S_OK << unicode;
            QTest::addRow("%s cut to 254 characters", name)
                << kind << longText << DBSTATUS_S_TRUNCATED << longText.left(254);
            QTest::addRow("%s line ends kept", name) << kind << "one\r\ntwo\r\n"
                                                     << DBSTATUS_S_OK << "one\r\ntwo\r\n";
        }
        QTest::newRow("surrogate pair not split")
            << Kind::Sqlite << QString(253, QLatin1Char('a')) + QString::fromUtf8("\U0001F600")
            << DBSTATUS_S_TRUNCATED << QString(253, QLatin1Char('a'));
    }
    void readsValues()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, problem);
        QFETCH(DBSTATUS, status);
        QFETCH(QString, read);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM ") + db.jobTable());
        JobRecord record;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        record.set(7, problem, QStringLiteral("Dana"), 45123.75, 2, 3);
        record.slots[1].status = problem.isNull() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        // Read back from the file, not from what this connection holds.
        QCOMPARE(db.open(), S_OK);
        rowset = db.execute(QStringLiteral("SELECT * FROM ") + db.jobTable());
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        record.slots[1].text = QStringLiteral("stale");
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        QCOMPARE(record.slots[1].status, status);
        QCOMPARE(record.slots[1].text, read);
        QCOMPARE(record.slots[5].date, 45123.75);
        QCOMPARE(record.slots[9].integer, 3);
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<DBSTATUS>("status");
        QTest::addColumn<qint32>("integer");
        QTest::newRow("whole text") << "42" << DBSTATUS_S_OK << 42;
        QTest::newRow("half rounds to even") << "2.5" << DBSTATUS_S_OK << 2;
        QTest::newRow("too large") << "3000000000" << DBSTATUS_E_DATAOVERFLOW << 0;
        QTest::newRow("not a number") << "abc" << DBSTATUS_E_CANTCONVERTVALUE << 0;
    }
    void conversions()
    {
        QFETCH(QString, stored);
        QFETCH(DBSTATUS, status);
        QFETCH(qint32, integer);
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Job"));
        // Write the text into the Problem column, then read that column as an integer.
        QString text = stored;
        DBSTATUS textStatus = DBSTATUS_S_OK;
        Accessor writer;
        QCOMPARE(rowset->createAccessor({Binding::text(3, 255, &text, &textStatus)}, &writer),
                 S_OK);
        QCOMPARE(rowset->insertRow(writer), S_OK);
        qint32 value = 0;
        DBSTATUS valueStatus = DBSTATUS_S_OK;
        DBSTATUS otherStatus = DBSTATUS_S_OK;
        qint32 jobNumber = 0;
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

    void changesReachTheFile_data()
    {
        addKinds();
        QTest::newRow("sqlite") << Kind::Sqlite;
        QTest::newRow("workbook") << Kind::Workbook;
    }
    void changesReachTheFile()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        auto rowset = db.execute(kSorted.arg(db.jobTable()));
        JobRecord record;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        // Update the second row, delete the first, add one: the Part's three changes.
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->moveNext(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        record.slots[1].text = QStringLiteral("second, solved");
        QCOMPARE(rowset->setData(accessor), S_OK);
        QCOMPARE(rowset->movePrev(), S_OK);
        QCOMPARE(rowset->deleteRow(), S_OK);
        QCOMPARE(rowset->moveNext(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        QCOMPARE(record.jobNumber(), 20);
        record.set(5, QStringLiteral("new"), QStringLiteral("Eve"), 45010, 0, 0);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(rowset->moveLast(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        QCOMPARE(record.jobNumber(), 5);

        QCOMPARE(db.open(), S_OK);
        auto reopened = db.execute(kSorted.arg(db.jobTable()));
        QCOMPARE(jobNumbers(*reopened), (QList<qint32>{5, 20, 30}));
        QCOMPARE(reopened->moveFirst(), S_OK);
        QCOMPARE(reopened->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(reopened->moveNext(), S_OK);
        QCOMPARE(reopened->getData(accessor), S_OK);
        QCOMPARE(record.problem(), QStringLiteral("second, solved"));
    }

    void deletingTheOnlyRow()
    {
        TestDatabase db(Kind::Workbook);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{1, QStringLiteral("only"), QStringLiteral("Ann"), 45000, 0, 0}});
        auto rowset = db.execute(kSorted.arg(db.jobTable()));
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->deleteRow(), S_OK);
        QCOMPARE(rowset->moveNext(), DB_S_ENDOFROWSET);
        QCOMPARE(rowset->moveLast(), DB_S_ENDOFROWSET);
        QCOMPARE(rowset->rowCount(), 0);
        JobRecord record;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        record.set(0, QStringLiteral(" "), QStringLiteral(" "), 45000, 0, 0);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(rowset->moveLast(), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
    }

    void keysetFollowsOtherRowsets()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        fillThree(db);
        auto table = db.execute(kSorted.arg(db.jobTable()));
        auto search = db.execute(QStringLiteral("SELECT * FROM Job WHERE Job.[Status] = 1"));
        JobRecord record;
        Accessor tableAccessor;
        Accessor searchAccessor;
        QCOMPARE(table->createAccessor(record.bindings(), &tableAccessor), S_OK);
        QCOMPARE(search->createAccessor(record.bindings(), &searchAccessor), S_OK);
        QCOMPARE(table->moveFirst(), S_OK);
        QCOMPARE(table->moveNext(), S_OK); // job 20
        QCOMPARE(search->moveFirst(), S_OK);
        QCOMPARE(search->getData(searchAccessor), S_OK);
        QCOMPARE(record.jobNumber(), 30);
        QCOMPARE(search->deleteRow(), S_OK);
        QCOMPARE(search->moveNext(), S_OK);
        QCOMPARE(search->getData(searchAccessor), S_OK);
        record.slots[1].text = QStringLiteral("changed elsewhere");
        QCOMPARE(search->setData(searchAccessor), S_OK);
        // The first rowset reads the change and steps over the deleted row.
        QCOMPARE(table->getData(tableAccessor), S_OK);
        QCOMPARE(record.problem(), QStringLiteral("changed elsewhere"));
        QCOMPARE(table->moveNext(), DB_S_ENDOFROWSET);
        QCOMPARE(table->moveLast(), S_OK);
        QCOMPARE(table->getData(tableAccessor), S_OK);
        QCOMPARE(record.jobNumber(), 20);
    }

    void changeInterfaceRules_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("changeInterface");
        QTest::addColumn<qint32>("updatability");
        QTest::addColumn<HRESULT>("executed");
        QTest::addColumn<QString>("allowed");
        const QString all = QStringLiteral("SELECT * FROM Job");
        QTest::newRow("no change interface") << all << false << 7 << S_OK << "";
        QTest::newRow("change only") << all << true << 1 << S_OK << "set";
        QTest::newRow("insert and delete") << all << true << 6 << S_OK << "insert delete";
        QTest::newRow("everything") << all << true << 7 << S_OK << "set insert delete";
        QTest::newRow("columns without the key")
            << "SELECT [Job number], Problem FROM Job" << true << 7 << DB_S_ERRORSOCCURRED << "";
        QTest::newRow("computed column")
            << "SELECT ID, upper(Problem) FROM Job" << true << 7 << DB_S_ERRORSOCCURRED << "";
        QTest::newRow("key and some columns")
            << "SELECT ID, Problem FROM Job" << true << 7 << S_OK << "set insert delete";
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
        QString text = QStringLiteral("x");
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
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Job"));
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
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Job"));
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

    void transactionAbortLeavesNothing_data()
    {
        addKinds();
        QTest::newRow("sqlite") << Kind::Sqlite;
        QTest::newRow("workbook") << Kind::Workbook;
    }
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
