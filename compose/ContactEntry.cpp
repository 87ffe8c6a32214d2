#include "compose/ContactEntry.h"

#include "compose/AddressBook.h"
#include "compose/ComposeHost.h"
#include "compose/ContactEntryDialog.h"
#include "compose/OutgoingState.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QStringList>
#include <array>
#include <cstring>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace vantrel::compose {

// The contact as it is stored, built from the form.
struct ContactValues
{
    bool threeEntries = true;
    QString first;
    QString middle;
    QString last;
    QString displayName;
    QString addressType;
    std::array<QString, 3> entryNames;  // "Display name n As" as typed (three-entry form)
    std::array<QString, 3> oneOffNames; // the name each entry's one-off identifier carries
    std::array<QString, 3> addresses;
    std::array<bool, 3> filled{};
    std::array<QByteArray, 3> oneOffIds;
    std::array<QByteArray, 3> originalIds;
    bool addToMessage = false;

    int firstFilled() const
    {
        for (int i = 0; i < 3; ++i) {
            if (filled[static_cast<size_t>(i)])
                return i;
        }
        return -1;
    }
};

namespace {

constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgOpenFolderFailed = 20004;
constexpr int kMsgCreateFailed = 20009;
constexpr int kMsgNoContactsFolders = 20024;
constexpr int kMsgSaveFailed = 20039;
constexpr int kMsgNoEntry = 20177;
constexpr int kMsgNotSmtp = 20178;

constexpr qsizetype kOneOffHeader = 24;
constexpr qsizetype kOneOffFlags = 22;

enum class Field {
    Address,
    EmailName,
    AddressType,
    MessageClass,
    OriginalId,
    FileAs,
    Subject,
    Surname,
    GivenName,
    MiddleName,
    DisplayName,
    EntryBits,
    EntryList,
    OriginalName,
};

struct NamedField
{
    bool mapiSet; // PS_MAPI, else PSETID_Address
    LONG id;
    ULONG type;
    Field field;
    int entry = 0;
};

// The contact's named properties, in the order they are asked for and set. The simple form
// has no e-mail display names.
constexpr NamedField kFields[] = {
    {false, 0x8083, PT_STRING8, Field::Address, 0},
    {false, 0x8093, PT_STRING8, Field::Address, 1},
    {false, 0x80A3, PT_STRING8, Field::Address, 2},
    {false, 0x8080, PT_STRING8, Field::EmailName, 0},
    {false, 0x8090, PT_STRING8, Field::EmailName, 1},
    {false, 0x80A0, PT_STRING8, Field::EmailName, 2},
    {false, 0x8082, PT_STRING8, Field::AddressType, 0},
    {false, 0x8092, PT_STRING8, Field::AddressType, 1},
    {false, 0x80A2, PT_STRING8, Field::AddressType, 2},
    {true, 0x001A, PT_STRING8, Field::MessageClass},
    {false, 0x8085, PT_BINARY, Field::OriginalId, 0},
    {false, 0x8095, PT_BINARY, Field::OriginalId, 1},
    {false, 0x80A5, PT_BINARY, Field::OriginalId, 2},
    {false, 0x8005, PT_STRING8, Field::FileAs},
    {true, 0x0037, PT_STRING8, Field::Subject},
    {true, 0x3A11, PT_STRING8, Field::Surname},
    {true, 0x3A06, PT_STRING8, Field::GivenName},
    {true, 0x3A44, PT_STRING8, Field::MiddleName},
    {true, 0x3001, PT_STRING8, Field::DisplayName},
    {false, 0x8029, PT_LONG, Field::EntryBits},
    {false, 0x8028, PT_MV_LONG, Field::EntryList},
    {false, 0x8084, PT_STRING8, Field::OriginalName, 0},
    {false, 0x8094, PT_STRING8, Field::OriginalName, 1},
    {false, 0x80A4, PT_STRING8, Field::OriginalName, 2},
};

std::vector<NamedField> fieldsOf(bool threeEntries)
{
    std::vector<NamedField> fields;
    for (const NamedField& field : kFields) {
        if (threeEntries || field.field != Field::EmailName)
            fields.push_back(field);
    }
    return fields;
}

// The parts that are not empty, joined by `separator`.
QString joined(const QStringList& parts, const QString& separator)
{
    QStringList kept = parts;
    kept.removeAll(QString());
    return kept.join(separator);
}

ContactValues contactValues(const ContactForm& form)
{
    ContactValues v;
    v.threeEntries = form.threeEntries;
    v.first = form.first;
    v.middle = form.middle;
    v.last = form.last;
    v.addressType = form.addressType;
    v.entryNames = form.entryNames;
    v.addresses = form.addresses;
    v.addToMessage = form.addToMessage;
    v.displayName = form.displayName;
    if (form.threeEntries) {
        // The contact is named after its first complete entry.
        for (int i = 0; i < 3 && v.displayName.isEmpty(); ++i) {
            if (form.isPair(i))
                v.displayName = form.entryNames[static_cast<size_t>(i)];
        }
    }
    // An address typed without its own display name goes under the contact's name rather
    // than being dropped.
    for (size_t i = 0; i < 3; ++i) {
        const QString typed = form.typedName(static_cast<int>(i));
        v.oneOffNames[i] = typed.isEmpty() ? v.displayName : typed;
        v.filled[i] = !v.addresses[i].isEmpty() && !v.oneOffNames[i].isEmpty();
    }
    if (v.first.isEmpty() && v.last.isEmpty() && !v.displayName.isEmpty())
        std::tie(v.first, v.last) = SplitDisplayName(v.displayName);
    return v;
}

LONG entryBits(const ContactValues& v)
{
    LONG bits = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (v.filled[i])
            bits |= LONG{1} << i;
    }
    return bits;
}

