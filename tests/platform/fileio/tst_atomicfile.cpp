#include "FaultTestUtil.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileLock.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace vnt::fileio;
using namespace faulttest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool put(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

enum class Fault { ShimFull, ShimSync, SizeLimit, MissingFolder, RealFullDisk, ReadOnlyFolder };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(WriteFailure)

class TestAtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesTheFileKeepingItsPermissionsAndLinks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("notes.txt"));
        WriteResult result = writeFileAtomically(path, "first");
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(readAll(path), QByteArray("first"));
        QCOMPARE(result.written, identityOf(path));

        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(QFile::link(path, dir.filePath(QStringLiteral("link.txt"))));
        result = writeFileAtomically(dir.filePath(QStringLiteral("link.txt")), "second");
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(readAll(path), QByteArray("second"));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link.txt"))).isSymLink());
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0640));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2);
    }

    void failuresKeepTheOldFile_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("size");
        QTest::addColumn<WriteFailure>("failure");
        QTest::addColumn<QString>("reason");
        // A small file is the case a buffered writer can lose: its one write happens at
        // the final flush.
        QTest::newRow("full disk, small file")
            << Fault::ShimFull << 10 << WriteFailure::DiskFull << "the disk is full";
        QTest::newRow("full disk half way")
            << Fault::ShimFull << 100000 << WriteFailure::DiskFull << "the disk is full";
        QTest::newRow("sync fails")
            << Fault::ShimSync << 10 << WriteFailure::InputOutput << "input/output error";
        QTest::newRow("file size limit")
            << Fault::SizeLimit << 5000 << WriteFailure::DiskFull << "larger than the disk";
        QTest::newRow("folder gone")
            << Fault::MissingFolder << 10 << WriteFailure::NotFound << "does not exist";
        QTest::newRow("real full disk")
            << Fault::RealFullDisk << 200000 << WriteFailure::DiskFull << "the disk is full";
        QTest::newRow("read-only folder")
            << Fault::ReadOnlyFolder << 10
            << (geteuid() == 0 ? WriteFailure::ReadOnly : WriteFailure::PermissionDenied)
            << (geteuid() == 0 ? "is on a read-only disk" : "no permission to write");
    }
    void failuresKeepTheOldFile()
    {
        QFETCH(Fault, fault);
        QFETCH(int, size);
        QFETCH(WriteFailure, failure);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString folder = dir.filePath(QStringLiteral("data"));
        std::unique_ptr<TmpfsMount> mount;
        if (fault == Fault::RealFullDisk || (fault == Fault::ReadOnlyFolder && geteuid() == 0)) {
            mount = std::make_unique<TmpfsMount>(folder, "size=64k");
            if (!mount->mounted())
                QSKIP("mounting a tmpfs is not permitted here");
        }
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/file");
        const QByteArray old = "the old content";
        QVERIFY(put(path, old));
        if (fault == Fault::MissingFolder)
            QVERIFY(QDir(folder).removeRecursively());
        if (fault == Fault::ReadOnlyFolder && mount)
            QVERIFY(mount->makeReadOnly());
        else if (fault == Fault::ReadOnlyFolder)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if ((fault == Fault::ShimFull || fault == Fault::ShimSync) && !faultShimLoaded())
            QSKIP("the fault shim is not preloaded");

        WriteResult result;
        {
            const int syncError = fault == Fault::ShimSync ? EIO : 0;
            // A small file finds no room at all; a large one fills the disk half way.
            const qint64 free = fault == Fault::ShimSync ? qint64(1) << 30
                                : size < 100             ? 0
                                                         : size / 2;
            std::unique_ptr<ShimFaults> shim;
            if (fault == Fault::ShimFull || fault == Fault::ShimSync)
                shim = std::make_unique<ShimFaults>(folder, free, 0, syncError);
            std::unique_ptr<FileSizeLimit> limit;
            if (fault == Fault::SizeLimit)
                limit = std::make_unique<FileSizeLimit>(1000);
            result = writeFileAtomically(path, QByteArray(size, 'x'));
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!result.ok());
        QCOMPARE(result.failure, failure);
        QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
        if (fault != Fault::MissingFolder) {
            QCOMPARE(readAll(path), old);
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"file"});
        }
    }

    void aReadOnlyFileIsNotReplaced()
    {
        if (geteuid() == 0)
            QSKIP("root may write any file");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("locked"));
        QVERIFY(put(path, "keep"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        const WriteResult result = writeFileAtomically(path, "new");
        QCOMPARE(result.failure, WriteFailure::ReadOnly);
        QCOMPARE(readAll(path), QByteArray("keep"));
    }

    void lockWaitsForItsHolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book"));
        QVERIFY(put(path, "x"));
        FileLock first;
        QCOMPARE(first.lock(path, 0), FileLock::Result::Locked);
        FileLock second;
        QCOMPARE(second.lock(path, 50), FileLock::Result::TimedOut);
        first.unlock();
        QCOMPARE(second.lock(path, 50), FileLock::Result::Locked);
        FileLock missing;
        QCOMPARE(missing.lock(dir.filePath(QStringLiteral("none")), 50), FileLock::Result::Failed);
        QCOMPARE(missing.systemError(), ENOENT);
    }

    // A writer that waited while the holder renamed a new file over the path must end up
    // holding the new file, or two writers would each hold a lock on a different file.
    void lockFollowsAReplacedFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book"));
        QVERIFY(put(path, "old"));
        FileLock holder;
        QCOMPARE(holder.lock(path, 0), FileLock::Result::Locked);
        FileLock waiter;
        FileLock::Result waited = FileLock::Result::Failed;
        std::thread thread([&] { waited = waiter.lock(path, 5000); });
        QTest::qWait(100);
        QVERIFY(writeFileAtomically(path, "new").ok());
        holder.unlock();
        thread.join();
        QCOMPARE(waited, FileLock::Result::Locked);
        QCOMPARE(identityOf(waiter.fd()), identityOf(path));
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
