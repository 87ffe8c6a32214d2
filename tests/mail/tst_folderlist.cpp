// The folder list and tree over real Maildir stores through a real logon: which folders are
// listed and where they hang, the contacts folders, folder notifications from outside, and
// what a selection in the tree hands on.
#include "MailTestSetup.h"
#include "ScriptedPrompter.h"
#include "mail/FolderImages.h"
#include "mail/FolderList.h"
#include "mail/FolderTree.h"
#include "mail/MailSession.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace vantrel::mail;

namespace {

using C = FolderClass;

// Each record's mask says which setting it came from.
ColumnMask MaskOf(MaskKind kind)
{
    return 0x100u + static_cast<ColumnMask>(kind);
}

// Path, depth, class, image and store slot of each record, in list order. The default store
// holds the role folders, a contacts vdir, a calendar with a mail folder under it, a task
// folder, a folder of the IMAP class and a chain five deep.
const QStringList kMailStore = {u"Inbox 0 0 2 0"_s,
                                u"Contacts 0 5 7 0"_s,
                                u"Deleted Items 0 3 5 0"_s,
                                u"Drafts 0 10 6 0"_s,
                                u"Outbox 0 1 4 0"_s,
                                u"Projects 0 10 6 0"_s,
                                u"Projects\\Alpha 1 10 6 0"_s,
                                u"Projects\\Alpha\\Plans 2 10 6 0"_s,
                                u"Projects\\Alpha\\Plans\\V1 3 10 6 0"_s,
                                u"Projects\\Alpha\\Plans\\V1\\Old 4 10 6 0"_s,
                                u"Sent Items 0 2 3 0"_s,
                                u"Server 0 11 6 0"_s};
// A second store: only its own Deleted items is known by identifier.
const QStringList kArchiveStore = {u"Inbox 0 10 6 1"_s,      u"Deleted Items 0 3 5 1"_s,
                                   u"Drafts 0 10 6 1"_s,     u"Outbox 0 10 6 1"_s,
                                   u"Sent Items 0 10 6 1"_s, u"Years 0 10 6 1"_s,
                                   u"Years\\2023 1 10 6 1"_s};

// One logon with its folder list; the list goes before the session.
struct Logon
{
    ScriptedPrompter prompter;
    MailSession session{nullptr, QCoreApplication::applicationFilePath()};
    FolderList list{session};

    bool open() { return session.logon(LogonSettings{}) && list.build(MaskOf); }
    QStringList storeNames() const
    {
        QStringList names;
        for (int slot = 0; slot < session.storeCount(); ++slot)
            names.append(session.storeName(slot));
        return names;
    }
};

} // namespace

class TestFolderList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void list_data();
    void list();
    void tree();
    void containerClass_data();
    void containerClass();
    void contacts_data();
    void contacts();
    void notifications();
    void selection();
    void images();

private:
    void makeFolder(const QString& store, const QString& folder, const QByteArray& kind = {});
    void install(const QByteArray& profiles);

    QTemporaryDir m_dir;
};

void TestFolderList::makeFolder(const QString& store, const QString& folder, const QByteArray& kind)
{
    const QString dir = m_dir.filePath(store + u'/' + folder);
    for (const char* sub : {"cur", "new", "tmp"})
        QVERIFY(QDir().mkpath(dir + u'/' + QLatin1StringView(sub)));
    if (kind.isEmpty())
        return;
    QFile file(dir + u"/vntmapi-folder-class"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(kind) == kind.size());
}

void TestFolderList::install(const QByteArray& profiles)
{
    QVERIFY(mailtest::installMailClient(m_dir.path(), profiles));
}

const QByteArray kMailProfile = "[Profile Test]\nDefault=true\nStores=Mail\n"
                                "[Store Test/Mail]\nPath=@ROOT@/mail\nContacts=@ROOT@/cards\n";
const QByteArray kTwoStores = "[Profile Test]\nDefault=true\nStores=Mail;Archive\n"
                              "[Store Test/Mail]\nPath=@ROOT@/mail\nContacts=@ROOT@/cards\n"
                              "Default=true\n[Store Test/Archive]\nPath=@ROOT@/archive\n";
