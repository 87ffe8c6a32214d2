#include "mail/FolderList.h"

#include "core/MessageHelpers.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"

using namespace Qt::StringLiterals;

namespace vantrel::mail {

namespace {

constexpr int kMsgNoContactsFolders = 20024;
constexpr int kMsgFoldersModified = 20157;
constexpr int kTitleFoldersModified = 20158;

// One binary property of `object`; empty when it cannot be read.
QByteArray IdProperty(const vntmapi::EntryPoints& api, IMAPIProp* object, ULONG tag)
{
    MapiBuffer<SPropValue> values(api);
    ULONG count = 0;
    TagArray tags{tag};
    if (FAILED(object->GetProps(tags.get(), 0, &count, values.put())))
        return {};
    return BinaryOf(FindValue(values.get(), count, tag));
}

// The folder `id` opened through `from`; empty when it cannot be opened or is no folder.
template<typename Container>
MapiPtr<IMAPIFolder> OpenFolder(Container* from, const QByteArray& id)
{
    MapiPtr<IMAPIFolder> folder;
    ULONG type = 0;
    if (id.isEmpty() ||
        FAILED(from->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr, MAPI_BEST_ACCESS, &type,
                               folder.putUnknown())) ||
        type != MAPI_FOLDER) {
        folder.reset();
    }
    return folder;
}

} // namespace

FolderEventAction HandleFolderEvent(const NOTIFICATION& notification, bool isCurrentFolder)
{
    if (!isCurrentFolder || notification.ulEventType != fnevObjectCreated)
        return FolderEventAction::Ignore;
    switch (notification.info.obj.ulObjType) {
    case MAPI_FOLDER:
        return FolderEventAction::FolderCreated;
    case MAPI_MESSAGE:
        return FolderEventAction::MessageCreated;
    default:
        return FolderEventAction::Ignore;
    }
}

void ShowFoldersModifiedWarning(QWidget* view)
{
    ShowViewMessage(view, kMsgFoldersModified, TitleGiven, TitleText(kTitleFoldersModified));
}

FolderList::FolderList(MailSession& session)
    : m_session(session)
{}

FolderList::~FolderList()
{
    dropRecords();
}

FolderRecord* FolderList::bySequence(int sequence)
{
    for (FolderRecord& record : m_records) {
        if (record.sequence == sequence)
            return &record;
    }
    return nullptr;
}

const FolderRecord* FolderList::bySequence(int sequence) const
{
    return const_cast<FolderList*>(this)->bySequence(sequence);
}

FolderRecord* FolderList::firstOfClass(FolderClass folderClass)
{
    for (FolderRecord& record : m_records) {
        if (record.folderClass == folderClass)
            return &record;
    }
    return nullptr;
}

void FolderList::clear()
{
    dropRecords();
    m_known.clear();
}

void FolderList::dropRecords()
{
    removeAdvises();
    // A removal that ended early leaves sinks the library may still call.
    for (FolderRecord& record : m_records) {
        if (record.sink)
            record.sink->detach();
    }
    m_records.clear();
    m_contacts.clear();
    m_nextSequence = 0;
}

bool FolderList::build(const ColumnMaskSource& columnMaskOf)
{
    dropRecords();
    for (int slot = 0; slot < m_session.storeCount(); ++slot) {
        if (!walkStore(slot, columnMaskOf)) {
            if (slot == 0)
                return false;
            break;
        }
    }
    return !m_records.isEmpty();
}

bool FolderList::walkStore(int slot, const ColumnMaskSource& columnMaskOf)
{
    IMsgStore* store = m_session.store(slot);
    if (!store)
        return false;
    m_known.read(m_session, slot);
    const MapiPtr<IMAPIFolder> top =
        OpenFolder(store, IdProperty(m_session.api(), store, PR_IPM_SUBTREE_ENTRYID));
    if (!top)
        return false;
    walk(top.get(), slot, 0, QString(), columnMaskOf);
    return true;
}

