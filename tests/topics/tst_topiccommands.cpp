#include "CSupportView.h"
#include "CTextBox.h"
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/MessageHelpers.h"
#include "core/SettingsStore.h"
#include "core/TextFiles.h"
#include "topics/TopicController.h"
#include "topics/TopicNameDialog.h"
#include "topics/TopicPathsPage.h"
#include "topics/TopicStore.h"
#include "topics/TopicTreeWidget.h"

#include <QDir>
#include <QDrag>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <clocale>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A file whose name is given as raw bytes, valid UTF-8 or not.
void putNative(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

// The workspace over a program directory with a few topic folders.
struct Topics
{
    explicit Topics(const QString& home, int outgoingFormat = 0)
        : store(home + QStringLiteral("settings.ini"))
        , doc(store, home)
    {
        const QString root = home + QStringLiteral("support1/");
        put(root + QStringLiteral("Billing/reply.rtf"), "{\\rtf1\\ansi Refund {\\b soon}\\par}");
        put(root + QStringLiteral("Billing/invoice.txt"), "Your invoice is attached.");
        put(root + QStringLiteral("Returns/label.txt"), "Print the label.");
        QDir().mkpath(root + QStringLiteral("Empty"));
        store.writeInt(SettingsStore::kInternalData, QStringLiteral("Outgoing text type"),
                       outgoingFormat);
        doc.LoadSettings();
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
    QTreeWidgetItem* item(const QString& folder, const QString& file = {}) const
    {
        QTreeWidgetItem* f = tree->folderItem(folder);
        if (!f || file.isEmpty())
            return f;
        for (int i = 0; i < f->childCount(); ++i) {
            if (f->child(i)->text(0) == file)
                return f->child(i);
        }
        return nullptr;
    }
    void select(QTreeWidgetItem* target) const
    {
        tree->setCurrentItem(target);
        target->setSelected(true);
    }
    QString outgoing() const { return view->textBox(1000)->toPlainText(); }
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
    CTextBox* topicBox() const { return view->textBox(1001); }

    SettingsStore store;
    CSupportDoc doc;
    LifecycleHooks hooks;
    CommandRouter router;
    std::unique_ptr<CSupportView> view;
    TopicController* controller = nullptr;
    TopicTreeWidget* tree = nullptr;
};

int answerDialogWith(QDialog& dialog, const QString& name)
{
    auto* naming = qobject_cast<TopicNameDialog*>(&dialog);
    if (!naming)
        return QDialog::Rejected;
    naming->setName(name);
    return QDialog::Accepted;
}

} // namespace

class TestTopicCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;
    QString home() { return m_dir.filePath(QStringLiteral("home%1/").arg(++m_run)); }

private Q_SLOTS:
    void treeFollowsTheTable()
    {
        Topics t(home());
        QCOMPARE(t.tree->topLevelItemCount(), 3);
        QCOMPARE(t.tree->topLevelItem(0)->text(0), QStringLiteral("Billing"));
        QCOMPARE(t.tree->topLevelItem(0)->childCount(), 2);
        QCOMPARE(t.tree->topLevelItem(0)->data(0, TopicTreeWidget::kIndexRole).toInt(), 1);
        QCOMPARE(t.item("Billing", "reply.rtf")->data(0, TopicTreeWidget::kIndexRole).toInt(), 0);
    }

    void selectingAFileLoadsIt()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        QVERIFY(!t.router.state(57603).enabled); // nothing loaded yet
        t.select(t.item("Billing", "reply.rtf"));
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("Refund soon"));
        QVERIFY(t.controller->loadedRich());
        QCOMPARE(t.controller->source(), TopicController::FromTree);
        QVERIFY(t.router.state(57603).enabled);
        QVERIFY(prompter.notices().isEmpty());
    }

    void switchingFilesAsksAboutEdits()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->insertPlainText(QStringLiteral("edited "));
        prompter.answerNo();
        t.select(t.item("Returns", "label.txt"));
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().text,
                 QStringLiteral("You have modified your last file. Do you want to save it first?"));
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("Print the label."));
        QCOMPARE(contents(t.root() + QStringLiteral("/Billing/invoice.txt")),
                 QByteArray("Your invoice is attached."));

        // Yes saves the edits of the file being left.
        t.topicBox()->moveCursor(QTextCursor::End);
        t.topicBox()->insertPlainText(QStringLiteral(" Thanks."));
        prompter.answerYes();
        t.select(t.item("Billing", "invoice.txt"));
        QCOMPARE(contents(t.root() + QStringLiteral("/Returns/label.txt")),
                 QByteArray("Print the label. Thanks."));
    }

    void readFailuresAreExplained_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero bytes") << QByteArray() << QStringLiteral("Zero bytes read");
        QTest::newRow("starts with NUL")
            << QByteArray("\0x", 2) << QStringLiteral("File size is zero");
    }
    void readFailuresAreExplained()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        ScriptedPrompter prompter;
        Topics t(home());
        put(t.root() + QStringLiteral("/Returns/broken.txt"), bytes);
        t.controller->Refresh();
        t.select(t.item("Returns", "broken.txt"));
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().text, message);
        QCOMPARE(t.controller->source(), TopicController::NothingLoaded);
    }

    // The loaded file, edited: Yes to the save question writes the edits, in the file's
    // own format, to the renamed file.
    void renameThroughTheDialogKeepsTheExtension()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.select(t.item("Billing", "reply.rtf"));
        t.topicBox()->moveCursor(QTextCursor::End);
        t.topicBox()->insertPlainText(QStringLiteral(" today"));
        prompter.dialogScript(
            [](QDialog& d) { return answerDialogWith(d, QStringLiteral("answer")); });
        prompter.answerYes(); // asked as the renamed file is selected again
        t.controller->RenameSelected();
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/Billing/reply.rtf")));
        const QByteArray saved = contents(t.root() + QStringLiteral("/Billing/answer.rtf"));
        QVERIFY2(saved.startsWith("{\\rtf") && saved.contains("today"), saved.constData());
        QCOMPARE(t.tree->currentItem()->text(0), QStringLiteral("answer.rtf"));
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("Refund soon today"));

        // The same name again changes nothing.
        prompter.dialogScript(
            [](QDialog& d) { return answerDialogWith(d, QStringLiteral("answer")); });
        t.controller->RenameSelected();
        QCOMPARE(prompter.notices().last().text,
                 QStringLiteral("No change. Both have the same name!"));
    }

    void renameInPlaceTakesTheWholeName()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        QTreeWidgetItem* reply = t.item("Billing", "reply.rtf");
        reply->setText(0, QStringLiteral("answer")); // as an in-place edit ends
        QVERIFY(QFileInfo::exists(t.root() + QStringLiteral("/Billing/answer")));
        QCOMPARE(reply->text(0), QStringLiteral("answer"));
        t.controller->Refresh();
        QVERIFY(!t.item("Billing", "answer"));

        // An empty label is refused and the old one comes back.
        QTreeWidgetItem* folder = t.item("Returns");
        folder->setText(0, QString());
        QCOMPARE(folder->text(0), QStringLiteral("Returns"));
    }

    void namesThatLeaveTheRootAreRefused()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        prompter.dialogScript(
            [](QDialog& d) { return answerDialogWith(d, QStringLiteral("../escape")); });
        t.controller->NewTopicFolder();
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/../escape")));
        QVERIFY(prompter.notices().last().text.contains(QStringLiteral("cannot contain")));

        t.select(t.item("Billing", "invoice.txt"));
        prompter.dialogScript(
            [](QDialog& d) { return answerDialogWith(d, QStringLiteral("../../x")); });
        t.controller->RenameSelected();
        QVERIFY(QFileInfo::exists(t.root() + QStringLiteral("/Billing/invoice.txt")));

        t.item("Returns")->setText(0, QStringLiteral(".."));
        QVERIFY(QFileInfo(t.root() + QStringLiteral("/Returns")).isDir());
        QCOMPARE(t.item("Returns")->text(0), QStringLiteral("Returns"));
    }

    void newFoldersGetTypedOrRandomNames()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        prompter.dialogScript(
            [](QDialog& d) { return answerDialogWith(d, QStringLiteral("Shipping")); });
        t.controller->NewTopicFolder();
        QVERIFY(t.item("Shipping"));
        prompter.dialogScript([](QDialog& d) { return answerDialogWith(d, QString()); });
        t.controller->NewTopicFolder();
        const QStringList folders = QDir(t.root()).entryList({QStringLiteral("temp*")}, QDir::Dirs);
        QCOMPARE(folders.size(), 1);
        QCOMPARE(folders.first().size(), 8);

        t.doc.setTopicFolderCount(999);
        prompter.dialogScript(
            [](QDialog& d) { return answerDialogWith(d, QStringLiteral("More")); });
        t.controller->NewTopicFolder();
        QCOMPARE(prompter.notices().last().text, QStringLiteral("Unable to add topic node"));
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/More")));
    }

    void deleteChecksBeforeRemoving()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.select(t.item("Billing"));
        prompter.answerYes();
        t.controller->DeleteSelected();
        QCOMPARE(
            prompter.notices().last().text,
            QStringLiteral("Please delete the topic files before deleting this directory node"));
        QVERIFY(t.item("Billing"));

        t.select(t.item("Returns", "label.txt"));
        prompter.answerNo();
        t.controller->DeleteSelected();
        QVERIFY(QFileInfo::exists(t.root() + QStringLiteral("/Returns/label.txt")));
        t.select(t.item("Returns", "label.txt"));
        prompter.answerYes();
        t.controller->DeleteSelected();
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/Returns/label.txt")));
        t.select(t.item("Empty"));
        prompter.answerYes();
        t.controller->DeleteSelected();
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/Empty")));
        QVERIFY(!t.item("Empty"));
    }

    void draggingFilesBetweenFolders()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.controller->DropOnItem(t.item("Billing", "reply.rtf"), t.item("Billing", "invoice.txt"));
        QCOMPARE(prompter.notices().last().text, QStringLiteral("Already in that folder!"));

        t.controller->DropOnItem(t.item("Billing", "reply.rtf"), t.item("Returns", "label.txt"));
        QVERIFY(QFileInfo::exists(t.root() + QStringLiteral("/Returns/reply.rtf")));
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/Billing/reply.rtf")));
        QCOMPARE(t.item("Returns")->child(0)->text(0), QStringLiteral("reply.rtf"));
        QVERIFY(!t.item("Billing", "reply.rtf"));

        // A file of that name already in the target stays as it is.
        put(t.root() + QStringLiteral("/Empty/invoice.txt"), "other");
        t.controller->Refresh();
        t.controller->DropOnItem(t.item("Billing", "invoice.txt"), t.item("Empty"));
        QCOMPARE(prompter.notices().last().text, QStringLiteral("Unable to copy dragged files"));
        QCOMPARE(contents(t.root() + QStringLiteral("/Empty/invoice.txt")), QByteArray("other"));
        QVERIFY(t.item("Billing", "invoice.txt"));
    }

    // Whatever moves or removes the loaded file, a save never writes where it was.
    void theLoadedFileFollowsMovesAndDeletes()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.select(t.item("Billing", "invoice.txt"));
        t.controller->DropOnItem(t.item("Billing", "invoice.txt"), t.item("Returns"));
        QCOMPARE(t.controller->currentTopicPath(),
                 t.root() + QStringLiteral("/Returns/invoice.txt"));
        t.item("Returns")->setText(0, QStringLiteral("Refunds")); // its folder renamed in place
        const QString moved = t.root() + QStringLiteral("/Refunds/invoice.txt");
        QCOMPARE(t.controller->currentTopicPath(), moved);
        t.topicBox()->setPlainText(QStringLiteral("Moved and saved"));
        QVERIFY(t.router.execute(57603));
        QCOMPARE(contents(moved), QByteArray("Moved and saved"));
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/Billing/invoice.txt")));
        QVERIFY(!QFileInfo::exists(t.root() + QStringLiteral("/Returns")));

        t.controller->Refresh();
        t.select(t.item("Refunds", "invoice.txt"));
        t.topicBox()->insertPlainText(QStringLiteral("unsaved "));
        prompter.answerYes();
        t.controller->DeleteSelected();
        QVERIFY(!QFileInfo::exists(moved));
        QCOMPARE(t.controller->currentTopicPath(), QString());
        QCOMPARE(t.controller->source(), TopicController::NothingLoaded);
        QVERIFY(!t.router.state(57603).enabled);
        t.controller->UpdateCurrentTopicFile();
        QCOMPARE(prompter.notices().last().text, MessageText(25691));
        QVERIFY(!QFileInfo::exists(moved));
    }

    void namesThatAreNotUtf8KeepTheirBytes()
    {
        ScriptedPrompter prompter;
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
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("Bonjour"));
        QVERIFY(prompter.notices().isEmpty());
        // Saving writes the very file it came from, not a look-alike.
        t.topicBox()->setPlainText(QStringLiteral("Salut"));
        QVERIFY(t.router.execute(57603));
        QVERIFY(prompter.notices().isEmpty());
        QString kept;
        QCOMPARE(ReadTextFile(t.root() + u'/' + fileNameFromNative("Caf\xe9/r\xe9ponse.txt"), kept),
                 int(ReadSuccess));
        QCOMPARE(kept, QStringLiteral("Salut"));
        QVERIFY(!QFileInfo::exists(QFile::decodeName(root + "/Caf\xe9")));
        prompter.clear();

        t.select(t.item("Returns", fileNameFromNative("\xff\xfe.txt")));
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("Odd"));
        prompter.answerYes();
        t.controller->DeleteSelected();
        QCOMPARE(prompter.notices().size(), 1); // only the question
        QVERIFY(::access((root + "/Returns/\xff\xfe.txt").constData(), F_OK) != 0);
    }

    void aFileLongerThanTheBoxIsCutAndSaysSo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << "long.txt" << QByteArray() << QByteArray(79, 'x') + '\n';
        QTest::newRow("rich") << "long.rtf" << QByteArray("{\\rtf1\\ansi ")
                              << QByteArray(74, 'x') + "\\par\n";
    }
    void aFileLongerThanTheBoxIsCutAndSaysSo()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, line);
        ScriptedPrompter prompter;
        Topics t(home());
        put(t.root() + QStringLiteral("/Billing/") + name,
            head + line.repeated(kTextBoxLimit / line.size() + 100));
        t.controller->Refresh();
        t.select(t.item("Billing", name));
        const int shown = t.topicBox()->document()->characterCount() - 1;
        QVERIFY2(shown > kTextBoxLimit * 9 / 10 && shown <= kTextBoxLimit,
                 qPrintable(QString::number(shown)));
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().text, MessageText(25692));
        QCOMPARE(t.controller->source(), TopicController::FromTree);
    }

    // The drag runner stands in for the desktop's drag loop, which cannot run here.
    void draggingOutOfTheTree_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<QString>("outgoing");
        QTest::newRow("dropped on the outgoing box") << 2 << true << "Print the label.";
        QTest::newRow("cancelled over the outgoing box") << 2 << false << "";
        QTest::newRow("dropped, but not on Create Reply") << 6 << true << "";
    }
    void draggingOutOfTheTree()
    {
        QFETCH(int, tab);
        QFETCH(bool, dropped);
        QFETCH(QString, outgoing);
        ScriptedPrompter prompter;
        Topics t(home());
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.view->SelectTab(tab);
        // Unsaved edits: a drag must not ask about them, nor load the dragged file.
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->insertPlainText(QStringLiteral("edited "));
        const QPoint over = t.view->outgoingBoxScreenRect().center();
        int drags = 0;
        t.drag(t.item("Returns", "label.txt"), [&](QDrag& drag) {
            ++drags;
            [&] {
                QVERIFY(drag.mimeData()->hasFormat(TopicTreeWidget::kMimeType));
            }();
            return dropped ? TopicTreeWidget::DragEnd{Qt::MoveAction, over}
                           : TopicTreeWidget::DragEnd{Qt::IgnoreAction, std::nullopt};
        });
        QCOMPARE(drags, 1);
        QCOMPARE(t.outgoing(), outgoing);
        QVERIFY(prompter.notices().isEmpty());
        QCOMPARE(t.controller->currentTopicPath(),
                 t.root() + QStringLiteral("/Billing/invoice.txt"));
        QVERIFY(t.topicBox()->toPlainText().startsWith(QStringLiteral("edited ")));
    }

    void pressingOnlyRemembersAClickSelects()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->insertPlainText(QStringLiteral("edited "));
        QTreeWidgetItem* label = t.item("Returns", "label.txt");
        t.tree->expandAll();
        QTest::mousePress(t.tree->viewport(), Qt::LeftButton, {}, t.centre(label));
        QVERIFY(prompter.notices().isEmpty());
        QVERIFY(!label->isSelected());
        QVERIFY(t.topicBox()->toPlainText().startsWith(QStringLiteral("edited ")));
        prompter.answerNo();
        QTest::mouseRelease(t.tree->viewport(), Qt::LeftButton, {}, t.centre(label));
        QCOMPARE(prompter.notices().size(), 1); // the save question, after the click
        QVERIFY(label->isSelected());
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("Print the label."));

        // A folder dragged nowhere neither loads nor moves anything.
        int drags = 0;
        t.drag(t.item("Empty"), [&](QDrag&) {
            ++drags;
            return TopicTreeWidget::DragEnd{};
        });
        QCOMPARE(drags, 0);
        QVERIFY(label->isSelected());
    }

    void headerAndFooterFallBack()
    {
        ScriptedPrompter prompter;
        {
            Topics t(home(), 1); // rich outgoing text, only the plain header present
            put(t.doc.mainSupportPath() + QStringLiteral("/headfoot/header.txt"), "Dear customer,");
            t.controller->InsertHeader();
            QCOMPARE(t.outgoing(), QStringLiteral("Dear customer,"));
            t.controller->InsertFooter();
            QCOMPARE(prompter.notices().last().text, QStringLiteral("No text to transfer"));
        }
        {
            Topics t(home(), 0); // plain outgoing text, only the rich footer present
            put(t.doc.mainSupportPath() + QStringLiteral("/headfoot/footer.rtf"),
                "{\\rtf1 Regards\\par}");
            prompter.clear();
            t.controller->InsertFooter();
            QCOMPARE(prompter.notices().size(), 1);
            QCOMPARE(prompter.notices().first().text, QStringLiteral("No text to transfer"));
            QCOMPARE(t.outgoing(), QString());
        }
    }

    // The month is named in English whatever the user's locale says.
    void dateLine()
    {
        QTemporaryDir locales;
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                         QStringLiteral("UTF-8"), locales.filePath(QStringLiteral("de_DE.UTF-8"))});
        if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
            QSKIP("no German locale can be made here");
        qputenv("LOCPATH", QFile::encodeName(locales.path()));
        QVERIFY(std::setlocale(LC_ALL, "de_DE.UTF-8"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime when(QDate(2026, 12, 5), QTime(9, 30));
        const QString line = formatTopicDate(when);
        std::setlocale(LC_ALL, "C.UTF-8");
        QLocale::setDefault(QLocale::c());
        qunsetenv("LOCPATH");
        QCOMPARE(line, QStringLiteral("\r\nDecember 05, 2026\r\n"));

        Topics t(home());
        t.controller->AddDate();
        QVERIFY(t.outgoing().contains(QString::number(QDate::currentDate().year())));
        QVERIFY(t.outgoing().startsWith(u'\n'));
    }

    void savingAndCreatingFiles()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        t.select(t.item("Billing", "invoice.txt"));
        t.topicBox()->selectAll();
        t.topicBox()->insertPlainText(QStringLiteral("New text"));
        QTextCursor part = t.topicBox()->textCursor();
        part.setPosition(0);
        part.setPosition(3, QTextCursor::KeepAnchor);
        t.topicBox()->setTextCursor(part);
        QVERIFY(t.router.execute(57603));
        QCOMPARE(contents(t.root() + QStringLiteral("/Billing/invoice.txt")),
                 QByteArray("New text"));
        QVERIFY(!t.topicBox()->document()->isModified());

        // Only the exact extension "rtf" makes a rich file.
        prompter.chooseFile(t.root() + QStringLiteral("/Returns/reply.RTF"));
        t.controller->CreateTopicFile();
        QCOMPARE(contents(t.root() + QStringLiteral("/Returns/reply.RTF")), QByteArray("New"));
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral(" "));
        QVERIFY(t.item("Returns", "reply.RTF"));

        t.topicBox()->setPlainText(QStringLiteral("Rich one"));
        prompter.chooseFile(t.root() + QStringLiteral("/Returns/rich.rtf"));
        t.controller->CreateTopicFile();
        QVERIFY(contents(t.root() + QStringLiteral("/Returns/rich.rtf")).startsWith("{\\rtf"));
        QCOMPARE(prompter.fileRequests().last().caption, QStringLiteral("Save File"));
    }

    void openingAFileThroughTheDialog()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        const QString outside = m_dir.filePath(QStringLiteral("outside.txt"));
        put(outside, "From elsewhere");
        prompter.chooseFile(outside);
        QVERIFY(t.router.execute(57601));
        QCOMPARE(t.topicBox()->toPlainText(), QStringLiteral("From elsewhere"));
        QCOMPARE(t.controller->source(), TopicController::FromFileDialog);
        QCOMPARE(prompter.fileRequests().first().directory, t.root());
        // Files from the dialog cannot be renamed or deleted through the tree.
        QVERIFY(!t.router.state(32882).enabled);
        QVERIFY(!t.router.state(1239).enabled);
    }

    void selectorSwitchesRoots()
    {
        Topics t(home());
        put(t.doc.programDirectory() + QStringLiteral("Examples/Getting started/intro.txt"), "Hi");
        t.controller->SelectRoot(9);
        QCOMPARE(t.doc.currentPathIndex(), 9);
        QCOMPARE(t.tree->topLevelItemCount(), 1);
        QCOMPARE(t.tree->topLevelItem(0)->text(0), QStringLiteral("Getting started"));
    }

    void pathsPageStoresChangedPaths()
    {
        ScriptedPrompter prompter;
        Topics t(home());
        cproppage5 page(t.doc);
        QVERIFY(page.pathEdit(0)->isReadOnly());
        page.pathEdit(2)->setText(QStringLiteral("C:"));
        prompter.chooseFile(QStringLiteral("/srv/topics"));
        page.browse(5);
        QVERIFY(page.apply(t.doc));
        QCOMPARE(t.doc.GetSupportPath(2), QStringLiteral("C:unknown"));
        QCOMPARE(t.doc.GetSupportPath(5), QStringLiteral("/srv/topics"));
        QCOMPARE(prompter.fileRequests().last().caption,
                 QStringLiteral("Select a Starting Directory"));
        cproppage5 again(t.doc);
        QVERIFY(!again.apply(t.doc));
    }
};

QTEST_MAIN(TestTopicCommands)
#include "tst_topiccommands.moc"
