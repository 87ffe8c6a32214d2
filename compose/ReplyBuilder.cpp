#include "compose/ReplyBuilder.h"

#include "codepage/Windows1252.h"
#include "compose/AddressBook.h"
#include "compose/ComposeHost.h"
#include "compose/OutgoingState.h"
#include "compose/PropBatch.h"
#include "compose/QuoteText.h"
#include "compose/Recipients.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "mail/HeaderBlock.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QDateTime>
#include <QList>
#include <QStringDecoder>
#include <QtEndian>
#include <optional>

namespace vantrel::compose {

namespace {

constexpr int kMsgNotLoggedOn = 20000;
constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgAlreadyReplying = 20005;
constexpr int kMsgAlreadyComposing = 20006;
constexpr int kMsgStopBeforeReply = 20007;
constexpr int kMsgNoOutputFolder = 20008;
constexpr int kMsgCannotCreate = 20009;
constexpr int kMsgSelectToReply = 20010;
constexpr int kMsgNotFound = 20011;
constexpr int kMsgCannotReply = 20013;
constexpr int kMsgNoRecipients = 20015;
constexpr int kMsgNoResolve = 20016;
constexpr int kMsgCannotSetProps = 20027;
constexpr int kMsgForwarding = 20036;
constexpr int kMsgSelectToForward = 20082;
constexpr int kMsgStopBeforeForward = 20133;
constexpr int kMsgCopyProblems = 20134;
constexpr int kMsgBadSenderId = 25717;

constexpr qsizetype kOneOffHeader = 24;
constexpr qsizetype kMaxNameLength = 510;
constexpr qsizetype kMinAddressLength = 6;

// One entry of a reply-to list.
struct ReplyPair
{
    QString name;
    QString address;
    QString type;
};

// One zero-terminated string of a one-off entry at `*pos`, which moves past it.
bool readOneOffString(const QByteArray& entry, bool unicode, qsizetype* pos, QString* text)
{
    if (unicode) {
        for (qsizetype end = *pos; end + 1 < entry.size(); end += 2) {
            if (entry[end] == '\0' && entry[end + 1] == '\0') {
                QStringDecoder utf16(QStringConverter::Utf16LE);
                *text = utf16(entry.sliced(*pos, end - *pos));
                *pos = end + 2;
                return true;
            }
        }
        return false;
    }
    const qsizetype end = entry.indexOf('\0', *pos);
    if (end < 0)
        return false;
    *text = vnt::codepage::decodeUtf8OrWindows1252(entry.sliced(*pos, end - *pos));
    *pos = end + 1;
    return true;
}

// The usable entries of a flat entry list of one-offs; false when the list or one of its
// entries cannot be read. Every size is checked against the bytes there are.
bool readReplyTo(const QByteArray& flat, QList<ReplyPair>* pairs)
{
    if (flat.size() < 8)
        return false;
    const quint32 count = qFromLittleEndian<quint32>(flat.constData());
    qsizetype pos = 8;
    for (quint32 i = 0; i < count; ++i) {
        if (pos + 4 > flat.size())
            return false;
        const qsizetype size = qFromLittleEndian<quint32>(flat.constData() + pos);
        if (size > flat.size() - pos - 4)
            return false;
        ReplyPair pair;
        if (!DecodeOneOff(flat.sliced(pos + 4, size), &pair.name, &pair.address, &pair.type))
            return false;
        // A short name ("Bo") is still a person to answer; only the address must be usable.
        if (pair.name.isEmpty())
            pair.name = pair.address;
        if (pair.name.size() <= kMaxNameLength && pair.address.size() >= kMinAddressLength &&
            pair.address.size() <= kMaxNameLength) {
            pairs->append(pair);
        }
        pos += (4 + size + 3) & ~qsizetype(3);
    }
    return true;
}

std::optional<QString> textValue(const mail::PropsRead& props, ULONG tag)
{
    if (!props.value(tag))
        return std::nullopt;
    return props.text(tag);
}

std::optional<QDateTime> localTime(const mail::PropsRead& props, ULONG tag)
{
    const SPropValue* value = props.value(tag);
    if (!value)
        return std::nullopt;
    return mail::DateTimeOfFileTime(value->Value.ft).toLocalTime();
}

OriginalMessageHeader headerValues(const mail::PropsRead& props)
{
    OriginalMessageHeader header;
    header.senderName = textValue(props, PR_SENDER_NAME);
    header.representingName = textValue(props, PR_SENT_REPRESENTING_NAME);
    header.senderAddress = textValue(props, PR_SENDER_EMAIL_ADDRESS);
    header.submitTime = localTime(props, PR_CLIENT_SUBMIT_TIME);
    header.displayTo = textValue(props, PR_DISPLAY_TO);
    header.displayCc = textValue(props, PR_DISPLAY_CC);
    header.normalizedSubject = textValue(props, PR_NORMALIZED_SUBJECT);
    header.subject = textValue(props, PR_SUBJECT);
    header.conversationTopic = textValue(props, PR_CONVERSATION_TOPIC);
    return header;
}

// The References of a message answering `props`: the parent's references (or, lacking
// them, its one In-Reply-To identifier) followed by its Message-ID.
QString referencesOf(const mail::PropsRead& props)
{
    const QString id = props.text(PR_INTERNET_MESSAGE_ID).trimmed();
    QString parents = props.text(PR_INTERNET_REFERENCES).simplified();
    if (parents.isEmpty()) {
        const QString inReplyTo = props.text(PR_IN_REPLY_TO_ID).simplified();
        if (!inReplyTo.contains(u' '))
            parents = inReplyTo;
    }
    if (id.isEmpty() || parents.endsWith(id))
        return parents;
    return parents.isEmpty() ? id : parents + u' ' + id;
}

QString withoutReplyPrefix(const QString& subject)
{
    return subject.startsWith(u"RE: ", Qt::CaseInsensitive) ? subject.mid(4) : subject;
}

} // namespace

bool DecodeOneOff(const QByteArray& entry, QString* name, QString* address, QString* addressType)
{
    static const QByteArray uid = QByteArray::fromHex("812B1FA4BEA310199D6E00DD010F5402");
    if (entry.size() < kOneOffHeader || entry.sliced(4, 16) != uid)
        return false;
    const auto flags =
        static_cast<ULONG>(static_cast<quint8>(entry[22]) | (static_cast<quint8>(entry[23]) << 8));
    const bool unicode = flags & MAPI_ONE_OFF_UNICODE;
    qsizetype pos = kOneOffHeader;
    QString texts[3];
    for (QString& text : texts) {
        if (!readOneOffString(entry, unicode, &pos, &text))
            return false;
    }
    *name = texts[0];
    *address = texts[2];
    if (addressType)
        *addressType = texts[1];
    return true;
}

// The answered message, opened, with the properties read off it.
struct ReplyBuilder::Answered
{
    MapiPtr<IMessage> message;
    std::optional<mail::PropsRead> props;
};

ReplyBuilder::ReplyBuilder(OutgoingState& state, AddressBook& book, Recipients& recipients)
    : m_state(state)
    , m_book(book)
    , m_recipients(recipients)
{}

QWidget* ReplyBuilder::view() const
{
    return m_state.host().hostWidget();
}

void ReplyBuilder::bindCommands(CommandRouter& router)
{
    const auto allowedIn = [this](OutgoingMode own) {
        return [this, own] {
            const OutgoingMode mode = m_state.mode();
            return CommandState{m_state.isLoggedOn() && (mode == OutgoingMode::None || mode == own),
                                false};
        };
    };
    router.bind(
        kCmdReply, [this] { OnReply(ReplyToSender); }, allowedIn(OutgoingMode::Replying));
    router.bind(
        kCmdReplyAll, [this] { OnReply(ReplyToAll); }, allowedIn(OutgoingMode::ReplyingAll));
    router.bind(
        kCmdForward, [this] { BuildForward(); }, allowedIn(OutgoingMode::Forwarding));
}

bool ReplyBuilder::inContactsFolder() const
{
    const mail::FolderRecord* folder = m_state.mail().currentFolder();
    return folder && folder->folderClass == mail::FolderClass::Contacts;
}

void ReplyBuilder::OnReply(int kind)
{
    if (inContactsFolder())
        return;
    const int result = BuildReply(kind);
    if (result == ReplyRefused)
        return;
    if (result == ReplyFailed) {
        ShowViewMessage(view(), kMsgCannotReply, TitleInformation);
        // Only what this reply wrote is cleared: text the user had in the box stays.
        m_state.StopOutgoing(m_bodyWritten);
        return;
    }
    if (m_state.pending() && m_book.Open()) {
        mail::TagArray columns{
            PR_ENTRYID,        PR_DISPLAY_NAME, PR_EMAIL_ADDRESS,  PR_ADDRTYPE,   PR_OBJECT_TYPE,
            PR_SEND_RICH_INFO, PR_DISPLAY_TYPE, PR_RECIPIENT_TYPE, PR_GIVEN_NAME, PR_SURNAME};
        if (FAILED(m_book.get()->PrepareRecips(0, columns.get(), m_state.pending().get())))
            Prompter::current().plainMessage(QStringLiteral("To PrepareRecips failed"));
    }
    m_state.setMode(kind == ReplyToAll ? OutgoingMode::ReplyingAll : OutgoingMode::Replying);
    m_recipients.FillBoxesFromList();
    m_recipients.RenderBoxes();
    m_state.host().showSendEmail(ComposeHost::kOutgoingBox);
}

int ReplyBuilder::BuildReply(int kind)
{
    m_bodyWritten = false;
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return ReplyRefused;
    }
    static constexpr int refusals[] = {0, kMsgAlreadyComposing, kMsgAlreadyReplying,
                                       kMsgAlreadyReplying, kMsgStopBeforeReply};
    if (m_state.mode() != OutgoingMode::None) {
        ShowViewMessage(view(), refusals[static_cast<int>(m_state.mode())], TitleInformation);
        return ReplyRefused;
    }
    // Nothing has been started yet: a missing selection must not stop a message left over
    // from before, nor clear the outgoing box.
    if (m_state.mail().messages().focusedSelectedRow() < 0) {
        ShowViewMessage(view(), kMsgSelectToReply, TitleInformation);
        return ReplyRefused;
    }
    if (!prepareOutgoing(false))
        return ReplyFailed;
    Answered answered;
    answered.message = openSelected();
    if (!answered.message)
        return ReplyFailed;
    if (m_state.mail().doc().intSetting(AddAttachmentToForward) == 1)
        copyFromSource(answered.message.get(), true, false);
    if (!readAnswered(answered))
        return ReplyFailed;
    const mail::PropsRead& props = *answered.props;
    if (m_state.pending()) {
        m_state.pending().reset();
        for (int type = MAPI_TO; type <= static_cast<int>(MAPI_BCC); ++type)
            m_state.host().setRecipientText(type, {});
    }
    QString names;
    if (kind != ReplyToAll && !BuildReplyRecipients(props, &names))
        return ReplyFailed;
    if (!fillAnswer(props, false) || !setAnswerProps(props, false))
        return ReplyFailed;
    return kind == ReplyToAll ? addCopyRecipients(answered.message.get(), props) : ReplyBuilt;
}

