// Reading the selected item through a real logon to the mail library: a Maildir holding a
// message of each body form and a vCard folder. The read box is a real QTextEdit loaded as
// the view loads it, so the tests see what the user would.
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "mail/MailHost.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"
#include "mail/MessageReader.h"
#include "rtf/RtfReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace vantrel::mail;

namespace {

// The read box as the view has it: plain text set on a QTextEdit, rich text read as 8-bit RTF.
class ReadBoxHost : public MailHost
{
public:
    QWidget* hostWidget() override { return &box; }
    int currentTab() override { return 1; }
    bool previewOn() const override { return true; }
    bool gridOn() const override { return true; }
    bool composing() const override { return false; }
    bool showReadText(const QString& text, bool rich) override
    {
        loads.append(rich);
        if (rich)
            return !refuseRich && vnt::rtf::readRtf(text.toLatin1(), box.document());
        box.setPlainText(QString(text).replace(u"\r\n"_s, u"\n"_s));
        return true;
    }
    void setSenderFields(const QString& name, const QString& address) override
    {
        sender = {name, address};
    }
    void restartReadTimer() override { ++timerRestarts; }
    void stopReadTimer() override {}
    void openPreferences(int) override {}

    QTextEdit box;
    QList<bool> loads; // one entry a load: rich or not
    QStringList sender;
    int timerRestarts = 0;
    bool refuseRich = false;
};

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
    void cleanupTestCase();
    void readMessage_data();
    void readMessage();
    void readState_data();
    void readState();
    void refusedRichTextGivesWayToThePlainBody();
    void failures_data();
    void failures();
    void contactDetails_data();
    void contactDetails();

private:
    // One read of `target` with a fresh read box.
    struct Reading
    {
        Reading(TestMessageReader& test, bool alt = false)
            : reader(*test.m_session, *test.m_doc, host)
            , dragCleared(&reader, &MessageReader::dragStateCleared)
        {
            reader.setModifierSource([alt] { return alt ? Qt::AltModifier : Qt::NoModifier; });
        }
        ScriptedPrompter prompter;
        ReadBoxHost host;
        MessageReader reader;
        QSignalSpy dragCleared;
    };

    void writeMessage(const QString& name, const QByteArray& content);
    ReadTarget target(IMAPITable* table, ULONG column, const QString& value);
    ReadTarget selected(const QString& subject)
    {
        return target(m_messages.get(), PR_SUBJECT, subject);
    }
    QStringList noticesOf(const ScriptedPrompter& prompter) const;

    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<CSupportDoc> m_doc;
    std::unique_ptr<MailSession> m_session;
    MapiPtr<IMAPITable> m_messages;
    MapiPtr<IMAPITable> m_contacts;
};

