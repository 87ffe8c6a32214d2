// Mail as other programs and gateways really send it: bodies in named inline parts, invalid
// content types, bounces without a sender address, header blocks with no empty line after
// them, messages that only forward another one; and what readers are told besides the body
// (who received it, whether the rich text is in step, ordinary properties named in PS_MAPI,
// entry points under their decorated names).
#include "MapiFixture.h"

#include <QtTest>

using namespace mapitest;

namespace {

const QByteArray kMultipartHead = "From: Ann Lee <ann@example.org>\r\n"
                                  "To: Support <help@example.com>\r\n"
                                  "Subject: Parts\r\n"
                                  "MIME-Version: 1.0\r\n"
                                  "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n";

struct Sample
{
    const char* name;
    QByteArray raw;
};

const Sample kSamples[] = {
    {"inline-named-text", kMultipartHead +
                              "--b1\r\nContent-Type: text/plain; name=\"note.txt\"\r\n"
                              "Content-Disposition: inline; filename=\"note.txt\"\r\n\r\n"
                              "Please call me back.\r\n--b1--\r\n"},
    {"bare-text-type", "From: a@example.org\r\nSubject: Bare\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: text\r\n\r\nPlain words in a bare text part.\r\n"},
    {"bounce", "From: Mail Delivery System <>\r\nTo: help@example.com\r\nSubject: Undelivered\r\n"
               "\r\nYour message could not be delivered.\r\n"},
    {"no-empty-line", "From: a@example.org\r\nSubject: Squeezed\r\nThis is the body\r\n"
                      "second line\r\n"},
    {"part-without-empty-line",
     kMultipartHead + "--b1\r\nContent-Type: text/plain\r\nBody in a part\r\nstill the part\r\n"
                      "--b1--\r\n"},
    {"forward-only", kMultipartHead +
                         "--b1\r\nContent-Type: message/rfc822\r\n\r\n"
                         "From: Bob <bob@example.net>\r\nSubject: Original\r\n"
                         "Content-Type: text/plain\r\n\r\nThe forwarded words.\r\n--b1--\r\n"},
    {"delivered-to", "From: Bob <bob@example.net>\r\nTo: \"Ann Lee\" <ann@example.org>\r\n"
                     "Delivered-To: ann@example.org\r\nSubject: For Ann\r\n\r\nHi Ann.\r\n"},
    {"from-the-owner", "From: Support <help@example.com>\r\nTo: bob@example.net\r\n"
                       "Subject: Mine\r\n\r\nSent by me.\r\n"},
    {"rich-in-step",
     "From: a@example.org\r\nSubject: Rich\r\nMIME-Version: 1.0\r\n"
     "Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
     "--alt\r\nContent-Type: text/plain\r\n\r\nHello   rich\r\nworld\r\n"
     "--alt\r\nContent-Type: text/rtf\r\n\r\n{\\rtf1\\ansi Hello \\b rich\\b0  world\\par}\r\n"
     "--alt--\r\n"},
    {"utf8-alias-nul", "From: a@example.org\r\nSubject: Alias\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: text/plain; charset=UTF8\r\n"
                       "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                       "Gr=C3=BC=C3=9Fe aus K=C3=B6ln=00hidden\r\n"},
    {"utf8-label-lies", "From: a@example.org\r\nSubject: Lies\r\nMIME-Version: 1.0\r\n"
                        "Content-Type: text/plain; charset=utf-8\r\n\r\nCaf\xE9 au lait\r\n"},
    {"rich-out-of-step",
     "From: a@example.org\r\nSubject: Rich\r\nMIME-Version: 1.0\r\n"
     "Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
     "--alt\r\nContent-Type: text/plain\r\n\r\nEdited elsewhere\r\n"
     "--alt\r\nContent-Type: text/rtf\r\n\r\n{\\rtf1\\ansi Hello world\\par}\r\n--alt--\r\n"},
};

QByteArray readStream(IMAPIProp* object, ULONG tag)
{
    MapiPtr<IStream> stream;
    QByteArray out;
    if (SUCCEEDED(object->OpenProperty(tag, &IID_IStream, 0, 0, stream.putUnknown()))) {
        char chunk[4096];
        ULONG read = 0;
        while (SUCCEEDED(stream->Read(chunk, sizeof chunk, &read)) && read > 0)
            out.append(chunk, static_cast<int>(read));
    }
    return out;
}

} // namespace

class TestRealWorldMail : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
    MapiPtr<IMAPIFolder> m_inbox;
    RowSet m_rows;

