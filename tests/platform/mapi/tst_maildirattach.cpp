// Attachments through the mail library: the attachment table and data of received messages
// (nested multiparts, attached messages, non-ASCII names, an RTF body), attachments created,
// saved and read back byte for byte, deleted, and copied with CopyTo and CopyProps.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QByteArray kProfiles = "[Profile Test]\nStores=Support;Archive\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n"
                             "[Store Test/Archive]\nPath=@ROOT@/archive\n";

const QDateTime kDelivered(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC);

const QByteArray kHeaders = "From: Carl <carl@example.org>\r\nTo: Support <help@example.com>\r\n"
                            "Subject: Files\r\nDate: Mon, 06 May 2024 07:08:09 +0000\r\n"
                            "MIME-Version: 1.0\r\n";

QByteArray multipart(const QByteArray& type, const QByteArray& boundary,
                     const QList<QByteArray>& parts)
{
    QByteArray out = "Content-Type: multipart/" + type + "; boundary=" + boundary + "\r\n\r\n";
    for (const QByteArray& part : parts) {
        out += "--" + boundary + "\r\n" + part + "\r\n";
    }
    return out + "--" + boundary + "--\r\n";
}

QByteArray base64Part(const QByteArray& headers, const QByteArray& data)
{
    return headers + "Content-Transfer-Encoding: base64\r\n\r\n" + data.toBase64() + "\r\n";
}

const QByteArray kPlain = "Content-Type: text/plain; charset=utf-8\r\n\r\nSee attached.\r\n";
const QByteArray kPdf = "%PDF-1.4\n\x01\x02\xff binary";

// "method|long file name|display name|mime tag|size|content id" per attachment row.
QStringList describeRows(IMessage* message)
{
    MapiPtr<IMAPITable> table;
    RowSet rows;
    QStringList lines;
    if (message->GetAttachmentTable(0, table.put()) != S_OK ||
        queryAll(table.get(),
                 {PR_ATTACH_NUM, PR_ATTACH_METHOD, PR_ATTACH_LONG_FILENAME, PR_DISPLAY_NAME,
                  PR_ATTACH_MIME_TAG, PR_ATTACH_SIZE, PR_ATTACH_CONTENT_ID, PR_RENDERING_POSITION},
                 &rows) != S_OK) {
        return {QStringLiteral("<no table>")};
    }
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        lines << QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(findValue(row, PR_ATTACH_METHOD)->Value.l)
                     .arg(text(findValue(row, PR_ATTACH_LONG_FILENAME)),
                          text(findValue(row, PR_DISPLAY_NAME)),
                          text(findValue(row, PR_ATTACH_MIME_TAG)))
                     .arg(findValue(row, PR_ATTACH_SIZE)->Value.l)
                     .arg(text(findValue(row, PR_ATTACH_CONTENT_ID)));
        if (findValue(row, PR_RENDERING_POSITION)->Value.l != -1) {
            lines << QStringLiteral("<rendering position>");
        }
    }
    return lines;
}

QList<LONG> attachmentNumbers(IMessage* message)
{
    MapiPtr<IMAPITable> table;
    RowSet rows;
    QList<LONG> numbers;
    if (message->GetAttachmentTable(0, table.put()) == S_OK &&
        queryAll(table.get(), {PR_ATTACH_NUM}, &rows) == S_OK) {
        for (ULONG i = 0; i < rows.count(); ++i) {
            numbers << rows.row(i).lpProps[0].Value.l;
        }
    }
    return numbers;
}

QByteArray attachmentData(IMessage* message, LONG number)
{
    MapiPtr<IAttach> attach;
    MapiPtr<IStream> stream;
    if (message->OpenAttach(ULONG(number), nullptr, MAPI_BEST_ACCESS, attach.put()) != S_OK ||
        attach->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, 0, 0, stream.putUnknown()) != S_OK) {
        return "<no data>";
    }
    return readAll(stream.get());
}

// The message's RTF body, uncompressed; empty when it has none.
QByteArray rtfOf(IMessage* message)
{
    MapiPtr<IStream> compressed;
    MapiPtr<IStream> stream;
    if (message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0, compressed.putUnknown()) !=
            S_OK ||
        api().WrapCompressedRTFStream(compressed.get(), 0, stream.put()) != S_OK) {
        return {};
    }
    return readAll(stream.get());
}

