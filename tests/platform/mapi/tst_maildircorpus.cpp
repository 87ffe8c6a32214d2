// Awkward real-world messages: bad and missing charsets, broken encodings, missing headers,
// nested and truncated multiparts, huge headers, binary garbage. Each is read through the
// contents table and opened as a message; every string must come back as clean UTF-8 and the
// decodable parts must read as a person would expect.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QString kCorpus = QStringLiteral(VANTREL_TEST_DATA "/mail/awkward");

// Valid UTF-8 without control characters other than tab and line breaks, and without the
// replacement character that marks a failed conversion.
bool isClean(const QByteArray& utf8, bool multiLine)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(utf8);
    if (decoder.hasError() || text.contains(QChar::ReplacementCharacter)) {
        return false;
    }
    for (const QChar c : text) {
        const bool lineBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\t') &&
            !(multiLine && lineBreak)) {
            return false;
        }
    }
    return true;
}

QByteArray readStream(IMAPIProp* object, ULONG tag)
{
    MapiPtr<IStream> stream;
    return FAILED(object->OpenProperty(tag, &IID_IStream, 0, 0, stream.putUnknown()))
               ? QByteArray()
               : readAll(stream.get());
}

// A one-off entry id with 8-bit strings, laid out by hand: flags, the one-off provider uid,
// version, flags, then name, address type and address, each zero-terminated.
QByteArray oneOff(const QByteArray& name, const QByteArray& address)
{
    QByteArray id(4, '\0');
    id += QByteArray::fromHex("812B1FA4BEA310199D6E00DD010F5402");
    id += QByteArray(4, '\0');
    return id + name + '\0' + "SMTP" + '\0' + address + '\0';
}

} // namespace

class TestMaildirCorpus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void everyFileListedCleanly();
    void readsAsExpected_data();
    void readsAsExpected();
    void messageClass_data();
    void messageClass();
    void replyToAndThread();

private:
    MapiPtr<IMessage> open(const QString& corpusFile);
    void checkStrings(const SPropValue* values, ULONG count, const QString& what);

    QTemporaryDir m_dir;
    QHash<QString, QString> m_uniqueNames; // corpus file -> unique name in the Inbox
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
};

