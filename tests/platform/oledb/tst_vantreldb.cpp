#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The vantrel-db tool, run as users run it.
class TestVantrelDb : public QObject
{
    Q_OBJECT

    struct Result
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    static Result run(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess process;
        process.start(QStringLiteral(VANTREL_DB_TOOL), arguments);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("sqlite") << "vntdatab.db";
        QTest::newRow("workbook") << "vntdatab.xlsx";
    }
    void roundTrip()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        QCOMPARE(run({QStringLiteral("--create"), path}).exitCode, 0);
        const QByteArray csv = "ID,Reference,Type,Fact or Problem,Note 1,Note 2,Note 3\r\n"
                               "1,10,Howto,\"Two\r\nlines, one comma\",,\"\",\"say \"\"hi\"\"\"\r\n"
                               "2,11,Fact,Caf\xc3\xa9,x,y,z\r\n";
        const Result imported =
            run({path, QStringLiteral("--import"), QStringLiteral("Knowledge")}, csv);
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(imported.err, QByteArray("Imported 2 rows into Knowledge.\n"));
        const Result exported =
            run({path, QStringLiteral("--export"), QStringLiteral("Knowledge")});
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.out, csv);
    }

    void datesAsDayNumbersOrIsoText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vntdatab.db"));
        QCOMPARE(run({QStringLiteral("--create"), path}).exitCode, 0);
        const QByteArray csv = "Job number,Start date,End date\n1,2024-02-29 18:00,45351.25\n";
        QCOMPARE(run({path, QStringLiteral("--import"), QStringLiteral("Job")}, csv).exitCode, 0);
        const Result rows = run({path, QStringLiteral("--query"),
                                 QStringLiteral("SELECT [Start date], [End date] FROM Job")});
        QCOMPARE(rows.out, QByteArray("Start date,End date\r\n45351.75,45351.25\r\n"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("existing file")
            << QStringList{"--create", "$db"} << QByteArray() << QByteArray("exists already");
        QTest::newRow("unknown column")
            << QStringList{"$db", "--import", "Job"} << QByteArray("Job number,Colour\n1,red\n")
            << QByteArray("Job has no column 'Colour'.");
        QTest::newRow("unclosed quote") << QStringList{"$db", "--import", "Job"}
                                        << QByteArray("Job number,Problem\n1,ok\n2,\"open\n")
                                        << QByteArray("Line 3 has a quote that is never closed.");
        QTest::newRow("duplicate key")
            << QStringList{"$db", "--import", "Job"} << QByteArray("ID\n1\n1\n")
            << QByteArray("Line 3 cannot be imported; nothing was.");
        QTest::newRow("bad statement") << QStringList{"$db", "--query", "SELECT * FROM Nowhere"}
                                       << QByteArray() << QByteArray("no such table: Nowhere");
        QTest::newRow("no action")
            << QStringList{"$db"} << QByteArray() << QByteArray("Give one database and one of");
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vntdatab.db"));
        QCOMPARE(run({QStringLiteral("--create"), path}).exitCode, 0);
        arguments.replaceInStrings(QStringLiteral("$db"), path);
        const Result result = run(arguments, input);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), result.err.constData());
        // Nothing of a refused import remains.
        const Result rows = run({path, QStringLiteral("--export"), QStringLiteral("Job")});
        QCOMPARE(rows.out.count('\n'), 1);
    }

    void templateDatabaseIsEmpty()
    {
        const QString path =
            QStringLiteral(VANTREL_TEST_DATA "/../../resources/template/vntdatab.db");
        QVERIFY(QFile::exists(path));
        for (const char* table : {"Job", "Knowledge"}) {
            const Result rows = run({path, QStringLiteral("--export"), QLatin1String(table)});
            QCOMPARE(rows.exitCode, 0);
            QCOMPARE(rows.out.count('\n'), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestVantrelDb)
#include "tst_vantreldb.moc"
