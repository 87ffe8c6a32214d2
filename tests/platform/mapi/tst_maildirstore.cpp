// Reading a Maildir++ tree through the mail library: store properties, the folder hierarchy,
// folder counts, the contents table with its columns and sort orders, and entry identifiers.
#include "MapiFixture.h"
#include "PropValues.h"
#include "RestrictionBuilder.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mapitest;

namespace {

const QDateTime kBase(QDate(2024, 3, 4), QTime(9, 30), Qt::UTC);

struct Sample
{
    const char* folder;
    const char* sub;
    const char* file;
    QByteArray headers;
    int deliveredMinutes;
    bool raw = false; // written as given, without a MIME header block and body
};

// Inbox: unread in new/, read, replied and read, flagged but unread; folders below.
const Sample kSamples[] = {
    {"", "new", "1709544600.M1P100Q1.host",
     "From: Ann Lee <ann@example.org>\r\nTo: Support <help@example.com>\r\n"
     "Subject: Printer jams\r\nDate: Mon, 04 Mar 2024 09:00:00 +0000\r\n"
     "Message-ID: <a1@example.org>\r\n",
     30},
    {"", "cur", "1709544700.M2P100Q2.host:2,S",
     "From: bob@example.net\r\nTo: Ann Lee <ann@example.org>, bob@example.org\r\n"
     "Cc: Carl <carl@example.org>\r\nSubject: =?UTF-8?B?R3LDvMOfZQ==?=\r\n"
     "Date: Mon, 04 Mar 2024 10:15:00 +0100\r\nImportance: high\r\n",
     90},
    {"", "cur", "1709544800.M3P100Q3.host,S=900:2,RS",
     "From: \"Zed, Admin\" <zed@example.com>\r\nSender: Desk <desk@example.com>\r\n"
     "To: help@example.com\r\nSubject: account locked\r\nX-Priority: 5\r\n",
     10},
    {"", "cur", "1709544900.M4P100Q4.host:2,F",
     "From: Dee <dee@example.org>\r\nTo: help@example.com\r\nSubject: Backup failed\r\n"
     "Date: Sun, 03 Mar 2024 23:59:59 -0500\r\n",
     60},
    {".Sent Items", "cur", "1709545000.M5P100Q5.host:2,S",
     "From: Support <help@example.com>\r\nTo: Ann Lee <ann@example.org>\r\n"
     "Subject: Re: Printer jams\r\nDate: Mon, 04 Mar 2024 11:00:00 +0000\r\n",
     120},
    {".Projects.Alpha", "new", "1709545100.M6P100Q6.host",
     "From: pm@example.org\r\nSubject: Kickoff\r\n", 5},
    {".Projects.Alpha", "cur", "1709545150.M12P100Q12.host:2,S",
     "From: pm@example.org\r\nSubject: Agenda\r\nMIME-Version: 1.0\r\n"
     "Content-Type: multipart/mixed; boundary=outer\r\n\r\n"
     "--outer\r\nContent-Type: multipart/alternative; boundary=inner\r\n\r\n"
     "--inner\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
     "Gr\xFC\xDF"
     "e \x80, agenda attached.\r\n"
     "--inner\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
     "<p>Agenda <b>attached</b>.</p>\r\n--inner--\r\n"
     "--outer\r\nContent-Type: application/pdf; name=agenda.pdf\r\n"
     "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--outer--\r\n",
     6, true},
    {".Entw&APw-rfe &- Caf&AOk-", "cur", "1709545700.M13P100Q13.host:2,S",
     "From: me@example.org\r\nSubject: Draft\r\n", 7},
    {".Archive.2023", "cur", "1709545200.M7P100Q7.host:2,S",
     "From: old@example.org\r\nSubject: Old news\r\n", 1},
    {".Drafts", "cur", "1709545300.M8P100Q8.host:2,DS",
     "From: Support <help@example.com>\r\nSubject: Unfinished\r\n", 2},
    // Awkward files: undeclared 8-bit headers, an empty file, no header block at all.
    {".Odd", "cur", "1709545400.M9P100Q9.host:2,S",
     "From: Jos\xE9 \x80 <jose@example.org>\r\nSubject: Caf\xE9 \x80 na\xEFve\r\n", 3},
    {".Odd", "cur", "1709545500.M10P100Q10.host:2,", "", 4, true},
    {".Odd", "new", "1709545600.M11P100Q11.host", "\x01\x02\xFF\xFE garbage", 5, true},
};

} // namespace

class TestMaildirStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void storeProperties();
    void hierarchyWalk();
    void folderProperties_data();
    void folderProperties();
    void containerClassFile_data();
    void containerClassFile();
    void contentsColumns_data();
    void contentsColumns();
    void missingValuesAreErrors();
    void awkwardMessagesListed();
    void sortTable_data();
    void sortTable();
    void seekAndQuery();
    void restrict_data();
    void restrict();
    void entryIdsSurviveFlagChangeAndLogon();
    void openMessage_data();
    void openMessage();
    void openEntryRejects_data();
    void openEntryRejects();

private:
    MapiPtr<IMAPIFolder> openFolder(const QString& displayPath);
    MapiPtr<IMAPITable> inboxTable(ULONG sortTag, ULONG order = TABLE_SORT_ASCEND);
    QStringList subjects(IMAPITable* table);
    void walk(IMAPIFolder* folder, const QString& path, QStringList* out,
              QHash<QString, QByteArray>* ids);

    QTemporaryDir m_dir;
    QString m_root;
    MapiPtr<IMAPISession> m_session;
    MapiPtr<IMsgStore> m_store;
};

void TestMaildirStore::initTestCase()
{
    QVERIFY(library().isLoaded());
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    QVERIFY(m_dir.isValid());
    m_root = m_dir.filePath(QStringLiteral("Maildir"));
    MaildirBuilder builder(m_root);
    for (const Sample& s : kSamples) {
        const QString folder = QString::fromUtf8(s.folder);
        builder.addFolder(folder);
        builder.addMessage(folder, QLatin1String(s.sub), QString::fromUtf8(s.file),
                           s.raw ? s.headers : email(s.headers),
                           kBase.addSecs(60 * s.deliveredMinutes));
    }
    // Files that are not messages.
    builder.addMessage(QString(), QStringLiteral("cur"), QStringLiteral(".hidden"), "x", kBase);
    builder.addMessage(QString(), QStringLiteral("tmp"), QStringLiteral("1.M9.host"), "x", kBase);
    QVERIFY(installProfiles(m_dir.path(), "[Profile Test]\nStores=Support Mail\n"
                                          "[Store Test/Support Mail]\nPath=" +
                                              QFile::encodeName(m_root) + "\n"));
}

void TestMaildirStore::init()
{
    QCOMPARE(newSession("Test", &m_session), S_OK);
    m_store = openStore(m_session.get());
    QVERIFY(m_store);
    QVERIFY(!openStore(m_session.get(), 1)); // the profile has this one store
}

void TestMaildirStore::cleanup()
{
    endSession(&m_session, &m_store);
}

void TestMaildirStore::cleanupTestCase()
{
    api().MAPIUninitialize();
}

// Walks the hierarchy below `folder`, checking each row's parent id and that it opens.
void TestMaildirStore::walk(IMAPIFolder* folder, const QString& path, QStringList* out,
                            QHash<QString, QByteArray>* ids)
{
    QByteArray ownId = binary(Props(folder, {PR_ENTRYID})[0]);
    MapiPtr<IMAPITable> table;
    QCOMPARE(
        folder->OpenProperty(PR_CONTAINER_HIERARCHY, &IID_IMAPITable, 0, 0, table.putUnknown()),
        S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_ENTRYID, PR_DISPLAY_NAME, PR_SUBFOLDERS, PR_PARENT_ENTRYID},
                      &rows),
             S_OK);
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        const QString name = path + text(&row.lpProps[1]);
        *out << name;
        const QByteArray id = binary(&row.lpProps[0]);
        QByteArray parent = binary(&row.lpProps[3]);
        QVERIFY2(sameEntry(m_session.get(), parent, ownId) == 1, qPrintable(name));
        ids->insert(name, id);
        ULONG type = 0;
        MapiPtr<IMAPIFolder> child = openEntry<IMAPIFolder>(folder, id, MAPI_BEST_ACCESS, &type);
        QVERIFY(child);
        QCOMPARE(type, MAPI_FOLDER);
        if (row.lpProps[2].Value.b) {
            walk(child.get(), name + QLatin1Char('/'), out, ids);
        }
    }
}

