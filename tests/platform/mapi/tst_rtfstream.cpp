// Compressed RTF through the mail library: WrapCompressedRTFStream over a message's
// PR_RTF_COMPRESSED stream, corrupt data, RTFSync in both directions, the RTF body kept
// in the message file, and a store with rich text support keeping the bodies in step.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;

const QByteArray kProfiles = "[Profile Test]\nStores=Support\n"
                             "[Store Test/Support]\nPath=@ROOT@/support\n"
                             "[Profile Rich]\nStores=Rich\n"
                             "[Store Rich/Rich]\nPath=@ROOT@/rich\nRichText=true\n";

// The first worked example of the compressed form: the text and its compressed bytes.
const QByteArray kExampleText = "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n";
const QByteArray kExampleCompressed =
    QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a7"
                        "03000a00726370673132354232 0af32068656c090020"
                        "627705b06c647d0a800fa0");

} // namespace

class TestRtfStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void knownCompressedBytes();
    void writeAndReadBack_data();
    void writeAndReadBack();
    void corruptData_data();
    void corruptData();
    void corruptPropertyRefused();
    void syncBodyToRtf();
    void syncRtfToBody_data();
    void syncRtfToBody();
    void syncFlags();
    void rtfBodySavedAndReopened();
    void richTextStoreKeepsBodiesInStep_data();
    void richTextStoreKeepsBodiesInStep();

private:
    MapiPtr<IMessage> newMessage();
    HRESULT writeRtf(IMessage* message, const QByteArray& rtf, ULONG flags = MAPI_MODIFY);
    QByteArray readRtf(IMessage* message, HRESULT* result = nullptr);

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
};

void TestRtfStream::initTestCase()
{
    QVERIFY(startLibrary(m_dir, kProfiles));
}

void TestRtfStream::init()
{
    const QString root = m_dir.filePath(QStringLiteral("support"));
    QDir(root).removeRecursively();
    MaildirBuilder builder(root);
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
    m_inbox = openInbox(m_store.get());
    QVERIFY(m_inbox);
}

void TestRtfStream::cleanup()
{
    endSession(&m_session, &m_inbox, &m_store);
}

void TestRtfStream::cleanupTestCase()
{
    api().MAPIUninitialize();
}

MapiPtr<IMessage> TestRtfStream::newMessage()
{
    MapiPtr<IMessage> message;
    m_inbox->CreateMessage(nullptr, 0, message.put());
    return message;
}

// Writes `rtf` through the wrapper over the message's PR_RTF_COMPRESSED stream.
HRESULT TestRtfStream::writeRtf(IMessage* message, const QByteArray& rtf, ULONG flags)
{
    MapiPtr<IStream> compressed;
    HRESULT hr = message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0,
                                       MAPI_CREATE | MAPI_MODIFY, compressed.putUnknown());
    if (FAILED(hr)) {
        return hr;
    }
    MapiPtr<IStream> text;
    hr = api().WrapCompressedRTFStream(compressed.get(), flags, text.put());
    if (FAILED(hr)) {
        return hr;
    }
    ULONG written = 0;
    hr = text->Write(rtf.constData(), ULONG(rtf.size()), &written);
    return FAILED(hr) ? hr : text->Commit(0);
}

QByteArray TestRtfStream::readRtf(IMessage* message, HRESULT* result)
{
    MapiPtr<IStream> compressed;
    HRESULT hr =
        message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0, compressed.putUnknown());
    MapiPtr<IStream> text;
    if (SUCCEEDED(hr)) {
        hr = api().WrapCompressedRTFStream(compressed.get(), 0, text.put());
    }
    if (result) {
        *result = hr;
    }
    return SUCCEEDED(hr) ? readAll(text.get()) : QByteArray();
}

void TestRtfStream::knownCompressedBytes()
{
    MapiPtr<IMessage> message = newMessage();
    QVERIFY(message);
    Values values;
    values.bytes(PR_RTF_COMPRESSED, kExampleCompressed);
    QCOMPARE(values.applyTo(message.get()), S_OK);
    QCOMPARE(readRtf(message.get()), kExampleText);

    // Written back through the wrapper, the same text compresses to the same bytes.
    MapiPtr<IMessage> other = newMessage();
    QCOMPARE(writeRtf(other.get(), kExampleText), S_OK);
    QCOMPARE(propBytes(other.get(), PR_RTF_COMPRESSED).toHex(), kExampleCompressed.toHex());
}