void ReplyBuilder::BuildForward()
{
    m_bodyWritten = false;
    if (inContactsFolder())
        return;
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return;
    }
    if (m_state.mode() != OutgoingMode::None) {
        const bool forwarding = m_state.mode() == OutgoingMode::Forwarding;
        ShowViewMessage(view(), forwarding ? kMsgForwarding : kMsgStopBeforeForward,
                        TitleInformation);
        return;
    }
    if (m_state.mail().messages().focusedSelectedRow() < 0) {
        ShowViewMessage(view(), kMsgSelectToForward, TitleInformation);
        return;
    }
    if (!prepareOutgoing(true))
        return;
    Answered answered;
    answered.message = openSelected();
    if (!answered.message)
        return failForward();
    copyFromSource(answered.message.get(),
                   m_state.mail().doc().intSetting(AddAttachmentToForward) == 1, true);
    if (!readAnswered(answered) || !fillAnswer(*answered.props, true) ||
        !setAnswerProps(*answered.props, true)) {
        return failForward();
    }
    m_state.setMode(OutgoingMode::Forwarding);
    m_recipients.OnRecipientsDialog();
    m_state.host().showSendEmail(ComposeHost::kToBox);
}

// A forward that failed half-way leaves no half-built message behind for the next reply to
// pick up (with this message's attachments and author).
void ReplyBuilder::failForward()
{
    m_state.ClearOutgoing(false, m_bodyWritten);
}

