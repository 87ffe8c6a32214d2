// Sending through the mail library: SubmitMessage, the spooler and what it leaves behind
// (Sent Items copy, reports in the Inbox), AbortSubmit, read receipts and the special folders,
// against real Maildirs, the SMTP sink of tests/support and a sendmail stand-in.
#include "NotifySink.h"
#include "SubmitFixture.h"

#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/wait.h>

using namespace mapitest;

namespace {

const QString kSinkScript = QStringLiteral(VANTREL_TEST_DATA "/../support/smtp_sink.py");

// Closes the first connection at once, as a server going away does, and forwards the others
// to the sink. It prints its port, and "dropped" once it has dropped one.
const char kDroppingProxy[] = R"(
import asyncio, sys
sink = int(sys.argv[1])
dropped = False
async def pipe(reader, writer):
    try:
        while data := await reader.read(65536):
            writer.write(data)
            await writer.drain()
    finally:
        writer.close()
async def serve(reader, writer):
    global dropped
    if not dropped:
        dropped = True
        writer.transport.abort()
        print("dropped", flush=True)
        return
    up_reader, up_writer = await asyncio.open_connection("127.0.0.1", sink)
    await asyncio.gather(pipe(reader, up_writer), pipe(up_reader, writer))
async def main():
    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()
asyncio.run(main())
)";

bool hasDraftFlag(const QString& path)
{
    const QString info = path.section(QStringLiteral(":2,"), 1);
    return info.contains(QLatin1Char('D'));
}

} // namespace

class TestSubmit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void folderRoles_data();
    void folderRoles();
    void deliveryWithBccLongLinesAndAttachment();
    void refusedRecipients_data();
    void refusedRecipients();
    void droppedConnectionIsRetried();
    void laterRecipientStaysQueued();
    void passwordAskedOncePerSession();
    void deleteAfterSubmit();
    void sendmailStandIn();
    void queuedMessageSentByAnotherProcess();
    void sendCutShortByCrashIsRepeated();
    void abortSubmit();
    void damagedRecordIsReportedAndNothingLost();
    void readReceipt();
    void cannotSubmitWithoutTransportOrRecipients();

private:
    QString outbox() const { return m_root + QStringLiteral("/.Outbox"); }
    QString sent() const { return m_root + QStringLiteral("/.Sent Items"); }
    QString spool() const { return outbox() + QStringLiteral("/vantrel-spool"); }
    bool logOn(const QByteArray& transport, ULONG flags = MAPI_EXTENDED | MAPI_NEW_SESSION);
    void logOff() { endSession(&m_session, &m_store); }
    // Submits a plain message to `recipients`; its Outbox entry id goes to `id`.
    HRESULT submit(const QStringList& recipients, QByteArray* id = nullptr,
                   const QString& subject = QStringLiteral("Your ticket"));

    std::unique_ptr<SmtpSink> m_sink;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestSubmit::initTestCase()
{
    qunsetenv("DBUS_SESSION_BUS_ADDRESS"); // no desktop keyring here
    QVERIFY(library().isLoaded());
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    m_sink = std::make_unique<SmtpSink>(kSinkScript);
    QVERIFY2(m_sink->port() > 0, "the SMTP sink did not start");
}

void TestSubmit::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_root = m_dir->filePath(QStringLiteral("Mail"));
    MaildirBuilder builder(m_root); // a new store: empty
}

void TestSubmit::cleanup()
{
    logOff();
}

bool TestSubmit::logOn(const QByteArray& transport, ULONG flags)
{
    logOff();
    if (!installProfiles(m_dir->path(), sendingProfile(m_root, transport)) ||
        api().MAPILogonEx(0, "Desk", nullptr, flags, m_session.put()) != S_OK) {
        return false;
    }
    m_store = openStore(m_session.get());
    return bool(m_store);
}

