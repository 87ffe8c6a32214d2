#include "compose/OutgoingLifecycle.h"

#include "compose/AddressBook.h"
#include "compose/BodyWriter.h"
#include "compose/ComposeHost.h"
#include "compose/OutgoingState.h"
#include "compose/PropBatch.h"
#include "compose/Recipients.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/WaitCursor.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QDateTime>

namespace vantrel::compose {

namespace {

constexpr int kMsgNotLoggedOn = 20000;
constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgOpenFolderFailed = 20004;
constexpr int kMsgAlreadyReplying = 20005;
constexpr int kMsgAlreadyComposing = 20006;
constexpr int kMsgCreateFailed = 20009;
constexpr int kMsgNoStore = 20022;
constexpr int kMsgNoMessage = 20023;
constexpr int kMsgRecipientsFailed = 20025;
constexpr int kMsgNoEmailNames = 20026;
constexpr int kMsgNewMessageFailed = 20028;
constexpr int kMsgSendFailed = 20029;
constexpr int kMsgAlreadyForwarding = 20036;
constexpr int kMsgPostOutside = 20037;
constexpr int kMsgPostPropsFailed = 20038;
constexpr int kMsgSaveFailed = 20039;
constexpr int kMsgReplyFailed = 20040;
constexpr int kMsgReplyAllFailed = 20041;
constexpr int kMsgForwardFailed = 20042;
constexpr int kMsgPropsFailed = 20106;
constexpr int kMsgNotComposing = 20129;
constexpr int kTitleHowToProceed = 20130;
constexpr int kMsgAttachmentCopy = 20134;
constexpr int kMsgImapFolder = 20156;
constexpr int kMsgSaveErrors = 20172;
constexpr int kMsgMalformed = 20180;
constexpr int kMsgSaveOrDelete = 25509;
constexpr int kTitleSaveOrDelete = 25510;
constexpr int kMsgSavedEmpty = 25712;
constexpr int kMsgDeletedEmpty = 25713;

} // namespace

OutgoingLifecycle::OutgoingLifecycle(OutgoingState& state, AddressBook& book,
                                     Recipients& recipients)
    : m_state(state)
    , m_book(book)
    , m_recipients(recipients)
{}

QWidget* OutgoingLifecycle::view() const
{
    return m_state.host().hostWidget();
}

void OutgoingLifecycle::bindCommands(CommandRouter& router)
{
    const auto mode = [this] {
        return m_state.mode();
    };
    const auto loggedOn = [this] {
        return m_state.isLoggedOn();
    };
    router.bind(
        kCmdCompose, [this] { OnCompose(); },
        [=] {
            return CommandState{
                loggedOn() && (mode() == OutgoingMode::None || mode() == OutgoingMode::Composing),
                false};
        });
    router.bind(
        kCmdPost, [this] { OnPost(); },
        [=, this] {
            return CommandState{loggedOn() && m_state.message(), false};
        });
    router.bind(
        kCmdStop, [this] { OnStop(); },
        [=, this] {
            return CommandState{loggedOn() && mode() != OutgoingMode::None && m_state.message(),
                                false};
        });
    router.bind(
        kCmdSave, [this] { OnSave(); },
        [=, this] {
            return CommandState{loggedOn() && mode() != OutgoingMode::None &&
                                    (m_state.message() || m_state.pending()),
                                false};
        });
    router.bind(
        kCmdSend, [this] { OnSend(); },
        [=, this] {
            return CommandState{loggedOn() && mode() != OutgoingMode::None && m_state.message(),
                                false};
        });
    router.bind(kCmdClearBody, [this] { OnClearBody(); });
}

void OutgoingLifecycle::OnCompose()
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return;
    }
    switch (m_state.mode()) {
    case OutgoingMode::Replying:
    case OutgoingMode::ReplyingAll:
        ShowViewMessage(view(), kMsgAlreadyReplying, TitleInformation);
        return;
    case OutgoingMode::Forwarding:
        ShowViewMessage(view(), kMsgAlreadyForwarding, TitleInformation);
        return;
    case OutgoingMode::Composing:
        ShowViewMessage(view(), kMsgAlreadyComposing, TitleInformation);
        return;
    case OutgoingMode::None:
        break;
    }
    WaitCursor wait;
    if (StartOrSendNew(StartComposing))
        m_state.setMode(OutgoingMode::Composing);
}

