// The recipients of the outgoing message: the To, Cc and Bcc boxes kept in step with the
// pending recipient list, names checked against the address book, the address dialogs, and
// the list attached to the message and taken back.
#pragma once

#include "compose/RecipientText.h"
#include "vntmapi/MapiDefs.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace vantrel::compose {

class AddressBook;
class ContactEntry;
class OutgoingState;
struct RecipientRow;

// Results of CheckNames.
enum CheckResult { CheckFailed = 0, CheckResolved = 1, CheckNamesChanged = 2 };

class Recipients
{
public:
    Recipients(OutgoingState& state, AddressBook& book, ContactEntry& contacts);
    Recipients(const Recipients&) = delete;
    Recipients& operator=(const Recipients&) = delete;

    // "Mail To:...", "Mail Cc:..." and "Mail Bcc:...": the address dialog with three wells.
    void OnRecipientsDialog();
    // "Open Address book...": the address dialog without wells, for browsing.
    void OnOpenAddressBook();

    // Resolves the names in the boxes (see CheckResult). `openDialogAfter` shows the
    // recipients dialog after names were chosen; `resolveWithDialog` lets the platform ask and
    // reports its failures; `allowRecheck` gives CheckNamesChanged instead of CheckFailed when
    // some names stay unresolved.
    int CheckNames(bool openDialogAfter, bool resolveWithDialog, bool allowRecheck);

    // The boxes' names as entries, in To, Cc, Bcc order.
    QList<RecipientEntry> ParseBoxes(bool warnEmptyTo = true);
    // The pending list's names into the boxes; false (told) when an entry has no recipient
    // type.
    bool FillBoxesFromList();
    void RenderBoxes();

    // Adds the pending list to the outgoing message and frees it.
    bool AttachPendingRecipients();
    // The message's recipients can be sent to: at least one, each with an entry identifier,
    // a name and an address (or a distribution list).
    // Addresses of SMTP recipients that are not well formed fail too; they are listed in
    // `malformed` as "Name <address>" so that a send can name them.
    bool ValidateRecipients(QStringList* malformed = nullptr);
    // The message's recipients back into a new pending list (after a failed send); the
    // message's recipient table is emptied.
    bool ReclaimRecipients();

    // A new message to a database record's customer: `subjectSource` up to its first line
    // feed (at most 100 characters) as subject, the customer as To recipient.
    bool ComposeFromRecord(const QString& name, const QString& address,
                           const QString& subjectSource);

private:
    bool resolveByChecking(QList<RecipientEntry>& entries);
    bool resolveOne(RecipientEntry& entry);
    bool appendNewContact(const RecipientEntry& entry);
    bool appendCandidate(ULONG index, const RecipientEntry& entry);
    void matchEntries(QList<RecipientEntry>& entries) const;
    void dropStalePending(const QList<RecipientEntry>& entries);
    bool showAddressDialog(bool withWells);
    bool fillBoxes(const QList<RecipientEntry>& unresolved);
    QWidget* view() const;

    OutgoingState& m_state;
    AddressBook& m_book;
    ContactEntry& m_contacts;
    // Names the user left unresolved in the last check; kept in the boxes (red) when the
    // boxes are filled from the list.
    QList<RecipientEntry> m_unresolved;
};

} // namespace vantrel::compose
