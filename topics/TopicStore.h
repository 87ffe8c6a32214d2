#pragma once

#include <QString>

class CSupportDoc;
class QWidget;

// Scans the current topic root into the document's topic folder table: one entry per
// topic folder, holding the folder's name and then its topic files. The root is created
// when it is missing. At most 999 folders are kept; further ones are scanned into the
// last, unused entry and never shown.
void BuildTopicStore(CSupportDoc& doc, QWidget* owner = nullptr);

// A topic root given as a relative path (as "unknown" from a short entry on the topic
// paths page) lies in the program directory, wherever the program was started from.
QString resolveTopicRoot(const QString& path, const QString& programDirectory);

// The text after the last "."; a name without a "." after its first character has none.
QString topicExtension(const QString& fileName);
// Topic files end in "txt" or "rtf", in any case.
bool isTopicFileName(const QString& fileName);
