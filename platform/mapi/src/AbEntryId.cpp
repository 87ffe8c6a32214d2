#include "AbEntryId.h"

#include <algorithm>

namespace vntmapi {

namespace {

constexpr std::array<BYTE, 16> kAddressBookId = {0x56, 0x4E, 0x54, 0x41, 0x42, 0x4B, 0x01, 0x00,
                                                 0x3B, 0x62, 0x91, 0x0C, 0x5E, 0xA4, 0x27, 0xD8};
constexpr std::size_t kHeaderSize = 40;
constexpr BYTE kVersion = 1;

} // namespace

std::vector<BYTE> encodeAbEntryId(const AbRef& ref)
{
    std::vector<BYTE> out(kHeaderSize, 0);
    std::copy(kAddressBookId.begin(), kAddressBookId.end(), out.begin() + 4);
    out[20] = static_cast<BYTE>(ref.kind);
    out[21] = kVersion;
    out[22] = ref.email;
    if (ref.kind != AbKind::Root) {
        std::copy(ref.store.begin(), ref.store.end(), out.begin() + 24);
    }
    if (ref.kind == AbKind::MailUser || ref.kind == AbKind::Group) {
        out.reserve(kHeaderSize + ref.contact.size() + 1);
        for (const char c : ref.contact) {
            out.push_back(static_cast<BYTE>(c));
        }
        out.push_back(0);
    }
    return out;
}

bool decodeAbEntryId(const void* data, ULONG size, AbRef* ref)
{
    const auto* bytes = static_cast<const BYTE*>(data);
    if (!bytes || size < kHeaderSize || bytes[21] != kVersion ||
        !std::equal(kAddressBookId.begin(), kAddressBookId.end(), bytes + 4) || bytes[20] < 1 ||
        bytes[20] > 4) {
        return false;
    }
    AbRef result;
    result.kind = static_cast<AbKind>(bytes[20]);
    result.email = bytes[22];
    std::copy(bytes + 24, bytes + 40, result.store.begin());
    const bool named = result.kind == AbKind::MailUser || result.kind == AbKind::Group;
    if (!named) {
        if (size != kHeaderSize) {
            return false;
        }
    } else {
        const BYTE* end = bytes + size;
        const BYTE* nul = std::find(bytes + kHeaderSize, end, BYTE{0});
        if (nul == end || nul + 1 != end || nul == bytes + kHeaderSize || result.email > 2) {
            return false;
        }
        result.contact.assign(bytes + kHeaderSize, nul);
    }
    *ref = std::move(result);
    return true;
}

} // namespace vntmapi
