#include "../platform/fileio/FaultTestUtil.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Runs `read` and fails the test when it blocks: after a while a writer opens and closes
// the named pipe at `pipe`, so that a read stuck on it ends.
template<typename Read>
bool endsWithoutBlocking(const QByteArray& pipe, Read read)
{
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
        return true;
    const int writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
    done.wait();
    return false;
}

// The bytes of the file at the native path `file`, bypassing the name conversion.
QByteArray nativeContents(const QByteArray& file)
{
    char bytes[64] = {};
    const int fd = ::open(file.constData(), O_RDONLY);
    const ssize_t size = fd >= 0 ? ::read(fd, bytes, sizeof bytes) : -1;
    if (fd >= 0)
        ::close(fd);
    return size < 0 ? QByteArray("<unreadable>") : QByteArray(bytes, size);
}

} // namespace

class TestTextFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    void put(const QString& name, const QByteArray& bytes)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QString read(const QString& name)
    {
        QString text;
        return ReadTextFile(path(name), text) == ReadSuccess ? text : u"<unread>"_s;
    }

private Q_SLOTS:
    void writeReplacesTheWholeFile()
    {
        put(u"topic.txt"_s, "an older and much longer text");
        QVERIFY(WriteTextFile(path(u"topic.txt"_s), u"short é"_s));
        QFile file(path(u"topic.txt"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("short \xc3\xa9"));
    }

    // A save that cannot complete fails, says why when it can, keeps the old text and
    // leaves nothing half-written behind.
    void failedWritesKeepTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("room"); // bytes the disk takes; -1 for no limit
        QTest::addColumn<QString>("reason");
        const QString full = u"larger than the disk"_s;
        QTest::newRow("empty text") << u"keep.txt"_s << 0 << -1 << QString();
        QTest::newRow("a folder in the way") << u"dir.txt"_s << 4 << -1 << QString();
        QTest::newRow("no such folder") << u"no/such/folder.txt"_s << 1 << -1 << QString();
        QTest::newRow("no room for a short text") << u"keep.txt"_s << 10 << 0 << full;
        QTest::newRow("room for part of the text") << u"keep.txt"_s << 4000 << 1000 << full;
    }
    void failedWritesKeepTheOldFile()
    {
        QFETCH(QString, name);
        QFETCH(int, length);
        QFETCH(int, room);
        QFETCH(QString, reason);
        put(u"keep.txt"_s, "precious");
        QVERIFY(QDir(m_dir.path()).mkpath(u"dir.txt"_s));
        QString error;
        bool written = true;
        {
            std::optional<faulttest::FileSizeLimit> limit;
            if (room >= 0)
                limit.emplace(rlim_t(room));
            written = WriteTextFile(path(name), QString(length, u'x'), &error);
        }
        QVERIFY(!written);
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(read(u"keep.txt"_s), u"precious"_s);
        for (const QString& left : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!left.contains(u".tmp"_s) && !left.startsWith(u'.'), qPrintable(left));
    }

    // What a read returns, whole or for a box of ten characters (taking no more of a long
    // file than they need), and whether the probe sees rich text in the same bytes.
    void readAndProbe_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        const auto whole = [](const char* tag, const QByteArray& bytes, int result,
                              const QString& text) {
            QTest::newRow(tag) << bytes << kWholeFile << result << text << false;
        };
        const auto ten = [](const char* tag, const QByteArray& bytes, const QString& text,
                            bool cut) {
            QTest::addRow("ten characters, %s", tag)
                << bytes << qsizetype(10) << int(ReadSuccess) << text << cut;
        };
        whole("plain", "Hello\r\nworld", ReadSuccess, u"Hello\r\nworld"_s);
        whole("empty file", {}, ReadFailed, {});
        whole("starts with NUL", QByteArray("\0abc", 4), ReadNoText, {});
        whole("text ends at NUL", QByteArray("ab\0cd", 5), ReadSuccess, u"ab"_s);
        whole("legacy bytes", "na\xefve \x96 ok", ReadSuccess, u"naïve \u2013 ok"_s);
        whole("utf-8", "\xe2\x80\x9cq\xe2\x80\x9d", ReadSuccess, u"\u201Cq\u201D"_s);
        whole("rich text", "{\\rtf1\\ansi hi}", ReadSuccess, u"{\\rtf1\\ansi hi}"_s);
        whole("just the rich marker", "{\\rtf", ReadSuccess, u"{\\rtf"_s);
        whole("marker too short", "{\\rt", ReadSuccess, u"{\\rt"_s);
        whole("marker in upper case", "{\\RTF1", ReadSuccess, u"{\\RTF1"_s);
        ten("fits exactly", "0123456789", u"0123456789"_s, false);
        ten("plain, cut", "0123456789abc", u"0123456789"_s, true);
        ten("ends at NUL first", QByteArray("short\0and a long tail of text", 29), u"short"_s,
            false);
        // 40 bytes read end inside the tenth emoji; ten characters end inside the fifth.
        const QByteArray emoji("\xf0\x9f\x98\x80");
        ten("UTF-8 sequence not split", "a" + emoji.repeated(12),
            u'a' + QString::fromUtf8(emoji.repeated(4)), true);
        ten("legacy bytes", "caf\xe9 caf\xe9 caf\xe9", u"caf\u00e9 caf\u00e9 "_s, true);
        ten("rich text, markup counted", "{\\rtf1 {\\b Hi}}", u"{\\rtf1 {\\b"_s, true);
    }
    void readAndProbe()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, limit);
        QFETCH(int, result);
        QFETCH(QString, text);
        QFETCH(bool, cut);
        put(u"read.txt"_s, bytes);
        QString read = u"unchanged"_s;
        bool wasCut = !cut;
        QCOMPARE(ReadTextFile(path(u"read.txt"_s), read, limit, &wasCut), result);
        QCOMPARE(read, result == ReadSuccess ? text : u"unchanged"_s);
        if (result == ReadSuccess)
            QCOMPARE(wasCut, cut);
        // The probe fails only for an empty file; the marker is "{\rtf", case and all.
        bool rich = false;
        QCOMPARE(ProbeRichTextFile(path(u"read.txt"_s), rich), bytes.isEmpty() ? 0 : 1);
        QCOMPARE(rich, bytes.startsWith("{\\rtf"));
    }

    // Only regular files are opened: a named pipe would hang the read, a device never end.
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("result");
        for (const char* kind : {"missing", "folder", "pipe", "link to pipe", "device"})
            QTest::newRow(kind) << QString::fromLatin1(kind) << int(ReadCannotOpen);
        QTest::newRow("link to file") << u"link to file"_s << int(ReadSuccess);
    }
    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QFETCH(int, result);
        const QTemporaryDir dir;
        const QByteArray pipe = QFile::encodeName(dir.filePath(u"pipe.txt"_s));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        const QString file = dir.filePath(u"file.txt"_s);
        QVERIFY(WriteTextFile(file, u"{\\rtf1 x}"_s));
        QString path = dir.filePath(u"topic.txt"_s);
        if (kind == u"folder")
            QVERIFY(QDir(dir.path()).mkdir(u"topic.txt"_s));
        else if (kind == u"pipe")
            path = QFile::decodeName(pipe);
        else if (kind == u"link to pipe")
            QVERIFY(QFile::link(QFile::decodeName(pipe), path));
        else if (kind == u"link to file")
            QVERIFY(QFile::link(file, path));
        else if (kind == u"device")
            path = u"/dev/zero"_s;
        QString text;
        int read = 0;
        QVERIFY(endsWithoutBlocking(pipe, [&] { read = ReadTextFile(path, text); }));
        QCOMPARE(read, result);
        bool rich = false;
        int probed = -1;
        QVERIFY(endsWithoutBlocking(pipe, [&] { probed = ProbeRichTextFile(path, rich); }));
        QCOMPARE(probed, result == ReadSuccess ? 1 : 0);
        QCOMPARE(rich, result == ReadSuccess);
    }

    // Names are bytes: those that are not UTF-8 come back as the same bytes.
    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("native");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ASCII") << QByteArray("reply.txt") << true;
        QTest::newRow("UTF-8") << QByteArray("r\xc3\xa9ponse \xf0\x9f\x98\x80.txt") << true;
        QTest::newRow("Latin-1") << QByteArray("r\xe9ponse.txt") << false;
        QTest::newRow("encoded surrogate") << QByteArray("a\xed\xa0\x80.txt") << false;
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf.txt") << false;
        QTest::newRow("sequence cut at the end") << QByteArray("a\xe2\x82") << false;
        QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    }
    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, native);
        QFETCH(bool, utf8);
        const QString name = fileNameFromNative(native);
        QCOMPARE(nativeFileName(name), native);
        if (utf8)
            QCOMPARE(name, QString::fromUtf8(native));
        // The file of that name is the one read.
        const QByteArray file = QFile::encodeName(m_dir.path()) + '/' + native;
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "named", 5), ssize_t(5));
        ::close(fd);
        QCOMPARE(read(name), u"named"_s);
        // And the file written back under that name is the same file, not a look-alike.
        QVERIFY(WriteTextFile(path(name), u"saved"_s));
        QCOMPARE(nativeContents(file), QByteArray("saved"));
        if (!utf8)
            QVERIFY(!QFile::exists(path(name)));
        ::unlink(file.constData());
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
