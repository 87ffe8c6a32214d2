// Contacts written through the mail library: a new contact as the contact entry form saves it
// (named e-mail properties, multi-valued entry list, FORCE_SAVE), the vCard file it gives, edits
// that keep what the library does not read, changes by others, and store advise on the folder.
#include "MapiFixture.h"
#include "NotifySink.h"
#include "PropValues.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

// The lines of a vCard file as RFC 6350 unfolds them, checked against its rules on the way.
QStringList unfoldChecked(const QByteArray& file)
{
    QStringList lines;
    for (const QByteArray& physical : file.split('\n')) {
        if (physical.isEmpty()) {
            continue;
        }
        if (!physical.endsWith('\r') || physical.size() - 1 > 75) {
            qWarning() << "not a CRLF line of at most 75 octets:" << physical;
            return {};
        }
        const QByteArray line = physical.chopped(1);
        if (line.startsWith(' ')) {
            lines.last() += QString::fromUtf8(line.mid(1));
        } else {
            lines << QString::fromUtf8(line);
        }
    }
    return lines;
}

QString onlyCard(const QString& dir)
{
    const QStringList cards = QDir(dir).entryList({QStringLiteral("*.vcf")}, QDir::Files);
    return cards.size() == 1 ? dir + QLatin1Char('/') + cards.first() : QString();
}

} // namespace

class TestContactWrite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void newContactAsTheEntryFormSavesIt();
    void editKeepsWhatIsNotRead();
    void changedByAnotherProgram();
    void contactFieldsFromTheCard_data();
    void contactFieldsFromTheCard();
    void storeAdviseOnTheContactsFolder();
    void multiValuedLongsInAMessage();

private:
    MapiPtr<IMAPIFolder> contactsFolder();
    std::vector<ULONG> tags(std::initializer_list<LONG> lids, std::initializer_list<ULONG> types);
    MapiPtr<IMessage> openCard(const QString& path);

    QTemporaryDir m_dir;
    QString m_vdir;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestContactWrite::initTestCase()
{
    m_vdir = m_dir.filePath(QStringLiteral("contacts"));
    QVERIFY(QDir().mkpath(m_vdir));
    MaildirBuilder(m_dir.filePath(QStringLiteral("Mail")));
    QVERIFY(startLibrary(m_dir, "[Profile Test]\nStores=Mail\n[Store Test/Mail]\n"
                                "Path=@ROOT@/Mail\nContacts=@ROOT@/contacts\n"));
}

void TestContactWrite::init()
{
    for (const QString& name : QDir(m_vdir).entryList(QDir::Files)) {
        QFile::remove(m_vdir + QLatin1Char('/') + name);
    }
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
}

void TestContactWrite::cleanup()
{
    endSession(&m_session, &m_store);
}

void TestContactWrite::cleanupTestCase()
{
    api().MAPIUninitialize();
}

MapiPtr<IMAPIFolder> TestContactWrite::contactsFolder()
{
    MapiPtr<IMAPIFolder> inbox = openInbox(m_store.get());
    return inbox ? openEntry<IMAPIFolder>(
                       m_store.get(), propBytes(inbox.get(), PR_IPM_CONTACT_ENTRYID), MAPI_MODIFY)
                 : MapiPtr<IMAPIFolder>();
}

// The store's tags of PSETID_Address names, each with its type.
std::vector<ULONG> TestContactWrite::tags(std::initializer_list<LONG> lids,
                                          std::initializer_list<ULONG> types)
{
    GUID set = PSETID_Address;
    std::vector<MAPINAMEID> names;
    for (LONG lid : lids) {
        MAPINAMEID name{&set, MNID_ID, {}};
        name.Kind.lID = lid;
        names.push_back(name);
    }
    std::vector<LPMAPINAMEID> pointers;
    for (MAPINAMEID& name : names) {
        pointers.push_back(&name);
    }
    Buffer<SPropTagArray> ids;
    std::vector<ULONG> out;
    if (m_store->GetIDsFromNames(static_cast<ULONG>(names.size()), pointers.data(), MAPI_CREATE,
                                 ids.put()) != S_OK) {
        return out;
    }
    auto type = types.begin();
    for (ULONG i = 0; i < ids.get()->cValues; ++i, ++type) {
        out.push_back(PROP_TAG(*type, PROP_ID(ids.get()->aulPropTag[i])));
    }
    return out;
}

