#include "AddressBook.h"

#include "../ui/AddressDialogCall.h"
#include "Contacts.h"
#include "MailUser.h"
#include "Maildir.h"
#include "MemoryTable.h"
#include "MimeContent.h"
#include "OneOff.h"
#include "StoredProps.h"
#include "UiLibrary.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <map>
#include <mutex>
#include <optional>

namespace vntmapi {

namespace {

const std::vector<ULONG> kContentsColumns = {PR_ENTRYID,     PR_DISPLAY_NAME, PR_EMAIL_ADDRESS,
                                             PR_ADDRTYPE,    PR_OBJECT_TYPE,  PR_DISPLAY_TYPE,
                                             PR_INSTANCE_KEY};
const std::vector<ULONG> kHierarchyColumns = {PR_ENTRYID, PR_DISPLAY_NAME, PR_CONTAINER_FLAGS,
                                              PR_DEPTH,   PR_OBJECT_TYPE,  PR_INSTANCE_KEY};

// The listing of a folder as far as new, removed and renamed cards go.
std::int64_t directoryStamp(const std::string& dir)
{
    GStatBuf info;
    if (g_stat(dir.c_str(), &info) != 0) {
        return -1;
    }
    return std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
}

std::vector<AbEntry> readEntries(const StoreConfig& store)
{
    std::vector<AbEntry> entries;
    for (const std::string& name : listContacts(store)) {
        gchar* contents = nullptr;
        gsize size = 0;
        if (!g_file_get_contents(joinPath(store.contacts, name + ".vcf").c_str(), &contents, &size,
                                 nullptr)) {
            continue;
        }
        const std::vector<VCardProperty> card =
            parseVCard(validUtf8(contents, static_cast<gssize>(size)));
        g_free(contents);
        AbEntry base;
        base.ref.store = store.key;
        base.ref.contact = name;
        bool group = false;
        for (const VCardProperty& p : card) {
            if (p.name == "FN") {
                base.displayName = vCardText(p.value);
            } else if (p.name == "N") {
                const std::vector<std::string> n = vCardComponents(p.value);
                base.surname = n[0];
                base.givenName = n.size() > 1 ? n[1] : std::string();
            } else if (p.name == "ORG") {
                base.company = vCardComponents(p.value)[0];
            } else if (p.name == "KIND" || p.name == "X-ADDRESSBOOKSERVER-KIND") {
                group = g_ascii_strcasecmp(vCardText(p.value).c_str(), "group") == 0;
            }
        }
        if (group) {
            base.ref.kind = AbKind::Group;
            base.keys = anrKeys(base.displayName, {}, {}, {});
            entries.push_back(std::move(base));
            continue;
        }
        for (const CardEmail& email : cardEmails(card)) {
            AbEntry entry = base;
            entry.ref.kind = AbKind::MailUser;
            entry.ref.email = static_cast<BYTE>(email.slot);
            entry.address = email.address;
            if (entry.displayName.empty()) {
                entry.displayName = email.address;
            }
            entry.keys = anrKeys(entry.displayName, entry.givenName, entry.surname, entry.address);
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::string containerName(const StoreConfig& store, std::size_t storeCount)
{
    return storeCount > 1 ? "Contacts (" + store.name + ")" : "Contacts";
}

PropList containerProps(const StoreConfig* store, std::size_t storeCount)
{
    PropList props;
    AbRef ref;
    ref.kind = store ? AbKind::Container : AbKind::Root;
    if (store) {
        ref.store = store->key;
    }
    props.push_back(binaryProp(PR_ENTRYID, encodeAbEntryId(ref)));
    props.push_back(binaryProp(PR_RECORD_KEY, encodeAbEntryId(ref)));
    props.push_back(longProp(PR_OBJECT_TYPE, MAPI_ABCONT));
    props.push_back(longProp(PR_DEPTH, 0));
    if (!store) {
        props.push_back(stringProp(PR_DISPLAY_NAME, ""));
        props.push_back(longProp(PR_CONTAINER_FLAGS, AB_SUBCONTAINERS | AB_UNMODIFIABLE));
        props.push_back(longProp(PR_DISPLAY_TYPE, DT_LOCAL));
        return props;
    }
    props.push_back(stringProp(PR_DISPLAY_NAME, containerName(*store, storeCount)));
    // New contacts can be saved into the folder through its store.
    props.push_back(longProp(PR_CONTAINER_FLAGS, AB_RECIPIENTS | AB_MODIFIABLE));
    props.push_back(longProp(PR_DISPLAY_TYPE, DT_MODIFIABLE));
    props.push_back(binaryProp(PR_STORE_ENTRYID, encodeEntryId(storeRef(store->key))));
    props.push_back(binaryProp(PR_PARENT_ENTRYID, encodeAbEntryId(AbRef{AbKind::Root, {}, {}, 0})));
    return props;
}

class AbMailUser : public PropObject<IMailUser>
{
public:
    explicit AbMailUser(PropList props)
        : m_props(std::move(props))
    {}
    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override
    {
        return MAPI_E_NO_SUPPORT;
    }

protected:
    PropList properties() const override { return m_props; }

private:
    PropList m_props;
};

// A container's contents table. Its rows are packed only when a caller reads them; a
// restriction on PR_ANR alone packs just the entries the typed name matches (with the keys the
// entries were read with), so that looking up one name in a large address book does not build
// a row for every contact. Instance keys follow the entries' order, whichever rows are packed.
class AbContentsTable : public MemoryTable
{
public:
    explicit AbContentsTable(std::shared_ptr<const std::vector<AbEntry>> entries)
        : MemoryTable(kContentsColumns)
        , m_entries(std::move(entries))
    {}

    HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) override
    {
        const char* typed = anrText(lpRestriction);
        if (typed) {
            packMatching(typed);
        } else {
            packAll();
        }
        return MemoryTable::Restrict(lpRestriction, ulFlags);
    }
    HRESULT Advise(ULONG mask, IMAPIAdviseSink* sink, ULONG* connection) override
    {
        packAll();
        return MemoryTable::Advise(mask, sink, connection);
    }
    HRESULT GetRowCount(ULONG flags, ULONG* count) override
    {
        packUnlessRestricted();
        return MemoryTable::GetRowCount(flags, count);
    }
    HRESULT SeekRow(BOOKMARK origin, LONG count, LONG* sought) override
    {
        packUnlessRestricted();
        return MemoryTable::SeekRow(origin, count, sought);
    }
    HRESULT QueryPosition(ULONG* row, ULONG* numerator, ULONG* denominator) override
    {
        packUnlessRestricted();
        return MemoryTable::QueryPosition(row, numerator, denominator);
    }
    HRESULT SortTable(LPSSortOrderSet order, ULONG flags) override
    {
        packUnlessRestricted();
        return MemoryTable::SortTable(order, flags);
    }
    HRESULT QueryRows(LONG count, ULONG flags, LPSRowSet* rows) override
    {
        packUnlessRestricted();
        return MemoryTable::QueryRows(count, flags, rows);
    }

private:
    enum class Packed { None, Matching, All };

    static const char* anrText(LPSRestriction restriction)
    {
        if (!restriction || restriction->rt != RES_PROPERTY) {
            return nullptr;
        }
        const SPropertyRestriction& property = restriction->res.resProperty;
        if (property.ulPropTag != PR_ANR || !property.lpProp ||
            property.lpProp->ulPropTag != PR_ANR) {
            return nullptr;
        }
        return property.lpProp->Value.lpszA;
    }
    void packUnlessRestricted()
    {
        if (m_packed == Packed::None) {
            packAll();
        }
    }
    void packAll()
    {
        if (m_packed != Packed::All) {
            pack([](const AbEntry&) { return true; });
            m_packed = Packed::All;
        }
    }
    void packMatching(const std::string& typed)
    {
        const std::vector<std::string> words = anrWords(typed);
        const std::string folded = anrFold(typed);
        pack([&](const AbEntry& entry) { return anrMatches(words, folded, entry.keys); });
        m_packed = Packed::Matching;
    }
    template<typename Keep>
    void pack(const Keep& keep)
    {
        PackedRows rows;
        for (std::size_t i = 0; i < m_entries->size(); ++i) {
            const AbEntry& entry = (*m_entries)[i];
            if (!keep(entry)) {
                continue;
            }
            PropList row = abEntryProps(entry);
            row.push_back(
                binaryProp(PR_INSTANCE_KEY, keyOfNumber(static_cast<std::uint32_t>(i + 1))));
            rows.append(row);
        }
        reload(std::move(rows));
    }

    std::shared_ptr<const std::vector<AbEntry>> m_entries;
    Packed m_packed = Packed::None;
};

class AbContainer : public PropObject<IABContainer>
{
public:
    // `store` null: the root.
    AbContainer(AddrBook* book, std::vector<StoreConfig> stores, const StoreConfig* store)
        : m_book(book)
        , m_stores(std::move(stores))
        , m_store(store ? std::optional<StoreConfig>(*store) : std::nullopt)
    {
        m_book->AddRef();
    }
    ~AbContainer() override { m_book->Release(); }

    HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG, ULONG, LPUNKNOWN* out) override
    {
        if (!out || !iid) {
            return MAPI_E_INVALID_PARAMETER;
        }
        if (*iid != IID_IMAPITable) {
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        }
        IMAPITable* table = nullptr;
        HRESULT hr = MAPI_E_NO_SUPPORT;
        if (tag == PR_CONTAINER_HIERARCHY) {
            hr = GetHierarchyTable(0, &table);
        } else if (tag == PR_CONTAINER_CONTENTS) {
            hr = GetContentsTable(0, &table);
        }
        *out = SUCCEEDED(hr) ? table : nullptr;
        return hr;
    }
    HRESULT GetContentsTable(ULONG, IMAPITable** table) override
    {
        if (!table) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *table = new AbContentsTable(m_store ? abEntries(*m_store)
                                             : std::make_shared<const std::vector<AbEntry>>());
        return S_OK;
    }
    // One level of containers below the root, so CONVENIENT_DEPTH lists the same rows.
    HRESULT GetHierarchyTable(ULONG, IMAPITable** table) override
    {
        if (!table) {
            return MAPI_E_INVALID_PARAMETER;
        }
        std::vector<PropList> rows;
        if (!m_store) {
            for (const StoreConfig& store : m_stores) {
                rows.push_back(containerProps(&store, m_stores.size()));
            }
        }
        *table = new MemoryTable(std::move(rows), kHierarchyColumns);
        return S_OK;
    }
    HRESULT OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                      LPUNKNOWN* out) override
    {
        return m_book->OpenEntry(cb, id, iid, flags, type, out);
    }
    HRESULT SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) override
    {
        return MAPI_E_NO_SUPPORT;
    }

protected:
    PropList properties() const override
    {
        return containerProps(m_store ? &*m_store : nullptr, m_stores.size());
    }

private:
    AddrBook* m_book;
    std::vector<StoreConfig> m_stores;
    std::optional<StoreConfig> m_store;
};

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n\"'");
    const std::size_t last = text.find_last_not_of(" \t\r\n\"'");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool looksLikeAddress(const std::string& text)
{
    const std::size_t at = text.find('@');
    return at != std::string::npos && at > 0 && at + 1 < text.size() &&
           text.find_first_of(" \t<>[]()") == std::string::npos;
}

