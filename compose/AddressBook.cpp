#include "compose/AddressBook.h"

#include "compose/ComposeHost.h"
#include "compose/OutgoingState.h"
#include "core/MessageHelpers.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QWidget>

namespace vantrel::compose {

using mail::EntryIdData;
using mail::EntryIdSize;

namespace {
constexpr int kMsgNoAddressBook = 20014;
constexpr int kMsgRestrictFailed = 25718;
constexpr int kMaxContainerName = 511;
} // namespace

AddressBook::AddressBook(OutgoingState& state)
    : m_state(state)
{}

ULONG_PTR AddressBook::windowParam() const
{
    return reinterpret_cast<ULONG_PTR>(m_state.host().hostWidget());
}

bool AddressBook::Open()
{
    if (m_book)
        return true;
    IMAPISession* session = m_state.mail().session().session();
    if (!session)
        return false;
    MapiPtr<IAddrBook> book;
    const HRESULT hr = session->OpenAddressBook(windowParam(), nullptr, 0, book.put());
    if ((hr != S_OK && hr != MAPI_W_ERRORS_RETURNED) || !book) {
        ShowViewMessage(m_state.host().hostWidget(), kMsgNoAddressBook, TitleInformation);
        return false;
    }
    m_book = std::move(book);
    if (!buildRestriction())
        ShowViewMessage(m_state.host().hostWidget(), kMsgRestrictFailed, TitleWarning);
    return true;
}

void AddressBook::close()
{
    m_containerIds.clear();
    m_book.reset();
}

bool AddressBook::buildRestriction()
{
    m_containerIds.clear();
    if (!m_book)
        return false;
    ULONG type = 0;
    MapiPtr<IABContainer> root;
    if (FAILED(m_book->OpenEntry(0, nullptr, nullptr, 0, &type, root.putUnknown())) || !root)
        return false;
    MapiPtr<IMAPITable> hierarchy;
    if (FAILED(root->GetHierarchyTable(CONVENIENT_DEPTH, hierarchy.put())) || !hierarchy)
        return false;
    mail::Rows rows(m_state.api());
    if (FAILED(mail::QueryAllRows(hierarchy.get(),
                                  {PR_DISPLAY_NAME, PR_ENTRYID, PR_CONTAINER_FLAGS}, &rows)))
        return false;
    for (ULONG i = 0; i < rows.count(); ++i) {
        if (keepContainer(rows[i], i == 0))
            m_containerIds.append(mail::BinaryOf(rows[i], PR_ENTRYID));
    }
    m_values.assign(static_cast<size_t>(m_containerIds.size()), SPropValue{});
    m_terms.assign(static_cast<size_t>(m_containerIds.size()), SRestriction{});
    for (qsizetype i = 0; i < m_containerIds.size(); ++i) {
        SPropValue& value = m_values[static_cast<size_t>(i)];
        value.ulPropTag = PR_ENTRYID;
        value.Value.bin = {EntryIdSize(m_containerIds[i]),
                           reinterpret_cast<LPBYTE>(m_containerIds[i].data())};
        SRestriction& term = m_terms[static_cast<size_t>(i)];
        term.rt = RES_PROPERTY;
        term.res.resProperty = {RELOP_EQ, PR_ENTRYID, &value};
    }
    m_or.rt = RES_OR;
    m_or.res.resOr = {static_cast<ULONG>(m_terms.size()), m_terms.data()};
    return true;
}

bool AddressBook::keepContainer(const SRow& row, bool firstRow)
{
    const QByteArray id = mail::BinaryOf(row, PR_ENTRYID);
    const ULONG flags = mail::NumberOf(row, PR_CONTAINER_FLAGS);
    QString name;
    mail::TextOf(row, PR_DISPLAY_NAME, &name);
    if (id.isEmpty() || (flags & AB_RECIPIENTS) == 0 || (flags & AB_MODIFIABLE) == 0 ||
        name.isEmpty() || name.size() > kMaxContainerName) {
        return false;
    }
    ULONG type = 0;
    MapiPtr<IABContainer> container;
    if (FAILED(m_book->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr, 0, &type,
                                 container.putUnknown())) ||
        !container) {
        return false;
    }
    const QByteArray storeId =
        mail::PropsRead(m_state.api(), container.get(), {PR_STORE_ENTRYID}).id(PR_STORE_ENTRYID);
    return firstRow || inOpenedStore(storeId);
}

bool AddressBook::inOpenedStore(const QByteArray& storeId) const
{
    const mail::MailSession& session = m_state.mail().session();
    if (storeId.isEmpty() || !session.session())
        return false;
    for (int slot = 0; slot < session.storeCount(); ++slot) {
        IMsgStore* store = session.store(slot);
        if (!store)
            continue;
        const QByteArray id = mail::PropsRead(m_state.api(), store, {PR_ENTRYID}).id(PR_ENTRYID);
        ULONG same = 0;
        if (!id.isEmpty() &&
            SUCCEEDED(session.session()->CompareEntryIDs(EntryIdSize(id), EntryIdData(id),
                                                         EntryIdSize(storeId), EntryIdData(storeId),
                                                         0, &same)) &&
            same) {
            return true;
        }
    }
    return false;
}

bool AddressBook::findCandidates(const QString& name, AdrList& candidates)
{
    if (!m_book)
        return true;
    QByteArray typed = name.toUtf8();
    SPropValue value{};
    value.ulPropTag = PR_ANR;
    value.Value.lpszA = typed.data();
    SRestriction anr{};
    anr.rt = RES_PROPERTY;
    anr.res.resProperty = {RELOP_EQ, PR_ANR, &value};
    for (const QByteArray& id : std::as_const(m_containerIds)) {
        ULONG type = 0;
        MapiPtr<IABContainer> container;
        if (FAILED(m_book->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr, 0, &type,
                                     container.putUnknown())) ||
            !container) {
            continue;
        }
        MapiPtr<IMAPITable> contents;
        if (FAILED(container->GetContentsTable(0, contents.put())) || !contents)
            continue;
        mail::TagArray columns{PR_ENTRYID,     PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE,
                               PR_OBJECT_TYPE, PR_DISPLAY_TYPE, PR_GIVEN_NAME,    PR_SURNAME};
        if (FAILED(contents->SetColumns(columns.get(), 0)) || FAILED(contents->Restrict(&anr, 0))) {
            continue;
        }
        while (true) {
            mail::Rows rows(m_state.api());
            if (FAILED(contents->QueryRows(1, 0, rows.put())) || rows.count() == 0)
                break;
            RecipientRow row = RecipientRow::from(rows[0].lpProps, rows[0].cValues);
            if (!candidates.append(row))
                return false;
        }
    }
    return true;
}

HRESULT AddressBook::ResolveNames(bool window, ULONG flags, LPADRLIST list)
{
    if (!m_book)
        return MAPI_E_NOT_INITIALIZED;
    return m_book->ResolveName(window ? windowParam() : 0, flags, nullptr, list);
}

} // namespace vantrel::compose