MapiPtr<IMessage> TestContactWrite::openCard(const QString& path)
{
    MapiPtr<IMAPITable> table;
    RowSet rows;
    MapiPtr<IMessage> message;
    MapiPtr<IMAPIFolder> folder = contactsFolder();
    if (!folder || folder->GetContentsTable(0, table.put()) != S_OK ||
        queryAll(table.get(), {PR_ENTRYID}, &rows) != S_OK) {
        return message;
    }
    for (ULONG i = 0; i < rows.count(); ++i) {
        const QByteArray id = binary(findValue(rows.row(i), PR_ENTRYID));
        if (id.contains(QFileInfo(path).completeBaseName().toUtf8())) {
            message = openEntry<IMessage>(m_store.get(), id, MAPI_MODIFY);
        }
    }
    return message;
}

void TestContactWrite::newContactAsTheEntryFormSavesIt()
{
    MapiPtr<IMAPIFolder> folder = contactsFolder();
    QVERIFY(folder);
    MapiPtr<IMessage> contact;
    QCOMPARE(folder->CreateMessage(nullptr, 0, contact.put()), S_OK);
    // Entries 1 and 3 filled, 2 left empty; the file-as text has a comma to escape.
    const std::vector<ULONG> t =
        tags({0x8083, 0x80A3, 0x8080, 0x80A0, 0x8082, 0x80A2, 0x8005, 0x8029, 0x8028, 0x8085},
             {PT_STRING8, PT_STRING8, PT_STRING8, PT_STRING8, PT_STRING8, PT_STRING8, PT_STRING8,
              PT_LONG, PT_MV_LONG, PT_BINARY});
    QCOMPARE(t.size(), 10u);
    ULONG oneOffSize = 0;
    MapiPtr<IAddrBook> book;
    QCOMPARE(m_session->OpenAddressBook(0, nullptr, 0, book.put()), S_OK);
    Buffer<ENTRYID> oneOff;
    QCOMPARE(
        book->CreateOneOff("Åsa Öberg", "SMTP", "asa@example.se", 0, &oneOffSize, oneOff.put()),
        S_OK);
    Values v;
    v.text(t[0], QStringLiteral("asa@example.se"))
        .text(t[1], QStringLiteral("asa@home.example"))
        .text(t[2], QStringLiteral("Åsa at work"))
        .text(t[3], QStringLiteral("Åsa Öberg (asa@home.example)"))
        .text(t[4], QStringLiteral("SMTP"))
        .text(t[5], QStringLiteral("X400"))
        .text(t[6], QStringLiteral("Öberg, Åsa; \"the boss\""))
        .number(t[7], 0x5)
        .bytes(t[9], QByteArray(reinterpret_cast<const char*>(oneOff.get()), int(oneOffSize)))
        .text(PR_MESSAGE_CLASS, QStringLiteral("IPM.Contact"))
        .text(PR_SUBJECT, QStringLiteral("Åsa Öberg"))
        .text(PR_SURNAME, QStringLiteral("Öberg"))
        .text(PR_GIVEN_NAME, QStringLiteral("Åsa"))
        .text(PR_MIDDLE_NAME, QStringLiteral("Maria"))
        .text(PR_DISPLAY_NAME, QStringLiteral("Åsa Öberg"))
        .text(PR_BUSINESS_TELEPHONE_NUMBER, QStringLiteral("+46 8 123 456"))
        .text(PR_BODY, QStringLiteral("Line one,\r\nline two; with a \\ backslash and a long "
                                      "tail that makes the line fold more than once ÅÅÅÅÅÅÅÅ"));
    QCOMPARE(v.applyTo(contact.get()), S_OK);
    LONG entries[] = {0, 2};
    SPropValue list{};
    list.ulPropTag = t[8];
    list.Value.MVl = {2, entries};
    QCOMPARE(contact->SetProps(1, &list, nullptr), S_OK);
    QCOMPARE(contact->SaveChanges(FORCE_SAVE), S_OK);

    const QString path = onlyCard(m_vdir);
    QVERIFY(!path.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QStringList lines = unfoldChecked(bytes);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QStringLiteral("BEGIN:VCARD"));
    QCOMPARE(lines.at(1), QStringLiteral("VERSION:4.0"));
    QCOMPARE(lines.last(), QStringLiteral("END:VCARD"));
    QVERIFY(bytes.contains("\r\n ")); // the note was folded
    QVERIFY(lines.contains(QStringLiteral("UID:") + QFileInfo(path).completeBaseName()));
    QVERIFY(lines.contains(QStringLiteral("FN:Åsa Öberg")));
    QVERIFY(lines.contains(QStringLiteral("N:Öberg;Åsa;Maria;;")));
    QVERIFY(lines.contains(QStringLiteral("X-VNT-FILE-AS:Öberg\\, Åsa\\; \"the boss\"")));
    QVERIFY(lines.contains(QStringLiteral("NOTE:Line one\\,\\nline two\\; with a \\\\ backslash "
                                          "and a long tail that makes the line fold more than "
                                          "once ÅÅÅÅÅÅÅÅ")));
    QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^EMAIL;.*PREF=1.*:asa@example.se$")))
                .size() == 1);
    QVERIFY(lines.filter(QStringLiteral("X-DISPLAY=Åsa at work")).size() == 1);
    QVERIFY(lines
                .filter(QRegularExpression(
                    QStringLiteral("^EMAIL;.*X-VNT-ENTRY=3.*X-ADDRTYPE=X400.*:asa@home")))
                .size() == 1);
    QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^TEL;TYPE=work,voice:\\+46"))).size() ==
            1);
    QVERIFY(lines.filter(QStringLiteral("REV:")).size() == 1);

    // Read back: the entry bits and list, the entries in their places, the one-off.
    MapiPtr<IMessage> reread = openCard(path);
    QVERIFY(reread);
    Props p(reread.get(), {t[7], t[8], t[0], t[1], t[2], t[3], t[9], t[5]});
    QCOMPARE(p.hr, S_OK);
    QCOMPARE(p[0]->Value.l, LONG{0x5});
    QCOMPARE(p[1]->Value.MVl.cValues, 2u);
    QCOMPARE(p[1]->Value.MVl.lpl[1], LONG{2});
    QCOMPARE((QStringList{text(p[2]), text(p[3]), text(p[4]), text(p[5]), text(p[7])}),
             (QStringList{"asa@example.se", "asa@home.example", "Åsa at work",
                          "Åsa Öberg (asa@home.example)", "X400"}));
    QVERIFY(binary(p[6]).size() > 24);
    // The new contact is found by name at once.
    {
        void* block = nullptr;
        api().MAPIAllocateBuffer(sizeof(SPropValue), &block);
        auto* copy = static_cast<LPSPropValue>(block);
        copy->ulPropTag = PR_DISPLAY_NAME;
        void* text = nullptr;
        api().MAPIAllocateMore(16, block, &text);
        std::strcpy(static_cast<char*>(text), "\xC3\x96"
                                              "berg");
        copy->Value.lpszA = static_cast<char*>(text);
        LPADRLIST adr = nullptr;
        api().MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(1)),
                                 reinterpret_cast<void**>(&adr));
        adr->cEntries = 1;
        adr->aEntries[0] = {0, 1, copy};
        // Two addresses: two entries of one contact.
        QCOMPARE(book->ResolveName(0, 0, nullptr, adr), MAPI_E_AMBIGUOUS_RECIP);
        api().FreePadrlist(adr);
    }
}

