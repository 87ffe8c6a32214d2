#include "compose/Recipients.h"

#include "compose/AddressBook.h"
#include "compose/CheckNamesDialog.h"
#include "compose/ComposeHost.h"
#include "compose/ContactEntry.h"
#include "compose/OutgoingState.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QWidget>

namespace vantrel::compose {

namespace {

constexpr int kMsgNotLoggedOn = 20000;
constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgNoCandidateMemory = 20003;
constexpr int kMsgNoResolve = 20016;
constexpr int kMsgModifyFailed = 20017;
constexpr int kMsgAddRecipient = 20018;
constexpr int kMsgNoEditControl = 20080;
constexpr int kMsgNoRecipientType = 20119;
constexpr int kMsgNewMessageFailed = 20028;
constexpr int kMsgInvalidName = 20175;
constexpr int kMsgNotAccepted = 20176;
constexpr int kMsgNoCurrentMessage = 25715;
constexpr int kMsgNoRecipientChosen = 25722;
constexpr int kMsgAmbiguousFailed = 25723;
constexpr int kMsgNoRecipientAdded = 25724;
constexpr int kMaxRecordSubject = 100;

// What a typed name offers the new-contact form: the name without its bracketed address,
// and the address when one was typed.
std::pair<QString, QString> nameAndAddress(const RecipientEntry& entry)
{
    const QString& text = entry.displayText;
    if (entry.address != text) {
        const qsizetype bracket = text.indexOf(entry.address);
        return {text.left(qMax<qsizetype>(0, bracket - 1)).trimmed(), entry.address};
    }
    return {text, text.contains(u'@') ? text : QString()};
}

} // namespace

Recipients::Recipients(OutgoingState& state, AddressBook& book, ContactEntry& contacts)
    : m_state(state)
    , m_book(book)
    , m_contacts(contacts)
{}

QWidget* Recipients::view() const
{
    return m_state.host().hostWidget();
}

QList<RecipientEntry> Recipients::ParseBoxes(bool warnEmptyTo)
{
    QList<RecipientEntry> entries;
    for (int type = MAPI_TO; type <= static_cast<int>(MAPI_BCC); ++type) {
        const QString text = m_state.host().recipientText(type);
        if (type == MAPI_TO && warnEmptyTo && text.trimmed().isEmpty() && m_state.pending())
            ShowViewMessage(view(), kMsgAddRecipient, TitleInformation);
        entries += ParseBoxText(text, type);
    }
    return entries;
}

void Recipients::matchEntries(QList<RecipientEntry>& entries) const
{
    const AdrList& pending = m_state.pending();
    for (RecipientEntry& entry : entries) {
        entry.matched = entry.resolved = entry.group = false;
        for (ULONG i = 0; i < pending.count(); ++i) {
            if (EntryText(pending[i], PR_DISPLAY_NAME) != entry.displayText)
                continue;
            entry.matched = true;
            const SPropValue* id = EntryValue(pending[i], PR_ENTRYID);
            entry.resolved = id && id->Value.bin.cb > 0;
            const SPropValue* type = EntryValue(pending[i], PR_OBJECT_TYPE);
            entry.group = type && static_cast<ULONG>(type->Value.l) == MAPI_DISTLIST;
            break;
        }
    }
}

bool Recipients::FillBoxesFromList()
{
    m_unresolved.clear();
    return fillBoxes({});
}

bool Recipients::fillBoxes(const QList<RecipientEntry>& unresolved)
{
    QString texts[3];
    const AdrList& pending = m_state.pending();
    for (ULONG i = 0; i < pending.count(); ++i) {
        const QString name = EntryText(pending[i], PR_DISPLAY_NAME);
        const SPropValue* type = EntryValue(pending[i], PR_RECIPIENT_TYPE);
        if (!type) {
            ShowViewMessage(view(), kMsgNoRecipientType, TitleWarning);
            return false;
        }
        const int index = static_cast<int>(type->Value.l) - 1;
        if (name.isEmpty() || index < 0 || index > 2)
            continue;
        texts[index] += name + u';';
    }
    // Names the user left unresolved stay where they were typed, to be checked again.
    for (const RecipientEntry& entry : unresolved)
        texts[entry.recipientType - 1] += entry.displayText + u';';
    for (int type = 1; type <= 3; ++type)
        m_state.host().setRecipientText(type, texts[type - 1]);
    return true;
}

void Recipients::RenderBoxes()
{
    QList<RecipientEntry> entries = ParseBoxes(false);
    matchEntries(entries);
    for (int type = MAPI_TO; type <= static_cast<int>(MAPI_BCC); ++type) {
        if (!m_state.host().setRecipientRtf(type, RenderBoxRtf(entries, type))) {
            ShowViewMessage(view(), kMsgNoEditControl, TitleInformation);
            return;
        }
    }
}

void Recipients::dropStalePending(const QList<RecipientEntry>& entries)
{
    AdrList& pending = m_state.pending();
    for (ULONG i = pending.count(); i-- > 0;) {
        const QString name = EntryText(pending[i], PR_DISPLAY_NAME);
        const bool inBoxes =
            std::any_of(entries.begin(), entries.end(),
                        [&](const RecipientEntry& e) { return e.displayText == name; });
        if (!inBoxes)
            pending.remove(i);
    }
    if (pending.count() == 0)
        pending.reset();
}

int Recipients::CheckNames(bool openDialogAfter, bool resolveWithDialog, bool allowRecheck)
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return CheckFailed;
    }
    // A message sent straight from the boxes ("send anyway") is checked without a compose
    // mode; what needs refusing is a check with no message at all.
    if (!m_state.message()) {
        ShowViewMessage(view(), kMsgNoCurrentMessage, TitleInformation);
        return CheckFailed;
    }
    QList<RecipientEntry> entries = ParseBoxes();
    if (m_state.pending())
        dropStalePending(entries);
    matchEntries(entries);

    const AdrList& pending = m_state.pending();
    const bool unknownNames = std::any_of(entries.begin(), entries.end(),
                                          [](const RecipientEntry& e) { return !e.matched; });
    if (unknownNames || pending.count() == 0 || pending.count() < entries.size()) {
        if (!m_book.Open())
            return CheckFailed;
        if (!resolveByChecking(entries)) {
            // The chosen names show at once, the others stay red in their boxes.
            fillBoxes(m_unresolved);
            RenderBoxes();
            return m_state.pending() && allowRecheck ? CheckNamesChanged : CheckFailed;
        }
    }
    if (m_state.pending()) {
        const ULONG flags = resolveWithDialog ? MAPI_DIALOG : 0;
        HRESULT hr = m_book.ResolveNames(resolveWithDialog, flags, m_state.pending().get());
        if (hr == MAPI_E_AMBIGUOUS_RECIP || hr == MAPI_E_NOT_FOUND) {
            resolveByChecking(entries);
            hr = m_book.ResolveNames(resolveWithDialog, flags, m_state.pending().get());
            fillBoxes(m_unresolved);
            if (openDialogAfter)
                OnRecipientsDialog();
        } else if (SUCCEEDED(hr)) {
            fillBoxes({});
        } else {
            if (resolveWithDialog)
                ShowViewMessage(view(), kMsgNoResolve, TitleInformation);
            return CheckFailed;
        }
    }
    RenderBoxes();
    return CheckResolved;
}

