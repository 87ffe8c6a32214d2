// CopyTo and CopyProps between two messages of this library.
#include "Message.h"
#include "NamedProps.h"
#include "StoredProps.h"

#include <algorithm>

namespace vntmapi {

namespace {

bool sameId(ULONG a, ULONG b)
{
    return PROP_ID(a) == PROP_ID(b);
}

bool listed(const SPropTagArray* tags, ULONG tag)
{
    return tags && std::any_of(tags->aulPropTag, tags->aulPropTag + tags->cValues,
                               [&](ULONG t) { return sameId(t, tag); });
}

} // namespace

HRESULT Message::checkCopyTarget(LPCIID lpInterface, IMAPIProp* lpDestObj, ULONG ulFlags,
                                 Message** dest)
{
    if (!lpInterface || !lpDestObj) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (ulFlags & MAPI_MOVE) {
        return MAPI_E_NO_SUPPORT; // a message's properties are not moved out of it
    }
    *dest = dynamic_cast<Message*>(lpDestObj);
    if (!(*lpInterface == IID_IMessage) || !*dest) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    return *dest == this || (*dest)->m_readOnly ? MAPI_E_NO_ACCESS : S_OK;
}

HRESULT Message::returnProblems(const std::vector<CopyProblem>& problems,
                                LPSPropProblemArray* lppProblems)
{
    if (problems.empty()) {
        return S_OK;
    }
    if (!lppProblems) {
        return MAPI_W_ERRORS_RETURNED; // the caller could not be told which
    }
    const auto count = static_cast<ULONG>(problems.size());
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropProblemArray(count)), &buffer) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* array = static_cast<LPSPropProblemArray>(buffer);
    array->cProblem = count;
    for (ULONG i = 0; i < count; ++i) {
        array->aProblem[i] = {problems[i].index, problems[i].tag, problems[i].code};
    }
    // The interface declares the out-parameter as a tag array; it is a problem array.
    *lppProblems = array;
    return S_OK;
}

bool Message::copyValue(Message* dest, ULONG tag, bool noReplace, SCODE* problem) const
{
    const Prop* value = findProp(m_props, tag);
    if (!value) {
        *problem = MAPI_E_NOT_FOUND;
        return false;
    }
    Prop copy = *value;
    if (PROP_ID(copy.tag) >= 0x8000 && m_store->config().path != dest->m_store->config().path) {
        copy.tag = mapNamedTag(m_store->config().path, dest->m_store->config().path, copy.tag);
        if (copy.tag == PR_NULL) {
            *problem = MAPI_E_NOT_FOUND;
            return false;
        }
    }
    if (!noReplace || !findProp(dest->m_props, CHANGE_PROP_TYPE(copy.tag, PT_UNSPECIFIED))) {
        putProp(&dest->m_props, std::move(copy));
    }
    return true;
}

void Message::copyInto(Message* dest, const std::vector<ULONG>& tags, ULONG flags,
                       std::vector<CopyProblem>* problems) const
{
    const bool noReplace = flags & MAPI_NOREPLACE;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const ULONG tag = tags[i];
        SCODE problem = S_OK;
        if (tag == PR_MESSAGE_ATTACHMENTS) {
            if (!noReplace || dest->m_attachments.empty()) {
                dest->m_attachments.clear();
                for (const NumberedAttachment& attachment : m_attachments) {
                    dest->m_attachments.push_back({dest->m_nextAttachment++, attachment.data});
                }
            }
        } else if (tag == PR_MESSAGE_RECIPIENTS) {
            if (!noReplace || dest->m_recipients.empty()) {
                dest->m_recipients = m_recipients;
            }
        } else if (PROP_TYPE(tag) == PT_OBJECT || PROP_TYPE(tag) == PT_ERROR ||
                   PROP_ID(tag) == PROP_ID_NULL) {
            problem = MAPI_E_INVALID_TYPE;
        } else if (isComputedProp(tag)) {
            problem = MAPI_E_COMPUTED;
        } else {
            copyValue(dest, tag, noReplace, &problem);
        }
        if (problem != S_OK) {
            problems->push_back({static_cast<ULONG>(i), tag, problem});
        }
    }
}

HRESULT Message::CopyTo(ULONG, LPCIID, LPSPropTagArray lpExcludeProps, ULONG, IMAPIProgress*,
                        LPCIID lpInterface, IMAPIProp* lpDestObj, ULONG ulFlags,
                        LPSPropProblemArray* lppProblems)
{
    if (lppProblems) {
        *lppProblems = nullptr;
    }
    Message* dest = nullptr;
    const HRESULT hr = checkCopyTarget(lpInterface, lpDestObj, ulFlags, &dest);
    if (FAILED(hr)) {
        return hr;
    }
    std::vector<ULONG> tags;
    for (const Prop& prop : m_props) {
        if (!isComputedProp(prop.tag) && !listed(lpExcludeProps, prop.tag)) {
            tags.push_back(prop.tag);
        }
    }
    for (ULONG object : {PR_MESSAGE_RECIPIENTS, PR_MESSAGE_ATTACHMENTS}) {
        if (!listed(lpExcludeProps, object)) {
            tags.push_back(object);
        }
    }
    std::vector<CopyProblem> problems;
    copyInto(dest, tags, ulFlags, &problems);
    return returnProblems(problems, lppProblems);
}

HRESULT Message::CopyProps(LPSPropTagArray lpIncludeProps, ULONG, IMAPIProgress*,
                           LPCIID lpInterface, IMAPIProp* lpDestObj, ULONG ulFlags,
                           LPSPropProblemArray* lppProblems)
{
    if (lppProblems) {
        *lppProblems = nullptr;
    }
    if (!lpIncludeProps) {
        return MAPI_E_INVALID_PARAMETER;
    }
    Message* dest = nullptr;
    const HRESULT hr = checkCopyTarget(lpInterface, lpDestObj, ulFlags, &dest);
    if (FAILED(hr)) {
        return hr;
    }
    const std::vector<ULONG> tags(lpIncludeProps->aulPropTag,
                                  lpIncludeProps->aulPropTag + lpIncludeProps->cValues);
    std::vector<CopyProblem> problems;
    copyInto(dest, tags, ulFlags, &problems);
    return returnProblems(problems, lppProblems);
}

} // namespace vntmapi