// Values allocated onto one block of platform memory.
class ValueBlock
{
public:
    explicit ValueBlock(const vntmapi::EntryPoints& api)
        : m_api(api)
        , m_values(api)
    {}

    bool allocate(size_t count)
    {
        void* block = nullptr;
        if (m_api.MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * count), &block) !=
            S_OK)
            return false;
        *m_values.put() = static_cast<SPropValue*>(block);
        for (size_t i = 0; i < count; ++i) {
            m_values.get()[i] = SPropValue{};
            m_values.get()[i].ulPropTag = PR_NULL;
        }
        return true;
    }
    SPropValue* get() const { return m_values.get(); }

    // An empty text stays PR_NULL.
    bool text(SPropValue& value, ULONG tag, const QString& text)
    {
        if (text.isEmpty())
            return true;
        const QByteArray bytes = text.toUtf8();
        void* copy = more(static_cast<size_t>(bytes.size()) + 1, bytes.constData());
        if (!copy)
            return false;
        value.ulPropTag = tag;
        value.Value.lpszA = static_cast<char*>(copy);
        return true;
    }
    bool binary(SPropValue& value, ULONG tag, const QByteArray& bytes)
    {
        void* copy = more(static_cast<size_t>(bytes.size()), bytes.constData());
        if (!copy)
            return false;
        value.ulPropTag = tag;
        value.Value.bin = {static_cast<ULONG>(bytes.size()), static_cast<LPBYTE>(copy)};
        return true;
    }
    bool longs(SPropValue& value, ULONG tag, const std::vector<LONG>& numbers)
    {
        void* copy = more(sizeof(LONG) * numbers.size(), numbers.data());
        if (!copy)
            return false;
        value.ulPropTag = tag;
        value.Value.MVl = {static_cast<ULONG>(numbers.size()), static_cast<LONG*>(copy)};
        return true;
    }

private:
    void* more(size_t size, const void* from)
    {
        void* copy = nullptr;
        if (m_api.MAPIAllocateMore(static_cast<ULONG>(size ? size : 1), m_values.get(), &copy) !=
            S_OK)
            return nullptr;
        if (size)
            std::memcpy(copy, from, size);
        return copy;
    }

    const vntmapi::EntryPoints& m_api;
    mail::MapiBuffer<SPropValue> m_values;
};

// The value of one named property; an unresolved name or an entry not filled stays PR_NULL.
bool fillValue(ValueBlock& block, SPropValue& out, ULONG tag, const NamedField& field,
               const ContactValues& v)
{
    const auto e = static_cast<size_t>(field.entry);
    if (tag == PR_NULL)
        return true;
    switch (field.field) {
    case Field::Address:
        return !v.filled[e] || block.text(out, tag, v.addresses[e]);
    case Field::EmailName:
        return !v.filled[e] || block.text(out, tag, v.entryNames[e]);
    case Field::AddressType:
        return !v.filled[e] || block.text(out, tag, v.addressType);
    case Field::MessageClass:
        return block.text(out, tag, u"IPM.Contact"_s);
    case Field::OriginalId:
        return !v.filled[e] || block.binary(out, tag, v.originalIds[e]);
    case Field::FileAs:
        return block.text(out, tag, joined({v.last, joined({v.first, v.middle}, u" "_s)}, u", "_s));
    case Field::Subject:
        return block.text(out, tag, joined({v.first, v.last}, u" "_s));
    case Field::Surname:
        return block.text(out, tag, v.last);
    case Field::GivenName:
        return block.text(out, tag, v.first);
    case Field::MiddleName:
        return block.text(out, tag, v.middle);
    case Field::DisplayName:
        return block.text(out, tag, v.displayName);
    case Field::EntryBits:
        out.ulPropTag = tag;
        out.Value.l = entryBits(v);
        return true;
    case Field::EntryList: {
        std::vector<LONG> entries;
        for (size_t i = 0; i < 3; ++i) {
            if (v.filled[i])
                entries.push_back(static_cast<LONG>(i));
        }
        return block.longs(out, tag, entries);
    }
    case Field::OriginalName:
        // What the contacts folder gives back for it: the address.
        return !v.filled[e] || block.text(out, tag, v.addresses[e]);
    }
    return true;
}

