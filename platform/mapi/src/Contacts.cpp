#include "Contacts.h"

#include "ContactCard.h"
#include "LastError.h"
#include "Maildir.h"
#include "MemoryTable.h"
#include "MimeContent.h"
#include "NamedProps.h"
#include "PropStream.h"
#include "StoredProps.h"
#include "fileio/AtomicFile.h"

#include <algorithm>
#include <glib.h>
#include <glib/gstdio.h>

namespace vntmapi {

namespace {

constexpr char kExtension[] = ".vcf";

// The PSETID_Address names a contact uses, in the order ContactTags keeps them.
constexpr LONG kEmailLids[3][4] = {{0x8080, 0x8082, 0x8083, 0x8084},
                                   {0x8090, 0x8092, 0x8093, 0x8094},
                                   {0x80A0, 0x80A2, 0x80A3, 0x80A4}};
constexpr LONG kEmailEntryIdLids[3] = {0x8085, 0x8095, 0x80A5};
constexpr LONG kPostalLids[3] = {0x801A, 0x801B, 0x801C};
constexpr LONG kFileAsLid = 0x8005;
constexpr LONG kEmailListLid = 0x8028;
constexpr LONG kEmailMaskLid = 0x8029;

std::string contactPath(const StoreConfig& config, const std::string& name)
{
    return joinPath(config.contacts, name + kExtension);
}

bool readCardFile(const std::string& path, ContactCard* card, GStatBuf* info)
{
    gchar* contents = nullptr;
    gsize size = 0;
    if (g_stat(path.c_str(), info) != 0 ||
        !g_file_get_contents(path.c_str(), &contents, &size, nullptr)) {
        return false;
    }
    // vCards are UTF-8; old exports in a local code page are read as Windows-1252.
    card->lines = parseVCard(validUtf8(contents, static_cast<gssize>(size)));
    g_free(contents);
    return true;
}

} // namespace

// One look-up for all of them: the store keeps its name map in a file.
ContactTags contactTags(const MsgStore& store)
{
    std::vector<std::pair<LONG, ULONG*>> wanted;
    ContactTags tags;
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 4; ++k) {
            wanted.emplace_back(kEmailLids[i][k], &tags.email[i][k]);
        }
        wanted.emplace_back(kEmailEntryIdLids[i], &tags.emailEntryId[i]);
        wanted.emplace_back(kPostalLids[i], &tags.postal[i]);
    }
    wanted.emplace_back(kFileAsLid, &tags.fileAs);
    wanted.emplace_back(kEmailListLid, &tags.emailList);
    wanted.emplace_back(kEmailMaskLid, &tags.emailMask);
    GUID set = PSETID_Address;
    std::vector<MAPINAMEID> names(wanted.size());
    std::vector<LPMAPINAMEID> pointers(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        names[i] = MAPINAMEID{&set, MNID_ID, {}};
        names[i].Kind.lID = wanted[i].first;
        pointers[i] = &names[i];
    }
    for (auto& [lid, tag] : wanted) {
        *tag = PR_NULL;
    }
    LPSPropTagArray ids = nullptr;
    if (idsFromNames(store.config().path, static_cast<ULONG>(wanted.size()), pointers.data(),
                     MAPI_CREATE, &ids) == S_OK) {
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const LONG lid = wanted[i].first;
            const bool binary = lid == 0x8085 || lid == 0x8095 || lid == 0x80A5;
            const ULONG type = binary                 ? PT_BINARY
                               : lid == kEmailListLid ? PT_MV_LONG
                               : lid == kEmailMaskLid ? PT_LONG
                                                      : PT_STRING8;
            *wanted[i].second = PROP_TAG(type, PROP_ID(ids->aulPropTag[i]));
        }
    }
    MAPIFreeBuffer(ids);
    return tags;
}

