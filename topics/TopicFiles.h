#pragma once

#include <QString>

// File operations on topic folders and files by their native names, which need not be
// valid UTF-8 (see fileNameFromNative): Qt's own file classes would re-encode such a
// name and act on another file, or on none.

// Whether anything, even a dangling link, is at `path`.
bool topicPathExists(const QString& path);
bool isFolder(const QString& path);
bool makeFolder(const QString& path);
bool removeTopicFile(const QString& path);
bool removeFolder(const QString& path);
// Renames a file or folder; an existing file or folder at `to` is never replaced.
bool moveWithoutReplacing(const QString& from, const QString& to);