const QByteArray kArchiveOnly = "[Profile Test]\nDefault=true\nStores=Archive\n"
                                "[Store Test/Archive]\nPath=@ROOT@/archive\n";

void TestFolderList::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(m_dir.filePath(u"cards"_s)));
    makeFolder(u"mail"_s, {});
    for (const QString& folder : {u".Projects.Alpha.Plans.V1.Old"_s, u".Calendar.Holidays"_s})
        makeFolder(u"mail"_s, folder);
    makeFolder(u"mail"_s, u".Calendar"_s, "IPF.Appointment");
    makeFolder(u"mail"_s, u".Chores"_s, "IPM.Task");
    makeFolder(u"mail"_s, u".Server"_s, "IPF.Imap");
    makeFolder(u"archive"_s, {});
    makeFolder(u"archive"_s, u".Years.2023"_s);
}

void TestFolderList::list_data()
{
    QTest::addColumn<QByteArray>("profiles");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one store") << kMailProfile << kMailStore;
    QTest::newRow("two stores") << kTwoStores << kMailStore + kArchiveStore;
}

void TestFolderList::list()
{
    QFETCH(QByteArray, profiles);
    QFETCH(QStringList, expected);
    install(profiles);
    Logon logon;
    QVERIFY(logon.open());
    QStringList listed;
    for (const FolderRecord& record : logon.list.records()) {
        listed << u"%1 %2 %3 %4 %5"_s.arg(record.path)
                      .arg(record.depth)
                      .arg(int(record.folderClass))
                      .arg(record.image)
                      .arg(record.storeSlot);
        QCOMPARE(record.name, record.path.section(u'\\', -1));
        QCOMPARE(record.sequence, listed.size() - 1);
        QCOMPARE(logon.list.bySequence(record.sequence), &record);
        QCOMPARE(record.columnMask, MaskOf(MaskKindOf(record.folderClass)));
        QVERIFY(!record.entryId.isEmpty());
        QCOMPARE(record.parentEntryId.isEmpty(), record.folderClass != C::Contacts);
    }
    QCOMPARE(listed, expected);
    QCOMPARE(logon.list.firstOfClass(C::Deleted)->path, u"Deleted Items"_s);
    QVERIFY(!logon.list.bySequence(int(expected.size())));
    // Logoff forgets the role folders; the next build reads them again.
    logon.list.clear();
    QVERIFY(logon.list.records().isEmpty() && !logon.list.knownFolders().isRead(0));
    QVERIFY(logon.list.build(MaskOf));
    QCOMPARE(logon.list.records().size(), expected.size());
}

void TestFolderList::tree()
{
    install(kTwoStores);
    Logon logon;
    QVERIFY(logon.open());
    QTreeWidget widget;
    FolderTree tree(&widget, nullptr, {});
    tree.fill(logon.list, logon.storeNames());
    QCOMPARE(widget.topLevelItemCount(), 2);
    QStringList shape;
    const auto describe = [&](auto&& self, QTreeWidgetItem* item, const QString& indent) -> void {
        const bool marked = item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
        shape << indent + item->text(0) + u' ' +
                     QString::number(item->data(0, FolderTree::kParameterRole).toInt()) +
                     (marked ? u" +"_s : QString());
        QCOMPARE(marked, item->childCount() > 0 || !item->parent());
        for (int i = 0; i < item->childCount(); ++i)
            self(self, item->child(i), indent + u"  "_s);
    };
    for (int i = 0; i < widget.topLevelItemCount(); ++i)
        describe(describe, widget.topLevelItem(i), QString());
    // "Old" (depth 4) hangs under the last depth-2 item, beside its parent "V1".
    const QStringList expected{u"Mail -1 +"_s,          u"  Inbox 0"_s,     u"  Contacts 1"_s,
                               u"  Deleted Items 2"_s,  u"  Drafts 3"_s,    u"  Outbox 4"_s,
                               u"  Projects 5 +"_s,     u"    Alpha 6 +"_s, u"      Plans 7 +"_s,
                               u"        V1 8"_s,       u"        Old 9"_s, u"  Sent Items 10"_s,
                               u"  Server 11"_s,        u"Archive -1 +"_s,  u"  Inbox 12"_s,
                               u"  Deleted Items 13"_s, u"  Drafts 14"_s,   u"  Outbox 15"_s,
                               u"  Sent Items 16"_s,    u"  Years 17 +"_s,  u"    2023 18"_s};
    QCOMPARE(shape, expected);
    tree.clear();
    QCOMPARE(widget.topLevelItemCount(), 0);
}

