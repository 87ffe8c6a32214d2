// The topic tree: building it from the topic store, switching roots, new folders,
// renames, deletion and dragging files between folders.

#include "TopicController.h"
#include "TopicFileReader.h"
#include "TopicFiles.h"
#include "TopicHost.h"
#include "TopicNameDialog.h"
#include "TopicNames.h"
#include "TopicStore.h"
#include "TopicTreeWidget.h"
#include "core/CSupportDoc.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "core/TextFiles.h"
#include "core/WaitCursor.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QTextEdit>

namespace {

enum Message {
    CannotRenameFile = 20101,
    CannotRenameFolder = 20103,
    SelectFirst = 20089,
    DeleteFilesFirst = 20092,
    CannotDeleteFolder = 20090,
    CannotDeleteFile = 20091,
    FolderNotDraggable = 20099,
    AlreadyInFolder = 20096,
    CannotMoveFile = 20098,
    AddTopicNodeFailed = 20109,
    NoTextToRename = 20165,
    SameName = 20166,
    CouldNotRename = 20167,
    CannotCreateDirectory = 20142,
    AreYouSure = 20116,
    DeleteTitle = 20121,
    NoTextToTransfer = 20031,
    UnsafeTopicName = 25690,
    TextCut = 25692,
};

// The title of "Could not rename" is the old path, cut to what the title held.
constexpr qsizetype kRenameTitleLength = 251;

} // namespace

TopicController::TopicController(CSupportDoc& doc, TopicHost& host, TopicTreeWidget& tree,
                                 QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_host(host)
    , m_tree(tree)
    , m_random(quint32(QDateTime::currentSecsSinceEpoch()))
{
    connect(&m_tree, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_filling)
            OnTreeSelection();
    });
    connect(&m_tree, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { onItemChanged(item); });
    connect(&m_tree, &TopicTreeWidget::fileDropped, this, &TopicController::DropOnItem);
    connect(&m_tree, &TopicTreeWidget::fileDroppedOutside, this, &TopicController::DropOutside);
}

QString TopicController::folderPath(const QString& folder) const
{
    return m_doc.currentTopicRoot() + u'/' + folder;
}

QString TopicController::filePath(const QString& folder, const QString& file) const
{
    return folderPath(folder) + u'/' + file;
}

bool TopicController::refuseUnsafe(const QString& name)
{
    if (isSafeTopicName(name))
        return false;
    ShowViewMessage(m_host.hostWidget(), UnsafeTopicName, TitleWarning);
    return true;
}

void TopicController::connectSelector(QComboBox* selector)
{
    connect(selector, &QComboBox::activated, this, [this, selector](int index) {
        const int tab = m_host.currentTab();
        if (tab == kCreateReplyTab || tab == kCreateTopicFileTab)
            SelectRoot(index);
        Q_UNUSED(selector);
    });
}

void TopicController::fillTree()
{
    m_filling = true;
    m_tree.clear();
    m_tree.fill(m_doc.topicFolderTable(), m_doc.topicFolderCount());
    m_filling = false;
}

void TopicController::Refresh()
{
    BuildTopicStore(m_doc, m_host.hostWidget());
    fillTree();
}

void TopicController::SelectRoot(int index)
{
    if (index == m_doc.currentPathIndex() || index < 0 || index > 9)
        return;
    m_doc.setCurrentPathIndex(index);
    const WaitCursor wait;
    Refresh();
}

void TopicController::NewTopicFolder()
{
    TopicNameDialog dialog(TopicNameDialog::NewFolder, {}, m_host.hostWidget());
    const bool accepted = Prompter::current().runDialog(dialog) == QDialog::Accepted;
    QString name = accepted ? dialog.name().trimmed() : QString();
    if (name.isEmpty())
        name = randomTopicName(m_random);
    if (refuseUnsafe(name))
        return;
    if (m_doc.topicFolderCount() >= CSupportDoc::kMaxTopicFolders) {
        ShowViewMessage(m_host.hostWidget(), AddTopicNodeFailed, TitleWarning);
        return;
    }
    const QString path = folderPath(name);
    if (!isFolder(path) && !makeFolder(path))
        ShowViewMessage(m_host.hostWidget(), CannotCreateDirectory, TitleInformation);
    Refresh();
}