namespace {

bool readContact(const MsgStore& store, const ContactTags& tags, const std::string& name,
                 PropList* props, ContactCard* card = nullptr)
{
    ContactCard local;
    ContactCard* target = card ? card : &local;
    GStatBuf info;
    if (name.find('/') != std::string::npos ||
        !readCardFile(contactPath(store.config(), name), target, &info)) {
        return false;
    }
    EntryRef ref = folderRef(store.config().key, kContactsFolder);
    ref.kind = EntryKind::Message;
    ref.message = name;
    props->clear();
    props->push_back(binaryProp(PR_ENTRYID, encodeEntryId(ref)));
    props->push_back(binaryProp(PR_PARENT_ENTRYID, store.folderId(kContactsFolder)));
    props->push_back(binaryProp(PR_STORE_ENTRYID, encodeEntryId(storeRef(store.config().key))));
    props->push_back(longProp(PR_OBJECT_TYPE, MAPI_MESSAGE));
    props->push_back(longProp(PR_MESSAGE_FLAGS, MSGFLAG_READ));
    props->push_back(longProp(PR_MESSAGE_SIZE, static_cast<std::int64_t>(info.st_size)));
    props->push_back(timeProp(PR_LAST_MODIFICATION_TIME, fileTimeFromUnix(info.st_mtime)));
    props->push_back(timeProp(PR_CREATION_TIME, fileTimeFromUnix(info.st_mtime)));
    cardProperties(tags, target, props);
    return true;
}

// A contact opened or created: changes stay in memory until SaveChanges writes the card.
class ContactMessage : public PropObject<IMessage>
{
public:
    // `name` is empty for a contact not saved yet.
    ContactMessage(MsgStore* store, std::string name, PropList props, ContactCard card,
                   std::int64_t modified)
        : m_store(store)
        , m_name(std::move(name))
        , m_props(std::move(props))
        , m_card(std::move(card))
        , m_modified(modified)
    {
        m_store->AddRef();
    }
    ~ContactMessage() override { m_store->Release(); }

    HRESULT SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray* problems) override
    {
        if (count != 0 && !values) {
            return MAPI_E_INVALID_PARAMETER;
        }
        if (problems) {
            *problems = nullptr;
        }
        for (ULONG i = 0; i < count; ++i) {
            Prop prop;
            if (!isComputedProp(values[i].ulPropTag) && propFromValue(values[i], &prop)) {
                putProp(&m_props, std::move(prop));
            }
        }
        return S_OK;
    }
    HRESULT DeleteProps(LPSPropTagArray tags, LPSPropProblemArray* problems) override
    {
        if (!tags) {
            return MAPI_E_INVALID_PARAMETER;
        }
        if (problems) {
            *problems = nullptr;
        }
        for (ULONG i = 0; i < tags->cValues; ++i) {
            if (!isComputedProp(tags->aulPropTag[i])) {
                removeProp(&m_props, tags->aulPropTag[i]);
            }
        }
        return S_OK;
    }
    HRESULT SaveChanges(ULONG flags) override;

    HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG, ULONG flags, LPUNKNOWN* out) override
    {
        if (!out || !iid) {
            return MAPI_E_INVALID_PARAMETER;
        }
        const Prop* prop = findProp(m_props, tag);
        if (*iid != IID_IStream || (flags & (MAPI_MODIFY | MAPI_CREATE))) {
            return MAPI_E_NO_SUPPORT;
        }
        if (!prop || (PROP_TYPE(prop->tag) != PT_STRING8 && PROP_TYPE(prop->tag) != PT_BINARY)) {
            return MAPI_E_NOT_FOUND;
        }
        *out = new PropStream(this, tag, prop->data, false);
        return S_OK;
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray* tags, LPGUID set, ULONG flags, ULONG* count,
                            LPMAPINAMEID** names) override
    {
        return m_store->GetNamesFromIDs(tags, set, flags, count, names);
    }
    HRESULT GetIDsFromNames(ULONG count, LPMAPINAMEID* names, ULONG flags,
                            LPSPropTagArray* tags) override
    {
        return m_store->GetIDsFromNames(count, names, flags, tags);
    }
    HRESULT GetAttachmentTable(ULONG, IMAPITable** table) override { return emptyTable(table); }
    HRESULT OpenAttach(ULONG, LPCIID, ULONG, IAttach**) override { return MAPI_E_NOT_FOUND; }
    HRESULT CreateAttach(LPCIID, ULONG, ULONG*, IAttach**) override { return MAPI_E_NO_SUPPORT; }
    HRESULT DeleteAttach(ULONG, ULONG, IMAPIProgress*, ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetRecipientTable(ULONG, IMAPITable** table) override { return emptyTable(table); }
    HRESULT ModifyRecipients(ULONG, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SubmitMessage(ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetReadFlag(ULONG) override { return S_OK; } // contacts are always read

protected:
    PropList properties() const override { return m_props; }

private:
    static HRESULT emptyTable(IMAPITable** table)
    {
        if (!table) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *table = new MemoryTable({}, {PR_INSTANCE_KEY});
        return S_OK;
    }

    MsgStore* m_store;
    std::string m_name;
    PropList m_props;
    ContactCard m_card;
    std::int64_t m_modified; // of the file when it was read; 0 for a new contact
};

std::int64_t modifiedNs(const GStatBuf& info)
{
    return std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
}

HRESULT ContactMessage::SaveChanges(ULONG flags)
{
    const StoreConfig& config = m_store->config();
    if (!hasContactsFolder(config)) {
        return MAPI_E_NOT_FOUND;
    }
    std::string name = m_name;
    std::string uid;
    if (name.empty()) {
        // vdir names a card after its UID; a random one has no characters to escape.
        gchar* random = g_uuid_string_random();
        uid = random;
        g_free(random);
        name = uid;
    } else {
        GStatBuf info;
        const std::string path = contactPath(config, name);
        if (g_stat(path.c_str(), &info) != 0) {
            return MAPI_E_OBJECT_DELETED;
        }
        // Another program changed the card since it was read: its changes win unless the
        // caller forces this save.
        if (modifiedNs(info) != m_modified && !(flags & FORCE_SAVE)) {
            return MAPI_E_OBJECT_CHANGED;
        }
        uid = name;
    }
    const ContactTags tags = contactTags(*m_store);
    const std::string text = writeCard(tags, m_card, m_props, uid);
    const QString path = QString::fromStdString(contactPath(config, name));
    const vnt::fileio::WriteResult written =
        vnt::fileio::writeFileAtomically(path, QByteArray::fromStdString(text));
    if (!written.ok()) {
        setLastError(MAPI_E_DISK_ERROR,
                     "The contact could not be saved as \"" + path.toStdString() +
                         "\": " + written.reason.toStdString() + ".",
                     written.systemError);
        return written.failure == vnt::fileio::WriteFailure::DiskFull ? MAPI_E_NOT_ENOUGH_DISK
               : written.failure == vnt::fileio::WriteFailure::ReadOnly ||
                       written.failure == vnt::fileio::WriteFailure::PermissionDenied
                   ? MAPI_E_NO_ACCESS
                   : MAPI_E_DISK_ERROR;
    }
    // Ids, size and times as the saved file gives them.
    PropList saved;
    ContactCard card;
    if (readContact(*m_store, tags, name, &saved, &card)) {
        m_props = std::move(saved);
        m_card = std::move(card);
        GStatBuf info;
        if (g_stat(contactPath(config, name).c_str(), &info) == 0) {
            m_modified = modifiedNs(info);
        }
    }
    m_name = name;
    return S_OK;
}

} // namespace

bool hasContactsFolder(const StoreConfig& config)
{
    return !config.contacts.empty() && isDirectory(config.contacts);
}

std::vector<std::string> listContacts(const StoreConfig& config)
{
    std::vector<std::string> names;
    GDir* dir =
        hasContactsFolder(config) ? g_dir_open(config.contacts.c_str(), 0, nullptr) : nullptr;
    if (!dir) {
        return names;
    }
    const std::size_t extension = sizeof(kExtension) - 1;
    while (const gchar* entry = g_dir_read_name(dir)) {
        const std::string name = entry;
        // vdir writers use hidden and ".tmp" names while writing; only finished cards count.
        if (name.size() > extension && name[0] != '.' &&
            name.compare(name.size() - extension, extension, kExtension) == 0) {
            names.push_back(name.substr(0, name.size() - extension));
        }
    }
    g_dir_close(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool contactProperties(const MsgStore& store, const std::string& name, PropList* props)
{
    return readContact(store, contactTags(store), name, props);
}

std::vector<PropList> contactRows(const MsgStore& store)
{
    std::vector<PropList> rows;
    const ContactTags tags = contactTags(store);
    for (const std::string& name : listContacts(store.config())) {
        PropList row;
        if (readContact(store, tags, name, &row)) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

HRESULT openContact(MsgStore* store, const std::string& name, IMessage** message)
{
    PropList props;
    ContactCard card;
    if (!readContact(*store, contactTags(*store), name, &props, &card)) {
        return MAPI_E_NOT_FOUND;
    }
    GStatBuf info;
    const std::int64_t modified =
        g_stat(contactPath(store->config(), name).c_str(), &info) == 0 ? modifiedNs(info) : 0;
    *message = new ContactMessage(store, name, std::move(props), std::move(card), modified);
    return S_OK;
}

IMessage* newContact(MsgStore* store)
{
    PropList props;
    props.push_back(binaryProp(PR_PARENT_ENTRYID, store->folderId(kContactsFolder)));
    props.push_back(binaryProp(PR_STORE_ENTRYID, encodeEntryId(storeRef(store->config().key))));
    props.push_back(longProp(PR_OBJECT_TYPE, MAPI_MESSAGE));
    props.push_back(stringProp(PR_MESSAGE_CLASS, "IPM.Contact"));
    props.push_back(longProp(PR_MESSAGE_FLAGS, MSGFLAG_READ));
    return new ContactMessage(store, {}, std::move(props), {}, 0);
}

} // namespace vntmapi
