#include "compose/MessageManagement.h"

#include "compose/AddressBook.h"
#include "compose/AdrList.h"
#include "compose/ComposeHost.h"
#include "compose/FolderChooser.h"
#include "compose/OutgoingState.h"
#include "compose/Recipients.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/ProgressFeedback.h"
#include "core/WaitCursor.h"
#include "mail/MailController.h"
#include "mail/MailHost.h"
#include "mail/MapiProgress.h"
#include "mail/MapiRows.h"

#include <QGuiApplication>
#include <QTreeWidget>
#include <numeric>

namespace vantrel::compose {

namespace {

using mail::FolderClass;

constexpr int kMsgNotLoggedOn = 20000;
constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgNoRecipientMemory = 20003;
constexpr int kMsgOpenFolderFailed = 20004;
constexpr int kMsgMessageNotFound = 20011;
constexpr int kMsgCopyPropsFailed = 20012;
constexpr int kMsgNewMessageFailed = 20028;
constexpr int kMsgReadSelectedFailed = 20076;
constexpr int kMsgOpenMessageFailed = 20078;
constexpr int kMsgPartlyMoved = 20094;
constexpr int kMsgCopyFailed = 20095;
constexpr int kMsgAlreadyThere = 20096;
constexpr int kMsgMaybeSent = 20136;
constexpr int kMsgImapFolder = 20156;
constexpr int kMsgSaveFailed = 20172;
constexpr int kMsgLockedForSubmit = 20174;
constexpr int kMsgNotUserMessage = 20179;
constexpr int kMsgOriginalNotDeleted = 25508;
constexpr int kMsgNothingToDelete = 25609;
constexpr int kMsgAskDelete = 25610;
constexpr int kTitleAskDelete = 25611;
constexpr int kMsgDeleteFailed = 25612;
constexpr int kMsgNoDeletedItems = 25613;
constexpr int kMsgMoveFailed = 25614;
constexpr int kMsgSelectOnlyOne = 25615;
constexpr int kMsgContactsFolder = 25714;
constexpr int kMsgAbortFailed = 25716;
constexpr int kMsgNotContactFolder = 25719;
constexpr int kMsgStopFirst = 25720;
constexpr int kMsgSelectOne = 25721;
constexpr int kProgressMoving = 25694;
constexpr int kProgressCopying = 25695;
constexpr int kProgressDeleting = 25696;

// What the reopened message does not take over from the draft: who sent it (it is sent
// afresh) and its recipients (they come back through the boxes).
const std::initializer_list<ULONG> kNotCopied = {
    PR_SENDER_NAME,
    PR_SENDER_ENTRYID,
    PR_SENDER_SEARCH_KEY,
    PR_SENDER_EMAIL_ADDRESS,
    PR_SENDER_ADDRTYPE,
    PR_SENT_REPRESENTING_NAME,
    PR_SENT_REPRESENTING_ENTRYID,
    PR_SENT_REPRESENTING_SEARCH_KEY,
    PR_SENT_REPRESENTING_EMAIL_ADDRESS,
    PR_SENT_REPRESENTING_ADDRTYPE,
    PR_MESSAGE_RECIPIENTS,
};

bool isUsableSlot(mail::MailController& mail, int slot)
{
    return slot >= 0 && slot < mail.session().storeCount() && mail.session().store(slot);
}

// Long work on the selected messages: its progress dialog, the mail library's progress object
// over it, and the list reading nothing meanwhile.
class MessageWork
{
public:
    MessageWork(mail::MessageList& list, QWidget* view, int labelId)
        : m_list(list)
        , m_feedback(view, labelId, ProgressFeedback::Cancel::Offered)
    {
        m_list.holdReading(true);
    }
    ~MessageWork() { m_list.holdReading(false); }
    MessageWork(const MessageWork&) = delete;
    MessageWork& operator=(const MessageWork&) = delete;
    IMAPIProgress* progress() { return &m_progress; }

private:
    mail::MessageList& m_list;
    WaitCursor m_wait;
    ProgressFeedback m_feedback;
    mail::MapiProgress m_progress{m_feedback};
};

} // namespace

MessageManagement::MessageManagement(OutgoingState& state, AddressBook& book,
                                     Recipients& recipients, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_book(book)
    , m_recipients(recipients)
    , m_modifiers([] { return QGuiApplication::queryKeyboardModifiers(); })
{
    mail::MessageList& list = state.mail().messages();
    connect(&list, &mail::MessageList::dragFinished, this, &MessageManagement::OnDropAt);
    // The mail side has stopped the read timer by now.
    connect(&list, &mail::MessageList::editUnsentRequested, this, [this] {
        if (m_state.isLoggedOn() && lastReadUnsent())
            OnOpenDraft();
    });
}

void MessageManagement::bindCommands(CommandRouter& router)
{
    const auto loggedOn = [this] {
        return CommandState{m_state.isLoggedOn(), false};
    };
    router.bind(
        kCmdDelete, [this] { OnDelete(); }, loggedOn);
    router.bind(
        kCmdMove, [this] { OnMove(); }, loggedOn);
    router.bind(
        kCmdCopy, [this] { OnCopy(); }, loggedOn);
    router.bind(
        kCmdMarkRead, [this] { OnMarkRead(); }, loggedOn);
    router.bind(
        kCmdMarkUnread, [this] { OnMarkUnread(); }, loggedOn);
    router.bind(
        kCmdMarkAllRead, [this] { OnMarkAllRead(); }, loggedOn);
    router.bind(
        kCmdAbortSubmit, [this] { OnAbortSubmit(); }, loggedOn);
    router.bind(
        kCmdOpenDraft, [this] { OnOpenDraft(); },
        [this] {
            return CommandState{m_state.isLoggedOn() && m_state.mode() == OutgoingMode::None &&
                                    lastReadUnsent(),
                                false};
        });
}

QWidget* MessageManagement::view() const
{
    return m_state.host().hostWidget();
}

bool MessageManagement::lastReadUnsent() const
{
    return m_state.mail().reader().state().unsent;
}

bool MessageManagement::holdsShift() const
{
    return m_modifiers().testFlag(Qt::ShiftModifier);
}

bool MessageManagement::loggedOnOrTell()
{
    if (m_state.isLoggedOn())
        return true;
    ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
    return false;
}

mail::FolderRecord* MessageManagement::currentFolder()
{
    return m_state.mail().currentFolder();
}

bool MessageManagement::buildEntryList(const QList<int>& rows, EntryList* entries) const
{
    const mail::MessageList& list = m_state.mail().messages();
    entries->ids.reserve(static_cast<size_t>(rows.size()));
    for (int row : rows)
        entries->ids.push_back(list.entryIdAt(row));
    entries->binaries.reserve(entries->ids.size());
    for (QByteArray& id : entries->ids)
        entries->binaries.push_back({mail::EntryIdSize(id), reinterpret_cast<LPBYTE>(id.data())});
    entries->list = {static_cast<ULONG>(entries->binaries.size()), entries->binaries.data()};
    return entries->list.cValues > 0;
}

void MessageManagement::refreshListIfUnadvised()
{
    // Advised, the folder's notifications bring the list up to date.
    mail::MessageList& list = m_state.mail().messages();
    if (!list.isAdvised())
        list.refill();
}

void MessageManagement::OnDelete()
{
    mail::MailController& mail = m_state.mail();
    mail::FolderRecord* folder = currentFolder();
    if (!mail.isLoggedOn() || !folder)
        return;
    if (mail.messages().selectedCount() == 0) {
        ShowViewMessage(view(), kMsgNothingToDelete, TitleWarning);
        return;
    }
    if (folder->folderClass == FolderClass::Imap) {
        ShowViewMessage(view(), kMsgImapFolder, TitleWarning);
        return;
    }
    if (folder->folderClass == FolderClass::Contacts || !isUsableSlot(mail, folder->storeSlot))
        return;
    const bool forGood = holdsShift();
    if (folder->folderClass == FolderClass::Deleted) {
        if (forGood || AskViewYesNo(view(), kMsgAskDelete, kTitleAskDelete))
            deleteForGoodOrTell(folder->storeSlot);
        return;
    }
    if (forGood && AskViewYesNo(view(), kMsgAskDelete, kTitleAskDelete)) {
        deleteForGoodOrTell(folder->storeSlot);
        return;
    }
    const mail::FolderRecord* trash = nullptr;
    for (const mail::FolderRecord& record : mail.folders().records()) {
        if (record.folderClass == FolderClass::Deleted && record.storeSlot == folder->storeSlot) {
            trash = &record;
            break;
        }
    }
    if (!trash) {
        ShowViewMessage(view(), kMsgNoDeletedItems, TitleWarning);
        return;
    }
    MoveOrCopySelected(trash->sequence, true);
}

void MessageManagement::deleteForGoodOrTell(int storeSlot)
{
    m_state.mail().host().stopReadTimer();
    if (!DeleteSelectedForGood(storeSlot))
        ShowViewMessage(view(), kMsgDeleteFailed, TitleWarning);
}

bool MessageManagement::DeleteSelectedForGood(int storeSlot)
{
    EntryList entries;
    if (!buildEntryList(m_state.mail().messages().selectedRows(), &entries))
        return false;
    return deleteForGood(storeSlot, entries);
}

bool MessageManagement::deleteForGood(int storeSlot, EntryList& entries)
{
    mail::MailController& mail = m_state.mail();
    const mail::FolderRecord* folder = currentFolder();
    if (!folder || !isUsableSlot(mail, storeSlot))
        return false;
    MapiPtr<IMAPIFolder> opened =
        mail::OpenFolder(mail.session().store(storeSlot), folder->entryId);
    if (!opened) {
        ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
        return false;
    }
    HRESULT hr = S_OK;
    {
        // Stopping between two messages is safe: those deleted are gone, the rest stay.
        MessageWork work(mail.messages(), view(), kProgressDeleting);
        hr = opened->DeleteMessages(entries.get(), 0, work.progress(), MESSAGE_DIALOG);
    }
    refreshListIfUnadvised();
    // Some left behind (waiting to be sent, or locked) is no success: the caller says so. The
    // user's own Cancel needs no notice.
    return hr == S_OK || hr == MAPI_E_USER_CANCEL;
}

const mail::FolderRecord* MessageManagement::sourceFolder()
{
    if (!loggedOnOrTell())
        return nullptr;
    const mail::FolderRecord* folder = currentFolder();
    if (folder && folder->folderClass == FolderClass::Imap) {
        ShowViewMessage(view(), kMsgImapFolder, TitleWarning);
        return nullptr;
    }
    return folder;
}

void MessageManagement::OnMove()
{
    const mail::FolderRecord* folder = sourceFolder();
    if (!folder || folder->folderClass == FolderClass::Contacts)
        return;
    int sequence = -1;
    switch (ChooseFolder(m_state, true, FolderPurpose::Move, &sequence)) {
    case ChooseChosen:
        MoveOrCopySelected(sequence, true);
        break;
    case ChooseFailed:
        ShowViewMessage(view(), kMsgMoveFailed, TitleInformation);
        break;
    default:
        break;
    }
}

void MessageManagement::OnCopy()
{
    const mail::FolderRecord* folder = sourceFolder();
    if (!folder)
        return;
    const bool fromContacts = folder->folderClass == FolderClass::Contacts;
    int sequence = -1;
    switch (ChooseFolder(m_state, true, FolderPurpose::Copy, &sequence)) {
    case ChooseChosen: {
        const mail::FolderRecord* chosen = m_state.mail().folders().bySequence(sequence);
        if (fromContacts && chosen && chosen->folderClass != FolderClass::Contacts)
            ShowViewMessage(view(), kMsgNotContactFolder, TitleWarning);
        else
            MoveOrCopySelected(sequence, false);
        break;
    }
    case ChooseFailed:
        ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
        break;
    default:
        break;
    }
}

void MessageManagement::OnDropAt(const QPoint& globalPos)
{
    mail::MailController& mail = m_state.mail();
    QTreeWidget* tree = mail.tree().widget();
    const mail::FolderRecord* folder = currentFolder();
    if (!mail.isLoggedOn() || !tree || !tree->isVisible() || !folder ||
        folder->folderClass == FolderClass::Contacts)
        return;
    const QPoint local = tree->viewport()->mapFromGlobal(globalPos);
    QTreeWidgetItem* item =
        tree->viewport()->rect().contains(local) ? tree->itemAt(local) : nullptr;
    bool isNumber = false;
    const int sequence =
        item ? item->data(0, mail::FolderTree::kParameterRole).toInt(&isNumber) : -1;
    if (!isNumber || sequence == mail::FolderTree::kStoreParameter)
        return;
    if (folder->folderClass == FolderClass::Imap) {
        ShowViewMessage(view(), kMsgImapFolder, TitleWarning);
        return;
    }
    MoveOrCopySelected(sequence, !m_modifiers().testFlag(Qt::ControlModifier));
}

bool MessageManagement::MoveOrCopySelected(int destinationSequence, bool move)
{
    mail::MailController& mail = m_state.mail();
    const mail::FolderRecord* destination = mail.folders().bySequence(destinationSequence);
    if (!destination)
        return false;
    if (destination->folderClass == FolderClass::Imap) {
        ShowViewMessage(view(), kMsgImapFolder, TitleWarning);
        return false;
    }
    if (destination->folderClass == FolderClass::Contacts) {
        ShowViewMessage(view(), kMsgContactsFolder, TitleWarning);
        return false;
    }
    if (!isUsableSlot(mail, destination->storeSlot))
        return false;
    const mail::FolderRecord* current = currentFolder();
    if (current && current->sequence == destination->sequence) {
        ShowViewMessage(view(), kMsgAlreadyThere, TitleWarning);
        return false;
    }
    const QList<int> rows = mail.messages().selectedRows();
    EntryList entries;
    if (rows.size() > mail.messages().rowCount() || !buildEntryList(rows, &entries))
        return false;
    MapiPtr<IMAPIFolder> target =
        mail::OpenFolder(mail.session().store(destination->storeSlot), destination->entryId);
    if (!target) {
        ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
        return false;
    }
    IMAPIFolder* source = mail.messages().folder();
    if (!source)
        return false;
    HRESULT hr = S_OK;
    {
        // Stopping between two messages is safe: each is in one folder or the other, never
        // in both or neither, and the list follows what moved.
        MessageWork work(mail.messages(), view(), move ? kProgressMoving : kProgressCopying);
        // Read receipts still owed go now; the messages stay as read or unread as they are.
        source->SetReadFlags(entries.get(), 0, nullptr, GENERATE_RECEIPT_ONLY);
        hr = source->CopyMessages(entries.get(), nullptr, target.get(), 0, work.progress(),
                                  (move ? MESSAGE_MOVE : 0) | MESSAGE_DIALOG);
    }
    if (move)
        refreshListIfUnadvised();
    if (hr == MAPI_E_USER_CANCEL)
        return false;
    if (hr == MAPI_W_PARTIAL_COMPLETION) {
        ShowViewMessage(view(), kMsgPartlyMoved, TitleInformation);
        return false;
    }
    if (FAILED(hr)) {
        ShowViewMessage(view(), kMsgCopyFailed, TitleInformation);
        return false;
    }
    return true;
}

void MessageManagement::OnMarkRead()
{
    if (loggedOnOrTell())
        SetReadFlagsSelected(SUPPRESS_RECEIPT);
}

void MessageManagement::OnMarkUnread()
{
    if (loggedOnOrTell())
        SetReadFlagsSelected(CLEAR_READ_FLAG);
}

bool MessageManagement::SetReadFlagsSelected(ULONG flags)
{
    EntryList entries;
    if (!buildEntryList(m_state.mail().messages().selectedRows(), &entries))
        return false;
    IMAPIFolder* folder = m_state.mail().messages().folder();
    return folder && folder->SetReadFlags(entries.get(), 0, nullptr, flags) == S_OK;
}

void MessageManagement::OnMarkAllRead()
{
    if (!loggedOnOrTell())
        return;
    mail::MessageList& list = m_state.mail().messages();
    QList<int> rows(list.rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    EntryList entries;
    if (IMAPIFolder* folder = list.folder(); folder && buildEntryList(rows, &entries)) {
        WaitCursor wait;
        folder->SetReadFlags(entries.get(), 0, nullptr, SUPPRESS_RECEIPT);
    }
}

void MessageManagement::OnAbortSubmit()
{
    mail::MailController& mail = m_state.mail();
    const QList<int> rows = mail.messages().selectedRows();
    const mail::FolderRecord* folder = currentFolder();
    if (!mail.isLoggedOn() || rows.isEmpty() || !folder || !isUsableSlot(mail, folder->storeSlot) ||
        !mail.messages().contents())
        return;
    // The row's own identifier: the table may have changed under a list that was not told.
    QByteArray id = mail.messages().entryIdAt(rows.first());
    if (id.isEmpty()) {
        ShowViewMessage(view(), kMsgReadSelectedFailed, TitleInformation);
        return;
    }
    const HRESULT hr = mail.session()
                           .store(folder->storeSlot)
                           ->AbortSubmit(mail::EntryIdSize(id), mail::EntryIdData(id), 0);
    if (hr == MAPI_E_UNABLE_TO_ABORT)
        ShowViewMessage(view(), kMsgMaybeSent, TitleInformation);
    else if (FAILED(hr)) // not only "not queued": whatever kept it queued, it still is
        ShowViewMessage(view(), kMsgAbortFailed, TitleInformation);
}

void MessageManagement::OnOpenDraft()
{
    EntryList draftEntry;
    bool post = false;
    MapiPtr<IMessage> draft = takeableDraft(&draftEntry, &post);
    if (!draft)
        return;
    // Only now that the draft can be taken does what was in the boxes go.
    m_state.ClearOutgoing(true, true);
    if (!post && !readDraftRecipients(draft.get()))
        return;
    if (!post) {
        m_recipients.FillBoxesFromList();
        m_recipients.RenderBoxes();
    }
    ComposeHost& host = m_state.host();
    // The whole text: a selection in the read box is not the whole draft.
    QString body;
    host.wholeTextOut(ComposeHost::kReadBox, body, host.outgoingFormat());
    if (!body.isEmpty())
        host.streamTextIn(ComposeHost::kOutgoingBox, false, body, host.outgoingFormat());
    const DraftCopy copied = startFromDraft(draft.get());
    if (copied == DraftCopy::Failed)
        return;
    draft.reset();
    // The draft goes only once all of it is kept in the new message.
    const mail::FolderRecord* folder = currentFolder();
    if (copied == DraftCopy::Complete && (!folder || !deleteForGood(folder->storeSlot, draftEntry)))
        ShowViewMessage(view(), kMsgOriginalNotDeleted, TitleInformation);
    host.showSendEmail(ComposeHost::kToBox);
    m_state.setMode(OutgoingMode::Composing);
}

MapiPtr<IMessage> MessageManagement::takeableDraft(EntryList* entry, bool* post)
{
    if (!m_state.isLoggedOn())
        return {};
    if (m_state.mode() != OutgoingMode::None) {
        ShowViewMessage(view(), kMsgStopFirst, TitleInformation);
        return {};
    }
    const mail::FolderRecord* folder = currentFolder();
    if (!folder || folder->folderClass == FolderClass::Contacts || !m_book.Open())
        return {};
    const QList<int> rows = m_state.mail().messages().selectedRows();
    if (rows.size() != 1) {
        ShowViewMessage(view(), rows.isEmpty() ? kMsgSelectOne : kMsgSelectOnlyOne,
                        TitleInformation);
        return {};
    }
    MapiPtr<IMessage> draft = openDraft(rows.first());
    if (!draft || !buildEntryList(rows, entry))
        return {};
    const mail::PropsRead props(m_state.api(), draft.get(),
                                {PR_MESSAGE_FLAGS, PR_MESSAGE_CLASS, PR_OBJECT_TYPE});
    int refusal = 0;
    if (!props.ok())
        refusal = kMsgOpenMessageFailed;
    else if (props.number(PR_MESSAGE_FLAGS) & MSGFLAG_SUBMIT)
        refusal = kMsgLockedForSubmit;
    else if (props.number(PR_OBJECT_TYPE) != MAPI_MESSAGE)
        refusal = kMsgNotUserMessage;
    if (refusal != 0) {
        ShowViewMessage(view(), refusal, TitleInformation);
        return {};
    }
    *post = props.text(PR_MESSAGE_CLASS).contains(u"Post");
    return draft;
}

MapiPtr<IMessage> MessageManagement::openDraft(int row)
{
    mail::MailController& mail = m_state.mail();
    const mail::FolderRecord* folder = currentFolder();
    QByteArray id = mail.messages().entryIdAt(row);
    if (id.isEmpty()) {
        ShowViewMessage(view(), kMsgReadSelectedFailed, TitleInformation);
        return {};
    }
    IMsgStore* store = folder ? mail.session().store(folder->storeSlot) : nullptr;
    ULONG type = 0;
    MapiPtr<IMessage> message;
    const HRESULT hr = store
                           ? store->OpenEntry(mail::EntryIdSize(id), mail::EntryIdData(id), nullptr,
                                              MAPI_BEST_ACCESS, &type, message.putUnknown())
                           : MAPI_E_NOT_FOUND;
    if (hr == MAPI_E_NOT_FOUND)
        ShowViewMessage(view(), kMsgMessageNotFound, TitleInformation);
    if (FAILED(hr))
        return {};
    return message;
}

QByteArray MessageManagement::oneOffFor(const RecipientRow& row) const
{
    IAddrBook* book = m_book.get();
    if (!book || row.address.isEmpty())
        return {};
    const QByteArray name = (row.displayName.isEmpty() ? row.address : row.displayName).toUtf8();
    const QByteArray type =
        (row.addressType.isEmpty() ? QStringLiteral("SMTP") : row.addressType).toUtf8();
    const QByteArray address = row.address.toUtf8();
    mail::MapiBuffer<ENTRYID> id(m_state.api());
    ULONG size = 0;
    if (FAILED(book->CreateOneOff(name.constData(), type.constData(), address.constData(), 0, &size,
                                  id.put())) ||
        !id)
        return {};
    return QByteArray(reinterpret_cast<const char*>(id.get()), static_cast<qsizetype>(size));
}

bool MessageManagement::readDraftRecipients(IMessage* draft)
{
    MapiPtr<IMAPITable> table;
    mail::TagArray columns{PR_ENTRYID,     PR_DISPLAY_NAME,   PR_EMAIL_ADDRESS,  PR_ADDRTYPE,
                           PR_OBJECT_TYPE, PR_RECIPIENT_TYPE, PR_SEND_RICH_INFO, PR_DISPLAY_TYPE,
                           PR_GIVEN_NAME,  PR_SURNAME};
    if (FAILED(draft->GetRecipientTable(0, table.put())) || !table ||
        FAILED(table->SetColumns(columns.get(), 0)) ||
        FAILED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) {
        ShowViewMessage(view(), kMsgOpenMessageFailed, TitleInformation);
        return false;
    }
    AdrList& pending = m_state.pending();
    pending.reset();
    for (;;) {
        mail::Rows rows(m_state.api());
        if (FAILED(table->QueryRows(1, 0, rows.put()))) {
            ShowViewMessage(view(), kMsgOpenMessageFailed, TitleInformation);
            return false;
        }
        if (rows.count() == 0)
            return true;
        RecipientRow row = RecipientRow::from(rows[0].lpProps, rows[0].cValues);
        row.displayType = row.displayType == 1U ? 1U : 0U;
        // Drafts other programs wrote name their recipients by address only.
        if (row.entryId.isEmpty())
            row.entryId = oneOffFor(row);
        if (row.entryId.isEmpty())
            continue;
        if (!pending.append(row)) {
            ShowViewMessage(view(), kMsgNoRecipientMemory, TitleInformation);
            return false;
        }
    }
}

MessageManagement::DraftCopy MessageManagement::startFromDraft(IMessage* draft)
{
    if (!m_state.OpenOutbox()) {
        ShowViewMessage(view(), kMsgNewMessageFailed, TitleInformation);
        return DraftCopy::Failed;
    }
    MapiPtr<IMessage> message;
    if (m_state.folder()->CreateMessage(nullptr, 0, message.put()) != S_OK || !message) {
        ShowViewMessage(view(), kMsgSaveFailed, TitleWarning);
        m_state.setFolder({});
        return DraftCopy::Failed;
    }
    mail::TagArray exclude(kNotCopied);
    mail::MapiBuffer<SPropProblemArray> problems(m_state.api());
    const HRESULT hr = draft->CopyTo(0, nullptr, exclude.get(), 0, nullptr, &IID_IMessage,
                                     message.get(), 0, problems.put());
    if (FAILED(hr)) {
        // Nothing of the draft to go on with: it stays where it is.
        ShowViewMessage(view(), kMsgCopyPropsFailed, TitleInformation);
        m_state.StopOutgoing(true);
        return DraftCopy::Failed;
    }
    bool complete = hr == S_OK && !(problems && problems->cProblem > 0);
    if (!complete)
        ShowViewMessage(view(), kMsgCopyPropsFailed, TitleInformation);
    takeDraftProps(message.get());
    // Kept in the Outbox before the draft goes, so that it is never only in memory.
    if (FAILED(message->SaveChanges(KEEP_OPEN_READWRITE))) {
        ShowViewMessage(view(), kMsgSaveFailed, TitleWarning);
        complete = false;
    }
    m_state.setMessage(std::move(message));
    return complete ? DraftCopy::Complete : DraftCopy::Partial;
}

void MessageManagement::takeDraftProps(IMessage* message)
{
    const mail::PropsRead props(
        m_state.api(), message,
        {PR_SUBJECT, PR_IMPORTANCE, PR_SENSITIVITY, PR_READ_RECEIPT_REQUESTED});
    if (!props.ok()) {
        ShowViewMessage(view(), kMsgOpenMessageFailed, TitleInformation);
        return;
    }
    const QString subject = props.text(PR_SUBJECT);
    m_state.host().setSubjectText(subject.isEmpty() ? QStringLiteral(" ") : subject);
    MessageOptions& options = m_state.options();
    options.importance = props.value(PR_IMPORTANCE) ? props.number(PR_IMPORTANCE) : 1;
    options.sensitivity = props.value(PR_SENSITIVITY) ? props.number(PR_SENSITIVITY) : 0;
    const SPropValue* receipt = props.value(PR_READ_RECEIPT_REQUESTED);
    options.readReceipt = receipt && receipt->Value.b;
}

} // namespace vantrel::compose
