#pragma once

// Ways for tests to make writes fail as they do on full, failing or read-only disks.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <csignal>
#include <dlfcn.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace faulttest {

// Whether FaultShim is preloaded into this process.
inline bool faultShimLoaded()
{
    return dlsym(RTLD_DEFAULT, "vantrel_fault_shim") != nullptr;
}

// Makes the preloaded shim fail writes into `folder` past `freeBytes` per file (with
// `error`), and syncs there when `syncError` is not 0, until destruction. Child processes
// started meanwhile inherit it. An empty folder sets no faults.
class ShimFaults
{
public:
    ShimFaults(const QString& folder, qint64 freeBytes, int error = 0, int syncError = 0)
    {
        if (folder.isEmpty())
            return;
        qputenv("VANTREL_FAULT_DIR", QFile::encodeName(QDir(folder).canonicalPath()) + '/');
        qputenv("VANTREL_FAULT_FREE", QByteArray::number(freeBytes));
        if (error != 0)
            qputenv("VANTREL_FAULT_ERRNO", QByteArray::number(error));
        if (syncError != 0)
            qputenv("VANTREL_FAULT_SYNC", QByteArray::number(syncError));
    }
    ~ShimFaults()
    {
        for (const char* name : {"VANTREL_FAULT_DIR", "VANTREL_FAULT_FREE", "VANTREL_FAULT_ERRNO",
                                 "VANTREL_FAULT_SYNC"})
            qunsetenv(name);
    }
};

// Limits the size of files this process writes (RLIMIT_FSIZE), so that writing past it
// fails with EFBIG as a full disk fails with ENOSPC. Works without root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// A real small tmpfs mounted on `folder` (made when missing) until destruction; needs root.
class TmpfsMount
{
public:
    TmpfsMount(const QString& folder, const QByteArray& options, unsigned long flags = 0)
        : m_folder(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        m_mounted =
            ::mount("tmpfs", m_folder.constData(), "tmpfs", flags, options.constData()) == 0;
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    // Makes the mounted file system read-only, keeping its files.
    bool makeReadOnly()
    {
        return ::mount("tmpfs", m_folder.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) ==
               0;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

} // namespace faulttest
