#include "fileio/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::fileio {

namespace {

constexpr int kPollMs = 10;

} // namespace

FileLock::~FileLock()
{
    unlock();
}

void FileLock::unlock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the lock
    m_fd = -1;
}

FileLock::Result FileLock::lock(const QString& path, int timeoutMs)
{
    unlock();
    const QByteArray native = QFile::encodeName(path);
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            m_systemError = errno;
            return Result::Failed;
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK || errno == EINTR;
            if (!busy || deadline.hasExpired()) {
                m_systemError = busy ? EWOULDBLOCK : errno;
                ::close(fd);
                return busy ? Result::TimedOut : Result::Failed;
            }
            QThread::msleep(kPollMs);
        }
        // The holder before us may have renamed a new file over the one we locked.
        struct stat locked;
        struct stat current;
        if (::fstat(fd, &locked) == 0 && ::stat(native.constData(), &current) == 0 &&
            locked.st_dev == current.st_dev && locked.st_ino == current.st_ino) {
            m_fd = fd;
            return Result::Locked;
        }
        ::close(fd);
        if (deadline.hasExpired()) {
            m_systemError = EWOULDBLOCK;
            return Result::TimedOut;
        }
    }
}

} // namespace vnt::fileio
