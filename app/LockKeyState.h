#pragma once

#include <QString>
#include <QStringList>
#include <array>

// The state of the keyboard's lock keys, for the status bar's CAP, NUM and SCRL panes.
// Under X11 it is the server's keyboard state, which is right even where no LEDs exist
// (remote desktops, virtual machines, nested servers). Otherwise the keyboard LEDs under
// /sys/class/leds tell; where neither can, the lock-key presses the program sees do.
class LockKeyState
{
public:
    enum Key { CapsLock, NumLock, ScrollLock };

    // `x11Display` is an Xlib Display, or null to use the LEDs alone. The LEDs are
    // looked up once; their state is read on each call.
    explicit LockKeyState(const QString& ledRoot = QStringLiteral("/sys/class/leds"),
                          void* x11Display = applicationX11Display());
    bool isOn(Key key) const;

    // True when neither the X server nor an LED can tell this key's state, so that
    // key presses must be followed.
    bool needsKeyPresses() const;
    // A press of a Qt::Key seen by the program; toggles the followed state.
    void noteKeyPress(int qtKey);

    // The X connection of the running application, or null on other platforms.
    static void* applicationX11Display();

private:
    bool serverIndicator(Key key, bool& on) const;

    void* m_display = nullptr;
    std::array<unsigned long, 3> m_indicatorNames{};
    std::array<QStringList, 3> m_brightnessFiles;
    std::array<bool, 3> m_pressedState{};
};
