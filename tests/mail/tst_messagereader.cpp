// Reading the selected item through a real logon to the mail library: a Maildir holding a
// message of each body form and a vCard folder. The read box is a real QTextEdit loaded as
// the view loads it, so the tests see what the user would.
#include "MailTestSetup.h"
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"
#include "mail/MessageReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace vantrel::mail;

namespace {

using ReadBoxHost = mailtest::TestMailHost;

enum Flags { RawHtml = 1, Alt = 2, RefuseRich = 4, Contact = 8 };
enum After { Nothing, Timer, Drag }; // the read timer restarted, or the drag state cleared

const QDateTime kSent(QDate(2024, 1, 2), QTime(10, 30), Qt::UTC);
const QDateTime kDelivered(QDate(2024, 1, 3), QTime(8, 0), Qt::UTC);

std::uint64_t fileTimeOf(const QDateTime& time)
{
    return std::uint64_t(time.toSecsSinceEpoch()) * 10000000 + 116444736000000000ULL;
}

QByteArray mailFile(const QByteArray& subject, const QByteArray& type, const QByteArray& body)
{
    return "From: =?utf-8?q?J=C3=BCrgen_Wei=C3=9F?= <jw@example.de>\r\nTo: me@example.com\r\n"
           "Subject: " +
           subject + "\r\nDate: Tue, 02 Jan 2024 10:30:00 +0000\r\nMIME-Version: 1.0\r\n" +
           "Content-Type: " + type + "\r\n\r\n" + body;
}

QByteArray part(const QByteArray& type, const QByteArray& body)
{
    return "--b\r\nContent-Type: " + type + "\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           body.toBase64() + "\r\n";
}

QByteArray multipart(const QByteArray& subject, const QByteArray& kind, const QByteArray& parts)
{
    return mailFile(subject, "multipart/" + kind + "; boundary=b", parts + "--b--\r\n");
}

const QByteArray kRtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 "
                        "Caf\\'e9 \\b bold\\b0\\par na\xefve\\par}";
const QByteArray kEncapsulated =
    "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
    "{\\*\\htmltag19 <html>}{\\*\\htmltag50 <body>}\\htmlrtf \\htmlrtf0 \r\n"
    "{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 Gr\\'fc\\'dfe aus {\\*\\htmltag84 <b>}"
    "\\htmlrtf {\\b \\htmlrtf0 Wien{\\*\\htmltag92 </b>}\\htmlrtf }\\htmlrtf0 \\htmlrtf\\par}"
    "\\htmlrtf0\r\n{\\*\\htmltag72 </p>}{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}}";
const QByteArray kHtml = "<html><head><style>p {color: red}</style></head><body>"
                         "<p>Hello &amp; welcome</p>Line<br>two &copy; 2024</body></html>";
const QString kLong = QString(300, u'x');
const QString kEmojiAtCut = QString(252, u'y') + u"\U0001F600 tail"_s;

const QByteArray kBea = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bea Second\r\nORG:Acme GmbH;Sales\r\n"
                        "TITLE:Buyer\r\nEMAIL;X-VNT-ENTRY=2:bea@example.org\r\n"
                        "TEL;TYPE=cell:+49 170 0000000\r\n"
                        "ADR;TYPE=home:;;Hauptstr. 1;Berlin;;10115;Germany\r\nEND:VCARD\r\n";
const QByteArray kTeam = "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Support Team\r\n"
                         "MEMBER:mailto:bea@example.org\r\nEND:VCARD\r\n";

} // namespace

class TestMessageReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readItem_data();
    void readItem();
    void readState_data();
    void readState();
    void failures_data();
    void failures();

private:
    // One read with a fresh read box.
    struct Reading
    {
        Reading(TestMessageReader& test, int flags = 0)
            : reader(*test.m_session, *test.m_doc, host)
            , dragCleared(&reader, &MessageReader::dragStateCleared)
        {
            test.m_doc->setIntSetting(ReadHtmlCode, flags & RawHtml ? 1 : 0);
            host.refuseRich = flags & RefuseRich;
            reader.setModifierSource(
                [flags] { return flags & Alt ? Qt::AltModifier : Qt::NoModifier; });
        }
        QStringList notices() const
        {
            QStringList all;
            for (const ScriptedPrompter::Notice& notice : prompter.notices())
                all.append(notice.title + u": "_s + notice.text);
            return all;
        }
        ScriptedPrompter prompter;
        ReadBoxHost host;
        MessageReader reader;
        QSignalSpy dragCleared;
    };

    MapiPtr<IMAPIFolder> openFolder(const QByteArray& id);
    // The row of the message with subject `key`, or with `Contact` of the contact named `key`.
    ReadTarget target(const QString& key, int flags = 0);

    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<CSupportDoc> m_doc;
    std::unique_ptr<MailSession> m_session;
    MapiPtr<IMAPITable> m_messages;
    MapiPtr<IMAPITable> m_contacts;
};

void TestMessageReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(mailtest::installMailClient(m_dir.path(), "[Profile Test]\nDefault=true\nStores=Mail\n"
                                                      "[Store Test/Mail]\nPath=@ROOT@/Maildir\n"
                                                      "Contacts=@ROOT@/contacts\n"));
    for (const char* sub : {"Maildir/cur", "Maildir/new", "Maildir/tmp", "contacts"})
        QVERIFY(QDir().mkpath(m_dir.filePath(QLatin1StringView(sub))));
    const QList<std::pair<const char*, QByteArray>> files = {
        {"contacts/bea.vcf", kBea},
        {"contacts/team.vcf", kTeam},
        {"Maildir/cur/1:2,S", mailFile("Plain", "text/plain; charset=utf-8",
                                       "Gr\xC3\xBC\xC3\x9F"
                                       "e aus K\xC3\xB6ln\r\nZweite Zeile\r\n")},
        {"Maildir/cur/2:2,S", mailFile("HTML only", "text/html; charset=utf-8", kHtml)},
        {"Maildir/cur/3:2,S", multipart("Alternative", "alternative",
                                        part("text/plain; charset=utf-8", "Plain part\r\n") +
                                            part("text/html", "<p>HTML part</p>"))},
        {"Maildir/cur/4:2,S", multipart("Rich", "mixed", part("text/rtf", kRtf))},
        {"Maildir/cur/5:2,S", multipart("Encapsulated", "mixed", part("text/rtf", kEncapsulated))},
        {"Maildir/cur/6:2,S",
         multipart("Out of sync", "alternative",
                   part("text/plain", "Fresh plain words\r\n") +
                       part("text/rtf", "{\\rtf1\\ansi Stale rich words\\par}"))},
        {"Maildir/cur/7:2,S", multipart("Same words", "alternative",
                                        part("text/plain", "Same words\r\n") +
                                            part("text/rtf", "{\\rtf1\\ansi Same words\\par}"))},
        {"Maildir/cur/8:2,S",
         multipart("Attachment only", "mixed",
                   "--b\r\nContent-Type: application/octet-stream\r\n"
                   "Content-Disposition: attachment; filename=data.bin\r\n\r\nxyz\r\n")},
        {"Maildir/cur/9:2,S", mailFile(kLong.toUtf8(), "text/plain", "Long.\r\n")},
        {"Maildir/cur/10:2,S", mailFile("=?utf-8?b?" + kEmojiAtCut.toUtf8().toBase64() + "?=",
                                        "text/plain", "Emoji.\r\n")},
        {"Maildir/cur/11:2,DS", "\r\nJust a body\r\n"}, // a draft without any header
        {"Maildir/cur/12:2,S", mailFile("Doomed", "text/plain", "Gone soon.\r\n")},
    };
    const utimbuf delivered{kDelivered.toSecsSinceEpoch(), kDelivered.toSecsSinceEpoch()};
    for (const auto& [name, content] : files) {
        QFile file(m_dir.filePath(QLatin1StringView(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
        file.close();
        QCOMPARE(utime(QFile::encodeName(file.fileName()).constData(), &delivered), 0);
    }

    m_settings = std::make_unique<SettingsStore>(m_dir.filePath(u"settings.ini"_s));
    m_doc = std::make_unique<CSupportDoc>(*m_settings, m_dir.path() + u"/"_s);
    m_doc->LoadSettings();
    m_session = std::make_unique<MailSession>(nullptr, u"tst_messagereader"_s);
    LogonSettings settings;
    QVERIFY(m_session->logon(settings));
    IMsgStore* store = m_session->store(0);
    ULONG size = 0;
    MapiBuffer<ENTRYID> inboxId(m_session->api());
    QCOMPARE(store->GetReceiveFolder("IPM.Note", 0, &size, inboxId.put(), nullptr), S_OK);
    MapiPtr<IMAPIFolder> inbox =
        openFolder(QByteArray(reinterpret_cast<char*>(inboxId.get()), size));
    QVERIFY(inbox);
    // The Inbox names the contacts folder.
    TagArray tags{PR_IPM_CONTACT_ENTRYID};
    MapiBuffer<SPropValue> contactsId(m_session->api());
    QCOMPARE(inbox->GetProps(tags.get(), 0, &size, contactsId.put()), S_OK);
    MapiPtr<IMAPIFolder> contacts = openFolder(BinaryOf(contactsId.get()));
    QVERIFY(contacts);
    for (auto [folder, table] : {std::pair{&inbox, &m_messages}, {&contacts, &m_contacts}}) {
        QCOMPARE((*folder)->GetContentsTable(0, table->put()), S_OK);
        TagArray columns{PR_ENTRYID, PR_SUBJECT, PR_DISPLAY_NAME};
        QCOMPARE((*table)->SetColumns(columns.get(), 0), S_OK);
    }
}

MapiPtr<IMAPIFolder> TestMessageReader::openFolder(const QByteArray& id)
{
    MapiPtr<IMAPIFolder> folder;
    ULONG type = 0;
    m_session->store(0)->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr, MAPI_BEST_ACCESS,
                                   &type, folder.putUnknown());
    return folder;
}

ReadTarget TestMessageReader::target(const QString& key, int flags)
{
    const bool contact = flags & Contact;
    IMAPITable* table = contact ? m_contacts.get() : m_messages.get();
    Rows rows(m_session->api());
    table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);
    QueryAllRows(table, nullptr, nullptr, nullptr, 0, &rows);
    int row = -1;
    for (ULONG i = 0; i < rows.count() && row < 0; ++i) {
        QString text;
        if (TextOf(rows[i], contact ? PR_DISPLAY_NAME : PR_SUBJECT, &text) && text == key)
            row = int(i);
    }
    return {m_session->store(0), table, row, contact};
}