HRESULT TestSubmit::submit(const QStringList& recipients, QByteArray* id, const QString& subject)
{
    MapiPtr<IMessage> message =
        composeInOutbox(m_store.get(), subject, QStringLiteral("We fixed it.\n"), recipients);
    if (!message) {
        return MAPI_E_CALL_FAILED;
    }
    const HRESULT hr = message->SubmitMessage(FORCE_SUBMIT);
    if (id) {
        *id = propBytes(message.get(), PR_ENTRYID);
    }
    return hr;
}

void TestSubmit::folderRoles_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("roles"); // outbox, sent, deleted, drafts as their names
    QTest::addColumn<ULONG>("mask");
    QTest::addColumn<QByteArray>("profile"); // lines of the store's profile group
    QTest::addColumn<int>("made");           // folders added to the Maildir

    const ULONG all = FOLDER_IPM_SUBTREE_VALID | FOLDER_IPM_INBOX_VALID | FOLDER_IPM_OUTBOX_VALID |
                      FOLDER_IPM_WASTEBASKET_VALID | FOLDER_IPM_SENTMAIL_VALID;
    QTest::newRow("new store gets all four")
        << QStringList{} << QStringList{"Outbox", "Sent Items", "Deleted Items", "Drafts"} << all
        << QByteArray() << 4;
    // What Dovecot, mutt and Thunderbird make is used as it is; only the missing roles
    // (always the Outbox, which no other client makes) get folders of their own.
    QTest::newRow("dovecot names")
        << QStringList{".Sent", ".Trash", ".Drafts"}
        << QStringList{"Outbox", "Sent", "Trash", "Drafts"} << all << QByteArray() << 1;
    QTest::newRow("apple names, other case")
        << QStringList{".sent messages", ".Deleted Messages", ".Outbox"}
        << QStringList{"Outbox", "sent messages", "Deleted Messages", "Drafts"} << all
        << QByteArray() << 1;
    QTest::newRow("outbox named by the profile")
        << QStringList{".Sent", ".Trash"} << QStringList{"Queue", "Sent", "Trash", "Drafts"} << all
        << QByteArray("Outbox=.Queue\n") << 2;
}