MapiPtr<IMAPIFolder> TestMaildirStore::openFolder(const QString& displayPath)
{
    MapiPtr<IMAPIFolder> subtree = openEntry<IMAPIFolder>(
        m_store.get(), binary(Props(m_store.get(), {PR_IPM_SUBTREE_ENTRYID})[0]));
    QStringList names;
    QHash<QString, QByteArray> ids;
    if (subtree) {
        walk(subtree.get(), QString(), &names, &ids);
    }
    return openEntry<IMAPIFolder>(m_store.get(), ids.value(displayPath));
}

// The Inbox's contents table, subjects only, in the given order.
MapiPtr<IMAPITable> TestMaildirStore::inboxTable(ULONG sortTag, ULONG order)
{
    MapiPtr<IMAPITable> table;
    TagArray columns{PR_SUBJECT};
    SSortOrderSet sort{1, 0, 0, {{sortTag, order}}};
    MapiPtr<IMAPIFolder> inbox = openFolder(QStringLiteral("Inbox"));
    if (!inbox || inbox->GetContentsTable(0, table.put()) != S_OK ||
        table->SetColumns(columns.get(), 0) != S_OK || table->SortTable(&sort, 0) != S_OK) {
        table.reset();
    }
    return table;
}

QStringList TestMaildirStore::subjects(IMAPITable* table)
{
    RowSet rows;
    return SUCCEEDED(table->QueryRows(100, 0, rows.put())) ? texts(rows) : QStringList{"failed"};
}

void TestMaildirStore::storeProperties()
{
    Props v(m_store.get(),
            {PR_DISPLAY_NAME, PR_IPM_SUBTREE_ENTRYID, PR_VALID_FOLDER_MASK, PR_IPM_SENTMAIL_ENTRYID,
             PR_IPM_OUTBOX_ENTRYID, PR_IPM_WASTEBASKET_ENTRYID, PR_STORE_SUPPORT_MASK});
    QCOMPARE(v.hr, S_OK);
    QCOMPARE(v.count, 7u);
    QCOMPARE(text(v[0]), QStringLiteral("Support Mail"));
    QVERIFY(!binary(v[1]).isEmpty());
    // Sent Items was there; the Outbox and Deleted Items were made when it opened for writing.
    QCOMPARE(ULONG(v[2]->Value.l), FOLDER_IPM_SUBTREE_VALID | FOLDER_IPM_INBOX_VALID |
                                       FOLDER_IPM_SENTMAIL_VALID | FOLDER_IPM_OUTBOX_VALID |
                                       FOLDER_IPM_WASTEBASKET_VALID);
    for (int i = 3; i <= 5; ++i)
        QVERIFY(!isError(v[i]));
    QVERIFY(v[6]->Value.l & STORE_NOTIFY_OK);
    QVERIFY(v[6]->Value.l & STORE_HTML_OK);
    QVERIFY(!(v[6]->Value.l & STORE_RTF_OK)); // callers keep the bodies in step with RTFSync
}

void TestMaildirStore::hierarchyWalk()
{
    ULONG type = 0;
    MapiPtr<IMAPIFolder> subtree = openEntry<IMAPIFolder>(
        m_store.get(), binary(Props(m_store.get(), {PR_IPM_SUBTREE_ENTRYID})[0]), MAPI_BEST_ACCESS,
        &type);
    QVERIFY(subtree);
    QCOMPARE(type, MAPI_FOLDER);
    QStringList names;
    QHash<QString, QByteArray> ids;
    walk(subtree.get(), QString(), &names, &ids);
    // Names kept on disk in modified UTF-7 are shown decoded.
    // Opened for writing, the store got the Outbox and Deleted Items it lacked.
    const QStringList expected{"Inbox",        "Archive",
                               "Archive/2023", "Deleted Items",
                               "Drafts",       QString::fromUtf8("Entwürfe & Café"),
                               "Odd",          "Outbox",
                               "Projects",     "Projects/Alpha",
                               "Sent Items"};
    QCOMPARE(names, expected);
    QCOMPARE(QSet<QByteArray>(ids.begin(), ids.end()).size(), expected.size());
    // The receive folder is the Inbox.
    QByteArray inbox = inboxId(m_store.get());
    QByteArray listed = ids.value(QStringLiteral("Inbox"));
    QCOMPARE(sameEntry(m_session.get(), inbox, listed), 1);
}