void TestMessageReader::writeMessage(const QString& name, const QByteArray& content)
{
    const QString path = m_dir.filePath(u"Maildir/cur/"_s + name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    file.close();
    const utimbuf times{kDelivered.toSecsSinceEpoch(), kDelivered.toSecsSinceEpoch()};
    QCOMPARE(utime(QFile::encodeName(path).constData(), &times), 0);
}

void TestMessageReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(m_dir.filePath(u"cache"_s)));
    for (const char* sub : {"cur", "new", "tmp"})
        QVERIFY(QDir().mkpath(m_dir.filePath(u"Maildir/"_s + QLatin1StringView(sub))));
    QVERIFY(QDir().mkpath(m_dir.filePath(u"contacts"_s)));

    writeMessage(u"1.r:2,S"_s, mailFile("Plain", "text/plain; charset=utf-8",
                                        "Gr\xC3\xBC\xC3\x9F"
                                        "e aus K\xC3\xB6ln\r\nZweite Zeile\r\n"));
    writeMessage(u"2.r:2,S"_s, mailFile("HTML only", "text/html; charset=utf-8", kHtml));
    writeMessage(u"3.r:2,S"_s, multipart("Alternative", "alternative",
                                         part("text/plain; charset=utf-8", "Plain part\r\n") +
                                             part("text/html", "<p>HTML part</p>")));
    writeMessage(u"4.r:2,S"_s, multipart("Rich", "mixed", part("text/rtf", kRtf)));
    writeMessage(u"5.r:2,S"_s, multipart("Encapsulated", "mixed", part("text/rtf", kEncapsulated)));
    writeMessage(u"6.r:2,S"_s,
                 multipart("Out of sync", "alternative",
                           part("text/plain", "Fresh plain words\r\n") +
                               part("text/rtf", "{\\rtf1\\ansi Stale rich words\\par}")));
    writeMessage(u"7.r:2,S"_s, multipart("Same words", "alternative",
                                         part("text/plain", "Same words\r\n") +
                                             part("text/rtf", "{\\rtf1\\ansi Same words\\par}")));
    writeMessage(u"8.r:2,S"_s,
                 multipart("Attachment only", "mixed",
                           "--b\r\nContent-Type: application/octet-stream\r\n"
                           "Content-Disposition: attachment; filename=data.bin\r\n\r\nxyz\r\n"));
    writeMessage(u"9.r:2,S"_s, mailFile(kLong.toUtf8(), "text/plain", "Long.\r\n"));
    writeMessage(u"10.r:2,S"_s, mailFile("=?utf-8?b?" + kEmojiAtCut.toUtf8().toBase64() + "?=",
                                         "text/plain", "Emoji.\r\n"));
    writeMessage(u"11.r:2,DS"_s, "\r\nJust a body\r\n"); // a draft without any header
    writeMessage(u"12.r:2,S"_s, mailFile("Doomed", "text/plain", "Gone soon.\r\n"));
    for (const auto& [name, card] : {std::pair{"bea", kBea}, {"team", kTeam}}) {
        QFile file(m_dir.filePath(u"contacts/%1.vcf"_s.arg(QLatin1StringView(name))));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(card), card.size());
    }

    const QByteArray registry = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail]\n@=\"Mail\"\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Mail]\n"
                                "\"DLLPathEx\"=\"" VNTMAPI_LIBRARY_PATH "\"\n";
    const QByteArray root = QFile::encodeName(m_dir.path());
    const QByteArray profiles = "[Profile Test]\nDefault=true\nStores=Mail\n[Store Test/Mail]\n"
                                "Path=" +
                                root + "/Maildir\nContacts=" + root + "/contacts\n";
    for (const auto& [name, text] :
         {std::pair{"registry.ini", registry}, {"profiles.ini", profiles}}) {
        QFile file(m_dir.filePath(QLatin1StringView(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(text), text.size());
    }
    qputenv("VANTREL_REGISTRY", QFile::encodeName(m_dir.filePath(u"registry.ini"_s)));
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(m_dir.filePath(u"profiles.ini"_s)));

    m_settings = std::make_unique<SettingsStore>(m_dir.filePath(u"settings.ini"_s));
    m_doc = std::make_unique<CSupportDoc>(*m_settings, m_dir.path() + u"/"_s);
    m_doc->LoadSettings();
    m_session = std::make_unique<MailSession>(nullptr, QCoreApplication::applicationFilePath());
    LogonSettings settings;
    QVERIFY(m_session->logon(settings));

    IMsgStore* store = m_session->store(0);
    const vntmapi::EntryPoints& api = m_session->api();
    MapiBuffer<SPropValue> ids(api);
    ULONG count = 0;
    TagArray tags{PR_IPM_SUBTREE_ENTRYID};
    QCOMPARE(store->GetProps(tags.get(), 0, &count, ids.put()), S_OK);
    const QByteArray subtreeId = BinaryOf(&ids.get()[0]);
    ULONG type = 0;
    MapiPtr<IMAPIFolder> subtree;
    QCOMPARE(store->OpenEntry(EntryIdSize(subtreeId), EntryIdData(subtreeId), nullptr,
                              MAPI_BEST_ACCESS, &type, subtree.putUnknown()),
             S_OK);
    MapiPtr<IMAPITable> hierarchy;
    QCOMPARE(subtree->GetHierarchyTable(0, hierarchy.put()), S_OK);
    Rows folders(api);
    QCOMPARE(QueryAllRows(hierarchy.get(), {PR_DISPLAY_NAME, PR_ENTRYID}, &folders), S_OK);
    for (ULONG i = 0; i < folders.count(); ++i) {
        QString name;
        TextOf(folders[i], PR_DISPLAY_NAME, &name);
        if (name != u"Inbox"_s && name != u"Contacts"_s)
            continue;
        const QByteArray id = BinaryOf(folders[i], PR_ENTRYID);
        MapiPtr<IMAPIFolder> folder;
        QCOMPARE(store->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr, MAPI_BEST_ACCESS,
                                  &type, folder.putUnknown()),
                 S_OK);
        auto& table = name == u"Inbox"_s ? m_messages : m_contacts;
        QCOMPARE(folder->GetContentsTable(0, table.put()), S_OK);
        TagArray columns{PR_ENTRYID, PR_SUBJECT, PR_DISPLAY_NAME};
        QCOMPARE(table->SetColumns(columns.get(), 0), S_OK);
    }
    QVERIFY(m_messages && m_contacts);
}