bool Recipients::resolveByChecking(QList<RecipientEntry>& entries)
{
    m_unresolved.clear();
    bool all = true;
    for (RecipientEntry& entry : entries) {
        if (entry.resolved)
            continue;
        if (resolveOne(entry)) {
            entry.resolved = true;
        } else {
            all = false;
            m_unresolved.append(entry);
        }
    }
    return all;
}

bool Recipients::resolveOne(RecipientEntry& entry)
{
    AdrList& candidates = m_state.candidates();
    candidates.reset();
    // A name typed with its address is looked up by the address, which the book matches
    // whatever name the contact is filed under.
    const QString key = entry.address != entry.displayText ? entry.address : entry.displayText;
    if (!m_book.findCandidates(key, candidates)) {
        candidates.reset();
        ShowViewMessage(view(), kMsgNoCandidateMemory, TitleInformation);
        return false;
    }
    bool resolved = false;
    if (candidates.count() == 0) {
        resolved = appendNewContact(entry);
    } else {
        CheckNamesDialog dialog(candidates, view());
        const int result = Prompter::current().runDialog(dialog);
        if (result == CheckNamesDialog::UseSelected) {
            resolved = appendCandidate(static_cast<ULONG>(dialog.selectedIndex()), entry);
        } else if (result == CheckNamesDialog::NewContact) {
            resolved = appendNewContact(entry);
            if (!resolved)
                ShowViewMessage(view(), kMsgNoRecipientAdded, TitleInformation);
        }
    }
    candidates.reset();
    return resolved;
}

bool Recipients::appendNewContact(const RecipientEntry& entry)
{
    const auto [name, address] = nameAndAddress(entry);
    NewContact contact;
    if (!m_contacts.AddContact(true, name, address, &contact) || contact.oneOffId.isEmpty())
        return false;
    RecipientRow row;
    row.entryId = contact.oneOffId;
    row.displayName = contact.displayName;
    row.address = contact.address;
    row.addressType = contact.addressType;
    row.objectType = MAPI_MAILUSER;
    row.sendRichInfo = m_state.host().outgoingFormat() == 1;
    row.displayType = 0;
    row.recipientType = static_cast<ULONG>(entry.recipientType);
    std::tie(row.givenName, row.surname) = SplitDisplayName(contact.displayName);
    if (!m_state.pending().append(row)) {
        ShowViewMessage(view(), kMsgOutOfMemory, TitleInformation);
        return false;
    }
    return true;
}

