#include "mail/MessageList.h"

#include "core/CSupportDoc.h"
#include "core/MessageHelpers.h"
#include "core/ProgressFeedback.h"
#include "mail/MailHost.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"
#include "mail/MessageFilter.h"
#include "mail/MessageListView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTreeView>
#include <algorithm>

namespace vantrel::mail {

namespace {

constexpr int kMsgNoMemory = 20032;
constexpr int kMsgAdviseFailed = 20034;
constexpr int kMsgSortFailed = 20075;
constexpr int kMsgRestrictFailed = 20079;
constexpr int kMsgTableError = 20147;
constexpr int kMsgAddFailed = 20148;
constexpr int kMsgDeleteFailed = 20149;
constexpr int kMsgModifyFailed = 20150;
constexpr int kMsgReadingFolder = 25700;

constexpr int kFoldersTab = 0;
// Rows read per call while filling: few enough that the platform's copy of them stays small.
constexpr LONG kFillBatch = 512;
constexpr int kIconHeaderWidth = 16;
// How long each wait for a folder being read lasts: short enough to keep the windows painted.
constexpr ULONG kReadingWaitMs = 20;

// The notice that notifications could not start is given once per run.
bool g_adviseFailureShown = false;

QByteArray keyOf(const SPropValue& value)
{
    return PROP_TYPE(value.ulPropTag) == PT_BINARY ? BinaryOf(&value) : QByteArray();
}

} // namespace

MessageList::MessageList(MailSession& session, CSupportDoc& doc, MailHost& host, QTreeView* list,
                         Predicate loggedOn, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_doc(doc)
    , m_host(host)
    , m_view(list)
    , m_loggedOn(std::move(loggedOn))
    , m_modifiers([] { return QGuiApplication::queryKeyboardModifiers(); })
{
    m_sortAscendingNext.fill(true);
    if (m_view)
        setUpView();
}

MessageList::~MessageList()
{
    removeAdvise();
    if (m_view && m_view->model() == &m_model)
        m_view->setModel(nullptr);
}

void MessageList::setUpView()
{
    QTreeView* view = m_view;
    auto* header = new MessageListHeader(view);
    view->setHeader(header);
    view->setHeaderHidden(false); // a header put in after the view is shown starts hidden
    m_delegate = new MessageListDelegate(view);
    view->setItemDelegate(m_delegate);
    view->setModel(&m_model);
    m_model.setPalette(view->palette());
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true); // 100,000 rows lay out without measuring each
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The table sorts, not the view; the header still takes clicks.
    view->setSortingEnabled(false);
    header->setSectionsClickable(true);
    view->setDragEnabled(false);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->viewport()->installEventFilter(this);

    connect(header, &QHeaderView::sectionClicked, this, &MessageList::sortOnColumn);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int section, int, int newSize) { onSectionResized(section, newSize); });
    connect(view, &QWidget::customContextMenuRequested, this, &MessageList::onContextMenu);
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this] { Q_EMIT editUnsentRequested(); });
    QItemSelectionModel* selection = view->selectionModel();
    connect(selection, &QItemSelectionModel::selectionChanged, this,
            &MessageList::onSelectionChanged);
    connect(selection, &QItemSelectionModel::currentChanged, this,
            &MessageList::onSelectionChanged);
}

void MessageList::setPopupMenu(QMenu* menu)
{
    m_menu = menu;
}

QWidget* MessageList::owner() const
{
    return m_host.hostWidget();
}

void MessageList::buildColumnTable()
{
    m_columns.build(m_doc);
}

bool MessageList::openContents(const FolderRecord& record, IMsgStore* store,
                               bool contactPropertiesAvailable)
{
    // Only a timer or a notification can get here while a folder is read (the user's input
    // waits): the opening under way stands.
    if (m_opening)
        return true;
    const QScopedValueRollback opening(m_opening, true);
    releaseFolder();
    // Rows of the folder shown before must not stay listed as if they belonged to this one.
    m_model.clear();
    m_lastReadIndex = -1;
    if (!openFolder(record, store))
        return false;
    m_sequence = record.sequence;
    m_contacts = record.folderClass == FolderClass::Contacts;
    if (m_contacts)
        resolveContactTags();
    ColumnSet set;
    if (!setColumns(record.folderClass, contactPropertiesAvailable, &set))
        return false;
    rebuildHeader(set);
    const int added = fill();
    if (added > 0 && m_notificationsOn)
        advise();
    return true;
}

