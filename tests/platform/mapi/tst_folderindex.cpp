// The per-folder summary index: rows it gives match a plain parse of the Maildir, changes made
// behind its back are seen on the next open, and a damaged or unusable cache never costs rows.
#include "MapiFixture.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mapitest;

namespace {

const QDateTime kBase(QDate(2024, 5, 6), QTime(8, 0), Qt::UTC);

const ULONG kColumns[] = {PR_ENTRYID,
                          PR_SUBJECT,
                          PR_SENT_REPRESENTING_NAME,
                          PR_SENT_REPRESENTING_EMAIL_ADDRESS,
                          PR_SENDER_NAME,
                          PR_SENDER_EMAIL_ADDRESS,
                          PR_DISPLAY_TO,
                          PR_DISPLAY_CC,
                          PR_CLIENT_SUBMIT_TIME,
                          PR_MESSAGE_DELIVERY_TIME,
                          PR_MESSAGE_SIZE,
                          PR_MESSAGE_FLAGS,
                          PR_IMPORTANCE,
                          PR_HASATTACH};

const QByteArray kWithAttachment =
    "From: Ann <ann@example.org>\r\nTo: help@example.com\r\nCc: Bob <bob@example.org>\r\n"
    "Subject: Log attached\r\nDate: Mon, 06 May 2024 07:00:00 +0200\r\nX-Priority: 1\r\n"
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nSee log.\r\n"
    "--b\r\nContent-Type: text/plain; name=log.txt\r\nContent-Disposition: attachment\r\n\r\n"
    "line\r\n--b--\r\n";

QByteArray message(const QByteArray& subject)
{
    return email("From: Dee <dee@example.org>\r\nSender: Desk <desk@example.com>\r\n"
                 "To: help@example.com\r\nSubject: " +
                 subject + "\r\n");
}

QString describe(const SPropValue& v)
{
    switch (PROP_TYPE(v.ulPropTag)) {
    case PT_STRING8:
        return QString::fromUtf8(v.Value.lpszA);
    case PT_BINARY:
        return QString::fromLatin1(binary(&v).toHex());
    case PT_SYSTIME:
        return QString::number(fileTime(&v));
    case PT_BOOLEAN:
        return v.Value.b ? QStringLiteral("true") : QStringLiteral("false");
    case PT_LONG:
        return QString::number(v.Value.l);
    default:
        return QStringLiteral("none");
    }
}

// Writes `content` at a path given as raw bytes (names need not be UTF-8).
bool writeRaw(const QByteArray& path, const QByteArray& content, const QDateTime& delivered)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok =
        ::write(fd, content.constData(), static_cast<size_t>(content.size())) == content.size();
    ::close(fd);
    const utimbuf times{delivered.toSecsSinceEpoch(), delivered.toSecsSinceEpoch()};
    return ok && utime(path.constData(), &times) == 0;
}

// Rewrites a file in place (same inode). With `keepStamp` the size and modification time stay
// too, so nothing but the bytes tells it changed.
bool overwriteInPlace(const QString& path, const QByteArray& content, bool keepStamp)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat before
    {};
    if (::stat(native.constData(), &before) != 0 ||
        (keepStamp && before.st_size != content.size())) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) ||
        file.write(content) != content.size()) {
        return false;
    }
    file.close();
    if (!keepStamp) {
        // A second apart from the old time, whatever the file system's time resolution.
        const timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, 0}};
        return utimensat(AT_FDCWD, native.constData(), later, 0) == 0;
    }
    const timespec same[2] = {before.st_atim, before.st_mtim};
    return utimensat(AT_FDCWD, native.constData(), same, 0) == 0;
}

// Bytes this process has read so far: a message parsed again shows up in full.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:")) {
            return line.mid(6).trimmed().toLongLong();
        }
    }
    return -1;
}

} // namespace

class TestFolderIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void sameRowsAsParsing();
    void rowsMatchOpenedMessages();
    void rewrittenFilesParsedAgain_data();
    void rewrittenFilesParsedAgain();
    void changesSeenOnNextOpen_data();
    void changesSeenOnNextOpen();
    void damagedIndexRebuilt_data();
    void damagedIndexRebuilt();
    void unusableCacheStillGivesRows_data();
    void unusableCacheStillGivesRows();
    void twoTablesOnOneFolder();
    void oddNames_data();
    void oddNames();

private:
    void logon(MapiPtr<IMAPISession>* session, MapiPtr<IMsgStore>* store);
    QStringList rows(IMsgStore* store = nullptr);
    QStringList parsedRows();
    QString indexFile() const;
    QString inboxFile(const QString& sub, const QString& name) const;
    void addInbox(const QString& sub, const QString& name, const QByteArray& content, int minutes);
    int addLarge();

    QTemporaryDir m_dir;
    QString m_root;
    QString m_cache;
    int m_caseNumber = 0;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestFolderIndex::initTestCase()
{
    QVERIFY(library().isLoaded());
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    QVERIFY(m_dir.isValid());
    QVERIFY(installProfiles(m_dir.path(), "[Profile Test]\nStores=Mail\n"
                                          "[Store Test/Mail]\nPath=@ROOT@/Maildir\n"));
}

// Every case gets its own Maildir and its own, empty cache.
void TestFolderIndex::init()
{
    ++m_caseNumber;
    QDir(m_dir.filePath(QStringLiteral("Maildir"))).removeRecursively();
    m_root = m_dir.filePath(QStringLiteral("Maildir"));
    MaildirBuilder builder(m_root);
    m_cache = m_dir.filePath(QStringLiteral("cache%1").arg(m_caseNumber));
    qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(m_cache));
    addInbox(QStringLiteral("new"), QStringLiteral("1715000001.M1P9Q1.host"), kWithAttachment, 1);
    addInbox(QStringLiteral("cur"), QStringLiteral("1715000002.M2P9Q2.host:2,S"),
             message("Printer jams"), 2);
    addInbox(QStringLiteral("cur"), QStringLiteral("1715000003.M3P9Q3.host,S=99:2,FRS"),
             email("From: zed@example.com\r\nSubject: =?UTF-8?B?R3LDvMOfZQ==?=\r\n"
                   "Importance: low\r\n"),
             3);
    addInbox(QStringLiteral("cur"), QStringLiteral("1715000004.M4P9Q4.host:2,"), QByteArray(), 4);
    addInbox(QStringLiteral("new"), QStringLiteral("1715000005.M5P9Q5.host"),
             "\x01\xFF not a message", 5);
    logon(&m_session, &m_store);
}

void TestFolderIndex::cleanup()
{
    endSession(&m_session, &m_store);
}

void TestFolderIndex::cleanupTestCase()
{
    qunsetenv("VANTREL_MAPI_CACHE");
    api().MAPIUninitialize();
}

void TestFolderIndex::logon(MapiPtr<IMAPISession>* session, MapiPtr<IMsgStore>* store)
{
    QCOMPARE(newSession("Test", session), S_OK);
    *store = openStore(session->get());
    QVERIFY(*store);
}

// The Inbox's rows, one line of every column each, sorted: listing order is not part of it.
QStringList TestFolderIndex::rows(IMsgStore* store)
{
    MapiPtr<IMAPIFolder> inbox = openInbox(store ? store : m_store.get());
    MapiPtr<IMAPITable> table;
    RowSet set;
    QStringList out;
    if (!inbox || FAILED(inbox->GetContentsTable(0, table.put()))) {
        return {QStringLiteral("failed to open")};
    }
    std::vector<ULONG> raw{static_cast<ULONG>(std::size(kColumns))};
    raw.insert(raw.end(), std::begin(kColumns), std::end(kColumns));
    if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(raw.data()), 0)) ||
        FAILED(table->QueryRows(0x0FFFFFFF, 0, set.put()))) {
        return {QStringLiteral("failed to read")};
    }
    for (ULONG i = 0; i < set.count(); ++i) {
        QStringList values;
        for (ULONG c = 0; c < set.row(i).cValues; ++c) {
            values << describe(set.row(i).lpProps[c]);
        }
        out << values.join(QLatin1Char('|'));
    }
    out.sort();
    return out;
}

