// The mail folders of every opened store in one flat list, in the order a walk of their
// hierarchies meets them; the contacts folders among them; and the folder notifications.
#pragma once

#include "mail/FolderRecord.h"
#include "mail/KnownFolders.h"

#include <QList>
#include <functional>

class QWidget;

namespace vantrel::mail {

class MailSession;

// A contacts folder of the list, for the address parts.
struct ContactsFolder
{
    QString name;
    FolderClass folderClass = FolderClass::Contacts;
    QByteArray parentEntryId;
    QByteArray entryId;
    int storeSlot = 0;
};

// What a folder notification asks of the folder's owner.
enum class FolderEventAction {
    Ignore,
    FolderCreated,  // tell the user once per logon (ShowFoldersModifiedWarning), stop advising
    MessageCreated, // fill the message list again
};

FolderEventAction HandleFolderEvent(const NOTIFICATION& notification, bool isCurrentFolder);
// "Folders are being modified by your Email client!" under its own title.
void ShowFoldersModifiedWarning(QWidget* view);

class FolderList
{
public:
    using ColumnMaskSource = std::function<ColumnMask(MaskKind)>;

    // The session must outlive the list.
    explicit FolderList(MailSession& session);
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;
    ~FolderList();

    // Walks every opened store from slot 0 and lists its folders; each record takes the
    // column mask `columnMaskOf` gives its class. False when the default store cannot be
    // walked or nothing is listed.
    bool build(const ColumnMaskSource& columnMaskOf);
    // Empties the list and the contacts folders, removes every folder advise and forgets the
    // stores' role folders (at logoff).
    void clear();

    const QList<FolderRecord>& records() const { return m_records; }
    FolderRecord* bySequence(int sequence);
    const FolderRecord* bySequence(int sequence) const;
    FolderRecord* firstOfClass(FolderClass folderClass);
    const KnownFolders& knownFolders() const { return m_known; }

    // Collects the Contacts folders; with none, tells the user (owned by `view`). False then.
    bool buildContactsList(QWidget* view);
    const QList<ContactsFolder>& contactsFolders() const { return m_contacts; }

    // Advises on `record` (the current folder, normally the Inbox) through store slot 0 for
    // created objects. False on any failure, the record's sink then released: the caller
    // turns notifications off.
    bool adviseInbox(FolderRecord& record, AdviseSink::Handler handler);
    // Advises on every Contacts folder through its own store; on any failure every folder
    // advise is removed and false returned.
    bool adviseContacts(AdviseSink::Handler handler);
    void removeAdvises();
    void removeAdvise(FolderRecord& record);

private:
    // Empties the list after removing its advises; the role folders stay read.
    void dropRecords();
    bool walkStore(int slot, const ColumnMaskSource& columnMaskOf);
    void walk(IMAPIFolder* folder, int slot, int depth, const QString& pathPrefix,
              const ColumnMaskSource& columnMaskOf);
    bool advise(FolderRecord& record, IMsgStore* store, const AdviseSink::Handler& handler);
    bool storeSlotInUse(int slot) const;

    MailSession& m_session;
    KnownFolders m_known;
    QList<FolderRecord> m_records;
    QList<ContactsFolder> m_contacts;
    int m_nextSequence = 0;
};

} // namespace vantrel::mail
