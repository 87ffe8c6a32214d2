// Servers the tests run on 127.0.0.1: a free port to give one, the SMTP sink of this folder
// (smtp_sink.py) in its own process, and waiting while the event loop runs until they answered.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Polls `done` while the event loop runs (notifications, watchers) until it holds or the time
// is up.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

// A port that was free a moment ago; 0 when none could be had.
inline int freeLocalPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool ok = ::bind(probe, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(probe);
    return ok ? ntohs(address.sin_port) : 0;
}

// The sink keeps message n as new/n.eml and its envelope, written after it, as new/n.json.
// It runs under Debian's python3, which has aiosmtpd, not whatever python3 is first on PATH.
class SmtpSink
{
public:
    explicit SmtpSink(const QString& script, const QStringList& extra = {})
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{script, QStringLiteral("--dir"), m_dir.path()} + extra);
        if (m_process.waitForStarted() && m_process.waitForReadyRead(15000))
            m_port = m_process.readLine().trimmed().toInt();
    }
    ~SmtpSink()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    int port() const { return m_port; }
    // Messages fully kept, envelope included.
    int count() const
    {
        return QDir(m_dir.filePath(QStringLiteral("new")))
            .entryList({QStringLiteral("*.json")})
            .size();
    }
    QByteArray message(int n) const { return read(n, ".eml"); }
    QByteArray envelope(int n) const { return read(n, ".json"); }

private:
    QByteArray read(int n, const char* ending) const
    {
        QFile file(m_dir.filePath(QStringLiteral("new/%1%2").arg(n).arg(QLatin1String(ending))));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