// The same rows read without any index: the cache lies under a plain file.
QStringList TestFolderIndex::parsedRows()
{
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    writeFile(blocker, "x");
    qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(blocker + QStringLiteral("/cache")));
    QStringList parsed = rows();
    qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(m_cache));
    return parsed;
}

QString TestFolderIndex::indexFile() const
{
    QDirIterator it(m_cache, {QStringLiteral("*.db")}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

QString TestFolderIndex::inboxFile(const QString& sub, const QString& name) const
{
    return m_root + QLatin1Char('/') + sub + QLatin1Char('/') + name;
}

void TestFolderIndex::addInbox(const QString& sub, const QString& name, const QByteArray& content,
                               int minutes)
{
    QVERIFY(
        writeRaw(QFile::encodeName(inboxFile(sub, name)), content, kBase.addSecs(60 * minutes)));
}

// A message of 2 MB, whose parse the bytes read show; returns its size.
int TestFolderIndex::addLarge()
{
    const QByteArray content = email("From: Big <big@example.org>\r\nSubject: Large\r\n",
                                     QByteArray(2 * 1024 * 1024, 'x'));
    addInbox(QStringLiteral("cur"), QStringLiteral("1715000006.M6P9Q6.host:2,S"), content, 6);
    return static_cast<int>(content.size());
}

void TestFolderIndex::sameRowsAsParsing()
{
    const QStringList parsed = parsedRows();
    QCOMPARE(parsed.size(), 5);
    QVERIFY(indexFile().isEmpty());
    QCOMPARE(rows(), parsed); // cold: builds the index
    QVERIFY(!indexFile().isEmpty());
    QCOMPARE(rows(), parsed); // warm: from the index

    // The file lies in a folder named after the store's record key.
    QCOMPARE(QFileInfo(indexFile()).dir().dirName(),
             QString::fromLatin1(binary(Props(m_store.get(), {PR_RECORD_KEY})[0]).toHex()));
}

// Rows are built apart from the message objects; both must give the same values.
void TestFolderIndex::rowsMatchOpenedMessages()
{
    for (int pass = 0; pass < 2; ++pass) { // cold, then from the index
        const QStringList lines = rows();
        QCOMPARE(lines.size(), 5);
        for (const QString& line : lines) {
            const QByteArray id =
                QByteArray::fromHex(line.section(QLatin1Char('|'), 0, 0).toLatin1());
            MapiPtr<IMessage> message = openEntry<IMessage>(m_store.get(), id, 0);
            QVERIFY(message);
            std::vector<ULONG> raw{static_cast<ULONG>(std::size(kColumns))};
            raw.insert(raw.end(), std::begin(kColumns), std::end(kColumns));
            Buffer<SPropValue> props;
            ULONG count = 0;
            QVERIFY(SUCCEEDED(message->GetProps(reinterpret_cast<LPSPropTagArray>(raw.data()), 0,
                                                &count, props.put())));
            QStringList values;
            for (ULONG i = 0; i < count; ++i) {
                values << describe(props.get()[i]);
            }
            QCOMPARE(values.join(QLatin1Char('|')), line);
        }
    }
}

void TestFolderIndex::rewrittenFilesParsedAgain_data()
{
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<bool>("keepStamp");
    // In place, as an editor or a repair tool writes: same inode, new size and time, or even
    // the old size and time set back.
    QTest::newRow("in place, other size") << QByteArray("Edited in place") << true << false;
    QTest::newRow("in place, same size") << QByteArray("Printer fine") << true << false;
    QTest::newRow("in place, same size and time") << QByteArray("Printer jamz") << true << true;
    // Written anew under the same name, as a saved draft is: a new inode.
    QTest::newRow("anew") << QByteArray("Saved again") << false << false;
}

void TestFolderIndex::rewrittenFilesParsedAgain()
{
    QFETCH(QByteArray, subject);
    QFETCH(bool, inPlace);
    QFETCH(bool, keepStamp);
    const QString path =
        inboxFile(QStringLiteral("cur"), QStringLiteral("1715000002.M2P9Q2.host:2,S"));
    rows();
    if (inPlace) {
        QVERIFY(overwriteInPlace(path, message(subject), keepStamp));
    } else {
        const QString tmp = m_root + QStringLiteral("/tmp/draft");
        QVERIFY(writeFile(tmp, message(subject)));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(tmp, path));
    }
    const QStringList after = rows();
    QVERIFY(after.join(QLatin1Char('\n')).contains(QString::fromUtf8(subject)));
    QCOMPARE(after, parsedRows());
}

void TestFolderIndex::changesSeenOnNextOpen_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("count");
    // An empty "from" adds a message, an empty "to" deletes one; otherwise the file is renamed.
    QTest::newRow("new file") << QString() << QStringLiteral("new/1715000009.M9P9Q9.host") << 6;
    QTest::newRow("deleted file") << QStringLiteral("cur/1715000002.M2P9Q2.host:2,S") << QString()
                                  << 4;
    QTest::newRow("flag rename") << QStringLiteral("cur/1715000002.M2P9Q2.host:2,S")
                                 << QStringLiteral("cur/1715000002.M2P9Q2.host:2,DS") << 5;
    QTest::newRow("seen cleared") << QStringLiteral("cur/1715000003.M3P9Q3.host,S=99:2,FRS")
                                  << QStringLiteral("cur/1715000003.M3P9Q3.host,S=99:2,F") << 5;
    QTest::newRow("new to cur") << QStringLiteral("new/1715000001.M1P9Q1.host")
                                << QStringLiteral("cur/1715000001.M1P9Q1.host:2,S") << 5;
}