void TestRtfStream::writeAndReadBack_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<bool>("uncompressed");
    QByteArray repeated = "{\\rtf1\\ansi ";
    for (int i = 0; i < 2000; ++i) {
        repeated += "\\par Line " + QByteArray::number(i % 37) + " of the same text\r\n";
    }
    repeated += "}";
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i) {
        allBytes += char(i);
    }
    for (bool uncompressed : {false, true}) {
        const char* form = uncompressed ? ", MELA" : ", LZFu";
        QTest::addRow("short%s", form) << QByteArray("{\\rtf1 x}") << uncompressed;
        QTest::addRow("longer than the dictionary%s", form) << repeated << uncompressed;
        QTest::addRow("every byte value%s", form) << allBytes << uncompressed;
        QTest::addRow("empty%s", form) << QByteArray() << uncompressed;
    }
}

void TestRtfStream::writeAndReadBack()
{
    QFETCH(QByteArray, rtf);
    QFETCH(bool, uncompressed);
    MapiPtr<IMessage> message = newMessage();
    QVERIFY(message);
    QCOMPARE(
        writeRtf(message.get(), rtf, MAPI_MODIFY | (uncompressed ? STORE_UNCOMPRESSED_RTF : 0)),
        S_OK);
    const QByteArray stored = propBytes(message.get(), PR_RTF_COMPRESSED);
    QCOMPARE(stored.mid(8, 4), uncompressed ? QByteArray("MELA") : QByteArray("LZFu"));
    if (uncompressed) {
        QCOMPARE(stored.size(), rtf.size() + 16);
    } else if (rtf.size() > 10000) {
        QVERIFY(stored.size() < rtf.size() / 4);
    }
    QCOMPARE(readRtf(message.get()), rtf);
}

void TestRtfStream::corruptData_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray badCrc = kExampleCompressed;
    badCrc[20] = char(badCrc[20] ^ 0x40);
    QByteArray badType = kExampleCompressed;
    badType[8] = 'X';
    QByteArray bigRaw = kExampleCompressed;
    bigRaw[6] = char(0x7F); // promises far more text than the contents can hold
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("shorter than a header") << kExampleCompressed.left(10);
    QTest::newRow("cut short") << kExampleCompressed.left(30);
    QTest::newRow("contents changed") << badCrc;
    QTest::newRow("unknown type") << badType;
    QTest::newRow("raw size too large") << bigRaw;
    QTest::newRow("plain text") << QByteArray("{\\rtf1 not compressed at all}");
}

void TestRtfStream::corruptData()
{
    QFETCH(QByteArray, bytes);
    // Any real stream will do as the compressed side: here a message body opened as bytes.
    MapiPtr<IMessage> message = newMessage();
    QVERIFY(message);
    MapiPtr<IStream> raw;
    QCOMPARE(message->OpenProperty(CHANGE_PROP_TYPE(PR_BODY, PT_BINARY), &IID_IStream, 0,
                                   MAPI_CREATE | MAPI_MODIFY, raw.putUnknown()),
             S_OK);
    QCOMPARE(raw->Write(bytes.constData(), ULONG(bytes.size()), nullptr), S_OK);
    MapiPtr<IStream> text;
    QCOMPARE(api().WrapCompressedRTFStream(raw.get(), 0, text.put()), MAPI_E_CORRUPT_DATA);
    QVERIFY(!text);
}

void TestRtfStream::corruptPropertyRefused()
{
    MapiPtr<IMessage> message = newMessage();
    QCOMPARE(writeRtf(message.get(), kExampleText), S_OK);
    QByteArray bad = kExampleCompressed;
    bad[20] = char(bad[20] ^ 0x40);
    Values values;
    values.bytes(PR_RTF_COMPRESSED, bad).text(PR_SUBJECT, QStringLiteral("Not set either"));
    QCOMPARE(values.applyTo(message.get()), MAPI_E_CORRUPT_DATA);
    QCOMPARE(readRtf(message.get()), kExampleText);
    QVERIFY(isError(Props(message.get(), {PR_SUBJECT})[0]));
}

