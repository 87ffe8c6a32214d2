// Deleting, moving, copying, marking, aborting and reopening messages of a real Maildir store,
// each checked on the files left in the Maildir folders.
#include "ComposeTestSetup.h"
#include "LocalServers.h"
#include "ScriptedPrompter.h"
#include "compose/ComposeController.h"
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
    std::unique_ptr<ComposeController> compose;
    OutgoingState* state = nullptr;
    MessageManagement* manage = nullptr;
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
        compose = std::make_unique<ComposeController>(*fixture.mail, host);
        state = &compose->state();
        manage = &compose->management();
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
    // Shows `folder` in the list and selects the rows showing `subjects`.
    bool show(const QString& folder, const QStringList& subjects)
    {
        fixture.tree.setCurrentItem(nullptr); // shown afresh, even when shown already
        fixture.tree.setCurrentItem(item(folder));
        return composetest::selectRows(fixture.list, subjects);
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
        QTest::addColumn<QString>("after"); // Inbox/Deleted Items/Archive
        const auto row = [](const char* name, const char* folder, const char* selected,
                            const char* action, const char* target, const QList<int>& notices,
                            const char* after) {
            QTest::newRow(name) << QString::fromUtf8(folder) << QString::fromUtf8(selected)
                                << QString::fromUtf8(action) << QString::fromUtf8(target) << notices
                                << QString::fromUtf8(after);
        };
        const char *inbox = "Inbox", *trash = "Deleted Items", *archive = "Archive";
        const QList<int> none, asked{25610}, already{20096};
        row("delete: to Deleted Items unasked", inbox, "A", "delete", "", none, "B*/A C*/");
        row("shift-delete, yes: for good", inbox, "A", "shift-delete", "yes", asked, "B*/C*/");
        row("shift-delete, no: to Deleted Items", inbox, "A", "shift-delete", "no", asked,
            "B*/A C*/");
        row("delete in Deleted Items, yes", trash, "C", "delete", "yes", asked, "A B*//");
        row("delete in Deleted Items, no", trash, "C", "delete", "no", asked, "A B*/C*/");
        row("shift-delete in Deleted Items: unasked", trash, "C", "shift-delete", "", none,
            "A B*//");
        row("delete nothing", inbox, "", "delete", "", {25609}, "A B*/C*/");
        row("move", inbox, "A", "move", archive, none, "B*/C*/A");
        row("copy", inbox, "A", "copy", archive, none, "A B*/C*/A");
        row("drag", inbox, "A", "drag", archive, none, "B*/C*/A");
        row("drag with ctrl", inbox, "A", "ctrl-drag", archive, none, "A B*/C*/A");
        row("drag onto its own folder", inbox, "A", "drag", inbox, already, "A B*/C*/");
        row("move to its own folder", inbox, "A", "move", inbox, already, "A B*/C*/");
        row("drag onto the store", inbox, "A", "drag", "Mail", none, "A B*/C*/");
        row("copy a contact to a mail folder", "Contacts", "Ann Archer", "copy", archive, {25719},
            "A B*/C*/");
        row("read", inbox, "A", "read", "", none, "A* B*/C*/");
        row("unread two", inbox, "A,B", "unread", "", none, "A B/C*/");
        row("all read, none selected", inbox, "", "allread", "", none, "A* B*/C*/");
    }
    void commands()
    {
        QFETCH(QString, folder);
        QFETCH(QString, selected);
        QFETCH(QString, action);
        QFETCH(QString, target);
        QFETCH(QList<int>, notices);
        using M = MessageManagement;
        static const QHash<QString, int> ids = {
            {u"delete"_s, M::kCmdDelete},     {u"move"_s, M::kCmdMove},
            {u"copy"_s, M::kCmdCopy},         {u"read"_s, M::kCmdMarkRead},
            {u"unread"_s, M::kCmdMarkUnread}, {u"allread"_s, M::kCmdMarkAllRead}};
        ScriptedPrompter prompter;
        Env env;
        QVERIFY(env.start());
        CommandRouter router;
        env.manage->bindCommands(router);
        QVERIFY(env.show(folder, selected.split(u',', Qt::SkipEmptyParts)));
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
            prompter.dialogScript([&](QDialog& dialog) { // chooses `target`
                const auto& records = env.fixture.mail->folders().records();
                for (int i = 0; i < records.size(); ++i) {
                    if (records[i].name == target)
                        dialog.findChild<QListWidget*>(u"c1108"_s)->setCurrentRow(i);
                }
                return int(QDialog::Accepted);
            });
            QVERIFY(router.execute(ids.value(action.section(u'-', -1))));
        }
        QCOMPARE(texts(prompter), messages(notices));
        QTEST(env.stored({}) + u'/' + env.stored(u"Deleted Items"_s) + u'/' +
                  env.stored(u"Archive"_s),
              "after");
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
        QVERIFY(env.show(u"Outbox"_s, {u"Queued"_s}));
        env.host.body.setPlainText(u"typed"_s);
        env.manage->OnOpenDraft();
        QVERIFY(!env.state->message());
        QCOMPARE(env.state->mode(), OutgoingMode::None);
        QCOMPARE(env.host.body.toPlainText(), u"typed"_s);
        // Neither moved nor deleted while it waits, and neither passed off as done.
        QVERIFY(!env.manage->MoveOrCopySelected(
            env.item(u"Archive"_s)->data(0, Qt::UserRole).toInt(), true));
        prompter.answerYes();
        env.modifiers = Qt::ShiftModifier;
        env.manage->OnDelete();
        QCOMPARE(texts(prompter), messages({20174, 20094, 25610, 25612}));
        QCOMPARE(env.stored(u"Outbox"_s), u"Queued*"_s);
        QCOMPARE(env.stored(u"Archive"_s), u""_s);

        prompter.clear();
        QVERIFY(env.show(u"Outbox"_s, {u"Queued"_s}));
        env.manage->OnAbortSubmit();
        QCOMPARE(texts(prompter), QStringList{});
        QVERIFY(QDir(spool).entryList({u"*.rec"_s}).isEmpty());
        QCOMPARE(QDir(env.fixture.path("Maildir/.Outbox/cur")).entryList().filter(u":2,D"_s).size(),
                 1);
        env.manage->OnAbortSubmit();
        QCOMPARE(texts(prompter), QStringList{MessageText(25716)});

        // Sent by the spooler, and gone from the Outbox, while the list still shows it.
        prompter.clear();
        submit("Sent");
        QVERIFY(env.show(u"Outbox"_s, {u"Sent"_s}));
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
        QVERIFY(env.show(u"Drafts"_s, {u"Quote"_s}));
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
        QVERIFY(env.show(u"Inbox"_s, {u"A"_s, u"B"_s}));
        env.manage->OnOpenDraft();
        QCOMPARE(texts(prompter), QStringList{MessageText(25720)});
        env.state->setMode(OutgoingMode::None);
        env.manage->OnOpenDraft();
        QCOMPARE(texts(prompter).last(), MessageText(25615));
    }
};

QTEST_MAIN(TestMessageManagement)
#include "tst_messagemanagement.moc"