void TestMessageReader::readItem_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("shown");  // the read box's text afterwards
    QTest::addColumn<QString>("loads");  // R rich, P plain, one letter a load
    QTest::addColumn<QString>("notice"); // empty for none
    QTest::addColumn<int>("after");

    const QString none;
    QTest::newRow("plain") << u"Plain"_s << 0 << u"Grüße aus Köln\nZweite Zeile\n"_s << u"P"_s
                           << none << int(Timer);
    QTest::newRow("HTML only, as text")
        << u"HTML only"_s << 0 << u"\nHello & welcomeLine\ntwo © 2024"_s << u"P"_s << none
        << int(Timer);
    QTest::newRow("HTML only, raw") << u"HTML only"_s << int(RawHtml) << QString::fromLatin1(kHtml)
                                    << u"P"_s << none << int(Timer);
    QTest::newRow("alternative: plain first")
        << u"Alternative"_s << int(RawHtml) << u"Plain part\n"_s << u"P"_s << none << int(Timer);
    QTest::newRow("rich text, 8-bit and escaped")
        << u"Rich"_s << 0 << u"Café bold\nnaïve"_s << u"R"_s << none << int(Timer);
    QTest::newRow("encapsulated HTML, as text")
        << u"Encapsulated"_s << 0 << u"\nGrüße aus Wien"_s << u"P"_s << none << int(Timer);
    QTest::newRow("encapsulated HTML, raw")
        << u"Encapsulated"_s << int(RawHtml)
        << u"<html><body><p>Grüße aus <b>Wien</b></p></body></html>"_s << u"P"_s << none
        << int(Timer);
    QTest::newRow("out of sync: rich text rebuilt from the plain body")
        << u"Out of sync"_s << 0 << u"Fresh plain words"_s << u"R"_s << none << int(Timer);
    QTest::newRow("refused rich text gives way to the plain body")
        << u"Same words"_s << int(RefuseRich) << u"Same words\n"_s << u"RP"_s
        << u"Warning!: Error  reading stream"_s << int(Timer);
    QTest::newRow("no body") << u"Attachment only"_s << 0 << u"Unable to read text!"_s << u"P"_s
                             << none << int(Drag);
    QTest::newRow("Alt: headers") << u"Plain"_s << int(Alt)
                                  << u"From: =?utf-8?q?J=C3=BCrgen_Wei=C3=9F?= <jw@example.de>\n"
                                     u"To: me@example.com\nSubject: Plain\n"
                                     u"Date: Tue, 02 Jan 2024 10:30:00 +0000\nMIME-Version: 1.0\n"
                                     u"Content-Type: text/plain; charset=utf-8\n"_s
                                  << u"P"_s << none << int(Nothing);
    QTest::newRow("Alt: no headers")
        << QString() << int(Alt) << u"Empty"_s << u"P"_s << none << int(Nothing);
    QTest::newRow("contact with only the second e-mail entry, Alt held")
        << u"Bea Second"_s << int(Contact | Alt)
        << u"Selected contact details for  Bea Second\n"
           u"Display Name 2:\t\t\tBea Second (bea@example.org) \n"
           u"Email Address 2:\t\t\tbea@example.org \nAddress 2 type:\t\t\tSMTP \n\n"
           u"Contact information:\nMobile telephone: +49 170 0000000\n"
           u"Company and address information:\nJob title: Buyer\n"
           u"Company name :  Acme GmbH\nDepartment:  Sales\n\n\n\n"
           u"Home information:\nAddress:\nHauptstr. 1\nBerlin 10115\nGermany\n\n"_s
        << u"P"_s << none << int(Nothing);
    QTest::newRow("distribution list")
        << u"Support Team"_s << int(Contact) << u"This item is a distribution list"_s << u"P"_s
        << none << int(Nothing);
}