void TestRtfStream::syncBodyToRtf()
{
    MapiPtr<IMessage> message = newMessage();
    Values values;
    values.text(PR_BODY, QStringLiteral("Dear Ann,\n\tPrices {rise} by 5 \u20AC \\ month.\n"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    BOOL updated = kFalse;
    QCOMPARE(api().RTFSync(message.get(), RTF_SYNC_BODY_CHANGED, &updated), S_OK);
    QCOMPARE(updated, kTrue);
    const QByteArray rtf = readRtf(message.get());
    QVERIFY2(rtf.startsWith("{\\rtf1"), rtf.constData());
    for (const char* part :
         {"Dear Ann,\\par", "\\tab Prices \\{rise\\} by 5 \\u8364? \\\\ month."}) {
        QVERIFY2(rtf.contains(part), part);
    }
    QCOMPARE(Props(message.get(), {PR_RTF_IN_SYNC})[0]->Value.b, kTrue);

    // Nothing changed since: nothing to do.
    QCOMPARE(api().RTFSync(message.get(), RTF_SYNC_BODY_CHANGED, &updated), S_OK);
    QCOMPARE(updated, kFalse);
    // And the RTF gives the body back.
    QCOMPARE(api().RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    QCOMPARE(updated, kFalse);
}

void TestRtfStream::syncRtfToBody_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("html");
    const QByteArray header = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                              "{\\colortbl;\\red255\\green0\\blue0;}"
                              "{\\*\\generator Writer 1.0;}{\\info{\\author Ann}}";
    QTest::newRow("paragraphs and tabs")
        << header + "\\pard One\\par Two\\tab three\\line four\\par}"
        << "One\nTwo\tthree\nfour\n"
        << false;
    QTest::newRow("escapes and hex") << header + "a\\{b\\}c\\\\ caf\\'e9 \\'80 5\\par}"
                                     << QStringLiteral("a{b}c\\ caf\u00E9 \u20AC 5\n") << false;
    QTest::newRow("unicode with fallback")
        << header + "\\uc1 x\\u8364?y\\uc2\\u-3913\\'3f\\'3fz\\par}"
        << QStringLiteral("x\u20ACy\uF0B7z\n") << false;
    QTest::newRow("surrogate pair")
        << header + "\\u-10179?\\u-8704?\\par}" << QStringLiteral("\U0001F600\n") << false;
    QTest::newRow("skipped destinations")
        << header + "{\\*\\unknown hidden}{\\pict\\pngblip 89504e47}{\\stylesheet{\\s0 Normal;}}"
                    "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} end\\par}"
        << "link end\n"
        << false;
    // Raw bytes after \binN are data, whatever they look like.
    QTest::newRow("binary data") << header + "{\\*\\blob\\bin4 }{\\}}x\\bin3 a\\b y\\par}"
                                 << "x y\n"
                                 << false;
    QTest::newRow("unbalanced groups") << QByteArray("{\\rtf1 a}}}b{{{c\\par") << "abc\n" << false;
    QTest::newRow("encapsulated html")
        << QByteArray("{\\rtf1\\ansi\\fromhtml1 {\\fonttbl{\\f0 Arial;}}"
                      "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <body>}"
                      "\\htmlrtf {\\htmlrtf0 Hi \\'e9\\htmlrtf }\\htmlrtf0 "
                      "{\\*\\htmltag84 <b>}bold{\\*\\htmltag92 </b>}"
                      "\\htmlrtf\\par\\htmlrtf0 {\\*\\htmltag42 </body></html>}}")
        << QStringLiteral("<html><body>Hi \u00E9<b>bold</b></body></html>") << true;
}

void TestRtfStream::syncRtfToBody()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, body);
    QFETCH(bool, html);
    MapiPtr<IMessage> message = newMessage();
    QCOMPARE(writeRtf(message.get(), rtf), S_OK);
    BOOL updated = kFalse;
    QCOMPARE(api().RTFSync(message.get(), RTF_SYNC_RTF_CHANGED, &updated), S_OK);
    QCOMPARE(updated, kTrue);
    Props props(message.get(), {html ? PR_BODY_HTML : PR_BODY, PR_RTF_IN_SYNC});
    QCOMPARE(props.hr, S_OK);
    QCOMPARE(text(props[0]), body);
    QCOMPARE(props[1]->Value.b, kTrue);
}

void TestRtfStream::syncFlags()
{
    MapiPtr<IMessage> message = newMessage();
    BOOL updated = kTrue;
    QCOMPARE(api().RTFSync(message.get(), 0x100, &updated), MAPI_E_UNKNOWN_FLAGS);
    QCOMPARE(updated, kFalse);
    QCOMPARE(api().RTFSync(nullptr, RTF_SYNC_BODY_CHANGED, &updated), MAPI_E_INVALID_PARAMETER);
    // No RTF and nothing said to change: nothing happens.
    QCOMPARE(api().RTFSync(message.get(), 0, &updated), S_OK);
    QCOMPARE(updated, kFalse);
    // RTF marked out of step is taken as the newer side when no flag says otherwise.
    QCOMPARE(writeRtf(message.get(), "{\\rtf1 From RTF\\par}"), S_OK);
    QCOMPARE(api().RTFSync(message.get(), 0, &updated), S_OK);
    QCOMPARE(updated, kTrue);
    QCOMPARE(text(Props(message.get(), {PR_BODY})[0]), QStringLiteral("From RTF\n"));
}

