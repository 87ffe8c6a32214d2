#include "OneOff.h"

#include <algorithm>
#include <cstring>
#include <glib.h>

namespace vntmapi {

namespace {

constexpr std::size_t kHeader = 24; // flags, provider uid, version, one-off flags

bool isAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void appendUtf16(std::vector<BYTE>* out, const std::string& text)
{
    glong units = 0;
    gunichar2* utf16 = g_utf8_to_utf16(text.c_str(), -1, nullptr, &units, nullptr);
    for (glong i = 0; utf16 && i < units; ++i) {
        out->push_back(static_cast<BYTE>(utf16[i] & 0xFF));
        out->push_back(static_cast<BYTE>(utf16[i] >> 8));
    }
    g_free(utf16);
    out->push_back(0);
    out->push_back(0);
}

// One zero-terminated string from `*pos`; false when it runs past the end.
bool readString(const BYTE* data, std::size_t size, bool unicode, std::size_t* pos,
                std::string* out)
{
    if (!unicode) {
        const BYTE* end = static_cast<const BYTE*>(std::memchr(data + *pos, 0, size - *pos));
        if (!end) {
            return false;
        }
        out->assign(reinterpret_cast<const char*>(data + *pos), end - (data + *pos));
        *pos = static_cast<std::size_t>(end - data) + 1;
        return true;
    }
    std::vector<gunichar2> units;
    for (;; *pos += 2) {
        if (*pos + 1 >= size) {
            return false;
        }
        const auto unit = static_cast<gunichar2>(data[*pos] | (data[*pos + 1] << 8));
        if (unit == 0) {
            *pos += 2;
            break;
        }
        units.push_back(unit);
    }
    gchar* utf8 =
        g_utf16_to_utf8(units.data(), static_cast<glong>(units.size()), nullptr, nullptr, nullptr);
    if (!utf8) {
        return false;
    }
    *out = utf8;
    g_free(utf8);
    return true;
}

void putLong(std::vector<BYTE>* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out->push_back(static_cast<BYTE>(value >> (8 * i)));
    }
}

std::uint32_t getLong(const BYTE* data)
{
    return data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
}

} // namespace

std::vector<BYTE> encodeOneOff(const OneOff& entry, bool noRichInfo, bool wide)
{
    std::vector<BYTE> out(kHeader, 0);
    std::memcpy(out.data() + 4, &MAPI_ONE_OFF_UID, sizeof(GUID));
    const bool unicode =
        wide || !isAscii(entry.name) || !isAscii(entry.addressType) || !isAscii(entry.address);
    const unsigned flags =
        (unicode ? MAPI_ONE_OFF_UNICODE : 0) | (noRichInfo ? MAPI_ONE_OFF_NO_RICH_INFO : 0);
    out[22] = static_cast<BYTE>(flags & 0xFF);
    out[23] = static_cast<BYTE>(flags >> 8);
    for (const std::string* text : {&entry.name, &entry.addressType, &entry.address}) {
        if (unicode) {
            appendUtf16(&out, *text);
        } else {
            out.insert(out.end(), text->begin(), text->end());
            out.push_back(0);
        }
    }
    return out;
}

bool decodeOneOff(const BYTE* data, std::size_t size, OneOff* entry)
{
    if (!data || size < kHeader || std::memcmp(data + 4, &MAPI_ONE_OFF_UID, sizeof(GUID)) != 0) {
        return false;
    }
    const bool unicode = (data[22] | (data[23] << 8)) & MAPI_ONE_OFF_UNICODE;
    std::size_t pos = kHeader;
    return readString(data, size, unicode, &pos, &entry->name) &&
           readString(data, size, unicode, &pos, &entry->addressType) &&
           readString(data, size, unicode, &pos, &entry->address);
}

std::vector<BYTE> encodeFlatEntryList(const std::vector<std::vector<BYTE>>& entries)
{
    std::vector<BYTE> body;
    for (const std::vector<BYTE>& entry : entries) {
        putLong(&body, static_cast<std::uint32_t>(entry.size()));
        body.insert(body.end(), entry.begin(), entry.end());
        body.resize((body.size() + 3) & ~std::size_t{3}, 0);
    }
    std::vector<BYTE> out;
    putLong(&out, static_cast<std::uint32_t>(entries.size()));
    putLong(&out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool decodeFlatEntryList(const BYTE* data, std::size_t size,
                         std::vector<std::vector<BYTE>>* entries)
{
    if (!data || size < 8) {
        return false;
    }
    const std::uint32_t count = getLong(data);
    // Writers disagree on whether the last entry's padding counts: take the bytes there are.
    const std::size_t end = std::min<std::size_t>(size, 8 + std::size_t{getLong(data + 4)} + 3);
    std::size_t pos = 8;
    entries->clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (pos + 4 > end) {
            return false;
        }
        const std::size_t length = getLong(data + pos);
        if (length > end - pos - 4) {
            return false;
        }
        entries->emplace_back(data + pos + 4, data + pos + 4 + length);
        pos = (pos + 4 + length + 3) & ~std::size_t{3};
    }
    return true;
}

std::vector<BYTE> addressSearchKey(const std::string& addressType, const std::string& address)
{
    std::string key = addressType + ":" + address;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(g_ascii_toupper(c)); });
    std::vector<BYTE> out(key.begin(), key.end());
    out.push_back(0);
    return out;
}

} // namespace vntmapi
