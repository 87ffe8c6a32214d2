#include "LocalServers.h"
#include "Transport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vnt::transport;

namespace {

const QString kSinkScript = QStringLiteral(VANTREL_TEST_SUPPORT "/smtp_sink.py");

QJsonObject envelopeOf(const SmtpSink& sink, int n)
{
    return QJsonDocument::fromJson(sink.envelope(n)).object();
}

TransportSettings plainSmtp(int port)
{
    TransportSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.security = TransportSettings::Plain;
    settings.timeoutSeconds = 20;
    return settings;
}

const QByteArray kMessage = "From: Support <help@example.com>\r\n"
                            "To: Ann <ann@example.org>\r\n"
                            "Subject: Your order\r\n"
                            "Content-Type: text/plain; charset=utf-8\r\n"
                            "Content-Transfer-Encoding: 8bit\r\n"
                            "\r\n"
                            "Gr\xc3\xbc\xc3\x9f"
                            "e,\r\n"
                            ".a line that starts with a dot\r\n"
                            ".\r\n"
                            "End.\r\n";

QList<QByteArray> addresses(const QJsonValue& list)
{
    QList<QByteArray> result;
    for (const QJsonValue& value : list.toArray())
        result.append(value.toString().toUtf8());
    return result;
}

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversTheMessageToEveryEnvelopeRecipient()
    {
        SmtpSink sink(kSinkScript);
        QVERIFY(sink.port() > 0);
        const Envelope envelope{"help@example.com",
                                {"ann@example.org", "bob@example.org", "hidden@example.net"}};
        const SendResult result = sendMessage(plainSmtp(sink.port()), envelope, kMessage);
        QVERIFY2(result.sent(), qPrintable(result.reason));
        QCOMPARE(result.accepted, envelope.recipients);
        QVERIFY(result.refused.isEmpty());
        // Byte for byte, dots and 8-bit text included; the Bcc address only in the envelope.
        QCOMPARE(sink.message(1), kMessage);
        QCOMPARE(addresses(envelopeOf(sink, 1).value(QStringLiteral("to"))), envelope.recipients);
        QCOMPARE(envelopeOf(sink, 1).value(QStringLiteral("from")).toString(),
                 QStringLiteral("help@example.com"));
    }

