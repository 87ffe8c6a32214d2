// The topic text box: loading topic files, saving them, creating new ones, and putting
// topic text, header, footer and date into the outgoing message.

#include "TopicController.h"
#include "TopicFileReader.h"
#include "TopicHost.h"
#include "TopicTreeWidget.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "core/TextFiles.h"
#include "core/WaitCursor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QTextCursor>
#include <QTextEdit>

namespace {

constexpr int kTopicBox = 1001;
constexpr int kWarningTitle = 20141;

enum Message {
    NoTextToTransfer = 20031,
    NoTextToLoad = 20043,
    NoTextToSave = 20044,
    CannotWrite = 20045,
    NoDate = 20111,
    SaveFirst = 25009,
    NoCurrentTopicFile = 25691,
    TextCut = 25692,
};

enum CommandId {
    NewTopicFolderCommand = 1238,
    CreateTopicFileCommand = 1007,
    OpenTopicFileCommand = 57601,
    SaveTopicFileCommand = 57603,
    SaveTopicFileAsCommand = 57604,
    RenameCommand = 32882,
    DeleteCommand = 1239,
    RefreshCommand = 32835,
};

enum ButtonId {
    CreateFromAboveButton = 1007,
    UpdateButton = 1014,
    HeaderButton = 1010,
    FooterButton = 1009,
    AddDateButton = 1012,
};

} // namespace

QString formatTopicDate(const QDateTime& when)
{
    // The English month names of the C locale, not the user's.
    const QString line = QLocale::c().toString(when.date(), QStringLiteral("MMMM dd, yyyy"));
    return QStringLiteral("\r\n") + line + QStringLiteral("\r\n");
}

void TopicController::bindCommands(CommandRouter& router)
{
    const auto always = [] {
        return CommandState{};
    };
    const auto loaded = [this] {
        return CommandState{m_source != NothingLoaded, false};
    };
    router.bind(
        NewTopicFolderCommand, [this] { NewTopicFolder(); }, always);
    router.bind(
        CreateTopicFileCommand, [this] { CreateTopicFile(); }, always);
    router.bind(
        OpenTopicFileCommand, [this] { OpenTopicFile(); }, always);
    router.bind(
        SaveTopicFileCommand, [this] { SaveTopicFile(); }, loaded);
    router.bind(
        SaveTopicFileAsCommand, [this] { CreateTopicFile(); }, loaded);
    router.bind(
        RefreshCommand, [this] { Refresh(); }, always);
    router.bind(
        RenameCommand, [this] { RenameSelected(); },
        [this] {
            const int tab = m_host.currentTab();
            return CommandState{(tab == kCreateReplyTab || tab == kCreateTopicFileTab) &&
                                    m_source != FromFileDialog,
                                false};
        });
    router.bind(
        DeleteCommand, [this] { DeleteSelected(); },
        [this] {
            return CommandState{m_source != FromFileDialog, false};
        });
}

void TopicController::connectButtons(const std::function<QObject*(int)>& control)
{
    const std::pair<int, void (TopicController::*)()> buttons[] = {
        {CreateFromAboveButton, &TopicController::CreateTopicFile},
        {UpdateButton, &TopicController::UpdateCurrentTopicFile},
        {HeaderButton, &TopicController::InsertHeader},
        {FooterButton, &TopicController::InsertFooter},
        {AddDateButton, &TopicController::AddDate},
    };
    for (const auto& [id, handler] : buttons) {
        if (auto* button = qobject_cast<QAbstractButton*>(control(id)))
            connect(button, &QAbstractButton::clicked, this, handler);
    }
}

QString TopicController::boxText(int rich)
{
    // The whole text, whatever is selected.
    QTextEdit* box = m_host.topicBox();
    const QTextCursor kept = box->textCursor();
    QTextCursor none = kept;
    none.clearSelection();
    box->setTextCursor(none);
    QString text;
    m_host.streamTextOut(kTopicBox, text, rich);
    box->setTextCursor(kept);
    return text;
}

bool TopicController::writeBoxTo(const QString& path, bool rich)
{
    if (m_host.topicBox()->document()->isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToSave, TitleWarning);
        return false;
    }
    const QString text = boxText(rich ? 1 : 0);
    if (text.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToSave, TitleWarning);
        return false;
    }
    if (!WriteTextFile(path, text)) {
        ShowViewMessage(m_host.hostWidget(), CannotWrite, TitleWarning);
        return false;
    }
    m_host.topicBox()->document()->setModified(false);
    return true;
}

void TopicController::OnTreeSelection()
{
    QTextEdit* box = m_host.topicBox();
    if (m_firstSelection) {
        m_firstSelection = false;
        box->document()->setModified(false);
    }
    const QList<QTreeWidgetItem*> selected = m_tree.selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* item = selected.first();
    if (item->childCount() > 0) {
        m_source = NothingLoaded;
        return;
    }
    if (box->document()->isModified() &&
        AskViewYesNo(m_host.hostWidget(), SaveFirst, kWarningTitle))
        UpdateCurrentTopicFile();
    if (!item->parent()) {
        m_source = NothingLoaded;
        return;
    }
    loadIntoBox(filePath(item->parent()->text(0), item->text(0)), FromTree);
}

