#include "NamedProps.h"

#include "vntmapi/MapiEntryPoints.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <optional>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vntmapi {

namespace {

constexpr char kFileName[] = "vntmapi-names";
constexpr ULONG kFirstId = 0x8000;
constexpr ULONG kLastId = 0xFFFE;

struct Name
{
    GUID guid{};
    bool isString = false;
    LONG number = 0;
    std::string text;
    ULONG id = 0;
};

bool sameName(const Name& a, const Name& b)
{
    return a.guid == b.guid && a.isString == b.isString &&
           (a.isString ? a.text == b.text : a.number == b.number);
}

std::string filePath(const std::string& root)
{
    return root + "/" + kFileName;
}

std::string guidText(const GUID& g)
{
    char text[40];
    g_snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X%02X%02X%02X%02X%02X%02X",
               static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
               g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool parseGuid(const std::string& text, GUID* g)
{
    unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    if (std::sscanf(text.c_str(), "%8X-%4X-%4X-%2X%2X%2X%2X%2X%2X%2X%2X", &d1, &d2, &d3, &b[0],
                    &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) != 11) {
        return false;
    }
    g->Data1 = d1;
    g->Data2 = static_cast<std::uint16_t>(d2);
    g->Data3 = static_cast<std::uint16_t>(d3);
    for (int i = 0; i < 8; ++i) {
        g->Data4[i] = static_cast<std::uint8_t>(b[i]);
    }
    return true;
}

// One line a name: "<id hex> <guid> N <number>" or "<id hex> <guid> S <string>".
std::optional<Name> parseLine(const std::string& line)
{
    std::istringstream in(line);
    std::string id, guid, kind;
    in >> id >> guid >> kind;
    Name name;
    name.id = static_cast<ULONG>(std::strtoul(id.c_str(), nullptr, 16));
    if (name.id < kFirstId || name.id > kLastId || !parseGuid(guid, &name.guid)) {
        return std::nullopt;
    }
    in.get(); // the single space before the value
    std::string value;
    std::getline(in, value);
    name.isString = kind == "S";
    if (name.isString) {
        name.text = value;
    } else if (kind == "N") {
        name.number = static_cast<LONG>(std::strtol(value.c_str(), nullptr, 10));
    } else {
        return std::nullopt;
    }
    return name;
}

std::vector<Name> loadNames(const std::string& root)
{
    std::vector<Name> names;
    gchar* data = nullptr;
    if (!g_file_get_contents(filePath(root).c_str(), &data, nullptr, nullptr)) {
        return names;
    }
    std::istringstream in(data);
    g_free(data);
    std::string line;
    while (std::getline(in, line)) {
        if (std::optional<Name> name = parseLine(line)) {
            names.push_back(std::move(*name));
        }
    }
    return names;
}

// Written to a temporary file and renamed over the old one, so a crash leaves either map whole.
bool saveNames(const std::string& root, const std::vector<Name>& names)
{
    std::string text;
    for (const Name& n : names) {
        char id[8];
        g_snprintf(id, sizeof(id), "%04X", static_cast<unsigned>(n.id));
        text += std::string(id) + " " + guidText(n.guid) + (n.isString ? " S " : " N ") +
                (n.isString ? n.text : std::to_string(n.number)) + "\n";
    }
    return g_file_set_contents(filePath(root).c_str(), text.data(),
                               static_cast<gssize>(text.size()), nullptr);
}

bool nameFromCaller(const MAPINAMEID* in, Name* out)
{
    if (!in || !in->lpguid) {
        return false;
    }
    out->guid = *in->lpguid;
    out->isString = in->ulKind == MNID_STRING;
    if (out->isString) {
        // A line break would end the line of the map file.
        if (!in->Kind.lpwstrName || std::strpbrk(in->Kind.lpwstrName, "\r\n")) {
            return false;
        }
        out->text = in->Kind.lpwstrName;
        return true;
    }
    out->number = in->Kind.lID;
    return in->ulKind == MNID_ID;
}

const Name* findName(const std::vector<Name>& names, const Name& wanted)
{
    for (const Name& n : names) {
        if (sameName(n, wanted)) {
            return &n;
        }
    }
    return nullptr;
}

const Name* findId(const std::vector<Name>& names, ULONG id)
{
    for (const Name& n : names) {
        if (n.id == id) {
            return &n;
        }
    }
    return nullptr;
}

// A numeric name in PS_MAPI is an ordinary property: its id is its number.
bool isMapiName(const Name& name)
{
    return !name.isString && name.guid == PS_MAPI && name.number > 0 &&
           static_cast<ULONG>(name.number) < kFirstId;
}

// The id of `wanted`, added to `names` when `create` allows; 0 when there is none.
ULONG idOf(std::vector<Name>* names, Name wanted, bool create, bool* added)
{
    if (isMapiName(wanted)) {
        return static_cast<ULONG>(wanted.number);
    }
    if (const Name* known = findName(*names, wanted)) {
        return known->id;
    }
    ULONG next = kFirstId;
    for (const Name& n : *names) {
        next = std::max(next, n.id + 1);
    }
    if (!create || next > kLastId) {
        return 0;
    }
    wanted.id = next;
    names->push_back(std::move(wanted));
    *added = true;
    return next;
}

LPSPropTagArray newTagArray(ULONG count)
{
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(count ? count : 1)), &buffer) !=
        S_OK) {
        return nullptr;
    }
    auto* tags = static_cast<LPSPropTagArray>(buffer);
    tags->cValues = count;
    return tags;
}

