#pragma once

#include "fileio/AtomicFile.h"

#include <QString>

namespace vnt::fileio {

// An exclusive advisory lock (flock) on an existing file, held until destruction. Programs
// that replace the file by renaming a new one over it cooperate through it: after the lock
// is taken the path is checked to still name the locked file, so a writer that waited on a
// file since replaced locks the new one instead.
class FileLock
{
public:
    enum class Result { Locked, TimedOut, Failed };

    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Waits up to `timeoutMs` for the lock. On Failed, `systemError` holds the errno.
    Result lock(const QString& path, int timeoutMs);
    void unlock();

    bool isLocked() const { return m_fd >= 0; }
    // The descriptor of the locked file, to read it or take its identity.
    int fd() const { return m_fd; }
    int systemError() const { return m_systemError; }

private:
    int m_fd = -1;
    int m_systemError = 0;
};

} // namespace vnt::fileio
