// The example home of `--demo`: every piece is there and a second build changes nothing.
#include "CSupportApp.h"
#include "DatabaseWorkspace.h"
#include "DemoHome.h"
#include "core/SettingsStore.h"

#include <QtTest>

namespace {

int rowCount(const QString& path, const QString& table)
{
    const QStringList keys =
        dbtest::columnValues(path, QStringLiteral("SELECT * FROM ") + table, 2);
    return keys == QStringList{QStringLiteral("<cannot read>")} ? -1 : int(keys.size());
}

int fileCount(const QString& dir)
{
    return int(QDir(dir).entryList(QDir::Files).size());
}

} // namespace

class TestDemoHome : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buildsACompleteHomeTwice()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("demo"));
        for (int build = 0; build < 2; ++build) {
            QString error;
            QVERIFY2(BuildDemoHome(root, &error), qPrintable(error));
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Mail/cur")), 3);
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Mail/new")), 2);
            QCOMPARE(fileCount(root + QStringLiteral("/mail/Contacts")), 3);
            QCOMPARE(qgetenv("VANTREL_MAPI_PROFILES"),
                     QFile::encodeName(root) + "/mail/profiles.ini");
            const QString db = root + QStringLiteral("/home/vntdatab.db");
            QCOMPARE(rowCount(db, QStringLiteral("Job")), 4);
            QCOMPARE(rowCount(db, QStringLiteral("Knowledge")), 4);
            QCOMPARE(fileCount(root + QStringLiteral("/home/support1/Account")), 1);
            QVERIFY(QFile::exists(
                root + QStringLiteral("/home/support1/Shipping/Delivery date of an order.txt")));
            // The usual template is seeded beside the demonstration files.
            QVERIFY(fileCount(root + QStringLiteral("/home/support1/Billing")) >= 3);
            SettingsStore settings(root + QStringLiteral("/settings.ini"));
            QCOMPARE(settings.readInt(SettingsStore::kInternalData,
                                      QStringLiteral("Open Database at Start"), 0),
                     1);
            QCOMPARE(settings.readInt(SettingsStore::kInternalData,
                                      QStringLiteral("Logon to Mail at startup"), 0),
                     1);
        }
    }

    void demoOptionKeepsToItsFolder()
    {
        const StartOptions options = CSupportApp::optionsFrom(
            {QStringLiteral("vantrel"), QStringLiteral("--demo"), QStringLiteral("/tmp/d")});
        QCOMPARE(options.programDirectory, QStringLiteral("/tmp/d/home/"));
        QCOMPARE(options.settingsFile, QStringLiteral("/tmp/d/settings.ini"));
        QCOMPARE(CSupportApp::optionsFrom({QStringLiteral("vantrel"), QStringLiteral("--demo")})
                     .demoDirectory,
                 QDir::homePath() + QStringLiteral("/vantrel-demo"));
    }
};

QTEST_MAIN(TestDemoHome)
#include "tst_demohome.moc"
