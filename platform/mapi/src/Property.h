// Property values as the library keeps them, and their conversion into MAPI memory.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vntmapi {

struct Prop
{
    ULONG tag = PR_NULL;
    std::int64_t number = 0; // PT_LONG, PT_BOOLEAN, PT_I8, PT_SYSTIME, PT_ERROR (the code)
    // The UTF-8 text of a string, or the bytes of a binary: one member keeps the many values of
    // a large table small, and short ones (instance keys, most names) need no allocation.
    std::string data;

    const std::string& text() const { return data; }
    std::span<const BYTE> bytes() const
    {
        return {reinterpret_cast<const BYTE*>(data.data()), data.size()};
    }
};
using PropList = std::vector<Prop>;

// A value read where it is held, a Prop or a packed table row: `data` stays valid as long as
// its holder and is followed by a NUL, as a std::string's is.
struct PropRef
{
    ULONG tag = PR_NULL;
    std::int64_t number = 0;
    std::string_view data;
};

inline PropRef refOf(const Prop& prop)
{
    return {prop.tag, prop.number, prop.data};
}

// The values as Props of their own.
PropList propsOf(std::span<const PropRef> values);

Prop longProp(ULONG tag, std::int64_t value);
Prop boolProp(ULONG tag, bool value);
Prop timeProp(ULONG tag, std::uint64_t fileTime);
Prop stringProp(ULONG tag, std::string value);
Prop binaryProp(ULONG tag, std::vector<BYTE> value);
// PT_MV_LONG: the values packed in `data`, four bytes each in host order.
Prop longsProp(ULONG tag, const std::vector<LONG>& values);
std::vector<LONG> longsOf(const Prop& prop);

std::uint64_t fileTimeFromUnix(std::int64_t seconds);

// The value answering a request for `tag`: same id, and the same type, or either string type
// for either, or any type for PT_UNSPECIFIED.
const Prop* findProp(const PropList& props, ULONG tag);
// Whether a value of type `have` answers a request of type `want`, as findProp decides.
bool typesMatch(ULONG have, ULONG want);
// The property types whose value is `data` rather than `number`.
bool holdsBytes(ULONG type);

// Replaces the value of the same property id, or adds it.
void putProp(PropList* props, Prop prop);
// Removes the value of `tag`'s property id; false when there was none.
bool removeProp(PropList* props, ULONG tag);

// Fills `out` for a request of `tag` (PT_ERROR/MAPI_E_NOT_FOUND when absent); strings and
// binaries are allocated with MAPIAllocateMore on `owner`. False on allocation failure.
bool copyPropValue(const Prop* prop, ULONG tag, void* owner, SPropValue* out);
// The same in two steps, for many values sharing one block: the bytes `prop`'s string or
// binary takes (one more than its size, so even an empty one has an address), then the copy,
// which takes those bytes from `*pool` and moves it past them.
std::size_t propValueExtra(const PropRef* prop);
void copyPropValueInto(const PropRef* prop, ULONG tag, char** pool, SPropValue* out);

// A GetProps answer: every requested tag, or every property when `tags` is null.
HRESULT propArray(const PropList& props, const SPropTagArray* tags, ULONG* count,
                  LPSPropValue* values);

} // namespace vntmapi
