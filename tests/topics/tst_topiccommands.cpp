#include "CSupportView.h"
#include "CTextBox.h"
#include "ScriptedPrompter.h"
#include "TopicsTestUtil.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/MessageHelpers.h"
#include "topics/TopicController.h"
#include "topics/TopicNameDialog.h"
#include "topics/TopicPathsPage.h"
#include "topics/TopicTreeWidget.h"

#include <QDrag>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTextCursor>
#include <clocale>
#include <memory>
#include <unistd.h>

using namespace topicstest;

namespace {

constexpr int kSaveCommand = 57603;

// The workspace over a program directory with a few topic folders; notices and
// questions go to `prompter`.
struct Topics
{
    explicit Topics(const QString& home, int outgoingFormat = 0)
        : document(home, outgoingFormat)
    {
        const QString root = home + u"support1/"_s;
        put(root + u"Billing/reply.rtf"_s, "{\\rtf1\\ansi Refund {\\b soon}\\par}");
        put(root + u"Billing/invoice.txt"_s, "Your invoice is attached.");
        put(root + u"Returns/label.txt"_s, "Print the label.");
        QDir().mkpath(root + u"Empty"_s);
        BuildTopicStore(doc);
        doc.RebuildSupportPathList();
        view = std::make_unique<CSupportView>(doc, hooks, 1024);
        view->OnInitialUpdate(router);
        view->SelectTab(2);
        controller = view->topics();
        tree = qobject_cast<TopicTreeWidget*>(view->control(1045));
        controller->setRandomSeed(42);
    }
    QString root() const { return doc.currentTopicRoot(); }
    QString path(const QString& relative) const { return root() + u'/' + relative; }
    bool exists(const QString& relative) const { return QFileInfo::exists(path(relative)); }
    QByteArray contents(const QString& relative) const
    {
        return topicstest::contents(path(relative));
    }
    QTreeWidgetItem* item(const QString& folder, const QString& file = {}) const
    {
        QTreeWidgetItem* f = tree->folderItem(folder);
        for (int i = 0; f && !file.isEmpty() && i < f->childCount(); ++i) {
            if (f->child(i)->text(0) == file)
                return f->child(i);
        }
        return file.isEmpty() ? f : nullptr;
    }
    void select(QTreeWidgetItem* target) const
    {
        tree->setCurrentItem(target);
        target->setSelected(true);
    }
    CTextBox* topicBox() const { return view->textBox(1001); }
    QString topicText() const { return topicBox()->toPlainText(); }
    QString outgoing() const { return view->textBox(1000)->toPlainText(); }
    QString lastNotice() const
    {
        return prompter.notices().isEmpty() ? QString() : prompter.notices().last().text;
    }
    // The next naming dialog is answered with `name`.
    void nameInDialog(const QString& name)
    {
        prompter.dialogScript([name](QDialog& dialog) {
            auto* naming = qobject_cast<TopicNameDialog*>(&dialog);
            if (naming)
                naming->setName(name);
            return naming ? QDialog::Accepted : QDialog::Rejected;
        });
    }
    QPoint centre(QTreeWidgetItem* target) const { return tree->visualItemRect(target).center(); }
    // Presses on `target` and moves far enough to start a drag; `runDrag` plays the drag.
    void drag(QTreeWidgetItem* target, TopicTreeWidget::DragRunner runDrag) const
    {
        tree->expandAll();
        tree->setDragRunner(std::move(runDrag));
        const QPoint from = centre(target);
        const QPoint to = from + QPoint(0, 3 * QApplication::startDragDistance());
        QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(tree->viewport(), to);
        tree->setDragRunner({});
        // The desktop's drag loop takes the release; here it only clears the button.
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, to);
    }
    bool showView() const
    {
        view->show();
        return QTest::qWaitForWindowExposed(view.get());
    }

    ScriptedPrompter prompter;
    Document document;
    CSupportDoc& doc = document.doc;
    LifecycleHooks hooks;
    CommandRouter router;
    std::unique_ptr<CSupportView> view;
    TopicController* controller = nullptr;
    TopicTreeWidget* tree = nullptr;
};

} // namespace

class TestTopicCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;
    QString home() { return m_dir.filePath(u"home%1/"_s.arg(++m_run)); }

private Q_SLOTS:
    void theTreeListsTheTableAndASelectedFileLoads()
    {
        Topics t(home());
        QCOMPARE(t.tree->topLevelItemCount(), 3);
        QCOMPARE(t.tree->topLevelItem(0)->text(0), u"Billing"_s);
        QCOMPARE(t.item("Billing")->childCount(), 2);
        QVERIFY(!t.router.state(kSaveCommand).enabled); // nothing loaded yet
        t.select(t.item("Billing", "reply.rtf"));
        QCOMPARE(t.topicText(), u"Refund soon"_s);
        QVERIFY(t.controller->loadedRich());
        QCOMPARE(t.controller->source(), TopicController::FromTree);
        QVERIFY(t.router.state(kSaveCommand).enabled);
        QVERIFY(t.prompter.notices().isEmpty());
    }

    // Pressing on another file only remembers it; the click asks about the unsaved edits:
    // No drops them and loads the file clicked, Yes saves the file being left.
    void switchingFilesAsksAboutEditsAfterTheClick()
    {
        Topics t(home());
        QVERIFY(t.showView());
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->insertPlainText(u"edited "_s);
        QTreeWidgetItem* label = t.item("Returns", "label.txt");
        t.tree->expandAll();
        QTest::mousePress(t.tree->viewport(), Qt::LeftButton, {}, t.centre(label));
        QVERIFY(t.prompter.notices().isEmpty());
        QVERIFY(!label->isSelected());
        QVERIFY(t.topicText().startsWith(u"edited "_s));
        t.prompter.answerNo();
        QTest::mouseRelease(t.tree->viewport(), Qt::LeftButton, {}, t.centre(label));
        QCOMPARE(t.prompter.notices().size(), 1);
        QCOMPARE(t.lastNotice(),
                 u"You have modified your last file. Do you want to save it first?"_s);
        QVERIFY(label->isSelected());
        QCOMPARE(t.topicText(), u"Print the label."_s);
        QCOMPARE(t.contents(u"Billing/invoice.txt"_s), QByteArray("Your invoice is attached."));

        t.topicBox()->moveCursor(QTextCursor::End);
        t.topicBox()->insertPlainText(u" Thanks."_s);
        t.prompter.answerYes();
        t.select(t.item("Billing", "invoice.txt"));
        QCOMPARE(t.contents(u"Returns/label.txt"_s), QByteArray("Print the label. Thanks."));
    }

    void readFailuresAreExplained_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero bytes") << QByteArray() << u"Zero bytes read"_s;
        QTest::newRow("starts with NUL") << QByteArray("\0x", 2) << u"File size is zero"_s;
    }
    void readFailuresAreExplained()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Topics t(home());
        put(t.path(u"Returns/broken.txt"_s), bytes);
        t.controller->Refresh();
        t.select(t.item("Returns", "broken.txt"));
        QCOMPARE(t.prompter.notices().size(), 1);
        QCOMPARE(t.lastNotice(), message);
        QCOMPARE(t.controller->source(), TopicController::NothingLoaded);
    }

    // The loaded file, edited: Yes to the save question writes the edits, in the file's
    // own format, to the renamed file.
    void renameThroughTheDialogKeepsTheExtension()
    {
        Topics t(home());
        t.select(t.item("Billing", "reply.rtf"));
        t.topicBox()->moveCursor(QTextCursor::End);
        t.topicBox()->insertPlainText(u" today"_s);
        t.nameInDialog(u"answer"_s);
        t.prompter.answerYes(); // asked as the renamed file is selected again
        t.controller->RenameSelected();
        QVERIFY(!t.exists(u"Billing/reply.rtf"_s));
        const QByteArray saved = t.contents(u"Billing/answer.rtf"_s);
        QVERIFY2(saved.startsWith("{\\rtf") && saved.contains("today"), saved.constData());
        QCOMPARE(t.tree->currentItem()->text(0), u"answer.rtf"_s);
        QCOMPARE(t.topicText(), u"Refund soon today"_s);

        // The same name again changes nothing.
        t.nameInDialog(u"answer"_s);
        t.controller->RenameSelected();
        QCOMPARE(t.lastNotice(), u"No change. Both have the same name!"_s);

        // In place, the label typed is the whole name: no extension is added, and a name
        // that is not a topic file drops out of the tree at the next refresh.
        t.item("Billing", "invoice.txt")->setText(0, u"plain"_s);
        QVERIFY(t.exists(u"Billing/plain"_s));
        QVERIFY(t.item("Billing", "plain"));
        t.controller->Refresh();
        QVERIFY(!t.item("Billing", "plain"));
    }

    void unsafeNamesAreRefused()
    {
        Topics t(home());
        t.nameInDialog(u"../escape"_s);
        t.controller->NewTopicFolder();
        QVERIFY(!t.exists(u"../escape"_s));
        QVERIFY(t.lastNotice().contains(u"cannot contain"_s));

        t.select(t.item("Billing", "invoice.txt"));
        t.nameInDialog(u"../../x"_s);
        t.controller->RenameSelected();
        QVERIFY(t.exists(u"Billing/invoice.txt"_s));

        // In place, ".." and an empty label are refused and the old label comes back.
        for (const QString& label : {u".."_s, QString()}) {
            t.item("Returns")->setText(0, label);
            QVERIFY(QFileInfo(t.path(u"Returns"_s)).isDir());
            QCOMPARE(t.item("Returns")->text(0), u"Returns"_s);
        }
    }

    void newFoldersGetTypedOrRandomNames()
    {
        Topics t(home());
        t.nameInDialog(u"Shipping"_s);
        t.controller->NewTopicFolder();
        QVERIFY(t.item("Shipping"));
        t.nameInDialog(QString());
        t.controller->NewTopicFolder();
        const QStringList folders = QDir(t.root()).entryList({u"temp*"_s}, QDir::Dirs);
        QCOMPARE(folders.size(), 1);
        QCOMPARE(folders.first().size(), 8);

        t.doc.setTopicFolderCount(999);
        t.nameInDialog(u"More"_s);
        t.controller->NewTopicFolder();
        QCOMPARE(t.lastNotice(), u"Unable to add topic node"_s);
        QVERIFY(!t.exists(u"More"_s));
    }

    void deleteChecksBeforeRemoving()
    {
        Topics t(home());
        t.select(t.item("Billing"));
        t.prompter.answerYes();
        t.controller->DeleteSelected();
        QCOMPARE(t.lastNotice(),
                 u"Please delete the topic files before deleting this directory node"_s);
        QVERIFY(t.item("Billing"));

        t.select(t.item("Returns", "label.txt"));
        t.prompter.answerNo();
        t.controller->DeleteSelected();
        QVERIFY(t.exists(u"Returns/label.txt"_s));
        t.select(t.item("Returns", "label.txt"));
        t.prompter.answerYes();
        t.controller->DeleteSelected();
        QVERIFY(!t.exists(u"Returns/label.txt"_s));
        t.select(t.item("Empty"));
        t.prompter.answerYes();
        t.controller->DeleteSelected();
        QVERIFY(!t.exists(u"Empty"_s));
        QVERIFY(!t.item("Empty"));
    }

    void draggingFilesBetweenFolders()
    {
        Topics t(home());
        t.controller->DropOnItem(t.item("Billing", "reply.rtf"), t.item("Billing", "invoice.txt"));
        QCOMPARE(t.lastNotice(), u"Already in that folder!"_s);

        t.controller->DropOnItem(t.item("Billing", "reply.rtf"), t.item("Returns", "label.txt"));
        QVERIFY(t.exists(u"Returns/reply.rtf"_s));
        QVERIFY(!t.exists(u"Billing/reply.rtf"_s));
        QCOMPARE(t.item("Returns")->child(0)->text(0), u"reply.rtf"_s);
        QVERIFY(!t.item("Billing", "reply.rtf"));

        // A file of that name already in the target stays as it is.
        put(t.path(u"Empty/invoice.txt"_s), "other");
        t.controller->Refresh();
        t.controller->DropOnItem(t.item("Billing", "invoice.txt"), t.item("Empty"));
        QCOMPARE(t.lastNotice(), u"Unable to copy dragged files"_s);
        QCOMPARE(t.contents(u"Empty/invoice.txt"_s), QByteArray("other"));
        QVERIFY(t.item("Billing", "invoice.txt"));
    }

    // Whatever moves or removes the loaded file, a save never writes where it was.
    void theLoadedFileFollowsMovesAndDeletes()
    {
        Topics t(home());
        t.select(t.item("Billing", "invoice.txt"));
        t.controller->DropOnItem(t.item("Billing", "invoice.txt"), t.item("Returns"));
        QCOMPARE(t.controller->currentTopicPath(), t.path(u"Returns/invoice.txt"_s));
        t.item("Returns")->setText(0, u"Refunds"_s); // its folder renamed in place
        QCOMPARE(t.controller->currentTopicPath(), t.path(u"Refunds/invoice.txt"_s));
        t.topicBox()->setPlainText(u"Moved and saved"_s);
        QVERIFY(t.router.execute(kSaveCommand));
        QCOMPARE(t.contents(u"Refunds/invoice.txt"_s), QByteArray("Moved and saved"));
        QVERIFY(!t.exists(u"Billing/invoice.txt"_s));
        QVERIFY(!t.exists(u"Returns"_s));

        t.controller->Refresh();
        t.select(t.item("Refunds", "invoice.txt"));
        t.topicBox()->insertPlainText(u"unsaved "_s);
        t.prompter.answerYes();
        t.controller->DeleteSelected();
        QVERIFY(!t.exists(u"Refunds/invoice.txt"_s));
        QCOMPARE(t.controller->currentTopicPath(), QString());
        QCOMPARE(t.controller->source(), TopicController::NothingLoaded);
        QVERIFY(!t.router.state(kSaveCommand).enabled);
        t.controller->UpdateCurrentTopicFile();
        QCOMPARE(t.lastNotice(), MessageText(25691));
        QVERIFY(!t.exists(u"Refunds/invoice.txt"_s));
    }

    void namesThatAreNotUtf8KeepTheirBytes()
    {
        Topics t(home());
        const QByteArray root = QFile::encodeName(t.root());
        QCOMPARE(::mkdir((root + "/Caf\xe9").constData(), 0755), 0); // Latin-1 folder name
        putNative(root + "/Caf\xe9/r\xe9ponse.txt", "Bonjour");
        putNative(root + "/Returns/\xff\xfe.txt", "Odd");
        t.controller->Refresh();
        QTreeWidgetItem* cafe = t.item(fileNameFromNative("Caf\xe9"));
        QVERIFY(cafe);
        QCOMPARE(cafe->childCount(), 1);
        t.select(cafe->child(0));
        QCOMPARE(t.topicText(), u"Bonjour"_s);
        // Saving writes the very file it came from, not a look-alike.
        t.topicBox()->setPlainText(u"Salut"_s);
        QVERIFY(t.router.execute(kSaveCommand));
        QVERIFY(t.prompter.notices().isEmpty());
        QString kept;
        QCOMPARE(ReadTextFile(t.path(fileNameFromNative("Caf\xe9/r\xe9ponse.txt")), kept),
                 int(ReadSuccess));
        QCOMPARE(kept, u"Salut"_s);
        QVERIFY(!QFileInfo::exists(QFile::decodeName(root + "/Caf\xe9")));

        t.select(t.item("Returns", fileNameFromNative("\xff\xfe.txt")));
        QCOMPARE(t.topicText(), u"Odd"_s);
        t.prompter.answerYes();
        t.controller->DeleteSelected();
        QCOMPARE(t.prompter.notices().size(), 1); // only the question
        QVERIFY(::access((root + "/Returns/\xff\xfe.txt").constData(), F_OK) != 0);
    }

    void aFileLongerThanTheBoxIsCutAndSaysSo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << u"long.txt"_s << QByteArray() << QByteArray(79, 'x') + '\n';
        QTest::newRow("rich") << u"long.rtf"_s << QByteArray("{\\rtf1\\ansi ")
                              << QByteArray(74, 'x') + "\\par\n";
    }
    void aFileLongerThanTheBoxIsCutAndSaysSo()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, line);
        Topics t(home());
        put(t.path(u"Billing/"_s + name), head + line.repeated(kTextBoxLimit / line.size() + 100));
        t.controller->Refresh();
        t.select(t.item("Billing", name));
        const int shown = t.topicBox()->document()->characterCount() - 1;
        QVERIFY2(shown > kTextBoxLimit * 9 / 10 && shown <= kTextBoxLimit,
                 qPrintable(QString::number(shown)));
        QCOMPARE(t.prompter.notices().size(), 1);
        QCOMPARE(t.lastNotice(), MessageText(25692));
        QCOMPARE(t.controller->source(), TopicController::FromTree);
    }

    // The drag runner stands in for the desktop's drag loop, which cannot run here. Only
    // files are dragged; a drag neither asks about unsaved edits nor loads or selects.
    void draggingOutOfTheTree_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<QString>("outgoing");
        const QString returns = u"Returns"_s;
        const QString label = u"label.txt"_s;
        QTest::newRow("dropped on the outgoing box")
            << returns << label << 2 << true << u"Print the label."_s;
        QTest::newRow("cancelled over the outgoing box") << returns << label << 2 << false << "";
        QTest::newRow("dropped, but not on Create Reply") << returns << label << 6 << true << "";
        QTest::newRow("a folder") << u"Empty"_s << QString() << 2 << true << "";
    }
    void draggingOutOfTheTree()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(int, tab);
        QFETCH(bool, dropped);
        QFETCH(QString, outgoing);
        Topics t(home());
        QVERIFY(t.showView());
        t.view->SelectTab(tab);
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->insertPlainText(u"edited "_s);
        const QPoint over = t.view->outgoingBoxScreenRect().center();
        int drags = 0;
        t.drag(t.item(folder, file), [&](QDrag& drag) {
            ++drags;
            [&] {
                QVERIFY(drag.mimeData()->hasFormat(TopicTreeWidget::kMimeType));
            }();
            return dropped ? TopicTreeWidget::DragEnd{Qt::MoveAction, over}
                           : TopicTreeWidget::DragEnd{Qt::IgnoreAction, std::nullopt};
        });
        QCOMPARE(drags, file.isEmpty() ? 0 : 1);
        QCOMPARE(t.outgoing(), outgoing);
        QVERIFY(t.prompter.notices().isEmpty());
        QCOMPARE(t.controller->currentTopicPath(), t.path(u"Billing/invoice.txt"_s));
        QVERIFY(t.item("Billing", "invoice.txt")->isSelected());
        QVERIFY(t.topicText().startsWith(u"edited "_s));
    }

    // Each falls back to the other format's file; with neither, nothing is inserted.
    void headerAndFooterFallBack()
    {
        Topics rich(home(), 1); // rich outgoing text, only the plain header present
        put(rich.doc.mainSupportPath() + u"/headfoot/header.txt"_s, "Dear customer,");
        rich.controller->InsertHeader();
        QCOMPARE(rich.outgoing(), u"Dear customer,"_s);
        rich.controller->InsertFooter();
        QCOMPARE(rich.lastNotice(), u"No text to transfer"_s);

        Topics plain(home(), 0); // plain outgoing text, only the rich footer present
        put(plain.doc.mainSupportPath() + u"/headfoot/footer.rtf"_s, "{\\rtf1 Regards\\par}");
        plain.controller->InsertFooter();
        QCOMPARE(plain.prompter.notices().size(), 1);
        QCOMPARE(plain.lastNotice(), u"No text to transfer"_s);
        QCOMPARE(plain.outgoing(), QString());
    }

    // The month is named in English whatever the user's locale says.
    void dateLine()
    {
        QTemporaryDir locales;
        QProcess localedef;
        localedef.start(u"localedef"_s, {u"-i"_s, u"de_DE"_s, u"-f"_s, u"UTF-8"_s,
                                         locales.filePath(u"de_DE.UTF-8"_s)});
        if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
            QSKIP("no German locale can be made here");
        qputenv("LOCPATH", QFile::encodeName(locales.path()));
        QVERIFY(std::setlocale(LC_ALL, "de_DE.UTF-8"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString line = formatTopicDate(QDateTime(QDate(2026, 12, 5), QTime(9, 30)));
        std::setlocale(LC_ALL, "C.UTF-8");
        QLocale::setDefault(QLocale::c());
        qunsetenv("LOCPATH");
        QCOMPARE(line, u"\r\nDecember 05, 2026\r\n"_s);

        Topics t(home());
        t.controller->AddDate();
        QVERIFY(t.outgoing().contains(QString::number(QDate::currentDate().year())));
        QVERIFY(t.outgoing().startsWith(u'\n'));
    }

    void savingAndCreatingFiles()
    {
        Topics t(home());
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->selectAll();
        t.topicBox()->insertPlainText(u"New text"_s);
        QTextCursor part = t.topicBox()->textCursor();
        part.setPosition(0);
        part.setPosition(3, QTextCursor::KeepAnchor);
        t.topicBox()->setTextCursor(part);
        QVERIFY(t.router.execute(kSaveCommand));
        QCOMPARE(t.contents(u"Billing/invoice.txt"_s), QByteArray("New text"));
        QVERIFY(!t.topicBox()->document()->isModified());

        // Only the exact extension "rtf" makes a rich file.
        t.prompter.chooseFile(t.path(u"Returns/reply.RTF"_s));
        t.controller->CreateTopicFile();
        QCOMPARE(t.contents(u"Returns/reply.RTF"_s), QByteArray("New"));
        QCOMPARE(t.topicText(), u" "_s);
        QVERIFY(t.item("Returns", "reply.RTF"));

        t.topicBox()->setPlainText(u"Rich one"_s);
        t.prompter.chooseFile(t.path(u"Returns/rich.rtf"_s));
        t.controller->CreateTopicFile();
        QVERIFY(t.contents(u"Returns/rich.rtf"_s).startsWith("{\\rtf"));
        QCOMPARE(t.prompter.fileRequests().last().caption, u"Save File"_s);
    }

    void openingAFileThroughTheDialog()
    {
        Topics t(home());
        const QString outside = m_dir.filePath(u"outside.txt"_s);
        put(outside, "From elsewhere");
        t.prompter.chooseFile(outside);
        QVERIFY(t.router.execute(57601));
        QCOMPARE(t.topicText(), u"From elsewhere"_s);
        QCOMPARE(t.controller->source(), TopicController::FromFileDialog);
        QCOMPARE(t.prompter.fileRequests().first().directory, t.root());
        // Files from the dialog cannot be renamed or deleted through the tree.
        QVERIFY(!t.router.state(32882).enabled);
        QVERIFY(!t.router.state(1239).enabled);
    }

    void selectorSwitchesRoots()
    {
        Topics t(home());
        put(t.doc.programDirectory() + u"Examples/Getting started/intro.txt"_s, "Hi");
        t.controller->SelectRoot(9);
        QCOMPARE(t.doc.currentPathIndex(), 9);
        QCOMPARE(t.tree->topLevelItemCount(), 1);
        QCOMPARE(t.tree->topLevelItem(0)->text(0), u"Getting started"_s);
    }

    void pathsPageStoresChangedPaths()
    {
        Topics t(home());
        cproppage5 page(t.doc);
        QVERIFY(page.pathEdit(0)->isReadOnly());
        page.pathEdit(2)->setText(u"C:"_s);
        t.prompter.chooseFile(u"/srv/topics"_s);
        page.browse(5);
        QVERIFY(page.apply(t.doc));
        QCOMPARE(t.doc.GetSupportPath(2), u"C:unknown"_s);
        QCOMPARE(t.doc.GetSupportPath(5), u"/srv/topics"_s);
        QCOMPARE(t.prompter.fileRequests().last().caption, u"Select a Starting Directory"_s);
        QVERIFY(!cproppage5(t.doc).apply(t.doc));
    }
};

QTEST_MAIN(TestTopicCommands)
#include "tst_topiccommands.moc"