// Values of a row handed in by the caller, kept where the resolved entry has none.
PropList rowOf(const ADRENTRY& entry)
{
    PropList row;
    for (ULONG i = 0; i < entry.cValues; ++i) {
        Prop prop;
        if (entry.rgPropVals && propFromValue(entry.rgPropVals[i], &prop)) {
            row.push_back(std::move(prop));
        }
    }
    return row;
}

HRESULT replaceRow(ADRENTRY* entry, const PropList& row)
{
    ULONG count = 0;
    LPSPropValue values = nullptr;
    const HRESULT hr = propArray(row, nullptr, &count, &values);
    if (FAILED(hr)) {
        return hr;
    }
    MAPIFreeBuffer(entry->rgPropVals);
    entry->rgPropVals = values;
    entry->cValues = count;
    return S_OK;
}

} // namespace

std::shared_ptr<const std::vector<AbEntry>> abEntries(const StoreConfig& store)
{
    struct Cached
    {
        std::int64_t stamp = -2;
        std::shared_ptr<const std::vector<AbEntry>> entries;
    };
    static std::mutex mutex;
    static std::map<std::string, Cached> cache;
    const std::int64_t stamp = directoryStamp(store.contacts);
    {
        std::lock_guard lock(mutex);
        const Cached& known = cache[store.contacts];
        if (known.entries && known.stamp == stamp && stamp >= 0) {
            return known.entries;
        }
    }
    auto entries = std::make_shared<const std::vector<AbEntry>>(readEntries(store));
    std::lock_guard lock(mutex);
    cache[store.contacts] = {stamp, entries};
    return entries;
}

