// Commands on the messages selected in the message list: delete (to Deleted Items or for
// good), move and copy to another folder (by command or by dragging onto the folder tree),
// mark read or unread, abort a submission, and reopen an unsent message as the outgoing one.
#pragma once

#include "vntmapi/MapiInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPoint>
#include <functional>
#include <vector>

class CommandRouter;

namespace vantrel::mail {
struct FolderRecord;
}

namespace vantrel::compose {

class AddressBook;
class OutgoingState;
class Recipients;
struct RecipientRow;

class MessageManagement : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCmdDelete = 32859;
    static constexpr int kCmdMove = 32860;
    static constexpr int kCmdCopy = 32861;
    static constexpr int kCmdMarkRead = 32862;
    static constexpr int kCmdMarkUnread = 32863;
    static constexpr int kCmdMarkAllRead = 32864;
    static constexpr int kCmdOpenDraft = 32865;
    static constexpr int kCmdAbortSubmit = 32885;

    using ModifierQuery = std::function<Qt::KeyboardModifiers()>;

    // Follows drags and double clicks of the state's message list.
    MessageManagement(OutgoingState& state, AddressBook& book, Recipients& recipients,
                      QObject* parent = nullptr);

    void bindCommands(CommandRouter& router);

    // Where Shift (delete for good) and Ctrl (a drop copies) are read at the moment of the
    // command; the keyboard unless set.
    void setModifierQuery(ModifierQuery query) { m_modifiers = std::move(query); }

    void OnDelete();
    void OnMove();
    void OnCopy();
    void OnMarkRead();
    void OnMarkUnread();
    void OnMarkAllRead();
    void OnAbortSubmit();
    void OnOpenDraft();
    // The end of a drag from the message list at `globalPos`: onto a folder of the tree the
    // selection moves there (with Ctrl held it is copied).
    void OnDropAt(const QPoint& globalPos);

    // Deletes the selected messages of the current folder for good; false unless every one
    // of them went or the user cancelled part way (those deleted by then stay deleted).
    bool DeleteSelectedForGood(int storeSlot);
    // Moves or copies the selected messages to the folder whose record has
    // `destinationSequence`; false unless every one of them arrived. A long move shows its
    // progress and can be cancelled between two messages.
    bool MoveOrCopySelected(int destinationSequence, bool move);
    bool SetReadFlagsSelected(ULONG flags);

    // Whether the message read last is unsent (what "Open draft message" needs).
    bool lastReadUnsent() const;

private:
    // Entry identifiers of list rows, owned, and the platform's list over them.
    struct EntryList
    {
        EntryList() = default;
        EntryList(const EntryList&) = delete;
        EntryList& operator=(const EntryList&) = delete;
        LPENTRYLIST get() { return &list; }

        std::vector<QByteArray> ids;
        std::vector<SBinary> binaries;
        ENTRYLIST list{};
    };
    // How much of a draft the reopened message took over.
    enum class DraftCopy { Failed, Partial, Complete };

    bool buildEntryList(const QList<int>& rows, EntryList* entries) const;
    bool holdsShift() const;
    bool loggedOnOrTell();
    // The current folder when its messages can be moved or copied; an IMAP folder is told.
    const mail::FolderRecord* sourceFolder();
    mail::FolderRecord* currentFolder();
    void refreshListIfUnadvised();
    void deleteForGoodOrTell(int storeSlot);
    bool deleteForGood(int storeSlot, EntryList& entries);

    // The steps of OnOpenDraft. The selected message when it can be taken for editing (its
    // identifier in `entry`, whether it is a post in `post`); every refusal has been told.
    MapiPtr<IMessage> takeableDraft(EntryList* entry, bool* post);
    MapiPtr<IMessage> openDraft(int row);
    bool readDraftRecipients(IMessage* draft);
    QByteArray oneOffFor(const RecipientRow& row) const;
    DraftCopy startFromDraft(IMessage* draft);
    void takeDraftProps(IMessage* message);
    QWidget* view() const;

    OutgoingState& m_state;
    AddressBook& m_book;
    Recipients& m_recipients;
    ModifierQuery m_modifiers;
};

} // namespace vantrel::compose
