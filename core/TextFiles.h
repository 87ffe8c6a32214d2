#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes of the program's text files (topics, header, footer,
// notepad). Texts are written as UTF-8; files from older versions in Windows-1252 are
// still read correctly.

// Replaces the file with `text`. Empty text does nothing and fails. The old file stays
// untouched unless the whole new text was written and synced to the disk; on failure
// `error` (when given) says why, as "the disk is full".
bool WriteTextFile(const QString& path, const QString& text, QString* error = nullptr);

enum ReadTextResult {
    ReadCannotOpen = 1,
    ReadNoSizeOrMemory = 2,
    ReadNothingAtEnd = 3,
    ReadFailed = 4,
    ReadNoText = 5,
    ReadSuccess = 6,
};

// No limit on the characters a read returns.
constexpr qsizetype kWholeFile = -1;

// Fills `text` with the file's text, which ends at the first NUL character. Returns
// one of ReadTextResult; `text` is changed only on ReadSuccess. Only regular files are
// read: a named pipe or device is refused as a file that cannot be opened, without
// opening it. With `maxCharacters`, no more of the file is read than that many
// characters can take, and the text is cut to them (rich text with its markup, so that
// what it shows is never longer). `cut` (when given) tells whether it was shortened.
int ReadTextFile(const QString& path, QString& text, qsizetype maxCharacters = kWholeFile,
                 bool* cut = nullptr);

// 1 when the file is a regular file holding at least one byte, else 0; `rich` is set
// when its text begins with "{\rtf".
int ProbeRichTextFile(const QString& path, bool& rich);

// Files larger than this are refused rather than read whole.
constexpr qint64 kMaxTextFileSize = qint64(512) * 1024 * 1024;

// The characters each of the outgoing, topic and notepad boxes holds.
constexpr qsizetype kTextBoxLimit = 1648000;

// File names on Linux are bytes, not always valid UTF-8. A byte that is not part of a
// valid UTF-8 sequence is carried in the name as U+DC80..U+DCFF (a code unit valid UTF-8
// never decodes to), so that a name read from a folder finds the same file again.
QString fileNameFromNative(const QByteArray& native);
QByteArray nativeFileName(const QString& name);
