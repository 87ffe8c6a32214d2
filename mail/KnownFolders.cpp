#include "mail/KnownFolders.h"

#include "mail/MapiRows.h"

using namespace Qt::StringLiterals;

namespace vantrel::mail {

namespace {

constexpr ULONG kOutboxValid = 0x4;
constexpr ULONG kDeletedValid = 0x8;
constexpr ULONG kSentValid = 0x10;

int indexOf(FolderClass folderClass)
{
    return static_cast<int>(folderClass);
}

bool SameEntry(IMAPISession* session, const QByteArray& a, const QByteArray& b)
{
    ULONG same = 0;
    return SUCCEEDED(session->CompareEntryIDs(EntryIdSize(a), EntryIdData(a), EntryIdSize(b),
                                              EntryIdData(b), 0, &same)) &&
           same != 0;
}

std::optional<QString> ContainerClassOf(const vntmapi::EntryPoints& api, IMAPIProp* folder)
{
    if (!folder)
        return std::nullopt;
    const PropsRead props(api, folder, {PR_CONTAINER_CLASS});
    const SPropValue* value = props.value(PR_CONTAINER_CLASS);
    if (!value || !value->Value.lpszA)
        return std::nullopt;
    return QString::fromUtf8(value->Value.lpszA);
}

} // namespace

bool KnownFolders::isRead(int slot) const
{
    return slot >= 0 && slot < MailSession::kMaxStores && m_read[slot];
}

QByteArray KnownFolders::idOf(FolderClass folderClass, int slot) const
{
    if (folderClass == FolderClass::Deleted)
        return slot >= 0 && slot < MailSession::kMaxStores ? m_deleted[slot] : QByteArray();
    const int index = indexOf(folderClass);
    return index >= 0 && index < static_cast<int>(m_ids.size()) ? m_ids[index] : QByteArray();
}

void KnownFolders::clear()
{
    m_ids.fill({});
    m_deleted.fill({});
    m_read.fill(false);
}

void KnownFolders::read(const MailSession& session, int slot)
{
    if (slot < 0 || slot >= MailSession::kMaxStores || m_read[slot] || !session.store(slot))
        return;
    m_read[slot] = true;
    if (slot == 0) {
        readDefaultStore(session);
        return;
    }
    const PropsRead props(session.api(), session.store(slot),
                          {PR_VALID_FOLDER_MASK, PR_IPM_WASTEBASKET_ENTRYID});
    if (props.number(PR_VALID_FOLDER_MASK) & kDeletedValid)
        m_deleted[slot] = props.id(PR_IPM_WASTEBASKET_ENTRYID);
}

void KnownFolders::readDefaultStore(const MailSession& session)
{
    // Only this store's own values go: other slots keep what they read under their marks.
    m_ids.fill({});
    m_deleted[0].clear();
    IMsgStore* store = session.store(0);
    MapiBuffer<ENTRYID> inbox(session.api());
    ULONG inboxSize = 0;
    if (SUCCEEDED(store->GetReceiveFolder("IPM.Note", 0, &inboxSize, inbox.put(), nullptr)) &&
        inbox) {
        m_ids[indexOf(FolderClass::Inbox)] =
            QByteArray(reinterpret_cast<const char*>(inbox.get()), inboxSize);
    }
    const PropsRead props(session.api(), store,
                          {PR_VALID_FOLDER_MASK, PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID,
                           PR_IPM_WASTEBASKET_ENTRYID});
    const ULONG mask = props.number(PR_VALID_FOLDER_MASK);
    if (mask & kOutboxValid)
        m_ids[indexOf(FolderClass::Outbox)] = props.id(PR_IPM_OUTBOX_ENTRYID);
    if (mask & kDeletedValid)
        m_deleted[0] = props.id(PR_IPM_WASTEBASKET_ENTRYID);
    if (mask & kSentValid)
        m_ids[indexOf(FolderClass::Sent)] = props.id(PR_IPM_SENTMAIL_ENTRYID);
    readInboxFolders(session);
}

// The item folders are named by the Inbox rather than by the store.
void KnownFolders::readInboxFolders(const MailSession& session)
{
    const QByteArray& inboxId = m_ids[indexOf(FolderClass::Inbox)];
    if (inboxId.isEmpty())
        return;
    ULONG type = 0;
    MapiPtr<IMAPIProp> inbox;
    if (FAILED(session.store(0)->OpenEntry(EntryIdSize(inboxId), EntryIdData(inboxId), nullptr,
                                           MAPI_BEST_ACCESS, &type, inbox.putUnknown())) ||
        type != MAPI_FOLDER || !inbox) {
        return;
    }
    const PropsRead props(session.api(), inbox.get(),
                          {PR_IPM_APPOINTMENT_ENTRYID, PR_IPM_CONTACT_ENTRYID,
                           PR_IPM_JOURNAL_ENTRYID, PR_IPM_NOTE_ENTRYID, PR_IPM_TASK_ENTRYID});
    const std::pair<FolderClass, ULONG> named[] = {
        {FolderClass::Calendar, PR_IPM_APPOINTMENT_ENTRYID},
        {FolderClass::Contacts, PR_IPM_CONTACT_ENTRYID},
        {FolderClass::Journal, PR_IPM_JOURNAL_ENTRYID},
        {FolderClass::Notes, PR_IPM_NOTE_ENTRYID},
        {FolderClass::Tasks, PR_IPM_TASK_ENTRYID},
    };
    for (const auto& [folderClass, tag] : named)
        m_ids[indexOf(folderClass)] = props.id(tag);
}

FolderClass ClassOfContainerClass(const std::optional<QString>& containerClass)
{
    if (!containerClass)
        return FolderClass::Unclassified;
    QString text = *containerClass;
    // "IPF.x" and "IPM.x" read alike.
    if (text.size() > 3 && text.startsWith(u"IP"_s))
        text[2] = u'.';
    if (text.startsWith(u"IP..Note"_s))
        return FolderClass::Mail;
    if (text == u"IP..Imap"_s)
        return FolderClass::Imap;
    const std::pair<QString, FolderClass> prefixes[] = {
        {u"IP..Appointment"_s, FolderClass::Calendar}, {u"IP..Contact"_s, FolderClass::Contacts},
        {u"IP..Journal"_s, FolderClass::Journal},      {u"IP..StickyNote"_s, FolderClass::Notes},
        {u"IP..Task"_s, FolderClass::Tasks},           {u"IP.."_s, FolderClass::OtherItems},
    };
    for (const auto& [prefix, folderClass] : prefixes) {
        if (text.startsWith(prefix))
            return folderClass;
    }
    return FolderClass::Unclassified;
}

FolderClass ClassifyFolder(const MailSession& session, const KnownFolders& known, int slot,
                           const QByteArray& entryId, IMAPIProp* folder)
{
    IMAPISession* mapiSession = session.session();
    if (mapiSession && !entryId.isEmpty()) {
        for (int index = indexOf(FolderClass::Inbox); index <= indexOf(FolderClass::Tasks);
             ++index) {
            const auto folderClass = static_cast<FolderClass>(index);
            const QByteArray id = known.idOf(folderClass, slot);
            if (!id.isEmpty() && SameEntry(mapiSession, id, entryId))
                return folderClass;
        }
    }
    return ClassOfContainerClass(ContainerClassOf(session.api(), folder));
}

} // namespace vantrel::mail
