#include "../fileio/FaultTestUtil.h"
#include "OleDbTestUtil.h"

#include <QProcess>
#include <QStandardPaths>
#include <unistd.h>

using namespace oledbtest;

class TestOleDbErrors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void providers_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<HRESULT>("result");
        QTest::newRow("default") << u"SQLite"_s << S_OK;
        QTest::newRow("case does not matter") << u"sqlite"_s << S_OK;
        QTest::newRow("identifier of older settings") << u"Microsoft.Jet.OLEDB.4.0"_s << S_OK;
        QTest::newRow("unknown") << u"MSDASQL"_s << REGDB_E_CLASSNOTREG;
        QTest::newRow("empty") << QString() << REGDB_E_CLASSNOTREG;
    }
    void providers()
    {
        QFETCH(QString, provider);
        QFETCH(HRESULT, result);
        std::unique_ptr<DataSource> dataSource;
        QCOMPARE(DataSource::create(provider, &dataSource), result);
        QCOMPARE(dataSource != nullptr, succeeded(result));
    }

    void propertyStatuses()
    {
        std::unique_ptr<DataSource> dataSource;
        QCOMPARE(DataSource::create(u"SQLite"_s, &dataSource), S_OK);
        DBPROPSET properties = initProperties(u"/nowhere.db"_s, QString());
        QCOMPARE(dataSource->setProperties(&properties), S_OK);
        DBPROPSET mixed = {{DBPROP_INIT_MODE, u"16"_s},
                           {0x9999, 1},
                           {0x9999, 1, DBPROPOPTIONS_OPTIONAL},
                           {DBPROP_AUTH_USERID, u"Admin"_s}};
        QCOMPARE(dataSource->setProperties(&mixed), DB_S_ERRORSOCCURRED);
        QCOMPARE(mixed[0].status, DBPROPSTATUS_BADVALUE);
        QCOMPARE(mixed[1].status, DBPROPSTATUS_NOTSUPPORTED);
        QCOMPARE(mixed[2].status, DBPROPSTATUS_NOTSET);
        QCOMPARE(mixed[3].status, DBPROPSTATUS_OK);
        DBPROPSET none = {{0x9999, 1}};
        QCOMPARE(dataSource->setProperties(&none), DB_E_ERRORSOCCURRED);
    }

    void openFailures_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<HRESULT>("result");
        QTest::addColumn<QString>("description");
        const QString missing = u"Could not find file '%1'."_s;
        QTest::newRow("missing database")
            << Kind::Sqlite << QByteArray() << STG_E_FILENOTFOUND << missing;
        QTest::newRow("missing workbook")
            << Kind::Workbook << QByteArray() << STG_E_FILENOTFOUND << missing;
        QTest::newRow("not a database")
            << Kind::Sqlite << QByteArray("plain text, not SQLite") << E_FAIL
            << u"The database '%1' cannot be opened: file is not a database."_s;
        QTest::newRow("not a workbook")
            << Kind::Workbook << QByteArray("PK but not a zip") << E_FAIL
            << u"The workbook '%1' cannot be read: it is not a zip container."_s;
    }
    void openFailures()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, content);
        QFETCH(HRESULT, result);
        QFETCH(QString, description);
        TestDatabase db(kind);
        QVERIFY(QFile::remove(db.path()));
        if (!content.isEmpty())
            QVERIFY(writeFile(db.path(), content));
        QCOMPARE(db.open(), result);
        QVERIFY(!db.dataSource().isInitialized());
        ErrorRecords records;
        QCOMPARE(db.dataSource().getErrorRecords(&records), S_OK);
        QCOMPARE(records.recordCount(), 1u);
        QString text;
        QCOMPARE(records.getDescription(0, 1033, &text), S_OK);
        QCOMPARE(text, description.arg(db.path()));
        std::unique_ptr<Session> session;
        QCOMPARE(db.dataSource().createSession(&session), E_UNEXPECTED);
    }

    void statementFailures_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<HRESULT>("result");
        QTest::addColumn<QString>("description");
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const auto row = [kind](const char* tag, const QString& sql, HRESULT result,
                                    const QString& description) {
                QTest::addRow("%s %s", kindName(kind), tag) << kind << sql << result << description;
            };
            row("syntax", u"SELECT * FROM Job WHERE Job.[Job number] = 12abc"_s,
                DB_E_ERRORSINCOMMAND,
                u"The statement cannot be run: unrecognized token: \"12abc\"."_s);
            row("quote in the search text",
                u"SELECT * FROM Knowledge WHERE Knowledge.[Type] LIKE'%O'Brien%'"_s,
                DB_E_ERRORSINCOMMAND,
                u"The statement cannot be run: near \"Brien\": syntax error."_s);
            row("no such table", u"SELECT * FROM Jobs"_s, DB_E_NOTABLE,
                u"The statement cannot be run: no such table: Jobs."_s);
            row("two statements", u"SELECT * FROM Knowledge; DELETE FROM Knowledge"_s,
                DB_E_MULTIPLESTATEMENTS, u"The command must hold exactly one statement."_s);
            row("not a query", u"DELETE FROM $Job"_s, DB_E_NOTSUPPORTED,
                u"Only statements that return rows can be run."_s);
        }
    }
    void statementFailures()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, sql);
        QFETCH(HRESULT, result);
        QFETCH(QString, description);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        HRESULT hr = S_OK;
        QVERIFY(!db.execute(sql.replace(u"$Job"_s, db.jobTable()), &hr));
        QCOMPARE(hr, result);
        QCOMPARE(describe(db.lastCommand()), description);
        // The program asks the data source for the errors of a failed command.
        QCOMPARE(describe(db.dataSource()), description);
        QVERIFY(db.facts());
        QCOMPARE(describe(db.lastCommand()), QString());
    }

    void constraintFailure_data() { addKindRows(); }
    void constraintFailure()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.jobs();
        qint32 key = 7;
        DBSTATUS status = DBSTATUS_S_OK;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({Binding::int32(1, &key, &status)}, &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), DB_E_INTEGRITYVIOLATION);
        const QString description =
            u"The row could not be added: UNIQUE constraint failed: %1.ID."_s.arg(
                kind == Kind::Sqlite ? u"Job"_s : u"Job$"_s);
        QCOMPARE(describe(*rowset), description);
        QCOMPARE(describe(db.dataSource()), description);
        QCOMPARE(rowset->rowCount(), 1);
        QCOMPARE(db.open(), S_OK);
        QCOMPARE(db.jobs()->rowCount(), 1);
    }

    void readOnlyFile_data() { addKindRows(); }
    void readOnlyFile()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        QCOMPARE(db.open({}, {{DBPROP_INIT_MODE, DB_MODE_READ}}), S_OK);
        QCOMPARE(db.dataSource().initialize(), DB_E_ALREADYINITIALIZED);
        HRESULT executed = S_OK;
        Facts facts(db.execute(u"SELECT * FROM Knowledge"_s, &executed));
        QCOMPARE(executed, DB_S_ERRORSOCCURRED);
        QCOMPARE(facts.bindResult, S_OK);
        facts.record.set(1, u"t"_s, u"f"_s, u"n"_s);
        QCOMPARE(facts.insert(), DB_E_NOTSUPPORTED);
        QVERIFY(describe(*facts.rowset).contains(QLatin1String("read-only")));
    }

    // Another program in the middle of a write: opening waits for it, and one that holds
    // on longer is reported as using the file, not as a damaged file.
    void openWhileAnotherProgramWrites_data()
    {
        QTest::addColumn<double>("holdSeconds");
        QTest::addColumn<HRESULT>("result");
        QTest::newRow("short write") << 0.5 << S_OK;
        QTest::newRow("write longer than the wait") << 6.0 << DB_E_RESOURCELOCKED;
    }
    void openWhileAnotherProgramWrites()
    {
        QFETCH(double, holdSeconds);
        QFETCH(HRESULT, result);
        const QString python = QStandardPaths::findExecutable(u"python3"_s);
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        TestDatabase db(Kind::Sqlite);
        QProcess writer;
        writer.start(python, {u"-c"_s,
                              u"import sqlite3, sys, time\n"
                              "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                              "c.execute('BEGIN EXCLUSIVE')\n"
                              "c.execute('INSERT INTO Knowledge (ID) VALUES (7)')\n"
                              "print('writing', flush=True)\n"
                              "time.sleep(float(sys.argv[2]))\n"
                              "c.execute('COMMIT')\n"_s,
                              db.path(), QString::number(holdSeconds)});
        while (!writer.canReadLine() && writer.waitForReadyRead(10000)) {
        }
        QCOMPARE(writer.readLine(), QByteArray("writing\n"));
        const HRESULT opened = db.open();
        writer.waitForFinished(20000);
        QCOMPARE(opened, result);
        if (failed(result)) {
            QCOMPARE(describe(db.dataSource()),
                     u"The database '%1' cannot be opened: it is in use by another program; try "
                     "again when it has finished."_s.arg(db.path()));
        } else {
            QCOMPARE(db.facts()->rowCount(), 1);
        }
    }

    // A change refused because the folder cannot be written names the folder.
    void readOnlyFolderIsNamed()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"shared"_s);
        std::unique_ptr<faulttest::TmpfsMount> mount;
        if (geteuid() == 0) {
            mount = std::make_unique<faulttest::TmpfsMount>(folder, "size=1m");
            if (!mount->mounted())
                QSKIP("mounting a tmpfs is not permitted here");
        }
        QVERIFY(QDir().mkpath(folder));
        TestDatabase db(Kind::Sqlite, folder);
        if (mount)
            QVERIFY(mount->makeReadOnly());
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(db.openFile(), S_OK);
        Facts facts(db.facts());
        QVERIFY(facts.rowset);
        facts.record.set(1, u"t"_s, u"f"_s, u"n"_s);
        QVERIFY(failed(facts.insert()));
        const QString description = describe(*facts.rowset) + describe(db.dataSource());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(description.contains(u"the folder '%1'"_s.arg(folder)), qPrintable(description));
    }

    void objectsOutliveTheDataSource()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{1, u"kept"_s, u"Ann"_s, 45000, 0, 0}});
        auto rowset = db.jobs();
        db.close();
        Jobs jobs(std::move(rowset));
        QCOMPARE(jobs.bindResult, S_OK);
        QCOMPARE(jobs.rowset->moveFirst(), S_OK);
        QCOMPARE(jobs.read(), S_OK);
        QCOMPARE(jobs.record.problem(), u"kept"_s);
    }
};

QTEST_GUILESS_MAIN(TestOleDbErrors)
#include "tst_oledberrors.moc"