HRESULT addAttachment(IMessage* message, const QString& name, const QByteArray& mimeTag,
                      const QByteArray& data)
{
    ULONG number = 0;
    MapiPtr<IAttach> attach;
    HRESULT hr = message->CreateAttach(nullptr, 0, &number, attach.put());
    if (FAILED(hr)) {
        return hr;
    }
    Values values;
    values.text(PR_ATTACH_LONG_FILENAME, name)
        .text(PR_ATTACH_MIME_TAG, QString::fromLatin1(mimeTag))
        .number(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    hr = values.applyTo(attach.get());
    MapiPtr<IStream> stream;
    if (SUCCEEDED(hr)) {
        hr = attach->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                  stream.putUnknown());
    }
    if (SUCCEEDED(hr)) {
        hr = stream->Write(data.constData(), ULONG(data.size()), nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = stream->Commit(0);
    }
    return SUCCEEDED(hr) ? attach->SaveChanges(KEEP_OPEN_READWRITE) : hr;
}

// A winmail.dat written field by field: the signature and key, then attributes, each with
// its level, id, length, data and checksum.
class TnefBuilder
{
public:
    TnefBuilder()
    {
        le(0x223E9F78, 4, &m_bytes);
        le(1, 2, &m_bytes);
    }
    static void le(quint32 value, int size, QByteArray* out)
    {
        for (int i = 0; i < size; ++i) {
            out->append(char(value >> (8 * i)));
        }
    }
    static void padded(const QByteArray& data, QByteArray* out)
    {
        le(quint32(data.size()), 4, out);
        out->append(data);
        out->append(QByteArray((4 - data.size() % 4) % 4, '\0'));
    }
    void attribute(quint32 id, const QByteArray& data, bool goodChecksum = true)
    {
        m_bytes.append(char(1));
        le(id, 4, &m_bytes);
        le(quint32(data.size()), 4, &m_bytes);
        m_bytes.append(data);
        quint32 sum = goodChecksum ? 0 : 1;
        for (char c : data) {
            sum += quint8(c);
        }
        le(sum & 0xFFFF, 2, &m_bytes);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// The first worked example of compressed RTF.
const QByteArray kExampleRtf = "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n";
const QByteArray kExampleCompressed =
    QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a703000a00726370673132354232"
                        "0af32068656c090020627705b06c647d0a800fa0");

// attMAPIProps with a named property, a multi-valued one, the RTF and a Unicode body.
QByteArray tnefMapiProps()
{
    QByteArray props;
    TnefBuilder::le(4, 4, &props);
    TnefBuilder::le(PT_LONG, 2, &props);
    TnefBuilder::le(0x8001, 2, &props);
    props.append(reinterpret_cast<const char*>(&PS_PUBLIC_STRINGS), 16);
    TnefBuilder::le(MNID_STRING, 4, &props);
    TnefBuilder::padded(QByteArray("N\0a\0m\0e\0\0\0", 10), &props);
    TnefBuilder::le(7, 4, &props);
    TnefBuilder::le(PT_MV_LONG, 2, &props);
    TnefBuilder::le(0x6601, 2, &props);
    TnefBuilder::le(2, 4, &props);
    TnefBuilder::le(1, 4, &props);
    TnefBuilder::le(2, 4, &props);
    TnefBuilder::le(PT_BINARY, 2, &props);
    TnefBuilder::le(PROP_ID(PR_RTF_COMPRESSED), 2, &props);
    TnefBuilder::le(1, 4, &props);
    TnefBuilder::padded(kExampleCompressed, &props);
    TnefBuilder::le(PT_UNICODE, 2, &props);
    TnefBuilder::le(PROP_ID(PR_BODY), 2, &props);
    TnefBuilder::le(1, 4, &props);
    const QString body = QStringLiteral("Hello w\u00F6rld\n");
    QByteArray utf16(reinterpret_cast<const char*>(body.utf16()), int(body.size()) * 2);
    TnefBuilder::padded(utf16 + QByteArray(2, '\0'), &props);
    return props;
}
} // namespace

class TestMaildirAttach : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void receivedAttachments_data();
    void receivedAttachments();
    void attachmentBytes();
    void rtfBodyPart_data();
    void rtfBodyPart();
    void createSaveReopen();
    void deleteAttachment();
    void resaveKeepsAttachments();
    void attachErrors();
    void tnefBody_data();
    void tnefBody();
    void copyProps_data();
    void copyProps();
    void copyToWithExclusions();
    void copyProblems();

private:
    MapiPtr<IMessage> deliver(const QByteArray& content);
    QByteArray onlyFile(const QString& store) const;

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_support;
    MapiPtr<IMsgStore> m_archive;
    int m_delivered = 0;
};