bool OutgoingLifecycle::StartOrSendNew(int kind)
{
    if (kind == StartComposing || kind == CreateAndSend) {
        if (!m_state.OpenOutbox()) {
            ShowViewMessage(view(), kMsgNewMessageFailed, TitleInformation);
            return false;
        }
        if (!m_state.CreateOutgoingMessage()) {
            ShowViewMessage(view(), kMsgNewMessageFailed, TitleInformation);
            m_state.setFolder({});
            return false;
        }
    }
    if (!m_book.Open())
        return false;
    if (kind == StartComposing) {
        // A new message starts without the recipients an earlier one left behind.
        m_state.pending().reset();
        m_recipients.OnRecipientsDialog();
        m_state.host().showSendEmail(ComposeHost::kSubjectBox);
        return true;
    }
    return sendSequence(PropsKind::NewMessage);
}

void OutgoingLifecycle::OnSend()
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return;
    }
    WaitCursor wait;
    switch (m_state.mode()) {
    case OutgoingMode::Replying:
        if (!SendReplyMessage())
            ShowViewMessage(view(), kMsgReplyFailed, TitleInformation);
        break;
    case OutgoingMode::ReplyingAll:
        if (!SendReplyMessage())
            ShowViewMessage(view(), kMsgReplyAllFailed, TitleInformation);
        break;
    case OutgoingMode::Forwarding:
        if (!SendForwardMessage())
            ShowViewMessage(view(), kMsgForwardFailed, TitleInformation);
        break;
    case OutgoingMode::None:
        if (AskViewYesNo(view(), kMsgNotComposing, kTitleHowToProceed))
            StartOrSendNew(CreateAndSend);
        break;
    case OutgoingMode::Composing:
        StartOrSendNew(SendComposed);
        break;
    }
}

bool OutgoingLifecycle::SendReplyMessage()
{
    return sendSequence(PropsKind::Reply);
}

bool OutgoingLifecycle::SendForwardMessage()
{
    return m_book.Open() && sendSequence(PropsKind::NewMessage);
}

// Checks, attaches and validates the recipients, sets the properties and submits. A failure
// after the recipients were attached takes them back, so that the message stays as it was
// and can be corrected and sent again.
bool OutgoingLifecycle::sendSequence(PropsKind props)
{
    if (!recipientsForSend())
        return false;
    SetSenderProps(m_state);
    const bool set =
        props == PropsKind::NewMessage ? SetNewMessageProps(m_state) : SetReplyProps(m_state);
    if (!set) {
        ShowViewMessage(view(), kMsgPropsFailed, TitleInformation);
        takeBackRecipients();
        return false;
    }
    if (!SubmitOutgoing()) {
        takeBackRecipients();
        return false;
    }
    m_state.setMode(OutgoingMode::None);
    return true;
}

bool OutgoingLifecycle::recipientsForSend()
{
    int checked = m_recipients.CheckNames(false, false, true);
    if (checked == CheckNamesChanged)
        checked = m_recipients.CheckNames(false, false, true);
    if (checked != CheckResolved || !m_recipients.AttachPendingRecipients()) {
        ShowViewMessage(view(), kMsgRecipientsFailed, TitleInformation);
        return false;
    }
    QStringList malformed;
    if (!m_recipients.ValidateRecipients(&malformed)) {
        if (malformed.isEmpty())
            ShowViewMessage(view(), kMsgNoEmailNames, TitleInformation);
        else
            ShowViewMessageArg(view(), kMsgMalformed, TitleWarning, malformed.join(u'\n'));
        takeBackRecipients();
        return false;
    }
    return true;
}

// The message's recipients back into the boxes; when even that fails the message is stopped,
// its body kept.
bool OutgoingLifecycle::takeBackRecipients()
{
    if (!m_recipients.ReclaimRecipients()) {
        m_state.StopOutgoing(false);
        return false;
    }
    m_recipients.FillBoxesFromList();
    m_recipients.RenderBoxes();
    return true;
}

bool OutgoingLifecycle::SubmitOutgoing()
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return false;
    }
    IMessage* message = m_state.message();
    if (!message) {
        ShowViewMessage(view(), kMsgNoMessage, TitleInformation);
        return false;
    }
    if (FAILED(message->SubmitMessage(FORCE_SUBMIT))) {
        ShowViewMessage(view(), kMsgSendFailed, TitleInformation);
        return false;
    }
    m_state.ClearOutgoing(true, true);
    return true;
}