void TestFolderIndex::changesSeenOnNextOpen()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, count);
    const QStringList before = rows();
    if (from.isEmpty()) {
        QVERIFY(writeFile(m_root + QLatin1Char('/') + to, message("Arrived later")));
    } else if (to.isEmpty()) {
        QVERIFY(QFile::remove(m_root + QLatin1Char('/') + from));
    } else {
        QVERIFY(QFile::rename(m_root + QLatin1Char('/') + from, m_root + QLatin1Char('/') + to));
    }
    const QStringList after = rows();
    QCOMPARE(after.size(), count);
    QVERIFY(after != before);
    QCOMPARE(after, parsedRows());
    QCOMPARE(rows(), after); // and the index now holds the change
}

void TestFolderIndex::damagedIndexRebuilt_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("deleted") << QStringLiteral("delete");
    QTest::newRow("emptied") << QStringLiteral("empty");
    QTest::newRow("garbage bytes") << QStringLiteral("garbage");
    QTest::newRow("garbage after header") << QStringLiteral("pages");
    QTest::newRow("other schema version") << QStringLiteral("version");
}

void TestFolderIndex::damagedIndexRebuilt()
{
    QFETCH(QString, damage);
    const QString path =
        inboxFile(QStringLiteral("cur"), QStringLiteral("1715000002.M2P9Q2.host:2,S"));
    const int large = addLarge();
    rows();
    const QString index = indexFile();
    QVERIFY(!index.isEmpty());
    QVERIFY(overwriteInPlace(path, message("Seen rebuilt"), true));
    QFile file(index);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 4096);
    if (damage == QLatin1String("delete") || damage == QLatin1String("empty")) {
        bytes.clear();
    } else if (damage == QLatin1String("garbage")) {
        bytes.fill('\xA5');
    } else if (damage == QLatin1String("pages")) {
        std::fill(bytes.begin() + 100, bytes.end(), '\x5A');
    } else {
        bytes[60] = 0; // user_version, big-endian at offset 60 of the header
        bytes[63] = 42;
    }
    file.resize(0);
    file.seek(0);
    file.write(bytes);
    file.close();
    if (damage == QLatin1String("delete")) {
        QVERIFY(QFile::remove(index));
    }
    // Not trusted: every file parsed again...
    qint64 before = bytesRead();
    const QStringList after = rows();
    QVERIFY(bytesRead() - before >= large);
    QVERIFY(after.join(QLatin1Char('\n')).contains(QStringLiteral("Seen rebuilt")));
    QCOMPARE(after, parsedRows());
    QCOMPARE(indexFile(), index);
    // ...into an index that works again.
    before = bytesRead();
    QCOMPARE(rows(), after);
    QVERIFY(bytesRead() - before < large / 4);
}

