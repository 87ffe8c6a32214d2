#include "TopicStore.h"

#include "TopicFiles.h"
#include "core/CSupportDoc.h"
#include "core/MessageHelpers.h"
#include "core/TextFiles.h"

#include <QDir>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kCannotCreateDirectory = 20142;

// Names keep their bytes, valid UTF-8 or not, so that the file listed is the file found.
std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(nativeFileName(path).toStdString());
}

QString fromNative(const std::filesystem::path& path)
{
    return fileNameFromNative(QByteArray::fromStdString(path.filename().native()));
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

QString resolveTopicRoot(const QString& path, const QString& programDirectory)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir(programDirectory).absoluteFilePath(path));
}

void BuildTopicStore(CSupportDoc& doc, QWidget* owner)
{
    const QString root =
        resolveTopicRoot(doc.GetSupportPath(doc.currentPathIndex()), doc.programDirectory());
    doc.setCurrentTopicRoot(root);
    if (!isFolder(root) && !QDir().mkpath(root))
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
