#include "TextFiles.h"

#include "codepage/Windows1252.h"
#include "fileio/AtomicFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The most bytes one character takes in the encodings text files are read in.
constexpr qsizetype kMaxBytesPerCharacter = 4;

// A file opened for reading only when it is a regular file: a named pipe would block the
// open or the read, and a device may never end. The type is checked before opening and
// again on the open descriptor, in case the name was replaced in between.
class RegularFile
{
public:
    RegularFile() = default;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool open(const QString& path)
    {
        const QByteArray native = nativeFileName(path);
        struct stat info;
        if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        m_fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        m_size = info.st_size;
        return true;
    }
    qint64 size() const { return m_size; }

    // Reads up to `length` bytes, fewer only at the end of the file; -1 on failure.
    qint64 read(char* data, qint64 length)
    {
        qint64 total = 0;
        while (total < length) {
            const ssize_t got = ::read(m_fd, data + total, size_t(length - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            total += got;
        }
        return total;
    }

private:
    int m_fd = -1;
    qint64 m_size = -1;
};

// The length of the valid UTF-8 sequence at `bytes`, or 0 when there is none.
int utf8SequenceLength(const unsigned char* bytes, qsizetype available)
{
    const unsigned char lead = bytes[0];
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (available < length || bytes[1] < low || bytes[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (bytes[i] < 0x80 || bytes[i] > 0xBF)
            return 0;
    }
    return length;
}

// A text cut after `length` bytes may end inside a UTF-8 sequence; that part is dropped
// so that the rest can still be recognised as UTF-8.
qsizetype withoutSplitSequence(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        if (byte >= 0xC2 && byte <= 0xF4) {
            const int needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            return needed > back ? size - back : size;
        }
        return size;
    }
    return size;
}

} // namespace

bool WriteTextFile(const QString& path, const QString& text, QString* error)
{
    if (text.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no text to write");
        return false;
    }
    // The file's own bytes, so that a name that is not valid UTF-8 names the same file.
    const vnt::fileio::WriteResult result =
        vnt::fileio::writeFileAtomically(nativeFileName(path), text.toUtf8());
    if (!result.ok() && error)
        *error = result.reason;
    return result.ok();
}

int ReadTextFile(const QString& path, QString& text, qsizetype maxCharacters, bool* cut)
{
    if (cut)
        *cut = false;
    RegularFile file;
    if (!file.open(path))
        return ReadCannotOpen;
    const qint64 size = file.size();
    const bool limited = maxCharacters >= 0;
    if (size < 0 || (!limited && size > kMaxTextFileSize))
        return ReadNoSizeOrMemory;
    // An empty file reads nothing without reaching a reported end.
    if (size == 0)
        return ReadFailed;
    const qint64 wanted =
        limited ? std::min<qint64>(size, qint64(maxCharacters) * kMaxBytesPerCharacter) : size;
    QByteArray bytes(wanted, Qt::Uninitialized);
    const qint64 read = file.read(bytes.data(), wanted);
    if (read < 0)
        return ReadFailed;
    // A file that shrank to nothing since its size was taken.
    if (read == 0)
        return ReadNothingAtEnd;
    bytes.truncate(read);
    bool shortened = read < size;
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) {
        // The text ends there anyway, whatever follows.
        bytes.truncate(nul);
        shortened = false;
    }
    if (bytes.isEmpty())
        return ReadNoText;
    if (shortened)
        bytes.truncate(withoutSplitSequence(bytes));
    QString decoded = vnt::codepage::decodeUtf8OrWindows1252(bytes);
    bytes.clear();
    // Rich text is cut as its markup counts: its text is never longer than its markup.
    if (limited && decoded.size() > maxCharacters) {
        qsizetype keep = maxCharacters;
        if (keep > 0 && decoded.at(keep - 1).isHighSurrogate())
            --keep;
        decoded.truncate(keep);
        decoded.squeeze(); // the rest was read only to find where the kept part ends
        shortened = true;
    }
    text = std::move(decoded);
    if (cut)
        *cut = shortened;
    return ReadSuccess;
}

int ProbeRichTextFile(const QString& path, bool& rich)
{
    rich = false;
    RegularFile file;
    if (!file.open(path))
        return 0;
    char head[5];
    const qint64 read = file.read(head, sizeof head);
    if (read <= 0)
        return 0;
    rich = read == sizeof head && QByteArrayView(head, sizeof head) == "{\\rtf";
    return 1;
}

QString fileNameFromNative(const QByteArray& native)
{
    QString name;
    name.reserve(native.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(native.constData());
    const qsizetype size = native.size();
    for (qsizetype i = 0; i < size;) {
        const int length = utf8SequenceLength(bytes + i, size - i);
        if (length == 0) {
            name += QChar(char16_t(0xDC00 | bytes[i]));
            ++i;
            continue;
        }
        char32_t code = length == 1 ? bytes[i] : bytes[i] & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            code = (code << 6) | (bytes[i + k] & 0x3F);
        name += QStringView(QChar::fromUcs4(code));
        i += length;
    }
    return name;
}

QByteArray nativeFileName(const QString& name)
{
    QByteArray native;
    native.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        const bool escapedByte =
            unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !name.at(i - 1).isHighSurrogate());
        if (!escapedByte)
            continue;
        native += QStringView(name).sliced(start, i - start).toUtf8();
        native += char(unit & 0xFF);
        start = i + 1;
    }
    native += QStringView(name).sliced(start).toUtf8();
    return native;
}
