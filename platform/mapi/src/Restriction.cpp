#include "Restriction.h"

#include "Anr.h"
#include "MemoryTable.h"

#include <algorithm>
#include <glib.h>

namespace vntmapi {

namespace {

// A restriction's value as a Prop, so that it compares like a row's value.
bool propFromValue(const SPropValue& value, Prop* out)
{
    out->tag = value.ulPropTag;
    switch (PROP_TYPE(value.ulPropTag)) {
    case PT_LONG:
        out->number = value.Value.l;
        return true;
    case PT_BOOLEAN:
        out->number = value.Value.b ? 1 : 0;
        return true;
    case PT_I8:
        out->number = value.Value.li;
        return true;
    case PT_SYSTIME:
        out->number = static_cast<std::int64_t>(
            (std::uint64_t{value.Value.ft.dwHighDateTime} << 32) | value.Value.ft.dwLowDateTime);
        return true;
    case PT_STRING8:
    case PT_UNICODE:
        out->data = value.Value.lpszA ? value.Value.lpszA : "";
        return true;
    case PT_BINARY:
        out->data.assign(value.Value.bin.lpb, value.Value.bin.lpb + value.Value.bin.cb);
        return true;
    default:
        return false;
    }
}

bool comparable(const PropRef& a, const PropRef& b)
{
    const ULONG ta = PROP_TYPE(a.tag);
    const ULONG tb = PROP_TYPE(b.tag);
    const auto isString = [](ULONG t) {
        return t == PT_STRING8 || t == PT_UNICODE;
    };
    return ta == tb || (isString(ta) && isString(tb));
}

bool relationHolds(ULONG relop, int order)
{
    switch (relop) {
    case RELOP_LT:
        return order < 0;
    case RELOP_LE:
        return order <= 0;
    case RELOP_GT:
        return order > 0;
    case RELOP_GE:
        return order >= 0;
    case RELOP_EQ:
        return order == 0;
    case RELOP_NE:
        return order != 0;
    default:
        return false;
    }
}

std::string folded(std::string_view text, bool ignoreCase)
{
    if (!ignoreCase) {
        return std::string(text);
    }
    gchar* f = g_utf8_casefold(text.data(), static_cast<gssize>(text.size()));
    std::string result = f;
    g_free(f);
    return result;
}

bool contentMatches(const SContentRestriction& content, const RowView& row)
{
    const std::optional<PropRef> have = row.find(content.ulPropTag);
    Prop want;
    if (!have || !propFromValue(*content.lpProp, &want) || !comparable(*have, refOf(want))) {
        return false;
    }
    const bool ignoreCase = content.ulFuzzyLevel & (FL_IGNORECASE | FL_LOOSE);
    const bool binary = PROP_TYPE(have->tag) == PT_BINARY;
    const std::string hay = binary ? std::string(have->data) : folded(have->data, ignoreCase);
    const std::string needle = binary ? want.data : folded(want.text(), ignoreCase);
    switch (content.ulFuzzyLevel & 0xFFFF) {
    case FL_SUBSTRING:
        return hay.find(needle) != std::string::npos;
    case FL_PREFIX:
        return hay.compare(0, needle.size(), needle) == 0;
    default:
        return hay == needle;
    }
}

bool propertyMatches(const SPropertyRestriction& property, const RowView& row)
{
    const std::optional<PropRef> have = row.find(property.ulPropTag);
    Prop want;
    if (!have || !propFromValue(*property.lpProp, &want) || !comparable(*have, refOf(want))) {
        return false;
    }
    const PropRef wanted = refOf(want);
    return relationHolds(property.relop, compareProps(&*have, &wanted));
}

bool comparePropsMatches(const SComparePropsRestriction& compare, const RowView& row)
{
    const std::optional<PropRef> a = row.find(compare.ulPropTag1);
    const std::optional<PropRef> b = row.find(compare.ulPropTag2);
    return a && b && comparable(*a, *b) && relationHolds(compare.relop, compareProps(&*a, &*b));
}

bool bitmaskMatches(const SBitMaskRestriction& mask, const RowView& row)
{
    const std::optional<PropRef> have = row.find(mask.ulPropTag);
    if (!have) {
        return false;
    }
    const bool zero = (static_cast<ULONG>(have->number) & mask.ulMask) == 0;
    return mask.relBMR == BMR_EQZ ? zero : !zero;
}

HRESULT checkChildren(const SRestriction* children, ULONG count)
{
    if (count > 0 && !children) {
        return MAPI_E_INVALID_PARAMETER;
    }
    for (ULONG i = 0; i < count; ++i) {
        const HRESULT hr = checkRestriction(children[i]);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

} // namespace

HRESULT checkRestriction(const SRestriction& r)
{
    switch (r.rt) {
    case RES_AND:
    case RES_OR:
        return checkChildren(r.res.resAnd.lpRes, r.res.resAnd.cRes);
    case RES_NOT:
        return checkChildren(r.res.resNot.lpRes, 1);
    case RES_CONTENT:
        return r.res.resContent.lpProp ? S_OK : MAPI_E_INVALID_PARAMETER;
    case RES_PROPERTY:
        if (!r.res.resProperty.lpProp) {
            return MAPI_E_INVALID_PARAMETER;
        }
        return r.res.resProperty.relop <= RELOP_NE ? S_OK : MAPI_E_TOO_COMPLEX;
    case RES_COMPAREPROPS:
        return r.res.resCompareProps.relop <= RELOP_NE ? S_OK : MAPI_E_TOO_COMPLEX;
    case RES_BITMASK:
    case RES_EXIST:
        return S_OK;
    default:
        return MAPI_E_TOO_COMPLEX;
    }
}

namespace {

// PR_ANR is no column of a row: a restriction on it asks which rows the text can mean.
bool isAnr(ULONG tag, const SPropValue* value)
{
    return PROP_ID(tag) == PROP_ID(PR_ANR) && value &&
           (PROP_TYPE(value->ulPropTag) == PT_STRING8 ||
            PROP_TYPE(value->ulPropTag) == PT_UNICODE) &&
           value->Value.lpszA;
}

} // namespace

bool rowMatches(const SRestriction& r, const RowView& row)
{
    if (r.rt == RES_PROPERTY && isAnr(r.res.resProperty.ulPropTag, r.res.resProperty.lpProp)) {
        return anrRowMatches(r.res.resProperty.lpProp->Value.lpszA, row);
    }
    if (r.rt == RES_CONTENT && isAnr(r.res.resContent.ulPropTag, r.res.resContent.lpProp)) {
        return anrRowMatches(r.res.resContent.lpProp->Value.lpszA, row);
    }
    const auto matches = [&row](const SRestriction& child) {
        return rowMatches(child, row);
    };
    switch (r.rt) {
    case RES_AND:
        return std::all_of(r.res.resAnd.lpRes, r.res.resAnd.lpRes + r.res.resAnd.cRes, matches);
    case RES_OR:
        return std::any_of(r.res.resOr.lpRes, r.res.resOr.lpRes + r.res.resOr.cRes, matches);
    case RES_NOT:
        return !rowMatches(*r.res.resNot.lpRes, row);
    case RES_CONTENT:
        return contentMatches(r.res.resContent, row);
    case RES_PROPERTY:
        return propertyMatches(r.res.resProperty, row);
    case RES_COMPAREPROPS:
        return comparePropsMatches(r.res.resCompareProps, row);
    case RES_BITMASK:
        return bitmaskMatches(r.res.resBitMask, row);
    case RES_EXIST:
        return row.find(r.res.resExist.ulPropTag).has_value();
    default:
        return false;
    }
}

} // namespace vntmapi