// The item's tags of `fields`, each with its field's type; PR_NULL where a name has none.
bool resolveTags(const vntmapi::EntryPoints& api, IMAPIProp* item,
                 const std::vector<NamedField>& fields, std::vector<ULONG>* tags)
{
    GUID addressSet = PSETID_Address;
    GUID mapiSet = PS_MAPI;
    std::vector<MAPINAMEID> names(fields.size());
    std::vector<LPMAPINAMEID> pointers(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        names[i] = MAPINAMEID{fields[i].mapiSet ? &mapiSet : &addressSet, MNID_ID, {}};
        names[i].Kind.lID = fields[i].id;
        pointers[i] = &names[i];
    }
    const auto count = static_cast<ULONG>(fields.size());
    mail::MapiBuffer<SPropTagArray> ids(api);
    const HRESULT hr = item->GetIDsFromNames(count, pointers.data(), MAPI_CREATE, ids.put());
    if (FAILED(hr) || !ids || ids->cValues != count)
        return false;
    tags->clear();
    for (ULONG i = 0; i < count; ++i) {
        const ULONG id = ids->aulPropTag[i];
        const bool resolved = PROP_TYPE(id) != PT_ERROR && PROP_ID(id) != 0;
        tags->push_back(resolved ? PROP_TAG(fields[i].type, PROP_ID(id)) : PR_NULL);
    }
    return true;
}

// Saving a contact whose addresses have nowhere to go would lose what matters most in it.
bool addressesHavePlaces(const std::vector<NamedField>& fields, const std::vector<ULONG>& tags,
                         const ContactValues& v)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].field == Field::Address && v.filled[static_cast<size_t>(fields[i].entry)] &&
            tags[i] == PR_NULL)
            return false;
    }
    return true;
}

} // namespace

ContactEntry::ContactEntry(OutgoingState& state, AddressBook& book)
    : m_state(state)
    , m_book(book)
{}

void ContactEntry::tell(int messageId, int titleKind)
{
    ShowViewMessage(m_state.host().hostWidget(), messageId, titleKind);
}

bool ContactEntry::AddContact(bool fromCheckNames, const QString& name, const QString& address,
                              NewContact* result)
{
    if (!m_book.Open())
        return false;
    // Told before the user types a contact that could not be stored anywhere.
    if (m_state.mail().folders().contactsFolders().isEmpty()) {
        tell(kMsgNoContactsFolders, TitleWarning);
        return false;
    }
    ContactForm form;
    if (!runForm(fromCheckNames, name, address, &form))
        return false;
    const QList<mail::ContactsFolder>& folders = m_state.mail().folders().contactsFolders();
    if (form.folderIndex < 0 || form.folderIndex >= folders.size())
        return false;
    const mail::ContactsFolder where = folders[form.folderIndex];
    ContactValues values = contactValues(form);
    const int first = values.firstFilled();
    if (first < 0) {
        tell(kMsgNoEntry, TitleInformation);
        return false;
    }
    checkAddressType(values);
    if (!createOneOffs(values) || !store(where, values))
        return false;
    if (result) {
        const auto i = static_cast<size_t>(first);
        *result = {values.oneOffIds[i], values.oneOffNames[i], values.addresses[i],
                   values.addressType, values.addToMessage};
    }
    return true;
}

bool ContactEntry::runForm(bool fromCheckNames, const QString& name, const QString& address,
                           ContactForm* form)
{
    QStringList folderNames;
    for (const mail::ContactsFolder& folder : m_state.mail().folders().contactsFolders())
        folderNames << folder.name;
    const auto kind = m_state.mail().contactPropertiesAvailable()
                          ? ContactEntryDialog::Form::ThreeEntries
                          : ContactEntryDialog::Form::Simple;
    ContactEntryDialog dialog(kind, folderNames, m_state.host().hostWidget());
    if (fromCheckNames)
        dialog.setInitial(name, address);
    // Name checking puts the new contact on the message in any case; otherwise only a message
    // being written can take it.
    dialog.setAddToMessage(!fromCheckNames && m_state.message() != nullptr, fromCheckNames);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return false;
    *form = dialog.form();
    return true;
}

void ContactEntry::checkAddressType(ContactValues& values)
{
    if (values.addressType.isEmpty())
        values.addressType = u"SMTP"_s;
    else if (values.addressType != u"SMTP"_s)
        tell(kMsgNotSmtp, TitleWarning);
}

