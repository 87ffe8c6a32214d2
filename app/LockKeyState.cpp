#include "LockKeyState.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <X11/XKBlib.h>

namespace {

Display* asDisplay(void* display)
{
    return static_cast<Display*>(display);
}

} // namespace

LockKeyState::LockKeyState(const QString& ledRoot, void* x11Display)
    : m_display(x11Display)
{
    static const char* const suffixes[] = {"::capslock", "::numlock", "::scrolllock"};
    static const char* const indicators[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    const QDir root(ledRoot);
    for (size_t key = 0; key < m_brightnessFiles.size(); ++key) {
        const QStringList leds = root.entryList({QLatin1Char('*') + QLatin1String(suffixes[key])},
                                                QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& led : leds)
            m_brightnessFiles[key].append(root.filePath(led + QStringLiteral("/brightness")));
        if (m_display)
            m_indicatorNames[key] = XInternAtom(asDisplay(m_display), indicators[key], False);
    }
}

void* LockKeyState::applicationX11Display()
{
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool LockKeyState::serverIndicator(Key key, bool& on) const
{
    const unsigned long name = m_indicatorNames[static_cast<size_t>(key)];
    if (!m_display || name == None)
        return false;
    Bool state = False;
    if (!XkbGetNamedIndicator(asDisplay(m_display), name, nullptr, &state, nullptr, nullptr))
        return false;
    on = state;
    return true;
}

bool LockKeyState::isOn(Key key) const
{
    bool on = false;
    if (serverIndicator(key, on))
        return on;
    const QStringList& files = m_brightnessFiles[static_cast<size_t>(key)];
    if (files.isEmpty())
        return m_pressedState[static_cast<size_t>(key)];
    for (const QString& path : files) {
        QFile brightness(path);
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed().toInt() > 0)
            return true;
    }
    return false;
}

bool LockKeyState::needsKeyPresses() const
{
    bool on = false;
    for (Key key : {CapsLock, NumLock, ScrollLock}) {
        if (!serverIndicator(key, on) && m_brightnessFiles[static_cast<size_t>(key)].isEmpty())
            return true;
    }
    return false;
}

void LockKeyState::noteKeyPress(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_CapsLock:
        m_pressedState[CapsLock] = !m_pressedState[CapsLock];
        break;
    case Qt::Key_NumLock:
        m_pressedState[NumLock] = !m_pressedState[NumLock];
        break;
    case Qt::Key_ScrollLock:
        m_pressedState[ScrollLock] = !m_pressedState[ScrollLock];
        break;
    default:
        break;
    }
}
