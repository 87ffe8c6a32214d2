// The folder tree of the "Email Folders" tab: one root per opened store with its listed
// folders below, the folder the user selects handed on by its sequence number, and the
// folder pop-up menu on a right click.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTreeWidget>
#include <functional>

namespace vantrel::mail {

class FolderList;

class FolderTree : public QObject
{
    Q_OBJECT

public:
    // Role of an item's parameter: the record's sequence number, kStoreParameter for a store.
    static constexpr int kParameterRole = Qt::UserRole;
    static constexpr int kStoreParameter = -1;

    using ReadyPredicate = std::function<bool()>;

    // `tree` is control 1006; `popup` (may be null) is shown at the cursor on a right click,
    // which leaves the selection as it is; selections are handed on only while `ready` says
    // so (logged on, message list ready); without `ready` they always are.
    FolderTree(QTreeWidget* tree, QMenu* popup, ReadyPredicate ready, QObject* parent = nullptr);

    // Replaces the items by a root per store (`storeNames`, by slot) and the list's records.
    void fill(const FolderList& list, const QStringList& storeNames);
    void clear();
    // Selects, among the items directly under the first store's root, the one whose parameter
    // is `sequence`, which opens it. False when there is none.
    bool selectUnderFirstRoot(int sequence);

    QTreeWidget* widget() const { return m_tree; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    // The user chose the folder whose record has `sequence`.
    void folderSelected(int sequence);

private:
    void onCurrentItemChanged(QTreeWidgetItem* current);
    void onContextMenu(const QPoint& position);

    QPointer<QTreeWidget> m_tree;
    QPointer<QMenu> m_popup;
    ReadyPredicate m_ready;
};

} // namespace vantrel::mail