void TestMaildirStore::folderProperties_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("unread");
    QTest::addColumn<bool>("subfolders");

    QTest::newRow("inbox: new and flagged unread, hidden and tmp files skipped")
        << QStringLiteral("Inbox") << 4 << 2 << false;
    QTest::newRow("parent with only a subfolder") << QStringLiteral("Projects") << 0 << 0 << true;
    QTest::newRow("unread in new/ of a nested folder")
        << QStringLiteral("Projects/Alpha") << 2 << 1 << false;
    QTest::newRow("parent missing on disk") << QStringLiteral("Archive") << 0 << 0 << true;
    QTest::newRow("draft counts as read when seen") << QStringLiteral("Drafts") << 1 << 0 << false;
}

void TestMaildirStore::folderProperties()
{
    QFETCH(QString, path);
    QFETCH(int, count);
    QFETCH(int, unread);
    QFETCH(bool, subfolders);
    MapiPtr<IMAPIFolder> folder = openFolder(path);
    QVERIFY(folder);
    Props v(folder.get(), {PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS, PR_CONTAINER_CLASS,
                           CHANGE_PROP_TYPE(PR_DISPLAY_NAME, PT_UNICODE), PR_OBJECT_TYPE});
    QCOMPARE(v.hr, S_OK);
    QCOMPARE(v[0]->Value.l, count);
    QCOMPARE(v[1]->Value.l, unread);
    QCOMPARE(bool(v[2]->Value.b), subfolders);
    QCOMPARE(text(v[3]), QStringLiteral("IPF.Note"));
    QCOMPARE(v[4]->ulPropTag, CHANGE_PROP_TYPE(PR_DISPLAY_NAME, PT_UNICODE));
    QCOMPARE(text(v[4]), path.section(QLatin1Char('/'), -1));
    QCOMPARE(ULONG(v[5]->Value.l), MAPI_FOLDER);
}

void TestMaildirStore::containerClassFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("containerClass");
    QTest::newRow("first line") << QByteArray("IPF.Appointment\r\nmore") << "IPF.Appointment";
    QTest::newRow("no line end") << QByteArray("IPF.Task") << "IPF.Task";
    QTest::newRow("empty") << QByteArray() << "IPF.Note";
    QTest::newRow("control characters") << QByteArray("IPF.\x01Task") << "IPF.Note";
    QTest::newRow("too long") << QByteArray(256, 'x') << "IPF.Note";
}

// A Maildir++ folder tells its kind in a file of its own; the Inbox keeps "IPF.Note".
void TestMaildirStore::containerClassFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, containerClass);
    const QStringList files{m_root + QStringLiteral("/.Odd/vntmapi-folder-class"),
                            m_root + QStringLiteral("/vntmapi-folder-class")};
    for (const QString& path : files) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
    }
    MapiPtr<IMAPIFolder> odd = openFolder(QStringLiteral("Odd"));
    MapiPtr<IMAPIFolder> inbox = openFolder(QStringLiteral("Inbox"));
    const QString oddClass = odd ? text(Props(odd.get(), {PR_CONTAINER_CLASS})[0]) : QString();
    const QString inboxClass =
        inbox ? text(Props(inbox.get(), {PR_CONTAINER_CLASS})[0]) : QString();
    for (const QString& path : files)
        QFile::remove(path);
    QCOMPARE(oddClass, containerClass);
    QCOMPARE(inboxClass, QStringLiteral("IPF.Note"));
}