void TestSubmit::folderRoles()
{
    QFETCH(QStringList, existing);
    QFETCH(QStringList, roles);
    QFETCH(ULONG, mask);
    QFETCH(QByteArray, profile);
    QFETCH(int, made);
    MaildirBuilder builder(m_root);
    for (const QString& folder : existing) {
        builder.addFolder(folder);
    }
    QVERIFY(installProfiles(m_dir->path(),
                            sendingProfile(m_root, smtpTransport(m_sink->port()), profile)));
    QCOMPARE(
        api().MAPILogonEx(0, "Desk", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, m_session.put()),
        S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
    QCOMPARE(ULONG(Props(m_store.get(), {PR_VALID_FOLDER_MASK})[0]->Value.l), mask);
    const ULONG idTags[] = {PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID,
                            PR_IPM_WASTEBASKET_ENTRYID, PR_IPM_DRAFTS_ENTRYID};
    for (int i = 0; i < 4; ++i) {
        MapiPtr<IMAPIFolder> folder;
        if (!propBytes(m_store.get(), idTags[i]).isEmpty()) {
            folder = openFolder(m_store.get(), idTags[i]);
        }
        QCOMPARE(folder ? text(Props(folder.get(), {PR_DISPLAY_NAME})[0]) : QString(), roles[i]);
    }
    // No duplicates: the Maildir holds what was there, plus the roles it lacked.
    QStringList folders = QDir(m_root).entryList({QStringLiteral(".*")},
                                                 QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(folders.size(), existing.size() + made);
}

void TestSubmit::deliveryWithBccLongLinesAndAttachment()
{
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    const int before = m_sink->count();
    // The program learns the outcome from the Sent Items table, as it would on its own.
    MapiPtr<IMAPIFolder> sentFolder = openFolder(m_store.get(), PR_IPM_SENTMAIL_ENTRYID);
    MapiPtr<IMAPITable> sentTable;
    QCOMPARE(sentFolder->GetContentsTable(0, sentTable.put()), S_OK);
    auto* sink = new RecordingSink;
    MapiPtr<RecordingSink> owner(sink);
    ULONG connection = 0;
    QCOMPARE(sentTable->Advise(fnevTableModified, sink, &connection), S_OK);

    const QString longLine = QString(2000, QLatin1Char('x'));
    MapiPtr<IMessage> message = composeInOutbox(
        m_store.get(), QStringLiteral("Grüße zum Ticket"),
        QStringLiteral("Grüße aus Köln\n") + longLine + QStringLiteral("\n.\nEnd.\n"),
        {"-1|1|Ann Lee|ann@example.org", "-1|2|Bob|bob@example.net", "-1|3|Hidden|cy@example.com"});
    QVERIFY(message);
    const QByteArray data = QByteArray("\x00\x01\xff\r\n binary", 12).repeated(100);
    ULONG number = 0;
    MapiPtr<IAttach> attach;
    QCOMPARE(message->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
    Values attachValues;
    attachValues.text(PR_ATTACH_LONG_FILENAME, QStringLiteral("log.bin"))
        .text(PR_ATTACH_MIME_TAG, QStringLiteral("application/octet-stream"))
        .number(PR_ATTACH_METHOD, ATTACH_BY_VALUE)
        .bytes(PR_ATTACH_DATA_BIN, data);
    QCOMPARE(attachValues.applyTo(attach.get()), S_OK);
    QCOMPARE(attach->SaveChanges(0), S_OK);
    // A forwarded message saved by this library carries its private headers (a recipient
    // row naming its Bcc recipient among them): they stay behind too.
    MapiPtr<IAttach> forwarded;
    QCOMPARE(message->CreateAttach(nullptr, 0, &number, forwarded.put()), S_OK);
    Values forwardedValues;
    forwardedValues.number(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG)
        .bytes(PR_ATTACH_DATA_BIN, "From: Ann <ann@example.org>\r\nSubject: Earlier\r\n"
                                   "X-Vantrel-Prop-Recipient: 3|Secret|secret@example.org\r\n"
                                   "\r\nThe earlier message.\r\n");
    QCOMPARE(forwardedValues.applyTo(forwarded.get()), S_OK);
    QCOMPARE(forwarded->SaveChanges(0), S_OK);
    QCOMPARE(message->SubmitMessage(FORCE_SUBMIT), S_OK);

    QVERIFY(waitUntil([&] { return m_sink->count() == before + 1; }));
    const QByteArray wire = m_sink->message(before + 1);
    const QByteArray envelope = m_sink->envelope(before + 1);
    for (const char* to : {"ann@example.org", "bob@example.net", "cy@example.com"}) {
        QVERIFY2(envelope.contains(to), envelope.constData());
    }
    QVERIFY(envelope.contains("sam@example.com"));
    QVERIFY(!wire.contains("cy@example.com")); // Bcc only in the envelope
    QVERIFY(!wire.contains("X-Vantrel"));      // nor the library's private headers
    QVERIFY(!wire.contains("secret@example.org"));
    QVERIFY(wire.contains("Subject: Earlier"));
    QVERIFY(wire.contains("From: Sam Support <sam@example.com>"));
    QVERIFY(wire.contains("filename=log.bin"));
    for (const QByteArray& line : wire.split('\n')) {
        QVERIFY2(line.size() <= 999, "a line over 998 octets went out"); // 998 + CR
        QVERIFY2(line.isEmpty() || line.endsWith('\r'), "a line without CRLF went out");
    }
    // The sent copy keeps Bcc and arrives in Sent Items; the Outbox and the queue are empty.
    QVERIFY(waitUntil([&] { return messagesIn(sent()).size() == 1; }));
    const QByteArray copy = readFile(messagesIn(sent()).front());
    QVERIFY(copy.contains("cy@example.com"));
    QVERIFY(QFileInfo(messagesIn(sent()).front()).fileName().endsWith(QLatin1String(":2,S")));
    QVERIFY(waitUntil([&] { return messagesIn(outbox()).isEmpty(); }));
    QVERIFY(waitUntil([&] {
        return QDir(spool())
            .entryList({QStringLiteral("*.rec"), QStringLiteral("*.eml")})
            .isEmpty();
    }));
    QVERIFY(waitUntil([&] {
        for (const Seen& seen : sink->rowEvents()) {
            if (seen.tableEvent == TABLE_ROW_ADDED) {
                return true;
            }
        }
        return false;
    }));
    sentTable->Unadvise(connection);
}

void TestSubmit::refusedRecipients_data()
{
    QTest::addColumn<QStringList>("recipients");
    QTest::addColumn<bool>("partial");
    QTest::newRow("one of two refused")
        << QStringList{"-1|1|Ann|ann@example.org", "-1|2|Gone|refuse.gone@example.org"} << true;
    QTest::newRow("all refused") << QStringList{"-1|1|Gone|refuse.gone@example.org"} << false;
}

void TestSubmit::refusedRecipients()
{
    QFETCH(QStringList, recipients);
    QFETCH(bool, partial);
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    const int before = m_sink->count();
    QCOMPARE(submit(recipients), S_OK);
    QVERIFY(waitUntil([&] { return messagesIn(m_root).size() == 1; }));
    const QByteArray report = readFile(messagesIn(m_root).front());
    QVERIFY(messagesIn(m_root).front().contains(QLatin1String("/new/"))); // unread
    QVERIFY(report.contains("refuse.gone@example.org"));
    QVERIFY(report.contains("550 5.1.1"));
    QVERIFY(report.contains("report-type=delivery-status"));
    QVERIFY(!report.contains("Final-Recipient: rfc822; ann@example.org")); // reached it
    QVERIFY(report.contains("Subject: Your ticket")); // the original travels with it
    QVERIFY(
        waitUntil([&] { return QDir(spool()).entryList({QStringLiteral("*.rec")}).isEmpty(); }));
    QCOMPARE(m_sink->count(), before + (partial ? 1 : 0));
    if (partial) {
        QCOMPARE(messagesIn(sent()).size(), 1);
        QVERIFY(messagesIn(outbox()).isEmpty());
    } else {
        // Sent to nobody: back in the Outbox as a draft to correct, nothing in Sent Items.
        QCOMPARE(messagesIn(sent()).size(), 0);
        QCOMPARE(messagesIn(outbox()).size(), 1);
        QVERIFY(hasDraftFlag(messagesIn(outbox()).front()));
    }
}

void TestSubmit::droppedConnectionIsRetried()
{
    QProcess proxy;
    proxy.start(systemPython(), {QStringLiteral("-c"), QString::fromLatin1(kDroppingProxy),
                                 QString::number(m_sink->port())});
    QVERIFY(proxy.waitForReadyRead(10000));
    const int port = proxy.readLine().trimmed().toInt();
    QVERIFY(port > 0);
    QVERIFY(logOn(smtpTransport(port, 0.3)));
    const int before = m_sink->count();
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}), S_OK);
    QVERIFY(waitUntil([&] { return proxy.readAll().contains("dropped") || proxy.canReadLine(); }));
    // Dropped: still queued, no report, then delivered on the next try.
    QVERIFY(waitUntil([&] { return m_sink->count() == before + 1; }));
    QVERIFY(messagesIn(m_root).isEmpty());
    QVERIFY(waitUntil([&] { return messagesIn(sent()).size() == 1; }));
    proxy.terminate();
    proxy.waitForFinished();
}

