#include "TopicFiles.h"

#include "core/TextFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool topicPathExists(const QString& path)
{
    struct stat info;
    return ::lstat(nativeFileName(path).constData(), &info) == 0;
}

bool isFolder(const QString& path)
{
    struct stat info;
    return ::stat(nativeFileName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeFolder(const QString& path)
{
    return ::mkdir(nativeFileName(path).constData(), 0777) == 0;
}

bool removeTopicFile(const QString& path)
{
    return ::unlink(nativeFileName(path).constData()) == 0;
}

bool removeFolder(const QString& path)
{
    return ::rmdir(nativeFileName(path).constData()) == 0;
}

bool moveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = nativeFileName(from);
    const QByteArray target = nativeFileName(to);
    // The kernel refuses to replace in the same step as the rename, so no other program
    // can slip a file in between a check and the rename.
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without that flag: check, then rename.
    return !topicPathExists(to) && ::rename(source.constData(), target.constData()) == 0;
}