bool MessageList::openFolder(const FolderRecord& record, IMsgStore* store)
{
    if (!store)
        return false;
    MapiPtr<IMAPIFolder> folder = OpenFolder(store, record.entryId);
    if (!folder)
        return false;
    MapiPtr<IMAPITable> table;
    if (FAILED(folder->GetContentsTable(MAPI_DEFERRED_ERRORS, table.put())) || !table)
        return false;
    waitUntilRead(table.get());
    m_folder = std::move(folder);
    m_table = std::move(table);
    return true;
}

// A folder opened for the first time has every message parsed, which takes seconds for a big
// one: the table reads it in the background while the windows stay painted and, after half a
// second, a dialog shows how far it has got. Nothing else sees the table until it is complete.
void MessageList::waitUntilRead(IMAPITable* table)
{
    ProgressFeedback feedback(owner(), kMsgReadingFolder);
    ULONG status = TBLSTAT_COMPLETE;
    while (table->WaitForCompletion(0, kReadingWaitMs, &status) == MAPI_E_TIMEOUT) {
        ULONG row = 0;
        ULONG done = 0;
        ULONG total = 0;
        if (FAILED(table->QueryPosition(&row, &done, &total)))
            done = total = 0;
        feedback.step(done, total);
    }
}

// The mask is read afresh at every opening: the preferences may have changed it.
bool MessageList::setColumns(FolderClass folderClass, bool contactPropertiesAvailable,
                             ColumnSet* set)
{
    ColumnMask mask = m_doc.columnMask(MaskKindOf(folderClass));
    if (m_contacts && !contactPropertiesAvailable)
        mask &= ~kContactNameColumns;
    const ColumnSet::Result built = ColumnSet::build(m_columns, mask, m_contacts, set);
    if (built == ColumnSet::Result::NoMemory)
        ShowViewMessage(owner(), kMsgNoMemory, TitleInformation);
    if (built != ColumnSet::Result::Ok)
        return false;
    TagArray tags(set->tags());
    return SUCCEEDED(m_table->SetColumns(tags.get(), 0));
}

// The named contacts properties have store-specific tags: ask the folder's first contact.
void MessageList::resolveContactTags()
{
    Rows rows(m_session.api());
    TagArray columns{PR_ENTRYID};
    if (FAILED(m_table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)) ||
        FAILED(QueryAllRows(m_table.get(), columns.get(), nullptr, nullptr, 1, &rows)) ||
        rows.count() == 0)
        return;
    QByteArray id = BinaryOf(rows[0], PR_ENTRYID);
    ULONG type = 0;
    MapiPtr<IMessage> message;
    if (id.isEmpty() ||
        FAILED(m_folder->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr, MAPI_BEST_ACCESS,
                                   &type, message.putUnknown())) ||
        !message)
        return;
    GUID set = PSETID_Address;
    std::array<MAPINAMEID, kContactNames.size()> names{};
    std::array<LPMAPINAMEID, kContactNames.size()> pointers{};
    for (size_t i = 0; i < names.size(); ++i) {
        names[i].lpguid = &set;
        names[i].ulKind = MNID_ID;
        names[i].Kind.lID = kContactNames[i].id;
        pointers[i] = &names[i];
    }
    MapiBuffer<SPropTagArray> tags(m_session.api());
    const HRESULT hr =
        message->GetIDsFromNames(static_cast<ULONG>(names.size()), pointers.data(), 0, tags.put());
    for (size_t i = 0; i < names.size(); ++i) {
        const bool found = SUCCEEDED(hr) && tags && i < tags->cValues &&
                           PROP_TYPE(tags->aulPropTag[i]) != PT_ERROR &&
                           PROP_ID(tags->aulPropTag[i]) != PROP_ID_NULL;
        const ULONG tag = found ? PROP_TAG(PT_STRING8, PROP_ID(tags->aulPropTag[i])) : PR_NULL;
        m_columns.setContactTag(kContactNames[i].column, tag);
    }
}