void TestSubmit::laterRecipientStaysQueued()
{
    QVERIFY(logOn(smtpTransport(m_sink->port(), 30)));
    const int before = m_sink->count();
    QCOMPARE(submit({"-1|1|Ann|ann@example.org", "-1|1|Busy|later.busy@example.org"}), S_OK);
    // Delivered to the one, copied to Sent Items, and queued for the other; not failed yet.
    QVERIFY(
        waitUntil([&] { return m_sink->count() == before + 1 && messagesIn(sent()).size() == 1; }));
    QVERIFY(waitUntil([&] {
        const QByteArray record =
            readFile(spool() + QLatin1Char('/') +
                     QDir(spool()).entryList({QStringLiteral("*.rec")}).value(0));
        return record.contains("state=queued") && record.contains("rcpt=later.busy@example.org") &&
               !record.contains("rcpt=ann@");
    }));
    QVERIFY(messagesIn(outbox()).isEmpty());
    QVERIFY(messagesIn(m_root).isEmpty());
}

void TestSubmit::passwordAskedOncePerSession()
{
    SmtpSink guarded(kSinkScript, {QStringLiteral("--user"), QStringLiteral("agent"),
                                   QStringLiteral("--password"), QStringLiteral("s3cret")});
    QVERIFY(guarded.port() > 0);
    const QByteArray transport = smtpTransport(guarded.port()) + "User=agent\n";
    // No keyring and no prompt allowed: nothing to log in with, so the message waits; it has
    // not failed.
    QVERIFY(logOn(transport));
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}), S_OK);
    QTest::qWait(500);
    QCOMPARE(guarded.count(), 0);
    QVERIFY(messagesIn(m_root).isEmpty());
    // With MAPI_PASSWORD_UI the library asks once, and the answer logs in.
    int asked = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&asked] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->objectName() == QLatin1String("vntmapiPasswordDialog")) {
            dialog->findChild<QLineEdit*>(QStringLiteral("password"))
                ->setText(QStringLiteral("s3cret"));
            ++asked;
            dialog->accept();
        }
    });
    answer.start(20);
    QVERIFY(logOn(transport, MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_PASSWORD_UI));
    answer.stop();
    QCOMPARE(asked, 1);
    QVERIFY(waitUntil([&] { return guarded.count() == 1; }));
    // Kept in memory only: no file of the profile, store or queue holds it.
    QDirIterator files(m_dir->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QVERIFY2(!readFile(path).contains("s3cret"), qPrintable(path));
    }
}