bool Recipients::appendCandidate(ULONG index, const RecipientEntry& entry)
{
    const AdrList& candidates = m_state.candidates();
    if (index >= candidates.count()) {
        ShowViewMessage(view(), kMsgNoRecipientChosen, TitleInformation);
        return false;
    }
    RecipientRow row = candidates.row(index);
    row.recipientType = static_cast<ULONG>(entry.recipientType);
    row.sendRichInfo = m_state.host().outgoingFormat() == 1;
    if (!m_state.pending().append(row)) {
        ShowViewMessage(view(), kMsgAmbiguousFailed, TitleInformation);
        return false;
    }
    return true;
}

bool Recipients::AttachPendingRecipients()
{
    AdrList& pending = m_state.pending();
    IMessage* message = m_state.message();
    if (pending.count() == 0 || !message)
        return false;
    const bool rich = m_state.host().outgoingFormat() == 1;
    for (ULONG i = 0; i < pending.count(); ++i) {
        ADRENTRY& entry = pending[i];
        for (ULONG v = 0; v < entry.cValues; ++v) {
            SPropValue& value = entry.rgPropVals[v];
            if (PROP_ID(value.ulPropTag) == PROP_ID(PR_SEND_RICH_INFO)) {
                value.ulPropTag = PR_SEND_RICH_INFO;
                value.Value.b = rich ? 1 : 0;
            }
        }
    }
    for (ULONG i = 0; i < pending.count(); ++i) {
        ADRLIST one{1, {pending[i]}};
        if (FAILED(message->ModifyRecipients(MODRECIP_ADD, &one))) {
            ShowViewMessage(view(), kMsgModifyFailed, TitleInformation);
            // None stay half attached: the pending list still holds them all.
            ADRLIST none{0, {}};
            message->ModifyRecipients(0, &none);
            return false;
        }
    }
    pending.reset();
    return true;
}

bool Recipients::ValidateRecipients(QStringList* malformed)
{
    IMessage* message = m_state.message();
    MapiPtr<IMAPITable> table;
    if (!message || FAILED(message->GetRecipientTable(0, table.put())) || !table)
        return false;
    mail::Rows rows(m_state.api());
    if (FAILED(mail::QueryAllRows(
            table.get(),
            {PR_ENTRYID, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE, PR_OBJECT_TYPE}, &rows)) ||
        rows.count() == 0) {
        return false;
    }
    bool valid = true;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const RecipientRow row = RecipientRow::from(rows[i].lpProps, rows[i].cValues);
        const bool group = row.objectType == MAPI_DISTLIST;
        if (row.entryId.isEmpty() || row.displayName.isEmpty() || !row.objectType ||
            (!group && row.address.isEmpty())) {
            valid = false;
            continue;
        }
        if (!group && row.addressType.compare(u"SMTP", Qt::CaseInsensitive) == 0 &&
            !IsValidAddress(row.address)) {
            valid = false;
            if (malformed)
                malformed->append(row.displayName + u" <"_qs + row.address + u'>');
        }
    }
    return valid;
}

bool Recipients::ReclaimRecipients()
{
    IMessage* message = m_state.message();
    MapiPtr<IMAPITable> table;
    if (!message || FAILED(message->GetRecipientTable(0, table.put())) || !table)
        return false;
    // Every column the pending list keeps, and the row id that removing a recipient needs.
    mail::Rows rows(m_state.api());
    if (FAILED(mail::QueryAllRows(table.get(),
                                  {PR_ROWID, PR_ENTRYID, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS,
                                   PR_ADDRTYPE, PR_RECIPIENT_TYPE, PR_OBJECT_TYPE,
                                   PR_SEND_RICH_INFO, PR_DISPLAY_TYPE, PR_GIVEN_NAME, PR_SURNAME},
                                  &rows)))
        return false;
    AdrList& pending = m_state.pending();
    pending.reset();
    for (ULONG i = 0; i < rows.count(); ++i) {
        const RecipientRow row = RecipientRow::from(rows[i].lpProps, rows[i].cValues);
        if (row.entryId.isEmpty() || !row.recipientType || row.displayName.isEmpty())
            continue;
        if (!pending.append(row)) {
            ShowViewMessage(view(), kMsgOutOfMemory, TitleInformation);
            return false;
        }
    }
    if (pending)
        m_book.ResolveNames(false, 0, pending.get());
    // The rows read are the message's recipients: removing them empties its table.
    return rows.count() == 0 || SUCCEEDED(message->ModifyRecipients(
                                    MODRECIP_REMOVE, reinterpret_cast<LPADRLIST>(rows.get())));
}

