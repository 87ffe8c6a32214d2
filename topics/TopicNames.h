#pragma once

#include <QString>

class QRandomGenerator;

// "temp" and four characters, each 'a' plus a random number below 27: a lower-case
// letter or "{".
QString randomTopicName(QRandomGenerator& random);

// A name typed for a topic folder or file must stay inside its topic root: no path
// separators, not "." or "..", no control characters.
bool isSafeTopicName(const QString& name);
