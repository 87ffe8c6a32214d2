#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Handing a finished message to the outside world: an SMTP server (through libcurl) or
// the system's sendmail. The message is already MIME with CRLF line ends; the
// envelope carries every recipient, Bcc included, which the headers no longer name.
namespace vnt::transport {

struct TransportSettings
{
    enum Kind { Smtp, Sendmail };
    enum Security { Plain, StartTls, ImplicitTls };

    Kind kind = Smtp;
    QString host;
    int port = 587;
    Security security = StartTls;
    QString user;
    QString password;
    // Certificates to trust besides the system's; servers are always verified.
    QString caFile;
    // The name this machine gives in EHLO; empty: the host name.
    QString heloName;
    int timeoutSeconds = 120;
    QString sendmailPath = QStringLiteral("/usr/sbin/sendmail");
};

struct Envelope
{
    QByteArray from;              // bare address, may be empty (a bounce)
    QList<QByteArray> recipients; // bare addresses
};

struct SendResult
{
    enum Outcome {
        Sent,     // accepted for the recipients in `accepted`; not for the others
        Deferred, // nothing sent; worth trying again later (network down, 4xx answers)
        Refused,  // nothing sent; trying again will not help
    };

    Outcome outcome = Refused;
    // The server's last answer ("550 5.1.1 <x@y>: user unknown") or sendmail's output.
    QString serverReply;
    // What went wrong, for a person: "the server refused the recipient ...".
    QString reason;
    QList<QByteArray> accepted;
    QList<QByteArray> refused;  // for good (5xx)
    QList<QByteArray> deferred; // for now (4xx): the message may go to them later

    bool sent() const { return outcome == Sent; }
};

SendResult sendMessage(const TransportSettings& settings, const Envelope& envelope,
                       const QByteArray& message);

// Each transport on its own; sendMessage chooses by the settings' kind.
SendResult sendWithSmtp(const TransportSettings& settings, const Envelope& envelope,
                        const QByteArray& message);
SendResult sendWithSendmail(const TransportSettings& settings, const Envelope& envelope,
                            const QByteArray& message);

} // namespace vnt::transport
