// Shared by the sending tests and the sending benchmark: the SMTP sink of tests/support in its
// own process, profiles with a transport, and messages built and submitted as the program does.
#pragma once

#include "LocalServers.h"
#include "PropValues.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <functional>

namespace mapitest {

// Debian's python3, which has aiosmtpd; not whatever python3 comes first on PATH.
inline QString systemPython()
{
    return QStringLiteral("/usr/bin/python3");
}

// A profile "Desk" whose one store is `root`, sending through `transport` lines (the body of
// its [Transport Desk] group).
inline QByteArray sendingProfile(const QString& root, const QByteArray& transport,
                                 const QByteArray& storeLines = {})
{
    return "[Profile Desk]\nDefault=true\nStores=Mail\nName=Sam Support\n"
           "Address=sam@example.com\n\n[Store Desk/Mail]\nPath=" +
           QFile::encodeName(root) + "\nDefault=true\n" + storeLines + "\n[Transport Desk]\n" +
           transport;
}

inline QByteArray smtpTransport(int port, double retrySeconds = 60)
{
    return "Kind=smtp\nHost=127.0.0.1\nPort=" + QByteArray::number(port) +
           "\nSecurity=none\nRetrySeconds=" + QByteArray::number(retrySeconds) + "\n";
}

inline QStringList messagesIn(const QString& folderDir)
{
    QStringList all;
    for (const char* sub : {"new", "cur"}) {
        for (const QString& name : filesIn(folderDir + QLatin1Char('/') + QLatin1String(sub))) {
            all << folderDir + QLatin1Char('/') + QLatin1String(sub) + QLatin1Char('/') + name;
        }
    }
    return all;
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A message made in the Outbox of `store` with `recipients` ("rowid|type|name|address" lines)
// and saved; null when a step fails.
inline MapiPtr<IMessage> composeInOutbox(IMsgStore* store, const QString& subject,
                                         const QString& body, const QStringList& recipients)
{
    MapiPtr<IMessage> message;
    MapiPtr<IMAPIFolder> outbox = openFolder(store, PR_IPM_OUTBOX_ENTRYID);
    if (!outbox || outbox->CreateMessage(nullptr, 0, message.put()) != S_OK) {
        return {};
    }
    Values values;
    values.text(PR_SUBJECT, subject).text(PR_BODY, body);
    Recipients list(recipients);
    if (values.applyTo(message.get()) != S_OK ||
        message->ModifyRecipients(MODRECIP_ADD, list.get()) != S_OK) {
        return {};
    }
    return message;
}

// The text of a queue record as the library writes it, checksum included, for tests that
// leave a queue as a crash would.
inline QByteArray spoolRecord(const QByteArray& fields)
{
    QByteArray text = "vantrel-spool 1\n" + fields;
    return text + "sum=" + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex() +
           "\n";
}

} // namespace mapitest