void MessageList::rebuildHeader(const ColumnSet& set)
{
    if (m_delegate)
        m_delegate->setGrid(m_host.gridOn());
    m_model.setColumns(set);
    if (!m_view)
        return;
    // A newly opened table is in its own order until a header is clicked.
    m_view->header()->setSortIndicatorShown(false);
    m_applyingWidths = true;
    for (int i = 0; i < set.shownCount(); ++i) {
        if (set.shown(i).variant.icon)
            m_view->header()->resizeSection(i, kIconHeaderWidth);
    }
    m_applyingWidths = false;
}

int MessageList::fill()
{
    m_model.beginRefill();
    int added = 0;
    if (m_table && SUCCEEDED(m_table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) {
        for (bool more = true; more;) {
            Rows rows(m_session.api());
            if (FAILED(m_table->QueryRows(kFillBatch, 0, rows.put())) || rows.count() == 0)
                break;
            for (ULONG i = 0; i < rows.count() && more; ++i) {
                more = m_model.appendRow(rows[i]);
                added += more ? 1 : 0;
            }
        }
    }
    m_model.endRefill();
    applyWidths();
    return added;
}

void MessageList::applyWidths()
{
    if (!m_view)
        return;
    m_applyingWidths = true;
    const ColumnSet& set = m_model.columnSet();
    for (int i = 0; i < set.shownCount(); ++i)
        m_view->header()->resizeSection(i, set.shown(i).variant.width);
    m_applyingWidths = false;
}

void MessageList::refill()
{
    if (!m_table)
        return;
    m_lastReadIndex = -1; // the rows at each index are new
    fill();
}

void MessageList::releaseFolder()
{
    removeAdvise();
    m_table.reset();
    m_folder.reset();
    m_sequence = -1;
    m_filterColumn = -1;
}

void MessageList::close()
{
    releaseFolder();
    m_contacts = false;
    m_model.clear();
    m_lastReadIndex = -1;
}

void MessageList::clearColumns()
{
    m_model.clearColumns();
}

void MessageList::advise()
{
    m_sink = AdviseSink::create(m_sequence, m_session.session(),
                                [this](int sequence, const NOTIFICATION& notification) {
                                    onTableEvent(sequence, notification);
                                });
    ULONG connection = 0;
    const HRESULT hr = m_table->Advise(fnevTableModified, m_sink.get(), &connection);
    if (SUCCEEDED(hr)) {
        m_connection = connection;
        return;
    }
    m_notificationsOn = false;
    m_sink->detach();
    m_sink.reset();
    // A platform without notifications is no fault of the user's.
    if (hr != MAPI_E_NO_SUPPORT && !g_adviseFailureShown) {
        g_adviseFailureShown = true;
        ShowViewMessage(owner(), kMsgAdviseFailed, TitleInformation);
    }
}

void MessageList::removeAdvise()
{
    if (m_connection != 0 && m_table)
        m_table->Unadvise(m_connection);
    m_connection = 0;
    if (m_sink) {
        // The platform may still hold events for it: they go nowhere from now on.
        m_sink->detach();
        m_sink.reset();
    }
}

int MessageList::selectedCount() const
{
    if (!m_view || !m_view->selectionModel())
        return 0;
    return static_cast<int>(m_view->selectionModel()->selectedRows().size());
}

QList<int> MessageList::selectedRows() const
{
    QList<int> rows;
    if (!m_view || !m_view->selectionModel())
        return rows;
    const QModelIndexList selected = m_view->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex& index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int MessageList::focusedSelectedRow() const
{
    if (!m_view || !m_view->selectionModel())
        return -1;
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    return current.isValid() && isSelected(current.row()) ? current.row() : -1;
}

bool MessageList::isSelected(int row) const
{
    return m_view && m_view->selectionModel() &&
           m_view->selectionModel()->isRowSelected(row, QModelIndex());
}

bool MessageList::sortsAscendingNext(int column) const
{
    return column >= 0 && column < kColumnCount && m_sortAscendingNext[static_cast<size_t>(column)];
}

void MessageList::sortOnColumn(int column)
{
    const ColumnSetEntry* entry = m_model.shownColumn(column);
    if (!m_loggedOn() || !m_table || !entry)
        return;
    bool& ascending = m_sortAscendingNext[static_cast<size_t>(entry->column)];
    const bool sortsAscending = ascending;
    SSortOrderSet order{
        1, 0, 0, {{entry->variant.tag, sortsAscending ? TABLE_SORT_ASCEND : TABLE_SORT_DESCEND}}};
    ascending = !ascending;
    if (FAILED(m_table->SortTable(&order, 0))) {
        ShowViewMessage(owner(), kMsgSortFailed, TitleInformation);
        return;
    }
    if (m_view) {
        m_view->header()->setSortIndicator(column, sortsAscending ? Qt::AscendingOrder
                                                                  : Qt::DescendingOrder);
        m_view->header()->setSortIndicatorShown(true);
    }
    // The table's notification refills an advised list; nothing would refill another.
    if (!isAdvised())
        refill();
}

void MessageList::filterOnColumn(const ReadState& read)
{
    if (!m_table)
        return;
    const int column = m_filterColumn < 0 ? 0 : m_filterColumn;
    const ColumnSetEntry* entry = m_model.shownColumn(column);
    if (!entry) {
        applyRestriction(nullptr); // "No columns": nothing to filter on
        return;
    }
    FilterCell cell;
    cell.column = entry->variant;
    cell.contacts = m_contacts;
    if (const int row = focusedSelectedRow(); row >= 0) {
        cell.image = m_model.cellImage(row, column);
        cell.text = m_model.cellText(row, column).left(kFilterTextLimit);
    }
    cell.shift = m_modifiers().testFlag(Qt::ShiftModifier);
    FilterRestriction restriction;
    applyRestriction(BuildFilterRestriction(cell, read, &restriction) ? restriction.get()
                                                                      : nullptr);
}

void MessageList::resetFilter()
{
    if (m_table)
        applyRestriction(nullptr);
}

void MessageList::applyRestriction(SRestriction* restriction)
{
    m_filterColumn = -1;
    if (FAILED(m_table->Restrict(restriction, 0))) {
        ShowViewMessage(owner(), kMsgRestrictFailed, TitleInformation);
        return;
    }
    if (!isAdvised())
        refill();
}

void MessageList::onTableEvent(int sequence, const NOTIFICATION& notification)
{
    if (sequence != m_sequence || !m_table || notification.ulEventType != fnevTableModified)
        return;
    const TABLE_NOTIFICATION& table = notification.info.tab;
    switch (table.ulTableEvent) {
    case TABLE_CHANGED:
    case TABLE_RELOAD:
    case TABLE_RESTRICT_DONE:
    case TABLE_SETCOL_DONE:
    case TABLE_SORT_DONE:
        refill();
        break;
    case TABLE_ERROR:
        ShowViewMessage(owner(), kMsgTableError, TitleWarning);
        refill();
        break;
    case TABLE_ROW_ADDED:
        onRowAdded(table);
        break;
    case TABLE_ROW_DELETED:
        onRowDeleted(table);
        break;
    case TABLE_ROW_MODIFIED:
        onRowModified(table);
        break;
    default:
        break;
    }
}

void MessageList::onRowAdded(const TABLE_NOTIFICATION& table)
{
    // A refill that ran after the row came already lists it: a row is never listed twice.
    const QByteArray key = keyOf(table.propIndex);
    if (const int listed = key.isEmpty() ? -1 : m_model.findInstanceKey(key); listed >= 0) {
        m_model.replaceRowAt(listed, table.row);
    } else {
        const QByteArray prior = keyOf(table.propPrior);
        const int after = prior.isEmpty() ? -1 : m_model.findInstanceKey(prior);
        if (!m_model.insertRowAt(after + 1, table.row)) {
            ShowViewMessage(owner(), kMsgAddFailed, TitleWarning);
            return;
        }
        // The row read last keeps being the one its index names.
        if (m_lastReadIndex > after)
            ++m_lastReadIndex;
    }
    if (!m_view)
        return;
    const QModelIndex last = m_model.index(m_model.rowCount() - 1, 0);
    m_view->selectionModel()->select(last, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_view->scrollTo(last);
}

void MessageList::onRowDeleted(const TABLE_NOTIFICATION& table)
{
    const int row = m_model.findInstanceKey(keyOf(table.propIndex));
    const bool wasSelected = isSelected(row);
    if (row < 0 || !m_model.removeRowAt(row)) {
        ShowViewMessage(owner(), kMsgDeleteFailed, TitleWarning);
        return;
    }
    if (m_lastReadIndex == row)
        m_lastReadIndex = -1; // whatever comes to stand there has not been read
    else if (m_lastReadIndex > row)
        --m_lastReadIndex;
    if (!wasSelected || !m_view || m_model.rowCount() == 0)
        return;
    const QModelIndex next = m_model.index(std::min(row, m_model.rowCount() - 1), 0);
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (m_host.currentTab() == kFoldersTab)
        m_view->selectionModel()->setCurrentIndex(next, flags);
    else
        m_view->selectionModel()->select(next, flags);
}

void MessageList::onRowModified(const TABLE_NOTIFICATION& table)
{
    const int row = m_model.findInstanceKey(keyOf(table.propIndex));
    if (row < 0) {
        ShowViewMessage(owner(), kMsgModifyFailed, TitleWarning);
        return;
    }
    // Changed in place, the row keeps its selection.
    if (!m_model.replaceRowAt(row, table.row)) {
        ShowViewMessage(owner(), kMsgAddFailed, TitleWarning);
        return;
    }
    if (m_view && isSelected(row) && !m_host.composing() && m_host.currentTab() == kFoldersTab)
        m_view->scrollTo(m_model.index(row, 0));
}

void MessageList::onSelectionChanged()
{
    if (!m_view || !m_loggedOn() || m_readingHeld)
        return;
    int row = focusedSelectedRow();
    if (row < 0) {
        // The first selected row, from the ranges: a whole folder may be selected.
        const QItemSelection selection = m_view->selectionModel()->selection();
        for (const QItemSelectionRange& range : selection)
            row = row < 0 ? range.top() : std::min(row, range.top());
    }
    if (row < 0 || row == m_lastReadIndex)
        return;
    m_lastReadIndex = row;
    Q_EMIT readRequested(row);
}

void MessageList::onSectionResized(int section, int newSize)
{
    const ColumnSetEntry* entry = m_model.shownColumn(section);
    if (m_applyingWidths || !entry)
        return;
    const int column = entry->column;
    m_model.setShownWidth(section, newSize);
    m_columns.setWidth(column, m_contacts, newSize);
    m_doc.setColumnWidth(column, newSize, m_contacts ? WidthList::Contacts : WidthList::Messages);
}

void MessageList::onContextMenu(const QPoint& pos)
{
    if (!m_view || !m_loggedOn())
        return;
    m_filterColumn = m_view->columnAt(pos.x());
    if (m_menu)
        m_menu->popup(m_view->viewport()->mapToGlobal(pos));
}

bool MessageList::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_view || watched != m_view->viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_pressPos = mouse->position().toPoint();
            m_pressRow = m_view->indexAt(m_pressPos).row();
        }
        return false;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragging)
            return true;
        if (!(mouse->buttons() & Qt::LeftButton) || m_pressRow < 0 || m_contacts || !m_loggedOn() ||
            (mouse->position().toPoint() - m_pressPos).manhattanLength() <
                QApplication::startDragDistance())
            return false;
        startDrag(m_pressRow);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressRow = -1;
        if (!m_dragging || mouse->button() != Qt::LeftButton)
            return false;
        m_dragging = false;
        Q_EMIT dragFinished(mouse->globalPosition().toPoint());
        return true; // the selection being dragged stays as it is
    }
    default:
        return false;
    }
}

void MessageList::startDrag(int row)
{
    const QModelIndex first = m_model.index(row, 0);
    const QModelIndex last = m_model.index(row, std::max(m_model.columnCount() - 1, 0));
    const QRect rect = m_view->visualRect(first).united(m_view->visualRect(last));
    m_dragging = true;
    Q_EMIT dragStarted(row, m_view->viewport()->grab(rect));
}

} // namespace vantrel::mail
