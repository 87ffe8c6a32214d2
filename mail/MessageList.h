// The message list (control 1011): the contents table of the open folder shown row by row,
// sorted by a header click, filtered on the value under the cursor, and kept current by the
// table's notifications. Selecting a row asks for it to be read.
#pragma once

#include "mail/AdviseSink.h"
#include "mail/FolderRecord.h"
#include "mail/MessageColumns.h"
#include "mail/MessageListModel.h"
#include "mail/ReadState.h"

#include <QByteArray>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <array>
#include <functional>

class CSupportDoc;
class QMenu;
class QTreeView;

namespace vantrel::mail {

class MailHost;
class MailSession;
class MessageListDelegate;

class MessageList : public QObject
{
    Q_OBJECT

public:
    using Predicate = std::function<bool()>;
    using ModifierQuery = std::function<Qt::KeyboardModifiers()>;

    // Takes over `list`: its model, header, delegate and selection behaviour. `loggedOn`
    // tells whether sorting, the pop-up menu and reading are allowed.
    MessageList(MailSession& session, CSupportDoc& doc, MailHost& host, QTreeView* list,
                Predicate loggedOn, QObject* parent = nullptr);
    ~MessageList() override;

    QTreeView* view() const { return m_view; }
    MessageListModel& model() { return m_model; }
    const MessageListModel& model() const { return m_model; }
    // The pop-up menu "Message" (may be null).
    void setPopupMenu(QMenu* menu);
    // Where the filter learns whether Shift is held (the keyboard's state by default).
    void setModifierQuery(ModifierQuery query) { m_modifiers = std::move(query); }

    // At logon: the column table with the saved widths.
    void buildColumnTable();
    const ColumnTable& columnTable() const { return m_columns; }
    // Opens `folder` in `store` and shows its contents; false when the folder or its table
    // cannot be had, or its mask shows nothing (the caller tells the user).
    bool openContents(const FolderRecord& folder, IMsgStore* store,
                      bool contactPropertiesAvailable);
    // Stops the notifications, releases the table and the folder and empties the list.
    void close();
    // At logoff: the list loses its columns.
    void clearColumns();

    bool notificationsOn() const { return m_notificationsOn; }
    void setNotificationsOn(bool on) { m_notificationsOn = on; }
    bool isAdvised() const { return m_connection != 0; }
    IMAPITable* contents() const { return m_table.get(); }
    IMAPIFolder* folder() const { return m_folder.get(); }
    bool isContactsFolder() const { return m_contacts; }

    int rowCount() const { return m_model.rowCount(); }
    int selectedCount() const;
    // The selected rows in list order.
    QList<int> selectedRows() const;
    // The row that has the focus and is selected; -1 when none.
    int focusedSelectedRow() const;
    QByteArray entryIdAt(int row) const { return m_model.entryId(row); }
    QByteArray instanceKeyAt(int row) const { return m_model.instanceKey(row); }

    // A click on the header of list column `column`.
    void sortOnColumn(int column);
    // Whether the next click on table column `column` (0..31) sorts ascending.
    bool sortsAscendingNext(int column) const;

    // The list column under the last right click; -1 when none.
    int filterColumn() const { return m_filterColumn; }
    void setFilterColumn(int column) { m_filterColumn = column; }
    // "Filter on this column"; date columns take their window from `read`.
    void filterOnColumn(const ReadState& read);
    // "Reset filter".
    void resetFilter();
    // Empties the list and fills it again from the table.
    void refill();

    // The row read last; -1 when none.
    int lastReadIndex() const { return m_lastReadIndex; }
    void setLastReadIndex(int row) { m_lastReadIndex = row; }
    bool dragInProgress() const { return m_dragging; }
    // While held, a changed selection reads nothing: rows that go during a long move or
    // delete would have the next one read while its file may already be gone.
    void holdReading(bool hold) { m_readingHeld = hold; }

Q_SIGNALS:
    // The selected row is not the one read last: read it.
    void readRequested(int row);
    // A double click: the message shown may be one to go on writing.
    void editUnsentRequested();
    // A row is being dragged (never in a contacts folder), with its image.
    void dragStarted(int row, const QPixmap& image);
    // The mouse button was let go at `globalPos`, ending the drag.
    void dragFinished(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpView();
    void releaseFolder();
    bool openFolder(const FolderRecord& record, IMsgStore* store);
    void waitUntilRead(IMAPITable* table);
    bool setColumns(FolderClass folderClass, bool contactPropertiesAvailable, ColumnSet* set);
    void resolveContactTags();
    void rebuildHeader(const ColumnSet& set);
    int fill();
    void applyWidths();
    void advise();
    void removeAdvise();
    void applyRestriction(SRestriction* restriction);
    void onTableEvent(int sequence, const NOTIFICATION& notification);
    void onRowAdded(const TABLE_NOTIFICATION& table);
    void onRowDeleted(const TABLE_NOTIFICATION& table);
    void onRowModified(const TABLE_NOTIFICATION& table);
    void onSelectionChanged();
    void onSectionResized(int section, int newSize);
    void onContextMenu(const QPoint& pos);
    void startDrag(int row);
    bool isSelected(int row) const;
    QWidget* owner() const;

    MailSession& m_session;
    CSupportDoc& m_doc;
    MailHost& m_host;
    QPointer<QTreeView> m_view;
    Predicate m_loggedOn;
    ModifierQuery m_modifiers;
    QPointer<QMenu> m_menu;
    MessageListModel m_model;
    QPointer<MessageListDelegate> m_delegate;

    ColumnTable m_columns;
    std::array<bool, kColumnCount> m_sortAscendingNext;
    MapiPtr<IMAPIFolder> m_folder;
    MapiPtr<IMAPITable> m_table;
    int m_sequence = -1;
    bool m_contacts = false;
    bool m_notificationsOn = true;
    MapiPtr<AdviseSink> m_sink;
    ULONG m_connection = 0;
    bool m_applyingWidths = false;
    int m_filterColumn = -1;
    int m_lastReadIndex = -1;

    QPoint m_pressPos;
    int m_pressRow = -1;
    bool m_dragging = false;
    bool m_readingHeld = false;
    bool m_opening = false;
};

} // namespace vantrel::mail
