// One-off entry identifiers (an address that lives in no address book) and the flat entry
// lists that carry several of them, such as a message's reply-to entries.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <string>
#include <vector>

namespace vntmapi {

struct OneOff
{
    std::string name; // UTF-8
    std::string addressType = "SMTP";
    std::string address;
};

// 8-bit strings when all three are ASCII and `unicode` is not asked for, else the Unicode
// form; `noRichInfo` sets the flag.
std::vector<BYTE> encodeOneOff(const OneOff& entry, bool noRichInfo = false, bool unicode = false);
bool decodeOneOff(const BYTE* data, std::size_t size, OneOff* entry);

// FLATENTRYLIST: a count, the byte size, then each entry's size and bytes padded to 4 bytes.
std::vector<BYTE> encodeFlatEntryList(const std::vector<std::vector<BYTE>>& entries);
bool decodeFlatEntryList(const BYTE* data, std::size_t size,
                         std::vector<std::vector<BYTE>>* entries);

// PR_SEARCH_KEY of an address: "TYPE:ADDRESS" in upper case with its terminating zero.
std::vector<BYTE> addressSearchKey(const std::string& addressType, const std::string& address);

} // namespace vntmapi