    // The Inbox row of a sample, with the columns the message list reads.
    const SRow* row(const char* sample) const
    {
        for (ULONG i = 0; i < m_rows.count(); ++i) {
            if (binary(findValue(m_rows.row(i), PR_ENTRYID)).contains(sample))
                return &m_rows.row(i);
        }
        return nullptr;
    }
    MapiPtr<IMessage> open(const char* sample)
    {
        const SRow* found = row(sample);
        return found ? openEntry<IMessage>(m_store.get(), binary(findValue(*found, PR_ENTRYID)))
                     : MapiPtr<IMessage>();
    }
    bool boolProperty(IMessage* message, ULONG tag, bool* value)
    {
        Props values(message, {tag});
        if (FAILED(values.hr) || isError(values[0]))
            return false;
        *value = values[0]->Value.b != 0;
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString root = m_dir.filePath(QStringLiteral("Maildir"));
        MaildirBuilder builder(root);
        for (const Sample& sample : kSamples)
            builder.addMessage(
                QString(), QStringLiteral("cur"),
                QStringLiteral("1700000000.M1P1Q1.%1:2,S").arg(QLatin1String(sample.name)),
                sample.raw, QDateTime::currentDateTimeUtc());
        QVERIFY(startLibrary(m_dir,
                             "[Profile Real]\nStores=Mail\nName=Support Desk\n"
                             "Address=help@example.com\n[Store Real/Mail]\nPath=@ROOT@/Maildir\n"));
        QCOMPARE(newSession("Real", &m_session), S_OK);
        m_store = openStore(m_session.get());
        QVERIFY(m_store);
        m_inbox = openInbox(m_store.get());
        QVERIFY(m_inbox);
        MapiPtr<IMAPITable> table;
        QCOMPARE(m_inbox->GetContentsTable(0, table.put()), S_OK);
        QCOMPARE(
            queryAll(table.get(),
                     {PR_ENTRYID, PR_SENT_REPRESENTING_NAME, PR_SENDER_NAME, PR_HASATTACH,
                      PR_RECEIVED_BY_NAME, PR_RECEIVED_BY_EMAIL_ADDRESS, PR_RCVD_REPRESENTING_NAME},
                     &m_rows),
            S_OK);
        QCOMPARE(m_rows.count(), ULONG(std::size(kSamples)));
    }

    void cleanupTestCase()
    {
        m_rows.reset();
        endSession(&m_session, &m_inbox, &m_store);
        api().MAPIUninitialize();
    }