bool ReplyBuilder::prepareOutgoing(bool fresh)
{
    if (!m_state.folder() && !m_state.OpenOutbox()) {
        ShowViewMessage(view(), kMsgNoOutputFolder, TitleInformation);
        return false;
    }
    if (fresh)
        m_state.setMessage({});
    // A folder kept without its message gets a new one: there must be something to fill.
    if (!m_state.message() && !m_state.CreateOutgoingMessage()) {
        ShowViewMessage(view(), kMsgCannotCreate, TitleInformation);
        m_state.setFolder({});
        return false;
    }
    return true;
}

MapiPtr<IMessage> ReplyBuilder::openSelected()
{
    mail::MailController& mail = m_state.mail();
    const mail::FolderRecord* folder = mail.currentFolder();
    const int row = mail.messages().focusedSelectedRow();
    IMsgStore* store = folder ? mail.session().store(folder->storeSlot) : nullptr;
    const QByteArray id = row >= 0 ? mail.messages().entryIdAt(row) : QByteArray();
    if (!store || id.isEmpty())
        return {};
    MapiPtr<IMessage> message;
    ULONG type = 0;
    const HRESULT hr = store->OpenEntry(mail::EntryIdSize(id), mail::EntryIdData(id), nullptr,
                                        MAPI_BEST_ACCESS, &type, message.putUnknown());
    if (hr == MAPI_E_NOT_FOUND) {
        ShowViewMessage(view(), kMsgNotFound, TitleInformation);
        return {};
    }
    if (FAILED(hr) || type != MAPI_MESSAGE)
        return {};
    return message;
}

