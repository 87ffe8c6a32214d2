// Writing through the mail library: new messages saved into a Maildir and read back, a second
// save in place, read flags, deleting, copying and moving between folders and stores, and a
// write that fails half-way.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support;Archive\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n"
                             "[Store Test/Archive]\nPath=@ROOT@/archive\n";

const QDateTime kSubmitted(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC);

} // namespace

class TestMaildirWrite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void saveAndReopen_data();
    void saveAndReopen();
    void deletedPropertiesStayDeleted();
    void headerPropertiesWrittenAsHeaders();
    void readFlags_data();
    void readFlags();
    void deleteMessages();
    void copyAndMove_data();
    void copyAndMove();
    void failedWriteKeepsOldFile();
    void resaveReceived_data();
    void resaveReceived();
    void recipients_data();
    void recipients();

private:
    QByteArray saveNew(IMAPIFolder* folder, const QString& subject, LONG flags);
    QString cur(const QString& store, const QString& folder) const;

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_support;
    MapiPtr<IMsgStore> m_archive;
};

void TestMaildirWrite::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestMaildirWrite::init()
{
    // Fresh Maildirs for every test, so file counts mean what they say.
    for (const char* store : {"support", "archive"}) {
        const QString root = m_dir.filePath(QLatin1String(store));
        QDir(root).removeRecursively();
        MaildirBuilder builder(root);
        for (const char* folder : {".Outbox", ".Sent Items", ".Deleted Items", ".Drafts"}) {
            builder.addFolder(QLatin1String(folder));
        }
    }
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_support = openStore(m_session.get(), 0);
    m_archive = openStore(m_session.get(), 1);
    QVERIFY(m_support && m_archive);
}

void TestMaildirWrite::cleanup()
{
    endSession(&m_session, &m_support, &m_archive);
}

void TestMaildirWrite::cleanupTestCase()
{
    api().MAPIUninitialize();
}

QByteArray TestMaildirWrite::saveNew(IMAPIFolder* folder, const QString& subject, LONG flags)
{
    MapiPtr<IMessage> message;
    if (folder->CreateMessage(nullptr, 0, message.put()) != S_OK) {
        return {};
    }
    Values values;
    values.text(PR_SUBJECT, subject).number(PR_MESSAGE_FLAGS, flags);
    if (values.applyTo(message.get()) != S_OK ||
        message->SaveChanges(KEEP_OPEN_READWRITE) != S_OK) {
        return {};
    }
    return propBytes(message.get(), PR_ENTRYID);
}

QString TestMaildirWrite::cur(const QString& store, const QString& folder) const
{
    return m_dir.filePath(store + QLatin1Char('/') + folder + QLatin1String("/cur"));
}

