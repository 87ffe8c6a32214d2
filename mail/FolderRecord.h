// One mail folder of the folder list, and the classes folders fall into.
#pragma once

#include "core/SettingDefinitions.h"
#include "mail/AdviseSink.h"

#include <QByteArray>
#include <QString>

namespace vantrel::mail {

// The first nine are found by entry identifier, the rest by container class.
enum class FolderClass {
    Inbox = 0,
    Outbox = 1,
    Sent = 2,
    Deleted = 3,
    Calendar = 4,
    Contacts = 5,
    Journal = 6,
    Notes = 7,
    Tasks = 8,
    OtherItems = 9,
    Mail = 10,
    Imap = 11,
    Unclassified = 12,
};

// Images of the folder tree's image list.
enum FolderImage {
    kImageSelected = 0,
    kImageStore = 1,
    kImageInbox = 2,
    kImageSent = 3,
    kImageOutbox = 4,
    kImageDeleted = 5,
    kImageFolder = 6,
    kImageContacts = 7,
};

struct FolderRecord
{
    QString name;
    QString path; // ancestors below the store's top folder, each followed by "\", then the name
    int depth = 0;
    int sequence = 0; // unique across stores, in walk order; the tree item's parameter
    ColumnMask columnMask = 0;
    int storeSlot = 0;
    int image = kImageFolder;
    int selectedImage = kImageSelected;
    FolderClass folderClass = FolderClass::Unclassified;
    QByteArray entryId;
    QByteArray parentEntryId; // Contacts folders only
    ULONG adviseConnection = 0;
    MapiPtr<AdviseSink> sink; // empty until the folder is advised on
};

// Whether folders of `folderClass` are listed (the others, and their subfolders, are not).
bool IsListedClass(FolderClass folderClass);
// The tree image of a listed class.
int TreeImageOf(FolderClass folderClass);
// The column mask setting a listed class reads.
MaskKind MaskKindOf(FolderClass folderClass);

} // namespace vantrel::mail