void TestFolderList::containerClass_data()
{
    QTest::addColumn<std::optional<QString>>("containerClass");
    QTest::addColumn<FolderClass>("folderClass");
    const auto row = [](const char* name, std::optional<QString> text, FolderClass c) {
        QTest::newRow(name) << text << c;
    };
    row("missing", std::nullopt, C::Unclassified);
    row("empty", u""_s, C::Unclassified);
    row("mail, either prefix", u"IPM.Note.Custom"_s, C::Mail);
    row("IMAP", u"IPF.Imap"_s, C::Imap);
    row("IMAP with more text", u"IPF.Imap2"_s, C::OtherItems);
    row("calendar", u"IPF.Appointment"_s, C::Calendar);
    row("contacts", u"IPF.Contact"_s, C::Contacts);
    row("journal", u"IPF.Journal"_s, C::Journal);
    row("notes", u"IPF.StickyNote"_s, C::Notes);
    row("tasks", u"IPF.Task"_s, C::Tasks);
    row("other items", u"IPF.Whatever"_s, C::OtherItems);
    row("any third character", u"IPX.Note"_s, C::Mail);
    row("prefix alone", u"IPF."_s, C::OtherItems);
    row("three characters stay", u"IPF"_s, C::Unclassified);
    row("case counts", u"ipf.note"_s, C::Unclassified);
}

void TestFolderList::containerClass()
{
    QFETCH(std::optional<QString>, containerClass);
    QFETCH(FolderClass, folderClass);
    QCOMPARE(ClassOfContainerClass(containerClass), folderClass);
}

void TestFolderList::contacts_data()
{
    QTest::addColumn<QByteArray>("profiles");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("notices");
    QTest::newRow("contacts vdir") << kTwoStores << QStringList{u"Contacts"_s} << QStringList();
    QTest::newRow("none") << kArchiveOnly << QStringList()
                          << QStringList{
                                 u"Warning!: No Contact address folders - please add one!"_s};
}

void TestFolderList::contacts()
{
    QFETCH(QByteArray, profiles);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, notices);
    install(profiles);
    Logon logon;
    QVERIFY(logon.open());
    QCOMPARE(logon.list.buildContactsList(nullptr), !folders.isEmpty());
    QStringList names, shown;
    for (const ContactsFolder& folder : logon.list.contactsFolders()) {
        names << folder.name;
        QCOMPARE(folder.entryId, logon.list.firstOfClass(C::Contacts)->entryId);
        QVERIFY(!folder.parentEntryId.isEmpty());
    }
    for (const ScriptedPrompter::Notice& notice : logon.prompter.notices())
        shown << notice.title + u": "_s + notice.text;
    QCOMPARE(names, folders);
    QCOMPARE(shown, notices);
    QCOMPARE(logon.list.adviseContacts({}), true);
    QVERIFY(!logon.list.firstOfClass(C::Contacts) ||
            logon.list.firstOfClass(C::Contacts)->adviseConnection != 0);
}

