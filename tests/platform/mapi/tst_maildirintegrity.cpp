// Nothing lost, nothing doubled: a re-save never leaves two files (or none) under one unique
// name, files another program left under one name read as one message, stale tmp/ files are
// swept, and a copy or move that fails on a full or read-only disk says why.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QTemporaryDir>
#include <QtTest>
#include <set>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support;Small\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n"
                             "[Store Test/Small]\nPath=@ROOT@/small\n";
const QString kUnique = QStringLiteral("1715000001.M1P9Q1.host");
const QDateTime kDelivered(QDate(2024, 5, 6), QTime(8, 0), Qt::UTC);

QByteArray message(const QByteArray& subject)
{
    return email("From: Ann <ann@example.org>\r\nSubject: " + subject + "\r\n");
}

// Sets a file's access and modification times `hours` back.
bool age(const QString& path, int hours)
{
    const time_t then = time(nullptr) - hours * 3600;
    const utimbuf times{then, then};
    return utime(QFile::encodeName(path).constData(), &times) == 0;
}

// Fills the file system of `dir` until a write fails.
bool fill(const QString& dir)
{
    QFile filler(dir + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    return true;
}

// Replays inotify events of new/ and cur/ on the files they started with, and records the
// fewest and most files that held `unique` after any step (a rename counts as one step).
class NameWatch
{
public:
    NameWatch(const QString& folderDir, const QString& unique)
        : m_unique(unique)
        , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const char* sub : {"new", "cur"}) {
            const QString dir = folderDir + QLatin1Char('/') + QLatin1String(sub);
            const int wd = inotify_add_watch(m_fd, QFile::encodeName(dir).constData(),
                                             IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
            m_dirs[wd] = QLatin1String(sub);
            for (const QString& name : filesIn(dir)) {
                m_files.insert(QLatin1String(sub) + QLatin1Char('/') + name);
            }
        }
        m_least = m_most = holders();
    }
    ~NameWatch() { close(m_fd); }

    void replay()
    {
        std::vector<std::pair<quint32, QString>> events; // mask and file; cookies paired below
        std::vector<quint32> cookies;
        alignas(inotify_event) char buffer[65536];
        ssize_t size = 0;
        while ((size = read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                events.emplace_back(event->mask, m_dirs[event->wd] + QLatin1Char('/') +
                                                     QString::fromUtf8(event->name));
                cookies.push_back(event->cookie);
                p += sizeof(inotify_event) + event->len;
            }
        }
        for (std::size_t i = 0; i < events.size(); ++i) {
            const auto& [mask, file] = events[i];
            if (mask & (IN_CREATE | IN_MOVED_TO)) {
                m_files.insert(file);
            } else if (mask & (IN_DELETE | IN_MOVED_FROM)) {
                m_files.erase(file);
                // A rename within the watched folders arrives as two events of one cookie.
                if ((mask & IN_MOVED_FROM) && i + 1 < events.size() &&
                    (events[i + 1].first & IN_MOVED_TO) && cookies[i + 1] == cookies[i]) {
                    m_files.insert(events[++i].second);
                }
            }
            m_least = std::min(m_least, holders());
            m_most = std::max(m_most, holders());
        }
    }
    int least() const { return m_least; }
    int most() const { return m_most; }

private:
    int holders() const
    {
        return static_cast<int>(
            std::count_if(m_files.begin(), m_files.end(), [this](const QString& f) {
                return f.mid(4).section(QStringLiteral(":2,"), 0, 0) == m_unique;
            }));
    }

    QString m_unique;
    int m_fd;
    std::map<int, QString> m_dirs;
    std::set<QString> m_files;
    int m_least = 0;
    int m_most = 0;
};

} // namespace

class TestMaildirIntegrity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void resaveKeepsOneFile_data();
    void resaveKeepsOneFile();
    void copiesOfOneNameReadAsOne_data();
    void copiesOfOneNameReadAsOne();
    void staleTemporariesSwept();
    void failedCopyExplained_data();
    void failedCopyExplained();

