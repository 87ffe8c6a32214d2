#include "../platform/fileio/FaultTestUtil.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

private Q_SLOTS:
    void writeReplacesTheWholeFile()
    {
        put(QStringLiteral("topic.txt"), "an older and much longer text");
        QVERIFY(WriteTextFile(path(QStringLiteral("topic.txt")), QStringLiteral("short é")));
        QFile file(path(QStringLiteral("topic.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("short \xc3\xa9"));
    }

    void emptyTextOrAnUnwritablePlaceFailsAndKeepsTheOldFile()
    {
        put(QStringLiteral("keep.txt"), "precious");
        QVERIFY(!WriteTextFile(path(QStringLiteral("keep.txt")), QString()));
        // A directory in the way: the write fails and nothing is left half-written.
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("dir.txt")));
        QVERIFY(!WriteTextFile(path(QStringLiteral("dir.txt")), QStringLiteral("text")));
        QVERIFY(!WriteTextFile(path(QStringLiteral("no/such/folder.txt")), QStringLiteral("x")));
        QString text;
        QCOMPARE(ReadTextFile(path(QStringLiteral("keep.txt")), text), int(ReadSuccess));
        QCOMPARE(text, QStringLiteral("precious"));
        const QStringList leftovers = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : leftovers)
            QVERIFY2(!name.contains(QStringLiteral(".tmp")) && !name.startsWith(u'.'),
                     qPrintable(name));
    }

    // A disk that fills up during the save: the old text stays and the caller hears why.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("room");
        QTest::addColumn<int>("length");
        QTest::newRow("no room for a short text") << 0 << 10;
        QTest::newRow("room for part of the text") << 1000 << 4000;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(int, room);
        QFETCH(int, length);
        put(QStringLiteral("full.txt"), "precious");
        QString error;
        bool written = true;
        {
            const faulttest::FileSizeLimit limit{rlim_t(room)};
            written =
                WriteTextFile(path(QStringLiteral("full.txt")), QString(length, u'x'), &error);
        }
        QVERIFY(!written);
        QVERIFY2(error.contains(QLatin1String("larger than the disk")), qPrintable(error));
        QString text;
        QCOMPARE(ReadTextFile(path(QStringLiteral("full.txt")), text), int(ReadSuccess));
        QCOMPARE(text, QStringLiteral("precious"));
    }

    void readResultCodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("Hello\r\nworld") << int(ReadSuccess)
                               << QStringLiteral("Hello\r\nworld");
        QTest::newRow("empty file") << QByteArray() << int(ReadFailed) << QString();
        QTest::newRow("starts with NUL") << QByteArray("\0abc", 4) << int(ReadNoText) << QString();
        QTest::newRow("text ends at NUL")
            << QByteArray("ab\0cd", 5) << int(ReadSuccess) << QStringLiteral("ab");
        QTest::newRow("legacy bytes") << QByteArray("na\xefve \x96 ok") << int(ReadSuccess)
                                      << QString::fromUtf16(u"naïve \u2013 ok");
        QTest::newRow("utf-8") << QByteArray("\xe2\x80\x9cq\xe2\x80\x9d") << int(ReadSuccess)
                               << QString::fromUtf16(u"\u201Cq\u201D");
    }
    void readResultCodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(QString, text);
        put(QStringLiteral("read.txt"), bytes);
        QString read = QStringLiteral("unchanged");
        QCOMPARE(ReadTextFile(path(QStringLiteral("read.txt")), read), result);
        QCOMPARE(read, result == ReadSuccess ? text : QStringLiteral("unchanged"));
    }

    // Only regular files are opened: a named pipe would hang the read, a device never end.
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("missing") << "missing" << int(ReadCannotOpen);
        QTest::newRow("folder") << "folder" << int(ReadCannotOpen);
        QTest::newRow("named pipe") << "pipe" << int(ReadCannotOpen);
        QTest::newRow("link to a named pipe") << "link to pipe" << int(ReadCannotOpen);
        QTest::newRow("socket") << "socket" << int(ReadCannotOpen);
        QTest::newRow("device") << "device" << int(ReadCannotOpen);
        QTest::newRow("link to a file") << "link to file" << int(ReadSuccess);
    }
    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QFETCH(int, result);
        const QTemporaryDir dir;
        const QByteArray pipe = QFile::encodeName(dir.filePath(QStringLiteral("pipe.txt")));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        const QString file = dir.filePath(QStringLiteral("file.txt"));
        QVERIFY(WriteTextFile(file, QStringLiteral("{\\rtf1 x}")));
        QString path = dir.filePath(QStringLiteral("topic.txt"));
        if (kind == u"folder")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("topic.txt")));
        else if (kind == u"pipe")
            path = QFile::decodeName(pipe);
        else if (kind == u"link to pipe")
            QVERIFY(QFile::link(QFile::decodeName(pipe), path));
        else if (kind == u"link to file")
            QVERIFY(QFile::link(file, path));
        else if (kind == u"device")
            path = QStringLiteral("/dev/zero");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketName = QFile::encodeName(path);
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (kind == u"socket") {
            QVERIFY(size_t(socketName.size()) < sizeof address.sun_path);
            qstrcpy(address.sun_path, socketName.constData());
            QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        }
        QString text;
        int read = 0;
        QVERIFY(endsWithoutBlocking(pipe, [&] { read = ReadTextFile(path, text); }));
        QCOMPARE(read, result);
        bool rich = false;
        int probed = -1;
        QVERIFY(endsWithoutBlocking(pipe, [&] { probed = ProbeRichTextFile(path, rich); }));
        QCOMPARE(probed, result == ReadSuccess ? 1 : 0);
        QCOMPARE(rich, result == ReadSuccess);
        ::close(listener);
    }

    // A read for a box of few characters takes no more of a long file than they need.
    void readsAreCutToWhatTheBoxHolds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::newRow("fits exactly") << QByteArray("0123456789") << "0123456789" << false;
        QTest::newRow("plain, cut") << QByteArray("0123456789abc") << "0123456789" << true;
        QTest::newRow("ends at NUL before the limit")
            << QByteArray("short\0and a long tail of text", 29) << "short" << false;
        // 40 bytes read end inside the tenth emoji; ten characters end inside the fifth.
        QTest::newRow("UTF-8 sequence not split")
            << "a" + QByteArray("\xf0\x9f\x98\x80").repeated(12)
            << "a" + QString::fromUtf8(QByteArray("\xf0\x9f\x98\x80").repeated(4)) << true;
        QTest::newRow("legacy bytes") << QByteArray("caf\xe9 caf\xe9 caf\xe9")
                                      << QString::fromUtf16(u"caf\u00e9 caf\u00e9 ") << true;
        QTest::newRow("rich text, markup counted")
            << QByteArray("{\\rtf1 {\\b Hi}}") << "{\\rtf1 {\\b" << true;
    }
    void readsAreCutToWhatTheBoxHolds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, cut);
        put(QStringLiteral("long.txt"), bytes);
        QString read;
        bool wasCut = !cut;
        QCOMPARE(ReadTextFile(path(QStringLiteral("long.txt")), read, 10, &wasCut),
                 int(ReadSuccess));
        QCOMPARE(read, text);
        QCOMPARE(wasCut, cut);
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
        QString text;
        QCOMPARE(ReadTextFile(m_dir.path() + u'/' + name, text), int(ReadSuccess));
        QCOMPARE(text, QStringLiteral("named"));
        // And the file written back under that name is the same file, not a look-alike.
        QVERIFY(WriteTextFile(m_dir.path() + u'/' + name, QStringLiteral("saved")));
        const int readBack = ::open(file.constData(), O_RDONLY);
        char bytes[16] = {};
        QCOMPARE(::read(readBack, bytes, sizeof bytes), ssize_t(5));
        ::close(readBack);
        QCOMPARE(QByteArray(bytes), QByteArray("saved"));
        if (!utf8)
            QVERIFY(!QFile::exists(m_dir.path() + u'/' + name));
        ::unlink(file.constData());
    }

    void probeRecognisesRichText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("rich");
        QTest::newRow("rtf") << QByteArray("{\\rtf1\\ansi hi}") << 1 << true;
        QTest::newRow("just the marker") << QByteArray("{\\rtf") << 1 << true;
        QTest::newRow("too short") << QByteArray("{\\rt") << 1 << false;
        QTest::newRow("plain") << QByteArray("Dear customer") << 1 << false;
        QTest::newRow("upper case") << QByteArray("{\\RTF1") << 1 << false;
        QTest::newRow("empty") << QByteArray() << 0 << false;
    }
    void probeRecognisesRichText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(bool, rich);
        put(QStringLiteral("probe"), bytes);
        bool isRich = !rich;
        QCOMPARE(ProbeRichTextFile(path(QStringLiteral("probe")), isRich), result);
        QCOMPARE(isRich, rich);
        QCOMPARE(ProbeRichTextFile(path(QStringLiteral("absent")), isRich), 0);
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