bool Recipients::showAddressDialog(bool withWells)
{
    IAddrBook* book = m_book.get();
    if (!book)
        return false;
    m_book.buildRestriction();
    QByteArray caption = withWells ? "Please add your Mail recipients" : "Address Book";
    QByteArray newEntry = "New Entry";
    QByteArray wellsTitle = "Destination fields";
    QByteArray titles[3] = {"To", "Cc", "Bcc"};
    char* titlePointers[3] = {titles[0].data(), titles[1].data(), titles[2].data()};
    ULONG types[3] = {MAPI_TO, MAPI_CC, MAPI_BCC};
    ADRPARM params{};
    params.ulFlags = DIALOG_MODAL | AB_SELECTONLY;
    params.lpszCaption = caption.data();
    params.lpszNewEntryTitle = newEntry.data();
    if (withWells) {
        params.lpszDestWellsTitle = wellsTitle.data();
        params.cDestFields = 3;
        params.lppszDestTitles = titlePointers;
        params.lpulDestComps = types;
    }
    params.lpHierRestriction = m_book.restriction();
    ULONG_PTR window = m_book.windowParam();
    // The add-in's store draws into the view while its dialogs are up.
    QWidget* owner = view();
    const bool freeze = m_state.mail().session().hasAddinStore() && owner;
    if (freeze)
        owner->setUpdatesEnabled(false);
    const HRESULT hr =
        book->Address(&window, &params, withWells ? m_state.pending().inPlace() : nullptr);
    if (freeze) {
        owner->setUpdatesEnabled(true);
        owner->update();
    }
    return hr == S_OK;
}

void Recipients::OnRecipientsDialog()
{
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view(), kMsgNotLoggedOn, TitleInformation);
        return;
    }
    if (!m_state.message())
        return;
    if (m_state.pending())
        CheckNames(false, false, false);
    if (!m_book.Open() || !showAddressDialog(true) || !m_state.pending())
        return;
    mail::TagArray columns{PR_ENTRYID,     PR_DISPLAY_NAME,   PR_EMAIL_ADDRESS, PR_ADDRTYPE,
                           PR_OBJECT_TYPE, PR_SEND_RICH_INFO, PR_DISPLAY_TYPE,  PR_RECIPIENT_TYPE,
                           PR_GIVEN_NAME,  PR_SURNAME};
    if (FAILED(m_book.get()->PrepareRecips(0, columns.get(), m_state.pending().get()))) {
        Prompter::current().plainMessage(QStringLiteral("To PrepareRecips failed"));
        return;
    }
    FillBoxesFromList();
    RenderBoxes();
}

void Recipients::OnOpenAddressBook()
{
    if (m_book.Open())
        showAddressDialog(false);
}

bool Recipients::ComposeFromRecord(const QString& name, const QString& address,
                                   const QString& subjectSource)
{
    if (!m_book.Open())
        return false;
    if (!IsValidAddress(address.trimmed())) {
        ShowViewMessage(view(), kMsgInvalidName, TitleInformation);
        return false;
    }
    ComposeHost& host = m_state.host();
    host.setSubjectText(subjectSource.section(u'\n', 0, 0).left(kMaxRecordSubject));
    const QString shown = name.trimmed().isEmpty()
                              ? address.trimmed()
                              : name.trimmed() + u" <"_qs + address.trimmed() + u'>';
    host.setRecipientText(MAPI_TO, shown);
    m_state.pending().reset();
    QList<RecipientEntry> entries = ParseBoxes(false);
    resolveByChecking(entries);
    if (!m_state.pending()) {
        ShowViewMessage(view(), kMsgNotAccepted, TitleInformation);
        host.setSubjectText({});
        for (int type = 1; type <= 3; ++type)
            host.setRecipientText(type, {});
        return false;
    }
    // The box shows the name chosen, so that the dialog's name check keeps it.
    FillBoxesFromList();
    if (!m_state.OpenOutbox() || !m_state.CreateOutgoingMessage()) {
        ShowViewMessage(view(), kMsgNewMessageFailed, TitleInformation);
        return false;
    }
    // Composing before the dialog: its name check needs a message being composed.
    m_state.setMode(OutgoingMode::Composing);
    OnRecipientsDialog();
    FillBoxesFromList();
    RenderBoxes();
    host.showSendEmail(ComposeHost::kSubjectBox);
    return true;
}

} // namespace vantrel::compose