bool TopicController::loadIntoBox(const QString& path, Source source)
{
    QString text;
    bool cut = false;
    if (!ReadTopicFile(m_host.hostWidget(), path, text, false, kTextBoxLimit, &cut))
        return false;
    if (text.isEmpty()) {
        // An empty tree file has nothing to transfer; an empty opened file nothing to load.
        if (source == FromTree)
            ShowViewMessage(m_host.hostWidget(), NoTextToTransfer, TitleInformation);
        else
            ShowViewMessage(m_host.hostWidget(), NoTextToLoad, TitleWarning);
        return false;
    }
    bool rich = false;
    ProbeRichTextFile(path, rich);
    m_currentPath = path;
    m_rich = rich;
    m_host.streamTextIn(kTopicBox, false, text, rich ? 1 : 0);
    m_host.topicBox()->document()->setModified(false);
    m_source = source;
    if (cut)
        ShowViewMessage(m_host.hostWidget(), TextCut, TitleInformation);
    return true;
}

void TopicController::OpenTopicFile()
{
    const QString path = Prompter::current().openFileName(
        m_host.hostWidget(),
        {QStringLiteral("Open file"), m_doc.currentTopicRoot(),
         QStringLiteral("Text Files (*.txt) (*.txt);;Rich Text Files (*.rtf) (*.rtf);;"
                        "All Files (*.*) (*)"),
         QStringLiteral("txt")});
    if (path.isEmpty())
        return;
    const WaitCursor wait;
    if (QTreeWidgetItem* item = m_tree.currentItem()) {
        const QSignalBlocker quiet(&m_tree);
        item->setExpanded(false);
        m_tree.clearSelection();
    }
    loadIntoBox(path, FromFileDialog);
}

void TopicController::SaveTopicFile()
{
    writeBoxTo(m_currentPath, m_rich);
}

void TopicController::UpdateCurrentTopicFile()
{
    if (m_host.topicBox()->document()->isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToSave, TitleWarning);
        return;
    }
    if (m_currentPath.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoCurrentTopicFile, TitleWarning);
        return;
    }
    // A file that cannot be probed keeps the format it was loaded in.
    bool rich = m_rich;
    if (!ProbeRichTextFile(m_currentPath, rich))
        rich = m_rich;
    writeBoxTo(m_currentPath, rich);
}

void TopicController::CreateTopicFile()
{
    const QString path = Prompter::current().saveFileName(
        m_host.hostWidget(),
        {QStringLiteral("Save File"), m_doc.currentTopicRoot(),
         QStringLiteral("Text Files (*.txt);;Rich Text Files(*.rtf) (*.rtf);;All Files(*.*) (*)"),
         QStringLiteral("txt")});
    if (path.isEmpty())
        return;
    // Only the exact extension "rtf" asks for rich text.
    const bool rich = QFileInfo(path).suffix() == u"rtf";
    QString text;
    m_host.streamTextOut(kTopicBox, text, rich ? 1 : 0);
    if (text.isEmpty() || m_host.topicBox()->document()->isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToSave, TitleWarning);
        return;
    }
    if (!WriteTextFile(path, text)) {
        ShowViewMessage(m_host.hostWidget(), CannotWrite, TitleWarning);
        return;
    }
    Refresh();
    m_host.streamTextIn(kTopicBox, false, QStringLiteral(" "), 0);
    m_host.topicBox()->document()->setModified(false);
}

void TopicController::insertHeadFoot(const QString& baseName)
{
    const WaitCursor wait;
    const int format = m_host.outgoingFormat();
    const QString folder = m_doc.mainSupportPath() + QStringLiteral("/headfoot/");
    QString path = folder + baseName + (format ? QStringLiteral(".rtf") : QStringLiteral(".txt"));
    bool rich = false;
    if (!ProbeRichTextFile(path, rich)) {
        path = folder + baseName + QStringLiteral(".txt");
        if (!format || !ProbeRichTextFile(path, rich)) {
            ShowViewMessage(m_host.hostWidget(), NoTextToTransfer, TitleInformation);
            return;
        }
    }
    QString text;
    bool cut = false;
    if (!ReadTopicFile(m_host.hostWidget(), path, text, false, kTextBoxLimit, &cut))
        return;
    if (text.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToTransfer, TitleInformation);
        return;
    }
    m_host.transferToOutgoing(text, rich ? 1 : format);
    if (cut)
        ShowViewMessage(m_host.hostWidget(), TextCut, TitleInformation);
}

void TopicController::InsertHeader()
{
    insertHeadFoot(QStringLiteral("header"));
}

void TopicController::InsertFooter()
{
    insertHeadFoot(QStringLiteral("footer"));
}

void TopicController::AddDate()
{
    const QString date = formatTopicDate(QDateTime::currentDateTime());
    if (date.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoDate, TitleWarning);
        return;
    }
    m_host.transferToOutgoing(date, m_host.outgoingFormat());
}
