// Attached messages opened through PR_ATTACH_DATA_OBJ as IMessage: read one and two levels
// down, refused changes when read-only, changes saved back through the parent, new ones, and
// the opens that must fail.
#include "MapiFixture.h"
#include "PropValues.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace mapitest;

namespace {

const QByteArray kNested = "From: Frank <frank@example.org>\nTo: Dana <dana@example.org>\n"
                           "Subject: Original question\n\nIs it plugged in?\n";
const QByteArray kInner =
    "From: Dana <dana@example.org>\nTo: Support <help@example.com>\nCc: Eve <eve@example.org>\n"
    "Subject: Printer jam\nMessage-ID: <jam@example.org>\nX-Ticket: 4711\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=in\n\n--in\n"
    "Content-Type: multipart/alternative; boundary=alt\n\n--alt\n\nThe printer jams.\n--alt\n"
    "Content-Type: text/html\n\n<p>The printer jams.</p>\n--alt--\n--in\n"
    "Content-Disposition: attachment; filename=log.txt\n\nE42 paper\n--in\n"
    "Content-Type: message/rfc822\n\n" +
    kNested + "--in--\n";
const QByteArray kOuter = "From: Carl <carl@example.org>\nTo: Support <help@example.com>\n"
                          "Subject: Fwd: Printer jam\nMIME-Version: 1.0\n"
                          "Content-Type: multipart/mixed; boundary=out\n\n--out\n\nSee below.\n"
                          "--out\nContent-Disposition: attachment; filename=manual.pdf\n\n%PDF\n"
                          "--out\nContent-Type: message/rfc822\n\n" +
                          kInner + "--out--\n";

// The number of the first attachment of `message` with `method`, -1 when none has it.
LONG attachmentWith(IMessage* message, LONG method)
{
    MapiPtr<IMAPITable> table;
    RowSet rows;
    if (message->GetAttachmentTable(0, table.put()) == S_OK &&
        queryAll(table.get(), {PR_ATTACH_NUM, PR_ATTACH_METHOD}, &rows) == S_OK) {
        for (ULONG i = 0; i < rows.count(); ++i) {
            if (rows.row(i).lpProps[1].Value.l == method) {
                return rows.row(i).lpProps[0].Value.l;
            }
        }
    }
    return -1;
}

// The message in the first attached message of `message`; its attachment goes to `attach`.
HRESULT openAttached(IMessage* message, ULONG flags, MapiPtr<IMessage>* out,
                     MapiPtr<IAttach>* attach = nullptr)
{
    MapiPtr<IAttach> opened;
    HRESULT hr = message->OpenAttach(ULONG(attachmentWith(message, ATTACH_EMBEDDED_MSG)), nullptr,
                                     MAPI_MODIFY, opened.put());
    if (hr == S_OK) {
        hr = opened->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, flags, out->putUnknown());
    }
    if (attach) {
        *attach = opened;
    }
    return hr;
}

// `depth` attached messages down, read-only; every object on the way is released.
MapiPtr<IMessage> descend(MapiPtr<IMessage> message, int depth)
{
    for (int i = 0; i < depth && message; ++i) {
        MapiPtr<IMessage> inner;
        openAttached(message.get(), 0, &inner);
        message = inner;
    }
    return message;
}

QByteArray streamOf(IMessage* message, ULONG tag)
{
    MapiPtr<IStream> stream;
    return message->OpenProperty(tag, &IID_IStream, 0, 0, stream.putUnknown()) == S_OK
               ? readAll(stream.get()).trimmed()
               : QByteArray("-");
}

// "subject|sender|to|cc|body|html|method:attachment,...|type:recipient,..."
QString describe(IMessage* message)
{
    Props p(message, {PR_SUBJECT, PR_SENDER_EMAIL_ADDRESS, PR_DISPLAY_TO, PR_DISPLAY_CC});
    QStringList attachments;
    QStringList recipients;
    MapiPtr<IMAPITable> table;
    RowSet rows;
    if (message->GetAttachmentTable(0, table.put()) == S_OK &&
        queryAll(table.get(), {PR_ATTACH_METHOD, PR_DISPLAY_NAME}, &rows) == S_OK) {
        for (ULONG i = 0; i < rows.count(); ++i) {
            attachments << QString::number(rows.row(i).lpProps[0].Value.l) + QLatin1Char(':') +
                               text(&rows.row(i).lpProps[1]);
        }
    }
    for (const QString& line : recipientLines(message)) {
        recipients << line.section(QLatin1Char('|'), 0, 0) + QLatin1Char(':') +
                          line.section(QLatin1Char('|'), 2, 2);
    }
    return QStringList{text(p[0]),
                       text(p[1]),
                       text(p[2]),
                       text(p[3]),
                       QString::fromUtf8(streamOf(message, PR_BODY)),
                       QString::fromUtf8(streamOf(message, PR_BODY_HTML)),
                       attachments.join(QLatin1Char(',')),
                       recipients.join(QLatin1Char(','))}
        .join(QLatin1Char('|'));
}

} // namespace

class TestEmbeddedMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(startLibrary(m_dir, kProfiles())); }
    void init();
    void cleanup() { endSession(&m_session, &m_store); }
    void cleanupTestCase() { api().MAPIUninitialize(); }
    void readAttached_data();
    void readAttached();
    void readOnlyRefusals();
    void modifySaveReopen_data();
    void modifySaveReopen();
    void createAttached();
    void wrongOpens_data();
    void wrongOpens();

private:
    static QByteArray kProfiles() { return "[Profile T]\nStores=S\n[Store T/S]\nPath=@ROOT@/s\n"; }
    MapiPtr<IMessage> received()
    {
        RowSet rows;
        MapiPtr<IMAPIFolder> inbox = openInbox(m_store.get());
        return contents(inbox.get(), {PR_ENTRYID}, &rows) == S_OK && rows.count() == 1
                   ? reopen(m_store.get(), binary(&rows.row(0).lpProps[0]))
                   : MapiPtr<IMessage>();
    }
    // Every file of the store, tmp/ included: an attached message never adds one.
    QStringList allFiles() const
    {
        QStringList files;
        for (const char* sub : {"/s/cur", "/s/new", "/s/tmp"}) {
            files += filesIn(m_dir.path() + QLatin1String(sub));
        }
        return files;
    }

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestEmbeddedMessage::init()
{
    QDir(m_dir.filePath(QStringLiteral("s"))).removeRecursively();
    MaildirBuilder(m_dir.filePath(QStringLiteral("s")))
        .addMessage(QString(), QStringLiteral("cur"), QStringLiteral("1.M1P1.h:2,S"), kOuter,
                    QDateTime::currentDateTimeUtc());
    QCOMPARE(newSession("T", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
}

void TestEmbeddedMessage::readAttached_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the file") << 0
                              << "Fwd: Printer jam|carl@example.org|Support||See below.|-|"
                                 "1:manual.pdf,5:Printer jam|1:help@example.com";
    QTest::newRow("attached") << 1
                              << "Printer jam|dana@example.org|Support|Eve|The printer jams.|"
                                 "<p>The printer jams.</p>|1:log.txt,5:Original question|"
                                 "1:help@example.com,2:eve@example.org";
    QTest::newRow("nested") << 2
                            << "Original question|frank@example.org|Dana||Is it plugged in?|-||"
                               "1:dana@example.org";
}

void TestEmbeddedMessage::readAttached()
{
    QFETCH(int, depth);
    MapiPtr<IMessage> message = descend(received(), depth);
    QVERIFY(message);
    QTEST(describe(message.get()), "expected");
    Props p(message.get(), {PR_OBJECT_TYPE, PR_ENTRYID, PR_MESSAGE_FLAGS});
    QCOMPARE(p[0]->Value.l, LONG(MAPI_MESSAGE));
    QCOMPARE(isError(p[1]), depth > 0); // no entry of its own
    QVERIFY(p[2]->Value.l & MSGFLAG_READ);
    MapiPtr<IAttach> attach;
    QCOMPARE(message->OpenAttach(ULONG(attachmentWith(message.get(), ATTACH_BY_VALUE)), nullptr, 0,
                                 attach.put()),
             depth < 2 ? S_OK : MAPI_E_NOT_FOUND);
    if (depth == 1) {
        QCOMPARE(propBytes(attach.get(), PR_ATTACH_DATA_BIN), QByteArray("E42 paper"));
    }
}

void TestEmbeddedMessage::readOnlyRefusals()
{
    const std::vector<std::pair<const char*, std::function<HRESULT(IMessage*)>>> calls = {
        {"SetProps",
         [](IMessage* m) {
             return Values().text(PR_SUBJECT, QStringLiteral("x")).applyTo(m);
         }},
        {"DeleteProps",
         [](IMessage* m) {
             return m->DeleteProps(TagArray({PR_BODY}).get(), nullptr);
         }},
        {"SaveChanges",
         [](IMessage* m) {
             return m->SaveChanges(0);
         }},
        {"ModifyRecipients",
         [](IMessage* m) {
             return m->ModifyRecipients(0, Recipients({"-1|1|G|g@x.org"}).get());
         }},
        {"DeleteAttach",
         [](IMessage* m) {
             return m->DeleteAttach(0, 0, nullptr, 0);
         }},
        {"CreateAttach",
         [](IMessage* m) {
             ULONG n = 0;
             MapiPtr<IAttach> a;
             return m->CreateAttach(nullptr, 0, &n, a.put());
         }},
        {"attachment saved",
         [](IMessage* m) {
             MapiPtr<IAttach> a;
             const HRESULT hr = m->OpenAttach(0, nullptr, MAPI_MODIFY, a.put());
             return hr == S_OK ? a->SaveChanges(0) : hr;
         }},
        {"body for writing",
         [](IMessage* m) {
             MapiPtr<IStream> s;
             return m->OpenProperty(PR_BODY, &IID_IStream, 0, MAPI_MODIFY, s.putUnknown());
         }},
        {"nested for writing",
         [](IMessage* m) {
             MapiPtr<IMessage> nested;
             return openAttached(m, MAPI_MODIFY, &nested);
         }},
    };
    MapiPtr<IMessage> message = descend(received(), 1);
    QVERIFY(message);
    const QString before = describe(message.get());
    for (const auto& [name, call] : calls) {
        QVERIFY2(call(message.get()) == MAPI_E_NO_ACCESS, name);
    }
    QCOMPARE(describe(message.get()), before);
    QCOMPARE(allFiles().size(), 1);
}

void TestEmbeddedMessage::modifySaveReopen_data()
{
    QTest::addColumn<int>("depth");
    QTest::newRow("attached") << 1;
    QTest::newRow("nested") << 2;
}

void TestEmbeddedMessage::modifySaveReopen()
{
    QFETCH(int, depth);
    const QStringList before = allFiles();
    std::vector<MapiPtr<IMessage>> chain{received()};
    std::vector<MapiPtr<IAttach>> attachments(static_cast<std::size_t>(depth));
    for (int i = 0; i < depth; ++i) {
        MapiPtr<IMessage> inner;
        QCOMPARE(openAttached(chain.back().get(), MAPI_MODIFY, &inner, &attachments[i]), S_OK);
        chain.push_back(inner);
    }
    QCOMPARE(Values()
                 .text(PR_SUBJECT, QStringLiteral("Solved"))
                 .text(PR_BODY, QStringLiteral("Paper removed.\n"))
                 .applyTo(chain.back().get()),
             S_OK);
    QCOMPARE(chain.back()->ModifyRecipients(MODRECIP_ADD, Recipients({"-1|2|G|g@x.org"}).get()),
             S_OK);
    for (int i = depth; i > 0; --i) { // saved from the inside out, as MAPI wants it
        QCOMPARE(chain[i]->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
        QCOMPARE(attachments[i - 1]->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
        QCOMPARE(allFiles(), before);
    }
    QCOMPARE(chain.front()->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    chain.clear();
    attachments.clear();

    const QStringList files = allFiles();
    QCOMPARE(files.size(), 1);
    const QByteArray file = fileContent(m_dir.filePath(QStringLiteral("s/cur/")) + files[0]);
    QVERIFY(file.contains("Message-ID: <jam@example.org>") && file.contains("X-Ticket: 4711"));
    // Only the plain body was set: the HTML one stays as it was.
    QCOMPARE(describe(descend(received(), depth).get()),
             depth == 1 ? QStringLiteral("Solved|dana@example.org|Support|Eve; G|Paper removed.|"
                                         "<p>The printer jams.</p>|1:log.txt,5:Original question|"
                                         "1:help@example.com,2:eve@example.org,2:g@x.org")
                        : QStringLiteral("Solved|frank@example.org|Dana|G|Paper removed.|-||"
                                         "1:dana@example.org,2:g@x.org"));
}

void TestEmbeddedMessage::createAttached()
{
    MapiPtr<IMessage> message;
    QCOMPARE(openInbox(m_store.get())->CreateMessage(nullptr, 0, message.put()), S_OK);
    ULONG number = 0;
    MapiPtr<IAttach> attach;
    QCOMPARE(message->CreateAttach(nullptr, 0, &number, attach.put()), S_OK);
    MapiPtr<IMessage> inner;
    QCOMPARE(attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                  inner.putUnknown()),
             S_OK);
    QCOMPARE(describe(inner.get()), QStringLiteral("||||-|-||"));
    QCOMPARE(Values()
                 .text(PR_SUBJECT, QStringLiteral("Report"))
                 .text(PR_SENT_REPRESENTING_EMAIL_ADDRESS, QStringLiteral("hana@x.org"))
                 .text(PR_BODY, QStringLiteral("Numbers.\n"))
                 .applyTo(inner.get()),
             S_OK);
    QCOMPARE(inner->ModifyRecipients(0, Recipients({"-1|1|Ivo|ivo@x.org"}).get()), S_OK);
    const QByteArray rtf = "{\\rtf1\\ansi Numbers.\\par\n}";
    MapiPtr<IStream> compressed;
    MapiPtr<IStream> stream;
    QCOMPARE(inner->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                 compressed.putUnknown()),
             S_OK);
    QCOMPARE(api().WrapCompressedRTFStream(compressed.get(), MAPI_MODIFY, stream.put()), S_OK);
    QCOMPARE(stream->Write(rtf.constData(), ULONG(rtf.size()), nullptr), S_OK);
    QCOMPARE(stream->Commit(0), S_OK);
    QCOMPARE(inner->SaveChanges(0), S_OK);
    QCOMPARE(attach->SaveChanges(0), S_OK);
    QCOMPARE(allFiles().size(), 1);
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    const QByteArray id = propBytes(message.get(), PR_ENTRYID);
    QCOMPARE(inner->SubmitMessage(0), MAPI_E_NO_SUPPORT); // it leaves only inside its parent
    inner.reset();
    attach.reset();
    message = reopen(m_store.get(), id);
    QCOMPARE(describe(message.get()).section(QLatin1Char('|'), 6, 6), QStringLiteral("5:Report"));
    inner = descend(message, 1);
    QCOMPARE(describe(inner.get()),
             QStringLiteral("Report|hana@x.org|Ivo||Numbers.|-||1:ivo@x.org"));
    QCOMPARE(inner->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0, compressed.putUnknown()),
             S_OK);
    QCOMPARE(api().WrapCompressedRTFStream(compressed.get(), 0, stream.put()), S_OK);
    QCOMPARE(readAll(stream.get()), rtf);
}

void TestEmbeddedMessage::wrongOpens_data()
{
    QTest::addColumn<LONG>("method"); // of the attachment; -1 a new one without data
    QTest::addColumn<int>("iid");     // IMessage, IStream, IAttachment, none
    QTest::addColumn<ULONG>("flags");
    QTest::addColumn<HRESULT>("expected");
    const ULONG create = MAPI_CREATE | MAPI_MODIFY;
    QTest::newRow("file") << LONG(ATTACH_BY_VALUE) << 0 << 0u << MAPI_E_NOT_FOUND;
    QTest::newRow("file, created") << LONG(ATTACH_BY_VALUE) << 0 << create << MAPI_E_NOT_FOUND;
    QTest::newRow("new, not created") << LONG(-1) << 0 << ULONG(MAPI_MODIFY) << MAPI_E_NOT_FOUND;
    QTest::newRow("IStream") << LONG(ATTACH_EMBEDDED_MSG) << 1 << 0u
                             << MAPI_E_INTERFACE_NOT_SUPPORTED;
    QTest::newRow("IAttachment") << LONG(ATTACH_EMBEDDED_MSG) << 2 << 0u
                                 << MAPI_E_INTERFACE_NOT_SUPPORTED;
    QTest::newRow("no iid") << LONG(ATTACH_EMBEDDED_MSG) << 3 << 0u << MAPI_E_INVALID_PARAMETER;
}

void TestEmbeddedMessage::wrongOpens()
{
    QFETCH(LONG, method);
    QFETCH(int, iid);
    QFETCH(ULONG, flags);
    MapiPtr<IMessage> message = received();
    MapiPtr<IAttach> attach;
    ULONG number = 0;
    QCOMPARE(method < 0 ? message->CreateAttach(nullptr, 0, &number, attach.put())
                        : message->OpenAttach(ULONG(attachmentWith(message.get(), method)), nullptr,
                                              MAPI_MODIFY, attach.put()),
             S_OK);
    const IID* iids[] = {&IID_IMessage, &IID_IStream, &IID_IAttachment, nullptr};
    MapiPtr<IUnknown> opened;
    QTEST(attach->OpenProperty(PR_ATTACH_DATA_OBJ, iids[iid], 0, flags, opened.put()), "expected");
    QVERIFY(!opened);
}

QTEST_GUILESS_MAIN(TestEmbeddedMessage)
#include "tst_embeddedmessage.moc"