void TestMaildirAttach::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestMaildirAttach::init()
{
    for (const char* store : {"support", "archive"}) {
        const QString root = m_dir.filePath(QLatin1String(store));
        QDir(root).removeRecursively();
        MaildirBuilder builder(root);
    }
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_support = openStore(m_session.get(), 0);
    m_archive = openStore(m_session.get(), 1);
    QVERIFY(m_support && m_archive);
}

void TestMaildirAttach::cleanup()
{
    endSession(&m_session, &m_support, &m_archive);
}

void TestMaildirAttach::cleanupTestCase()
{
    api().MAPIUninitialize();
}

// Puts `content` into the support Inbox as a received file and opens it.
MapiPtr<IMessage> TestMaildirAttach::deliver(const QByteArray& content)
{
    MaildirBuilder builder(m_dir.filePath(QStringLiteral("support")));
    const QString name = QStringLiteral("1714979289.M%1P1Q1.host:2,S").arg(++m_delivered);
    builder.addMessage(QString(), QStringLiteral("cur"), name, content, kDelivered);
    RowSet rows;
    MapiPtr<IMAPIFolder> folder = openInbox(m_support.get());
    if (!folder || contents(folder.get(), {PR_ENTRYID}, &rows) != S_OK || rows.count() == 0) {
        return {};
    }
    return reopen(m_support.get(), binary(&rows.row(rows.count() - 1).lpProps[0]));
}

QByteArray TestMaildirAttach::onlyFile(const QString& store) const
{
    const QString cur = m_dir.filePath(store + QStringLiteral("/cur"));
    const QStringList files = filesIn(cur);
    if (files.size() != 1) {
        return "<" + QByteArray::number(files.size()) + " files>";
    }
    return fileContent(cur + QLatin1Char('/') + files.first());
}

void TestMaildirAttach::receivedAttachments_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("body");

    const QByteArray pdf =
        base64Part("Content-Type: application/pdf; name=\"report.pdf\"\r\n"
                   "Content-Disposition: attachment; filename=\"report.pdf\"\r\n",
                   kPdf);
    QTest::newRow("one file") << kHeaders + multipart("mixed", "b1", {kPlain, pdf})
                              << QStringList{"1|report.pdf|report.pdf|application/pdf|19|"}
                              << "See attached.\r\n";

    const QByteArray alternative = multipart(
        "alternative", "b2",
        {kPlain, "Content-Type: text/html; charset=utf-8\r\n\r\n<p><img src=\"cid:logo@x\"></p>"});
    const QByteArray image = base64Part(
        "Content-Type: image/png\r\nContent-ID: <logo@x>\r\nContent-Disposition: inline\r\n",
        "\x89PNG....");
    const QByteArray related =
        multipart("related", "b3", {"Content-Type: text/html\r\n\r\n<p>second html</p>", image});
    const QByteArray csv = "Content-Type: text/csv; name=data.csv\r\n"
                           "Content-Disposition: attachment\r\n\r\na,b\r\n1,2\r\n";
    const QByteArray secondText = "Content-Type: text/plain\r\n\r\nA second text.\r\n";
    QTest::newRow("nested multiparts")
        << kHeaders + multipart("mixed", "b4", {alternative, related, csv, secondText})
        << QStringList{"1|||text/html|18|", "1|||image/png|8|logo@x",
                       "1|data.csv|data.csv|text/csv|10|", "1|||text/plain|16|"}
        << "See attached.\r\n";

    const QByteArray inner = "From: Dora <dora@example.org>\r\nSubject: Original\r\n"
                             "MIME-Version: 1.0\r\n" +
                             multipart("mixed", "in", {kPlain, pdf});
    const QByteArray forwarded = "Content-Type: message/rfc822\r\n"
                                 "Content-Disposition: attachment\r\n\r\n" +
                                 inner;
    QTest::newRow("attached message")
        << kHeaders + multipart("mixed", "b5", {kPlain, forwarded})
        // The attached message is written out again by GMime, with its own line ends.
        << QStringList{QStringLiteral("5||Original|message/rfc822|%1|")
                           .arg(QByteArray(inner).replace("\r\n", "\n").size())}
        << "See attached.\r\n";

    const QByteArray rfc2231 =
        base64Part("Content-Type: application/octet-stream\r\nContent-Disposition: attachment;"
                   " filename*=utf-8''%C3%9Cbersicht%20%E2%82%AC.txt\r\n",
                   "abc");
    const QByteArray rfc2047 = base64Part("Content-Type: application/octet-stream;"
                                          " name=\"=?utf-8?B?w6l0w6kuZG9j?=\"\r\n",
                                          "de");
    QTest::newRow("non-ASCII names")
        << kHeaders + multipart("mixed", "b6", {kPlain, rfc2231, rfc2047})
        << QStringList{QStringLiteral("1|\u00DCbersicht \u20AC.txt|\u00DCbersicht \u20AC.txt|"
                                      "application/octet-stream|3|"),
                       QStringLiteral("1|\u00E9t\u00E9.doc|\u00E9t\u00E9.doc|"
                                      "application/octet-stream|2|")}
        << "See attached.\r\n";

    QTest::newRow("no attachments")
        << email(kHeaders, "Just text.\r\n") << QStringList() << "Just text.\r\n";
}