HRESULT allIds(const std::vector<Name>& names, LPSPropTagArray* out)
{
    LPSPropTagArray tags = newTagArray(static_cast<ULONG>(names.size()));
    if (!tags) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        tags->aulPropTag[i] = PROP_TAG(PT_UNSPECIFIED, names[i].id);
    }
    *out = tags;
    return S_OK;
}

// A MAPINAMEID with its GUID and string allocated on `owner`.
LPMAPINAMEID copyName(const Name& name, void* owner)
{
    void* memory = nullptr;
    if (MAPIAllocateMore(sizeof(MAPINAMEID) + sizeof(GUID), owner, &memory) != S_OK) {
        return nullptr;
    }
    auto* out = static_cast<LPMAPINAMEID>(memory);
    auto* guid = reinterpret_cast<GUID*>(out + 1);
    *guid = name.guid;
    out->lpguid = guid;
    out->ulKind = name.isString ? MNID_STRING : MNID_ID;
    out->Kind.lID = name.number;
    if (name.isString) {
        void* text = nullptr;
        if (MAPIAllocateMore(static_cast<ULONG>(name.text.size() + 1), owner, &text) != S_OK) {
            return nullptr;
        }
        std::memcpy(text, name.text.c_str(), name.text.size() + 1);
        out->Kind.lpwstrName = static_cast<char*>(text);
    }
    return out;
}

// The names of `ids`, or a null entry where an id has none; false on allocation failure.
bool fillNames(const std::vector<Name>& names, const SPropTagArray& ids, LPMAPINAMEID* out,
               bool* missing)
{
    for (ULONG i = 0; i < ids.cValues; ++i) {
        const ULONG id = PROP_ID(ids.aulPropTag[i]);
        out[i] = nullptr;
        if (id != 0 && id < kFirstId) {
            Name ordinary;
            ordinary.guid = PS_MAPI;
            ordinary.number = static_cast<LONG>(id);
            out[i] = copyName(ordinary, out);
            if (!out[i]) {
                return false;
            }
            continue;
        }
        const Name* name = findId(names, id);
        if (!name) {
            *missing = true;
            continue;
        }
        out[i] = copyName(*name, out);
        if (!out[i]) {
            return false;
        }
    }
    return true;
}

// Every id of the map, or those of one property set.
HRESULT idsOfSet(const std::vector<Name>& names, const GUID* set, LPSPropTagArray* out)
{
    std::vector<Name> chosen;
    for (const Name& n : names) {
        if (!set || n.guid == *set) {
            chosen.push_back(n);
        }
    }
    return allIds(chosen, out);
}