void TestSubmit::deleteAfterSubmit()
{
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    const int before = m_sink->count();
    MapiPtr<IMessage> message = composeInOutbox(
        m_store.get(), QStringLiteral("Post"), QStringLiteral("x\n"), {"-1|1|Ann|ann@example.org"});
    Values values;
    values.number(PR_DELETE_AFTER_SUBMIT, 1);
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SubmitMessage(0), S_OK);
    QVERIFY(waitUntil([&] { return m_sink->count() == before + 1; }));
    QVERIFY(waitUntil([&] { return messagesIn(outbox()).isEmpty(); }));
    QCOMPARE(messagesIn(sent()).size(), 0);
}

void TestSubmit::sendmailStandIn()
{
    // Keeps its arguments and the message as a sendmail would take them.
    const QString script = m_dir->filePath(QStringLiteral("sendmail"));
    const QString out = m_dir->filePath(QStringLiteral("sent"));
    QVERIFY(writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(out) +
                                  ".args'\ncat > '" + QFile::encodeName(out) + ".eml'\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(logOn("Kind=sendmail\nSendmail=" + QFile::encodeName(script) + "\n"));
    QCOMPARE(submit({"-1|1|Ann|ann@example.org", "-1|3|Cy|cy@example.com"}), S_OK);
    QVERIFY(waitUntil([&] { return messagesIn(sent()).size() == 1; }));
    const QByteArray args = readFile(out + QStringLiteral(".args"));
    QVERIFY2(args.contains("ann@example.org") && args.contains("cy@example.com"), args.constData());
    const QByteArray wire = readFile(out + QStringLiteral(".eml"));
    QVERIFY(wire.contains("Subject: Your ticket"));
    QVERIFY(!wire.contains("cy@example.com"));
}

void TestSubmit::queuedMessageSentByAnotherProcess()
{
    // Queued by a session that does not send (as at the program's start-up probe) ...
    QVERIFY(logOn(smtpTransport(m_sink->port()), MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL));
    const int before = m_sink->count();
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}), S_OK);
    QTest::qWait(300);
    QCOMPARE(m_sink->count(), before);
    QCOMPARE(QDir(spool()).entryList({QStringLiteral("*.rec")}).size(), 1);
    logOff();
    // ... and sent by the next program to log on.
    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedChannels);
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--send-queue")});
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(other.exitCode(), 0);
    QCOMPARE(m_sink->count(), before + 1);
    QCOMPARE(messagesIn(sent()).size(), 1);
    QVERIFY(messagesIn(outbox()).isEmpty());
}

