#include "EntryId.h"

#include "vntmapi/MapiEntryPoints.h"

#include <algorithm>
#include <cstring>

namespace vntmapi {

namespace {

constexpr std::array<BYTE, 16> kProviderId = {0x56, 0x4E, 0x54, 0x4D, 0x44, 0x49, 0x52, 0x01,
                                              0x8C, 0x3A, 0x4F, 0x21, 0x9E, 0x77, 0x10, 0x5B};
constexpr std::size_t kHeaderSize = 40;
constexpr BYTE kVersion = 1;

void appendText(std::vector<BYTE>* out, const std::string& text)
{
    out->insert(out->end(), text.begin(), text.end());
    out->push_back(0);
}

// Reads one NUL-terminated text starting at *pos; false when the terminator is missing.
bool readText(const BYTE* data, std::size_t size, std::size_t* pos, std::string* text)
{
    const BYTE* begin = data + *pos;
    const BYTE* end = data + size;
    const BYTE* nul = std::find(begin, end, BYTE{0});
    if (nul == end) {
        return false;
    }
    text->assign(begin, nul);
    *pos = static_cast<std::size_t>(nul - data) + 1;
    return true;
}

} // namespace

std::vector<BYTE> encodeEntryId(const EntryRef& ref)
{
    std::vector<BYTE> out(kHeaderSize, 0);
    std::copy(kProviderId.begin(), kProviderId.end(), out.begin() + 4);
    out[20] = static_cast<BYTE>(ref.kind);
    out[21] = kVersion;
    std::copy(ref.store.begin(), ref.store.end(), out.begin() + 24);
    if (ref.kind != EntryKind::Store) {
        appendText(&out, ref.folder);
    }
    if (ref.kind == EntryKind::Message) {
        appendText(&out, ref.message);
    }
    return out;
}

MessageIdMaker::MessageIdMaker(const StoreKey& store, const std::string& folder)
{
    EntryRef ref = folderRef(store, folder);
    ref.kind = EntryKind::Message;
    const std::vector<BYTE> empty = encodeEntryId(ref);
    // Everything up to the message name, which comes last with its NUL.
    m_id.assign(empty.begin(), empty.end() - 1);
    m_shared = m_id.size();
}

std::string_view MessageIdMaker::operator()(std::string_view name)
{
    m_id.resize(m_shared);
    m_id.append(name);
    m_id.push_back('\0');
    return m_id;
}

bool decodeEntryId(const void* data, ULONG size, EntryRef* ref)
{
    const auto* bytes = static_cast<const BYTE*>(data);
    if (!bytes || size < kHeaderSize || bytes[21] != kVersion ||
        !std::equal(kProviderId.begin(), kProviderId.end(), bytes + 4)) {
        return false;
    }
    const BYTE kind = bytes[20];
    if (kind < 1 || kind > 3) {
        return false;
    }
    EntryRef result;
    result.kind = static_cast<EntryKind>(kind);
    std::copy(bytes + 24, bytes + 40, result.store.begin());
    std::size_t pos = kHeaderSize;
    if (result.kind != EntryKind::Store && !readText(bytes, size, &pos, &result.folder)) {
        return false;
    }
    if (result.kind == EntryKind::Message &&
        (!readText(bytes, size, &pos, &result.message) || result.message.empty())) {
        return false;
    }
    if (pos != size) {
        return false;
    }
    *ref = std::move(result);
    return true;
}

EntryRef storeRef(const StoreKey& store)
{
    EntryRef ref;
    ref.kind = EntryKind::Store;
    ref.store = store;
    return ref;
}

EntryRef folderRef(const StoreKey& store, const std::string& folder)
{
    EntryRef ref;
    ref.kind = EntryKind::Folder;
    ref.store = store;
    ref.folder = folder;
    return ref;
}

HRESULT allocEntryId(const std::vector<BYTE>& id, ULONG* size, LPENTRYID* out)
{
    if (!size || !out) {
        return MAPI_E_INVALID_PARAMETER;
    }
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(id.size()), &buffer) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    std::memcpy(buffer, id.data(), id.size());
    *size = static_cast<ULONG>(id.size());
    *out = static_cast<LPENTRYID>(buffer);
    return S_OK;
}

bool sameEntry(const void* a, ULONG sizeA, const void* b, ULONG sizeB)
{
    if (!a || !b || sizeA != sizeB || sizeA < 4) {
        return false;
    }
    return std::memcmp(static_cast<const BYTE*>(a) + 4, static_cast<const BYTE*>(b) + 4,
                       sizeA - 4) == 0;
}

} // namespace vntmapi