void TestMaildirStore::contentsColumns_data()
{
    // Subject, from name, from address, sender address, to, cc (the Inbox samples, in order).
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("importance");
    QTest::addColumn<int>("sample");
    QTest::newRow("unread in new/") << QStringList{"Printer jams",    "Ann Lee", "ann@example.org",
                                                   "ann@example.org", "Support", ""}
                                    << 0 << 1 << 0;
    QTest::newRow("encoded subject, bare address, two recipients")
        << QStringList{QString::fromUtf8("Grüße"), "bob@example.net",          "bob@example.net",
                       "bob@example.net",          "Ann Lee; bob@example.org", "Carl"}
        << int(MSGFLAG_READ) << 2 << 1;
    QTest::newRow("quoted name with comma, on behalf of, low priority")
        << QStringList{"account locked",   "Zed, Admin",       "zed@example.com",
                       "desk@example.com", "help@example.com", ""}
        << int(MSGFLAG_READ) << 0 << 2;
    QTest::newRow("flagged but unread")
        << QStringList{"Backup failed",    "Dee", "dee@example.org", "dee@example.org",
                       "help@example.com", ""}
        << 0 << 1 << 3;
}

void TestMaildirStore::contentsColumns()
{
    QFETCH(QStringList, texts);
    QFETCH(int, flags);
    QFETCH(int, importance);
    QFETCH(int, sample);
    RowSet rows;
    QCOMPARE(contents(openFolder(QStringLiteral("Inbox")).get(),
                      {PR_INSTANCE_KEY, PR_ENTRYID, PR_SUBJECT, PR_SENT_REPRESENTING_NAME,
                       PR_SENT_REPRESENTING_EMAIL_ADDRESS, PR_SENDER_EMAIL_ADDRESS, PR_DISPLAY_TO,
                       PR_DISPLAY_CC, PR_MESSAGE_FLAGS, PR_IMPORTANCE, PR_MESSAGE_SIZE,
                       PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_CLASS},
                      &rows),
             S_OK);
    QCOMPARE(rows.count(), 4u);
    const SRow* row = nullptr;
    for (ULONG i = 0; i < rows.count(); ++i) {
        if (text(&rows.row(i).lpProps[2]) == texts[0]) {
            row = &rows.row(i);
        }
    }
    QVERIFY2(row, qPrintable(texts[0]));
    const SPropValue* v = row->lpProps;
    QCOMPARE(v[0].Value.bin.cb, 4u);
    for (int i = 1; i < texts.size(); ++i) {
        QCOMPARE(text(&v[2 + i]), texts[i]);
    }
    QCOMPARE(v[8].Value.l, flags);
    QCOMPARE(v[9].Value.l, importance);
    const Sample& s = kSamples[sample];
    QCOMPARE(v[10].Value.l, LONG(email(s.headers).size()));
    QCOMPARE(fileTime(&v[11]), fileTimeOf(kBase.addSecs(60 * s.deliveredMinutes)));
    QCOMPARE(text(&v[12]), QStringLiteral("IPM.Note"));
}

void TestMaildirStore::missingValuesAreErrors()
{
    RowSet rows;
    QCOMPARE(contents(openFolder(QStringLiteral("Inbox")).get(),
                      {PR_SUBJECT, PR_CLIENT_SUBMIT_TIME, PR_GIVEN_NAME}, &rows),
             S_OK);
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SPropValue* v = rows.row(i).lpProps;
        QCOMPARE(isError(&v[1]), text(&v[0]) == QLatin1String("account locked")); // no Date
        QCOMPARE(v[2].ulPropTag, CHANGE_PROP_TYPE(PR_GIVEN_NAME, PT_ERROR));
        if (text(&v[0]) == QLatin1String("Printer jams")) {
            QCOMPARE(fileTime(&v[1]),
                     fileTimeOf(QDateTime(QDate(2024, 3, 4), QTime(9, 0), Qt::UTC)));
        }
    }
}