void TestMessageReader::cleanupTestCase()
{
    m_messages.reset();
    m_contacts.reset();
    m_session.reset();
}

ReadTarget TestMessageReader::target(IMAPITable* table, ULONG column, const QString& value)
{
    Rows rows(m_session->api());
    if (FAILED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)) ||
        FAILED(QueryAllRows(table, nullptr, nullptr, nullptr, 0, &rows)))
        return {};
    for (ULONG i = 0; i < rows.count(); ++i) {
        QString text;
        if (TextOf(rows[i], column, &text) && text == value)
            return {m_session->store(0), table, int(i), table == m_contacts.get()};
    }
    return {m_session->store(0), table, -1, false};
}

QStringList TestMessageReader::noticesOf(const ScriptedPrompter& prompter) const
{
    QStringList notices;
    for (const ScriptedPrompter::Notice& notice : prompter.notices())
        notices.append(notice.title + u": "_s + notice.text);
    return notices;
}

void TestMessageReader::readMessage_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("rawHtml");
    QTest::addColumn<bool>("alt");
    QTest::addColumn<QString>("shown"); // the read box's text afterwards
    QTest::addColumn<bool>("rich");
    QTest::addColumn<bool>("read"); // a body was shown

    const QString html = QString::fromLatin1(kHtml);
    QTest::newRow("plain") << u"Plain"_s << false << false << u"Grüße aus Köln\nZweite Zeile\n"_s
                           << false << true;
    QTest::newRow("HTML only, as text") << u"HTML only"_s << false << false
                                        << u"\nHello & welcomeLine\ntwo © 2024"_s << false << true;
    QTest::newRow("HTML only, raw") << u"HTML only"_s << true << false << html << false << true;
    QTest::newRow("alternative: plain first")
        << u"Alternative"_s << true << false << u"Plain part\n"_s << false << true;
    QTest::newRow("rich text, 8-bit and escaped")
        << u"Rich"_s << false << false << u"Café bold\nnaïve"_s << true << true;
    QTest::newRow("encapsulated HTML, as text")
        << u"Encapsulated"_s << false << false << u"\nGrüße aus Wien"_s << false << true;
    QTest::newRow("encapsulated HTML, raw")
        << u"Encapsulated"_s << true << false
        << u"<html><body><p>Grüße aus <b>Wien</b></p></body></html>"_s << false << true;
    QTest::newRow("out of sync: rich text rebuilt from the plain body")
        << u"Out of sync"_s << false << false << u"Fresh plain words"_s << true << true;
    QTest::newRow("no body") << u"Attachment only"_s << false << false << u"Unable to read text!"_s
                             << false << false;
    QTest::newRow("Alt: headers") << u"Plain"_s << false << true
                                  << u"From: =?utf-8?q?J=C3=BCrgen_Wei=C3=9F?= <jw@example.de>\n"
                                     u"To: me@example.com\nSubject: Plain\n"
                                     u"Date: Tue, 02 Jan 2024 10:30:00 +0000\nMIME-Version: 1.0\n"
                                     u"Content-Type: text/plain; charset=utf-8\n"_s
                                  << false << true;
    QTest::newRow("Alt: no headers") << QString() << false << true << u"Empty"_s << false << true;
}

