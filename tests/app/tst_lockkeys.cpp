#include "LockKeyState.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <X11/XKBlib.h>

// The lock keys' state comes from the X server where there is one (a nested or virtual
// server has no LEDs at all), from the LEDs otherwise, and from key presses last.
class TestLockKeys : public QObject
{
    Q_OBJECT

    QTemporaryDir m_leds;

    void setLed(const char* name, const char* value)
    {
        QVERIFY(QDir(m_leds.path()).mkpath(QLatin1String(name)));
        QFile file(m_leds.filePath(QLatin1String(name) + QStringLiteral("/brightness")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(value);
    }

private Q_SLOTS:
    void ledsTellWithoutAServer()
    {
        setLed("input3::capslock", "1\n");
        setLed("input3::numlock", "0\n");
        LockKeyState state(m_leds.path(), nullptr);
        QVERIFY(state.isOn(LockKeyState::CapsLock));
        QVERIFY(!state.isOn(LockKeyState::NumLock));
        setLed("input3::capslock", "0\n");
        QVERIFY(!state.isOn(LockKeyState::CapsLock));

        // No LED for Scroll Lock: its presses are followed.
        QVERIFY(state.needsKeyPresses());
        QVERIFY(!state.isOn(LockKeyState::ScrollLock));
        state.noteKeyPress(Qt::Key_ScrollLock);
        QVERIFY(state.isOn(LockKeyState::ScrollLock));
        state.noteKeyPress(Qt::Key_CapsLock); // the LED still decides
        QVERIFY(!state.isOn(LockKeyState::CapsLock));
    }

    void serverKeyboardTellsWhereNoLedsExist()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed");
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 10000);
        const QByteArray name = ':' + server.readLine().trimmed();
        Display* display = XOpenDisplay(name.constData());
        QVERIFY(display);

        setLed("input3::capslock", "1\n"); // not asked while the server answers
        LockKeyState state(m_leds.path(), display);
        QVERIFY(!state.needsKeyPresses());
        QVERIFY(!state.isOn(LockKeyState::CapsLock));
        QVERIFY(!state.isOn(LockKeyState::NumLock));
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask | Mod2Mask, LockMask | Mod2Mask);
        XSync(display, False);
        QTRY_VERIFY(state.isOn(LockKeyState::CapsLock));
        QVERIFY(state.isOn(LockKeyState::NumLock));
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
        XSync(display, False);
        QTRY_VERIFY(!state.isOn(LockKeyState::CapsLock));

        XCloseDisplay(display);
        server.terminate();
        server.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestLockKeys)
#include "tst_lockkeys.moc"
