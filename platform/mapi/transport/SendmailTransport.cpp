#include "Transport.h"

#include <QFileInfo>
#include <QProcess>

namespace vnt::transport {

namespace {

// sendmail's exit code for "try again later" (sysexits.h).
constexpr int kTemporaryFailure = 75;

QByteArray withLineFeeds(QByteArray message)
{
    // sendmail takes the local line ends and writes CRLF itself when it relays.
    message.replace("\r\n", "\n");
    return message;
}

} // namespace

SendResult sendWithSendmail(const TransportSettings& settings, const Envelope& envelope,
                            const QByteArray& message)
{
    SendResult result;
    if (envelope.recipients.isEmpty()) {
        result.reason = QStringLiteral("the message has no recipients");
        return result;
    }
    if (!QFileInfo(settings.sendmailPath).isExecutable()) {
        result.reason =
            QStringLiteral("the mail program %1 is not installed").arg(settings.sendmailPath);
        return result;
    }
    // -i: a line holding a single dot does not end the message; "--" keeps a recipient
    // that starts with "-" from being read as an option.
    QStringList arguments{QStringLiteral("-i"), QStringLiteral("-f"),
                          envelope.from.isEmpty() ? QStringLiteral("<>")
                                                  : QString::fromUtf8(envelope.from),
                          QStringLiteral("--")};
    for (const QByteArray& address : envelope.recipients)
        arguments.append(QString::fromUtf8(address));
    QProcess sendmail;
    sendmail.setProcessChannelMode(QProcess::MergedChannels);
    sendmail.start(settings.sendmailPath, arguments);
    if (!sendmail.waitForStarted()) {
        result.reason =
            QStringLiteral("the mail program %1 could not be started").arg(settings.sendmailPath);
        return result;
    }
    sendmail.write(withLineFeeds(message));
    sendmail.closeWriteChannel();
    const int timeout = settings.timeoutSeconds * 1000;
    if (!sendmail.waitForFinished(timeout)) {
        sendmail.kill();
        sendmail.waitForFinished();
        result.outcome = SendResult::Deferred;
        result.reason = QStringLiteral("the mail program did not finish in time");
        return result;
    }
    result.serverReply = QString::fromLocal8Bit(sendmail.readAll()).trimmed();
    if (sendmail.exitStatus() == QProcess::NormalExit && sendmail.exitCode() == 0) {
        result.outcome = SendResult::Sent;
        result.accepted = envelope.recipients;
        return result;
    }
    if (sendmail.exitStatus() == QProcess::NormalExit && sendmail.exitCode() == kTemporaryFailure) {
        result.outcome = SendResult::Deferred;
        result.reason = QStringLiteral("the mail program asked to try again later");
        return result;
    }
    result.reason =
        QStringLiteral("the mail program refused the message (exit code %1)")
            .arg(sendmail.exitStatus() == QProcess::NormalExit ? sendmail.exitCode() : -1);
    return result;
}

} // namespace vnt::transport