void TestFolderList::notifications()
{
    install(kTwoStores);
    Logon logon;
    QVERIFY(logon.open());
    QList<FolderEventAction> seen;
    FolderList& list = logon.list;
    const auto handler = [&](int sequence, const NOTIFICATION& notification) {
        FolderRecord* record = list.bySequence(sequence);
        seen << HandleFolderEvent(notification, record != nullptr);
        if (seen.constLast() == FolderEventAction::FolderCreated) {
            ShowFoldersModifiedWarning(nullptr);
            list.removeAdvise(*record);
        }
    };
    FolderRecord* inbox = list.firstOfClass(C::Inbox);
    FolderRecord* projects = list.bySequence(5);
    QVERIFY(list.adviseInbox(*inbox, handler) && list.adviseInbox(*projects, handler));
    const ULONG connection = inbox->adviseConnection;
    QVERIFY(list.adviseInbox(*inbox, handler)); // already advised: kept as it is
    QCOMPARE(inbox->adviseConnection, connection);

    // Another program delivers into the Inbox, and makes a folder below "Projects".
    QFile mail(m_dir.filePath(u"mail/new/1700000000.M1P1Q1.other"_s));
    QVERIFY(mail.open(QIODevice::WriteOnly));
    mail.write("From: ann@example.org\r\nSubject: Hello\r\n\r\nHi\r\n");
    mail.close();
    QTRY_COMPARE(seen, QList{FolderEventAction::MessageCreated});
    makeFolder(u"mail"_s, u".Projects.Beta"_s);
    QTRY_COMPARE(seen.size(), 2);
    QCOMPARE(seen.constLast(), FolderEventAction::FolderCreated);
    QVERIFY(!projects->sink && projects->adviseConnection == 0);
    QCOMPARE(logon.prompter.notices().size(), 1);
    QCOMPARE(logon.prompter.notices().constFirst().title,
             u"This warning will not be repeated during this session"_s);

    // A folder of another store cannot be advised through store 0: its sink goes.
    FolderRecord* archived = list.bySequence(17);
    QCOMPARE(archived->storeSlot, 1);
    QVERIFY(!list.adviseInbox(*archived, handler));
    QVERIFY(!archived->sink && archived->adviseConnection == 0);

    list.removeAdvises();
    QVERIFY(!inbox->sink && inbox->adviseConnection == 0);
    QVERIFY(mail.remove() && QDir(m_dir.filePath(u"mail/.Projects.Beta"_s)).removeRecursively());
}

void TestFolderList::selection()
{
    install(kMailProfile);
    Logon logon;
    QVERIFY(logon.open());
    QTreeWidget widget;
    QMenu popup;
    popup.addAction(u"Open preferences"_s);
    bool ready = false;
    FolderTree tree(&widget, &popup, [&] { return ready; });
    tree.fill(logon.list, logon.storeNames());
    QSignalSpy selected(&tree, &FolderTree::folderSelected);
    QTreeWidgetItem* root = widget.topLevelItem(0);
    QTreeWidgetItem* projects = root->child(5);

    widget.setCurrentItem(projects); // not ready: nothing happens
    QVERIFY(selected.isEmpty() && !projects->isExpanded());
    ready = true;
    QVERIFY(tree.selectUnderFirstRoot(5)); // already current: opened all the same
    QVERIFY(tree.selectUnderFirstRoot(0));
    QVERIFY(!tree.selectUnderFirstRoot(6)); // Alpha is not directly under the root
    widget.setCurrentItem(root);
    QList<int> sequences;
    for (const QVariantList& arguments : std::as_const(selected))
        sequences << arguments.constFirst().toInt();
    QCOMPARE(sequences, (QList<int>{5, 0}));
    QVERIFY(projects->isExpanded() && root->isExpanded());

    // A right click shows the menu and leaves the open folder as it is.
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const QPoint at = widget.visualItemRect(projects).center();
    QTest::mouseClick(widget.viewport(), Qt::RightButton, {}, at);
    QCOMPARE(widget.currentItem(), root);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, widget.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(widget.viewport(), &menuEvent);
    QTRY_VERIFY(popup.isVisible());
    popup.close();
}

void TestFolderList::images()
{
    QList<QImage> drawn;
    for (int index = 0; index < kFolderImageCount; ++index) {
        const QPixmap pixmap = FolderTreeImage(index).pixmap(QSize(16, 16), 2.0);
        QCOMPARE(pixmap.size(), QSize(32, 32));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
        drawn << pixmap.toImage();
        QVERIFY2(!drawn.mid(0, index).contains(drawn.constLast()), "each image its own");
    }
    QVERIFY(FolderTreeImage(kFolderImageCount).isNull() && FolderTreeImage(-1).isNull());
    // Selected, an item shows image 0.
    const QIcon inbox = FolderTreeItemIcon(kImageInbox, kImageSelected);
    QCOMPARE(inbox.pixmap(QSize(16, 16), 2.0, QIcon::Selected).toImage(),
             FolderTreeImage(kImageSelected).pixmap(QSize(16, 16), 2.0, QIcon::Selected).toImage());
}

QTEST_MAIN(TestFolderList)
#include "tst_folderlist.moc"
