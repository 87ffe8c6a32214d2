// Deleting, moving, copying, marking, aborting and reopening messages of a real Maildir store,
// each checked on the files left in the Maildir folders.
#include "ComposeTestSetup.h"
#include "LocalServers.h"
#include "ScriptedPrompter.h"
#include "compose/AddressBook.h"
#include "compose/ContactEntry.h"
#include "compose/MessageManagement.h"
#include "compose/OutgoingState.h"
#include "compose/Recipients.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"

#include <QDialog>
#include <QListWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

namespace {

// Inbox "A" unread and "B" read, Deleted Items "C", an empty Archive, a draft "Quote" in
// Drafts with two recipients (as another program writes them), and one contact.
const QList<std::pair<const char*, QByteArray>> kFiles = {
    {"Maildir/cur/1700000001.M1P1.test:2,", "Subject: A\r\n\r\nfirst\r\n"},
    {"Maildir/cur/1700000002.M2P1.test:2,S", "Subject: B\r\n\r\nsecond\r\n"},
    {"Maildir/.Deleted Items/cur/1700000003.M3P1.test:2,S", "Subject: C\r\n\r\nold\r\n"},
    {"Maildir/.Drafts/cur/1700000004.M4P1.test:2,DS",
     "To: Ann Archer <ann@example.com>\r\nCc: Carl Diaz <carl@example.org>\r\n"
     "Subject: Quote\r\n\r\nDraft body\r\n"},
    {"contacts/ann.vcf",
     "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:a1\r\nFN:Ann Archer\r\nEMAIL:ann@example.com\r\n"
     "END:VCARD\r\n"},
};

// Everything a command runs against, over a fresh store.
struct Env
{
    composetest::MailFixture fixture;
    composetest::TestComposeHost host;
    std::unique_ptr<OutgoingState> state;
    std::unique_ptr<AddressBook> book;
    std::unique_ptr<ContactEntry> contacts;
    std::unique_ptr<Recipients> recipients;
    std::unique_ptr<MessageManagement> manage;
    Qt::KeyboardModifiers modifiers;