void TestMaildirAttach::receivedAttachments()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    QFETCH(QString, body);
    MapiPtr<IMessage> message = deliver(content);
    QVERIFY(message);
    QCOMPARE(describeRows(message.get()), rows);
    Props values(message.get(), {PR_HASATTACH, PR_BODY});
    QCOMPARE(bool(values[0]->Value.b), !rows.isEmpty());
    QCOMPARE(text(values[1]), body);
}

void TestMaildirAttach::attachmentBytes()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i) {
        all += char(i);
    }
    const QByteArray content =
        kHeaders +
        multipart("mixed", "b1",
                  {kPlain,
                   base64Part("Content-Type: application/octet-stream; name=all.bin\r\n", all),
                   "Content-Type: text/plain; name=notes.txt\r\n"
                   "Content-Transfer-Encoding: quoted-printable\r\n\r\nsoft=\r\nbreak =3D\r\n"});
    MapiPtr<IMessage> message = deliver(content);
    QVERIFY(message);
    const QList<LONG> numbers = attachmentNumbers(message.get());
    QCOMPARE(numbers.size(), 2);
    QCOMPARE(attachmentData(message.get(), numbers[0]), all);
    QCOMPARE(attachmentData(message.get(), numbers[1]), QByteArray("softbreak =\r\n"));
    // GetProps gives the data to a caller asking for it, and the rest alike without it.
    MapiPtr<IAttach> attach;
    QCOMPARE(message->OpenAttach(ULONG(numbers[0]), nullptr, 0, attach.put()), S_OK);
    Props withData(attach.get(), {PR_ATTACH_LONG_FILENAME, PR_ATTACH_DATA_BIN});
    Props nameOnly(attach.get(), {PR_ATTACH_LONG_FILENAME});
    QCOMPARE(withData.hr, S_OK);
    QCOMPARE(binary(withData[1]), all);
    QCOMPARE(text(nameOnly[0]), QStringLiteral("all.bin"));
}

void TestMaildirAttach::rtfBodyPart_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("disposition");
    QTest::addColumn<bool>("isBody");
    QTest::newRow("text/rtf") << QByteArray("text/rtf") << QByteArray() << true;
    QTest::newRow("application/rtf") << QByteArray("application/rtf") << QByteArray() << true;
    QTest::newRow("attached RTF file")
        << QByteArray("application/rtf")
        << QByteArray("Content-Disposition: attachment; filename=letter.rtf\r\n") << false;
}

void TestMaildirAttach::rtfBodyPart()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, disposition);
    QFETCH(bool, isBody);
    const QByteArray rtf = "{\\rtf1\\ansi Caf\\'e9 {\\b bold}\\par\r\n}";
    const QByteArray content =
        kHeaders + multipart("alternative", "b1",
                             {kPlain, "Content-Type: " + type + "\r\n" + disposition +
                                          "Content-Transfer-Encoding: 7bit\r\n\r\n" + rtf});
    MapiPtr<IMessage> message = deliver(content);
    QVERIFY(message);
    QCOMPARE(attachmentNumbers(message.get()).size(), isBody ? 0 : 1);
    // The line break before the boundary is not the part's.
    QCOMPARE(rtfOf(message.get()), isBody ? rtf : QByteArray());
}