void ReplyBuilder::copyFromSource(IMessage* source, bool withAttachments, bool withAuthor)
{
    QList<ULONG> tags;
    if (withAttachments)
        tags << PR_MESSAGE_ATTACHMENTS;
    if (withAuthor)
        tags << PR_ORIGINAL_AUTHOR_ENTRYID << PR_ORIGINAL_AUTHOR_NAME;
    if (tags.isEmpty())
        return;
    mail::TagArray include(tags);
    mail::MapiBuffer<SPropProblemArray> problems(m_state.api());
    const HRESULT hr = source->CopyProps(include.get(), 0, nullptr, &IID_IMessage,
                                         m_state.message(), 0, problems.put());
    // A property the answered message does not carry is nothing to copy, not a problem; a
    // copy that failed outright is one (the attachments would silently be missing).
    bool failed = FAILED(hr);
    for (ULONG i = 0; problems && i < problems->cProblem; ++i)
        failed = failed || problems->aProblem[i].scode != MAPI_E_NOT_FOUND;
    if (failed)
        ShowViewMessage(view(), kMsgCopyProblems, TitleInformation);
}

bool ReplyBuilder::readAnswered(Answered& answered)
{
    // The texts describe this message alone: what an earlier, failed build left is dropped.
    auto& texts = m_state.answeredTexts();
    for (int i : {AnsweredHeader, AnsweredSenderName, AnsweredSenderAddress, AnsweredSubject})
        texts[static_cast<size_t>(i)].clear();
    texts[AnsweredHeader] = kOriginalMessageLine;
    answered.props.emplace(m_state.api(), answered.message.get(),
                           std::initializer_list<ULONG>{PR_RECIPIENT_TYPE,
                                                        PR_SENDER_NAME,
                                                        PR_SENDER_ADDRTYPE,
                                                        PR_SENDER_ENTRYID,
                                                        PR_SENDER_EMAIL_ADDRESS,
                                                        PR_SENDER_SEARCH_KEY,
                                                        PR_MESSAGE_CLASS,
                                                        PR_SUBJECT,
                                                        PR_BODY,
                                                        PR_CONVERSATION_TOPIC,
                                                        PR_CONVERSATION_INDEX,
                                                        PR_NORMALIZED_SUBJECT,
                                                        PR_DISPLAY_TO,
                                                        PR_DISPLAY_CC,
                                                        PR_CLIENT_SUBMIT_TIME,
                                                        PR_SENT_REPRESENTING_NAME,
                                                        PR_SENT_REPRESENTING_EMAIL_ADDRESS,
                                                        PR_SENT_REPRESENTING_ADDRTYPE,
                                                        PR_SENT_REPRESENTING_SEARCH_KEY,
                                                        PR_SENT_REPRESENTING_ENTRYID,
                                                        PR_REPLY_RECIPIENT_NAMES,
                                                        PR_REPLY_RECIPIENT_ENTRIES,
                                                        PR_INTERNET_MESSAGE_ID,
                                                        PR_IN_REPLY_TO_ID,
                                                        PR_INTERNET_REFERENCES});
    return answered.props->ok();
}

bool ReplyBuilder::fillAnswer(const mail::PropsRead& props, bool forward)
{
    const std::optional<HeaderBlock> block = buildHeaderBlock(
        headerValues(props), forward ? HeaderBlockMode::Forward : HeaderBlockMode::Reply);
    if (!block)
        return false;
    auto& texts = m_state.answeredTexts();
    texts[AnsweredHeader] += block->text;
    texts[AnsweredSenderName] += block->senderName;
    texts[AnsweredSenderAddress] += block->senderAddress;
    texts[AnsweredSubject] += block->subject;
    const int option = m_state.mail().doc().intSetting(ReplyDisplayOptions);
    m_bodyWritten = FillAnswerBody(m_state.host(), option, texts[AnsweredHeader]);
    return true;
}

