// Another server's view of the same Maildir: what Dovecot takes in over IMAP the library
// reads, and what the library writes Dovecot serves, with the same folders and flags.
#include "LocalServers.h"
#include "MapiFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace mapitest;

namespace {} // namespace

class TestDovecot : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_dovecot;
    int m_port = 0;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // Dovecot will not serve as root: it then runs as nobody, who must own the Maildir.
    void handOver()
    {
        if (geteuid() == 0)
            QProcess::execute(
                QStringLiteral("chown"),
                {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), m_dir.path()});
    }

    QByteArray imap(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess client;
        client.start(QStringLiteral("/usr/bin/python3"),
                     QStringList{QStringLiteral(VANTREL_TEST_SUPPORT "/imap_client.py"),
                                 QString::number(m_port)} +
                         arguments);
        client.write(input);
        client.closeWriteChannel();
        client.waitForFinished(20000);
        return client.exitCode() == 0 ? client.readAllStandardOutput() : QByteArray("failed");
    }
    QJsonArray imapJson(const QStringList& arguments)
    {
        return QJsonDocument::fromJson(imap(arguments)).array();
    }

    QByteArray config(uint uid, uint gid, const QByteArray& user, const QByteArray& group)
    {
        const QByteArray dir = QFile::encodeName(m_dir.path());
        return "base_dir = " + dir + "/run\nstate_dir = " + dir + "/state\nlog_path = " + dir +
               "/dovecot.log\nprotocols = imap\nlisten = 127.0.0.1\nssl = no\n"
               "disable_plaintext_auth = no\nauth_mechanisms = plain login\n"
               "default_internal_user = " +
               user + "\ndefault_internal_group = " + group + "\ndefault_login_user = " + user +
               "\nservice imap-login {\n  chroot =\n  inet_listener imap {\n"
               "    address = 127.0.0.1\n    port = " +
               QByteArray::number(m_port) +
               "\n  }\n  inet_listener imaps {\n    port = 0\n  }\n}\n"
               "service anvil {\n  chroot =\n}\n"
               "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%n " +
               dir +
               "/passwd\n}\nuserdb {\n  driver = static\n  args = uid=" + QByteArray::number(uid) +
               " gid=" + QByteArray::number(gid) + " home=" + dir +
               "/home\n}\nmail_location = maildir:" + dir +
               "/Maildir\nnamespace inbox {\n  inbox = yes\n  separator = .\n}\n";
    }

    MapiPtr<IMAPIFolder> freshInbox()
    {
        m_inbox = openInbox(m_store.get());
        return m_inbox;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString dovecot = QStandardPaths::findExecutable(
            QStringLiteral("dovecot"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (dovecot.isEmpty())
            QSKIP("Dovecot is not installed");
        m_port = freeLocalPort();
        QVERIFY(m_port > 0);
        MaildirBuilder(path("Maildir"));
        for (const char* sub : {"run", "state", "home"})
            QVERIFY(QDir(m_dir.path()).mkpath(QLatin1String(sub)));
        QVERIFY(writeFile(path("passwd"), "alice:{PLAIN}secret::::::\n"));
        const bool root = geteuid() == 0;
        QVERIFY(writeFile(path("dovecot.conf"),
                          root ? config(65534, 65534, "nobody", "nogroup")
                               : config(getuid(), getgid(), qgetenv("USER"), qgetenv("USER"))));
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther);
        handOver();
        QStringList command{dovecot, QStringLiteral("-F"), QStringLiteral("-c"),
                            path("dovecot.conf")};
        if (root)
            command =
                QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                            QStringLiteral("--clear-groups")} +
                command;
        m_dovecot.start(root ? QStringLiteral("setpriv") : command.takeFirst(), command);
        QVERIFY(m_dovecot.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(imap({QStringLiteral("folders")}) != "failed", 10000);

        QVERIFY(startLibrary(m_dir, "[Profile Shared]\nStores=Mail\nName=Alice\n"
                                    "Address=alice@example.com\n"
                                    "[Store Shared/Mail]\nPath=@ROOT@/Maildir\n"));
        QCOMPARE(newSession("Shared", &m_session), S_OK);
        m_store = openStore(m_session.get());
        QVERIFY(m_store && freshInbox());
        handOver(); // the folders the store made for itself
    }

    void cleanupTestCase()
    {
        if (m_session)
            endSession(&m_session, &m_inbox, &m_store);
        if (m_dovecot.state() != QProcess::NotRunning) {
            m_dovecot.terminate();
            if (!m_dovecot.waitForFinished(10000))
                m_dovecot.kill();
        }
    }

    void whatDovecotTakesInTheLibraryReads()
    {
        QCOMPARE(imap({QStringLiteral("append"), QStringLiteral("INBOX")},
                      "From: Bob <bob@example.net>\r\nTo: alice@example.com\r\n"
                      "Subject: Arrived over IMAP\r\n\r\nHello Alice.\r\n"),
                 QByteArray());
        RowSet rows;
        QCOMPARE(contents(freshInbox().get(), {PR_SUBJECT, PR_MESSAGE_FLAGS}, &rows), S_OK);
        QVERIFY(texts(rows).contains(QStringLiteral("Arrived over IMAP")));
        const auto flagsOf = [&] {
            contents(freshInbox().get(), {PR_SUBJECT, PR_MESSAGE_FLAGS}, &rows);
            for (ULONG i = 0; i < rows.count(); ++i) {
                if (text(findValue(rows.row(i), PR_SUBJECT)) == QLatin1String("Arrived over IMAP"))
                    return ULONG(findValue(rows.row(i), PR_MESSAGE_FLAGS)->Value.l);
            }
            return ULONG(0xFFFFFFFF);
        };
        QVERIFY(!(flagsOf() & MSGFLAG_READ));
        // Read in another client: the library sees it read.
        QCOMPARE(imap({QStringLiteral("seen"), QStringLiteral("INBOX"), QStringLiteral("1")}),
                 QByteArray());
        QTRY_VERIFY(flagsOf() & MSGFLAG_READ);
    }

    void whatTheLibraryWritesDovecotServes()
    {
        MapiPtr<IMessage> message;
        QCOMPARE(freshInbox()->CreateMessage(nullptr, 0, message.put()), S_OK);
        SPropValue subject{};
        subject.ulPropTag = PR_SUBJECT;
        subject.Value.lpszA = const_cast<char*>("Written by the library");
        QVERIFY(SUCCEEDED(message->SetProps(1, &subject, nullptr)));
        QCOMPARE(message->SaveChanges(0), S_OK);
        QCOMPARE(message->SetReadFlag(0), S_OK);
        message.reset();
        MapiPtr<IMAPIFolder> subtree = openEntry<IMAPIFolder>(
            m_store.get(), binary(Props(m_store.get(), {PR_IPM_SUBTREE_ENTRYID})[0]), MAPI_MODIFY);
        QVERIFY(subtree);
        MapiPtr<IMAPIFolder> created;
        QCOMPARE(subtree->CreateFolder(FOLDER_GENERIC, const_cast<char*>("Customers"), nullptr,
                                       nullptr, 0, created.put()),
                 S_OK);
        handOver();

        const QJsonArray folders = imapJson({QStringLiteral("folders")});
        for (const char* name : {"INBOX", "Customers", "Outbox", "Sent Items", "Drafts"})
            QVERIFY2(folders.contains(QLatin1String(name)), name);
        bool found = false;
        for (const QJsonValue& entry :
             imapJson({QStringLiteral("messages"), QStringLiteral("INBOX")})) {
            const QJsonArray pair = entry.toArray();
            if (pair.at(0).toString() == QLatin1String("Written by the library")) {
                found = true;
                // Unsent until submitted, as every new message is: a draft to other clients.
                QCOMPARE(pair.at(1).toArray(),
                         (QJsonArray{QStringLiteral("\\Draft"), QStringLiteral("\\Seen")}));
            }
        }
        QVERIFY(found);
    }
};

QTEST_GUILESS_MAIN(TestDovecot)
#include "tst_dovecot.moc"