void OutgoingLifecycle::OnStop()
{
    if (!m_state.isLoggedOn())
        return;
    if (AskViewYesNo(view(), kMsgSaveOrDelete, kTitleSaveOrDelete)) {
        if (SaveToFolder(FolderPurpose::Save) != Saved)
            m_state.StopOutgoing(false);
        return;
    }
    OutgoingState::SavedCopy saved = m_state.savedCopy();
    const int result = SaveToFolder(FolderPurpose::Delete);
    if (result == NotDone)
        saved.remove(); // "Trash message": a copy saved in the Outbox goes too
    m_state.StopOutgoing(result == NotDone || result == Saved);
}

bool OutgoingLifecycle::selectedFolderIsImap() const
{
    const mail::FolderRecord* folder = m_state.mail().currentFolder();
    return folder && folder->folderClass == mail::FolderClass::Imap;
}

void OutgoingLifecycle::fillEmptyBody(const QString& text)
{
    QString body;
    m_state.host().wholeTextOut(ComposeHost::kOutgoingBox, body, 0);
    if (body.trimmed().isEmpty())
        m_state.host().streamTextIn(ComposeHost::kOutgoingBox, false, text, 0);
}

int OutgoingLifecycle::SaveToFolder(FolderPurpose purpose)
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return NotDone;
    }
    if (selectedFolderIsImap()) {
        ShowViewMessage(view(), kMsgImapFolder, TitleWarning);
        return NotDone;
    }
    fillEmptyBody(
        MessageText(purpose == FolderPurpose::Delete ? kMsgDeletedEmpty : kMsgSavedEmpty));
    const int chosen = ChooseFolder(m_state, false, purpose);
    if (chosen != ChooseChosen) {
        if (chosen == ChooseFailed)
            ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
        m_state.chosenFolder().reset();
        return NotDone;
    }
    // Kind of message; without a message (only recipients were left) it is a note.
    bool post = false;
    const MapiPtr<IMessage> old = m_state.messageRef(); // kept while the copy replaces it
    if (old) {
        const mail::PropsRead read(m_state.api(), old.get(), {PR_MESSAGE_CLASS});
        if (!read.ok())
            return NotDone;
        post = read.text(PR_MESSAGE_CLASS).contains(u"Post");
    }
    OutgoingState::SavedCopy replaced = m_state.savedCopy();
    m_state.setFolder(std::move(m_state.chosenFolder()));
    MapiPtr<IMessage> copy;
    if (FAILED(m_state.folder()->CreateMessage(nullptr, 0, copy.put()))) {
        ShowViewMessage(view(), kMsgSaveErrors, TitleWarning);
        m_state.setFolder({});
        return NotDone;
    }
    if (old) {
        mail::TagArray attachments{PR_MESSAGE_ATTACHMENTS};
        mail::MapiBuffer<SPropProblemArray> problems(m_state.api());
        if (FAILED(old->CopyProps(attachments.get(), 0, nullptr, &IID_IMessage, copy.get(), 0,
                                  problems.put())) &&
            problems) {
            ShowViewMessage(view(), kMsgAttachmentCopy, TitleInformation);
        }
    }
    m_state.setMessage(std::move(copy));
    if (!post) {
        if (!attachForSave()) {
            ShowViewMessage(view(), kMsgSaveErrors, TitleWarning);
            return NoRecipients;
        }
        SetSenderProps(m_state);
    }
    if (!setSaveProps(post) || !WriteOutgoingBody(m_state) ||
        FAILED(m_state.message()->SaveChanges(KEEP_OPEN_READWRITE))) {
        // Nothing was saved: the text stays in the box for the user to keep another way.
        m_state.ClearOutgoing(true, false);
        m_state.setMode(OutgoingMode::None);
        return FailedAfterReplace;
    }
    replaced.remove();
    m_state.ClearOutgoing(true, true);
    m_state.setMode(OutgoingMode::None);
    return Saved;
}

// A note keeps its recipients. A message with no names at all is saved without any: a draft
// need not be addressed yet.
bool OutgoingLifecycle::attachForSave()
{
    if (!m_book.Open())
        return false;
    if (!m_state.pending() && m_recipients.ParseBoxes(false).isEmpty())
        return true;
    return m_recipients.CheckNames(false, false, false) != CheckFailed &&
           m_recipients.AttachPendingRecipients();
}

