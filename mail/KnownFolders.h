// The folders a store names for their roles (Inbox, Outbox, Sent, Deleted items, and the item
// folders the Inbox names), read once per store per logon, and the classification of a folder
// by those identifiers or else by its container class.
#pragma once

#include "mail/FolderRecord.h"
#include "mail/MailSession.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace vantrel::mail {

class KnownFolders
{
public:
    // Reads the identifiers of store `slot` unless they were read since the last clear().
    // Slot 0 gives the whole set; every slot gives its own Deleted items.
    void read(const MailSession& session, int slot);
    // Forgets every identifier and every slot's mark (at logoff).
    void clear();

    bool isRead(int slot) const;
    // The identifier of a class found by identifier (Inbox ... Tasks); Deleted items is that of
    // `slot`. Empty when the store names none.
    QByteArray idOf(FolderClass folderClass, int slot = 0) const;

private:
    void readDefaultStore(const MailSession& session);
    void readInboxFolders(const MailSession& session);

    // Inbox, Outbox, Sent, (unused), Calendar, Contacts, Journal, Notes, Tasks, by class number.
    std::array<QByteArray, 9> m_ids;
    std::array<QByteArray, MailSession::kMaxStores> m_deleted;
    std::array<bool, MailSession::kMaxStores> m_read{};
};

// The class a container class gives a folder that no role identifier matched.
FolderClass ClassOfContainerClass(const std::optional<QString>& containerClass);

// The class of `folder` (entry identifier `entryId`) of store `slot`: the first role identifier
// the session finds equal, in class order, else its PR_CONTAINER_CLASS.
FolderClass ClassifyFolder(const MailSession& session, const KnownFolders& known, int slot,
                           const QByteArray& entryId, IMAPIProp* folder);

} // namespace vantrel::mail