    bool start(const QByteArray& storeExtra = {})
    {
        for (const auto& [path, text] : kFiles) {
            if (!mailtest::writeFile(fixture.path(path), text))
                return false;
        }
        for (const char* folder : {"Deleted Items", "Drafts", "Archive"}) {
            for (const char* sub : {"cur", "new", "tmp"})
                QDir().mkpath(fixture.path("Maildir/.") + QLatin1StringView(folder) + u'/' +
                              QLatin1StringView(sub));
        }
        if (!fixture.setUp(storeExtra))
            return false;
        state = std::make_unique<OutgoingState>(*fixture.mail, host);
        book = std::make_unique<AddressBook>(*state);
        contacts = std::make_unique<ContactEntry>(*state, *book);
        recipients = std::make_unique<Recipients>(*state, *book, *contacts);
        manage = std::make_unique<MessageManagement>(*state, *book, *recipients);
        manage->setModifierQuery([this] { return modifiers; });
        fixture.tree.resize(300, 500);
        fixture.tree.expandAll();
        fixture.tree.show();
        return true;
    }
    QTreeWidgetItem* item(const QString& folder)
    {
        return fixture.tree.findItems(folder, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    int sequenceOf(const QString& folder) { return item(folder)->data(0, Qt::UserRole).toInt(); }
    // Shows `folder` in the list and selects the rows showing `subjects`.
    void show(const QString& folder, const QStringList& subjects)
    {
        fixture.tree.setCurrentItem(nullptr); // shown afresh, even when shown already
        fixture.tree.setCurrentItem(item(folder));
        QTreeView& list = fixture.list;
        list.clearSelection();
        for (int row = 0; row < list.model()->rowCount(); ++row) {
            for (int column = 0; column < list.model()->columnCount(); ++column) {
                const QString text = list.model()->index(row, column).data().toString();
                if (!text.isEmpty() && subjects.contains(text))
                    list.selectionModel()->select(list.model()->index(row, 0),
                                                  QItemSelectionModel::Select |
                                                      QItemSelectionModel::Rows);
            }
        }
    }
    // Subjects of the messages in a folder's files ("" the Inbox), each with "*" when read.
    QString stored(const QString& folder)
    {
        QStringList found;
        const QString root =
            fixture.path("Maildir") + (folder.isEmpty() ? u""_s : u"/."_s + folder);
        for (const char* sub : {"/cur", "/new"}) {
            const QDir dir(root + QLatin1StringView(sub));
            for (const QString& name : dir.entryList(QDir::Files)) {
                QFile file(dir.filePath(name));
                file.open(QIODevice::ReadOnly);
                const QByteArray text = file.readAll();
                const qsizetype at = text.indexOf("Subject: ") + 9;
                found << QString::fromUtf8(text.mid(at, text.indexOf('\n', at) - at)).trimmed() +
                             (name.section(u":2,"_s, 1).contains(u'S') ? u"*"_s : u""_s);
            }
        }
        found.sort();
        return found.join(u' ');
    }
};

QStringList messages(const QList<int>& ids)
{
    QStringList all;
    for (int id : ids)
        all << MessageText(id);
    return all;
}

QStringList texts(const ScriptedPrompter& prompter)
{
    QStringList all;
    for (const ScriptedPrompter::Notice& notice : prompter.notices()) {
        if (notice.kind != ScriptedPrompter::Notice::Dialog)
            all << notice.text;
    }
    return all;
}

// Chooses `folder` in the folder chooser.
std::function<int(QDialog&)> choose(Env& env, const QString& folder)
{
    return [&env, folder](QDialog& dialog) {
        const auto& records = env.fixture.mail->folders().records();
        for (int i = 0; i < records.size(); ++i) {
            if (records[i].name == folder)
                dialog.findChild<QListWidget*>(u"c1108"_s)->setCurrentRow(i);
        }
        return int(QDialog::Accepted);
    };
}

} // namespace

class TestMessageManagement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each command on the selection of a folder: what is asked or told, and where the
    // messages are afterwards (Inbox, Deleted Items, Archive).
    void commands_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("target"); // the folder chosen or dropped on; the answer
        QTest::addColumn<QList<int>>("notices");
        QTest::addColumn<QString>("inbox");
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<QString>("archive");
        const QString inbox = u"Inbox"_s, trash = u"Deleted Items"_s, archive = u"Archive"_s;
        const QString both = u"A B*"_s, c = u"C*"_s;
        const QList<int> none, asked{25610}, already{20096};
        QTest::newRow("delete: to Deleted Items unasked")
            << inbox << u"A"_s << u"delete"_s << u""_s << none << u"B*"_s << u"A C*"_s << u""_s;
        QTest::newRow("shift-delete, yes: for good")
            << inbox << u"A"_s << u"shift-delete"_s << u"yes"_s << asked << u"B*"_s << c << u""_s;
        QTest::newRow("shift-delete, no: to Deleted Items")
            << inbox << u"A"_s << u"shift-delete"_s << u"no"_s << asked << u"B*"_s << u"A C*"_s
            << u""_s;
        QTest::newRow("delete in Deleted Items, yes")
            << trash << u"C"_s << u"delete"_s << u"yes"_s << asked << both << u""_s << u""_s;
        QTest::newRow("delete in Deleted Items, no")
            << trash << u"C"_s << u"delete"_s << u"no"_s << asked << both << c << u""_s;
        QTest::newRow("shift-delete in Deleted Items: unasked")
            << trash << u"C"_s << u"shift-delete"_s << u""_s << none << both << u""_s << u""_s;
        QTest::newRow("delete nothing")
            << inbox << u""_s << u"delete"_s << u""_s << QList<int>{25609} << both << c << u""_s;
        QTest::newRow("move") << inbox << u"A"_s << u"move"_s << archive << none << u"B*"_s << c
                              << u"A"_s;
        QTest::newRow("copy") << inbox << u"A"_s << u"copy"_s << archive << none << both << c
                              << u"A"_s;
        QTest::newRow("drag") << inbox << u"A"_s << u"drag"_s << archive << none << u"B*"_s << c
                              << u"A"_s;
        QTest::newRow("drag with ctrl")
            << inbox << u"A"_s << u"ctrl-drag"_s << archive << none << both << c << u"A"_s;
        QTest::newRow("drag onto its own folder")
            << inbox << u"A"_s << u"drag"_s << inbox << already << both << c << u""_s;
        QTest::newRow("move to its own folder")
            << inbox << u"A"_s << u"move"_s << inbox << already << both << c << u""_s;
        QTest::newRow("drag onto the store")
            << inbox << u"A"_s << u"drag"_s << u"Mail"_s << none << both << c << u""_s;
        QTest::newRow("copy a contact to a mail folder")
            << u"Contacts"_s << u"Ann Archer"_s << u"copy"_s << archive << QList<int>{25719} << both
            << c << u""_s;
        QTest::newRow("read") << inbox << u"A"_s << u"read"_s << u""_s << none << u"A* B*"_s << c
                              << u""_s;
        QTest::newRow("unread two")
            << inbox << u"A,B"_s << u"unread"_s << u""_s << none << u"A B"_s << c << u""_s;
        QTest::newRow("all read, none selected")
            << inbox << u""_s << u"allread"_s << u""_s << none << u"A* B*"_s << c << u""_s;
    }
    void commands()
    {
        QFETCH(QString, folder);
        QFETCH(QString, selected);
        QFETCH(QString, action);
        QFETCH(QString, target);
        QFETCH(QList<int>, notices);
        static const QHash<QString, int> ids = {{u"delete"_s, MessageManagement::kCmdDelete},
                                                {u"move"_s, MessageManagement::kCmdMove},
                                                {u"copy"_s, MessageManagement::kCmdCopy},
                                                {u"read"_s, MessageManagement::kCmdMarkRead},
                                                {u"unread"_s, MessageManagement::kCmdMarkUnread},
                                                {u"allread"_s, MessageManagement::kCmdMarkAllRead}};
        ScriptedPrompter prompter;
        Env env;
        QVERIFY(env.start());
        CommandRouter router;
        env.manage->bindCommands(router);
        env.show(folder, selected.split(u',', Qt::SkipEmptyParts));
        target == u"yes" ? prompter.answerYes() : prompter.answerNo();
        env.modifiers = action.startsWith(u"shift")  ? Qt::ShiftModifier
                        : action.startsWith(u"ctrl") ? Qt::ControlModifier
                                                     : Qt::NoModifier;
        if (action.endsWith(u"drag")) {
            QTreeWidget& tree = env.fixture.tree;
            QTreeWidgetItem* item = target == u"Mail" ? tree.topLevelItem(0) : env.item(target);
            Q_EMIT env.fixture.mail->messages().dragFinished(
                tree.viewport()->mapToGlobal(tree.visualItemRect(item).center()));
        } else {
            prompter.dialogScript(choose(env, target));
            QVERIFY(router.execute(ids.value(action.section(u'-', -1))));
        }
        QCOMPARE(texts(prompter), messages(notices));
        QTEST(env.stored({}), "inbox");
        QTEST(env.stored(u"Deleted Items"_s), "deleted");
        QTEST(env.stored(u"Archive"_s), "archive");
    }