void TestMaildirWrite::saveAndReopen_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("fromAndSender"); // name, address, name, address
    QTest::addColumn<int>("importance");
    QTest::addColumn<int>("sensitivity");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("messageClass");
    QTest::addColumn<QByteArray>("conversationIndex");
    QTest::addColumn<bool>("receipt");
    QTest::addColumn<QString>("info");

    const QByteArray index = QByteArray::fromHex("01d9a0ff00112233445566778899aabbccddeeff00");
    const QStringList support = {"Support", "help@example.com", "Support", "help@example.com"};
    QTest::newRow("plain draft") << "Printer jams"
                                 << "Hello.\nLine two.\n"
                                 << QString() << support << int(IMPORTANCE_NORMAL)
                                 << int(SENSITIVITY_NONE) << int(MSGFLAG_READ | MSGFLAG_UNSENT)
                                 << "IPM.Note" << index << false << "DS";
    QTest::newRow("text and html, on behalf")
        << "Re: account locked"
        << "See below.\n"
        << "<p>See <b>below</b>.</p>"
        << QStringList{"Ann Lee", "ann@example.org", "Desk", "desk@example.com"}
        << int(IMPORTANCE_HIGH) << int(SENSITIVITY_PRIVATE) << int(MSGFLAG_READ)
        << "IPM.Note.Vantrel.Reply" << QByteArray("\x01", 1) << true << "S";
    QTest::newRow("html only, unread")
        << "Newsletter" << QString() << "<html><body>Hi &amp; bye</body></html>" << support
        << int(IMPORTANCE_LOW) << int(SENSITIVITY_COMPANY_CONFIDENTIAL) << 0 << "IPM.Note" << index
        << false << "";
    QTest::newRow("non-ascii") << QString::fromUtf8("Grüße – Größe ändern 日本語")
                               << QString::fromUtf8("Bitte €5 überweisen.\nСпасибо!\n")
                               << QString::fromUtf8("<p>Größe “ok”</p>")
                               << QStringList{QString::fromUtf8("Jürgen Müller, Dr."),
                                              "juergen@example.de",
                                              QString::fromUtf8("Jürgen Müller, Dr."),
                                              "juergen@example.de"}
                               << int(IMPORTANCE_NORMAL) << int(SENSITIVITY_PERSONAL)
                               << int(MSGFLAG_UNSENT) << "IPM.Note" << index << false << "D";
    QTest::newRow("name without address")
        << ""
        << "x\n"
        << QString() << QStringList{"Nobody", "", "Nobody", ""} << int(IMPORTANCE_NORMAL)
        << int(SENSITIVITY_NONE) << int(MSGFLAG_READ) << "IPM.Note" << index << false << "S";
}

void TestMaildirWrite::saveAndReopen()
{
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, html);
    QFETCH(QStringList, fromAndSender);
    QFETCH(int, importance);
    QFETCH(int, sensitivity);
    QFETCH(int, flags);
    QFETCH(QString, messageClass);
    QFETCH(QByteArray, conversationIndex);
    QFETCH(bool, receipt);
    QFETCH(QString, info);

    MapiPtr<IMAPIFolder> outbox = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    QVERIFY(outbox);
    MapiPtr<IMessage> message;
    QCOMPARE(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    const QDateTime created = kSubmitted.addSecs(-3600);
    Values values;
    values.text(PR_SUBJECT, subject)
        .text(PR_SENT_REPRESENTING_NAME, fromAndSender[0])
        .text(PR_SENT_REPRESENTING_EMAIL_ADDRESS, fromAndSender[1])
        .text(PR_SENDER_NAME, fromAndSender[2])
        .text(PR_SENDER_EMAIL_ADDRESS, fromAndSender[3])
        .number(PR_IMPORTANCE, importance)
        .number(PR_SENSITIVITY, sensitivity)
        .number(PR_MESSAGE_FLAGS, flags)
        .text(PR_MESSAGE_CLASS, messageClass)
        .text(PR_CONVERSATION_TOPIC, subject)
        .bytes(PR_CONVERSATION_INDEX, conversationIndex)
        .number(PR_READ_RECEIPT_REQUESTED, receipt)
        .time(PR_CLIENT_SUBMIT_TIME, kSubmitted)
        .time(PR_CREATION_TIME, created)
        .time(PR_MESSAGE_DELIVERY_TIME, kSubmitted.addSecs(60));
    if (!body.isNull()) {
        values.text(PR_BODY, body);
    }
    if (!html.isNull()) {
        values.text(PR_BODY_HTML, html);
    }
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    const QByteArray id = propBytes(message.get(), PR_ENTRYID);
    QVERIFY(!id.isEmpty());
    message.reset();

    const QStringList files = filesIn(cur(QStringLiteral("support"), QStringLiteral(".Outbox")));
    QCOMPARE(files.size(), 1);
    QVERIFY2(files[0].endsWith(QLatin1String(":2,") + info), qPrintable(files[0]));
    QVERIFY(filesIn(m_dir.filePath(QStringLiteral("support/.Outbox/tmp"))).isEmpty());

    MapiPtr<IMessage> again = reopen(m_support.get(), id);
    QVERIFY(again);
    Props v(again.get(),
            {PR_SUBJECT, PR_BODY, PR_BODY_HTML, PR_SENT_REPRESENTING_NAME,
             PR_SENT_REPRESENTING_EMAIL_ADDRESS, PR_SENDER_NAME, PR_SENDER_EMAIL_ADDRESS,
             PR_IMPORTANCE, PR_SENSITIVITY, PR_MESSAGE_FLAGS, PR_MESSAGE_CLASS,
             PR_CONVERSATION_TOPIC, PR_CONVERSATION_INDEX, PR_READ_RECEIPT_REQUESTED,
             PR_CLIENT_SUBMIT_TIME, PR_CREATION_TIME, PR_MESSAGE_DELIVERY_TIME});
    QVERIFY(SUCCEEDED(v.hr));
    QCOMPARE(text(v[0]), subject);
    QCOMPARE(text(v[1]), body);
    QCOMPARE(text(v[2]), html);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(text(v[3 + i]), fromAndSender[i]);
    }
    QCOMPARE(v[7]->Value.l, importance);
    QCOMPARE(v[8]->Value.l, sensitivity);
    QCOMPARE(v[9]->Value.l & LONG(MSGFLAG_READ | MSGFLAG_UNSENT), flags);
    QCOMPARE(text(v[10]), messageClass);
    QCOMPARE(text(v[11]), subject);
    QCOMPARE(binary(v[12]), conversationIndex);
    QCOMPARE(bool(v[13]->Value.b), receipt);
    QCOMPARE(fileTime(v[14]), fileTimeOf(kSubmitted));
    QCOMPARE(fileTime(v[15]), fileTimeOf(created));
    QCOMPARE(fileTime(v[16]), fileTimeOf(kSubmitted.addSecs(60)));
}

