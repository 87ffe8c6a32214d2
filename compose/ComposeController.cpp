#include "compose/ComposeController.h"

#include "compose/ComposeHost.h"
#include "core/CommandRouter.h"
#include "mail/MailController.h"

namespace vantrel::compose {

ComposeController::ComposeController(mail::MailController& mail, ComposeHost& host)
    : m_mail(mail)
    , m_state(mail, host)
    , m_book(m_state)
    , m_contacts(m_state, m_book)
    , m_recipients(m_state, m_book, m_contacts)
    , m_bodyFormat(m_state)
    , m_lifecycle(m_state, m_book, m_recipients)
    , m_replies(m_state, m_book, m_recipients)
    , m_management(m_state, m_book, m_recipients)
{
    connect(&mail, &mail::MailController::loggingOff, this, &ComposeController::releaseAtLogoff);
}

ComposeController::~ComposeController() = default;

void ComposeController::releaseAtLogoff()
{
    m_state.releaseAll();
    m_book.close();
}

void ComposeController::bindCommands(CommandRouter& router)
{
    const auto loggedOn = [this] {
        return CommandState{m_mail.isLoggedOn(), false};
    };
    router.bind(
        kCmdAddressBook, [this] { m_recipients.OnOpenAddressBook(); }, loggedOn);
    router.bind(
        kCmdCheckNames, [this] { m_recipients.CheckNames(false, true, false); },
        [this] {
            return CommandState{m_state.message() != nullptr, false};
        });
    router.bind(
        kCmdAddRecipient, [this] { OnAddRecipient(); }, loggedOn);
    router.bind(
        kCmdComposeFromRecord, [this] { OnComposeFromRecord(); },
        [this] {
            RecordCustomer customer;
            const bool shown = m_recordSource && m_recordSource(&customer);
            return CommandState{shown && m_mail.isLoggedOn() && !isComposing(), false};
        });
    m_bodyFormat.bindCommands(router);
    m_lifecycle.bindCommands(router);
    m_replies.bindCommands(router);
    m_management.bindCommands(router);
}

void ComposeController::OnAddRecipient()
{
    NewContact contact;
    if (!m_contacts.AddContact(false, {}, {}, &contact))
        return;
    if (!m_state.message())
        return;
    if (contact.addToMessage && !contact.oneOffId.isEmpty()) {
        RecipientRow row;
        row.entryId = contact.oneOffId;
        row.displayName = contact.displayName;
        row.address = contact.address;
        row.addressType = contact.addressType;
        row.recipientType = MAPI_TO;
        row.objectType = MAPI_MAILUSER;
        row.displayType = 0;
        row.sendRichInfo = m_state.host().outgoingFormat() == 1;
        std::tie(row.givenName, row.surname) = SplitDisplayName(contact.displayName);
        if (m_state.pending().append(row)) {
            const QString to = m_state.host().recipientText(MAPI_TO);
            m_state.host().setRecipientText(MAPI_TO, to + contact.displayName + u';');
        }
    }
    m_recipients.CheckNames(false, false, false);
}

void ComposeController::OnComposeFromRecord()
{
    RecordCustomer customer;
    if (!m_recordSource || !m_recordSource(&customer) || !m_mail.isLoggedOn() || isComposing())
        return;
    m_recipients.ComposeFromRecord(customer.name, customer.address, customer.subjectSource);
}

} // namespace vantrel::compose
