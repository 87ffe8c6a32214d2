// The mail side of the whole program on a real Maildir store and contacts folder: logon,
// the folder tree, reading every kind of body, sorting, filtering, a message delivered from
// outside, and logging off and on again.
#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "CTextBox.h"
#include "MailTestSetup.h"
#include "ProgramStart.h"
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/SettingsStore.h"
#include "mail/MailController.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using mailtest::installMailClient;
using mailtest::writeFile;

namespace {

struct StoredMessage
{
    const char* folder; // "" for the Inbox
    const char* file;
    QByteArray text;
};

QByteArray message(const QByteArray& from, const QByteArray& subject, const QByteArray& date,
                   const QByteArray& type, const QByteArray& body)
{
    return "From: " + from + "\nTo: Support <support@example.org>\nSubject: " + subject +
           "\nDate: " + date + "\nMIME-Version: 1.0\nContent-Type: " + type + "\n\n" + body;
}

const QByteArray kEncapsulated =
    "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag1 <html>}{\\*\\htmltag2 <body>}"
    "{\\*\\htmltag3 <p>}Wrapped \\'e9t\\'e9 text{\\*\\htmltag4 </p>}"
    "{\\*\\htmltag5 </body></html>}}";

const StoredMessage kMessages[] = {
    {"", "cur/100.plain:2,S",
     message("Emily Wilson <ewilson@example.com>", "Plain question",
             "Thu, 03 Dec 2026 09:00:00 +0000", "text/plain; charset=utf-8",
             "Plain body line one.\nLine two.\n")},
    {"", "cur/200.html:2,",
     message("Raj Patel <raj@example.net>", "Html question", "Fri, 04 Dec 2026 10:00:00 +0000",
             "text/html; charset=utf-8",
             "<html><body>Html &amp; body<br><style>x{}</style>end</body></html>")},
    {"", "cur/300.rtf:2,S",
     message("Ana Souza <ana@example.com>", "Rich question", "Sat, 05 Dec 2026 11:00:00 +0000",
             "text/rtf",
             "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Sans;}}\\f0 Rich {\\b bold} text\\par}")},
    {"", "cur/400.encapsulated:2,S",
     message("Tom Becker <tom@example.de>", "Wrapped question", "Sun, 06 Dec 2026 12:00:00 +0000",
             "text/rtf", kEncapsulated)},
    {".Calendar", "cur/500.meeting:2,S",
     message("Tom Becker <tom@example.de>", "Meeting", "Sun, 06 Dec 2026 12:00:00 +0000",
             "text/plain", "x\n")},
};

const QByteArray kContacts[][2] = {
    {"wilson.vcf", "BEGIN:VCARD\nVERSION:3.0\nUID:c1\nFN:Emily Wilson\nN:Wilson;Emily;;;\n"
                   "EMAIL:ewilson@example.com\nEND:VCARD\n"},
    {"walker.vcf", "BEGIN:VCARD\nVERSION:3.0\nUID:c2\nFN:Wendy Walker\nN:Walker;Wendy;;;\n"
                   "EMAIL:wendy@example.com\nEND:VCARD\n"},
    {"patel.vcf", "BEGIN:VCARD\nVERSION:3.0\nUID:c3\nFN:Raj Patel\nN:Patel;Raj;;;\n"
                  "EMAIL:raj@example.net\nEND:VCARD\n"},
};

} // namespace

