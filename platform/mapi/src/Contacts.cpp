#include "Contacts.h"

#include "Maildir.h"
#include "MemoryTable.h"
#include "MimeContent.h"
#include "NamedProps.h"
#include "PropStream.h"
#include "VCard.h"

#include <algorithm>
#include <glib.h>
#include <glib/gstdio.h>

namespace vntmapi {

namespace {

constexpr char kExtension[] = ".vcf";

// The e-mail named properties (PSETID_Address) of the three addresses a contact can carry:
// display name, address type, address, original display name.
constexpr LONG kEmailLids[3][4] = {{0x8080, 0x8082, 0x8083, 0x8084},
                                   {0x8090, 0x8092, 0x8093, 0x8094},
                                   {0x80A0, 0x80A2, 0x80A3, 0x80A4}};
constexpr LONG kFileAsLid = 0x8005;
constexpr LONG kEmailMaskLid = 0x8029;

std::string contactPath(const StoreConfig& config, const std::string& name)
{
    return joinPath(config.contacts, name + kExtension);
}

// The store's tags for the PSETID_Address names a contact uses, created on first use.
struct ContactTags
{
    ULONG fileAs = PR_NULL;
    ULONG email[3][4] = {};
    ULONG emailMask = PR_NULL;
};

// One look-up for all of them: the store keeps its name map in a file.
ContactTags contactTags(const MsgStore& store)
{
    constexpr ULONG kCount = 14;
    GUID set = PSETID_Address;
    MAPINAMEID names[kCount];
    LPMAPINAMEID pointers[kCount];
    for (ULONG i = 0; i < kCount; ++i) {
        const LONG lid = i < 12 ? kEmailLids[i / 4][i % 4] : (i == 12 ? kFileAsLid : kEmailMaskLid);
        names[i] = MAPINAMEID{&set, MNID_ID, {}};
        names[i].Kind.lID = lid;
        pointers[i] = &names[i];
    }
    ContactTags tags;
    LPSPropTagArray ids = nullptr;
    if (idsFromNames(store.config().path, kCount, pointers, MAPI_CREATE, &ids) == S_OK) {
        const auto tagOf = [ids](ULONG i, ULONG type) {
            return PROP_TAG(type, PROP_ID(ids->aulPropTag[i]));
        };
        for (ULONG i = 0; i < 12; ++i) {
            tags.email[i / 4][i % 4] = tagOf(i, PT_STRING8);
        }
        tags.fileAs = tagOf(12, PT_STRING8);
        tags.emailMask = tagOf(13, PT_LONG);
    }
    MAPIFreeBuffer(ids);
    return tags;
}

void addText(PropList* props, ULONG tag, const std::string& value)
{
    if (tag != PR_NULL && !value.empty()) {
        putProp(props, stringProp(tag, value));
    }
}

bool hasType(const VCardProperty& p, const char* type)
{
    return p.types.find(type) != std::string::npos;
}

void addName(const VCardProperty& p, PropList* props)
{
    const std::vector<std::string> n = vCardComponents(p.value);
    const ULONG tags[] = {PR_SURNAME, PR_GIVEN_NAME, PR_MIDDLE_NAME, PR_DISPLAY_NAME_PREFIX,
                          PR_GENERATION};
    for (std::size_t i = 0; i < n.size() && i < std::size(tags); ++i) {
        addText(props, tags[i], n[i]);
    }
}

void addAddress(const VCardProperty& p, PropList* props)
{
    // ADR: post office box; extended; street; city; region; postcode; country.
    const std::vector<std::string> a = vCardComponents(p.value);
    const bool home = hasType(p, "HOME");
    const ULONG business[] = {PR_BUSINESS_ADDRESS_STREET, PR_BUSINESS_ADDRESS_CITY,
                              PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE,
                              PR_BUSINESS_ADDRESS_POSTAL_CODE, PR_BUSINESS_ADDRESS_COUNTRY};
    const ULONG homeTags[] = {PR_HOME_ADDRESS_STREET, PR_HOME_ADDRESS_CITY,
                              PR_HOME_ADDRESS_STATE_OR_PROVINCE, PR_HOME_ADDRESS_POSTAL_CODE,
                              PR_HOME_ADDRESS_COUNTRY};
    for (std::size_t i = 2; i < a.size() && i < 7; ++i) {
        addText(props, home ? homeTags[i - 2] : business[i - 2], a[i]);
    }
}

void addTelephone(const VCardProperty& p, PropList* props)
{
    const std::string number = vCardText(p.value);
    ULONG tag = PR_BUSINESS_TELEPHONE_NUMBER;
    if (hasType(p, "CELL")) {
        tag = PR_MOBILE_TELEPHONE_NUMBER;
    } else if (hasType(p, "FAX")) {
        tag = PR_BUSINESS_FAX_NUMBER;
    } else if (hasType(p, "HOME")) {
        tag = PR_HOME_TELEPHONE_NUMBER;
    } else if (hasType(p, "X-ASSISTANT")) {
        tag = PR_ASSISTANT_TELEPHONE_NUMBER;
    }
    if (!findProp(*props, tag)) {
        addText(props, tag, number);
    }
}

void addEmails(const ContactTags& tags, std::vector<const VCardProperty*> emails,
               const std::string& displayName, PropList* props)
{
    // The preferred address comes first, then file order; three at most.
    std::stable_partition(emails.begin(), emails.end(),
                          [](const VCardProperty* p) { return p->preferred; });
    LONG mask = 0;
    for (std::size_t i = 0; i < emails.size() && i < 3; ++i) {
        const std::string address = vCardText(emails[i]->value);
        const std::string shown =
            displayName.empty() ? address : displayName + " (" + address + ")";
        addText(props, tags.email[i][0], shown);
        addText(props, tags.email[i][1], "SMTP");
        addText(props, tags.email[i][2], address);
        addText(props, tags.email[i][3], address);
        mask |= 1 << i;
    }
    if (mask != 0 && tags.emailMask != PR_NULL) {
        putProp(props, longProp(tags.emailMask, mask));
    }
}

void addCardProperties(const ContactTags& tags, const std::vector<VCardProperty>& card,
                       PropList* props)
{
    std::string displayName;
    bool group = false;
    std::vector<const VCardProperty*> emails;
    for (const VCardProperty& p : card) {
        if (p.name == "FN") {
            displayName = vCardText(p.value);
        } else if (p.name == "N") {
            addName(p, props);
        } else if (p.name == "ORG") {
            const std::vector<std::string> org = vCardComponents(p.value);
            addText(props, PR_COMPANY_NAME, org[0]);
            addText(props, PR_DEPARTMENT_NAME, org.size() > 1 ? org[1] : std::string());
        } else if (p.name == "TITLE") {
            addText(props, PR_TITLE, vCardText(p.value));
        } else if (p.name == "TEL") {
            addTelephone(p, props);
        } else if (p.name == "ADR") {
            addAddress(p, props);
        } else if (p.name == "EMAIL") {
            emails.push_back(&p);
        } else if (p.name == "NOTE") {
            addText(props, PR_BODY, vCardText(p.value));
        } else if (p.name == "URL") {
            addText(props, PR_BUSINESS_HOME_PAGE, vCardText(p.value));
        } else if (p.name == "X-OFFICE") {
            addText(props, PR_OFFICE_LOCATION, vCardText(p.value));
        } else if (p.name == "KIND" || p.name == "X-ADDRESSBOOKSERVER-KIND") {
            group = g_ascii_strcasecmp(p.value.c_str(), "group") == 0;
        }
    }
    putProp(props, stringProp(PR_MESSAGE_CLASS, group ? "IPM.DistList" : "IPM.Contact"));
    putProp(props, stringProp(PR_DISPLAY_NAME, displayName));
    putProp(props, stringProp(PR_SUBJECT, displayName));
    const Prop* surname = findProp(*props, PR_SURNAME);
    const Prop* given = findProp(*props, PR_GIVEN_NAME);
    std::string fileAs = displayName;
    if (surname && given) {
        fileAs = surname->text() + ", " + given->text();
    } else if (surname) {
        fileAs = surname->text();
    }
    addText(props, tags.fileAs, fileAs);
    addEmails(tags, emails, displayName, props);
}

bool readContact(const MsgStore& store, const ContactTags& tags, const std::string& name,
                 PropList* props)
{
    const std::string path = contactPath(store.config(), name);
    gchar* contents = nullptr;
    gsize size = 0;
    GStatBuf info;
    if (name.find('/') != std::string::npos || g_stat(path.c_str(), &info) != 0 ||
        !g_file_get_contents(path.c_str(), &contents, &size, nullptr)) {
        return false;
    }
    // vCards are UTF-8; old exports in a local code page are read as Windows-1252.
    const std::string text = validUtf8(contents, static_cast<gssize>(size));
    g_free(contents);
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
    addCardProperties(tags, parseVCard(text), props);
    return true;
}

class ContactMessage : public PropObject<IMessage>
{
public:
    ContactMessage(MsgStore* store, PropList props)
        : m_store(store)
        , m_props(std::move(props))
    {
        m_store->AddRef();
    }
    ~ContactMessage() override { m_store->Release(); }

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
    PropList m_props;
};

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
    if (!contactProperties(*store, name, &props)) {
        return MAPI_E_NOT_FOUND;
    }
    *message = new ContactMessage(store, std::move(props));
    return S_OK;
}

} // namespace vntmapi
