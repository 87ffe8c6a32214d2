#include "DemoMailStore.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// A Maildir message's file time is its delivery time; the name starts with it.
bool keepDeliveryTime(const QString& path)
{
    bool isNumber = false;
    const qint64 seconds = QFileInfo(path).fileName().section(u'.', 0, 0).toLongLong(&isNumber);
    if (!isNumber)
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::fromSecsSinceEpoch(seconds),
                            QFileDevice::FileModificationTime);
}

bool copyTree(const QString& from, const QString& to)
{
    QDir source(from);
    if (!source.exists() || !QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + u'/' + source.relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (!QFile::copy(path, target) || !keepDeliveryTime(target)) {
            return false;
        }
        // A Maildir folder needs all three of its parts; empty ones are not stored.
        const QString folder = QFileInfo(target).path();
        if (it.fileName() == u"cur" &&
            (!QDir().mkpath(folder + u"/tmp"_s) || !QDir().mkpath(folder + u"/new"_s)))
            return false;
    }
    return true;
}

} // namespace

bool InstallDemoMailStore(const QString& sourceDir, const QString& targetDir)
{
    if (!copyTree(sourceDir, targetDir))
        return false;
    const QString profiles = targetDir + u"/profiles.ini"_s;
    QFile file(profiles);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray root = QFile::encodeName(targetDir);
    const QByteArray text = "[Profile Support]\nDefault=true\nName=Support\n"
                            "Address=support@example.org\nStores=Personal Folders\n"
                            "[Store Support/Personal Folders]\nDefault=true\nPath=" +
                            root + "/Mail\nContacts=" + root + "/Contacts\n";
    if (file.write(text) != text.size() || !file.flush())
        return false;
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(profiles));
    qputenv("VANTREL_MAPI_CACHE", root + "/cache");
    return true;
}