void TestSubmit::sendCutShortByCrashIsRepeated()
{
    QVERIFY(logOn(smtpTransport(m_sink->port()), MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL));
    QByteArray id;
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}, &id), S_OK);
    logOff();
    // A process that died while its send was in flight.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    QVERIFY(gone.waitForFinished());
    const qint64 deadPid = gone.processId() ? gone.processId() : 999999;
    const QString record = spool() + QLatin1Char('/') + QDir(spool()).entryList({"*.rec"}).value(0);
    QByteArray text = readFile(record);
    const QByteArray fields =
        text.mid(text.indexOf('\n') + 1, text.indexOf("sum=") - text.indexOf('\n') - 1)
            .replace("state=queued", "state=sending")
            .replace("owner=0", "owner=" + QByteArray::number(deadPid))
            .replace("next=0",
                     "next=" + QByteArray::number(QDateTime::currentMSecsSinceEpoch() + 600000));
    QVERIFY(writeFile(record, spoolRecord(fields)));
    const int before = m_sink->count();
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    QVERIFY(waitUntil([&] { return m_sink->count() == before + 1; }));
    QVERIFY(waitUntil([&] { return messagesIn(sent()).size() == 1; }));
}

void TestSubmit::abortSubmit()
{
    QVERIFY(logOn(smtpTransport(m_sink->port()), MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL));
    QByteArray waiting;
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}, &waiting), S_OK);
    // Locked for submission while it waits, so the program will not open it for editing.
    const auto sendFlags = [&] {
        MapiPtr<IMessage> opened = reopen(m_store.get(), waiting);
        return opened ? Props(opened.get(), {PR_MESSAGE_FLAGS})[0]->Value.l &
                            LONG(MSGFLAG_SUBMIT | MSGFLAG_UNSENT)
                      : -1;
    };
    QCOMPARE(sendFlags(), LONG(MSGFLAG_SUBMIT));
    // Neither moved nor deleted while it waits.
    MapiPtr<IMAPIFolder> outboxFolder = openFolder(m_store.get(), PR_IPM_OUTBOX_ENTRYID);
    MapiPtr<IMAPIFolder> trash = openFolder(m_store.get(), PR_IPM_WASTEBASKET_ENTRYID);
    SBinary one{ULONG(waiting.size()), reinterpret_cast<LPBYTE>(waiting.data())};
    ENTRYLIST list{1, &one};
    QCOMPARE(outboxFolder->CopyMessages(&list, nullptr, trash.get(), 0, nullptr, MESSAGE_MOVE),
             MAPI_W_PARTIAL_COMPLETION);
    QCOMPARE(outboxFolder->DeleteMessages(&list, 0, nullptr, 0), MAPI_W_PARTIAL_COMPLETION);
    QCOMPARE(messagesIn(outbox()).size(), 1);
    QCOMPARE(m_store->AbortSubmit(ULONG(waiting.size()), entryPtr(waiting), 0), S_OK);
    // Off the queue and a draft again; aborting twice finds nothing to abort.
    QVERIFY(QDir(spool()).entryList({QStringLiteral("*.rec")}).isEmpty());
    QVERIFY(hasDraftFlag(messagesIn(outbox()).front()));
    QCOMPARE(sendFlags(), LONG(MSGFLAG_UNSENT));
    QCOMPARE(m_store->AbortSubmit(ULONG(waiting.size()), entryPtr(waiting), 0),
             MAPI_E_NOT_IN_QUEUE);

    // In flight in a live process: too late.
    QByteArray inFlight;
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}, &inFlight), S_OK);
    const QString record = spool() + QLatin1Char('/') + QDir(spool()).entryList({"*.rec"}).value(0);
    QByteArray text = readFile(record);
    QVERIFY(writeFile(record, spoolRecord(text.mid(16, text.indexOf("sum=") - 16)
                                              .replace("state=queued", "state=sending"))));
    QCOMPARE(m_store->AbortSubmit(ULONG(inFlight.size()), entryPtr(inFlight), 0),
             MAPI_E_UNABLE_TO_ABORT);

    // Sent and gone from the Outbox: too late as well.
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    QByteArray done;
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}, &done), S_OK);
    // The one left "in flight" by a dead session goes too.
    QVERIFY(waitUntil([&] {
        return messagesIn(sent()).size() == 2 &&
               QDir(spool()).entryList({QStringLiteral("*.rec")}).isEmpty();
    }));
    QCOMPARE(m_store->AbortSubmit(ULONG(done.size()), entryPtr(done), 0), MAPI_E_UNABLE_TO_ABORT);
    QByteArray bogus("not an id");
    QCOMPARE(m_store->AbortSubmit(ULONG(bogus.size()), entryPtr(bogus), 0), MAPI_E_INVALID_ENTRYID);
}