// Holds an exclusive lock on the Maildir root while the map is read, extended and written, so
// two sessions (in this process or another) adding names at once cannot hand out one id twice.
class MapLock
{
public:
    explicit MapLock(const std::string& root)
        : m_fd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd >= 0) {
            flock(m_fd, LOCK_EX);
        }
    }
    MapLock(const MapLock&) = delete;
    MapLock& operator=(const MapLock&) = delete;
    ~MapLock()
    {
        if (m_fd >= 0) {
            close(m_fd); // releases the lock
        }
    }

private:
    int m_fd;
};

} // namespace

HRESULT idsFromNames(const std::string& root, ULONG cPropNames, LPMAPINAMEID* lppPropNames,
                     ULONG ulFlags, LPSPropTagArray* lppPropTags)
{
    if (!lppPropTags || (cPropNames != 0 && !lppPropNames)) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const MapLock lock(root);
    std::vector<Name> names = loadNames(root);
    if (cPropNames == 0 || !lppPropNames) {
        return allIds(names, lppPropTags);
    }
    LPSPropTagArray tags = newTagArray(cPropNames);
    if (!tags) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    bool added = false;
    bool missing = false;
    for (ULONG i = 0; i < cPropNames; ++i) {
        Name wanted;
        const ULONG id = nameFromCaller(lppPropNames[i], &wanted)
                             ? idOf(&names, std::move(wanted), ulFlags & MAPI_CREATE, &added)
                             : 0;
        missing |= id == 0;
        tags->aulPropTag[i] = id ? PROP_TAG(PT_UNSPECIFIED, id) : PROP_TAG(PT_ERROR, 0);
    }
    if (added && !saveNames(root, names)) {
        MAPIFreeBuffer(tags);
        return MAPI_E_DISK_ERROR;
    }
    *lppPropTags = tags;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT namesFromIds(const std::string& root, LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid,
                     ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames)
{
    if (!lppPropTags || !lpcPropNames || !lpppPropNames) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const std::vector<Name> names = loadNames(root);
    const bool askedAll = *lppPropTags == nullptr;
    if (askedAll) {
        const HRESULT hr = idsOfSet(names, lpPropSetGuid, lppPropTags);
        if (FAILED(hr)) {
            return hr;
        }
    }
    const SPropTagArray& ids = **lppPropTags;
    void* buffer = nullptr;
    bool missing = false;
    if (MAPIAllocateBuffer(static_cast<ULONG>(sizeof(LPMAPINAMEID) * (ids.cValues + 1)), &buffer) !=
            S_OK ||
        !fillNames(names, ids, static_cast<LPMAPINAMEID*>(buffer), &missing)) {
        MAPIFreeBuffer(buffer);
        if (askedAll) {
            MAPIFreeBuffer(std::exchange(*lppPropTags, nullptr));
        }
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* out = static_cast<LPMAPINAMEID*>(buffer);
    *lpcPropNames = ids.cValues;
    *lpppPropNames = out;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

ULONG mapNamedTag(const std::string& fromRoot, const std::string& toRoot, ULONG tag)
{
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(1)), &buffer) != S_OK) {
        return PR_NULL;
    }
    auto* tags = static_cast<LPSPropTagArray>(buffer);
    tags->cValues = 1;
    tags->aulPropTag[0] = tag;
    ULONG count = 0;
    LPMAPINAMEID* names = nullptr;
    ULONG mapped = PR_NULL;
    if (SUCCEEDED(namesFromIds(fromRoot, &tags, nullptr, &count, &names)) && count == 1 && names &&
        names[0]) {
        LPSPropTagArray ids = nullptr;
        if (idsFromNames(toRoot, 1, names, MAPI_CREATE, &ids) == S_OK && ids &&
            PROP_TYPE(ids->aulPropTag[0]) != PT_ERROR) {
            mapped = CHANGE_PROP_TYPE(ids->aulPropTag[0], PROP_TYPE(tag));
        }
        MAPIFreeBuffer(ids);
    }
    MAPIFreeBuffer(names);
    MAPIFreeBuffer(tags);
    return mapped;
}

} // namespace vntmapi