PropList abEntryProps(const AbEntry& entry)
{
    PropList props;
    const bool group = entry.ref.kind == AbKind::Group;
    const std::vector<BYTE> id = encodeAbEntryId(entry.ref);
    props.push_back(binaryProp(PR_ENTRYID, id));
    props.push_back(binaryProp(PR_RECORD_KEY, id));
    props.push_back(stringProp(PR_DISPLAY_NAME, entry.displayName));
    props.push_back(longProp(PR_OBJECT_TYPE, group ? MAPI_DISTLIST : MAPI_MAILUSER));
    props.push_back(longProp(PR_DISPLAY_TYPE, group ? DT_PRIVATE_DISTLIST : DT_MAILUSER));
    if (!group) {
        props.push_back(stringProp(PR_EMAIL_ADDRESS, entry.address));
        props.push_back(stringProp(PR_ADDRTYPE, "SMTP"));
        props.push_back(binaryProp(PR_SEARCH_KEY, addressSearchKey("SMTP", entry.address)));
    } else {
        props.push_back(stringProp(PR_ADDRTYPE, "MAPIPDL"));
    }
    for (const auto& [tag, value] :
         {std::pair{PR_GIVEN_NAME, &entry.givenName}, std::pair{PR_SURNAME, &entry.surname},
          std::pair{PR_COMPANY_NAME, &entry.company}}) {
        if (!value->empty()) {
            props.push_back(stringProp(tag, *value));
        }
    }
    return props;
}

