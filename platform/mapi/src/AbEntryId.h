// Entry identifiers of the address book. Layout (bytes):
//   0   4  flags, zero
//   4  16  address book provider id (not the store's)
//  20   1  kind: 1 root, 2 container (a store's contacts folder), 3 mail user, 4 group
//  21   1  layout version, 1
//  22   1  e-mail entry of the contact, 0 to 2 (mail users)
//  23   1  zero
//  24  16  store key (containers, mail users, groups)
//  40   .  contact name, the vCard file name without ".vcf" (UTF-8, NUL-terminated)
#pragma once

#include "EntryId.h"

namespace vntmapi {

enum class AbKind : BYTE { Root = 1, Container = 2, MailUser = 3, Group = 4 };

struct AbRef
{
    AbKind kind = AbKind::Root;
    StoreKey store{};
    std::string contact;
    BYTE email = 0;
};

std::vector<BYTE> encodeAbEntryId(const AbRef& ref);
bool decodeAbEntryId(const void* data, ULONG size, AbRef* ref);

} // namespace vntmapi
