// The folder chooser: which line starts highlighted, lines that cannot be chosen, and the
// buttons each purpose shows.
#include "ScriptedPrompter.h"
#include "compose/FolderChooser.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

class TestFolderChooser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialLineAndRefusals_data()
    {
        QTest::addColumn<QList<int>>("usability");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("initial");
        QTest::newRow("usable first: the line asked for")
            << QList<int>{FolderUsable, FolderUsable, FolderUsable} << 2 << 2;
        QTest::newRow("IMAP first: the first usable")
            << QList<int>{FolderImap, FolderContacts, FolderUsable} << 0 << 2;
        QTest::newRow("none usable: the first line")
            << QList<int>{FolderImap, FolderContacts, FolderImap} << 1 << 0;
    }
    void initialLineAndRefusals()
    {
        QFETCH(QList<int>, usability);
        QFETCH(int, asked);
        QFETCH(int, initial);
        const QStringList names{u"Inbox"_s, u"Contacts"_s, u"Drafts"_s};
        CFolderChooserDlg dialog(names, usability, FolderPurpose::Move, asked);
        auto* list = dialog.findChild<QListWidget*>(u"c1108"_s);
        QCOMPARE(list->currentRow(), initial);
        QCOMPARE(list->item(0)->text(), usability[0] == FolderImap
                                            ? u"Inbox  - IMAP folder - Unable to use"_s
                                            : u"Inbox"_s);
        // A line that cannot be chosen gives the previous one back.
        const int before = dialog.selectedIndex();
        const int unusable = int(usability.indexOf(FolderContacts));
        if (unusable >= 0) {
            list->setCurrentRow(unusable);
            QCOMPARE(list->currentRow(), before);
            QCOMPARE(dialog.selectedIndex(), before);
        }
    }

    void buttonsByPurpose_data()
    {
        QTest::addColumn<int>("purpose");
        QTest::addColumn<QString>("ok");
        QTest::addColumn<QString>("cancel"); // empty: no Cancel button
        QTest::newRow("post") << 0 << u"P&ost message"_s << u"Cancel"_s;
        QTest::newRow("save") << 1 << u"&Save message"_s << QString();
        QTest::newRow("delete") << 4 << u"&To Selected Folder"_s << u"&Trash message"_s;
    }
    void buttonsByPurpose()
    {
        QFETCH(int, purpose);
        QFETCH(QString, ok);
        QFETCH(QString, cancel);
        CFolderChooserDlg dialog({u"Inbox"_s}, {FolderUsable}, FolderPurpose(purpose), 0);
        QCOMPARE(dialog.findChild<QPushButton*>(u"c1"_s)->text(), ok);
        auto* second = dialog.findChild<QPushButton*>(u"c2"_s);
        QCOMPARE(second ? second->text() : QString(), cancel);
    }
};

QTEST_MAIN(TestFolderChooser)
#include "tst_folderchooser.moc"