void TestMessageReader::readItem()
{
    QFETCH(QString, key);
    QFETCH(int, flags);
    QFETCH(QString, shown);
    QFETCH(QString, loads);
    QFETCH(QString, notice);
    QFETCH(int, after);
    Reading reading(*this, flags);
    const ReadTarget where = target(key, flags);
    QVERIFY(where.row >= 0);

    reading.reader.readSelected(where);
    QCOMPARE(reading.host.box.toPlainText(), shown);
    QCOMPARE(reading.host.loads, loads);
    QCOMPARE(reading.notices(), notice.isEmpty() ? QStringList() : QStringList{notice});
    QCOMPARE(reading.host.timerRestarts, after == Timer ? 1 : 0);
    QCOMPARE(reading.dragCleared.count(), after == Drag ? 1 : 0);
}

void TestMessageReader::readState_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("sender");
    QTest::addColumn<bool>("unsent");
    QTest::addColumn<std::uint64_t>("submitTime");

    const QStringList jw{u"Jürgen Weiß"_s, u"jw@example.de"_s};
    const std::uint64_t sent = fileTimeOf(kSent);
    QTest::newRow("sent message") << u"Plain"_s << u"Plain"_s << jw << false << sent;
    QTest::newRow("subject cut to 253") << kLong << kLong.left(253) << jw << false << sent;
    QTest::newRow("cut before a character it would split")
        << kEmojiAtCut << kEmojiAtCut.left(252) << jw << false << sent;
    QTest::newRow("draft without sender, subject or date")
        << QString() << u" "_s << QStringList{u" "_s, u" "_s} << true << std::uint64_t(0);
}

void TestMessageReader::readState()
{
    QFETCH(QString, subject);
    QFETCH(QString, kept);
    QFETCH(QStringList, sender);
    QFETCH(bool, unsent);
    QFETCH(std::uint64_t, submitTime);
    Reading reading(*this);

    reading.reader.readSelected(target(subject));
    const ReadState& state = reading.reader.state();
    QCOMPARE(state.subject, kept);
    QCOMPARE(reading.host.sender, sender);
    QCOMPARE(state.unsent, unsent);
    QCOMPARE(state.submitTime, submitTime);
    QCOMPARE(state.deliveryTime, fileTimeOf(kDelivered));
    QCOMPARE(state.creationTime, fileTimeOf(kDelivered));
}

void TestMessageReader::failures_data()
{
    QTest::addColumn<int>("row"); // -2: the "Doomed" message, removed after listing
    QTest::addColumn<bool>("store");
    QTest::addColumn<QStringList>("notices");

    QTest::newRow("no selection") << -1 << true << QStringList();
    QTest::newRow("no store") << 0 << false << QStringList();
    QTest::newRow("row past the end")
        << 1000 << true << QStringList{u"Information: Unable to query row"_s};
    QTest::newRow("message removed since listed")
        << -2 << true << QStringList{u"Information: Message not found!"_s};
}

void TestMessageReader::failures()
{
    QFETCH(int, row);
    QFETCH(bool, store);
    QFETCH(QStringList, notices);
    ReadTarget where = target(u"Doomed"_s);
    QVERIFY(where.row >= 0);
    if (row == -2)
        QVERIFY(QFile::remove(m_dir.filePath(u"Maildir/cur/12:2,S"_s)));
    else
        where.row = row;
    if (!store)
        where.store = nullptr;
    Reading reading(*this);

    reading.reader.readSelected(where);
    QCOMPARE(reading.notices(), notices);
    QVERIFY(reading.host.loads.isEmpty());
    QVERIFY(reading.host.sender.isEmpty());
    QCOMPARE(reading.host.timerRestarts, 0);
}

QTEST_MAIN(TestMessageReader)
#include "tst_messagereader.moc"
