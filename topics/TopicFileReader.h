#pragma once

#include <QString>

class QWidget;

// Reads a topic, header, footer or notepad file whole, telling the user why a read
// failed. `quiet` leaves out the notices for a file that cannot be opened or read.
bool ReadTopicFile(QWidget* owner, const QString& path, QString& text, bool quiet = false);