bool ReplyBuilder::setAnswerProps(const mail::PropsRead& props, bool forward)
{
    const auto& texts = m_state.answeredTexts();
    const QString subject = texts[AnsweredSubject].trimmed();
    const QString fullSubject =
        (forward ? QStringLiteral("FW: ") : QStringLiteral("RE: ")) + subject;
    m_state.host().setSubjectText(fullSubject);

    const QByteArray parent = props.id(PR_CONVERSATION_INDEX);
    mail::MapiBuffer<BYTE> created(m_state.api());
    ULONG size = 0;
    const SCODE sc = m_state.api().ScCreateConversationIndex(
        static_cast<ULONG>(parent.size()),
        parent.isEmpty() ? nullptr
                         : reinterpret_cast<LPBYTE>(const_cast<char*>(parent.constData())),
        &size, created.put());
    HRESULT hr = sc == MAPI_E_NOT_ENOUGH_MEMORY ? sc : S_OK;
    const QByteArray index =
        sc == S_OK && created
            ? QByteArray(reinterpret_cast<const char*>(created.get()), static_cast<qsizetype>(size))
            : QByteArray();

    PropBatch values;
    values.text(PR_SUBJECT, fullSubject);
    values.text(PR_MESSAGE_CLASS, QStringLiteral("IPM.Note"));
    values.binaryOrNull(PR_CONVERSATION_INDEX, index);
    values.textOrNull(PR_CONVERSATION_TOPIC,
                      index.isEmpty() ? QString() : withoutReplyPrefix(subject));
    // Threading for other mail programs: a reply names the message it answers; a forward only
    // joins its thread, as a forward is not an answer to it.
    if (!forward) {
        values.textOrNull(PR_SENDER_NAME, texts[AnsweredSenderName]);
        values.textOrNull(PR_IN_REPLY_TO_ID, props.text(PR_INTERNET_MESSAGE_ID).trimmed());
    }
    values.textOrNull(PR_INTERNET_REFERENCES, referencesOf(props));
    if (SUCCEEDED(hr))
        hr = values.applyTo(m_state.message());
    if (hr == MAPI_E_NOT_ENOUGH_MEMORY)
        ShowViewMessage(view(), kMsgOutOfMemory, TitleInformation);
    else if (FAILED(hr))
        ShowViewMessage(view(), kMsgCannotSetProps, TitleInformation);
    return SUCCEEDED(hr);
}

int ReplyBuilder::addCopyRecipients(IMessage* source, const mail::PropsRead& props)
{
    if (!m_book.Open())
        return ReplyFailed;
    MapiPtr<IMAPITable> table;
    mail::Rows rows(m_state.api());
    if (FAILED(source->GetRecipientTable(MAPI_DEFERRED_ERRORS, table.put())) ||
        FAILED(mail::QueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, &rows))) {
        return ReplyFailed;
    }
    if (rows.count() == 0) {
        ShowViewMessage(view(), kMsgNoRecipients, TitleInformation);
        return ReplyFailed;
    }
    QString names;
    if (!BuildReplyRecipients(props, &names))
        return ReplyFailed;
    // The Cc recipients in table order; the To recipients of the answered message are not
    // answered (they were the ones written to), nor the Bcc ones.
    bool added = false;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows[i];
        if (mail::NumberOf(row, PR_RECIPIENT_TYPE) != MAPI_CC)
            continue;
        RecipientRow recipient = RecipientRow::from(row.lpProps, row.cValues);
        recipient.recipientType = MAPI_CC;
        // Reached at the address the message shows: resolving the name instead could pick
        // someone else of that name from the address book.
        if (recipient.entryId.isEmpty() && !recipient.address.isEmpty()) {
            if (recipient.addressType.isEmpty())
                recipient.addressType = QStringLiteral("SMTP");
            recipient.entryId = createOneOff(
                recipient.displayName.isEmpty() ? recipient.address : recipient.displayName,
                recipient.addressType, recipient.address);
        }
        if (!recipient.objectType)
            recipient.objectType = MAPI_MAILUSER;
        if (!appendRecipient(std::move(recipient), &names))
            return ReplyFailed;
        added = true;
    }
    if (added) {
        const HRESULT hr = m_book.ResolveNames(false, MAPI_DIALOG, m_state.pending().get());
        if (FAILED(hr) && hr != MAPI_E_NOT_FOUND && hr != MAPI_E_AMBIGUOUS_RECIP)
            ShowViewMessage(view(), kMsgNoResolve, TitleInformation);
    }
    return ReplyBuilt;
}