    void serverAnswersDecideTheOutcome_data()
    {
        QTest::addColumn<QList<QByteArray>>("recipients");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QList<QByteArray>>("refused");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("delivered");
        QTest::newRow("one refused, one for later")
            << QList<QByteArray>{"ann@example.org", "refuse@example.org", "later@example.org"}
            << int(SendResult::Sent) << QList<QByteArray>{"refuse@example.org"}
            << QStringLiteral("451") << 1;
        QTest::newRow("every recipient refused")
            << QList<QByteArray>{"refuse1@example.org", "refuse2@example.org"}
            << int(SendResult::Refused)
            << QList<QByteArray>{"refuse1@example.org", "refuse2@example.org"}
            << QStringLiteral("550") << 0;
        QTest::newRow("try again later")
            << QList<QByteArray>{"later@example.org"} << int(SendResult::Deferred)
            << QList<QByteArray>{} << QStringLiteral("451") << 0;
        QTest::newRow("connection dropped at the message")
            << QList<QByteArray>{"drop@example.org"} << int(SendResult::Deferred)
            << QList<QByteArray>{} << QString() << 0;
    }
    void serverAnswersDecideTheOutcome()
    {
        QFETCH(QList<QByteArray>, recipients);
        QFETCH(int, outcome);
        QFETCH(QList<QByteArray>, refused);
        QFETCH(QString, reply);
        QFETCH(int, delivered);
        SmtpSink sink(kSinkScript);
        const SendResult result =
            sendMessage(plainSmtp(sink.port()), {"help@example.com", recipients}, kMessage);
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.refused, refused);
        for (const QByteArray& address : recipients) {
            const bool later = address.startsWith("later");
            QCOMPARE(result.deferred.contains(address), later);
        }
        QVERIFY2(result.serverReply.startsWith(reply), qPrintable(result.serverReply));
        QVERIFY(result.sent() || !result.reason.isEmpty());
        QCOMPARE(sink.count(), delivered);
    }

    void unreachableServerIsTriedAgainLater()
    {
        const int port = freeLocalPort(); // nothing listens there
        const SendResult result = sendMessage(plainSmtp(port), {"a@b.c", {"d@e.f"}}, kMessage);
        QCOMPARE(result.outcome, SendResult::Deferred);
        QCOMPARE(result.reason, QStringLiteral("the mail server could not be reached"));
    }

    void loginAndSecurityFailuresAreNotRetried()
    {
        SmtpSink sink(kSinkScript, {QStringLiteral("--user"), QStringLiteral("agent"),
                                    QStringLiteral("--password"), QStringLiteral("s3cret")});
        TransportSettings settings = plainSmtp(sink.port());
        settings.user = QStringLiteral("agent");
        settings.password = QStringLiteral("wrong");
        SendResult result = sendMessage(settings, {"a@b.c", {"ann@example.org"}}, kMessage);
        QCOMPARE(result.outcome, SendResult::Refused);
        QVERIFY2(result.reason.contains(QStringLiteral("password")), qPrintable(result.reason));

        settings.password = QStringLiteral("s3cret");
        result = sendMessage(settings, {"a@b.c", {"ann@example.org"}}, kMessage);
        QVERIFY2(result.sent(), qPrintable(result.reason));

        // A server without STARTTLS is not used in the clear when security was asked for.
        settings.security = TransportSettings::StartTls;
        result = sendMessage(settings, {"a@b.c", {"ann@example.org"}}, kMessage);
        QCOMPARE(result.outcome, SendResult::Refused);
        QCOMPARE(result.reason,
                 QStringLiteral("the mail server does not offer a secure connection"));
        QCOMPARE(sink.count(), 1);
    }

    void sendmailExitCodesDecideTheOutcome_data()
    {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("outcome");
        QTest::newRow("delivered") << 0 << int(SendResult::Sent);
        QTest::newRow("temporary failure") << 75 << int(SendResult::Deferred);
        QTest::newRow("refused") << 67 << int(SendResult::Refused);
    }
    void sendmailExitCodesDecideTheOutcome()
    {
        QFETCH(int, exitCode);
        QFETCH(int, outcome);
        QTemporaryDir dir;
        // A sendmail that keeps its arguments and input, then exits as told.
        const QString script = dir.filePath(QStringLiteral("sendmail"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/args'\ncat > '%1/input'\n"
                                  "echo 'queued or not'\nexit %2\n")
                       .arg(dir.path())
                       .arg(exitCode)
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        TransportSettings settings;
        settings.kind = TransportSettings::Sendmail;
        settings.sendmailPath = script;
        const SendResult result =
            sendMessage(settings, {"", {"ann@example.org", "-oQ/tmp@example.org"}}, kMessage);
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.serverReply, QStringLiteral("queued or not"));
        QFile args(dir.filePath(QStringLiteral("args"))),
            input(dir.filePath(QStringLiteral("input")));
        QVERIFY(args.open(QIODevice::ReadOnly) && input.open(QIODevice::ReadOnly));
        // A bounce's empty sender, and a recipient that looks like an option kept as one.
        QCOMPARE(args.readAll(),
                 QByteArray("-i\n-f\n<>\n--\nann@example.org\n-oQ/tmp@example.org\n"));
        QCOMPARE(input.readAll(), QByteArray(kMessage).replace("\r\n", "\n"));
    }

    void missingSendmailIsReported()
    {
        TransportSettings settings;
        settings.kind = TransportSettings::Sendmail;
        settings.sendmailPath = QStringLiteral("/nonexistent/sendmail");
        const SendResult result = sendMessage(settings, {"a@b.c", {"d@e.f"}}, kMessage);
        QCOMPARE(result.outcome, SendResult::Refused);
        QVERIFY(result.reason.contains(QStringLiteral("/nonexistent/sendmail")));
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
