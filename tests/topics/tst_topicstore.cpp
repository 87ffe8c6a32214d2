#include "TopicsTestUtil.h"
#include "topics/TopicNames.h"

#include <QRandomGenerator>

using namespace topicstest;

class TestTopicStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;
    QString newHome() { return m_dir.filePath(u"home%1/"_s.arg(++m_run)); }

private Q_SLOTS:
    void missingRootIsCreatedAndEmpty()
    {
        Document d(newHome());
        const QString root = d.doc.GetSupportPath(0);
        QVERIFY(!QFileInfo::exists(root));
        d.doc.setTopicFolderCount(5);
        BuildTopicStore(d.doc);
        QVERIFY(QFileInfo(root).isDir());
        QCOMPARE(d.doc.topicFolderCount(), 0);
        QCOMPARE(d.doc.currentTopicRoot(), root);
    }

    // Topic files end in ".txt" or ".rtf", in any case, after a name; only the folders
    // right below the root are topic folders.
    void onlyTopicFilesOfTopicFolders()
    {
        Document d(newHome());
        const QString root = d.doc.GetSupportPath(0);
        put(root + u"/loose.txt"_s, "text");
        for (const char* name :
             {"notes.TXT", "notes.doc", ".txt", "readme", "odd.", "b.rtf", "a.txt", "a.b.rtf"})
            put(root + u"/Billing/"_s + QLatin1String(name), "text");
        put(root + u"/Billing/deeper/hidden.txt"_s, "text");
        QDir().mkpath(root + u"/Empty"_s);
        BuildTopicStore(d.doc);
        QCOMPARE(d.doc.topicFolderCount(), 2);
        QCOMPARE(d.doc.topicFolderTable()[0],
                 (QStringList{"Billing", "a.b.rtf", "a.txt", "b.rtf", "notes.TXT"}));
        QCOMPARE(d.doc.topicFolderTable()[1], QStringList{"Empty"});
    }

    // A relative topic root (as "unknown" from a short entry on the topic paths page) lies
    // in the program directory, not wherever the program was started from.
    void relativeRootsLieInTheProgramDirectory()
    {
        Document d(newHome());
        const QTemporaryDir elsewhere;
        const QString started = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        d.doc.setSupportPath(3, u"unknown"_s);
        d.doc.setCurrentPathIndex(3);
        BuildTopicStore(d.doc);
        QDir::setCurrent(started);
        QCOMPARE(d.doc.currentTopicRoot(), d.doc.programDirectory() + u"unknown"_s);
        QVERIFY(QFileInfo(d.doc.currentTopicRoot()).isDir());
        QVERIFY(!QFileInfo::exists(elsewhere.filePath(u"unknown"_s)));
        QCOMPARE(resolveTopicRoot(u"/srv/topics"_s, d.doc.programDirectory()), u"/srv/topics"_s);
    }

    void atMost999FoldersAreShown()
    {
        Document d(newHome());
        for (int i = 0; i < 1001; ++i)
            QVERIFY(
                QDir().mkpath(d.doc.GetSupportPath(0) + u"/f%1"_s.arg(i, 4, 10, QLatin1Char('0'))));
        BuildTopicStore(d.doc);
        QCOMPARE(d.doc.topicFolderCount(), 999);
        QCOMPARE(d.doc.topicFolderTable()[998].first(), u"f0998"_s);
        // The folders beyond the limit land in the last, unused entry.
        QCOMPARE(d.doc.topicFolderTable()[999].first(), u"f1000"_s);
    }

    void randomNamesAndSafeNames()
    {
        QRandomGenerator random(7);
        for (int i = 0; i < 50; ++i) {
            const QString name = randomTopicName(random);
            QCOMPARE(name.size(), 8);
            QVERIFY(name.startsWith(u"temp"_s));
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