bool explicitAddress(const std::string& text, std::string* name, std::string* address)
{
    const std::string t = trimmed(text);
    if (g_ascii_strncasecmp(t.c_str(), "SMTP:", 5) == 0 && looksLikeAddress(trimmed(t.substr(5)))) {
        name->clear();
        *address = trimmed(t.substr(5));
        return true;
    }
    for (const auto& [open, close] : {std::pair{'<', '>'}, std::pair{'[', ']'}}) {
        const std::size_t start = t.rfind(open);
        const std::size_t end = t.rfind(close);
        if (start == std::string::npos || end != t.size() - 1 || end < start) {
            continue;
        }
        std::string inner = trimmed(t.substr(start + 1, end - start - 1));
        if (g_ascii_strncasecmp(inner.c_str(), "SMTP:", 5) == 0) {
            inner = trimmed(inner.substr(5));
        }
        if (looksLikeAddress(inner)) {
            *name = trimmed(t.substr(0, start));
            *address = inner;
            return true;
        }
    }
    if (looksLikeAddress(t)) {
        name->clear();
        *address = t;
        return true;
    }
    return false;
}

AddrBook::AddrBook(std::vector<StoreConfig> stores)
{
    for (StoreConfig& store : stores) {
        if (hasContactsFolder(store)) {
            m_stores.push_back(std::move(store));
        }
    }
}

PropList AddrBook::properties() const
{
    return {longProp(PR_OBJECT_TYPE, MAPI_ADDRBOOK)};
}

const StoreConfig* AddrBook::findStore(const StoreKey& key) const
{
    for (const StoreConfig& store : m_stores) {
        if (store.key == key) {
            return &store;
        }
    }
    return nullptr;
}

bool AddrBook::entryProps(const void* id, ULONG size, PropList* props) const
{
    OneOff address;
    if (id && decodeOneOff(static_cast<const BYTE*>(id), size, &address)) {
        MapiPtr<MailUser> user(new MailUser(address));
        *props = {
            binaryProp(PR_ENTRYID,
                       {static_cast<const BYTE*>(id), static_cast<const BYTE*>(id) + size}),
            longProp(PR_OBJECT_TYPE, MAPI_MAILUSER),
            longProp(PR_DISPLAY_TYPE, DT_MAILUSER),
            stringProp(PR_DISPLAY_NAME, address.name),
            stringProp(PR_ADDRTYPE, address.addressType),
            stringProp(PR_EMAIL_ADDRESS, address.address),
            binaryProp(PR_SEARCH_KEY, addressSearchKey(address.addressType, address.address))};
        return true;
    }
    AbRef ref;
    if (!decodeAbEntryId(id, size, &ref) ||
        (ref.kind != AbKind::MailUser && ref.kind != AbKind::Group)) {
        return false;
    }
    const StoreConfig* store = findStore(ref.store);
    if (!store) {
        return false;
    }
    for (const AbEntry& entry : *abEntries(*store)) {
        if (entry.ref.contact == ref.contact && entry.ref.kind == ref.kind &&
            entry.ref.email == ref.email) {
            *props = abEntryProps(entry);
            return true;
        }
    }
    return false;
}

