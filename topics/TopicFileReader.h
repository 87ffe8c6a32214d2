#pragma once

#include "core/TextFiles.h"

#include <QString>

class QWidget;

// Reads a topic, header, footer or notepad file, telling the user why a read failed.
// `quiet` leaves out the notices for a file that cannot be opened or read. With
// `maxCharacters`, no more is read than a box of that many characters can show; `cut`
// then tells whether the text was shortened.
bool ReadTopicFile(QWidget* owner, const QString& path, QString& text, bool quiet = false,
                   qsizetype maxCharacters = kWholeFile, bool* cut = nullptr);
