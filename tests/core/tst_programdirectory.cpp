#include "core/ProgramDirectory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestProgramDirectory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chosenByOptionThenEnvironmentThenDataFolder()
    {
        qputenv("VANTREL_HOME", "/tmp/from-env");
        QCOMPARE(ProgramDirectory::resolve({QStringLiteral("vantrel"), QStringLiteral("--home"),
                                            QStringLiteral("/tmp/opt")}),
                 QStringLiteral("/tmp/opt/"));
        QCOMPARE(ProgramDirectory::resolve(
                     {QStringLiteral("vantrel"), QStringLiteral("--home=/tmp/eq/")}),
                 QStringLiteral("/tmp/eq/"));
        QCOMPARE(ProgramDirectory::resolve({QStringLiteral("vantrel")}),
                 QStringLiteral("/tmp/from-env/"));
        qunsetenv("VANTREL_HOME");
        qputenv("XDG_DATA_HOME", "/tmp/xdg-data");
        QCOMPARE(ProgramDirectory::resolve({QStringLiteral("vantrel")}),
                 QStringLiteral("/tmp/xdg-data/Korvane/Vantrel/"));
    }

    void firstStartSeedsTheTemplate()
    {
        QTemporaryDir dir;
        const QString home = dir.filePath(QStringLiteral("home/"));
        QVERIFY(ProgramDirectory::prepare(home));
        for (const char* name : {"support1/headfoot/header.txt", "support1/headfoot/header.rtf",
                                 "support1/headfoot/footer.txt", "support1/headfoot/footer.rtf"})
            QVERIFY2(QFile::exists(home + QLatin1String(name)), name);
        QVERIFY(QDir(home + QStringLiteral("Examples")).exists());
        // Topic folders with topic files, beside headfoot.
        const QStringList topics =
            QDir(home + QStringLiteral("support1")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(topics.size() >= 3);
        const QStringList rich = QDir(home + QStringLiteral("support1/") + topics.first())
                                     .entryList({QStringLiteral("*.rtf"), QStringLiteral("*.txt")});
        QVERIFY(!rich.isEmpty());

        // The user's own changes survive later starts; deleted samples stay deleted.
        const QString header = home + QStringLiteral("support1/headfoot/header.txt");
        QFile file(header);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Hi there,");
        file.close();
        QVERIFY(QDir(home + QStringLiteral("Examples")).removeRecursively());
        QVERIFY(ProgramDirectory::prepare(home));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Hi there,"));
        QVERIFY(!QDir(home + QStringLiteral("Examples")).exists());
    }

    void directoryHoldingOtherFilesIsSeeded()
    {
        // A mail store made before the first start must not stop the samples arriving.
        QTemporaryDir dir;
        const QString home = dir.filePath(QStringLiteral("home/"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("Mail/cur")));
        QVERIFY(ProgramDirectory::prepare(home));
        QVERIFY(QFile::exists(home + QStringLiteral("support1/headfoot/footer.rtf")));
        QVERIFY(QFile::exists(home + QStringLiteral("vntdatab.db")));
        QVERIFY(QDir(home + QStringLiteral("Mail/cur")).exists());

        // A template file that was never offered (a newer template) still arrives.
        QFile manifest(home + QStringLiteral(".template-files"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        QByteArray kept = manifest.readAll();
        manifest.close();
        kept.replace("vntdatab.db\n", "");
        QVERIFY(manifest.open(QIODevice::WriteOnly | QIODevice::Truncate));
        manifest.write(kept);
        manifest.close();
        QVERIFY(QFile::remove(home + QStringLiteral("vntdatab.db")));
        QVERIFY(ProgramDirectory::prepare(home));
        QVERIFY(QFile::exists(home + QStringLiteral("vntdatab.db")));
    }

    void unusableDirectoryIsReported()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        QVERIFY(!ProgramDirectory::prepare(dir.filePath(QStringLiteral("file/home/")), &error));
        QVERIFY(error.contains(QStringLiteral("file/home")));
    }
};

QTEST_GUILESS_MAIN(TestProgramDirectory)
#include "tst_programdirectory.moc"
