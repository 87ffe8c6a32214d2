#include "TopicTreeWidget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <utility>

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

void TopicTreeWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(position);
    // Left of the item's rectangle is its expand mark, which the view handles at once.
    const bool onLabel = item && position.x() >= visualItemRect(item).left();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && onLabel) {
        m_pressed = QPersistentModelIndex(indexFromItem(item));
        m_pressPosition = position;
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    m_pressed = QPersistentModelIndex();
    QTreeWidget::mousePressEvent(event);
}

void TopicTreeWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed.isValid()) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    const QPoint moved = event->position().toPoint() - m_pressPosition;
    if (!(event->buttons() & Qt::LeftButton) ||
        moved.manhattanLength() < QApplication::startDragDistance())
        return;
    QTreeWidgetItem* item = itemFromIndex(m_pressed);
    m_pressed = QPersistentModelIndex();
    if (isFileItem(item))
        beginDrag(item);
}

void TopicTreeWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressed.isValid() && event->button() == Qt::LeftButton) {
        m_pressed = QPersistentModelIndex();
        // The press held back: the view now selects (or starts an in-place edit of an
        // item already selected) as for any click.
        QMouseEvent press(QEvent::MouseButtonPress, m_pressPosition,
                          viewport()->mapToGlobal(m_pressPosition), Qt::LeftButton, Qt::LeftButton,
                          event->modifiers());
        QTreeWidget::mousePressEvent(&press);
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void TopicTreeWidget::startDrag(Qt::DropActions)
{
    // Reached only from gestures the view handles itself, such as a press with a
    // modifier held.
    if (isFileItem(currentItem()))
        beginDrag(currentItem());
}

void TopicTreeWidget::beginDrag(QTreeWidgetItem* item)
{
    m_dragged = item;
    auto* data = new QMimeData;
    data->setData(kMimeType, item->text(0).toUtf8());
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The drag image is the item as the tree draws it.
    const QRect rect = visualItemRect(item);
    drag->setPixmap(viewport()->grab(rect));
    drag->setHotSpot(QPoint(8, rect.height() / 2));
    const DragEnd end = m_dragRunner ? m_dragRunner(*drag) : runDesktopDrag(*drag);
    drag->deleteLater();
    QTreeWidgetItem* dragged = std::exchange(m_dragged, nullptr);
    // Only a drop moves text: a drag cancelled with Escape ends without one.
    if (end.action != Qt::IgnoreAction && end.droppedOutsideAt && dragged)
        Q_EMIT fileDroppedOutside(dragged, *end.droppedOutsideAt);
    viewport()->update();
}

TopicTreeWidget::DragEnd TopicTreeWidget::runDesktopDrag(QDrag& drag)
{
    // The whole window takes the drop, as the tree held the mouse for the whole gesture
    // (the outgoing box's place may be covered by widgets that take no drops); whether a
    // drop there does anything is for the signal's handler.
    m_outsideDrop.reset();
    QWidget* top = window();
    const bool topTookDrops = top->acceptDrops();
    top->setAcceptDrops(true);
    qApp->installEventFilter(this);
    DragEnd end;
    end.action = drag.exec(Qt::MoveAction);
    qApp->removeEventFilter(this);
    top->setAcceptDrops(topTookDrops);
    end.droppedOutsideAt = std::exchange(m_outsideDrop, std::nullopt);
    return end;
}

bool TopicTreeWidget::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (m_dragged && widget && widget != this && !isAncestorOf(widget) &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop))
        return takeOutsideDrop(widget, static_cast<QDropEvent*>(event));
    return QTreeWidget::eventFilter(watched, event);
}

bool TopicTreeWidget::takeOutsideDrop(QWidget* widget, QDropEvent* event)
{
    if (!event->mimeData() || !event->mimeData()->hasFormat(kMimeType))
        return false;
    event->setDropAction(Qt::MoveAction);
    event->accept();
    if (event->type() == QEvent::Drop)
        m_outsideDrop = widget->mapToGlobal(event->position().toPoint());
    // Taken here, so that a text box under the pointer does not insert the file's name.
    return true;
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