private:
    void logon();
    QStringList subjects(IMAPIFolder* folder, QByteArray* firstId = nullptr);
    QString inbox(const QString& sub) const { return m_root + QLatin1Char('/') + sub; }

    QTemporaryDir m_dir;
    QString m_root; // the Support store, whose Inbox is its root
    QString m_mount;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_support;
};

void TestMaildirIntegrity::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
    m_root = m_dir.filePath(QStringLiteral("support"));
}

void TestMaildirIntegrity::init()
{
    for (const char* store : {"support", "small"}) {
        QDir(m_dir.filePath(QLatin1String(store))).removeRecursively();
        MaildirBuilder(m_dir.filePath(QLatin1String(store)))
            .addFolder(QStringLiteral(".Sent Items"));
    }
}

void TestMaildirIntegrity::logon()
{
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_support = openStore(m_session.get(), 0);
    QVERIFY(m_support);
}

void TestMaildirIntegrity::cleanup()
{
    endSession(&m_session, &m_support);
    if (!m_mount.isEmpty()) {
        umount2(QFile::encodeName(m_mount).constData(), MNT_DETACH);
        m_mount.clear();
    }
}

void TestMaildirIntegrity::cleanupTestCase()
{
    api().MAPIUninitialize();
}

QStringList TestMaildirIntegrity::subjects(IMAPIFolder* folder, QByteArray* firstId)
{
    RowSet rows;
    if (contents(folder, {PR_ENTRYID, PR_SUBJECT}, &rows) != S_OK) {
        return {QStringLiteral("no table")};
    }
    if (firstId && rows.count() > 0) {
        *firstId = binary(findValue(rows.row(0), PR_ENTRYID));
    }
    return texts(rows);
}

void TestMaildirIntegrity::resaveKeepsOneFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("saved");
    QTest::newRow("same flags") << "cur/" + kUnique + ":2,S" << int(MSGFLAG_READ)
                                << "cur/" + kUnique + ":2,S";
    QTest::newRow("flags change") << "cur/" + kUnique + ":2,FS" << 0 << "cur/" + kUnique + ":2,F";
    QTest::newRow("new to cur") << "new/" + kUnique << int(MSGFLAG_READ)
                                << "cur/" + kUnique + ":2,S";
}

void TestMaildirIntegrity::resaveKeepsOneFile()
{
    QFETCH(QString, file);
    QFETCH(int, flags);
    QFETCH(QString, saved);
    MaildirBuilder(m_root).addMessage(QString(), file.left(3), file.mid(4), message("Draft"),
                                      kDelivered);
    logon();
    MapiPtr<IMAPIFolder> folder = openInbox(m_support.get());
    QByteArray id;
    QCOMPARE(subjects(folder.get(), &id), QStringList{QStringLiteral("Draft")});
    MapiPtr<IMessage> draft = openEntry<IMessage>(m_support.get(), id, MAPI_MODIFY);
    QVERIFY(draft);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Edited")).number(PR_MESSAGE_FLAGS, flags);
    QCOMPARE(values.applyTo(draft.get()), S_OK);

    NameWatch watch(m_root, kUnique);
    QCOMPARE(draft->SaveChanges(0), S_OK);
    watch.replay();
    // A stop at any point leaves the old message or the new one, never both and never none.
    QCOMPARE(watch.least(), 1);
    QCOMPARE(watch.most(), 1);
    QVERIFY(QFile::exists(inbox(saved)));
    // Under its unique name the message keeps its entry id.
    QCOMPARE(propBytes(draft.get(), PR_ENTRYID), id);
    QByteArray listed;
    QCOMPARE(subjects(folder.get(), &listed), QStringList{QStringLiteral("Edited")});
    QCOMPARE(listed, id);
}

void TestMaildirIntegrity::copiesOfOneNameReadAsOne_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("stale"); // where the older copy lies
    QTest::newRow("listing, both in cur") << "list"
                                          << "cur/" + kUnique + ":2,";
    QTest::newRow("listing, stale in new") << "list"
                                           << "new/" + kUnique;
    QTest::newRow("delete") << "delete"
                            << "cur/" + kUnique + ":2,";
    QTest::newRow("move") << "move"
                          << "cur/" + kUnique + ":2,";
    QTest::newRow("save") << "save"
                          << "new/" + kUnique;
}

