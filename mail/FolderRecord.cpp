#include "mail/FolderRecord.h"

namespace vantrel::mail {

bool IsListedClass(FolderClass folderClass)
{
    switch (folderClass) {
    case FolderClass::Inbox:
    case FolderClass::Outbox:
    case FolderClass::Sent:
    case FolderClass::Deleted:
    case FolderClass::Contacts:
    case FolderClass::Mail:
    case FolderClass::Imap:
    case FolderClass::Unclassified:
        return true;
    default:
        return false;
    }
}

int TreeImageOf(FolderClass folderClass)
{
    switch (folderClass) {
    case FolderClass::Inbox:
        return kImageInbox;
    case FolderClass::Sent:
        return kImageSent;
    case FolderClass::Outbox:
        return kImageOutbox;
    case FolderClass::Deleted:
        return kImageDeleted;
    case FolderClass::Contacts:
        return kImageContacts;
    default:
        return kImageFolder;
    }
}

MaskKind MaskKindOf(FolderClass folderClass)
{
    switch (folderClass) {
    case FolderClass::Inbox:
        return MaskKind::Inbox;
    case FolderClass::Outbox:
        return MaskKind::Outbox;
    case FolderClass::Sent:
        return MaskKind::Sent;
    case FolderClass::Deleted:
        return MaskKind::Deleted;
    case FolderClass::Imap:
        return MaskKind::Imap;
    case FolderClass::Contacts:
        return MaskKind::Contacts;
    default:
        return MaskKind::Others;
    }
}

} // namespace vantrel::mail