bool OutgoingLifecycle::setSaveProps(bool post)
{
    const MessageOptions& options = m_state.options();
    const QString subject = m_state.host().subjectText();
    PropBatch values;
    values.text(PR_SUBJECT, subject.isEmpty() ? QStringLiteral(" ") : subject);
    values.number(PR_MESSAGE_FLAGS, MSGFLAG_UNSENT);
    values.text(PR_MESSAGE_CLASS, post ? QStringLiteral("IPM.Post") : QStringLiteral("IPM.Note"));
    values.number(PR_IMPORTANCE, options.importance);
    values.number(PR_SENSITIVITY, options.sensitivity);
    values.flag(PR_READ_RECEIPT_REQUESTED, options.readReceipt);
    const HRESULT hr = values.applyTo(m_state.message());
    if (FAILED(hr)) {
        ShowViewMessage(view(), hr == MAPI_E_NOT_ENOUGH_MEMORY ? kMsgOutOfMemory : kMsgSaveFailed,
                        TitleInformation);
        return false;
    }
    return true;
}

void OutgoingLifecycle::OnPost()
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return;
    }
    const OutgoingMode mode = m_state.mode();
    if (mode == OutgoingMode::None)
        return;
    if (mode != OutgoingMode::Composing) {
        ShowViewMessage(view(), kMsgPostOutside, TitleInformation);
        return;
    }
    if (!m_state.mail().session().store(0)) {
        ShowViewMessage(view(), kMsgNoStore, TitleInformation);
        return;
    }
    if (selectedFolderIsImap()) {
        ShowViewMessage(view(), kMsgImapFolder, TitleWarning);
        return;
    }
    fillEmptyBody(QStringLiteral(" "));
    const int chosen = ChooseFolder(m_state, false, FolderPurpose::Post);
    if (chosen != ChooseChosen) {
        if (chosen == ChooseFailed)
            ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
        m_state.chosenFolder().reset();
        return;
    }
    OutgoingState::SavedCopy dropped = m_state.savedCopy();
    m_state.setMessage({});
    m_state.setFolder(std::move(m_state.chosenFolder()));
    MapiPtr<IMessage> post;
    if (FAILED(m_state.folder()->CreateMessage(nullptr, 0, post.put()))) {
        ShowViewMessage(view(), kMsgCreateFailed, TitleInformation);
        m_state.setFolder({});
        return;
    }
    m_state.setMessage(std::move(post));
    const bool posted = SetPostProps();
    if (posted)
        dropped.remove();
    else
        ShowViewMessage(view(), kMsgPostPropsFailed, TitleInformation);
    // A post that did not go keeps its text in the box.
    m_state.ClearOutgoing(true, posted);
    m_state.setMode(OutgoingMode::None);
}

bool OutgoingLifecycle::SetPostProps()
{
    const SenderIdentity identity = ReadIdentity(m_state, MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS);
    if (FAILED(identity.result) || !identity.complete)
        return false;
    const MessageOptions& options = m_state.options();
    const QString subject = m_state.host().subjectText();
    PropBatch values;
    values.textOrNull(PR_SENDER_NAME, identity.name);
    values.binaryOrNull(PR_SENDER_ENTRYID, identity.entryId);
    values.textOrNull(PR_SENT_REPRESENTING_NAME, identity.name);
    values.binaryOrNull(PR_SENT_REPRESENTING_ENTRYID, identity.entryId);
    values.text(PR_SUBJECT, subject.isEmpty() ? QStringLiteral(" ") : subject);
    values.number(PR_MESSAGE_FLAGS, MSGFLAG_UNSENT);
    values.fileTime(PR_RECEIPT_TIME, mail::FileTimeOf(QDateTime::currentDateTimeUtc()));
    values.flag(PR_DELETE_AFTER_SUBMIT, true);
    values.flag(PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED, false);
    values.flag(PR_READ_RECEIPT_REQUESTED, false);
    values.number(PR_IMPORTANCE, options.importance);
    values.number(PR_SENSITIVITY, options.sensitivity);
    values.textOrNull(PR_SENDER_EMAIL_ADDRESS, identity.address);
    values.textOrNull(PR_SENT_REPRESENTING_EMAIL_ADDRESS, identity.address);
    values.text(PR_MESSAGE_CLASS, QStringLiteral("IPM.Post"));
    const HRESULT hr = values.applyTo(m_state.message());
    if (hr == MAPI_E_NOT_ENOUGH_MEMORY)
        ShowViewMessage(view(), kMsgOutOfMemory, TitleInformation);
    return SUCCEEDED(hr) && WriteOutgoingBody(m_state);
}

void OutgoingLifecycle::OnClearBody()
{
    m_state.host().clearOutgoingBody();
    m_state.host().applyOutgoingFormat(m_state.host().outgoingFormat());
}

} // namespace vantrel::compose