// Two files of one name, as an interrupted save by another program leaves them: the newer is
// the message, the other a stale copy that goes with it.
void TestMaildirIntegrity::copiesOfOneNameReadAsOne()
{
    QFETCH(QString, action);
    QFETCH(QString, stale);
    MaildirBuilder builder(m_root);
    builder.addMessage(QString(), stale.left(3), stale.mid(4), message("Old"), kDelivered);
    QTest::qWait(20); // a later change time for the newer file
    builder.addMessage(QString(), QStringLiteral("cur"), kUnique + QStringLiteral(":2,S"),
                       message("New"), kDelivered);
    logon();
    MapiPtr<IMAPIFolder> folder = openInbox(m_support.get());
    QByteArray id;
    QCOMPARE(subjects(folder.get(), &id), QStringList{QStringLiteral("New")});
    QCOMPARE(subjects(folder.get()), QStringList{QStringLiteral("New")}); // from the index
    QCOMPARE(Props(folder.get(), {PR_CONTENT_COUNT})[0]->Value.l, 1);

    SBinary entry{static_cast<ULONG>(id.size()), reinterpret_cast<LPBYTE>(id.data())};
    ENTRYLIST list{1, &entry};
    MapiPtr<IMAPIFolder> sent = openFolder(m_support.get(), PR_IPM_SENTMAIL_ENTRYID);
    const int files =
        filesIn(inbox(QStringLiteral("cur"))).size() + filesIn(inbox(QStringLiteral("new"))).size();
    if (action == QLatin1String("delete")) {
        QCOMPARE(folder->DeleteMessages(&list, 0, nullptr, 0), S_OK);
        QCOMPARE(subjects(folder.get()), QStringList());
    } else if (action == QLatin1String("move")) {
        QCOMPARE(folder->CopyMessages(&list, nullptr, sent.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
        QCOMPARE(subjects(folder.get()), QStringList());
        QCOMPARE(subjects(sent.get()), QStringList{QStringLiteral("New")});
    } else if (action == QLatin1String("save")) {
        MapiPtr<IMessage> opened = openEntry<IMessage>(m_support.get(), id, MAPI_MODIFY);
        QVERIFY(opened);
        QCOMPARE(opened->SaveChanges(0), S_OK);
        QCOMPARE(filesIn(inbox(QStringLiteral("cur"))).size() +
                     filesIn(inbox(QStringLiteral("new"))).size(),
                 1);
        QCOMPARE(subjects(folder.get()), QStringList{QStringLiteral("New")});
    } else {
        QCOMPARE(files, 2); // reading alone changes nothing
        return;
    }
    if (action != QLatin1String("save")) {
        QCOMPARE(filesIn(inbox(QStringLiteral("cur"))).size() +
                     filesIn(inbox(QStringLiteral("new"))).size(),
                 0);
    }
}

void TestMaildirIntegrity::staleTemporariesSwept()
{
    const QString sentTmp = m_root + QStringLiteral("/.Sent Items/tmp/");
    const QStringList stale = {inbox(QStringLiteral("tmp/stale")),
                               sentTmp + QStringLiteral("stale")};
    const QStringList kept = {inbox(QStringLiteral("tmp/writing")),
                              inbox(QStringLiteral("tmp/a day old")),
                              sentTmp + QStringLiteral("young")};
    for (const QString& path : stale + kept) {
        QVERIFY(writeFile(path, "partial"));
    }
    QVERIFY(QDir().mkpath(inbox(QStringLiteral("tmp/old folder"))));
    for (const QString& path : stale + QStringList{inbox(QStringLiteral("tmp/old folder"))}) {
        QVERIFY(age(path, 37));
    }
    QVERIFY(age(inbox(QStringLiteral("tmp/a day old")), 35));
    logon();
    for (const QString& path : stale) {
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    }
    for (const QString& path : kept + QStringList{inbox(QStringLiteral("tmp/old folder"))}) {
        QVERIFY2(QFile::exists(path), qPrintable(path));
    }
}

void TestMaildirIntegrity::failedCopyExplained_data()
{
    QTest::addColumn<bool>("move");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("oneGone");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<QString>("reason");
    QTest::newRow("copy, disk full")
        << false << false << false << MAPI_E_NOT_ENOUGH_DISK << "the disk is full";
    QTest::newRow("move, disk full")
        << true << false << false << MAPI_E_NOT_ENOUGH_DISK << "the disk is full";
    QTest::newRow("copy, read-only") << false << true << false << MAPI_E_NO_ACCESS << "read-only";
    QTest::newRow("partly done") << true << false << true << MAPI_W_PARTIAL_COMPLETION
                                 << "the disk is full";
}

// The other store lies on a small tmpfs; mounting needs root, so elsewhere this is skipped.
void TestMaildirIntegrity::failedCopyExplained()
{
    QFETCH(bool, move);
    QFETCH(bool, readOnly);
    QFETCH(bool, oneGone);
    QFETCH(HRESULT, result);
    QFETCH(QString, reason);
    const QString small = m_dir.filePath(QStringLiteral("small"));
    if (mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=256k") != 0) {
        QSKIP("a tmpfs cannot be mounted here (needs root)");
    }
    m_mount = small;
    MaildirBuilder(small).addFolder(QStringLiteral(".Sent Items"));
    if (readOnly) {
        QCOMPARE(mount(nullptr, QFile::encodeName(small).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr),
                 0);
    } else {
        QVERIFY(fill(small));
    }
    MaildirBuilder builder(m_root);
    builder.addMessage(QString(), QStringLiteral("cur"), kUnique + QStringLiteral(":2,S"),
                       message("Kept"), kDelivered);
    logon();
    MapiPtr<IMsgStore> other = openStore(m_session.get(), 1);
    QVERIFY(other);
    MapiPtr<IMAPIFolder> inboxFolder = openInbox(m_support.get());
    MapiPtr<IMAPIFolder> sent = openFolder(other.get(), PR_IPM_SENTMAIL_ENTRYID);
    QVERIFY(sent);
    QByteArray id;
    QCOMPARE(subjects(inboxFolder.get(), &id), QStringList{QStringLiteral("Kept")});
    QByteArray gone = id;
    gone.replace(kUnique.toLatin1(), "1715000009.M9P9Q9.host");
    SBinary entries[] = {{static_cast<ULONG>(id.size()), reinterpret_cast<LPBYTE>(id.data())},
                         {static_cast<ULONG>(gone.size()), reinterpret_cast<LPBYTE>(gone.data())}};
    ENTRYLIST list{oneGone ? 2u : 1u, entries};

    const HRESULT hr =
        inboxFolder->CopyMessages(&list, nullptr, sent.get(), 0, nullptr, move ? MESSAGE_MOVE : 0);
    QCOMPARE(hr, result);
    Buffer<MAPIERROR> error;
    QCOMPARE(inboxFolder->GetLastError(hr, 0, error.put()), S_OK);
    QVERIFY(error.get());
    const QString why = QString::fromUtf8(error.get()->lpszError);
    QVERIFY2(why.contains(reason) && why.contains(QStringLiteral("\"Sent Items\"")),
             qPrintable(why));
    QVERIFY2(why.contains(oneGone ? QStringLiteral("2 of 2") : QStringLiteral("1 of 1")),
             qPrintable(why));
    // Only the failure it was asked about has a reason.
    QCOMPARE(inboxFolder->GetLastError(MAPI_E_CALL_FAILED, 0, error.put()), S_OK);
    QVERIFY(!error.get());
    // Nothing lost, and nothing half-written left behind.
    QCOMPARE(subjects(inboxFolder.get()), QStringList{QStringLiteral("Kept")});
    QCOMPARE(filesIn(small + QStringLiteral("/.Sent Items/cur")), QStringList());
    QCOMPARE(filesIn(small + QStringLiteral("/.Sent Items/tmp")), QStringList());
}

QTEST_GUILESS_MAIN(TestMaildirIntegrity)
#include "tst_maildirintegrity.moc"