class TestMailWorkspace : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSupportApp> m_app;

    QString storePath() const { return m_dir.filePath(u"Mail"_s); }
    CSupportView* view() const { return m_app->view(); }
    vantrel::mail::MailController* mail() const { return view()->mail(); }
    QTreeWidget* tree() const { return qobject_cast<QTreeWidget*>(view()->control(1006)); }
    QTreeView* list() const { return qobject_cast<QTreeView*>(view()->control(1011)); }
    QAbstractItemModel* model() const { return list()->model(); }
    QString readText() const { return view()->textBox(1002)->toPlainText(); }

    int rowWithSubject(const QString& subject) const
    {
        const int column = columnNamed(u"Subject"_s);
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->index(row, column).data().toString() == subject)
                return row;
        }
        return -1;
    }
    // The list column showing the table column of that name (icon columns have no header).
    int columnNamed(const QString& name) const
    {
        for (int column = 0; column < model()->columnCount(); ++column) {
            const auto* shown = mail()->messages().model().shownColumn(column);
            if (shown && shown->variant.name == name)
                return column;
        }
        return -1;
    }
    QStringList columnTexts(const QString& name) const
    {
        QStringList texts;
        const int column = columnNamed(name);
        for (int row = 0; row < model()->rowCount(); ++row)
            texts.append(model()->index(row, column).data().toString());
        return texts;
    }
    void select(int row)
    {
        list()->selectionModel()->setCurrentIndex(model()->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    }
    QString readSubject(const QString& subject)
    {
        const int row = rowWithSubject(subject);
        if (row < 0)
            return u"(no row for %1)"_s.arg(subject);
        select(row);
        return readText();
    }
    QString settingsFile() const { return m_dir.filePath(u"settings.ini"_s); }
    bool start() { return startProgram(m_app, m_dir.filePath(u"home/"_s), settingsFile()); }
    QTreeWidgetItem* treeItem(const QString& name) const
    {
        const auto found = tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char* folder :
             {"", ".Calendar", ".Calendar/.Holidays", ".Projects", ".Projects.Alpha"}) {
            for (const char* part : {"cur", "new", "tmp"})
                QVERIFY(QDir().mkpath(storePath() + u'/' + QLatin1StringView(folder) + u'/' +
                                      QLatin1StringView(part)));
        }
        QVERIFY(writeFile(storePath() + u"/.Calendar/vntmapi-folder-class"_s, "IPF.Appointment\n"));
        for (const StoredMessage& stored : kMessages) {
            QVERIFY(writeFile(storePath() + u'/' + QLatin1StringView(stored.folder) + u'/' +
                                  QLatin1StringView(stored.file),
                              stored.text));
        }
        for (const auto& [name, card] : kContacts)
            QVERIFY(writeFile(m_dir.filePath(u"Contacts/"_s + QString::fromLatin1(name)), card));

        QVERIFY(installMailClient(m_dir.path(),
                                  "[Profile Support]\nDefault=true\nStores=Personal Folders\n"
                                  "[Store Support/Personal Folders]\nDefault=true\n"
                                  "Path=@ROOT@/Mail\nContacts=@ROOT@/Contacts\n"));

        const QString settings = settingsFile();
        {
            SettingsStore store(settings);
            store.writeInt(SettingsStore::kInternalData, u"Logon to Mail at startup"_s, 1);
            QVERIFY(store.flush());
        }
        QVERIFY(start());
        QVERIFY(mail()->isLoggedOn());
    }

    void cleanupTestCase() { m_app.reset(); }

    void treeShowsTheStoreWithoutCalendarFolders()
    {
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* store = tree()->topLevelItem(0);
        QCOMPARE(store->text(0), u"Personal Folders"_s);
        QCOMPARE(store->data(0, Qt::UserRole).toInt(), -1);
        QVERIFY(treeItem(u"Inbox"_s));
        QVERIFY(treeItem(u"Contacts"_s));
        QVERIFY(!treeItem(u"Calendar"_s));
        QVERIFY(!treeItem(u"Holidays"_s));
        QTreeWidgetItem* alpha = treeItem(u"Alpha"_s);
        QVERIFY(alpha);
        QCOMPARE(alpha->parent()->text(0), u"Projects"_s);
        // The Inbox is open and selected.
        QCOMPARE(tree()->currentItem(), treeItem(u"Inbox"_s));
        // The contacts carry the named e-mail properties, so their columns can be shown.
        QVERIFY(mail()->contactPropertiesAvailable());
        QCOMPARE(model()->rowCount(), 4);
    }

    void readsEveryKindOfBody_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << u"Plain question"_s << u"Plain body line one.\nLine two.\n"_s;
        QTest::newRow("html") << u"Html question"_s << u"Html & body\nend"_s;
        QTest::newRow("rich text") << u"Rich question"_s << u"Rich bold text"_s;
        QTest::newRow("html inside rich text")
            << u"Wrapped question"_s << u"\nWrapped été text\n"_s;
    }

    void readsEveryKindOfBody()
    {
        QFETCH(QString, subject);
        QFETCH(QString, text);
        QCOMPARE(readSubject(subject).trimmed(), text.trimmed());
        const bool html = subject.startsWith(u"Html");
        QCOMPARE(qobject_cast<QLineEdit*>(view()->control(1004))->text(),
                 html ? u"Raj Patel"_s : qobject_cast<QLineEdit*>(view()->control(1004))->text());
    }

    void sortsAscendingThenDescending()
    {
        QHeaderView* header = list()->header();
        const int column = columnNamed(u"Subject"_s);
        QVERIFY(column >= 0);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
        QTRY_COMPARE(columnTexts(u"Subject"_s),
                     (QStringList{u"Html question"_s, u"Plain question"_s, u"Rich question"_s,
                                  u"Wrapped question"_s}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
        QTRY_COMPARE(columnTexts(u"Subject"_s),
                     (QStringList{u"Wrapped question"_s, u"Rich question"_s, u"Plain question"_s,
                                  u"Html question"_s}));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void filtersOnReadThenResets()
    {
        CommandRouter& router = m_app->mainFrame()->router();
        select(rowWithSubject(u"Html question"_s)); // the one unread message
        mail()->messages().setFilterColumn(columnNamed(u"Read"_s));
        QVERIFY(router.execute(32829));
        QTRY_COMPARE(columnTexts(u"Subject"_s), QStringList{u"Html question"_s});
        QVERIFY(router.execute(32830));
        QTRY_COMPARE(model()->rowCount(), 4);
    }

    void readTimerMarksTheSelectedMessageRead()
    {
        const int read = columnNamed(u"Read"_s);
        const auto& messages = mail()->messages().model();
        select(rowWithSubject(u"Html question"_s));
        QCOMPARE(messages.cellImage(rowWithSubject(u"Html question"_s), read), 4);
        QVERIFY(view()->markReadArmed());
        view()->timers().fire(ViewTimers::kMarkAsRead);
        QTRY_COMPARE(messages.cellImage(rowWithSubject(u"Html question"_s), read), 5);
        QVERIFY(QFileInfo::exists(storePath() + u"/cur/200.html:2,S"_s));
    }

    void deliveredMessageAppears()
    {
        QVERIFY(writeFile(storePath() + u"/new/900.delivered"_s,
                          message("New Sender <new@example.com>", "Delivered now",
                                  "Mon, 07 Dec 2026 08:00:00 +0000", "text/plain", "hello\n")));
        QTRY_VERIFY_WITH_TIMEOUT(rowWithSubject(u"Delivered now"_s) >= 0, 5000);
        // The new row is selected.
        QTRY_COMPARE(list()->selectionModel()->selectedRows().value(0).row(),
                     model()->rowCount() - 1);
    }

    void contactsFolderShowsDetailsAndFiltersOnSurname()
    {
        tree()->setCurrentItem(treeItem(u"Contacts"_s));
        QTRY_COMPARE(model()->rowCount(), 3);
        const int surname = columnNamed(u"last name"_s);
        QVERIFY(surname >= 0);
        int walker = -1;
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->index(row, surname).data().toString() == u"Walker")
                walker = row;
        }
        select(walker);
        QVERIFY(readText().contains(u"Selected contact details for  Wendy Walker"_s));
        mail()->messages().setFilterColumn(surname);
        QVERIFY(m_app->mainFrame()->router().execute(32829));
        QTRY_COMPARE(columnTexts(u"last name"_s).size(), 2); // Walker and Wilson
    }

    void changedColumnMaskReopensTheFolder()
    {
        tree()->setCurrentItem(treeItem(u"Inbox"_s));
        CSupportDoc& doc = *m_app->document();
        const ColumnMask mask = doc.columnMask(MaskKind::Inbox);
        doc.setColumnMask(MaskKind::Inbox, 0x3); // no column from 2 on
        mail()->reopenCurrentFolder();
        QCOMPARE(model()->columnCount(), 1);
        QCOMPARE(model()->headerData(0, Qt::Horizontal).toString(), u"No columns"_s);
        doc.setColumnMask(MaskKind::Inbox, mask);
        mail()->reopenCurrentFolder();
        QVERIFY(columnNamed(u"Subject"_s) >= 0);
    }

    void logsOffAndOnAgain()
    {
        CommandRouter& router = m_app->mainFrame()->router();
        QVERIFY(router.execute(32797));
        QVERIFY(!mail()->isLoggedOn());
        QCOMPARE(tree()->topLevelItemCount(), 0);
        router.updateAll();
        QVERIFY(router.action(1236)->isEnabled());
        QVERIFY(!router.action(32797)->isEnabled());
        QVERIFY(router.execute(1236));
        QVERIFY(mail()->isLoggedOn());
        QCOMPARE(model()->rowCount(), 5);
    }

    // A store whose top holds only folders (as some layouts keep an INBOX among them) has no
    // Inbox: both notices (after the one about the missing contacts folder), logged on all the
    // same, no folder open.
    void storeWithoutInboxIsTold()
    {
        m_app.reset();
        const QString top = m_dir.filePath(u"TopOnly"_s);
        for (const char* part : {"cur", "new", "tmp"})
            QVERIFY(QDir().mkpath(top + u"/.Work/"_s + QLatin1StringView(part)));
        const QByteArray profiles = m_dir.filePath(u"top-only.ini"_s).toUtf8();
        QVERIFY(writeFile(QString::fromUtf8(profiles),
                          "[Profile Top]\nDefault=true\nStores=Top\n[Store Top/Top]\nPath=" +
                              QFile::encodeName(top) + "\n"));
        qputenv("VANTREL_MAPI_PROFILES", profiles);
        ScriptedPrompter prompter;
        QVERIFY(start());
        QStringList notices;
        for (const ScriptedPrompter::Notice& notice : prompter.notices())
            notices.append(notice.text);
        const QString noInbox = u"Unable to find your incoming folder!"_s;
        QCOMPARE(notices, (QStringList{u"No Contact address folders - please add one!"_s, noInbox,
                                       noInbox}));
        QVERIFY(mail()->isLoggedOn());
        QVERIFY(treeItem(u"Work"_s));
        QVERIFY(!treeItem(u"Inbox"_s));
        QVERIFY(!mail()->currentFolder());
    }
};

QTEST_MAIN(TestMailWorkspace)
#include "tst_mailworkspace.moc"
