#include "Property.h"

#include "vntmapi/MapiEntryPoints.h"

#include <algorithm>
#include <cstring>

namespace vntmapi {

Prop longProp(ULONG tag, std::int64_t value)
{
    Prop p;
    p.tag = tag;
    p.number = value;
    return p;
}

Prop boolProp(ULONG tag, bool value)
{
    return longProp(tag, value ? 1 : 0);
}

Prop timeProp(ULONG tag, std::uint64_t fileTime)
{
    return longProp(tag, static_cast<std::int64_t>(fileTime));
}

Prop stringProp(ULONG tag, std::string value)
{
    Prop p;
    p.tag = tag;
    p.data = std::move(value);
    return p;
}

Prop binaryProp(ULONG tag, std::vector<BYTE> value)
{
    Prop p;
    p.tag = tag;
    p.data.assign(value.begin(), value.end());
    return p;
}

Prop longsProp(ULONG tag, const std::vector<LONG>& values)
{
    Prop p;
    p.tag = tag;
    p.data.assign(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(LONG));
    return p;
}

std::vector<LONG> longsOf(const Prop& prop)
{
    std::vector<LONG> values(prop.data.size() / sizeof(LONG));
    std::memcpy(values.data(), prop.data.data(), values.size() * sizeof(LONG));
    return values;
}

PropList propsOf(std::span<const PropRef> values)
{
    PropList props(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        props[i].tag = values[i].tag;
        props[i].number = values[i].number;
        props[i].data.assign(values[i].data);
    }
    return props;
}

std::uint64_t fileTimeFromUnix(std::int64_t seconds)
{
    return static_cast<std::uint64_t>(seconds * 10000000LL + 116444736000000000LL);
}

namespace {

bool isString(ULONG type)
{
    return type == PT_STRING8 || type == PT_UNICODE;
}

char* takeCopy(const void* data, std::size_t size, char** pool)
{
    char* copy = *pool;
    if (size > 0) {
        std::memcpy(copy, data, size);
    }
    *pool += size;
    return copy;
}

} // namespace

bool typesMatch(ULONG have, ULONG want)
{
    return have == want || want == PT_UNSPECIFIED || (isString(have) && isString(want));
}

bool holdsBytes(ULONG type)
{
    return isString(type) || type == PT_BINARY || type == PT_MV_LONG;
}

const Prop* findProp(const PropList& props, ULONG tag)
{
    for (const Prop& p : props) {
        if (PROP_ID(p.tag) == PROP_ID(tag) && typesMatch(PROP_TYPE(p.tag), PROP_TYPE(tag))) {
            return &p;
        }
    }
    return nullptr;
}

void putProp(PropList* props, Prop prop)
{
    removeProp(props, prop.tag);
    props->push_back(std::move(prop));
}

bool removeProp(PropList* props, ULONG tag)
{
    const auto same = [&](const Prop& p) {
        return PROP_ID(p.tag) == PROP_ID(tag);
    };
    const auto end = std::remove_if(props->begin(), props->end(), same);
    const bool found = end != props->end();
    props->erase(end, props->end());
    return found;
}

std::size_t propValueExtra(const PropRef* prop)
{
    if (prop && PROP_TYPE(prop->tag) == PT_MV_LONG) {
        return prop->data.size() + alignof(LONG); // room to align the array
    }
    return prop && holdsBytes(PROP_TYPE(prop->tag)) ? prop->data.size() + 1 : 0;
}

bool copyPropValue(const Prop* prop, ULONG tag, void* owner, SPropValue* out)
{
    const std::optional<PropRef> ref = prop ? std::optional(refOf(*prop)) : std::nullopt;
    const PropRef* value = ref ? &*ref : nullptr;
    const std::size_t extra = propValueExtra(value);
    void* pool = nullptr;
    if (extra > 0 && MAPIAllocateMore(static_cast<ULONG>(extra), owner, &pool) != S_OK) {
        *out = SPropValue{};
        return false;
    }
    char* next = static_cast<char*>(pool);
    copyPropValueInto(value, tag, &next, out);
    return true;
}

void copyPropValueInto(const PropRef* prop, ULONG tag, char** pool, SPropValue* out)
{
    *out = SPropValue{};
    if (!prop) {
        out->ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
        out->Value.err = MAPI_E_NOT_FOUND;
        return;
    }
    const ULONG have = PROP_TYPE(prop->tag);
    const ULONG want = PROP_TYPE(tag);
    // Strings answer in the type asked for; both carry UTF-8.
    out->ulPropTag = (isString(have) && isString(want)) ? tag : prop->tag;
    switch (have) {
    case PT_LONG:
        out->Value.l = static_cast<LONG>(prop->number);
        return;
    case PT_BOOLEAN:
        out->Value.b = prop->number ? 1 : 0;
        return;
    case PT_ERROR:
        out->Value.err = static_cast<SCODE>(prop->number);
        return;
    case PT_I8:
        out->Value.li = prop->number;
        return;
    case PT_SYSTIME: {
        const auto ft = static_cast<std::uint64_t>(prop->number);
        out->Value.ft.dwLowDateTime = static_cast<std::uint32_t>(ft);
        out->Value.ft.dwHighDateTime = static_cast<std::uint32_t>(ft >> 32);
        return;
    }
    case PT_STRING8:
    case PT_UNICODE:
        out->Value.lpszA = takeCopy(prop->data.data(), prop->data.size() + 1, pool);
        return;
    case PT_BINARY:
        out->Value.bin.cb = static_cast<ULONG>(prop->data.size());
        out->Value.bin.lpb =
            reinterpret_cast<LPBYTE>(takeCopy(prop->data.data(), prop->data.size() + 1, pool));
        return;
    case PT_MV_LONG: {
        char* start = *pool;
        const auto misaligned = reinterpret_cast<std::uintptr_t>(start) % alignof(LONG);
        *pool += misaligned ? alignof(LONG) - misaligned : 0;
        out->Value.MVl.cValues = static_cast<ULONG>(prop->data.size() / sizeof(LONG));
        out->Value.MVl.lpl =
            reinterpret_cast<LONG*>(takeCopy(prop->data.data(), prop->data.size(), pool));
        *pool = start + propValueExtra(prop);
        return;
    }
    default:
        out->ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
        out->Value.err = MAPI_E_NO_SUPPORT;
        return;
    }
}

HRESULT propArray(const PropList& props, const SPropTagArray* tags, ULONG* count,
                  LPSPropValue* values)
{
    if (!count || !values) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const ULONG n = tags ? tags->cValues : static_cast<ULONG>(props.size());
    LPSPropValue array = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * (n ? n : 1)),
                           reinterpret_cast<void**>(&array)) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    bool missing = false;
    for (ULONG i = 0; i < n; ++i) {
        const ULONG tag = tags ? tags->aulPropTag[i] : props[i].tag;
        const Prop* prop = tags ? findProp(props, tag) : &props[i];
        missing |= !prop;
        if (!copyPropValue(prop, tag, array, &array[i])) {
            MAPIFreeBuffer(array);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
    }
    *count = n;
    *values = array;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

} // namespace vntmapi