void TestMaildirAttach::createSaveReopen()
{
    MapiPtr<IMAPIFolder> folder = openInbox(m_support.get());
    MapiPtr<IMessage> message;
    QCOMPARE(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Two files")).text(PR_BODY, QStringLiteral("Body.\n"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    const QByteArray rtf = "{\\rtf1\\ansi Body.\\par\r\n}";
    {
        MapiPtr<IStream> compressed;
        MapiPtr<IStream> stream;
        QCOMPARE(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0,
                                       MAPI_CREATE | MAPI_MODIFY, compressed.putUnknown()),
                 S_OK);
        QCOMPARE(api().WrapCompressedRTFStream(compressed.get(), MAPI_MODIFY, stream.put()), S_OK);
        QCOMPARE(stream->Write(rtf.constData(), ULONG(rtf.size()), nullptr), S_OK);
        QCOMPARE(stream->Commit(0), S_OK);
    }
    QByteArray binary;
    for (int i = 0; i < 5000; ++i) {
        binary += char((i * 7) & 0xFF);
    }
    const QString nonAscii = QStringLiteral("R\u00E9sum\u00E9 \u65E5\u672C.txt");
    const QByteArray textData = "line one\nline two without end";
    QCOMPARE(addAttachment(message.get(), QStringLiteral("data.bin"), "application/octet-stream",
                           binary),
             S_OK);
    QCOMPARE(addAttachment(message.get(), nonAscii, "text/plain", textData), S_OK);
    QCOMPARE(attachmentNumbers(message.get()).size(), 2);
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message.reset();

    const QByteArray file = onlyFile(QStringLiteral("support"));
    for (const char* part : {"multipart/mixed", "multipart/alternative", "text/rtf",
                             "filename=data.bin", "filename*=UTF-8''R%C3%A9sum%C3%A9"}) {
        QVERIFY2(file.contains(part), part);
    }
    message = reopen(m_support.get(), id);
    QVERIFY(message);
    QCOMPARE(
        describeRows(message.get()),
        (QStringList{"1|data.bin|data.bin|application/octet-stream|5000|",
                     QStringLiteral("1|%1|%1|text/plain|%2|").arg(nonAscii).arg(textData.size())}));
    const QList<LONG> numbers = attachmentNumbers(message.get());
    QCOMPARE(attachmentData(message.get(), numbers[0]), binary);
    QCOMPARE(attachmentData(message.get(), numbers[1]), textData);
    QCOMPARE(rtfOf(message.get()), rtf);
    Props props(message.get(), {PR_BODY, PR_HASATTACH});
    QCOMPARE(props.hr, S_OK);
    QCOMPARE(text(props[0]), QStringLiteral("Body.\n"));
    QCOMPARE(props[1]->Value.b, 1);
}

