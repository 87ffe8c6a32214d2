#include "TopicTreeWidget.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStyledItemDelegate>

namespace {

// In-place edits are limited to the length of a path component the store accepts.
class LabelDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(TopicTreeWidget::kMaxLabelLength);
        return editor;
    }
};

} // namespace

TopicTreeWidget::TopicTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setItemDelegate(new LabelDelegate(this));
}

void TopicTreeWidget::fill(const std::vector<QStringList>& table, int count)
{
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    for (int i = 0; i < count && i < int(table.size()); ++i) {
        const QStringList& entry = table[static_cast<size_t>(i)];
        if (entry.isEmpty())
            continue;
        auto* folder = new QTreeWidgetItem(this, QStringList{entry.first()});
        folder->setData(0, kIndexRole, i + 1);
        folder->setData(0, kLabelRole, entry.first());
        folder->setIcon(0, folderIcon);
        folder->setFlags(folder->flags() | Qt::ItemIsEditable | Qt::ItemIsDropEnabled);
        for (qsizetype f = 1; f < entry.size(); ++f) {
            auto* file = new QTreeWidgetItem(folder, QStringList{entry.at(f)});
            file->setData(0, kIndexRole, 0);
            file->setData(0, kLabelRole, entry.at(f));
            file->setIcon(0, fileIcon);
            file->setFlags(file->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                           Qt::ItemIsDropEnabled);
        }
    }
}

bool TopicTreeWidget::isFileItem(const QTreeWidgetItem* item)
{
    return item && item->parent() && !item->parent()->text(0).isEmpty();
}

QTreeWidgetItem* TopicTreeWidget::folderItem(const QString& name) const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->text(0) == name)
            return topLevelItem(i);
    }
    return nullptr;
}

void TopicTreeWidget::startDrag(Qt::DropActions)
{
    QTreeWidgetItem* item = currentItem();
    if (!isFileItem(item))
        return;
    m_dragged = item;
    m_droppedInside = false;
    auto* data = new QMimeData;
    data->setData(kMimeType, item->text(0).toUtf8());
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The drag image is the item as the tree draws it.
    const QRect rect = visualItemRect(item);
    drag->setPixmap(viewport()->grab(rect));
    drag->setHotSpot(QPoint(8, rect.height() / 2));
    drag->exec(Qt::MoveAction);
    if (!m_droppedInside && m_dragged)
        Q_EMIT fileDroppedOutside(m_dragged, QCursor::pos());
    m_dragged = nullptr;
    viewport()->update();
}

void TopicTreeWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == this && event->mimeData()->hasFormat(kMimeType))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TopicTreeWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() == this && itemAt(event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TopicTreeWidget::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (!m_dragged || !target) {
        event->ignore();
        return;
    }
    m_droppedInside = true;
    // The move is made by whoever handles the signal; the view must not move items itself.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (target != m_dragged)
        Q_EMIT fileDropped(m_dragged, target);
}

void TopicTreeWidget::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_popupMenu) {
        m_popupMenu->popup(event->globalPos());
        event->accept();
    }
}