void TestContactWrite::editKeepsWhatIsNotRead()
{
    const QByteArray original =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Other//Tool//EN\r\nUID:kept-1\r\n"
        "FN:Ann Lee\r\nN:Lee;Ann;;;\r\nTITLE:Engineer\r\n"
        "item1.X-ABLABEL:_$!<Partner>!$_\r\nCATEGORIES:friends,work\r\n"
        "TEL;TYPE=PAGER:555 0199\r\nTEL;TYPE=WORK,VOICE:555 0100\r\n"
        "X-SOCIALPROFILE;TYPE=mastodon:https://example.social/@ann\r\n"
        "NOTE:A note folded over two lines of the file because it is rather lo\r\n ng\r\n"
        "ADR;TYPE=WORK:PO 7;Floor 2;1 High St;London;;EC1;UK\r\n"
        "EMAIL;TYPE=INTERNET:ann@work.example\r\nEND:VCARD\r\n";
    const QString path = m_vdir + QStringLiteral("/kept-1.vcf");
    QVERIFY(writeFile(path, original));
    MapiPtr<IMessage> contact = openCard(path);
    QVERIFY(contact);
    Values v;
    v.text(PR_TITLE, QStringLiteral("Head of Support"))
        .text(PR_BUSINESS_TELEPHONE_NUMBER, QStringLiteral("555 0111"))
        .text(PR_BUSINESS_ADDRESS_CITY, QStringLiteral("Leeds"))
        .text(PR_MOBILE_TELEPHONE_NUMBER, QStringLiteral("07700 900000"));
    QCOMPARE(v.applyTo(contact.get()), S_OK);
    QCOMPARE(contact->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    QCOMPARE(onlyCard(m_vdir), path); // same file, no second card
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = unfoldChecked(file.readAll());
    const QStringList kept = {
        QStringLiteral("VERSION:3.0"),
        QStringLiteral("PRODID:-//Other//Tool//EN"),
        QStringLiteral("UID:kept-1"),
        QStringLiteral("item1.X-ABLABEL:_$!<Partner>!$_"),
        QStringLiteral("CATEGORIES:friends,work"),
        QStringLiteral("TEL;TYPE=PAGER:555 0199"),
        QStringLiteral("X-SOCIALPROFILE;TYPE=mastodon:https://example.social/@ann"),
        QStringLiteral("NOTE:A note folded over two lines of the file because it is rather long"),
        QStringLiteral("EMAIL;TYPE=INTERNET:ann@work.example"),
        QStringLiteral("FN:Ann Lee"),
    };
    for (const QString& line : kept) {
        QVERIFY2(lines.contains(line), qPrintable(line));
    }
    QVERIFY(lines.contains(QStringLiteral("TITLE:Head of Support")));
    QVERIFY(lines.contains(QStringLiteral("TEL;TYPE=WORK,VOICE:555 0111")));
    QVERIFY(lines.contains(QStringLiteral("ADR;TYPE=WORK:PO 7;Floor 2;1 High St;Leeds;;EC1;UK")));
    QVERIFY(lines.contains(QStringLiteral("TEL;TYPE=cell:07700 900000")));
    QVERIFY(!lines.contains(QStringLiteral("TITLE:Engineer")));
    QCOMPARE(lines.filter(QStringLiteral("TEL")).size(), 3);
    // Saved again without changes, only the revision moves.
    QCOMPARE(contact->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    QFile again(path);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QStringList second = unfoldChecked(again.readAll());
    QStringList first = lines;
    second.removeIf([](const QString& l) { return l.startsWith(QLatin1String("REV:")); });
    first.removeIf([](const QString& l) { return l.startsWith(QLatin1String("REV:")); });
    QCOMPARE(second, first);
}

void TestContactWrite::changedByAnotherProgram()
{
    const QString path = m_vdir + QStringLiteral("/c.vcf");
    QVERIFY(writeFile(path, "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:c\r\nFN:Cy\r\nEND:VCARD\r\n"));
    MapiPtr<IMessage> contact = openCard(path);
    QVERIFY(contact);
    QTest::qWait(20);
    QVERIFY(writeFile(path, "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:c\r\nFN:Cy Other\r\n"
                            "NOTE:theirs\r\nEND:VCARD\r\n"));
    Values v;
    v.text(PR_TITLE, QStringLiteral("Mine"));
    QCOMPARE(v.applyTo(contact.get()), S_OK);
    QCOMPARE(contact->SaveChanges(0), MAPI_E_OBJECT_CHANGED);
    QCOMPARE(contact->SaveChanges(FORCE_SAVE), S_OK);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("TITLE:Mine"));
    QVERIFY(QFile::remove(path));
    QCOMPARE(contact->SaveChanges(FORCE_SAVE), MAPI_E_OBJECT_DELETED);
}

void TestContactWrite::contactFieldsFromTheCard_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<LONG>("lid"); // 0: `tag` itself
    QTest::addColumn<ULONG>("tag");
    QTest::addColumn<QString>("value");
    QTest::newRow("home postal address")
        << QByteArray("ADR;TYPE=home:;;2 Low Rd;York;N Yorks;YO1 1AA;UK") << LONG{0x801A} << PR_NULL
        << QStringLiteral("2 Low Rd\r\nYork N Yorks YO1 1AA\r\nUK");
    QTest::newRow("business postal address from its label")
        << QByteArray("ADR;TYPE=work;LABEL=\"1 High St^nLondon\":;;1 High St;London;;;")
        << LONG{0x801B} << PR_NULL << QStringLiteral("1 High St\nLondon");
    QTest::newRow("other postal address")
        << QByteArray("ADR;TYPE=x-other:;;Dock 4;Hull;;;") << LONG{0x801C} << PR_NULL
        << QStringLiteral("Dock 4\r\nHull");
    QTest::newRow("assistant") << QByteArray("X-ASSISTANT:Pat") << LONG{0} << PR_ASSISTANT
                               << QStringLiteral("Pat");
    QTest::newRow("assistant, as Evolution writes it")
        << QByteArray("X-EVOLUTION-ASSISTANT:Pat") << LONG{0} << PR_ASSISTANT
        << QStringLiteral("Pat");
    QTest::newRow("manager") << QByteArray("X-MANAGER:Mo") << LONG{0} << PR_MANAGER_NAME
                             << QStringLiteral("Mo");
    QTest::newRow("second business telephone")
        << QByteArray("TEL;TYPE=work:1\r\nTEL;TYPE=work:2") << LONG{0}
        << PR_BUSINESS2_TELEPHONE_NUMBER << QStringLiteral("2");
    QTest::newRow("other telephone") << QByteArray("TEL;TYPE=x-other:9") << LONG{0}
                                     << PR_OTHER_TELEPHONE_NUMBER << QStringLiteral("9");
    QTest::newRow("personal home page")
        << QByteArray("URL;TYPE=home:https://me.example") << LONG{0} << PR_PERSONAL_HOME_PAGE
        << QStringLiteral("https://me.example");
    QTest::newRow("business home page, untyped")
        << QByteArray("URL:https://work.example") << LONG{0} << PR_BUSINESS_HOME_PAGE
        << QStringLiteral("https://work.example");
}