void TestSubmit::damagedRecordIsReportedAndNothingLost()
{
    QVERIFY(logOn(smtpTransport(m_sink->port()), MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL));
    QByteArray first;
    QByteArray second;
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}, &first, QStringLiteral("first")), S_OK);
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}, &second, QStringLiteral("second")), S_OK);
    const QStringList records = QDir(spool()).entryList({"*.rec"});
    QCOMPARE(records.size(), 2);
    // One bit flipped in each: one found by AbortSubmit, the other by the spooler.
    for (const QString& name : records) {
        QByteArray text = readFile(spool() + QLatin1Char('/') + name);
        text[text.indexOf("rcpt=") + 6] ^= 0x20;
        QVERIFY(writeFile(spool() + QLatin1Char('/') + name, text));
    }
    QCOMPARE(m_store->AbortSubmit(ULONG(first.size()), entryPtr(first), 0), MAPI_E_CORRUPT_DATA);
    Buffer<MAPIERROR> error;
    QCOMPARE(m_store->GetLastError(MAPI_E_CORRUPT_DATA, 0, error.put()), S_OK);
    QVERIFY(QString::fromUtf8(error.get()->lpszError).contains(QLatin1String("damaged")));

    const int before = m_sink->count();
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    QVERIFY(waitUntil([&] { return messagesIn(m_root).size() == 1; }));
    const QByteArray notice = readFile(messagesIn(m_root).front());
    QVERIFY(notice.contains("damaged"));
    QTest::qWait(300);
    QCOMPARE(m_sink->count(), before); // nothing sent from a record that cannot be trusted
    // Both messages stay in the Outbox as drafts; both records are kept aside.
    QCOMPARE(messagesIn(outbox()).size(), 2);
    for (const QString& path : messagesIn(outbox())) {
        QVERIFY(hasDraftFlag(path));
    }
    QCOMPARE(QDir(spool()).entryList({QStringLiteral("*.damaged")}).size(), 2);
}