void TestMaildirStore::awkwardMessagesListed()
{
    MapiPtr<IMAPIFolder> odd = openFolder(QStringLiteral("Odd"));
    QVERIFY(odd);
    MapiPtr<IMAPITable> table;
    QCOMPARE(odd->GetContentsTable(0, table.put()), S_OK);
    SSortOrderSet sort{1, 0, 0, {{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_ASCEND}}};
    QCOMPARE(table->SortTable(&sort, 0), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_SUBJECT, PR_SENT_REPRESENTING_NAME, PR_MESSAGE_SIZE}, &rows),
             S_OK);
    QList<int> sizes; // in delivery order, as the samples are listed
    for (const Sample& s : kSamples) {
        if (QByteArray(s.folder) == ".Odd") {
            sizes << int(s.raw ? s.headers.size() : email(s.headers).size());
        }
    }
    QCOMPARE(rows.count(), 3u);
    QCOMPARE(text(&rows.row(0).lpProps[0]), QString::fromUtf8("Café € naïve"));
    QCOMPARE(text(&rows.row(0).lpProps[1]), QString::fromUtf8("José €"));
    for (ULONG i = 0; i < rows.count(); ++i) {
        QCOMPARE(rows.row(i).lpProps[2].Value.l, sizes[i]);
        if (i > 0) {
            QCOMPARE(text(&rows.row(i).lpProps[0]), QString());
            QVERIFY(isError(&rows.row(i).lpProps[1]));
        }
    }
}

void TestMaildirStore::sortTable_data()
{
    QTest::addColumn<uint>("tag");
    QTest::addColumn<uint>("order");
    QTest::addColumn<QStringList>("expected");

    const QString gruesse = QString::fromUtf8("Grüße");
    QTest::newRow("delivery time ascending")
        << uint(PR_MESSAGE_DELIVERY_TIME) << uint(TABLE_SORT_ASCEND)
        << QStringList{"account locked", "Printer jams", "Backup failed", gruesse};
    QTest::newRow("subject ignores case")
        << uint(PR_SUBJECT) << uint(TABLE_SORT_ASCEND)
        << QStringList{"account locked", "Backup failed", gruesse, "Printer jams"};
    QTest::newRow("subject asked as unicode")
        << uint(CHANGE_PROP_TYPE(PR_SUBJECT, PT_UNICODE)) << uint(TABLE_SORT_DESCEND)
        << QStringList{"Printer jams", gruesse, "Backup failed", "account locked"};
    QTest::newRow("sent time: missing first, zones honoured")
        << uint(PR_CLIENT_SUBMIT_TIME) << uint(TABLE_SORT_ASCEND)
        << QStringList{"account locked", "Backup failed", "Printer jams", gruesse};
}

void TestMaildirStore::sortTable()
{
    QFETCH(uint, tag);
    QFETCH(uint, order);
    QFETCH(QStringList, expected);
    MapiPtr<IMAPITable> table = inboxTable(tag, order);
    QVERIFY(table);
    QCOMPARE(subjects(table.get()), expected);
}

void TestMaildirStore::seekAndQuery()
{
    MapiPtr<IMAPITable> table = inboxTable(PR_MESSAGE_DELIVERY_TIME);
    QVERIFY(table);
    RowSet one;
    QCOMPARE(table->QueryRows(1, TBL_NOADVANCE, one.put()), S_OK);
    QCOMPARE(texts(one), QStringList{"account locked"});
    QCOMPARE(table->QueryRows(1, 0, one.put()), S_OK);
    QCOMPARE(texts(one), QStringList{"account locked"}); // not advanced
    QCOMPARE(table->QueryRows(1, 0, one.put()), S_OK);
    QCOMPARE(texts(one), QStringList{"Printer jams"});

    LONG sought = 0;
    QCOMPARE(table->SeekRow(BOOKMARK_END, -1, &sought), S_OK);
    QCOMPARE(sought, -1);
    QCOMPARE(subjects(table.get()), QStringList{QString::fromUtf8("Grüße")});
    QCOMPARE(table->QueryRows(1, 0, one.put()), S_OK);
    QCOMPARE(one.count(), 0u); // at the end: an empty set, not an error
    QCOMPARE(table->SeekRow(BOOKMARK_BEGINNING, 10, &sought), S_OK);
    QCOMPARE(sought, 4);
    QCOMPARE(table->QueryRows(-2, 0, one.put()), S_OK);
    QCOMPARE(texts(one), (QStringList{"Backup failed", QString::fromUtf8("Grüße")}));
    ULONG status = 1;
    QCOMPARE(table->WaitForCompletion(0, 1000, &status), S_OK);
}