void TestRtfStream::rtfBodySavedAndReopened()
{
    MapiPtr<IMessage> message = newMessage();
    Values values;
    values.text(PR_SUBJECT, QStringLiteral("Rich")).text(PR_BODY, QStringLiteral("Plain.\n"));
    QCOMPARE(values.applyTo(message.get()), S_OK);
    const QByteArray rtf = "{\\rtf1\\ansi {\\b Rich} caf\\'e9.\\par\r\n}";
    QCOMPARE(writeRtf(message.get(), rtf), S_OK);
    BOOL updated = kFalse;
    QCOMPARE(api().RTFSync(message.get(), RTF_SYNC_BODY_CHANGED, &updated), S_OK);
    QCOMPARE(writeRtf(message.get(), rtf), S_OK); // the RTF again, now marked in step
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message.reset();

    const QStringList files = filesIn(m_dir.filePath(QStringLiteral("support/cur")));
    QCOMPARE(files.size(), 1);
    const QByteArray written =
        fileContent(m_dir.filePath(QStringLiteral("support/cur/") + files[0]));
    QVERIFY(written.contains("multipart/alternative"));
    QVERIFY(written.contains("Content-Type: text/rtf"));
    QVERIFY(!written.contains("X-Vantrel-Prop-10090102"));

    message = reopen(m_store.get(), id);
    QVERIFY(message);
    QCOMPARE(readRtf(message.get()), rtf);
    Props props(message.get(), {PR_BODY, PR_RTF_IN_SYNC});
    QCOMPARE(props.hr, S_OK);
    QCOMPARE(text(props[0]), QStringLiteral("Plain.\n"));
    QCOMPARE(props[1]->Value.b, kTrue);
}

void TestRtfStream::richTextStoreKeepsBodiesInStep_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("body");      // written as PR_BODY unless empty
    QTest::addColumn<QByteArray>("rtf");    // written as PR_RTF_COMPRESSED unless empty
    QTest::addColumn<QString>("bodyOut");   // after saving and reopening
    QTest::addColumn<QByteArray>("rtfOut"); // a part of the RTF then; empty: no RTF
    const QByteArray rtf = "{\\rtf1\\ansi {\\b Bold} words.\\par\r\n}";
    QTest::newRow("no support, body only") << QByteArray("Test") << "Plain words.\n"
                                           << QByteArray() << "Plain words.\n"
                                           << QByteArray();
    QTest::newRow("body only") << QByteArray("Rich") << "Plain words.\n"
                               << QByteArray() << "Plain words.\n"
                               << QByteArray("Plain words.\\par");
    QTest::newRow("RTF only") << QByteArray("Rich") << QString() << rtf << "Bold words.\n" << rtf;
    QTest::newRow("both, each kept") << QByteArray("Rich") << "Other text.\n"
                                     << rtf << "Other text.\n"
                                     << rtf;
}

void TestRtfStream::richTextStoreKeepsBodiesInStep()
{
    QFETCH(QByteArray, profile);
    QFETCH(QString, body);
    QFETCH(QByteArray, rtf);
    QFETCH(QString, bodyOut);
    QFETCH(QByteArray, rtfOut);
    const bool rich = profile == "Rich";
    MaildirBuilder builder(m_dir.filePath(QStringLiteral("rich")));
    MapiPtr<IMAPISession> session;
    QCOMPARE(newSession(profile.constData(), &session), S_OK);
    MapiPtr<IMsgStore> store = openStore(session.get());
    QVERIFY(store);
    const ULONG mask = Props(store.get(), {PR_STORE_SUPPORT_MASK})[0]->Value.l;
    QCOMPARE((mask & STORE_RTF_OK) != 0, rich);
    QCOMPARE((mask & STORE_UNCOMPRESSED_RTF) != 0, rich);

    MapiPtr<IMAPIFolder> inbox = openInbox(store.get());
    MapiPtr<IMessage> message;
    QCOMPARE(inbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    if (!body.isEmpty()) {
        Values values;
        values.text(PR_BODY, body);
        QCOMPARE(values.applyTo(message.get()), S_OK);
    }
    if (!rtf.isEmpty()) {
        QCOMPARE(writeRtf(message.get(), rtf), S_OK);
    }
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    const QByteArray id = propBytes(message.get(), PR_ENTRYID);
    message = reopen(store.get(), id);
    QVERIFY(message);
    QCOMPARE(text(Props(message.get(), {PR_BODY})[0]), bodyOut);
    HRESULT read = S_OK;
    const QByteArray stored = readRtf(message.get(), &read);
    if (rtfOut.isEmpty()) {
        QCOMPARE(read, MAPI_E_NOT_FOUND);
    } else {
        QVERIFY2(stored.contains(rtfOut), stored.constData());
    }
    if (rich && body.isEmpty() != rtf.isEmpty()) {
        QCOMPARE(Props(message.get(), {PR_RTF_IN_SYNC})[0]->Value.b, kTrue);
    }
    endSession(&session, &message, &inbox, &store);
}

QTEST_GUILESS_MAIN(TestRtfStream)
#include "tst_rtfstream.moc"
