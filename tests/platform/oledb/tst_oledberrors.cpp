#include "../fileio/FaultTestUtil.h"
#include "OleDbTestUtil.h"

#include <QFile>
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
        QTest::newRow("default") << "SQLite" << S_OK;
        QTest::newRow("case does not matter") << "sqlite" << S_OK;
        QTest::newRow("identifier of older settings") << "Microsoft.Jet.OLEDB.4.0" << S_OK;
        QTest::newRow("unknown") << "MSDASQL" << REGDB_E_CLASSNOTREG;
        QTest::newRow("empty") << "" << REGDB_E_CLASSNOTREG;
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
        QCOMPARE(DataSource::create(QStringLiteral("SQLite"), &dataSource), S_OK);
        DBPROPSET properties = initProperties(QStringLiteral("/nowhere.db"), QString());
        QCOMPARE(dataSource->setProperties(&properties), S_OK);
        DBPROPSET mixed = {{DBPROP_INIT_MODE, QStringLiteral("16")},
                           {0x9999, 1},
                           {0x9999, 1, DBPROPOPTIONS_OPTIONAL},
                           {DBPROP_AUTH_USERID, QStringLiteral("Admin")}};
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
        QTest::addColumn<QString>("providerString");
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<HRESULT>("result");
        QTest::addColumn<QString>("description");
        const QString access = providerString(Kind::Sqlite);
        const QString excel = providerString(Kind::Workbook);
        QTest::newRow("missing database")
            << access << QByteArray() << STG_E_FILENOTFOUND << "Could not find file '%1'.";
        QTest::newRow("missing workbook")
            << excel << QByteArray() << STG_E_FILENOTFOUND << "Could not find file '%1'.";
        QTest::newRow("not a database") << access << QByteArray("plain text, not SQLite") << E_FAIL
                                        << "The database '%1' cannot be opened: file is "
                                           "not a database.";
        QTest::newRow("not a workbook") << excel << QByteArray("PK but not a zip") << E_FAIL
                                        << "The workbook '%1' cannot be read: it is not a zip "
                                           "container.";
    }
    void openFailures()
    {
        QFETCH(QString, providerString);
        QFETCH(QByteArray, content);
        QFETCH(HRESULT, result);
        QFETCH(QString, description);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vntdatab.file"));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        std::unique_ptr<DataSource> dataSource;
        QCOMPARE(DataSource::create(QStringLiteral("SQLite"), &dataSource), S_OK);
        DBPROPSET properties = initProperties(path, providerString);
        QCOMPARE(dataSource->setProperties(&properties), S_OK);
        QCOMPARE(dataSource->initialize(), result);
        QVERIFY(!dataSource->isInitialized());
        ErrorRecords records;
        QCOMPARE(dataSource->getErrorRecords(&records), S_OK);
        QCOMPARE(records.recordCount(), 1u);
        QString text;
        QCOMPARE(records.getDescription(0, 1033, &text), S_OK);
        QCOMPARE(text, description.arg(path));
        std::unique_ptr<Session> session;
        QCOMPARE(dataSource->createSession(&session), E_UNEXPECTED);
    }

    void statementFailures_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<HRESULT>("result");
        QTest::addColumn<QString>("description");
        for (Kind kind : {Kind::Sqlite, Kind::Workbook}) {
            const char* name = kind == Kind::Sqlite ? "sqlite" : "workbook";
            QTest::addRow("%s syntax", name)
                << kind << "SELECT * FROM Job WHERE Job.[Job number] = 12abc"
                << DB_E_ERRORSINCOMMAND
                << "The statement cannot be run: unrecognized token: \"12abc\".";
            QTest::addRow("%s quote in the search text", name)
                << kind << "SELECT * FROM Knowledge WHERE Knowledge.[Type] LIKE'%O'Brien%'"
                << DB_E_ERRORSINCOMMAND
                << "The statement cannot be run: near \"Brien\": syntax error.";
            QTest::addRow("%s no such table", name)
                << kind << "SELECT * FROM Jobs" << DB_E_NOTABLE
                << "The statement cannot be run: no such table: Jobs.";
            QTest::addRow("%s two statements", name)
                << kind << "SELECT * FROM Knowledge; DELETE FROM Knowledge"
                << DB_E_MULTIPLESTATEMENTS << "The command must hold exactly one statement.";
            QTest::addRow("%s not a query", name) << kind << "DELETE FROM $Job" << DB_E_NOTSUPPORTED
                                                  << "Only statements that return rows can be run.";
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
        QVERIFY(!db.execute(QString(sql).replace(QLatin1String("$Job"), db.jobTable()), &hr));
        QCOMPARE(hr, result);
        QCOMPARE(describe(db.lastCommand()), description);
        // The program asks the data source for the errors of a failed command.
        QCOMPARE(describe(db.dataSource()), description);
        QVERIFY(db.execute(QStringLiteral("SELECT * FROM Knowledge"), &hr));
        QCOMPARE(describe(db.lastCommand()), QString());
    }

    void constraintFailure_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("description");
        QTest::newRow("sqlite") << Kind::Sqlite
                                << "The row could not be added: UNIQUE constraint failed: Job.ID.";
        QTest::newRow("workbook")
            << Kind::Workbook << "The row could not be added: UNIQUE constraint failed: Job$.ID.";
    }
    void constraintFailure()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, description);
        TestDatabase db(kind);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM ") + db.jobTable());
        qint32 key = 7;
        DBSTATUS status = DBSTATUS_S_OK;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({Binding::int32(1, &key, &status)}, &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), DB_E_INTEGRITYVIOLATION);
        QCOMPARE(describe(*rowset), description);
        QCOMPARE(describe(db.dataSource()), description);
        QCOMPARE(rowset->rowCount(), 1);
        QCOMPARE(db.open(), S_OK);
        QCOMPARE(db.execute(QStringLiteral("SELECT * FROM ") + db.jobTable())->rowCount(), 1);
    }

    void readOnlyFile_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("sqlite") << Kind::Sqlite;
        QTest::newRow("workbook") << Kind::Workbook;
    }
    void readOnlyFile()
    {
        QFETCH(Kind, kind);
        TestDatabase db(kind);
        std::unique_ptr<DataSource> dataSource;
        DataSource::create(QStringLiteral("SQLite"), &dataSource);
        DBPROPSET properties = initProperties(db.path(), providerString(kind));
        properties.append({DBPROP_INIT_MODE, DB_MODE_READ});
        QCOMPARE(dataSource->setProperties(&properties), S_OK);
        QCOMPARE(dataSource->initialize(), S_OK);
        QCOMPARE(dataSource->initialize(), DB_E_ALREADYINITIALIZED);
        std::unique_ptr<Session> session;
        QCOMPARE(dataSource->createSession(&session), S_OK);
        std::unique_ptr<Command> command;
        session->createCommand(&command);
        command->setCommandText(QStringLiteral("SELECT * FROM Knowledge"));
        DBPROPSET rowsetProps = rowsetProperties();
        command->setProperties(&rowsetProps);
        std::unique_ptr<Rowset> rowset;
        QCOMPARE(command->execute(&rowset), DB_S_ERRORSOCCURRED);
        KnowledgeRecord record;
        record.set(1, QStringLiteral("t"), QStringLiteral("f"), QStringLiteral("n"));
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), DB_E_NOTSUPPORTED);
        QVERIFY(describe(*rowset).contains(QLatin1String("read-only")));
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
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        TestDatabase db(Kind::Sqlite);
        QProcess writer;
        writer.start(python,
                     {QStringLiteral("-c"),
                      QStringLiteral("import sqlite3, sys, time\n"
                                     "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                     "c.execute('BEGIN EXCLUSIVE')\n"
                                     "c.execute('INSERT INTO Knowledge (ID) VALUES (7)')\n"
                                     "print('writing', flush=True)\n"
                                     "time.sleep(float(sys.argv[2]))\n"
                                     "c.execute('COMMIT')\n"),
                      db.path(), QString::number(holdSeconds)});
        while (!writer.canReadLine() && writer.waitForReadyRead(10000)) {
        }
        QCOMPARE(writer.readLine(), QByteArray("writing\n"));
        const HRESULT opened = db.open();
        writer.waitForFinished(20000);
        QCOMPARE(opened, result);
        if (failed(result)) {
            QCOMPARE(describe(db.dataSource()),
                     QStringLiteral("The database '%1' cannot be opened: it is in use by another "
                                    "program; try again when it has finished.")
                         .arg(db.path()));
        } else {
            QCOMPARE(db.execute(QStringLiteral("SELECT * FROM Knowledge"))->rowCount(), 1);
        }
    }

    // A change refused because the folder cannot be written names the folder.
    void readOnlyFolderIsNamed()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("shared"));
        std::unique_ptr<faulttest::TmpfsMount> mount;
        if (geteuid() == 0) {
            mount = std::make_unique<faulttest::TmpfsMount>(folder, "size=1m");
            if (!mount->mounted())
                QSKIP("mounting a tmpfs is not permitted here");
        }
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/vntdatab.db");
        ErrorRecords errors;
        QCOMPARE(createEmptyDatabase(path, &errors), S_OK);
        if (mount)
            QVERIFY(mount->makeReadOnly());
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        std::unique_ptr<DataSource> dataSource;
        std::unique_ptr<Session> session;
        QCOMPARE(openDatabaseFile(path, &dataSource, &session, &errors), S_OK);
        std::unique_ptr<Command> command;
        session->createCommand(&command);
        command->setCommandText(QStringLiteral("SELECT * FROM Knowledge"));
        DBPROPSET rowsetProps = rowsetProperties();
        command->setProperties(&rowsetProps);
        std::unique_ptr<Rowset> rowset;
        command->execute(&rowset);
        QVERIFY(rowset);
        KnowledgeRecord record;
        record.set(1, QStringLiteral("t"), QStringLiteral("f"), QStringLiteral("n"));
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QVERIFY(failed(rowset->insertRow(accessor)));
        const QString description = describe(*rowset) + describe(*dataSource);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(description.contains(QStringLiteral("the folder '%1'").arg(folder)),
                 qPrintable(description));
    }

    void objectsOutliveTheDataSource()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{1, QStringLiteral("kept"), QStringLiteral("Ann"), 45000, 0, 0}});
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Job"));
        db.close();
        JobRecord record;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor(record.bindings(), &accessor), S_OK);
        QCOMPARE(rowset->moveFirst(), S_OK);
        QCOMPARE(rowset->getData(accessor), S_OK);
        QCOMPARE(record.problem(), QStringLiteral("kept"));
    }
};

QTEST_GUILESS_MAIN(TestOleDbErrors)
#include "tst_oledberrors.moc"
