#include "fileio/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::fileio {

namespace {

// Closes the descriptor and removes the temporary unless the write got as far as the
// rename, so that no failure leaves a half-written file behind.
class Temporary
{
public:
    ~Temporary()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    bool create(const QByteArray& target, mode_t mode)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name =
                target + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd >= 0) {
                m_name = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
    int fd() const { return m_fd; }
    const QByteArray& name() const { return m_name; }
    // Closes the descriptor; false with errno set when the close reports a failure.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void renamed() { m_name.clear(); }

private:
    int m_fd = -1;
    QByteArray m_name;
};

bool writeAll(int fd, const QByteArray& data)
{
    const char* next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC; // a device that takes nothing without an error is full
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

bool syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a folder; their renames are as durable as they get.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced;
}

FileIdentity identityOfStat(const struct stat& info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

} // namespace

WriteResult failureFor(int systemError, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    WriteResult result;
    result.systemError = systemError;
    switch (systemError) {
    case ENOSPC:
    case EDQUOT:
        result.failure = WriteFailure::DiskFull;
        result.reason = QStringLiteral("the disk is full");
        break;
    case EFBIG:
        result.failure = WriteFailure::DiskFull;
        result.reason = QStringLiteral("the file is larger than the disk or the system allows");
        break;
    case EROFS:
        result.failure = WriteFailure::ReadOnly;
        result.reason = QStringLiteral("the folder '%1' is on a read-only disk").arg(folder);
        break;
    case EACCES:
    case EPERM:
        result.failure = WriteFailure::PermissionDenied;
        result.reason =
            QStringLiteral("there is no permission to write in the folder '%1'").arg(folder);
        break;
    case ENOENT:
    case ENOTDIR:
        result.failure = WriteFailure::NotFound;
        result.reason = QStringLiteral("the folder '%1' does not exist").arg(folder);
        break;
    case EIO:
        result.failure = WriteFailure::InputOutput;
        result.reason = QStringLiteral("the disk reported an input/output error");
        break;
    default:
        result.failure = WriteFailure::Other;
        result.reason = QString::fromLocal8Bit(std::strerror(systemError)).toLower();
        break;
    }
    return result;
}

FileIdentity identityOf(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 ? identityOfStat(info) : FileIdentity{};
}

FileIdentity identityOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? identityOfStat(info)
                                                                   : FileIdentity{};
}

WriteResult writeFileAtomically(const QString& path, const QByteArray& data)
{
    return writeFileAtomically(QFile::encodeName(path), data);
}

WriteResult writeFileAtomically(const QByteArray& nativePath, const QByteArray& data)
{
    // A link is followed, so that the file it names is replaced and the link stays.
    QByteArray native = nativePath;
    char resolved[PATH_MAX];
    struct stat linkInfo;
    if (::lstat(native.constData(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode) &&
        ::realpath(native.constData(), resolved))
        native = resolved;
    const QString target = QFile::decodeName(native);
    struct stat old;
    const bool replacing = ::stat(native.constData(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        return failureFor(EISDIR, target);
    if (replacing && ::access(native.constData(), W_OK) != 0) {
        WriteResult result = failureFor(errno, target);
        if (errno == EACCES) {
            result.failure = WriteFailure::ReadOnly;
            result.reason = QStringLiteral("the file is read-only");
        }
        return result;
    }
    Temporary temporary;
    if (!temporary.create(native, 0666))
        return failureFor(errno, target);
    // The new file keeps the old one's permissions.
    if (replacing && ::fchmod(temporary.fd(), old.st_mode & 07777) != 0)
        return failureFor(errno, target);
    if (!writeAll(temporary.fd(), data) || ::fsync(temporary.fd()) != 0)
        return failureFor(errno, target);
    const FileIdentity written = identityOf(temporary.fd());
    if (!temporary.close())
        return failureFor(errno, target);
    if (::rename(temporary.name().constData(), native.constData()) != 0)
        return failureFor(errno, target);
    temporary.renamed();
    WriteResult result;
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : native.left(slash);
    if (!syncFolder(folder)) {
        // The new content is in place but may not survive a power failure.
        result = failureFor(errno, target);
    }
    result.written = written;
    return result;
}

} // namespace vnt::fileio