HRESULT AddrBook::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID, ULONG, ULONG* lpulObjType,
                            LPUNKNOWN* lppUnk)
{
    if (!lpulObjType || !lppUnk) {
        return MAPI_E_INVALID_PARAMETER;
    }
    AbRef ref;
    if (cbEntryID == 0 || !lpEntryID) {
        ref.kind = AbKind::Root;
    } else if (!decodeAbEntryId(lpEntryID, cbEntryID, &ref)) {
        PropList props;
        if (!entryProps(lpEntryID, cbEntryID, &props)) {
            return MAPI_E_UNKNOWN_ENTRYID;
        }
        *lpulObjType = MAPI_MAILUSER;
        *lppUnk = new AbMailUser(std::move(props));
        return S_OK;
    }
    if (ref.kind == AbKind::Root || ref.kind == AbKind::Container) {
        const StoreConfig* store = ref.kind == AbKind::Root ? nullptr : findStore(ref.store);
        if (ref.kind == AbKind::Container && !store) {
            return MAPI_E_NOT_FOUND;
        }
        *lpulObjType = MAPI_ABCONT;
        *lppUnk = new AbContainer(this, m_stores, store);
        return S_OK;
    }
    PropList props;
    if (!entryProps(lpEntryID, cbEntryID, &props)) {
        return MAPI_E_NOT_FOUND;
    }
    *lpulObjType = ref.kind == AbKind::Group ? MAPI_DISTLIST : MAPI_MAILUSER;
    *lppUnk = new AbMailUser(std::move(props));
    return S_OK;
}

HRESULT AddrBook::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                                  LPENTRYID lpEntryID2, ULONG, ULONG* lpulResult)
{
    if (!lpulResult) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lpulResult = sameEntry(lpEntryID1, cbEntryID1, lpEntryID2, cbEntryID2) ? 1 : 0;
    return S_OK;
}

HRESULT AddrBook::CreateOneOff(const char* lpszName, const char* lpszAdrType,
                               const char* lpszAddress, ULONG ulFlags, ULONG* lpcbEntryID,
                               LPENTRYID* lppEntryID)
{
    if (!lpszAdrType || !lpszAddress || !*lpszAdrType || !lpcbEntryID || !lppEntryID) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const OneOff entry{lpszName ? lpszName : lpszAddress, lpszAdrType, lpszAddress};
    return allocEntryId(
        encodeOneOff(entry, ulFlags & MAPI_SEND_NO_RICH_INFO, ulFlags & MAPI_UNICODE), lpcbEntryID,
        lppEntryID);
}

AddrBook::Match AddrBook::resolve(const std::string& name, PropList* resolved) const
{
    std::string shown;
    std::string address;
    const bool isAddress = explicitAddress(name, &shown, &address);
    const std::string folded = anrFold(isAddress ? address : name);
    const std::vector<std::string> words = anrWords(name);
    std::vector<const AbEntry*> candidates;
    std::vector<const AbEntry*> exact;
    std::vector<std::shared_ptr<const std::vector<AbEntry>>> held;
    for (const StoreConfig& store : m_stores) {
        held.push_back(abEntries(store));
        for (const AbEntry& entry : *held.back()) {
            if (isAddress) {
                if (entry.keys.address == folded) {
                    candidates.push_back(&entry);
                }
            } else if (anrMatches(words, folded, entry.keys)) {
                candidates.push_back(&entry);
                if (entry.keys.displayName == folded || entry.keys.address == folded) {
                    exact.push_back(&entry);
                }
            }
        }
    }
    // Several matches, of which one is the whole name or address: that one is meant.
    if (candidates.size() > 1 && exact.size() == 1) {
        candidates = exact;
    }
    if (candidates.size() == 1) {
        *resolved = abEntryProps(*candidates.front());
        return Match::Resolved;
    }
    if (isAddress && candidates.empty()) {
        const OneOff entry{shown.empty() ? address : shown, "SMTP", address};
        *resolved = {binaryProp(PR_ENTRYID, encodeOneOff(entry)),
                     stringProp(PR_DISPLAY_NAME, entry.name),
                     stringProp(PR_EMAIL_ADDRESS, address),
                     stringProp(PR_ADDRTYPE, "SMTP"),
                     longProp(PR_OBJECT_TYPE, MAPI_MAILUSER),
                     longProp(PR_DISPLAY_TYPE, DT_MAILUSER),
                     binaryProp(PR_SEARCH_KEY, addressSearchKey("SMTP", address))};
        return Match::Resolved;
    }
    return candidates.empty() ? Match::Unresolved : Match::Ambiguous;
}