    void bodiesComeThrough_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("attachments");
        QTest::newRow("named inline text is the body") << "inline-named-text"
                                                       << "Please call me back." << false;
        QTest::newRow("bare text type reads as plain text")
            << "bare-text-type"
            << "Plain words in a bare text part." << false;
        QTest::newRow("no empty line after the headers")
            << "no-empty-line"
            << "This is the body\r\nsecond line" << false;
        QTest::newRow("no empty line after a part's headers")
            << "part-without-empty-line"
            << "Body in a part\r\nstill the part" << false;
        QTest::newRow("a forward alone gives its body") << "forward-only"
                                                        << "The forwarded words." << true;
        QTest::newRow("UTF-8 under another name, a NUL byte in it")
            << "utf8-alias-nul" << QString::fromUtf8("Grüße aus Köln") << false;
        QTest::newRow("labelled UTF-8, written in Windows-1252")
            << "utf8-label-lies" << QString::fromUtf8("Café au lait") << false;
    }
    void bodiesComeThrough()
    {
        QFETCH(QString, sample);
        QFETCH(QString, body);
        QFETCH(bool, attachments);
        MapiPtr<IMessage> message = open(sample.toLatin1().constData());
        QVERIFY(message);
        const QString plain = QString::fromUtf8(readStream(message.get(), PR_BODY));
        QVERIFY2(plain.contains(body), qPrintable(plain));
        QCOMPARE(findValue(*row(sample.toLatin1().constData()), PR_HASATTACH)->Value.b != 0,
                 attachments);
    }

    void bounceKeepsTheSenderName()
    {
        const SRow* bounce = row("bounce");
        QVERIFY(bounce);
        QCOMPARE(text(findValue(*bounce, PR_SENT_REPRESENTING_NAME)),
                 QStringLiteral("Mail Delivery System"));
        QCOMPARE(text(findValue(*bounce, PR_SENDER_NAME)), QStringLiteral("Mail Delivery System"));
    }

    void receivedByComesFromDeliveryOrTheOwner()
    {
        // Delivered-To, named as on the To line.
        QCOMPARE(text(findValue(*row("delivered-to"), PR_RECEIVED_BY_NAME)),
                 QStringLiteral("Ann Lee"));
        QCOMPARE(text(findValue(*row("delivered-to"), PR_RECEIVED_BY_EMAIL_ADDRESS)),
                 QStringLiteral("ann@example.org"));
        QCOMPARE(text(findValue(*row("delivered-to"), PR_RCVD_REPRESENTING_NAME)),
                 QStringLiteral("Ann Lee"));
        // Nothing said: the profile's identity received it, unless it sent it.
        QCOMPARE(text(findValue(*row("bounce"), PR_RECEIVED_BY_NAME)),
                 QStringLiteral("Support Desk"));
        QCOMPARE(text(findValue(*row("bounce"), PR_RECEIVED_BY_EMAIL_ADDRESS)),
                 QStringLiteral("help@example.com"));
        QVERIFY(isError(findValue(*row("from-the-owner"), PR_RECEIVED_BY_EMAIL_ADDRESS)));
    }

    void richTextReportsWhetherItIsInStep()
    {
        bool inStep = false;
        MapiPtr<IMessage> same = open("rich-in-step");
        QVERIFY(same && boolProperty(same.get(), PR_RTF_IN_SYNC, &inStep));
        QVERIFY(inStep);
        MapiPtr<IMessage> edited = open("rich-out-of-step");
        QVERIFY(edited && boolProperty(edited.get(), PR_RTF_IN_SYNC, &inStep));
        QVERIFY(!inStep);
        // No rich text, no claim either way.
        MapiPtr<IMessage> plain = open("bounce");
        QVERIFY(plain && !boolProperty(plain.get(), PR_RTF_IN_SYNC, &inStep));
    }

    void ordinaryPropertiesNamedInPsMapiKeepTheirIds()
    {
        MapiPtr<IMessage> message = open("bounce");
        QVERIFY(message);
        MAPINAMEID phone{const_cast<LPGUID>(&PS_MAPI), MNID_ID, {}};
        phone.Kind.lID = 0x3A08;
        MAPINAMEID subject{const_cast<LPGUID>(&PS_MAPI), MNID_ID, {}};
        subject.Kind.lID = 0x0037;
        LPMAPINAMEID names[] = {&phone, &subject};
        Buffer<SPropTagArray> ids;
        QCOMPARE(message->GetIDsFromNames(2, names, 0, ids.put()), S_OK);
        QCOMPARE(PROP_ID(ids.get()->aulPropTag[0]), ULONG(0x3A08));
        QCOMPARE(PROP_ID(ids.get()->aulPropTag[1]), ULONG(0x0037));

        TagArray asked{PROP_TAG(PT_STRING8, 0x3A08)};
        LPSPropTagArray tags = asked.get();
        ULONG count = 0;
        Buffer<LPMAPINAMEID> back;
        QCOMPARE(message->GetNamesFromIDs(&tags, nullptr, 0, &count, back.put()), S_OK);
        QCOMPARE(count, ULONG(1));
        QVERIFY(*back.get()[0]->lpguid == PS_MAPI);
        QCOMPARE(back.get()[0]->Kind.lID, LONG(0x3A08));
    }

    void decoratedEntryPointNamesResolve()
    {
        // The library loaded through them; each decorated name finds its function.
        QVERIFY(api().FreePadrlist && api().UlRelease && api().ScCreateConversationIndex);
        QCOMPARE(vntmapi::undecoratedName("ScCreateConversationIndex@16"),
                 std::string("ScCreateConversationIndex"));
        for (const char* kept : {"MAPILogonEx", "@4", "Name@", "Name@x4"})
            QCOMPARE(vntmapi::undecoratedName(kept), std::string(kept));
    }
};

QTEST_GUILESS_MAIN(TestRealWorldMail)
#include "tst_realworldmail.moc"