    // A message waiting in the send queue (its server does not answer) is locked: it cannot
    // be reopened, its submission can be aborted once, and one sent meanwhile cannot.
    void abortSubmission()
    {
        ScriptedPrompter prompter;
        Env env;
        const int closedPort = freeLocalPort();
        QVERIFY(env.start("\n[Transport Test]\nKind=smtp\nHost=127.0.0.1\nPort=" +
                          QByteArray::number(closedPort) + "\nSecurity=none\nRetrySeconds=3600\n"));
        const QString spool = env.fixture.path("Maildir/.Outbox/vantrel-spool");
        const auto submit = [&](const char* subject) {
            QVERIFY(env.state->OpenOutbox() && env.state->CreateOutgoingMessage());
            SPropValue value{PR_SUBJECT, 0, {}};
            value.Value.lpszA = const_cast<char*>(subject);
            AdrList to(env.state->api());
            RecipientRow row;
            row.displayName = u"Ann"_s;
            row.address = u"ann@example.org"_s;
            row.addressType = u"SMTP"_s;
            row.recipientType = MAPI_TO;
            QVERIFY(to.append(row));
            IMessage* message = env.state->message();
            QCOMPARE(message->SetProps(1, &value, nullptr), S_OK);
            QCOMPARE(message->ModifyRecipients(MODRECIP_ADD, to.get()), S_OK);
            QCOMPARE(message->SubmitMessage(FORCE_SUBMIT), S_OK);
            env.state->ClearOutgoing(true, true);
            // Tried once and waiting again, not in flight.
            const auto record = [&] {
                QFile file(spool + u'/' + QDir(spool).entryList({u"*.rec"_s}).value(0));
                return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            };
            QTRY_VERIFY_WITH_TIMEOUT(
                record().contains("state=queued\n") && record().contains("attempts=1\n"), 10000);
        };
        submit("Queued");
        env.show(u"Outbox"_s, {u"Queued"_s});
        env.host.body.setPlainText(u"typed"_s);
        env.manage->OnOpenDraft();
        QVERIFY(!env.state->message());
        QCOMPARE(env.state->mode(), OutgoingMode::None);
        QCOMPARE(env.host.body.toPlainText(), u"typed"_s);
        // Neither moved nor deleted while it waits, and neither passed off as done.
        QVERIFY(!env.manage->MoveOrCopySelected(env.sequenceOf(u"Archive"_s), true));
        prompter.answerYes();
        env.modifiers = Qt::ShiftModifier;
        env.manage->OnDelete();
        QCOMPARE(texts(prompter), messages({20174, 20094, 25610, 25612}));
        QCOMPARE(env.stored(u"Outbox"_s), u"Queued*"_s);
        QCOMPARE(env.stored(u"Archive"_s), u""_s);

        prompter.clear();
        env.show(u"Outbox"_s, {u"Queued"_s});
        env.manage->OnAbortSubmit();
        QCOMPARE(texts(prompter), QStringList{});
        QVERIFY(QDir(spool).entryList({u"*.rec"_s}).isEmpty());
        const QStringList drafts = QDir(env.fixture.path("Maildir/.Outbox/cur")).entryList();
        QVERIFY(drafts.filter(u":2,D"_s).size() == 1);
        env.manage->OnAbortSubmit();
        QCOMPARE(texts(prompter), QStringList{MessageText(25716)});

        // Sent by the spooler, and gone from the Outbox, while the list still shows it.
        prompter.clear();
        submit("Sent");
        env.show(u"Outbox"_s, {u"Sent"_s});
        for (const QString& name : QDir(spool).entryList(QDir::Files))
            QVERIFY(QFile::remove(spool + u'/' + name));
        const QDir outbox(env.fixture.path("Maildir/.Outbox/cur"));
        for (const QString& name : outbox.entryList(QDir::Files)) {
            if (!name.contains(u":2,D"_s))
                QVERIFY(QFile::rename(outbox.filePath(name),
                                      env.fixture.path("Maildir/.Sent Items/cur/") + name));
        }
        env.manage->OnAbortSubmit();
        QCOMPARE(texts(prompter), QStringList{MessageText(20136)});
    }