void TestSubmit::readReceipt()
{
    QVERIFY(logOn(smtpTransport(m_sink->port())));
    const QString asked = MaildirBuilder(m_root).addMessage(
        QString(), QStringLiteral("new"), QStringLiteral("1.M1P1.h"),
        email("From: Ann <ann@example.org>\r\nSubject: Order\r\n"
              "Message-ID: <order-1@example.org>\r\n"
              "Disposition-Notification-To: ann@example.org\r\n"),
        QDateTime::currentDateTimeUtc());
    MaildirBuilder(m_root).addMessage(QString(), QStringLiteral("new"), QStringLiteral("2.M2P2.h"),
                                      email("From: Bob <bob@example.org>\r\nSubject: Hi\r\n"),
                                      QDateTime::currentDateTimeUtc());
    Q_UNUSED(asked);
    MapiPtr<IMAPIFolder> inbox = openInbox(m_store.get());
    const int before = m_sink->count();
    // Twice over both messages: one receipt, for the one that asked, and only once.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(inbox->SetReadFlags(nullptr, 0, nullptr, GENERATE_RECEIPT_ONLY), S_OK);
    }
    QVERIFY(waitUntil([&] { return m_sink->count() == before + 1; }));
    QTest::qWait(500);
    QCOMPARE(m_sink->count(), before + 1);
    const QByteArray mdn = m_sink->message(before + 1);
    QVERIFY(mdn.contains("report-type=disposition-notification"));
    QVERIFY(mdn.contains("Original-Message-ID: <order-1@example.org>"));
    QVERIFY(mdn.contains("Disposition: manual-action/MDN-sent-automatically; displayed"));
    // A null return path, which the sink keeps as "<>".
    QVERIFY2(m_sink->envelope(before + 1).contains("\"from\": \"<>\""),
             m_sink->envelope(before + 1).constData());
    // The read state is not touched; the receipt is remembered as Dovecot does ($MDNSent).
    for (const QString& path : messagesIn(m_root)) {
        QVERIFY(!path.section(QStringLiteral(":2,"), 1).contains(QLatin1Char('S')));
    }
    QVERIFY(readFile(m_root + QStringLiteral("/dovecot-keywords")).contains("$MDNSent"));
}

void TestSubmit::cannotSubmitWithoutTransportOrRecipients()
{
    QVERIFY(logOn("Kind=sendmail\nSendmail=/nonexistent/sendmail\n"));
    const auto canSubmit = [this] {
        return bool(Props(m_store.get(), {PR_STORE_SUPPORT_MASK})[0]->Value.l & STORE_SUBMIT_OK);
    };
    QVERIFY(!canSubmit());
    QCOMPARE(submit({"-1|1|Ann|ann@example.org"}), MAPI_E_NO_SUPPORT);

    QVERIFY(logOn(smtpTransport(m_sink->port())));
    QVERIFY(canSubmit());
    MapiPtr<IMessage> nobody =
        composeInOutbox(m_store.get(), QStringLiteral("x"), QStringLiteral("x\n"), {});
    QCOMPARE(nobody->SubmitMessage(0), MAPI_E_NO_RECIPIENTS);
}

// The other process of queuedMessageSentByAnotherProcess: logs on with the profile the test
// left, lets the spooler empty the queue, and logs off.
static int sendQueueAndExit(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!library().isLoaded() || api().MAPIInitialize(nullptr) != S_OK) {
        return 2;
    }
    MapiPtr<IMAPISession> session;
    if (api().MAPILogonEx(0, "Desk", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session.put()) !=
        S_OK) {
        return 3;
    }
    const QString profiles = QFile::decodeName(qgetenv("VANTREL_MAPI_PROFILES"));
    const QString spoolDir =
        QFileInfo(profiles).path() + QStringLiteral("/Mail/.Outbox/vantrel-spool");
    const bool emptied = waitUntil(
        [&] { return QDir(spoolDir).entryList({QStringLiteral("*.rec")}).isEmpty(); }, 20000);
    session->Logoff(0, 0, 0);
    session.reset();
    api().MAPIUninitialize();
    return emptied ? 0 : 4;
}

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--send-queue") == 0) {
        return sendQueueAndExit(argc, argv);
    }
    QApplication app(argc, argv); // the password prompt is a dialog
    TestSubmit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_submit.moc"