void TestMaildirWrite::deletedPropertiesStayDeleted()
{
    MapiPtr<IMAPIFolder> drafts = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    const QByteArray id = saveNew(drafts.get(), QStringLiteral("Keep me"), MSGFLAG_READ);
    MapiPtr<IMessage> message = reopen(m_support.get(), id);
    QVERIFY(message);
    Values values;
    values.number(PR_SENSITIVITY, SENSITIVITY_PRIVATE)
        .text(PR_BODY, QStringLiteral("gone\n"))
        .text(PR_ORIGINAL_AUTHOR_NAME, QStringLiteral("Dora"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    TagArray remove{PR_SENSITIVITY, PR_BODY, PR_ORIGINAL_AUTHOR_NAME};
    QCOMPARE(message->DeleteProps(remove.get(), nullptr), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    message = reopen(m_support.get(), id);
    Props got(message.get(), {PR_SENSITIVITY, PR_BODY, PR_ORIGINAL_AUTHOR_NAME, PR_SUBJECT});
    QCOMPARE(got.hr, MAPI_W_ERRORS_RETURNED);
    // Without its header a message is of normal sensitivity.
    QCOMPARE(got[0]->Value.l, LONG(0));
    QVERIFY(isError(got[1]));
    QVERIFY(isError(got[2]));
    QCOMPARE(text(got[3]), QStringLiteral("Keep me"));
}

void TestMaildirWrite::headerPropertiesWrittenAsHeaders()
{
    MapiPtr<IMAPIFolder> outbox = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    MapiPtr<IMessage> message;
    QCOMPARE(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    // Two reply-to entries as a caller builds them: one-offs in a flat entry list.
    const auto oneOff = [](const QByteArray& name, const QByteArray& address) {
        return QByteArray(4, '\0') + QByteArray::fromHex("812B1FA4BEA310199D6E00DD010F5402") +
               QByteArray(4, '\0') + name + '\0' + "SMTP" + '\0' + address + '\0';
    };
    QByteArray entries;
    for (const QByteArray& entry :
         {oneOff("Help Desk", "desk@example.com"), oneOff("Ann", "ann@example.org")}) {
        const quint32 size = qToLittleEndian(quint32(entry.size()));
        entries += QByteArray(reinterpret_cast<const char*>(&size), 4) + entry;
        entries += QByteArray((4 - entries.size() % 4) % 4, '\0');
    }
    const quint32 head[] = {qToLittleEndian(2u), qToLittleEndian(quint32(entries.size()))};
    const QByteArray flat = QByteArray(reinterpret_cast<const char*>(head), sizeof head) + entries;
    const QByteArray index = QByteArray::fromBase64("AdmgowABESIzRFVmd4iZqrvM3e7/AA==");
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Re: Licence"))
        .text(PR_SENT_REPRESENTING_NAME, QStringLiteral("Support"))
        .text(PR_SENT_REPRESENTING_EMAIL_ADDRESS, QStringLiteral("help@example.com"))
        .number(PR_SENSITIVITY, SENSITIVITY_COMPANY_CONFIDENTIAL)
        .number(PR_READ_RECEIPT_REQUESTED, 1)
        .text(PR_CONVERSATION_TOPIC, QStringLiteral("Licence"))
        .bytes(PR_CONVERSATION_INDEX, index)
        .bytes(PR_REPLY_RECIPIENT_ENTRIES, flat)
        .text(PR_REPLY_RECIPIENT_NAMES, QStringLiteral("Help Desk; Ann"))
        .text(PR_IN_REPLY_TO_ID, QStringLiteral("<a1@example.org>"))
        // Line breaks must not start a header of their own.
        .text(PR_INTERNET_REFERENCES, QStringLiteral("<a0@example.org>\r\nBcc: <a1@example.org>"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    const QByteArray id = propBytes(message.get(), PR_ENTRYID);

    const QStringList files = filesIn(cur(QStringLiteral("support"), QStringLiteral(".Outbox")));
    QCOMPARE(files.size(), 1);
    const QByteArray written = fileContent(
        cur(QStringLiteral("support"), QStringLiteral(".Outbox")) + QLatin1Char('/') + files[0]);
    for (const char* header :
         {"Sensitivity: Company-Confidential", "Disposition-Notification-To: help@example.com",
          "Thread-Topic: Licence", "Thread-Index: AdmgowABESIzRFVmd4iZqrvM3e7/AA==",
          "Reply-To: Help Desk <desk@example.com>, Ann <ann@example.org>",
          "In-Reply-To: <a1@example.org>", "References: <a0@example.org> <a1@example.org>"}) {
        QVERIFY2(written.contains(header), header);
    }
    // Nothing of these is kept a second time in a private header.
    for (const char* hidden : {"X-Vantrel-Prop-0036", "X-Vantrel-Prop-0029", "X-Vantrel-Prop-004F",
                               "X-Vantrel-Prop-1042", "X-Vantrel-Prop-1039", "\nBcc:"})
        QVERIFY2(!written.contains(hidden), hidden);

    message = reopen(m_support.get(), id);
    QVERIFY(message);
    Props got(message.get(), {PR_SENSITIVITY, PR_READ_RECEIPT_REQUESTED, PR_CONVERSATION_TOPIC,
                              PR_CONVERSATION_INDEX, PR_REPLY_RECIPIENT_ENTRIES,
                              PR_REPLY_RECIPIENT_NAMES, PR_IN_REPLY_TO_ID, PR_INTERNET_REFERENCES});
    QCOMPARE(got.hr, S_OK);
    QCOMPARE(got[0]->Value.l, LONG(SENSITIVITY_COMPANY_CONFIDENTIAL));
    QVERIFY(got[1]->Value.b);
    QCOMPARE(text(got[2]), QStringLiteral("Licence"));
    QCOMPARE(binary(got[3]), index);
    QCOMPARE(binary(got[4]), flat);
    QCOMPARE(text(got[5]), QStringLiteral("Help Desk; Ann"));
    QCOMPARE(text(got[6]), QStringLiteral("<a1@example.org>"));
    QCOMPARE(text(got[7]), QStringLiteral("<a0@example.org> <a1@example.org>"));
}

void TestMaildirWrite::readFlags_data()
{
    QTest::addColumn<int>("initialFlags");
    QTest::addColumn<int>("callFlags");
    QTest::addColumn<bool>("wholeFolder");
    QTest::addColumn<int>("messageFlags");
    QTest::addColumn<bool>("viaMessage"); // IMessage::SetReadFlag instead of the folder's

    QTest::newRow("mark unread") << int(MSGFLAG_READ) << int(CLEAR_READ_FLAG) << false << 0
                                 << false;
    QTest::newRow("draft marked read keeps D")
        << int(MSGFLAG_UNSENT) << 0 << false << int(MSGFLAG_READ | MSGFLAG_UNSENT) << false;
    QTest::newRow("whole folder unread")
        << int(MSGFLAG_READ) << int(CLEAR_READ_FLAG) << true << 0 << false;
    QTest::newRow("receipt only leaves flags")
        << 0 << int(GENERATE_RECEIPT_ONLY) << false << 0 << false;
    QTest::newRow("message marked unread")
        << int(MSGFLAG_READ) << int(CLEAR_READ_FLAG) << false << 0 << true;
}

void TestMaildirWrite::readFlags()
{
    QFETCH(int, initialFlags);
    QFETCH(int, callFlags);
    QFETCH(bool, wholeFolder);
    QFETCH(int, messageFlags);
    QFETCH(bool, viaMessage);

    MapiPtr<IMAPIFolder> sent = openFolder(m_support.get(), PR_IPM_SENTMAIL_ENTRYID);
    QByteArray one = saveNew(sent.get(), QStringLiteral("one"), initialFlags);
    QByteArray two = saveNew(sent.get(), QStringLiteral("two"), initialFlags);
    SBinary entry{static_cast<ULONG>(one.size()), reinterpret_cast<LPBYTE>(one.data())};
    ENTRYLIST list{1, &entry};
    if (viaMessage) {
        MapiPtr<IMessage> message = reopen(m_support.get(), one);
        QVERIFY(message);
        QCOMPARE(message->SetReadFlag(static_cast<ULONG>(callFlags)), S_OK);
        QCOMPARE(Props(message.get(), {PR_MESSAGE_FLAGS})[0]->Value.l &
                     LONG(MSGFLAG_READ | MSGFLAG_UNSENT),
                 messageFlags);
    } else {
        QCOMPARE(sent->SetReadFlags(wholeFolder ? nullptr : &list, 0, nullptr,
                                    static_cast<ULONG>(callFlags)),
                 S_OK);
    }

    // The named message changes, the other only when the whole folder was asked for.
    const int otherFlags = wholeFolder ? messageFlags : initialFlags;
    const auto suffix = [](int flags) {
        return QLatin1String(":2,") + QLatin1String((flags & MSGFLAG_UNSENT) ? "D" : "") +
               QLatin1String((flags & MSGFLAG_READ) ? "S" : "");
    };
    QStringList want = {suffix(messageFlags), suffix(otherFlags)};
    QStringList have;
    for (const QString& file :
         filesIn(cur(QStringLiteral("support"), QStringLiteral(".Sent Items")))) {
        have << file.mid(file.indexOf(QLatin1Char(':')));
    }
    want.sort();
    have.sort();
    QCOMPARE(have, want);
    for (const auto& [id, flags] : {std::pair{one, messageFlags}, std::pair{two, otherFlags}}) {
        MapiPtr<IMessage> message = reopen(m_support.get(), id);
        QVERIFY(message);
        QCOMPARE(Props(message.get(), {PR_MESSAGE_FLAGS})[0]->Value.l &
                     LONG(MSGFLAG_READ | MSGFLAG_UNSENT),
                 flags);
    }
}

void TestMaildirWrite::deleteMessages()
{
    MapiPtr<IMAPIFolder> outbox = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    QByteArray gone = saveNew(outbox.get(), QStringLiteral("gone"), 0);
    QByteArray kept = saveNew(outbox.get(), QStringLiteral("kept"), MSGFLAG_READ);
    SBinary entry{static_cast<ULONG>(gone.size()), reinterpret_cast<LPBYTE>(gone.data())};
    ENTRYLIST list{1, &entry};
    QCOMPARE(outbox->DeleteMessages(&list, 0, nullptr, 0), S_OK);
    QVERIFY(!reopen(m_support.get(), gone));
    QVERIFY(reopen(m_support.get(), kept));
    QCOMPARE(filesIn(cur(QStringLiteral("support"), QStringLiteral(".Outbox"))).size(), 1);
    // Deleting it again reports that not everything was done.
    QCOMPARE(outbox->DeleteMessages(&list, 0, nullptr, 0), MAPI_W_PARTIAL_COMPLETION);
}

void TestMaildirWrite::copyAndMove_data()
{
    QTest::addColumn<bool>("move");
    QTest::addColumn<bool>("otherStore");

    QTest::newRow("copy within store") << false << false;
    QTest::newRow("move within store") << true << false;
    QTest::newRow("copy to other store") << false << true;
    QTest::newRow("move to other store") << true << true;
}

// Copied or moved within a store or to another one; named properties kept in the file carry
// the store's own ids, so they are mapped to the other store's ids for the same names.
void TestMaildirWrite::copyAndMove()
{
    QFETCH(bool, move);
    QFETCH(bool, otherStore);

    MAPINAMEID ticket{const_cast<LPGUID>(&PS_PUBLIC_STRINGS), MNID_STRING, {}};
    ticket.Kind.lpwstrName = const_cast<char*>("Ticket");
    MAPINAMEID other{const_cast<LPGUID>(&PS_PUBLIC_STRINGS), MNID_STRING, {}};
    other.Kind.lpwstrName = const_cast<char*>("Other");
    LPMAPINAMEID ticketName[] = {&ticket};
    LPMAPINAMEID otherName[] = {&other};
    // The archive gives its first id to another name, so the two stores disagree on the id.
    Buffer<SPropTagArray> ids;
    QCOMPARE(m_archive->GetIDsFromNames(1, otherName, MAPI_CREATE, ids.put()), S_OK);
    QCOMPARE(m_support->GetIDsFromNames(1, ticketName, MAPI_CREATE, ids.put()), S_OK);
    const ULONG supportTag = CHANGE_PROP_TYPE(ids.get()->aulPropTag[0], PT_STRING8);

    MapiPtr<IMAPIFolder> outbox = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    IMsgStore* destStore = otherStore ? m_archive.get() : m_support.get();
    MapiPtr<IMAPIFolder> sent = openFolder(destStore, PR_IPM_SENTMAIL_ENTRYID);
    MapiPtr<IMessage> message;
    QCOMPARE(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    Values values;
    values.text(PR_SUBJECT, QString::fromUtf8("Übertragen"))
        .number(PR_MESSAGE_FLAGS, MSGFLAG_READ)
        .text(supportTag, QStringLiteral("T-7"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message.reset();
    const QString source = cur(QStringLiteral("support"), QStringLiteral(".Outbox"));
    const QString unique = filesIn(source).value(0);

    SBinary entry{static_cast<ULONG>(id.size()), reinterpret_cast<LPBYTE>(id.data())};
    ENTRYLIST list{1, &entry};
    QCOMPARE(outbox->CopyMessages(&list, nullptr, sent.get(), 0, nullptr, move ? MESSAGE_MOVE : 0),
             S_OK);

    const QString destDir = cur(otherStore ? QStringLiteral("archive") : QStringLiteral("support"),
                                QStringLiteral(".Sent Items"));
    const QStringList dest = filesIn(destDir);
    QCOMPARE(dest.size(), 1);
    QVERIFY(dest[0].endsWith(QLatin1String(":2,S")));
    // Copied or moved, the file gets a unique name of its own: synchronisers must not take it
    // for the message they knew under the old one.
    QVERIFY(dest[0] != unique);
    QCOMPARE(filesIn(source).size(), move ? 0 : 1);

    RowSet rows;
    QCOMPARE(contents(sent.get(), {PR_ENTRYID, PR_SUBJECT}, &rows), S_OK);
    QCOMPARE(rows.count(), 1u);
    QCOMPARE(text(findValue(rows.row(0), PR_SUBJECT)), QString::fromUtf8("Übertragen"));
    MapiPtr<IMessage> copy = reopen(destStore, binary(findValue(rows.row(0), PR_ENTRYID)));
    QVERIFY(copy);

    QCOMPARE(destStore->GetIDsFromNames(1, ticketName, 0, ids.put()), S_OK);
    const ULONG destTag = CHANGE_PROP_TYPE(ids.get()->aulPropTag[0], PT_STRING8);
    QCOMPARE(PROP_ID(destTag) != PROP_ID(supportTag), otherStore);
    Props props(copy.get(), {destTag, supportTag});
    QCOMPARE(text(props[0]), QStringLiteral("T-7"));
    if (otherStore) {
        QVERIFY(isError(props[1])); // nothing left under the other store's id
    }
}

void TestMaildirWrite::failedWriteKeepsOldFile()
{
    MapiPtr<IMAPIFolder> outbox = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    QByteArray id = saveNew(outbox.get(), QStringLiteral("Original"), MSGFLAG_UNSENT);
    const QString dir = cur(QStringLiteral("support"), QStringLiteral(".Outbox"));
    const QStringList before = filesIn(dir);
    QCOMPARE(before.size(), 1);
    const QString path = dir + QLatin1Char('/') + before[0];
    const QByteArray content = fileContent(path);

    MapiPtr<IMessage> message = reopen(m_support.get(), id);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Replacement"))
        .text(PR_BODY, QString(200000, QLatin1Char('x')));
    QCOMPARE(values.applyTo(message.get()), S_OK);

    // Files may grow to 16 KB only: the write stops part-way with EFBIG.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16384;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const HRESULT hr = message->SaveChanges(KEEP_OPEN_READWRITE);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    QVERIFY(FAILED(hr));
    QCOMPARE(filesIn(dir), before);
    QCOMPARE(fileContent(path), content);
    QVERIFY(filesIn(m_dir.filePath(QStringLiteral("support/.Outbox/tmp"))).isEmpty());

    // With room again the same save goes through.
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    QCOMPARE(filesIn(dir), before);
}

void TestMaildirWrite::recipients_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<QStringList>("expected"); // type|name|address|addrtype
    QTest::addColumn<QString>("displayTo");
    QTest::addColumn<QString>("displayCc");

    const QString ann = QStringLiteral("1|Ann Lee|ann@example.org|SMTP");
    const QString bob = QStringLiteral("2|Bob|bob@example.net|SMTP");
    const QString cy = QStringLiteral("3|Cy|cy@example.com|SMTP");
    QTest::newRow("non-ascii name added")
        << int(MODRECIP_ADD)
        << QStringList{QString::fromUtf8("-1|1|Jürgen Müller, Dr.|j@example.de")}
        << QStringList{ann, QString::fromUtf8("1|Jürgen Müller, Dr.|j@example.de|SMTP"), bob, cy}
        << QString::fromUtf8("Ann Lee; Jürgen Müller, Dr.") << "Bob";
    QTest::newRow("modified by row id")
        << int(MODRECIP_MODIFY) << QStringList{"1|1|Bob Smith|bob@example.net"}
        << QStringList{ann, "1|Bob Smith|bob@example.net|SMTP", cy} << "Ann Lee; Bob Smith"
        << "";
    QTest::newRow("removed by row id")
        << int(MODRECIP_REMOVE) << QStringList{"0|1|x|x@x"} << QStringList{bob, cy} << ""
        << "Bob";
    QTest::newRow("no flag replaces all") << 0 << QStringList{"-1|2|Dee|dee@example.org"}
                                          << QStringList{"2|Dee|dee@example.org|SMTP"} << ""
                                          << "Dee";
}

void TestMaildirWrite::recipients()
{
    QFETCH(int, flags);
    QFETCH(QStringList, change);
    QFETCH(QStringList, expected);
    QFETCH(QString, displayTo);
    QFETCH(QString, displayCc);

    MapiPtr<IMAPIFolder> outbox = openFolder(m_support.get(), PR_IPM_OUTBOX_ENTRYID);
    MapiPtr<IMessage> message;
    QCOMPARE(outbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    Recipients initial(
        {"-1|1|Ann Lee|ann@example.org", "-1|2|Bob|bob@example.net", "-1|3|Cy|cy@example.com"});
    QCOMPARE(message->ModifyRecipients(MODRECIP_ADD, initial.get()), S_OK);
    Recipients changes(change);
    QCOMPARE(message->ModifyRecipients(static_cast<ULONG>(flags), changes.get()), S_OK);
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    const QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message.reset();

    MapiPtr<IMessage> again = reopen(m_support.get(), id);
    QVERIFY(again);
    QCOMPARE(recipientLines(again.get()), expected);
    Props got(again.get(), {PR_DISPLAY_TO, PR_DISPLAY_CC});
    QCOMPARE(text(got[0]), displayTo);
    QCOMPARE(text(got[1]), displayCc);
}

void TestMaildirWrite::resaveReceived_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArrayList>("body"); // each written exactly once

    const QByteArray headers =
        "Received: from mx.example.org by mail.example.com; Mon, 4 Mar 2024 09:00:01 +0000\r\n"
        "From: Ann Lee <ann@example.org>\r\nTo: Support <help@example.com>\r\n"
        "Cc: Carl <carl@example.org>\r\nSubject: Printer jams\r\n"
        "Date: Mon, 04 Mar 2024 09:00:00 +0000\r\nMessage-ID: <a1@example.org>\r\n"
        "References: <a0@example.org>\r\nX-Mailer: Something\r\n";
    QTest::newRow("plain") << email(headers, "It jams.\r\n") << QByteArrayList{"It jams."};
    QTest::newRow("with attachment")
        << QByteArray(headers +
                      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                      "--b\r\nContent-Type: text/plain\r\n\r\nSee log.\r\n"
                      "--b\r\nContent-Type: application/octet-stream; name=log.bin\r\n"
                      "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n--b--\r\n")
        << QByteArrayList{"filename=log.bin", "AAEC"};
}

void TestMaildirWrite::resaveReceived()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArrayList, body);

    MaildirBuilder builder(m_dir.filePath(QStringLiteral("support")));
    const QString path =
        builder.addMessage(QString(), QStringLiteral("cur"),
                           QStringLiteral("1709544600.M1P1Q1.host:2,S"), content, kSubmitted);
    MapiPtr<IMAPIFolder> inbox = openInbox(m_support.get());
    QVERIFY(inbox);
    RowSet rows;
    QCOMPARE(contents(inbox.get(), {PR_ENTRYID}, &rows), S_OK);
    QCOMPARE(rows.count(), 1u);
    MapiPtr<IMessage> message = reopen(m_support.get(), binary(&rows.row(0).lpProps[0]));
    QVERIFY(message);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Printer jams [triaged]"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);

    const QByteArray written = fileContent(path);
    for (const char* kept : {"Received: from mx.example.org", "Message-ID: <a1@example.org>",
                             "References: <a0@", "X-Mailer: Something", "Carl <carl@example.org>",
                             "Support <help@example.com>", "Subject: Printer jams [triaged]"}) {
        QVERIFY2(written.count(kept) == 1, kept);
    }
    for (const QByteArray& kept : body) {
        QVERIFY2(written.count(kept) == 1, kept.constData());
    }
    QCOMPARE(written.count("\nTo:"), 1);
    QCOMPARE(written.count("\nCc:"), 1);
    QVERIFY(!written.contains("\nBcc:")); // no empty header for an empty list
    QCOMPARE(QFileInfo(path).lastModified(), kSubmitted);
}

QTEST_GUILESS_MAIN(TestMaildirWrite)
#include "tst_maildirwrite.moc"
