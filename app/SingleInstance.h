#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

// One running program per user and program directory: a later start hands over to the
// running one, which brings its window to the front.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `programDirectory` need not exist yet.
    explicit SingleInstance(const QString& programDirectory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The local server's name: the user's id and a hash of the canonical directory,
    // short enough for a socket path.
    static QString serverName(const QString& programDirectory);

    enum class Role { First, Later };
    // Later: a running program was asked to come to the front, and this start should
    // end. First: this start listens for later ones (a socket a crashed run left behind
    // is replaced); it runs on without listening when the socket cannot be made.
    Role claim();
    bool isListening() const;

    // Un-minimises, raises and activates `window`.
    static void bringToFront(QWidget* window);

Q_SIGNALS:
    void activationRequested();

private:
    bool notifyRunning() const;

    QString m_name;
    QLocalServer* m_server = nullptr;
};
