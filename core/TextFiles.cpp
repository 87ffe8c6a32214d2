#include "TextFiles.h"

#include "codepage/Windows1252.h"
#include "fileio/AtomicFile.h"

#include <QFile>

bool WriteTextFile(const QString& path, const QString& text, QString* error)
{
    if (text.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no text to write");
        return false;
    }
    const vnt::fileio::WriteResult result = vnt::fileio::writeFileAtomically(path, text.toUtf8());
    if (!result.ok() && error)
        *error = result.reason;
    return result.ok();
}

int ReadTextFile(const QString& path, QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadCannotOpen;
    const qint64 size = file.size();
    if (size < 0 || size > kMaxTextFileSize)
        return ReadNoSizeOrMemory;
    QByteArray bytes(size, Qt::Uninitialized);
    // An empty file reads nothing without reaching a reported end; a file that shrank
    // since its size was taken ends early.
    if (size == 0)
        return ReadFailed;
    const qint64 read = file.read(bytes.data(), size);
    if (read <= 0)
        return file.atEnd() && file.error() == QFileDevice::NoError ? ReadNothingAtEnd : ReadFailed;
    bytes.truncate(read);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    if (bytes.isEmpty())
        return ReadNoText;
    text = vnt::codepage::decodeUtf8OrWindows1252(bytes);
    return ReadSuccess;
}

int ProbeRichTextFile(const QString& path, bool& rich)
{
    rich = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(5);
    if (head.isEmpty())
        return 0;
    rich = head == "{\\rtf";
    return 1;
}
