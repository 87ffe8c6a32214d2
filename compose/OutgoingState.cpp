#include "compose/OutgoingState.h"

#include "compose/ComposeHost.h"
#include "core/MessageHelpers.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

namespace vantrel::compose {

namespace {
constexpr int kMsgNotLoggedOn = 20000;
constexpr int kMsgNoOutputFolder = 20008;
constexpr int kMsgNoStore = 20022;
} // namespace

OutgoingState::OutgoingState(mail::MailController& mail, ComposeHost& host)
    : m_mail(mail)
    , m_host(host)
    , m_pending(mail.session().api())
    , m_candidates(mail.session().api())
    , m_checked(mail.session().api())
{}

OutgoingState::~OutgoingState()
{
    releaseAll();
}

const vntmapi::EntryPoints& OutgoingState::api() const
{
    return m_mail.session().api();
}

bool OutgoingState::isLoggedOn() const
{
    return m_mail.isLoggedOn();
}

void OutgoingState::ClearOutgoing(bool resetFields, bool clearBody)
{
    m_pending.reset();
    m_message.reset();
    m_folder.reset();
    if (clearBody)
        m_host.clearOutgoingBody();
    if (resetFields) {
        for (int type = 1; type <= 3; ++type)
            m_host.setRecipientText(type, {});
        m_host.setSubjectText({});
        m_options = MessageOptions{};
        m_answered.fill(QString());
    }
}

void OutgoingState::StopOutgoing(bool clearBody)
{
    ClearOutgoing(true, clearBody);
    m_mode = OutgoingMode::None;
}

bool OutgoingState::OpenOutbox()
{
    QWidget* view = m_host.hostWidget();
    if (!isLoggedOn()) {
        ShowViewMessage(view, kMsgNotLoggedOn, TitleInformation);
        return false;
    }
    IMsgStore* store = m_mail.session().store(0);
    if (!store) {
        ShowViewMessage(view, kMsgNoStore, TitleInformation);
        return false;
    }
    MapiPtr<IMAPIFolder> outbox = mail::OpenFolder(
        store, mail::PropsRead(api(), store, {PR_IPM_OUTBOX_ENTRYID}).id(PR_IPM_OUTBOX_ENTRYID));
    if (!outbox)
        return false;
    m_folder = std::move(outbox);
    return true;
}

bool OutgoingState::CreateOutgoingMessage()
{
    QWidget* view = m_host.hostWidget();
    if (!isLoggedOn()) {
        ShowViewMessage(view, kMsgNotLoggedOn, TitleInformation);
        return false;
    }
    if (!m_folder) {
        ShowViewMessage(view, kMsgNoOutputFolder, TitleInformation);
        return false;
    }
    MapiPtr<IMessage> message;
    if (m_folder->CreateMessage(nullptr, 0, message.put()) != S_OK)
        return false;
    m_message = std::move(message);
    return true;
}

OutgoingState::SavedCopy OutgoingState::savedCopy() const
{
    SavedCopy copy;
    if (!m_message || !m_folder)
        return copy;
    copy.entryId = mail::PropsRead(api(), m_message.get(), {PR_ENTRYID}).id(PR_ENTRYID);
    copy.folder = m_folder;
    return copy;
}

void OutgoingState::SavedCopy::remove()
{
    if (!folder || entryId.isEmpty())
        return;
    SBinary entry{mail::EntryIdSize(entryId), reinterpret_cast<LPBYTE>(entryId.data())};
    ENTRYLIST list{1, &entry};
    folder->DeleteMessages(&list, 0, nullptr, 0);
}

void OutgoingState::releaseAll()
{
    m_pending.reset();
    m_candidates.reset();
    m_checked.reset();
    m_message.reset();
    m_folder.reset();
    m_chosenFolder.reset();
}

} // namespace vantrel::compose
