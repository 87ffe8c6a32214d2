#pragma once

#include <QString>

// The state of the keyboard's lock keys, for the status bar's CAP, NUM and SCRL panes.
// Linux exposes the keyboard LEDs under /sys/class/leds; where they cannot be read
// (no keyboard, a remote session) every key reads as off.
class LockKeyState
{
public:
    enum Key { CapsLock, NumLock, ScrollLock };

    explicit LockKeyState(QString ledRoot = QStringLiteral("/sys/class/leds"));
    bool isOn(Key key) const;

private:
    QString m_ledRoot;
};
