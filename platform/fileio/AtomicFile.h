#pragma once

#include <QByteArray>
#include <QString>

namespace vnt::fileio {

// Why a write failed, in the terms a user can act on.
enum class WriteFailure {
    None,
    DiskFull,         // no space left (or the file would exceed a size limit)
    ReadOnly,         // the file system or the file is read-only
    PermissionDenied, // the folder or file may not be written by this user
    NotFound,         // the folder does not exist
    InputOutput,      // the device reported an error
    Other,
};

// The identity and state of a file as written: enough to notice later that another
// program has replaced or rewritten it.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0; // modification time, nanoseconds since the epoch

    bool operator==(const FileIdentity&) const = default;
};

struct WriteResult
{
    WriteFailure failure = WriteFailure::None;
    int systemError = 0;
    // "the disk is full", "the folder '/x' is read-only", ...: completes a sentence
    // such as "The file 'y' could not be written: <reason>."
    QString reason;
    // The file now at the path, taken before it replaced the old one.
    FileIdentity written;

    bool ok() const { return failure == WriteFailure::None; }
};

// Replaces the file at `path` with `data` through a temporary file in the same folder:
// every write is checked, the data is synced to the disk, and only then is the temporary
// renamed over the old file and the folder synced. On any failure before the rename the
// temporary is removed and the old file stays as it was. A new file gets the usual
// permissions; a replaced one keeps its own.
WriteResult writeFileAtomically(const QString& path, const QByteArray& data);
// The same for a path given as the file system's own bytes, for names that are not valid
// in the locale's encoding.
WriteResult writeFileAtomically(const QByteArray& nativePath, const QByteArray& data);

// The failure kind and reason for an errno value met while writing into `path`.
WriteResult failureFor(int systemError, const QString& path);

// The identity of an open file, or of the file at a path; size -1 when there is none.
FileIdentity identityOf(int fd);
FileIdentity identityOf(const QString& path);

} // namespace vnt::fileio