void TestMaildirCorpus::initTestCase()
{
    QVERIFY(library().isLoaded());
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    QVERIFY(m_dir.isValid());
    qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(m_dir.filePath(QStringLiteral("cache"))));
    const QString root = m_dir.filePath(QStringLiteral("Maildir"));
    MaildirBuilder builder(root);
    QDirIterator it(kCorpus, {QStringLiteral("*.eml")}, QDir::Files);
    int n = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString unique =
            QStringLiteral("1700000%1.M%1P7Q1.corpus").arg(++n, 3, 10, QLatin1Char('0'));
        builder.addMessage(QString(), QStringLiteral("cur"), unique + QStringLiteral(":2,S"),
                           file.readAll(), QDateTime::currentDateTimeUtc());
        m_uniqueNames.insert(it.fileName(), unique);
    }
    QVERIFY(n >= 20);
    QVERIFY(installProfiles(m_dir.path(), "[Profile Corpus]\nStores=Mail\n"
                                          "[Store Corpus/Mail]\nPath=" +
                                              QFile::encodeName(root) + "\n"));
    QCOMPARE(newSession("Corpus", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
    m_inbox = openInbox(m_store.get());
    QVERIFY(m_inbox);
}

void TestMaildirCorpus::cleanupTestCase()
{
    endSession(&m_session, &m_inbox, &m_store);
    api().MAPIUninitialize();
}

void TestMaildirCorpus::checkStrings(const SPropValue* values, ULONG count, const QString& what)
{
    for (ULONG i = 0; i < count; ++i) {
        if (PROP_TYPE(values[i].ulPropTag) != PT_STRING8) {
            continue;
        }
        const QByteArray value(values[i].Value.lpszA);
        const bool multiLine =
            PROP_ID(values[i].ulPropTag) == PROP_ID(PR_BODY) ||
            PROP_ID(values[i].ulPropTag) == PROP_ID(PR_BODY_HTML) ||
            PROP_ID(values[i].ulPropTag) == PROP_ID(PR_TRANSPORT_MESSAGE_HEADERS);
        QVERIFY2(isClean(value, multiLine),
                 qPrintable(QStringLiteral("%1: property %2 is not clean text: %3")
                                .arg(what)
                                .arg(values[i].ulPropTag, 8, 16, QLatin1Char('0'))
                                .arg(QString::fromLatin1(value.left(80).toPercentEncoding()))));
    }
}

void TestMaildirCorpus::everyFileListedCleanly()
{
    RowSet rows;
    QCOMPARE(contents(m_inbox.get(),
                      {PR_ENTRYID, PR_SUBJECT, PR_SENT_REPRESENTING_NAME,
                       PR_SENT_REPRESENTING_EMAIL_ADDRESS, PR_DISPLAY_TO, PR_DISPLAY_CC,
                       PR_MESSAGE_DELIVERY_TIME, PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_SIZE,
                       PR_MESSAGE_FLAGS, PR_IMPORTANCE, PR_HASATTACH, PR_MESSAGE_CLASS},
                      &rows),
             S_OK);
    QCOMPARE(rows.count(), static_cast<ULONG>(m_uniqueNames.size()));
    for (ULONG i = 0; i < rows.count(); ++i) {
        checkStrings(rows.row(i).lpProps, rows.row(i).cValues, QStringLiteral("row %1").arg(i));
        QVERIFY(!isError(findValue(rows.row(i), PR_ENTRYID)));
        QVERIFY(!isError(findValue(rows.row(i), PR_MESSAGE_SIZE)));
    }
}

MapiPtr<IMessage> TestMaildirCorpus::open(const QString& corpusFile)
{
    RowSet rows;
    contents(m_inbox.get(), {PR_ENTRYID}, &rows);
    const QByteArray unique = m_uniqueNames.value(corpusFile).toUtf8();
    for (ULONG i = 0; i < rows.count(); ++i) {
        const QByteArray id = binary(findValue(rows.row(i), PR_ENTRYID));
        if (id.contains(unique)) {
            return reopen(m_store.get(), id);
        }
    }
    return {};
}

void TestMaildirCorpus::readsAsExpected_data()
{
    // A null string means "not checked"; an empty one means "must be empty or missing".
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("body");        // contained in PR_BODY
    QTest::addColumn<QString>("html");        // contained in PR_BODY_HTML
    QTest::addColumn<int>("attachments");     // -1 not checked, else PR_HASATTACH
    QTest::addColumn<int>("importance");      // -1 not checked
    QTest::addColumn<QDateTime>("submitted"); // invalid: PR_CLIENT_SUBMIT_TIME missing

    const QString any;
    const QDateTime none;
    QTest::newRow("raw 8-bit headers read as Windows-1252")
        << "raw-8bit-headers.eml" << QStringLiteral("Grüße aus Köln “quoted”")
        << QStringLiteral("Jürgen Müller") << QStringLiteral("Schöne Grüße – bis bald.") << any << 0
        << 1 << QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    QTest::newRow("broken encoded words")
        << "broken-encoded-words.eml" << QStringLiteral("Café and naïve😀") << any
        << QStringLiteral("Body.") << any << 0 << 1
        << QDateTime(QDate(2026, 3, 3), QTime(11, 0), Qt::UTC);
    QTest::newRow("missing headers")
        << "missing-headers.eml" << QString(QLatin1String("")) << QString(QLatin1String(""))
        << QStringLiteral("Just a body without any of the usual headers.") << any << 0 << 1 << none;
    QTest::newRow("no header block")
        << "no-header-block.eml" << any << any << QStringLiteral("and neither is this.") << any << 0
        << 1 << none;
    QTest::newRow("nested multiparts")
        << "nested-multipart.eml" << QStringLiteral("Nested parts") << QStringLiteral("Outer")
        << QStringLiteral("Outer plain text.") << QStringLiteral("Outer <b>html</b>") << 1 << 1
        << QDateTime(QDate(2026, 3, 4), QTime(10, 0), Qt::UTC);
    QTest::newRow("huge headers") << "huge-headers.eml" << any << QStringLiteral("Many Hops")
                                  << QStringLiteral("Short body.") << any << 0 << 1
                                  << QDateTime(QDate(2026, 3, 5), QTime(9, 0), Qt::UTC);
    QTest::newRow("truncated multipart")
        << "truncated-multipart.eml" << QStringLiteral("Truncated") << QStringLiteral("Cut Off")
        << QStringLiteral("First part.") << any << 1 << 1
        << QDateTime(QDate(2026, 3, 6), QTime(10, 0), Qt::UTC);
    QTest::newRow("multipart without boundary")
        << "multipart-no-boundary.eml" << QStringLiteral("No boundary") << any << any << any << -1
        << 1 << none;
    QTest::newRow("mixed line endings")
        << "mixed-line-endings.eml" << QStringLiteral("Mixed") << QStringLiteral("Lines")
        << QStringLiteral("line one") << any << 0 << 1 << QDateTime();
    QTest::newRow("NUL bytes") << "nul-bytes.eml" << any << QStringLiteral("Nul")
                               << QStringLiteral("before") << any << 0 << 1
                               << QDateTime(QDate(2026, 3, 8), QTime(10, 0), Qt::UTC);
    QTest::newRow("obsolete date, unknown priorities")
        << "odd-dates-priority.eml" << QStringLiteral("Obsolete date") << QStringLiteral("Dates")
        << any << any << 0 << 1 << QDateTime(QDate(1980, 1, 1), QTime(5, 0), Qt::UTC);
    QTest::newRow("invalid date, X-Priority with comment")
        << "invalid-date.eml" << QStringLiteral("No real date") << any << any << any << 0 << 2
        << none;
    QTest::newRow("X-MSMail-Priority") << "msmail-priority.eml" << QStringLiteral("Legacy priority")
                                       << any << any << any << 0 << 2 << none;
    QTest::newRow("Priority non-urgent") << "x400-priority.eml" << QStringLiteral("X.400 priority")
                                         << any << any << any << 0 << 0 << none;
    QTest::newRow("raw UTF-8 headers")
        << "raw-utf8-headers.eml" << QStringLiteral("Grüße, 你好, здравствуйте")
        << QStringLiteral("Zoë Ångström") << QStringLiteral("Ümlauts and 漢字 in the body.") << any
        << 0 << 1 << QDateTime(QDate(2026, 3, 9), QTime(9, 0), Qt::UTC);
    QTest::newRow("broken transfer encodings")
        << "bad-transfer-encoding.eml" << QStringLiteral("Broken encodings") << any
        << QStringLiteral("Café") << any << 0 << 1 << none;
    QTest::newRow("Windows-1252 labelled ISO-8859-1")
        << "cp1252-as-latin1.eml" << QStringLiteral("“Smart” quotes") << any
        << QStringLiteral("He said “hello” – it costs € 5.") << any << 0 << 1 << none;
    QTest::newRow("ISO-2022-JP and Shift_JIS")
        << "japanese.eml" << QStringLiteral("こんにちは") << QStringLiteral("山田")
        << QStringLiteral("こんにちは、世界") << any << 0 << 1 << none;
    QTest::newRow("deep nesting") << "deep-nesting.eml" << QStringLiteral("Deep nesting") << any
                                  << any << any << -1 << 1 << none;
    QTest::newRow("group addresses")
        << "group-addresses.eml" << QStringLiteral("Groups") << QStringLiteral("Last, First") << any
        << any << 0 << 1 << none;
    QTest::newRow("binary garbage")
        << "binary-garbage.eml" << any << any << any << any << -1 << -1 << QDateTime();
    QTest::newRow("empty file") << "empty.eml" << QString(QLatin1String("")) << any << any << any
                                << 0 << 1 << none;
    QTest::newRow("HTML only, charset in a meta tag")
        << "html-only-meta-charset.eml" << QStringLiteral("HTML only") << any << any
        << QStringLiteral("Café &amp; crème") << 0 << 1 << none;
}

void TestMaildirCorpus::readsAsExpected()
{
    QFETCH(QString, file);
    QFETCH(QString, subject);
    QFETCH(QString, sender);
    QFETCH(QString, body);
    QFETCH(QString, html);
    QFETCH(int, attachments);
    QFETCH(int, importance);
    QFETCH(QDateTime, submitted);

    MapiPtr<IMessage> message = open(file);
    QVERIFY2(message, qPrintable(file));
    Buffer<SPropValue> values;
    ULONG count = 0;
    QVERIFY(SUCCEEDED(message->GetProps(nullptr, 0, &count, values.put())));
    checkStrings(values.get(), count, file);

    const auto textOf = [&](ULONG tag) {
        return text(findValue(values.get(), count, tag));
    };
    if (!subject.isNull()) {
        QCOMPARE(textOf(PR_SUBJECT), subject);
    }
    if (!sender.isNull()) {
        QCOMPARE(textOf(PR_SENT_REPRESENTING_NAME), sender);
    }
    if (!body.isNull()) {
        const QString plain = QString::fromUtf8(readStream(message.get(), PR_BODY));
        QVERIFY2(plain.contains(body), qPrintable(plain.left(200)));
    }
    if (!html.isNull()) {
        const QString text = QString::fromUtf8(readStream(message.get(), PR_BODY_HTML));
        QVERIFY2(text.contains(html), qPrintable(text.left(200)));
    }
    if (attachments >= 0) {
        const SPropValue* has = findValue(values.get(), count, PR_HASATTACH);
        QVERIFY(!isError(has));
        QCOMPARE(int(has->Value.b != 0), attachments);
    }
    if (importance >= 0) {
        const SPropValue* value = findValue(values.get(), count, PR_IMPORTANCE);
        QVERIFY(!isError(value));
        QCOMPARE(int(value->Value.l), importance);
    }
    const SPropValue* sent = findValue(values.get(), count, PR_CLIENT_SUBMIT_TIME);
    if (submitted.isValid()) {
        QVERIFY(!isError(sent));
        QCOMPARE(fileTime(sent), fileTimeOf(submitted));
    } else if (file != QLatin1String("mixed-line-endings.eml") &&
               file != QLatin1String("binary-garbage.eml")) {
        QVERIFY2(isError(sent), "a message without a usable Date has no submit time");
    }
}

void TestMaildirCorpus::messageClass_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("messageClass");

    QTest::newRow("plain mail") << "raw-utf8-headers.eml" << QStringLiteral("IPM.Note");
    QTest::newRow("read receipt") << "read-receipt.eml" << QStringLiteral("REPORT.IPM.Note.IPNRN");
    QTest::newRow("bounce") << "bounce.eml" << QStringLiteral("REPORT.IPM.Note.NDR");
    QTest::newRow("signed") << "smime-signed.eml"
                            << QStringLiteral("IPM.Note.SMIME.MultipartSigned");
    QTest::newRow("meeting request")
        << "meeting-request.eml" << QStringLiteral("IPM.Schedule.Meeting.Request");
    QTest::newRow("not a message") << "binary-garbage.eml" << QStringLiteral("IPM.Note");
}

