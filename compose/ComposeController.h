// The composition side of the workspace: the outgoing message state, the address book, the
// recipients, new contacts and the outgoing format, and the commands that drive them. One per
// view, beside the mail controller whose session it uses.
#pragma once

#include "compose/AddressBook.h"
#include "compose/BodyFormatCommands.h"
#include "compose/ContactEntry.h"
#include "compose/MessageManagement.h"
#include "compose/OutgoingLifecycle.h"
#include "compose/OutgoingState.h"
#include "compose/Recipients.h"
#include "compose/ReplyBuilder.h"

#include <QObject>
#include <functional>

class CommandRouter;

namespace vantrel::compose {

// The customer of the database record shown, for "Compose a new email from database record".
struct RecordCustomer
{
    QString name;
    QString address;
    QString subjectSource; // the record's problem text
};

class ComposeController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCmdAddressBook = 32795;
    static constexpr int kCmdCheckNames = 32858;
    static constexpr int kCmdComposeFromRecord = 32888;
    static constexpr int kCmdAddRecipient = 32892;

    ComposeController(mail::MailController& mail, ComposeHost& host);
    ~ComposeController() override;

    void bindCommands(CommandRouter& router);

    // The database answers whether a Job record is shown and who its customer is; unset
    // while there is no database.
    using RecordSource = std::function<bool(RecordCustomer*)>;
    void setRecordSource(RecordSource source) { m_recordSource = std::move(source); }

    bool isComposing() const { return m_state.mode() != OutgoingMode::None; }
    // "Stop message", with its question whether to save the message or delete it.
    void stopMessage() { m_lifecycle.OnStop(); }

    // "Mail To:...", "Mail Cc:...", "Mail Bcc:...".
    void OnRecipientsDialog() { m_recipients.OnRecipientsDialog(); }
    // "Add new recipient".
    void OnAddRecipient();
    void OnComposeFromRecord();

    OutgoingState& state() { return m_state; }
    AddressBook& addressBook() { return m_book; }
    Recipients& recipients() { return m_recipients; }
    ContactEntry& contacts() { return m_contacts; }
    BodyFormatCommands& bodyFormat() { return m_bodyFormat; }
    OutgoingLifecycle& lifecycle() { return m_lifecycle; }
    ReplyBuilder& replies() { return m_replies; }
    MessageManagement& management() { return m_management; }

private:
    void releaseAtLogoff();

    mail::MailController& m_mail;
    OutgoingState m_state;
    AddressBook m_book;
    ContactEntry m_contacts;
    Recipients m_recipients;
    BodyFormatCommands m_bodyFormat;
    OutgoingLifecycle m_lifecycle;
    ReplyBuilder m_replies;
    MessageManagement m_management;
    RecordSource m_recordSource;
};

} // namespace vantrel::compose