void TestFolderIndex::unusableCacheStillGivesRows_data()
{
    QTest::addColumn<QString>("cache");
    QTest::newRow("below a file") << QStringLiteral("blocker/cache");
    QTest::newRow("index path is a folder") << QStringLiteral("dir");
}

void TestFolderIndex::unusableCacheStillGivesRows()
{
    QFETCH(QString, cache);
    const QStringList expected = rows(); // with a working cache
    QCOMPARE(expected.size(), 5);
    if (cache == QLatin1String("dir")) {
        // Every index file name taken by a folder: the file can neither open nor be deleted.
        const QString index = indexFile();
        QVERIFY(QFile::remove(index));
        QVERIFY(QDir().mkpath(index + QStringLiteral("/x")));
    } else {
        writeFile(m_dir.filePath(QStringLiteral("blocker")), "x");
        m_cache = m_dir.filePath(cache);
        qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(m_cache));
    }
    QCOMPARE(rows(), expected);
    QCOMPARE(rows(), expected);
}

void TestFolderIndex::twoTablesOnOneFolder()
{
    MapiPtr<IMAPISession> otherSession;
    MapiPtr<IMsgStore> otherStore;
    logon(&otherSession, &otherStore);
    const QStringList first = rows();
    addInbox(QStringLiteral("new"), QStringLiteral("1715000010.M10P9Q10.host"), message("Later"),
             9);
    const QStringList second = rows(otherStore.get());
    QCOMPARE(second.size(), first.size() + 1);
    QCOMPARE(rows(), second);
    QCOMPARE(rows(otherStore.get()), second);
    otherStore.reset();
    otherSession->Logoff(0, 0, 0);
}

void TestFolderIndex::oddNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("spaces and quotes") << QByteArray("1715000020.M1 'q' \"d\".host:2,S");
    QTest::newRow("non-ASCII") << QByteArray("1715000021.M1.h\xC3\xB6st:2,S");
    QTest::newRow("not UTF-8") << QByteArray("1715000022.M1.h\xF6st\xFF:2,S");
    QTest::newRow("escaped host") << QByteArray("1715000023.M1.a\\057b\\072c,S=10,W=12:2,S");
    QTest::newRow("colon without info") << QByteArray("1715000024.M1.host:1,xyz");
    QTest::newRow("SQL quoting") << QByteArray("1715000025.M1');DROP TABLE summary;--:2,");
    QTest::newRow("percent and underscore") << QByteArray("1715000026.M1%_%.host");
    QTest::newRow("long") << QByteArray("1715000027.") + QByteArray(200, 'n') + ":2,S";
}

void TestFolderIndex::oddNames()
{
    QFETCH(QByteArray, name);
    const QByteArray path = QFile::encodeName(m_root) + "/cur/" + name;
    const auto removeRaw = qScopeGuard([&path] { ::unlink(path.constData()); }); // QDir cannot
    QVERIFY(writeRaw(path, message("Odd name"), kBase));
    const QStringList cold = rows();
    QCOMPARE(cold.size(), 6);
    QCOMPARE(rows(), cold);
    QCOMPARE(cold, parsedRows());
    // The entry id found through the index opens the message.
    RowSet set;
    QCOMPARE(contents(openInbox(m_store.get()).get(), {PR_ENTRYID, PR_SUBJECT}, &set), S_OK);
    QCOMPARE(texts(set).count(QStringLiteral("Odd name")), 1);
    QVERIFY(openEntry(m_store.get(), bytesWhere(set, PR_SUBJECT, QStringLiteral("Odd name")), 0));
}

QTEST_GUILESS_MAIN(TestFolderIndex)
#include "tst_folderindex.moc"
