#include "core/ProgramDirectory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestProgramDirectory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;
    QString newHome() { return m_dir.filePath(u"home%1/"_s.arg(++m_run)); }

private Q_SLOTS:
    void chosenByOptionThenEnvironmentThenDataFolder()
    {
        qputenv("VANTREL_HOME", "/tmp/from-env");
        QCOMPARE(ProgramDirectory::resolve({u"vantrel"_s, u"--home"_s, u"/tmp/opt"_s}),
                 u"/tmp/opt/"_s);
        QCOMPARE(ProgramDirectory::resolve({u"vantrel"_s, u"--home=/tmp/eq/"_s}), u"/tmp/eq/"_s);
        QCOMPARE(ProgramDirectory::resolve({u"vantrel"_s}), u"/tmp/from-env/"_s);
        qunsetenv("VANTREL_HOME");
        qputenv("XDG_DATA_HOME", "/tmp/xdg-data");
        QCOMPARE(ProgramDirectory::resolve({u"vantrel"_s}), u"/tmp/xdg-data/Korvane/Vantrel/"_s);
    }

    void firstStartSeedsTheTemplate()
    {
        const QString home = newHome();
        QVERIFY(ProgramDirectory::prepare(home));
        for (const char* name : {"support1/headfoot/header.txt", "support1/headfoot/header.rtf",
                                 "support1/headfoot/footer.txt", "support1/headfoot/footer.rtf"})
            QVERIFY2(QFile::exists(home + QLatin1String(name)), name);
        QVERIFY(QDir(home + u"Examples"_s).exists());
        // Topic folders with topic files, beside headfoot.
        const QStringList topics =
            QDir(home + u"support1"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(topics.size() >= 3);
        QVERIFY(!QDir(home + u"support1/"_s + topics.first())
                     .entryList({u"*.rtf"_s, u"*.txt"_s})
                     .isEmpty());

        // The user's own changes survive later starts; deleted samples stay deleted.
        const QString header = home + u"support1/headfoot/header.txt"_s;
        QVERIFY(put(header, "Hi there,"));
        QVERIFY(QDir(home + u"Examples"_s).removeRecursively());
        QVERIFY(ProgramDirectory::prepare(home));
        QCOMPARE(contents(header), QByteArray("Hi there,"));
        QVERIFY(!QDir(home + u"Examples"_s).exists());
    }

    void directoryHoldingOtherFilesIsSeeded()
    {
        // A mail store made before the first start must not stop the samples arriving.
        const QString home = newHome();
        QVERIFY(QDir().mkpath(home + u"Mail/cur"_s));
        QVERIFY(ProgramDirectory::prepare(home));
        QVERIFY(QFile::exists(home + u"support1/headfoot/footer.rtf"_s));
        QVERIFY(QFile::exists(home + u"vntdatab.db"_s));
        QVERIFY(QDir(home + u"Mail/cur"_s).exists());

        // A template file that was never offered (a newer template) still arrives.
        const QString manifest = home + u".template-files"_s;
        QVERIFY(contents(manifest).contains("vntdatab.db\n"));
        QVERIFY(put(manifest, contents(manifest).replace("vntdatab.db\n", "")));
        QVERIFY(QFile::remove(home + u"vntdatab.db"_s));
        QVERIFY(ProgramDirectory::prepare(home));
        QVERIFY(QFile::exists(home + u"vntdatab.db"_s));
    }

    void unusableDirectoryIsReported()
    {
        QVERIFY(put(m_dir.filePath(u"file"_s), "not a folder"));
        QString error;
        QVERIFY(!ProgramDirectory::prepare(m_dir.filePath(u"file/home/"_s), &error));
        QVERIFY(error.contains(u"file/home"_s));
    }
};

QTEST_GUILESS_MAIN(TestProgramDirectory)
#include "tst_programdirectory.moc"
