#include "StatusIndicators.h"

#include <QDir>
#include <QFile>
#include <utility>

LockKeyState::LockKeyState(QString ledRoot)
    : m_ledRoot(std::move(ledRoot))
{}

bool LockKeyState::isOn(Key key) const
{
    static const char* const suffixes[] = {"::capslock", "::numlock", "::scrolllock"};
    const QString suffix = QString::fromLatin1(suffixes[key]);
    const QDir root(m_ledRoot);
    const QStringList leds = root.entryList({QLatin1Char('*') + suffix},
                                            QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& led : leds) {
        QFile brightness(root.filePath(led + QStringLiteral("/brightness")));
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed().toInt() > 0)
            return true;
    }
    return false;
}