void TestMaildirStore::restrict_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<HRESULT>("result");
    QTest::addColumn<QStringList>("expected");

    const QString gruesse = QString::fromUtf8("Grüße");
    const QStringList all{"account locked", "Printer jams", "Backup failed", gruesse};
    auto row = [](const char* kind, HRESULT hr, const QStringList& expected) {
        QTest::newRow(kind) << QByteArray(kind) << hr << expected;
    };
    row("unread", S_OK, {"Printer jams", "Backup failed"});
    row("high importance", S_OK, {gruesse});
    row("substring, any case", S_OK, {"account locked"});
    row("substring, exact case", S_OK, {});
    row("prefix of sender name", S_OK, {"Printer jams"});
    row("whole name", S_OK, {"Backup failed"});
    row("sharp s folds to ss", S_OK, {gruesse});
    row("sent within the time window", S_OK, {"Printer jams", gruesse});
    row("not read", S_OK, {"Printer jams", "Backup failed"});
    row("low or high", S_OK, {"account locked", gruesse});
    row("has a sent time", S_OK, {"Printer jams", "Backup failed", gruesse});
    row("value of another type", S_OK, {});
    row("unsupported kind leaves the last one", MAPI_E_TOO_COMPLEX, {gruesse});
    row("none", S_OK, all);
}

void TestMaildirStore::restrict()
{
    QFETCH(QByteArray, kind);
    QFETCH(HRESULT, result);
    QFETCH(QStringList, expected);
    MapiPtr<IMAPITable> table = inboxTable(PR_MESSAGE_DELIVERY_TIME);
    QVERIFY(table);
    {
        // Restrict first to something else: each call replaces the previous one.
        RestrictionBuilder other;
        QCOMPARE(table->Restrict(buildRestriction("high importance", &other), 0), S_OK);
    }
    RestrictionBuilder builder;
    QCOMPARE(table->Restrict(buildRestriction(kind, &builder), 0), result);
    builder = RestrictionBuilder(); // the table must not keep pointers into it
    ULONG count = 0;
    QCOMPARE(table->GetRowCount(0, &count), S_OK);
    QCOMPARE(count, ULONG(expected.size()));
    QCOMPARE(subjects(table.get()), expected);
}

void TestMaildirStore::entryIdsSurviveFlagChangeAndLogon()
{
    auto idsBySubject = [this]() {
        QHash<QString, QByteArray> ids;
        RowSet rows;
        contents(openFolder(QStringLiteral("Inbox")).get(),
                 {PR_SUBJECT, PR_ENTRYID, PR_MESSAGE_FLAGS}, &rows);
        for (ULONG i = 0; i < rows.count(); ++i) {
            const SRow& row = rows.row(i);
            ids.insert(text(&row.lpProps[0]),
                       binary(&row.lpProps[1]) + QByteArray::number(row.lpProps[2].Value.l));
        }
        return ids;
    };
    const QHash<QString, QByteArray> before = idsBySubject();
    QCOMPARE(before.size(), 4);
    // Another client marks the unread message read: it moves to cur/ with the S flag.
    const QString from = m_root + QStringLiteral("/new/1709544600.M1P100Q1.host");
    const QString to = m_root + QStringLiteral("/cur/1709544600.M1P100Q1.host:2,S");
    QVERIFY(QFile::rename(from, to));
    cleanup();
    init();
    const QHash<QString, QByteArray> after = idsBySubject();
    QVERIFY(QFile::rename(to, from));
    QCOMPARE(after.size(), 4);
    for (auto it = before.begin(); it != before.end(); ++it) {
        QByteArray expected = it.value();
        if (it.key() == QLatin1String("Printer jams")) {
            expected.chop(1);
            expected += QByteArray::number(MSGFLAG_READ);
        }
        QCOMPARE(after.value(it.key()), expected);
    }
}

void TestMaildirStore::openMessage_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("texts"); // subject, body, html
    QTest::addColumn<bool>("attachments");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("recipient"); // first row of the recipient table

    QTest::newRow("plain text") << "Inbox" << QStringList{"Printer jams", "Hello.\r\n", ""} << false
                                << 0 << "1|Support|help@example.com|SMTP";
    // The line break before a boundary belongs to the boundary, not to the part.
    QTest::newRow("alternative bodies, undeclared 8-bit text, attachment")
        << "Projects/Alpha"
        << QStringList{"Agenda", QString::fromUtf8("Grüße €, agenda attached."),
                       "<p>Agenda <b>attached</b>.</p>"}
        << true << int(MSGFLAG_READ | MSGFLAG_HASATTACH) << QString();
    QTest::newRow("not a message at all")
        << "Odd" << QStringList{"", "", ""} << false << 0 << QString();
}

