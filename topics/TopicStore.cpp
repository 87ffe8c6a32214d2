#include "TopicStore.h"

#include "core/CSupportDoc.h"
#include "core/MessageHelpers.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kCannotCreateDirectory = 20142;

std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromNative(const std::filesystem::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.filename().string()));
}

// Directory listings come back in no particular order on Linux; sorting them gives the
// alphabetical order users know from their file manager.
void sortNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
}

void listEntries(const QString& folder, QStringList* folders, QStringList* files)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(nativePath(folder), error), end;
         !error && it != end; it.increment(error)) {
        std::error_code typeError;
        const bool isFolder = it->is_directory(typeError);
        if (isFolder && folders)
            folders->append(fromNative(it->path()));
        else if (!isFolder && files)
            files->append(fromNative(it->path()));
    }
}

} // namespace

QString topicExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.mid(dot + 1) : QString();
}

bool isTopicFileName(const QString& fileName)
{
    const QString extension = topicExtension(fileName);
    return extension.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0;
}

void BuildTopicStore(CSupportDoc& doc, QWidget* owner)
{
    const QString root = doc.GetSupportPath(doc.currentPathIndex());
    doc.setCurrentTopicRoot(root);
    if (!QFileInfo(root).isDir() && !QDir().mkpath(root))
        ShowViewMessage(owner, kCannotCreateDirectory, TitleInformation);

    std::vector<QStringList>& table = doc.topicFolderTable();
    doc.setTopicFolderCount(0);
    QStringList folders;
    listEntries(root, &folders, nullptr);
    sortNames(folders);
    for (const QString& folder : folders) {
        table[static_cast<size_t>(doc.topicFolderCount())] = QStringList{folder};
        doc.incrementTopicFolderCount();
    }
    for (int i = 0; i < doc.topicFolderCount(); ++i) {
        QStringList& entry = table[static_cast<size_t>(i)];
        QStringList files;
        listEntries(root + u'/' + entry.first(), nullptr, &files);
        sortNames(files);
        for (const QString& file : std::as_const(files)) {
            if (isTopicFileName(file))
                entry.append(file);
        }
    }
}