void TopicController::RenameSelected()
{
    QTreeWidgetItem* item = m_tree.currentItem();
    if (!item || !item->isSelected()) {
        ShowViewMessage(m_host.hostWidget(), SelectFirst, TitleWarning);
        return;
    }
    const QString name = item->text(0);
    if (name.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToRename, TitleWarning);
        return;
    }
    const bool isFile = TopicTreeWidget::isFileItem(item);
    const QString folder = isFile ? item->parent()->text(0) : name;
    const qsizetype dot = name.indexOf(u'.');
    const QString base = isFile && dot >= 0 ? name.left(dot) : name;
    const QString extension = isFile && dot >= 0 ? name.mid(dot) : QString();
    const QString oldPath = isFile ? filePath(folder, name) : folderPath(name);

    TopicNameDialog dialog(isFile ? TopicNameDialog::RenameFile : TopicNameDialog::RenameFolder,
                           base, m_host.hostWidget());
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return;
    const QString newName = dialog.name().trimmed();
    if (newName.isEmpty() || refuseUnsafe(newName + extension))
        return;
    const QString newPath = isFile ? filePath(folder, newName + extension) : folderPath(newName);
    if (newPath == oldPath) {
        ShowViewMessage(m_host.hostWidget(), SameName, TitleWarning);
        return;
    }
    if (!moveWithoutReplacing(oldPath, newPath)) {
        ShowViewMessage(m_host.hostWidget(), CouldNotRename, TitleGiven,
                        oldPath.left(kRenameTitleLength));
        return;
    }
    // Before the re-selection, whose save question saves to where the file now is.
    followMove(oldPath, newPath);
    if (isFile)
        rememberForReselect(folder, newName + extension, ReselectFile);
    else
        rememberForReselect(newName, {}, ReselectFolder);
    Refresh();
    reselect();
}

void TopicController::rememberForReselect(const QString& folder, const QString& file, Reselect kind)
{
    m_rememberedFolder = folder;
    m_rememberedFile = file;
    m_reselect = kind;
}

void TopicController::reselect()
{
    QTreeWidgetItem* folder = m_tree.folderItem(m_rememberedFolder);
    if (!folder)
        return;
    if (m_reselect == ReselectFolder) {
        folder->setExpanded(true);
        m_tree.scrollToItem(folder);
        return;
    }
    for (int i = 0; i < folder->childCount(); ++i) {
        if (folder->child(i)->text(0) == m_rememberedFile) {
            folder->setExpanded(true);
            m_tree.setCurrentItem(folder->child(i));
            return;
        }
    }
}

bool TopicController::RenameInPlace(QTreeWidgetItem* item, const QString& oldLabel,
                                    const QString& newLabel)
{
    if (newLabel.isEmpty() || newLabel == oldLabel)
        return false;
    if (refuseUnsafe(newLabel))
        return false;
    const bool isFile = TopicTreeWidget::isFileItem(item);
    const QString from =
        isFile ? filePath(item->parent()->text(0), oldLabel) : folderPath(oldLabel);
    const QString to = isFile ? filePath(item->parent()->text(0), newLabel) : folderPath(newLabel);
    if (!moveWithoutReplacing(from, to)) {
        ShowViewMessage(m_host.hostWidget(), isFile ? CannotRenameFile : CannotRenameFolder,
                        TitleWarning);
        return false;
    }
    followMove(from, to);
    return true;
}

void TopicController::onItemChanged(QTreeWidgetItem* item)
{
    if (m_filling)
        return;
    const QString oldLabel = item->data(0, TopicTreeWidget::kLabelRole).toString();
    const QString newLabel = item->text(0);
    if (newLabel == oldLabel)
        return;
    const bool accepted = RenameInPlace(item, oldLabel, newLabel);
    m_filling = true;
    if (accepted)
        item->setData(0, TopicTreeWidget::kLabelRole, newLabel);
    else
        item->setText(0, oldLabel);
    m_filling = false;
}