void TestMessageReader::readMessage()
{
    QFETCH(QString, subject);
    QFETCH(bool, rawHtml);
    QFETCH(bool, alt);
    QFETCH(QString, shown);
    QFETCH(bool, rich);
    QFETCH(bool, read);
    m_doc->setIntSetting(ReadHtmlCode, rawHtml ? 1 : 0);
    Reading reading(*this, alt);

    reading.reader.readSelected(selected(subject));
    QCOMPARE(reading.host.box.toPlainText(), shown);
    QCOMPARE(reading.host.loads, QList<bool>{rich});
    QCOMPARE(noticesOf(reading.prompter), QStringList());
    QCOMPARE(reading.host.timerRestarts, read && !alt ? 1 : 0);
    QCOMPARE(reading.dragCleared.count(), read ? 0 : 1);
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

    reading.reader.readSelected(selected(subject));
    const ReadState& state = reading.reader.state();
    QCOMPARE(state.subject, kept);
    QCOMPARE(reading.host.sender, sender);
    QCOMPARE(state.unsent, unsent);
    QCOMPARE(state.submitTime, submitTime);
    QCOMPARE(state.deliveryTime, fileTimeOf(kDelivered));
    QCOMPARE(state.creationTime, fileTimeOf(kDelivered));
}

void TestMessageReader::refusedRichTextGivesWayToThePlainBody()
{
    Reading reading(*this);
    reading.host.refuseRich = true;
    reading.reader.readSelected(selected(u"Same words"_s));
    QCOMPARE(noticesOf(reading.prompter), QStringList{u"Warning!: Error  reading stream"_s});
    QCOMPARE(reading.host.loads, (QList<bool>{true, false}));
    QCOMPARE(reading.host.box.toPlainText(), u"Same words\n"_s);
    QCOMPARE(reading.host.timerRestarts, 1);
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
    ReadTarget where = selected(u"Doomed"_s);
    QVERIFY(where.row >= 0);
    if (row == -2)
        QVERIFY(QFile::remove(m_dir.filePath(u"Maildir/cur/12.r:2,S"_s)));
    else
        where.row = row;
    if (!store)
        where.store = nullptr;
    Reading reading(*this);

    reading.reader.readSelected(where);
    QCOMPARE(noticesOf(reading.prompter), notices);
    QVERIFY(reading.host.loads.isEmpty());
    QVERIFY(reading.host.sender.isEmpty());
    QCOMPARE(reading.host.timerRestarts, 0);
}

void TestMessageReader::contactDetails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");

    QTest::newRow("only the second e-mail entry")
        << u"Bea Second"_s
        << u"Selected contact details for  Bea Second\n"
           u"Display Name 2:\t\t\tBea Second (bea@example.org) \n"
           u"Email Address 2:\t\t\tbea@example.org \nAddress 2 type:\t\t\tSMTP \n\n"
           u"Contact information:\nMobile telephone: +49 170 0000000\n"
           u"Company and address information:\nJob title: Buyer\n"
           u"Company name :  Acme GmbH\nDepartment:  Sales\n\n\n\n"
           u"Home information:\nAddress:\nHauptstr. 1\nBerlin 10115\nGermany\n\n"_s;
    QTest::newRow("distribution list")
        << u"Support Team"_s << u"This item is a distribution list"_s;
}

void TestMessageReader::contactDetails()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    Reading reading(*this, true); // Alt changes nothing here
    const ReadTarget where = target(m_contacts.get(), PR_DISPLAY_NAME, name);
    QVERIFY(where.contactsFolder);

    reading.reader.readSelected(where);
    QCOMPARE(reading.host.box.toPlainText(), shown);
    QCOMPARE(reading.host.loads, QList<bool>{false});
    QCOMPARE(reading.host.timerRestarts, 0);
    QVERIFY(noticesOf(reading.prompter).isEmpty());
}

QTEST_MAIN(TestMessageReader)
#include "tst_messagereader.moc"
