#include "../fileio/FaultTestUtil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
    static bool create(const QString& path) { return run({u"--create"_s, path}).exitCode == 0; }

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("sqlite") << "vntdatab.db";
        QTest::newRow("workbook") << "vntdatab.xlsx";
    }
    // Texts come back as they went in; dates go in as day numbers or ISO text.
    void roundTrip()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        QVERIFY(create(path));
        const QByteArray csv = "ID,Reference,Type,Fact or Problem,Note 1,Note 2,Note 3\r\n"
                               "1,10,Howto,\"Two\r\nlines, one comma\",,\"\",\"say \"\"hi\"\"\"\r\n"
                               "2,11,Fact,Caf\xc3\xa9,x,y,z\r\n";
        const Result imported = run({path, u"--import"_s, u"Knowledge"_s}, csv);
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(imported.err, QByteArray("Imported 2 rows into Knowledge.\n"));
        const Result exported = run({path, u"--export"_s, u"Knowledge"_s});
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.out, csv);

        const QByteArray dates = "Job number,Start date,End date\n1,2024-02-29 18:00,45351.25\n";
        QCOMPARE(run({path, u"--import"_s, u"Job"_s}, dates).exitCode, 0);
        const Result rows =
            run({path, u"--query"_s, u"SELECT [Start date], [End date] FROM Job"_s});
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
        const QString path = dir.filePath(u"vntdatab.db"_s);
        QVERIFY(create(path));
        arguments.replaceInStrings(u"$db"_s, path);
        const Result result = run(arguments, input);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), result.err.constData());
        // Nothing of a refused import remains.
        const Result rows = run({path, u"--export"_s, u"Job"_s});
        QCOMPARE(rows.out.count('\n'), 1);
    }

    // Two programs importing into one workbook at the same moment: every import reported
    // as saved is in the workbook; the other one is refused, never silently lost.
    void concurrentImportsLoseNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vntdatab.xlsx"_s);
        QVERIFY(create(path));
        // Enough rows that writing the workbook takes a while, as a real one does.
        QByteArray rows = "Reference,Type,Note 1\n";
        for (int i = 0; i < 3000; ++i)
            rows += QByteArray::number(100000 + i) + ",old,a note of some length\n";
        QCOMPARE(run({path, u"--import"_s, u"Knowledge"_s}, rows).exitCode, 0);
        QSet<QByteArray> saved;
        int refused = 0;
        for (int pair = 0; pair < 20; ++pair) {
            // Each reads its row from a file, so that nothing holds one back for the other.
            QProcess processes[2];
            for (int i = 0; i < 2; ++i) {
                const QString csv = dir.filePath(u"row%1.csv"_s.arg(i));
                QFile file(csv);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("Reference,Type\n" + QByteArray::number(pair * 2 + i) + ",x\n");
                file.close();
                processes[i].start(QStringLiteral(VANTREL_DB_TOOL),
                                   {path, u"--import"_s, u"Knowledge"_s, u"--from"_s, csv});
            }
            for (int i = 0; i < 2; ++i) {
                QVERIFY(processes[i].waitForFinished(60000));
                const QByteArray err = processes[i].readAllStandardError();
                if (processes[i].exitCode() == 0) {
                    saved.insert(QByteArray::number(pair * 2 + i));
                    continue;
                }
                ++refused;
                QVERIFY2(err.contains("changed by another program") ||
                             err.contains("in use by another program"),
                         err.constData());
            }
        }
        const Result exported = run({path, u"--query"_s, u"SELECT Reference FROM Knowledge"_s});
        QCOMPARE(exported.exitCode, 0);
        QList<QByteArray> lines = exported.out.split('\n');
        QSet<QByteArray> present;
        for (QByteArray line : lines.mid(1)) {
            if (!line.trimmed().isEmpty() && line.trimmed().toInt() < 100000)
                present.insert(line.trimmed());
        }
        QCOMPARE(lines.size() - 2, 3000 + saved.size());
        QCOMPARE(present, saved);
        qInfo("%d imports saved, %d refused", int(saved.size()), refused);
    }

    // The import that printed "Imported 1 rows" and left an empty workbook: a full disk
    // now fails the import, says so and keeps the file.
    void fullDiskFailsTheImport_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("realDisk");
        QTest::newRow("workbook, disk full") << "vntdatab.xlsx" << false;
        QTest::newRow("workbook, real full disk") << "vntdatab.xlsx" << true;
        QTest::newRow("database, real full disk") << "vntdatab.db" << true;
    }
    void fullDiskFailsTheImport()
    {
        QFETCH(QString, file);
        QFETCH(bool, realDisk);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"disk"_s);
        std::unique_ptr<faulttest::TmpfsMount> mount;
        if (realDisk) {
            mount = std::make_unique<faulttest::TmpfsMount>(folder, "size=64k");
            if (!mount->mounted())
                QSKIP("mounting a tmpfs is not permitted here");
        } else if (!faulttest::faultShimLoaded()) {
            QSKIP("the fault shim is not preloaded");
        }
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QLatin1Char('/') + file;
        QVERIFY(create(path));
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        // A real disk is filled by a large import that does not compress; the shim leaves
        // no room at all.
        QByteArray csv = "Reference,Note 1\n";
        for (int i = 0; i < (realDisk ? 600 : 1); ++i) {
            QByteArray note(125, Qt::Uninitialized);
            for (char& byte : note)
                byte = char(QRandomGenerator::global()->bounded(256));
            csv += QByteArray::number(i) + ',' + note.toHex() + '\n';
        }
        Result result;
        {
            const faulttest::ShimFaults faults(realDisk ? QString() : folder, 0);
            result = run({path, u"--import"_s, u"Knowledge"_s}, csv);
        }
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("is full"), result.err.constData());
        QVERIFY(!result.err.contains("Imported"));
        const Result rows = run({path, u"--export"_s, u"Knowledge"_s});
        QCOMPARE(rows.exitCode, 0);
        QCOMPARE(rows.out.count('\n'), 1);
        if (file.endsWith(QLatin1String(".xlsx"))) {
            QFile after(path);
            QVERIFY(after.open(QIODevice::ReadOnly));
            QCOMPARE(after.readAll(), before);
        }
    }

    void templateDatabaseIsEmpty()
    {
        const QString path =
            QStringLiteral(VANTREL_TEST_DATA "/../../resources/template/vntdatab.db");
        QVERIFY(QFile::exists(path));
        for (const char* table : {"Job", "Knowledge"}) {
            const Result rows = run({path, u"--export"_s, QLatin1String(table)});
            QCOMPARE(rows.exitCode, 0);
            QCOMPARE(rows.out.count('\n'), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestVantrelDb)
#include "tst_vantreldb.moc"
