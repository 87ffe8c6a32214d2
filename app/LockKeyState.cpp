#include "LockKeyState.h"

#include <QDir>
#include <QFile>

LockKeyState::LockKeyState(const QString& ledRoot)
{
    static const char* const suffixes[] = {"::capslock", "::numlock", "::scrolllock"};
    const QDir root(ledRoot);
    for (size_t key = 0; key < m_brightnessFiles.size(); ++key) {
        const QStringList leds = root.entryList({QLatin1Char('*') + QLatin1String(suffixes[key])},
                                                QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& led : leds)
            m_brightnessFiles[key].append(root.filePath(led + QStringLiteral("/brightness")));
    }
}

bool LockKeyState::isOn(Key key) const
{
    for (const QString& path : m_brightnessFiles[static_cast<size_t>(key)]) {
        QFile brightness(path);
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed().toInt() > 0)
            return true;
    }
    return false;
}