bool ReplyBuilder::BuildReplyRecipients(const mail::PropsRead& source, QString* names)
{
    bool answered = false;
    if (!appendReplyTo(source, names, &answered))
        return false;
    if (answered)
        return true;
    const bool hasSender = source.value(PR_SENDER_NAME) != nullptr;
    const bool hasRepresenting = source.value(PR_SENT_REPRESENTING_NAME) != nullptr;
    if (!hasSender && !hasRepresenting)
        return false;
    const bool sender =
        hasSender &&
        (!hasRepresenting || source.text(PR_SENDER_NAME) == source.text(PR_SENT_REPRESENTING_NAME));
    RecipientRow row;
    row.displayName = source.text(sender ? PR_SENDER_NAME : PR_SENT_REPRESENTING_NAME);
    row.addressType = source.text(sender ? PR_SENDER_ADDRTYPE : PR_SENT_REPRESENTING_ADDRTYPE);
    row.address =
        source.text(sender ? PR_SENDER_EMAIL_ADDRESS : PR_SENT_REPRESENTING_EMAIL_ADDRESS);
    // The entry identifier is what the message goes to: the represented person's own, not the
    // sender's, when it is the represented person who is answered.
    row.entryId = source.id(sender ? PR_SENDER_ENTRYID : PR_SENT_REPRESENTING_ENTRYID);
    if (row.entryId.isEmpty())
        row.entryId = createOneOff(row.displayName, row.addressType, row.address);
    row.recipientType = MAPI_TO;
    row.objectType = MAPI_MAILUSER;
    return appendRecipient(std::move(row), names);
}

bool ReplyBuilder::appendReplyTo(const mail::PropsRead& source, QString* names, bool* answered)
{
    *answered = false;
    const SPropValue* entries = source.value(PR_REPLY_RECIPIENT_ENTRIES);
    if (!entries || !source.value(PR_REPLY_RECIPIENT_NAMES))
        return true;
    QList<ReplyPair> pairs;
    if (!readReplyTo(mail::BinaryOf(entries), &pairs)) {
        ShowViewMessage(view(), kMsgBadSenderId, TitleInformation);
        return true;
    }
    const QString senderType = source.text(PR_SENDER_ADDRTYPE);
    for (const ReplyPair& pair : std::as_const(pairs)) {
        // Each entry's own address type: the sender's may be of another kind altogether.
        const QString type = !pair.type.isEmpty()    ? pair.type
                             : !senderType.isEmpty() ? senderType
                                                     : QStringLiteral("SMTP");
        RecipientRow row;
        row.displayName = pair.name;
        row.address = pair.address;
        row.addressType = type;
        row.entryId = createOneOff(pair.name, type, pair.address);
        row.recipientType = MAPI_TO;
        row.objectType = MAPI_MAILUSER;
        if (!appendRecipient(std::move(row), names))
            return false;
    }
    *answered = !pairs.isEmpty();
    return true;
}

bool ReplyBuilder::appendRecipient(RecipientRow row, QString* names)
{
    if (row.displayName.isEmpty())
        row.displayName = row.address;
    if (!row.displayType)
        row.displayType = DT_MAILUSER;
    row.sendRichInfo = m_state.host().outgoingFormat() == 1;
    if (!m_state.pending().append(row)) {
        m_state.pending().reset();
        return false;
    }
    *names += row.displayName + u';';
    return true;
}

QByteArray ReplyBuilder::createOneOff(const QString& name, const QString& type,
                                      const QString& address)
{
    if (name.isEmpty() || type.isEmpty() || address.isEmpty() || !m_book.Open())
        return {};
    mail::MapiBuffer<ENTRYID> id(m_state.api());
    ULONG size = 0;
    const ULONG flags = m_state.host().outgoingFormat() == 0 ? MAPI_SEND_NO_RICH_INFO : 0;
    if (FAILED(m_book.get()->CreateOneOff(name.toUtf8().constData(), type.toUtf8().constData(),
                                          address.toUtf8().constData(), flags, &size, id.put())) ||
        !id) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(id.get()), static_cast<qsizetype>(size));
}

} // namespace vantrel::compose