void TestMaildirAttach::deleteAttachment()
{
    const QByteArray content =
        kHeaders +
        multipart("mixed", "b1",
                  {kPlain, base64Part("Content-Type: text/plain; name=keep.txt\r\n", "kept"),
                   base64Part("Content-Type: text/plain; name=drop.txt\r\n", "gone")});
    MapiPtr<IMessage> message = deliver(content);
    QVERIFY(message);
    const QList<LONG> numbers = attachmentNumbers(message.get());
    QCOMPARE(numbers.size(), 2);
    MapiPtr<IAttach> opened;
    QCOMPARE(message->OpenAttach(ULONG(numbers[1]), nullptr, MAPI_MODIFY, opened.put()), S_OK);
    QCOMPARE(message->DeleteAttach(ULONG(numbers[1]), 0, nullptr, 0), S_OK);
    // An attachment still open when it was deleted does not come back by saving it.
    QCOMPARE(opened->SaveChanges(0), MAPI_E_OBJECT_DELETED);
    QCOMPARE(message->DeleteAttach(ULONG(numbers[1]), 0, nullptr, 0), MAPI_E_NOT_FOUND);
    QCOMPARE(attachmentNumbers(message.get()), QList<LONG>{numbers[0]});
    QCOMPARE(message->SaveChanges(0), S_OK);
    const QByteArray file = onlyFile(QStringLiteral("support"));
    QVERIFY(file.contains("keep.txt"));
    QVERIFY(!file.contains("drop.txt"));

    QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message = reopen(m_support.get(), id);
    QCOMPARE(describeRows(message.get()), QStringList{"1|keep.txt|keep.txt|text/plain|4|"});
    // The last one gone, the file has no attachment left.
    QCOMPARE(message->DeleteAttach(ULONG(attachmentNumbers(message.get())[0]), 0, nullptr, 0),
             S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    QVERIFY(!onlyFile(QStringLiteral("support")).contains("multipart"));
}

void TestMaildirAttach::resaveKeepsAttachments()
{
    const QByteArray inner = "From: Dora <dora@example.org>\r\nSubject: Original\r\n"
                             "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\nInner.\r\n";
    const QByteArray content =
        kHeaders +
        multipart("mixed", "b1",
                  {kPlain, base64Part("Content-Type: image/gif; name=a.gif\r\n", "GIF89a"),
                   "Content-Type: message/rfc822\r\n\r\n" + inner});
    MapiPtr<IMessage> message = deliver(content);
    QVERIFY(message);
    const QStringList before = describeRows(message.get());
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Files [triaged]"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(message->SaveChanges(0), S_OK);
    QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message = reopen(m_support.get(), id);
    QCOMPARE(describeRows(message.get()), before);
    const QList<LONG> numbers = attachmentNumbers(message.get());
    QCOMPARE(attachmentData(message.get(), numbers[0]), QByteArray("GIF89a"));
    const QByteArray attached = attachmentData(message.get(), numbers[1]);
    QVERIFY(attached.contains("Subject: Original") && attached.contains("Inner."));
}

void TestMaildirAttach::attachErrors()
{
    MapiPtr<IMessage> message = deliver(email(kHeaders));
    QVERIFY(message);
    MapiPtr<IAttach> attach;
    QCOMPARE(message->OpenAttach(0, nullptr, 0, attach.put()), MAPI_E_NOT_FOUND);
    QCOMPARE(message->DeleteAttach(7, 0, nullptr, 0), MAPI_E_NOT_FOUND);
    ULONG number = 0;
    QCOMPARE(message->CreateAttach(&IID_IStream, 0, &number, attach.put()),
             MAPI_E_INTERFACE_NOT_SUPPORTED);
    QCOMPARE(message->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
    // Not saved into the message: it does not show, and the data is not there yet.
    QCOMPARE(attachmentNumbers(message.get()).size(), 0);
    MapiPtr<IStream> stream;
    QCOMPARE(attach->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, 0, 0, stream.putUnknown()),
             MAPI_E_NOT_FOUND);
    QCOMPARE(attach->OpenProperty(PR_SUBJECT, &IID_IStream, 0, 0, stream.putUnknown()),
             MAPI_E_NO_SUPPORT);
    ULONG second = 0;
    MapiPtr<IAttach> other;
    QCOMPARE(message->CreateAttach(nullptr, 0, &second, other.put()), S_OK);
    QVERIFY(second != number);
}

void TestMaildirAttach::tnefBody_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<bool>("plainPart");
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("body");
    TnefBuilder good;
    good.attribute(0x00078008, "IPM.Microsoft Mail.Note"); // the message class, skipped
    good.attribute(0x00069003, tnefMapiProps());
    QTest::newRow("with a text part")
        << good.bytes() << true << kExampleRtf << QStringLiteral("See attached.\r\n");
    QTest::newRow("alone") << good.bytes() << false << kExampleRtf
                           << QStringLiteral("Hello w\u00F6rld\n");
    TnefBuilder damaged;
    damaged.attribute(0x00069003, tnefMapiProps(), false);
    QTest::newRow("bad checksum") << damaged.bytes() << true << QByteArray()
                                  << QStringLiteral("See attached.\r\n");
    QTest::newRow("cut short") << good.bytes().left(good.bytes().size() - 40) << true
                               << QByteArray() << QStringLiteral("See attached.\r\n");
    QTest::newRow("not TNEF") << QByteArray("MZ\x90\0 something else") << true << QByteArray()
                              << QStringLiteral("See attached.\r\n");
}

void TestMaildirAttach::tnefBody()
{
    QFETCH(QByteArray, tnef);
    QFETCH(bool, plainPart);
    QFETCH(QByteArray, rtf);
    QFETCH(QString, body);
    const QByteArray winmail =
        base64Part("Content-Type: application/ms-tnef; name=\"winmail.dat\"\r\n", tnef);
    QList<QByteArray> parts{winmail};
    if (plainPart) {
        parts.prepend(kPlain);
    }
    MapiPtr<IMessage> message = deliver(kHeaders + multipart("mixed", "b1", parts));
    QVERIFY(message);
    // The winmail.dat stays an attachment, so a save writes it back.
    QCOMPARE(attachmentNumbers(message.get()).size(), 1);
    QCOMPARE(rtfOf(message.get()), rtf);
    QCOMPARE(text(Props(message.get(), {PR_BODY})[0]), body);
}