void TestMaildirStore::openMessage()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, texts);
    QFETCH(bool, attachments);
    QFETCH(int, flags);
    QFETCH(QString, recipient);
    RowSet rows;
    QCOMPARE(contents(openFolder(folder).get(),
                      {PR_SUBJECT, PR_ENTRYID, PR_HASATTACH, PR_MESSAGE_SIZE}, &rows),
             S_OK);
    QByteArray id;
    for (ULONG i = 0; i < rows.count(); ++i) {
        // Among the nameless ones, the file that is garbage rather than empty.
        if (text(&rows.row(i).lpProps[0]) == texts[0] && rows.row(i).lpProps[3].Value.l != 0) {
            id = binary(&rows.row(i).lpProps[1]);
            QCOMPARE(bool(rows.row(i).lpProps[2].Value.b), attachments);
        }
    }
    QVERIFY(!id.isEmpty());
    ULONG type = 0;
    MapiPtr<IMessage> message = openEntry<IMessage>(m_session.get(), id, MAPI_BEST_ACCESS, &type);
    QVERIFY(message);
    QCOMPARE(type, MAPI_MESSAGE);
    Props v(message.get(), {PR_SUBJECT, PR_BODY, PR_BODY_HTML, PR_HASATTACH, PR_MESSAGE_FLAGS,
                            PR_TRANSPORT_MESSAGE_HEADERS});
    QVERIFY(SUCCEEDED(v.hr));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(text(v[i]), texts[i]);
    }
    QCOMPARE(bool(v[3]->Value.b), attachments);
    QCOMPARE(v[4]->Value.l, flags);
    QCOMPARE(text(v[5]).contains(QLatin1String("Subject: ") + texts[0]), !texts[0].isEmpty());
    QCOMPARE(recipientLines(message.get()).value(0), recipient);
    // Asked for by tag, the values are those GetProps of every property gives.
    Buffer<SPropValue> all;
    ULONG count = 0;
    QCOMPARE(message->GetProps(nullptr, 0, &count, all.put()), S_OK);
    for (ULONG i = 0; i < v.count; ++i) {
        const SPropValue* whole = findValue(all.get(), count, v[i]->ulPropTag);
        QCOMPARE(whole != nullptr, !isError(v[i]));
        if (whole && PROP_TYPE(whole->ulPropTag) == PT_STRING8) {
            QCOMPARE(text(whole), text(v[i]));
        } else if (whole) {
            QCOMPARE(whole->Value.l, v[i]->Value.l);
        }
    }
}

void TestMaildirStore::openEntryRejects_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<HRESULT>("result");

    QTest::newRow("folder not on disk") << QByteArray(".Nowhere") << MAPI_E_NOT_FOUND;
    QTest::newRow("message gone from disk") << QByteArray("message") << MAPI_E_NOT_FOUND;
    QTest::newRow("garbage") << QByteArray("garbage") << MAPI_E_INVALID_ENTRYID;
}

void TestMaildirStore::openEntryRejects()
{
    QFETCH(QByteArray, folder);
    QFETCH(HRESULT, result);
    // The Inbox id ends with its empty folder name; build the others from it.
    QByteArray id = inboxId(m_store.get());
    id.chop(1);
    if (folder == "message") {
        id[20] = 3; // a message of the Inbox that was never there
        id += QByteArray("\0"
                         "1709540000.M0P1Q0.host",
                         24);
    } else if (folder == "garbage") {
        id = QByteArray(48, 'x');
    } else {
        id += folder + '\0';
    }
    HRESULT hr = S_OK;
    QVERIFY(!openEntry(m_store.get(), id, MAPI_BEST_ACCESS, nullptr, &hr));
    QCOMPARE(hr, result);
}

QTEST_GUILESS_MAIN(TestMaildirStore)
#include "tst_maildirstore.moc"
