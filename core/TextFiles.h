#pragma once

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

// Fills `text` with the file's text, which ends at the first NUL character. Returns
// one of ReadTextResult; `text` is changed only on ReadSuccess.
int ReadTextFile(const QString& path, QString& text);

// 1 when the file holds at least one byte, else 0; `rich` is set when its text begins
// with "{\rtf".
int ProbeRichTextFile(const QString& path, bool& rich);

// Files larger than this are refused rather than read whole.
constexpr qint64 kMaxTextFileSize = qint64(512) * 1024 * 1024;
