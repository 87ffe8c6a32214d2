#include "Attachment.h"

#include "EmbeddedMessage.h"
#include "Message.h"
#include "PropStream.h"
#include "StoredProps.h"

#include <algorithm>

namespace vntmapi {

namespace {

// Given by the attachment's place and bytes, never set by a caller.
bool isAttachmentComputed(ULONG tag)
{
    const ULONG id = PROP_ID(tag);
    for (ULONG computed : {PR_ATTACH_NUM, PR_ATTACH_SIZE, PR_OBJECT_TYPE, PR_INSTANCE_KEY,
                           PR_RECORD_KEY, PR_ENTRYID}) {
        if (id == PROP_ID(computed)) {
            return true;
        }
    }
    return false;
}

std::vector<BYTE> instanceKey(ULONG number)
{
    std::vector<BYTE> key(4);
    for (int i = 0; i < 4; ++i) {
        key[i] = static_cast<BYTE>(number >> (8 * i));
    }
    return key;
}

} // namespace

PropList attachmentRow(ULONG number, const AttachmentData& attachment)
{
    PropList row = attachment.props;
    putProp(&row, longProp(PR_ATTACH_NUM, number));
    putProp(&row, binaryProp(PR_INSTANCE_KEY, instanceKey(number)));
    putProp(&row, longProp(PR_ATTACH_SIZE, static_cast<std::int64_t>(attachment.data.size())));
    return row;
}

std::vector<ULONG> attachmentColumns()
{
    return {PR_ATTACH_NUM,           PR_INSTANCE_KEY,      PR_ATTACH_METHOD,   PR_ATTACH_FILENAME,
            PR_ATTACH_LONG_FILENAME, PR_DISPLAY_NAME,      PR_ATTACH_MIME_TAG, PR_ATTACH_SIZE,
            PR_ATTACH_CONTENT_ID,    PR_RENDERING_POSITION};
}

AttachmentData newAttachmentData()
{
    AttachmentData data;
    data.props.push_back(longProp(PR_OBJECT_TYPE, MAPI_ATTACH));
    data.props.push_back(longProp(PR_ATTACH_METHOD, ATTACH_BY_VALUE));
    data.props.push_back(longProp(PR_RENDERING_POSITION, -1));
    return data;
}

Attachment::Attachment(Message* message, ULONG number, AttachmentData data, bool hasData)
    : m_message(message)
    , m_number(number)
    , m_data(std::move(data))
    , m_hasData(hasData)
{
    m_message->AddRef();
}

Attachment::~Attachment()
{
    m_message->Release();
}

PropList Attachment::properties() const
{
    PropList props = attachmentRow(m_number, m_data);
    if (m_hasData) {
        props.push_back(binaryProp(PR_ATTACH_DATA_BIN, m_data.data));
    }
    return props;
}

PropList Attachment::propertiesFor(const SPropTagArray& tags) const
{
    const auto* end = tags.aulPropTag + tags.cValues;
    const bool wantsData = std::any_of(tags.aulPropTag, end, [](ULONG tag) {
        return PROP_ID(tag) == PROP_ID(PR_ATTACH_DATA_BIN);
    });
    if (wantsData) {
        return properties();
    }
    return attachmentRow(m_number, m_data);
}

HRESULT Attachment::SetProps(ULONG cValues, LPSPropValue lpPropArray,
                             LPSPropProblemArray* lppProblems)
{
    if (cValues != 0 && !lpPropArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (lppProblems) {
        *lppProblems = nullptr;
    }
    for (ULONG i = 0; i < cValues; ++i) {
        const SPropValue& value = lpPropArray[i];
        Prop prop;
        if (value.ulPropTag == PR_ATTACH_DATA_BIN) {
            m_data.data.assign(value.Value.bin.lpb, value.Value.bin.lpb + value.Value.bin.cb);
            m_hasData = true;
        } else if (!isAttachmentComputed(value.ulPropTag) && propFromValue(value, &prop)) {
            putProp(&m_data.props, std::move(prop));
        }
    }
    return S_OK;
}

HRESULT Attachment::DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems)
{
    if (!lpPropTagArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (lppProblems) {
        *lppProblems = nullptr;
    }
    for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
        const ULONG tag = lpPropTagArray->aulPropTag[i];
        if (PROP_ID(tag) == PROP_ID(PR_ATTACH_DATA_BIN)) {
            m_data.data.clear();
            m_hasData = false;
        } else if (!isAttachmentComputed(tag)) {
            removeProp(&m_data.props, tag);
        }
    }
    return S_OK;
}

HRESULT Attachment::SaveChanges(ULONG)
{
    return m_message->storeAttachment(m_number, m_data);
}

HRESULT Attachment::OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG, ULONG ulFlags,
                                 LPUNKNOWN* lppUnk)
{
    if (!lpiid || !lppUnk) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (ulPropTag == PR_ATTACH_DATA_OBJ) {
        return openAttachedMessage(*lpiid, ulFlags, lppUnk);
    }
    if (ulPropTag != PR_ATTACH_DATA_BIN) {
        return MAPI_E_NO_SUPPORT;
    }
    if (!(*lpiid == IID_IStream)) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    const bool create = ulFlags & MAPI_CREATE;
    if (!m_hasData && !create) {
        return MAPI_E_NOT_FOUND;
    }
    std::string data = create ? std::string() : std::string(m_data.data.begin(), m_data.data.end());
    *lppUnk = new PropStream(this, PR_ATTACH_DATA_BIN, std::move(data),
                             ulFlags & (MAPI_MODIFY | MAPI_CREATE));
    return S_OK;
}

HRESULT Attachment::openAttachedMessage(const IID& iid, ULONG flags, LPUNKNOWN* message)
{
    if (!(iid == IID_IMessage)) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    const Prop* method = findProp(m_data.props, PR_ATTACH_METHOD);
    const bool embedded = method && method->number == ATTACH_EMBEDDED_MSG;
    const bool create = flags & MAPI_CREATE;
    // An attachment without data yet becomes an attached message by creating one in it; one
    // that holds a file has no message to open.
    if (create ? (m_hasData && !embedded) : (!embedded || !m_hasData)) {
        return MAPI_E_NOT_FOUND;
    }
    // Nothing opened from a read-only message can change it; the best access it gives is
    // reading.
    const bool readOnlyParent = m_message->isReadOnly();
    if (readOnlyParent && (flags & (MAPI_MODIFY | MAPI_CREATE))) {
        return MAPI_E_NO_ACCESS;
    }
    if (create) {
        putProp(&m_data.props, longProp(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG));
    }
    const bool writable =
        !readOnlyParent && (flags & (MAPI_MODIFY | MAPI_CREATE | MAPI_BEST_ACCESS));
    *message = EmbeddedMessage::open(this, m_message->store(),
                                     create ? std::vector<BYTE>() : m_data.data, writable);
    return S_OK;
}

void Attachment::takeAttachedMessage(const std::vector<BYTE>& bytes, const PropList& props)
{
    m_data.data = bytes;
    m_hasData = true;
    putProp(&m_data.props, longProp(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG));
    putProp(&m_data.props, stringProp(PR_ATTACH_MIME_TAG, "message/rfc822"));
    // Named after its subject as a received one is, unless the caller named it.
    const Prop* subject = findProp(props, PR_SUBJECT);
    if (!findProp(m_data.props, PR_DISPLAY_NAME) && subject && !subject->text().empty()) {
        m_data.props.push_back(stringProp(PR_DISPLAY_NAME, subject->text()));
    }
}

} // namespace vntmapi
