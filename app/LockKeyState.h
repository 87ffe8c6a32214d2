#pragma once

#include <QString>
#include <QStringList>
#include <array>

// The state of the keyboard's lock keys, for the status bar's CAP, NUM and SCRL panes.
// Linux exposes the keyboard LEDs under /sys/class/leds; where they cannot be read
// (no keyboard, a remote session) every key reads as off.
class LockKeyState
{
public:
    enum Key { CapsLock, NumLock, ScrollLock };

    // Looks the LEDs up once; their state is read on each call.
    explicit LockKeyState(const QString& ledRoot = QStringLiteral("/sys/class/leds"));
    bool isOn(Key key) const;

private:
    std::array<QStringList, 3> m_brightnessFiles;
};
