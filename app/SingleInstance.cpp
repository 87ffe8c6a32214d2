#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 1000;

// The canonical form of a directory that may not exist yet: its deepest existing
// ancestor resolved, the rest appended, so a first start and the next agree.
QString canonicalDirectory(const QString& directory)
{
    QString path = QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
    QString rest;
    while (!QFileInfo::exists(path)) {
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash <= 0)
            return QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
        rest.prepend(path.mid(slash));
        path.truncate(slash);
    }
    return QFileInfo(path).canonicalFilePath() + rest;
}

} // namespace

SingleInstance::SingleInstance(const QString& programDirectory, QObject* parent)
    : QObject(parent)
    , m_name(serverName(programDirectory))
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& programDirectory)
{
    const QByteArray hash = QCryptographicHash::hash(canonicalDirectory(programDirectory).toUtf8(),
                                                     QCryptographicHash::Sha256);
    return QStringLiteral("vantrel-%1-%2")
        .arg(getuid())
        .arg(QString::fromLatin1(hash.toHex().left(24)));
}

bool SingleInstance::notifyRunning() const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    // Someone listens: the connection alone asks for the window.
    socket.write("raise\n");
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

SingleInstance::Role SingleInstance::claim()
{
    if (notifyRunning())
        return Role::Later;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            Q_EMIT activationRequested();
        }
    });
    if (m_server->listen(m_name) || m_server->serverError() != QAbstractSocket::AddressInUseError)
        return Role::First;
    // A start at the same moment may have won the socket; else it is a crashed run's.
    if (notifyRunning())
        return Role::Later;
    QLocalServer::removeServer(m_name);
    m_server->listen(m_name);
    return Role::First;
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

void SingleInstance::bringToFront(QWidget* window)
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}
