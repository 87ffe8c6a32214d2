#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "core/TextFiles.h"
#include "topics/TopicNames.h"
#include "topics/TopicStore.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text");
}

} // namespace

class TestTopicStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;

    // A document whose main topic root is a fresh folder.
    struct Fixture
    {
        explicit Fixture(const QString& home)
            : store(home + QStringLiteral("settings.ini"))
            , doc(store, home)
        {
            doc.LoadSettings();
        }
        SettingsStore store;
        CSupportDoc doc;
        QString root() const { return doc.GetSupportPath(0); }
    };
    QString newHome() { return m_dir.filePath(QStringLiteral("home%1/").arg(++m_run)); }

private Q_SLOTS:
    void extensions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("topic");
        QTest::newRow("txt") << "reply.txt"
                             << "txt" << true;
        QTest::newRow("upper case") << "notes.TXT"
                                    << "TXT" << true;
        QTest::newRow("rtf after dots") << "a.b.rtf"
                                        << "rtf" << true;
        QTest::newRow("doc") << "notes.doc"
                             << "doc" << false;
        QTest::newRow("hidden name only") << ".txt"
                                          << "" << false;
        QTest::newRow("no dot") << "readme"
                                << "" << false;
        QTest::newRow("trailing dot") << "odd."
                                      << "" << false;
    }
    void extensions()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(bool, topic);
        QCOMPARE(topicExtension(name), extension);
        QCOMPARE(isTopicFileName(name), topic);
    }

    void missingRootIsCreatedAndEmpty()
    {
        Fixture f(newHome());
        QVERIFY(!QFileInfo::exists(f.root()));
        f.doc.setTopicFolderCount(5);
        BuildTopicStore(f.doc);
        QVERIFY(QFileInfo(f.root()).isDir());
        QCOMPARE(f.doc.topicFolderCount(), 0);
        QCOMPARE(f.doc.currentTopicRoot(), f.root());
    }

    void onlyTopicFilesOfTopicFolders()
    {
        Fixture f(newHome());
        touch(f.root() + QStringLiteral("/loose.txt"));
        for (const char* name : {"notes.TXT", "notes.doc", ".txt", "readme", "b.rtf", "a.txt"})
            touch(f.root() + QStringLiteral("/Billing/") + QLatin1String(name));
        touch(f.root() + QStringLiteral("/Billing/deeper/hidden.txt"));
        QDir().mkpath(f.root() + QStringLiteral("/Empty"));
        BuildTopicStore(f.doc);
        QCOMPARE(f.doc.topicFolderCount(), 2);
        QCOMPARE(f.doc.topicFolderTable()[0],
                 (QStringList{"Billing", "a.txt", "b.rtf", "notes.TXT"}));
        QCOMPARE(f.doc.topicFolderTable()[1], QStringList{"Empty"});
    }

    void namesThatAreNotUtf8AreListedAsTheyAre()
    {
        Fixture f(newHome());
        const QByteArray folder = QFile::encodeName(f.root()) + "/Caf\xe9";
        QVERIFY(QDir().mkpath(f.root()));
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        for (const QByteArray& name : {QByteArray("r\xe9ponse.txt"), QByteArray("\xff.rtf")}) {
            const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        BuildTopicStore(f.doc);
        QCOMPARE(f.doc.topicFolderCount(), 1);
        const QStringList& entry = f.doc.topicFolderTable()[0];
        QCOMPARE(entry.size(), 3);
        QCOMPARE(nativeFileName(entry.at(0)), QByteArray("Caf\xe9"));
        QCOMPARE(QList<QByteArray>({nativeFileName(entry.at(1)), nativeFileName(entry.at(2))}),
                 QList<QByteArray>({QByteArray("r\xe9ponse.txt"), QByteArray("\xff.rtf")}));
    }

    // A relative topic root (as "unknown" from a short entry on the topic paths page) lies
    // in the program directory, not wherever the program was started from.
    void relativeRootsLieInTheProgramDirectory()
    {
        Fixture f(newHome());
        const QTemporaryDir elsewhere;
        const QString started = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        f.doc.setSupportPath(3, QStringLiteral("unknown"));
        f.doc.setCurrentPathIndex(3);
        BuildTopicStore(f.doc);
        QDir::setCurrent(started);
        QCOMPARE(f.doc.currentTopicRoot(), f.doc.programDirectory() + QStringLiteral("unknown"));
        QVERIFY(QFileInfo(f.doc.currentTopicRoot()).isDir());
        QVERIFY(!QFileInfo::exists(elsewhere.filePath(QStringLiteral("unknown"))));
        QCOMPARE(resolveTopicRoot(QStringLiteral("/srv/topics"), f.doc.programDirectory()),
                 QStringLiteral("/srv/topics"));
    }

    void atMost999FoldersAreShown()
    {
        Fixture f(newHome());
        for (int i = 0; i < 1001; ++i)
            QVERIFY(
                QDir().mkpath(f.root() + QStringLiteral("/f%1").arg(i, 4, 10, QLatin1Char('0'))));
        BuildTopicStore(f.doc);
        QCOMPARE(f.doc.topicFolderCount(), 999);
        QCOMPARE(f.doc.topicFolderTable()[998].first(), QStringLiteral("f0998"));
        // The folders beyond the limit land in the last, unused entry.
        QCOMPARE(f.doc.topicFolderTable()[999].first(), QStringLiteral("f1000"));
    }

    void randomNamesAndSafeNames()
    {
        QRandomGenerator random(7);
        for (int i = 0; i < 50; ++i) {
            const QString name = randomTopicName(random);
            QCOMPARE(name.size(), 8);
            QVERIFY(name.startsWith(QStringLiteral("temp")));
            for (QChar c : name.mid(4))
                QVERIFY(c >= u'a' && c <= u'{');
        }
        for (const char* bad : {"", ".", "..", "a/b", "..\\x", "tab\there"})
            QVERIFY2(!isSafeTopicName(QString::fromUtf8(bad)), bad);
        for (const char* good : {"Billing", "Returns & repairs", "a.b.c", "..hidden"})
            QVERIFY2(isSafeTopicName(QString::fromUtf8(good)), good);
    }
};

QTEST_GUILESS_MAIN(TestTopicStore)
#include "tst_topicstore.moc"