void TestMaildirCorpus::messageClass()
{
    QFETCH(QString, file);
    QFETCH(QString, messageClass);

    // The contents table (through the summary index) and the opened message agree.
    RowSet rows;
    QCOMPARE(contents(m_inbox.get(), {PR_ENTRYID, PR_MESSAGE_CLASS}, &rows), S_OK);
    const QByteArray unique = m_uniqueNames.value(file).toUtf8();
    QString listed;
    for (ULONG i = 0; i < rows.count(); ++i) {
        if (binary(findValue(rows.row(i), PR_ENTRYID)).contains(unique)) {
            listed = text(findValue(rows.row(i), PR_MESSAGE_CLASS));
        }
    }
    QCOMPARE(listed, messageClass);
    MapiPtr<IMessage> message = open(file);
    QVERIFY(message);
    QCOMPARE(text(Props(message.get(), {PR_MESSAGE_CLASS})[0]), messageClass);
}

void TestMaildirCorpus::replyToAndThread()
{
    MapiPtr<IMessage> message = open(QStringLiteral("reply-to-and-thread.eml"));
    QVERIFY(message);
    Props v(message.get(),
            {PR_SENSITIVITY, PR_READ_RECEIPT_REQUESTED, PR_CONVERSATION_TOPIC,
             PR_CONVERSATION_INDEX, PR_NORMALIZED_SUBJECT, PR_REPLY_RECIPIENT_NAMES,
             PR_REPLY_RECIPIENT_ENTRIES, PR_SENDER_ADDRTYPE, PR_SENDER_SEARCH_KEY,
             PR_SENDER_ENTRYID, PR_SENT_REPRESENTING_ENTRYID, PR_INTERNET_MESSAGE_ID});
    QCOMPARE(v.hr, S_OK);
    QCOMPARE(v[0]->Value.l, LONG(SENSITIVITY_PRIVATE));
    QVERIFY(v[1]->Value.b);
    QCOMPARE(text(v[2]), QStringLiteral("Printer jams"));
    QCOMPARE(binary(v[3]).toBase64(), QByteArray("AdmgowABESIzRFVmd4iZqrvM3e7/AA=="));
    QCOMPARE(text(v[4]), QStringLiteral("Printer jams"));
    QCOMPARE(text(v[5]), QStringLiteral("Help Desk; Lee, Ann"));
    // A flat entry list: count, size, then each entry's size and bytes padded to 4.
    const QByteArray first = oneOff("Help Desk", "desk@example.com");
    const QByteArray second = oneOff("Lee, Ann", "ann@example.org");
    QByteArray entries;
    for (const QByteArray& entry : {first, second}) {
        const quint32 size = qToLittleEndian(quint32(entry.size()));
        entries += QByteArray(reinterpret_cast<const char*>(&size), 4) + entry;
        entries += QByteArray((4 - entries.size() % 4) % 4, '\0');
    }
    const quint32 header[] = {qToLittleEndian(2u), qToLittleEndian(quint32(entries.size()))};
    QCOMPARE(binary(v[6]),
             QByteArray(reinterpret_cast<const char*>(header), sizeof header) + entries);
    QCOMPARE(text(v[7]), QStringLiteral("SMTP"));
    QCOMPARE(binary(v[8]), QByteArray("SMTP:DESK@EXAMPLE.COM", 22));
    QCOMPARE(binary(v[9]), first);
    QCOMPARE(binary(v[10]), oneOff("Ann Lee", "ann@example.org"));
    QCOMPARE(text(v[11]), QStringLiteral("<thread-1@example.org>"));

    // The message list's columns come from the summary index.
    RowSet rows;
    QCOMPARE(
        contents(m_inbox.get(),
                 {PR_SUBJECT, PR_SENSITIVITY, PR_READ_RECEIPT_REQUESTED, PR_REPLY_RECIPIENT_NAMES},
                 &rows),
        S_OK);
    bool seen = false;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        if (text(&row.lpProps[0]) == QLatin1String("RE: Printer jams")) {
            seen = true;
            QCOMPARE(row.lpProps[1].Value.l, LONG(SENSITIVITY_PRIVATE));
            QVERIFY(row.lpProps[2].Value.b);
            QCOMPARE(text(&row.lpProps[3]), QStringLiteral("Help Desk; Lee, Ann"));
        } else {
            // Every other row has the defaults, so filtering on them finds it.
            QVERIFY(!isError(&row.lpProps[1]));
            QVERIFY(!isError(&row.lpProps[2]));
        }
    }
    QVERIFY(seen);
}

QTEST_GUILESS_MAIN(TestMaildirCorpus)
#include "tst_maildircorpus.moc"
