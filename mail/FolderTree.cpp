#include "mail/FolderTree.h"

#include "mail/FolderImages.h"
#include "mail/FolderList.h"

#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>
#include <array>

namespace vantrel::mail {

namespace {

// Records deeper than this hang under the last item of this depth.
constexpr int kDeepestParent = 2;

QTreeWidgetItem* NewItem(const QString& text, int image, int selectedImage, int parameter)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, FolderTreeItemIcon(image, selectedImage));
    item->setData(0, FolderTree::kParameterRole, parameter);
    return item;
}

} // namespace

FolderTree::FolderTree(QTreeWidget* tree, QMenu* popup, ReadyPredicate ready, QObject* parent)
    : QObject(parent)
    , m_tree(tree)
    , m_popup(popup)
    , m_ready(std::move(ready))
{
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { onCurrentItemChanged(current); });
    connect(m_tree, &QWidget::customContextMenuRequested, this, &FolderTree::onContextMenu);
}

void FolderTree::clear()
{
    if (m_tree)
        m_tree->clear();
}

void FolderTree::fill(const FolderList& list, const QStringList& storeNames)
{
    clear();
    if (!m_tree)
        return;
    const QList<FolderRecord>& records = list.records();
    qsizetype stores = storeNames.size();
    for (const FolderRecord& record : records)
        stores = qMax(stores, qsizetype(record.storeSlot) + 1);
    QList<QTreeWidgetItem*> roots;
    for (qsizetype slot = 0; slot < stores; ++slot) {
        roots.append(NewItem(storeNames.value(slot), kImageStore, kImageSelected, kStoreParameter));
        roots.constLast()->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    m_tree->addTopLevelItems(roots);

    std::array<QTreeWidgetItem*, kDeepestParent + 1> lastAt{};
    for (qsizetype i = 0; i < records.size(); ++i) {
        const FolderRecord& record = records[i];
        if (record.storeSlot < 0)
            continue;
        const int depth = qMax(record.depth, 0);
        QTreeWidgetItem* parent =
            depth == 0 ? roots[record.storeSlot] : lastAt[qMin(depth - 1, kDeepestParent)];
        if (!parent)
            parent = roots[record.storeSlot];
        QTreeWidgetItem* item =
            NewItem(record.name, record.image, record.selectedImage, record.sequence);
        parent->addChild(item);
        if (depth > kDeepestParent)
            continue;
        lastAt[depth] = item;
        // In walk order an item's children follow it directly; a deeper item never gets any,
        // since its own subfolders hang beside it.
        const bool parentOfNext = i + 1 < records.size() && records[i + 1].depth > depth;
        if (parentOfNext)
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
}

bool FolderTree::selectUnderFirstRoot(int sequence)
{
    QTreeWidgetItem* root = m_tree ? m_tree->topLevelItem(0) : nullptr;
    for (int i = 0; root && i < root->childCount(); ++i) {
        QTreeWidgetItem* item = root->child(i);
        if (item->data(0, kParameterRole).toInt() != sequence)
            continue;
        // Already current (the tree picked it up on focus): open it all the same.
        if (m_tree->currentItem() == item)
            onCurrentItemChanged(item);
        else
            m_tree->setCurrentItem(item);
        return true;
    }
    return false;
}

void FolderTree::onCurrentItemChanged(QTreeWidgetItem* current)
{
    if (!current || (m_ready && !m_ready()))
        return;
    current->setExpanded(true);
    const int parameter = current->data(0, kParameterRole).toInt();
    if (parameter != kStoreParameter)
        Q_EMIT folderSelected(parameter);
}

void FolderTree::onContextMenu(const QPoint& position)
{
    if (m_popup && m_tree)
        m_popup->popup(m_tree->viewport()->mapToGlobal(position));
}

bool FolderTree::eventFilter(QObject* watched, QEvent* event)
{
    // A right click asks for the menu over the folder already open; it does not open another.
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (press && m_tree && watched == m_tree->viewport() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vantrel::mail