void TestContactWrite::contactFieldsFromTheCard()
{
    QFETCH(QByteArray, line);
    QFETCH(LONG, lid);
    QFETCH(ULONG, tag);
    QFETCH(QString, value);
    const QString path = m_vdir + QStringLiteral("/f.vcf");
    QVERIFY(writeFile(path, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:F\r\n" + line + "\r\nEND:VCARD\r\n"));
    MapiPtr<IMessage> contact = openCard(path);
    QVERIFY(contact);
    Props got(contact.get(), {lid ? tags({lid}, {PT_STRING8}).at(0) : tag});
    QCOMPARE(got.hr, S_OK);
    QCOMPARE(text(got[0]), value);
}

void TestContactWrite::storeAdviseOnTheContactsFolder()
{
    MapiPtr<IMAPIFolder> folder = contactsFolder();
    QByteArray folderId = propBytes(folder.get(), PR_ENTRYID);
    MapiPtr<RecordingSink> sink(new RecordingSink);
    ULONG connection = 0;
    QCOMPARE(m_store->Advise(folderId.size(), entryPtr(folderId), fnevObjectCreated, sink.get(),
                             &connection),
             S_OK);
    // Saved here, then written by another program.
    MapiPtr<IMessage> contact;
    QCOMPARE(folder->CreateMessage(nullptr, 0, contact.put()), S_OK);
    Values v;
    v.text(PR_DISPLAY_NAME, QStringLiteral("New One"));
    QCOMPARE(v.applyTo(contact.get()), S_OK);
    QCOMPARE(contact->SaveChanges(0), S_OK);
    QTRY_COMPARE_WITH_TIMEOUT(sink->seen.size(), std::size_t{1}, kLatencyMs);
    QCOMPARE(sink->seen[0].eventType, ULONG{fnevObjectCreated});
    QCOMPARE(sink->seen[0].parentId, folderId);
    QVERIFY(writeFile(m_vdir + QStringLiteral("/outside.vcf"),
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Outside\r\nEND:VCARD\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(sink->seen.size(), std::size_t{2}, kLatencyMs);
    QVERIFY(sink->seen[1].entryId.contains("outside"));
    // The new entry opens as the contact it announced.
    QVERIFY(openEntry<IMessage>(m_store.get(), sink->seen[1].entryId));
    QCOMPARE(m_store->Unadvise(connection), S_OK);
    QVERIFY(writeFile(m_vdir + QStringLiteral("/late.vcf"),
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Late\r\nEND:VCARD\r\n"));
    QTest::qWait(200);
    QCOMPARE(sink->seen.size(), std::size_t{2});
}

void TestContactWrite::multiValuedLongsInAMessage()
{
    MapiPtr<IMAPIFolder> inbox = openInbox(m_store.get());
    MapiPtr<IMessage> message;
    QCOMPARE(inbox->CreateMessage(nullptr, 0, message.put()), S_OK);
    const ULONG tag = tags({0x8028}, {PT_MV_LONG}).at(0);
    LONG entries[] = {2, -1, 0x7FFFFFFF};
    SPropValue list{};
    list.ulPropTag = tag;
    list.Value.MVl = {3, entries};
    QCOMPARE(message->SetProps(1, &list, nullptr), S_OK);
    QCOMPARE(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    MapiPtr<IMessage> reopened = reopen(m_store.get(), propBytes(message.get(), PR_ENTRYID));
    QVERIFY(reopened);
    Props values(reopened.get(), {tag});
    QCOMPARE(values.hr, S_OK);
    QCOMPARE(values[0]->ulPropTag, tag);
    QCOMPARE(values[0]->Value.MVl.cValues, 3u);
    QCOMPARE(values[0]->Value.MVl.lpl[1], LONG{-1});
    QCOMPARE(values[0]->Value.MVl.lpl[2], LONG{0x7FFFFFFF});
}

QTEST_MAIN(TestContactWrite)
#include "tst_contactwrite.moc"