void FolderList::walk(IMAPIFolder* folder, int slot, int depth, const QString& pathPrefix,
                      const ColumnMaskSource& columnMaskOf)
{
    MapiPtr<IMAPITable> table;
    if (FAILED(folder->OpenProperty(PR_CONTAINER_HIERARCHY, &IID_IMAPITable, 0, 0,
                                    table.putUnknown())) ||
        !table) {
        return;
    }
    Rows rows(m_session.api());
    if (FAILED(QueryAllRows(
            table.get(), {PR_ENTRYID, PR_DISPLAY_NAME, PR_SUBFOLDERS, PR_PARENT_ENTRYID}, &rows))) {
        return;
    }
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows[i];
        FolderRecord record;
        if (!TextOf(row, PR_DISPLAY_NAME, &record.name))
            return;
        const MapiPtr<IMAPIFolder> child = OpenFolder(folder, BinaryOf(row, PR_ENTRYID));
        if (!child)
            return;
        record.entryId = IdProperty(m_session.api(), child.get(), PR_ENTRYID);
        if (record.entryId.isEmpty())
            record.entryId = BinaryOf(row, PR_ENTRYID);
        record.folderClass = ClassifyFolder(m_session, m_known, slot, record.entryId, child.get());
        if (!IsListedClass(record.folderClass))
            continue;
        record.path = pathPrefix + record.name;
        record.depth = depth;
        record.sequence = m_nextSequence++;
        record.storeSlot = slot;
        record.image = TreeImageOf(record.folderClass);
        const MaskKind maskKind = MaskKindOf(record.folderClass);
        record.columnMask = columnMaskOf ? columnMaskOf(maskKind) : defaultColumnMask(maskKind);
        if (record.folderClass == FolderClass::Contacts)
            record.parentEntryId = BinaryOf(row, PR_PARENT_ENTRYID);
        const QString childPrefix = record.path + u'\\';
        m_records.append(std::move(record));
        if (FlagOf(row, PR_SUBFOLDERS))
            walk(child.get(), slot, depth + 1, childPrefix, columnMaskOf);
    }
}

bool FolderList::buildContactsList(QWidget* view)
{
    m_contacts.clear();
    for (const FolderRecord& record : std::as_const(m_records)) {
        if (record.folderClass == FolderClass::Contacts) {
            m_contacts.append({record.name, record.folderClass, record.parentEntryId,
                               record.entryId, record.storeSlot});
        }
    }
    if (!m_contacts.isEmpty())
        return true;
    ShowViewMessage(view, kMsgNoContactsFolders, TitleWarning);
    return false;
}

bool FolderList::storeSlotInUse(int slot) const
{
    return slot >= 0 && slot < m_session.storeCount() && m_session.store(slot);
}

bool FolderList::advise(FolderRecord& record, IMsgStore* store, const AdviseSink::Handler& handler)
{
    if (!record.sink)
        record.sink = AdviseSink::create(record.sequence, m_session.session(), handler);
    ULONG connection = 0;
    if (!store || record.entryId.isEmpty() ||
        FAILED(store->Advise(EntryIdSize(record.entryId), EntryIdData(record.entryId),
                             fnevObjectCreated, record.sink.get(), &connection))) {
        record.sink->detach();
        record.sink.reset();
        record.adviseConnection = 0;
        return false;
    }
    record.adviseConnection = connection;
    return true;
}

bool FolderList::adviseInbox(FolderRecord& record, AdviseSink::Handler handler)
{
    // A second connection would report every event twice.
    if (record.sink && record.adviseConnection != 0)
        return true;
    return advise(record, storeSlotInUse(0) ? m_session.store(0) : nullptr, handler);
}

bool FolderList::adviseContacts(AdviseSink::Handler handler)
{
    for (FolderRecord& record : m_records) {
        if (record.folderClass != FolderClass::Contacts || record.adviseConnection != 0)
            continue;
        IMsgStore* store =
            storeSlotInUse(record.storeSlot) ? m_session.store(record.storeSlot) : nullptr;
        if (!advise(record, store, handler)) {
            removeAdvises();
            return false;
        }
    }
    return true;
}

void FolderList::removeAdvises()
{
    for (FolderRecord& record : m_records) {
        if (record.folderClass != FolderClass::Contacts && !record.sink)
            continue;
        if (!storeSlotInUse(record.storeSlot))
            break;
        removeAdvise(record);
    }
}

void FolderList::removeAdvise(FolderRecord& record)
{
    if (record.adviseConnection != 0 && storeSlotInUse(record.storeSlot))
        m_session.store(record.storeSlot)->Unadvise(record.adviseConnection);
    record.adviseConnection = 0;
    if (record.sink) {
        record.sink->detach();
        record.sink.reset();
    }
}

} // namespace vantrel::mail