bool ContactEntry::createOneOffs(ContactValues& values)
{
    IAddrBook* book = m_book.get();
    const QByteArray type = values.addressType.toUtf8();
    for (size_t i = 0; i < 3; ++i) {
        if (!values.filled[i])
            continue;
        const QByteArray name = values.oneOffNames[i].toUtf8();
        const QByteArray address = values.addresses[i].toUtf8();
        mail::MapiBuffer<ENTRYID> id(m_state.api());
        ULONG size = 0;
        const HRESULT hr = book ? book->CreateOneOff(name.constData(), type.constData(),
                                                     address.constData(), 0, &size, id.put())
                                : MAPI_E_NOT_INITIALIZED;
        if (SUCCEEDED(hr) && id) {
            values.oneOffIds[i] =
                QByteArray(reinterpret_cast<const char*>(id.get()), static_cast<qsizetype>(size));
            values.originalIds[i] = OriginalEntryId(values.oneOffIds[i]);
        }
        if (values.originalIds[i].isEmpty()) {
            tell(hr == MAPI_E_NOT_ENOUGH_MEMORY ? kMsgOutOfMemory : kMsgSaveFailed, TitleWarning);
            return false;
        }
    }
    return true;
}

bool ContactEntry::store(const mail::ContactsFolder& where, const ContactValues& values)
{
    const vntmapi::EntryPoints& api = m_state.api();
    IMsgStore* msgStore = m_state.mail().session().store(where.storeSlot);
    MapiPtr<IMAPIFolder> folder = mail::OpenFolder(msgStore, where.entryId, MAPI_MODIFY);
    if (!folder) {
        tell(kMsgOpenFolderFailed, TitleWarning);
        return false;
    }
    MapiPtr<IMessage> contact;
    if (FAILED(folder->CreateMessage(nullptr, 0, contact.put())) || !contact) {
        tell(kMsgCreateFailed, TitleWarning);
        return false;
    }
    const std::vector<NamedField> fields = fieldsOf(values.threeEntries);
    std::vector<ULONG> tags;
    if (!resolveTags(api, contact.get(), fields, &tags) ||
        !addressesHavePlaces(fields, tags, values)) {
        tell(kMsgSaveFailed, TitleWarning);
        return false;
    }
    ValueBlock block(api);
    bool built = block.allocate(fields.size());
    for (size_t i = 0; built && i < fields.size(); ++i)
        built = fillValue(block, block.get()[i], tags[i], fields[i], values);
    if (!built) {
        tell(kMsgOutOfMemory, TitleWarning);
        return false;
    }
    if (FAILED(contact->SetProps(static_cast<ULONG>(fields.size()), block.get(), nullptr)) ||
        FAILED(contact->SaveChanges(FORCE_SAVE))) {
        tell(kMsgSaveFailed, TitleWarning);
        return false;
    }
    return true;
}

std::pair<QString, QString> SplitDisplayName(const QString& displayName)
{
    const QString name = displayName.trimmed();
    const qsizetype space = name.indexOf(u' ');
    if (space < 0)
        return {name, QString()};
    return {name.left(space), name.mid(space + 1).trimmed()};
}

QByteArray OriginalEntryId(const QByteArray& oneOff)
{
    if (oneOff.size() < kOneOffHeader)
        return {};
    constexpr ULONG wideFlags = MAPI_ONE_OFF_UNICODE | MAPI_ONE_OFF_NO_RICH_INFO;
    QByteArray wide = oneOff.left(kOneOffFlags);
    wide.append(static_cast<char>(wideFlags & 0xFF));
    wide.append(static_cast<char>(wideFlags >> 8));
    const QByteArray strings = oneOff.mid(kOneOffHeader);
    const auto flags = static_cast<ULONG>(static_cast<uchar>(oneOff[kOneOffFlags]) |
                                          (static_cast<uchar>(oneOff[kOneOffFlags + 1]) << 8));
    if (flags & MAPI_ONE_OFF_UNICODE)
        return wide + strings; // already wide: widening again would garble the strings
    // The 8-bit strings are UTF-8; ASCII widens byte by byte.
    qsizetype pos = 0;
    while (pos < strings.size()) {
        qsizetype end = strings.indexOf('\0', pos);
        const bool terminated = end >= 0;
        if (!terminated)
            end = strings.size();
        for (const QChar c : QString::fromUtf8(strings.constData() + pos, end - pos)) {
            const char16_t unit = c.unicode();
            wide.append(static_cast<char>(unit & 0xFF));
            wide.append(static_cast<char>(unit >> 8));
        }
        if (terminated)
            wide.append(2, '\0');
        pos = end + 1;
    }
    return wide;
}

} // namespace vantrel::compose