void TestMaildirAttach::copyProps_data()
{
    QTest::addColumn<QList<ULONG>>("tags");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("attachments");
    QTest::addColumn<int>("recipients");
    QTest::newRow("attachments only") << QList<ULONG>{PR_MESSAGE_ATTACHMENTS} << "Kept"
                                      << "" << 2 << 0;
    QTest::newRow("subject and body") << QList<ULONG>{PR_SUBJECT, PR_BODY} << "Files"
                                      << "See attached.\r\n"
                                      << 0 << 0;
    QTest::newRow("recipients") << QList<ULONG>{PR_MESSAGE_RECIPIENTS} << "Kept"
                                << "" << 0 << 1;
}

void TestMaildirAttach::copyProps()
{
    QFETCH(QList<ULONG>, tags);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(int, attachments);
    QFETCH(int, recipients);
    const QByteArray content =
        kHeaders + multipart("mixed", "b1",
                             {kPlain, base64Part("Content-Type: text/plain; name=a.txt\r\n", "a"),
                              base64Part("Content-Type: text/plain; name=b.txt\r\n", "b")});
    MapiPtr<IMessage> source = deliver(content);
    QVERIFY(source);
    MapiPtr<IMessage> dest;
    QCOMPARE(openInbox(m_archive.get())->CreateMessage(nullptr, 0, dest.put()), S_OK);
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Kept"));
    QCOMPARE(values.applyTo(dest.get()), S_OK);

    std::vector<ULONG> array(1 + tags.size());
    array[0] = ULONG(tags.size());
    std::copy(tags.begin(), tags.end(), array.begin() + 1);
    Buffer<SPropProblemArray> problems;
    QCOMPARE(source->CopyProps(reinterpret_cast<LPSPropTagArray>(array.data()), 0, nullptr,
                               &IID_IMessage, dest.get(), 0, problems.put()),
             S_OK);
    QVERIFY(!problems.get());

    Props props(dest.get(), {PR_SUBJECT, PR_BODY});
    QCOMPARE(text(props[0]), subject);
    QCOMPARE(text(props[1]), body);
    QCOMPARE(attachmentNumbers(dest.get()).size(), attachments);
    QCOMPARE(recipientLines(dest.get()).size(), recipients);
    QCOMPARE(dest->SaveChanges(0), S_OK);
    QCOMPARE(attachmentNumbers(dest.get()).size(), attachments);
    if (attachments) {
        QCOMPARE(attachmentData(dest.get(), attachmentNumbers(dest.get())[1]), QByteArray("b"));
        QVERIFY(onlyFile(QStringLiteral("archive")).contains("b.txt"));
    }
}

