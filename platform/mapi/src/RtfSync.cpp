#include "RtfSync.h"

#include "Property.h"
#include "RtfStream.h"
#include "StoredProps.h"
#include "rtf/RtfPlainText.h"

namespace vntmapi {

namespace {

struct Current
{
    const Prop* body = nullptr;
    const Prop* html = nullptr;
    const Prop* rtf = nullptr;
    bool inSync = false;
};

HRESULT readProps(IMessage* message, PropList* props)
{
    // Every property: a tag list of four is not worth a buffer of its own.
    ULONG count = 0;
    LPSPropValue values = nullptr;
    const HRESULT hr = message->GetProps(nullptr, 0, &count, &values);
    if (FAILED(hr)) {
        return hr;
    }
    for (ULONG i = 0; i < count; ++i) {
        Prop prop;
        if (PROP_TYPE(values[i].ulPropTag) != PT_ERROR && propFromValue(values[i], &prop)) {
            props->push_back(std::move(prop));
        }
    }
    MAPIFreeBuffer(values);
    return S_OK;
}

HRESULT setProp(IMessage* message, const Prop& prop)
{
    SPropValue value{};
    value.ulPropTag = prop.tag;
    switch (PROP_TYPE(prop.tag)) {
    case PT_BOOLEAN:
        value.Value.b = prop.number != 0;
        break;
    case PT_BINARY:
        value.Value.bin.cb = static_cast<ULONG>(prop.bytes().size());
        value.Value.bin.lpb = const_cast<LPBYTE>(prop.bytes().data());
        break;
    default:
        value.Value.lpszA = const_cast<char*>(prop.text().c_str());
    }
    return message->SetProps(1, &value, nullptr);
}

// Sets `prop` unless the message already holds that value; `changed` tells which.
HRESULT update(IMessage* message, const Prop* old, const Prop& prop, bool* changed)
{
    if (old && old->data == prop.data && old->number == prop.number) {
        return S_OK;
    }
    *changed = true;
    return setProp(message, prop);
}

std::string currentRtf(const Current& current)
{
    std::string rtf;
    if (current.rtf) {
        decodeCompressedRtf(current.rtf->data, &rtf);
    }
    return rtf;
}

HRESULT bodyFromRtf(IMessage* message, const Current& current, bool* changed)
{
    std::string rtf;
    const std::string& bytes = current.rtf->data;
    if (!decodeCompressedRtf(bytes, &rtf)) {
        return MAPI_E_CORRUPT_DATA;
    }
    vnt::rtf::RtfExtract extract = vnt::rtf::extractRtfText(rtf);
    if (extract.isHtml) {
        return update(message, current.html, stringProp(PR_BODY_HTML, std::move(extract.text)),
                      changed);
    }
    return update(message, current.body, stringProp(PR_BODY, std::move(extract.text)), changed);
}

HRESULT rtfFromBody(IMessage* message, const Current& current, bool* changed)
{
    const std::string rtf = vnt::rtf::plainTextToRtfUtf8(current.body ? current.body->text() : "");
    if (current.rtf && currentRtf(current) == rtf) {
        return S_OK;
    }
    const std::string encoded = encodeCompressedRtf(rtf);
    if (encoded.empty()) {
        return MAPI_E_TOO_BIG;
    }
    *changed = true;
    return setProp(message, binaryProp(PR_RTF_COMPRESSED, {encoded.begin(), encoded.end()}));
}

// The words of a text, one space apart: line breaks and spacing differ between a body and
// the text of its rich form without the text differing.
std::string words(const std::string& text)
{
    std::string result;
    bool space = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            space = !result.empty();
            continue;
        }
        if (space) {
            result += ' ';
            space = false;
        }
        result += c;
    }
    return result;
}

} // namespace

bool rtfBodiesAgree(const PropList& props)
{
    const Prop* compressed = findProp(props, PR_RTF_COMPRESSED);
    std::string rtf;
    if (!compressed || !decodeCompressedRtf(compressed->data, &rtf)) {
        return false;
    }
    const vnt::rtf::RtfExtract extract = vnt::rtf::extractRtfText(rtf);
    const Prop* body = findProp(props, extract.isHtml ? PR_BODY_HTML : PR_BODY);
    return !body || words(body->text()) == words(extract.text);
}

HRESULT rtfSync(IMessage* message, ULONG flags, BOOL* updated)
{
    if (updated) {
        *updated = 0;
    }
    if (!message) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (flags & ~(RTF_SYNC_RTF_CHANGED | RTF_SYNC_BODY_CHANGED)) {
        return MAPI_E_UNKNOWN_FLAGS;
    }
    PropList props;
    HRESULT hr = readProps(message, &props);
    if (FAILED(hr)) {
        return hr;
    }
    Current current;
    current.body = findProp(props, PR_BODY);
    current.html = findProp(props, PR_BODY_HTML);
    current.rtf = findProp(props, PR_RTF_COMPRESSED);
    const Prop* inSync = findProp(props, PR_RTF_IN_SYNC);
    current.inSync = inSync && inSync->number != 0;
    // Without flags the RTF is taken as the newer side when it is marked out of step.
    const bool fromRtf = (flags & RTF_SYNC_RTF_CHANGED) || (flags == 0 && !current.inSync);
    bool changed = false;
    if (fromRtf && current.rtf) {
        hr = bodyFromRtf(message, current, &changed);
    } else if (flags & RTF_SYNC_BODY_CHANGED) {
        hr = rtfFromBody(message, current, &changed);
    } else if (fromRtf) {
        return S_OK; // no RTF to build a body from
    }
    if (SUCCEEDED(hr) && (changed || !current.inSync)) {
        hr = update(message, inSync, boolProp(PR_RTF_IN_SYNC, true), &changed);
    }
    if (SUCCEEDED(hr) && updated) {
        *updated = changed ? 1 : 0;
    }
    return hr;
}

} // namespace vntmapi
