#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <vector>

class QDrag;
class QMenu;

// The topic tree: a root item per topic folder and a child item per topic file, in the
// order of the topic folder table. Files can be dragged onto another folder or file, or
// out of the tree. Pressing on an item only remembers it: a plain click selects it when
// the button is released, and a drag never selects (so never loads) the file it moves.
class TopicTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    // Item data: folder index + 1 on folder items, 0 on file items.
    static constexpr int kIndexRole = Qt::UserRole;
    // The label as the store knows it, to rename from after an in-place edit.
    static constexpr int kLabelRole = Qt::UserRole + 1;
    static constexpr int kMaxLabelLength = 259;
    static inline const QString kMimeType = QStringLiteral("application/x-vantrel-topic-file");

    explicit TopicTreeWidget(QWidget* parent = nullptr);

    void fill(const std::vector<QStringList>& table, int count);
    static bool isFileItem(const QTreeWidgetItem* item);
    QTreeWidgetItem* folderItem(const QString& name) const;

    void setPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    // How a drag ended: its action (none when cancelled, as with Escape) and, for a drop
    // outside the tree, where on the screen it was dropped.
    struct DragEnd
    {
        Qt::DropAction action = Qt::IgnoreAction;
        std::optional<QPoint> droppedOutsideAt;
    };
    // Runs a drag to its end; by default the desktop's drag loop. Tests put in their own,
    // which can drop or cancel where no desktop is.
    using DragRunner = std::function<DragEnd(QDrag& drag)>;
    void setDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }

Q_SIGNALS:
    // A file item was dropped on `target`, a folder or a file item.
    void fileDropped(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // A file item was dropped outside the tree, at `globalPos`.
    void fileDroppedOutside(QTreeWidgetItem* dragged, const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions actions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void beginDrag(QTreeWidgetItem* item);
    DragEnd runDesktopDrag(QDrag& drag);
    // A drop of the dragged file on a widget outside the tree, taken for the tree.
    bool takeOutsideDrop(QWidget* widget, QDropEvent* event);

    QPersistentModelIndex m_pressed;
    QPoint m_pressPosition;
    QTreeWidgetItem* m_dragged = nullptr;
    std::optional<QPoint> m_outsideDrop;
    DragRunner m_dragRunner;
    QMenu* m_popupMenu = nullptr;
};