HRESULT AddrBook::ResolveName(ULONG_PTR, ULONG, const char*, LPADRLIST lpAdrList)
{
    if (!lpAdrList) {
        return MAPI_E_INVALID_PARAMETER;
    }
    bool ambiguous = false;
    bool unresolved = false;
    for (ULONG i = 0; i < lpAdrList->cEntries; ++i) {
        ADRENTRY& entry = lpAdrList->aEntries[i];
        PropList row = rowOf(entry);
        const Prop* id = findProp(row, PR_ENTRYID);
        if (id && !id->data.empty()) {
            continue; // resolved already
        }
        const Prop* name = findProp(row, PR_DISPLAY_NAME);
        PropList resolved;
        const Match match = name ? resolve(name->text(), &resolved) : Match::Unresolved;
        ambiguous |= match == Match::Ambiguous;
        unresolved |= match == Match::Unresolved;
        if (match != Match::Resolved) {
            continue;
        }
        // The entry's values replace the typed ones; the others (recipient type, rich text
        // choice...) stay.
        for (Prop& kept : row) {
            if (!findProp(resolved, CHANGE_PROP_TYPE(kept.tag, PT_UNSPECIFIED))) {
                resolved.push_back(std::move(kept));
            }
        }
        const HRESULT hr = replaceRow(&entry, resolved);
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (ambiguous) {
        return MAPI_E_AMBIGUOUS_RECIP;
    }
    return unresolved ? MAPI_E_NOT_FOUND : S_OK;
}

HRESULT AddrBook::PrepareRecips(ULONG, LPSPropTagArray lpPropTagArray, LPADRLIST lpRecipList)
{
    if (!lpRecipList) {
        return MAPI_E_INVALID_PARAMETER;
    }
    for (ULONG i = 0; i < lpRecipList->cEntries; ++i) {
        ADRENTRY& entry = lpRecipList->aEntries[i];
        PropList row = rowOf(entry);
        const Prop* id = findProp(row, PR_ENTRYID);
        PropList fromEntry;
        if (id && !entryProps(id->data.data(), static_cast<ULONG>(id->data.size()), &fromEntry)) {
            fromEntry.clear();
        }
        PropList ordered;
        const ULONG wanted = lpPropTagArray ? lpPropTagArray->cValues : 0;
        for (ULONG k = 0; k < wanted; ++k) {
            const ULONG tag = lpPropTagArray->aulPropTag[k];
            const Prop* value = findProp(row, tag);
            value = value ? value : findProp(fromEntry, tag);
            if (value) {
                ordered.push_back(*value);
            } else {
                ordered.push_back(longProp(CHANGE_PROP_TYPE(tag, PT_ERROR), MAPI_E_NOT_FOUND));
            }
        }
        for (Prop& rest : row) {
            const bool asked = std::any_of(ordered.begin(), ordered.end(), [&](const Prop& p) {
                return PROP_ID(p.tag) == PROP_ID(rest.tag);
            });
            if (!asked) {
                ordered.push_back(std::move(rest));
            }
        }
        const HRESULT hr = replaceRow(&entry, ordered);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT AddrBook::Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList)
{
    if (!lpAdrParms || (lpAdrParms->cDestFields > 0 && !lppAdrList)) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (!(lpAdrParms->ulFlags & DIALOG_MODAL)) {
        return MAPI_E_NO_SUPPORT; // no modeless address book
    }
    auto* show = vnt::mapi::uiFunctionAs<VntAddressDialogFunction>(kAddressDialogFunction);
    if (!show) {
        return MAPI_E_NO_SUPPORT;
    }
    VntAddressDialogCall call{};
    call.addrBook = this;
    call.uiParam = lpulUIParam ? *lpulUIParam : 0;
    call.params = lpAdrParms;
    call.current = lppAdrList ? *lppAdrList : nullptr;
    call.allocateBuffer = &MAPIAllocateBuffer;
    call.allocateMore = &MAPIAllocateMore;
    call.freeBuffer = &MAPIFreeBuffer;
    const HRESULT hr = show(&call);
    if (FAILED(hr)) {
        FreePadrlist(call.chosen);
        return hr;
    }
    if (lpAdrParms->cDestFields > 0 && call.chosen) {
        FreePadrlist(*lppAdrList);
        *lppAdrList = call.chosen;
    } else {
        FreePadrlist(call.chosen);
    }
    return S_OK;
}

} // namespace vntmapi