    // A double click on the draft reopens it: it leaves Drafts and lives on in the Outbox, its
    // recipients, subject and text in the boxes.
    void openDraft()
    {
        ScriptedPrompter prompter;
        Env env;
        QVERIFY(env.start());
        CommandRouter router;
        env.manage->bindCommands(router);
        env.show(u"Drafts"_s, {u"Quote"_s});
        QVERIFY(router.state(MessageManagement::kCmdOpenDraft).enabled);
        env.host.read.setPlainText(env.fixture.mailHost.box.toPlainText());
        Q_EMIT env.fixture.mail->messages().editUnsentRequested();
        QCOMPARE(texts(prompter), QStringList{});
        QCOMPARE(env.state->mode(), OutgoingMode::Composing);
        QVERIFY(env.state->message());
        QVERIFY(!router.state(MessageManagement::kCmdOpenDraft).enabled);
        QCOMPARE(env.stored(u"Drafts"_s), u""_s);
        QCOMPARE(env.stored(u"Outbox"_s), u"Quote*"_s);
        QCOMPARE(env.host.to.toPlainText().trimmed(), u"Ann Archer;"_s);
        QCOMPARE(env.host.cc.toPlainText().trimmed(), u"Carl Diaz;"_s);
        QCOMPARE(env.state->pending().count(), 2U);
        QCOMPARE(env.host.subject.text(), u"Quote"_s);
        QVERIFY(env.host.body.toPlainText().contains(u"Draft body"_s));
        QCOMPARE(env.host.shown, QList<int>{ComposeHost::kToBox});

        // Only one outgoing message at a time.
        env.show(u"Inbox"_s, {u"A"_s, u"B"_s});
        env.manage->OnOpenDraft();
        QCOMPARE(texts(prompter), QStringList{MessageText(25720)});
        env.state->setMode(OutgoingMode::None);
        env.manage->OnOpenDraft();
        QCOMPARE(texts(prompter).last(), MessageText(25615));
    }
};

QTEST_MAIN(TestMessageManagement)
#include "tst_messagemanagement.moc"