void TopicController::DeleteSelected()
{
    QTreeWidgetItem* item = m_tree.currentItem();
    QWidget* owner = m_host.hostWidget();
    if (!item || !item->isSelected()) {
        ShowViewMessage(owner, SelectFirst, TitleWarning);
        return;
    }
    if (!AskViewYesNo(owner, AreYouSure, DeleteTitle))
        return;
    const bool isFile = TopicTreeWidget::isFileItem(item);
    if (!isFile && item->childCount() > 0) {
        ShowViewMessage(owner, DeleteFilesFirst, TitleWarning);
        return;
    }
    const QString path =
        isFile ? filePath(item->parent()->text(0), item->text(0)) : folderPath(item->text(0));
    m_filling = true;
    delete item;
    m_filling = false;
    if (isFile) {
        if (!removeTopicFile(path)) {
            ShowViewMessage(owner, CannotDeleteFile, TitleWarning);
            return;
        }
        if (QTextEdit* box = m_host.topicBox())
            box->document()->setModified(false);
        forgetDeleted(path);
    } else if (!removeFolder(path)) {
        ShowViewMessage(owner, CannotDeleteFolder, TitleWarning);
    }
}

void TopicController::DropOnItem(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    QWidget* owner = m_host.hostWidget();
    if (!dragged || !target || dragged == target)
        return;
    if (!TopicTreeWidget::isFileItem(dragged)) {
        ShowViewMessage(owner, FolderNotDraggable, TitleWarning);
        return;
    }
    QTreeWidgetItem* targetFolder = TopicTreeWidget::isFileItem(target) ? target->parent() : target;
    QTreeWidgetItem* oldFolder = dragged->parent();
    if (targetFolder == oldFolder) {
        ShowViewMessage(owner, AlreadyInFolder, TitleWarning);
        return;
    }
    const QString name = dragged->text(0);
    const QString from = filePath(oldFolder->text(0), name);
    const QString to = filePath(targetFolder->text(0), name);
    if (!moveWithoutReplacing(from, to)) {
        ShowViewMessage(owner, CannotMoveFile, TitleWarning);
        return;
    }
    followMove(from, to);
    m_filling = true;
    auto* moved = dragged->clone();
    targetFolder->insertChild(0, moved);
    delete dragged;
    m_filling = false;
}

void TopicController::DropOutside(QTreeWidgetItem* dragged, const QPoint& globalPos)
{
    if (!TopicTreeWidget::isFileItem(dragged) || m_host.currentTab() != kCreateReplyTab ||
        !m_host.outgoingBoxScreenRect().contains(globalPos))
        return;
    const QString path = filePath(dragged->parent()->text(0), dragged->text(0));
    QString text;
    bool cut = false;
    if (!ReadTopicFile(m_host.hostWidget(), path, text, false, kTextBoxLimit, &cut))
        return;
    bool rich = false;
    ProbeRichTextFile(path, rich);
    m_rich = rich;
    if (text.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), NoTextToTransfer, TitleInformation);
        return;
    }
    m_host.transferToOutgoing(text, rich ? 1 : 0);
    if (cut)
        ShowViewMessage(m_host.hostWidget(), TextCut, TitleInformation);
}

void TopicController::followMove(const QString& from, const QString& to)
{
    if (m_currentPath.isEmpty())
        return;
    const QString current = QDir::cleanPath(m_currentPath);
    const QString moved = QDir::cleanPath(from);
    if (current == moved)
        m_currentPath = QDir::cleanPath(to);
    else if (current.startsWith(moved + u'/')) // a renamed folder holding the file
        m_currentPath = QDir::cleanPath(to) + current.sliced(moved.size());
}

void TopicController::forgetDeleted(const QString& path)
{
    if (m_currentPath.isEmpty() || QDir::cleanPath(m_currentPath) != QDir::cleanPath(path))
        return;
    // The box keeps the text, but no Save may bring the deleted file back.
    m_currentPath.clear();
    m_source = NothingLoaded;
}