void TestMaildirAttach::copyToWithExclusions()
{
    const QByteArray content =
        kHeaders + multipart("mixed", "b1",
                             {kPlain, base64Part("Content-Type: text/plain; name=a.txt\r\n", "a")});
    MapiPtr<IMessage> source = deliver(content);
    QVERIFY(source);
    // A named property travels under the destination store's id for the same name.
    MAPINAMEID name{const_cast<LPGUID>(&PS_PUBLIC_STRINGS), MNID_STRING, {}};
    name.Kind.lpwstrName = const_cast<char*>("Ticket");
    LPMAPINAMEID names[] = {&name};
    Buffer<SPropTagArray> sourceIds;
    Buffer<SPropTagArray> destIds;
    // Takes an id in the archive first, so the two stores give the name different ids.
    MAPINAMEID other{const_cast<LPGUID>(&PS_PUBLIC_STRINGS), MNID_STRING, {}};
    other.Kind.lpwstrName = const_cast<char*>("Other");
    LPMAPINAMEID otherNames[] = {&other};
    Buffer<SPropTagArray> otherIds;
    QCOMPARE(m_archive->GetIDsFromNames(1, otherNames, MAPI_CREATE, otherIds.put()), S_OK);
    QCOMPARE(source->GetIDsFromNames(1, names, MAPI_CREATE, sourceIds.put()), S_OK);
    const ULONG ticket = CHANGE_PROP_TYPE(sourceIds.get()->aulPropTag[0], PT_STRING8);
    Values values;
    values.text(ticket, QStringLiteral("T-42"))
        .text(PR_ORIGINAL_AUTHOR_NAME, QStringLiteral("Dora"));
    QCOMPARE(values.applyTo(source.get()), S_OK);

    MapiPtr<IMessage> dest;
    QCOMPARE(openInbox(m_archive.get())->CreateMessage(nullptr, 0, dest.put()), S_OK);
    TagArray exclude{PR_SUBJECT, PR_MESSAGE_ATTACHMENTS};
    Buffer<SPropProblemArray> problems;
    QCOMPARE(source->CopyTo(0, nullptr, exclude.get(), 0, nullptr, &IID_IMessage, dest.get(), 0,
                            problems.put()),
             S_OK);
    QVERIFY(!problems.get());

    QCOMPARE(dest->GetIDsFromNames(1, names, 0, destIds.put()), S_OK);
    const ULONG destTicket = CHANGE_PROP_TYPE(destIds.get()->aulPropTag[0], PT_STRING8);
    QVERIFY(PROP_ID(destTicket) != PROP_ID(ticket));
    Props props(dest.get(), {PR_SUBJECT, PR_BODY, PR_ORIGINAL_AUTHOR_NAME, destTicket, PR_ENTRYID});
    QVERIFY(isError(props[0]));
    QCOMPARE(text(props[1]), QStringLiteral("See attached.\r\n"));
    QCOMPARE(text(props[2]), QStringLiteral("Dora"));
    QCOMPARE(text(props[3]), QStringLiteral("T-42"));
    QVERIFY(binary(props[4]) != propBytes(source.get(), PR_ENTRYID));
    QCOMPARE(attachmentNumbers(dest.get()).size(), 0);
    QCOMPARE(recipientLines(dest.get()), recipientLines(source.get()));
    QCOMPARE(dest->SaveChanges(0), S_OK);
}

void TestMaildirAttach::copyProblems()
{
    MapiPtr<IMessage> source = deliver(email(kHeaders));
    QVERIFY(source);
    MapiPtr<IMessage> dest;
    QCOMPARE(openInbox(m_support.get())->CreateMessage(nullptr, 0, dest.put()), S_OK);
    TagArray tags{PR_SUBJECT, PR_ENTRYID, PR_BODY_HTML, PR_CONTAINER_CONTENTS};
    Buffer<SPropProblemArray> problems;
    QCOMPARE(
        source->CopyProps(tags.get(), 0, nullptr, &IID_IMessage, dest.get(), 0, problems.put()),
        S_OK);
    QVERIFY(problems.get());
    const SPropProblemArray* array = problems.get();
    QCOMPARE(array->cProblem, 3u);
    QCOMPARE(array->aProblem[0].ulIndex, 1u);
    const std::pair<ULONG, SCODE> expected[] = {{PR_ENTRYID, MAPI_E_COMPUTED},
                                                {PR_BODY_HTML, MAPI_E_NOT_FOUND},
                                                {PR_CONTAINER_CONTENTS, MAPI_E_INVALID_TYPE}};
    for (ULONG i = 0; i < 3; ++i) {
        QCOMPARE(array->aProblem[i].ulPropTag, expected[i].first);
        QCOMPARE(array->aProblem[i].scode, expected[i].second);
    }
    // What could be copied was.
    QCOMPARE(text(Props(dest.get(), {PR_SUBJECT})[0]), QStringLiteral("Files"));
    // Without a place for the problems, the warning says there were some.
    QCOMPARE(source->CopyProps(tags.get(), 0, nullptr, &IID_IMessage, dest.get(), 0, nullptr),
             MAPI_W_ERRORS_RETURNED);

    // The target must be what the interface says, and not the source itself.
    ULONG number = 0;
    MapiPtr<IAttach> attach;
    QCOMPARE(source->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
    QCOMPARE(source->CopyProps(tags.get(), 0, nullptr, &IID_IMessage, attach.get(), 0, nullptr),
             MAPI_E_INTERFACE_NOT_SUPPORTED);
    QCOMPARE(
        source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IAttachment, dest.get(), 0, nullptr),
        MAPI_E_INTERFACE_NOT_SUPPORTED);
    QCOMPARE(
        source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, source.get(), 0, nullptr),
        MAPI_E_NO_ACCESS);
}

QTEST_GUILESS_MAIN(TestMaildirAttach)
#include "tst_maildirattach.moc"
