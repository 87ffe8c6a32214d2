#pragma once

#include <QTreeWidget>
#include <vector>

class QMenu;

// The topic tree: a root item per topic folder and a child item per topic file, in the
// order of the topic folder table. Files can be dragged onto another folder or file.
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

Q_SIGNALS:
    // A file item was dropped on `target`, a folder or a file item.
    void fileDropped(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // A file item was dropped outside the tree, at `globalPos`.
    void fileDroppedOutside(QTreeWidgetItem* dragged, const QPoint& globalPos);

protected:
    void startDrag(Qt::DropActions actions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QTreeWidgetItem* m_dragged = nullptr;
    bool m_droppedInside = false;
    QMenu* m_popupMenu = nullptr;
};
