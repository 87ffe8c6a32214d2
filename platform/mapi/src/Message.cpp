#include "Message.h"

#include "Attachment.h"
#include "MemoryTable.h"
#include "MessageWriter.h"
#include "MimeContent.h"
#include "NamedProps.h"
#include "PropStream.h"
#include "RtfStream.h"
#include "RtfSync.h"
#include "SpoolRecord.h"
#include "StoredProps.h"
#include "SummaryRow.h"
#include "Tnef.h"

namespace vntmapi {

namespace {

void addText(PropList* props, ULONG tag, const std::string& value)
{
    if (!value.empty()) {
        props->push_back(stringProp(tag, value));
    }
}

bool isReadOnlyProp(ULONG tag)
{
    const ULONG id = PROP_ID(tag);
    return isComputedProp(tag) && id != PROP_ID(PR_MESSAGE_FLAGS) &&
           id != PROP_ID(PR_MESSAGE_DELIVERY_TIME);
}

// The bodies OpenProperty gives as streams: plain text and HTML, as text or as bytes, and
// the compressed RTF.
bool isStreamableBody(ULONG tag)
{
    const ULONG id = PROP_ID(tag);
    const ULONG type = PROP_TYPE(tag);
    const bool body = id == PROP_ID(PR_BODY) || id == PROP_ID(PR_BODY_HTML);
    return tag == PR_RTF_COMPRESSED ||
           (body && (type == PT_STRING8 || type == PT_UNICODE || type == PT_BINARY));
}

bool isValidRtf(const SPropValue& value)
{
    std::string rtf;
    const auto* bytes = reinterpret_cast<const char*>(value.Value.bin.lpb);
    return value.Value.bin.cb == 0 ||
           (bytes && decodeCompressedRtf(std::string(bytes, value.Value.bin.cb), &rtf));
}

bool isTnef(const AttachmentData& attachment)
{
    const Prop* type = findProp(attachment.props, PR_ATTACH_MIME_TAG);
    const Prop* name = findProp(attachment.props, PR_ATTACH_LONG_FILENAME);
    return (type &&
            (type->text() == "application/ms-tnef" || type->text() == "application/vnd.ms-tnef")) ||
           (name && g_ascii_strcasecmp(name->text().c_str(), "winmail.dat") == 0);
}

// The bodies a winmail.dat attachment carries, for a message whose MIME parts lack them. The
// attachment itself stays, so that saving the message loses nothing.
void addTnefBodies(const std::vector<AttachmentData>& attachments, PropList* props)
{
    for (const AttachmentData& attachment : attachments) {
        PropList tnef;
        if (!isTnef(attachment)) {
            continue;
        }
        readTnefMessageProps(attachment.data, &tnef);
        std::string rtf;
        const Prop* compressed = findProp(tnef, PR_RTF_COMPRESSED);
        if (compressed && !findProp(*props, PR_RTF_COMPRESSED) &&
            decodeCompressedRtf(compressed->data, &rtf)) {
            props->push_back(*compressed);
        }
        const Prop* body = findProp(tnef, PR_BODY);
        if (body && !findProp(*props, PR_BODY)) {
            props->push_back(stringProp(PR_BODY, body->text()));
        }
        const Prop* html = findProp(tnef, CHANGE_PROP_TYPE(PR_BODY_HTML, PT_UNSPECIFIED));
        if (html && !findProp(*props, PR_BODY_HTML)) {
            props->push_back(stringProp(PR_BODY_HTML, PROP_TYPE(html->tag) == PT_BINARY
                                                          ? validUtf8(html->data.c_str())
                                                          : html->text()));
        }
        return;
    }
}

} // namespace

namespace {

// Adds to `props`, which the message's summary gives, what its content holds.
void takeContent(PropList props, MessageContent content, MessageParts* parts)
{
    addText(&props, PR_BODY, content.bodyText);
    addText(&props, PR_BODY_HTML, content.bodyHtml);
    addText(&props, PR_TRANSPORT_MESSAGE_HEADERS, content.headers);
    if (!content.bodyRtf.empty()) {
        const std::string compressed = encodeCompressedRtf(content.bodyRtf);
        if (!compressed.empty()) {
            props.push_back(binaryProp(PR_RTF_COMPRESSED, {compressed.begin(), compressed.end()}));
        }
    }
    for (Prop& fromHeaders : content.headerProps) {
        putProp(&props, std::move(fromHeaders));
    }
    for (Prop& stored : content.stored) {
        putProp(&props, std::move(stored));
    }
    addTnefBodies(content.attachments, &props);
    // Readers decide on this whether to show the rich text; a file keeps no such flag.
    if (findProp(props, PR_RTF_COMPRESSED) && !findProp(props, PR_RTF_IN_SYNC)) {
        props.push_back(boolProp(PR_RTF_IN_SYNC, rtfBodiesAgree(props)));
    }
    parts->props = std::move(props);
    parts->recipients = std::move(content.recipients);
    parts->attachments = std::move(content.attachments);
}

HRESULT loadMessage(const MsgStore& store, const std::string& folder, const std::string& baseName,
                    MessageParts* loaded)
{
    MessageFile file;
    if (!findMessage(store.folderDirectory(folder), baseName, &file)) {
        return MAPI_E_NOT_FOUND;
    }
    MessageSummary summary;
    MessageContent content;
    if (!readMessage(file, &summary, &content)) {
        return MAPI_E_NOT_FOUND; // renamed or removed since it was listed
    }
    takeContent(messageProperties(store, folder, file, summary), std::move(content), loaded);
    return S_OK;
}

} // namespace

MessageParts readAttachedMessage(const std::vector<BYTE>& bytes)
{
    MessageSummary summary;
    MessageContent content;
    readMessageBytes(bytes, &summary, &content);
    MessageParts parts;
    takeContent(SummaryRowBuilder::attachedMessage(std::move(summary)), std::move(content), &parts);
    return parts;
}

HRESULT openMessage(MsgStore* store, const std::string& folder, const std::string& baseName,
                    IMessage** message)
{
    MessageParts loaded;
    const HRESULT hr = loadMessage(*store, folder, baseName, &loaded);
    // A message waiting in the send queue is locked for submission until sent or aborted.
    if (SUCCEEDED(hr) && folder == store->config().outbox && isQueued(store->config(), baseName)) {
        const Prop* flags = findProp(loaded.props, PR_MESSAGE_FLAGS);
        putProp(&loaded.props,
                longProp(PR_MESSAGE_FLAGS, (flags ? flags->number : 0) | MSGFLAG_SUBMIT));
    }
    if (SUCCEEDED(hr)) {
        *message = new Message(store, folder, baseName, std::move(loaded.props),
                               std::move(loaded.recipients), std::move(loaded.attachments));
    }
    return hr;
}

IMessage* newMessage(MsgStore* store, const std::string& folder)
{
    PropList props;
    props.push_back(binaryProp(PR_PARENT_ENTRYID, store->folderId(folder)));
    props.push_back(longProp(PR_OBJECT_TYPE, MAPI_MESSAGE));
    props.push_back(stringProp(PR_MESSAGE_CLASS, "IPM.Note"));
    props.push_back(longProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNSENT));
    return new Message(store, folder, {}, std::move(props), {}, {});
}

Message::Message(MsgStore* store, std::string folder, std::string baseName, PropList props,
                 RecipientList recipients, std::vector<AttachmentData> attachments)
    : m_store(store)
    , m_folder(std::move(folder))
    , m_baseName(std::move(baseName))
    , m_props(std::move(props))
    , m_recipients(std::move(recipients))
{
    for (AttachmentData& attachment : attachments) {
        m_attachments.push_back({m_nextAttachment++, std::move(attachment)});
    }
    m_store->AddRef();
}

Message::~Message()
{
    m_store->Release();
}

HRESULT Message::SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems)
{
    if (cValues != 0 && !lpPropArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_readOnly) {
        return MAPI_E_NO_ACCESS;
    }
    if (lppProblems) {
        *lppProblems = nullptr;
    }
    // RTF that would not decompress could not be written as a body: refused before anything
    // changes.
    for (ULONG i = 0; i < cValues; ++i) {
        if (lpPropArray[i].ulPropTag == PR_RTF_COMPRESSED && !isValidRtf(lpPropArray[i])) {
            return MAPI_E_CORRUPT_DATA;
        }
    }
    // What the file and its place decide (ids, size, display lists) cannot be set.
    for (ULONG i = 0; i < cValues; ++i) {
        Prop prop;
        if (!isReadOnlyProp(lpPropArray[i].ulPropTag) && propFromValue(lpPropArray[i], &prop)) {
            if (prop.tag == PR_RTF_COMPRESSED && prop.data.empty()) {
                removeProp(&m_props, PR_RTF_COMPRESSED); // an empty stream leaves no RTF
            } else {
                putProp(&m_props, std::move(prop));
            }
            noteBodyChange(lpPropArray[i].ulPropTag);
        }
    }
    return S_OK;
}

void Message::noteBodyChange(ULONG tag)
{
    if (tag == PR_RTF_COMPRESSED) {
        m_rtfChanged = true;
    } else if (PROP_ID(tag) == PROP_ID(PR_BODY)) {
        m_bodyChanged = true;
    }
}

HRESULT Message::keepBodiesInStep()
{
    // Both changed: the writer has put them in step itself.
    if (!m_store->config().richText || m_bodyChanged == m_rtfChanged) {
        return S_OK;
    }
    return rtfSync(this, m_rtfChanged ? RTF_SYNC_RTF_CHANGED : RTF_SYNC_BODY_CHANGED, nullptr);
}

HRESULT Message::DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems)
{
    if (!lpPropTagArray) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (m_readOnly) {
        return MAPI_E_NO_ACCESS;
    }
    if (lppProblems) {
        *lppProblems = nullptr;
    }
    for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
        if (!isReadOnlyProp(lpPropTagArray->aulPropTag[i])) {
            removeProp(&m_props, lpPropTagArray->aulPropTag[i]);
        }
    }
    return S_OK;
}

HRESULT Message::SaveChanges(ULONG)
{
    SaveTarget target;
    target.folderDir = m_store->folderDirectory(m_folder);
    target.baseName = m_baseName.empty() ? newUniqueName() : m_baseName;
    if (!m_baseName.empty() && !findMessage(target.folderDir, m_baseName, &target.old)) {
        return MAPI_E_OBJECT_DELETED;
    }
    HRESULT hr = keepBodiesInStep();
    if (SUCCEEDED(hr)) {
        hr = saveMessageFile(target, m_props, m_recipients, parts().attachments);
    }
    if (FAILED(hr)) {
        return hr;
    }
    m_baseName = target.baseName;
    m_bodyChanged = false;
    m_rtfChanged = false;
    // Ids, size and flags as the saved file gives them; the object stays usable either way.
    MessageParts saved;
    if (SUCCEEDED(loadMessage(*m_store, m_folder, m_baseName, &saved))) {
        replaceContent(std::move(saved.props), std::move(saved.recipients));
    }
    return S_OK;
}

MessageParts Message::parts() const
{
    MessageParts parts{m_props, m_recipients, {}};
    for (const NumberedAttachment& attachment : m_attachments) {
        parts.attachments.push_back(attachment.data);
    }
    return parts;
}

// The attachments stay as they are, so that their numbers do not change.
void Message::replaceContent(PropList props, RecipientList recipients)
{
    m_props = std::move(props);
    m_recipients = std::move(recipients);
}

HRESULT Message::OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG, ULONG ulFlags,
                              LPUNKNOWN* lppUnk)
{
    if (!lpiid || !lppUnk) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (!isStreamableBody(ulPropTag)) {
        return MAPI_E_NO_SUPPORT;
    }
    if (!(*lpiid == IID_IStream)) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    // Both bodies are kept as text, whichever type the caller names; the RTF as bytes.
    const bool rtf = ulPropTag == PR_RTF_COMPRESSED;
    const ULONG tag = rtf ? ulPropTag : CHANGE_PROP_TYPE(ulPropTag, PT_STRING8);
    const Prop* current = findProp(m_props, tag);
    const bool create = ulFlags & MAPI_CREATE;
    if (m_readOnly && (ulFlags & (MAPI_MODIFY | MAPI_CREATE))) {
        return MAPI_E_NO_ACCESS;
    }
    if (!current && !create) {
        return MAPI_E_NOT_FOUND;
    }
    std::string data;
    if (current && !create) {
        data = rtf ? current->data : current->text();
    }
    *lppUnk = new PropStream(this, tag, std::move(data), ulFlags & (MAPI_MODIFY | MAPI_CREATE));
    return S_OK;
}

HRESULT Message::GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG,
                                 ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames)
{
    return namesFromIds(m_store->config().path, lppPropTags, lpPropSetGuid, lpcPropNames,
                        lpppPropNames);
}

HRESULT Message::GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                                 LPSPropTagArray* lppPropTags)
{
    return idsFromNames(m_store->config().path, cPropNames, lppPropNames, ulFlags, lppPropTags);
}

PropList Message::properties() const
{
    PropList props = m_props;
    putProp(&props, boolProp(PR_HASATTACH, !m_attachments.empty()));
    return props;
}

PropList Message::propertiesFor(const SPropTagArray& tags) const
{
    PropList props;
    for (ULONG i = 0; i < tags.cValues; ++i) {
        const ULONG tag = tags.aulPropTag[i];
        if (PROP_ID(tag) == PROP_ID(PR_HASATTACH)) {
            props.push_back(boolProp(PR_HASATTACH, !m_attachments.empty()));
        } else if (const Prop* prop = findProp(m_props, tag)) {
            props.push_back(*prop);
        }
    }
    return props;
}

Message::NumberedAttachment* Message::findAttachment(ULONG number)
{
    for (NumberedAttachment& attachment : m_attachments) {
        if (attachment.number == number) {
            return &attachment;
        }
    }
    return nullptr;
}

HRESULT Message::storeAttachment(ULONG number, AttachmentData attachment)
{
    if (m_readOnly) {
        return MAPI_E_NO_ACCESS;
    }
    if (NumberedAttachment* old = findAttachment(number)) {
        old->data = std::move(attachment);
        return S_OK;
    }
    const auto created =
        std::find(m_createdAttachments.begin(), m_createdAttachments.end(), number);
    if (created == m_createdAttachments.end()) {
        return MAPI_E_OBJECT_DELETED;
    }
    m_createdAttachments.erase(created);
    m_attachments.push_back({number, std::move(attachment)});
    return S_OK;
}

HRESULT Message::GetAttachmentTable(ULONG, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    std::vector<PropList> rows;
    for (const NumberedAttachment& attachment : m_attachments) {
        rows.push_back(attachmentRow(attachment.number, attachment.data));
    }
    *lppTable = new MemoryTable(std::move(rows), attachmentColumns());
    return S_OK;
}

HRESULT Message::OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG, IAttach** lppAttach)
{
    if (!lppAttach) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (lpInterface && !(*lpInterface == IID_IAttachment)) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    const NumberedAttachment* attachment = findAttachment(ulAttachmentNum);
    if (!attachment) {
        return MAPI_E_NOT_FOUND;
    }
    *lppAttach = new Attachment(this, ulAttachmentNum, attachment->data, true);
    return S_OK;
}

HRESULT Message::CreateAttach(LPCIID lpInterface, ULONG, ULONG* lpulAttachmentNum,
                              IAttach** lppAttach)
{
    if (!lpulAttachmentNum || !lppAttach) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (lpInterface && !(*lpInterface == IID_IAttachment)) {
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    if (m_readOnly) {
        return MAPI_E_NO_ACCESS;
    }
    // The number is taken now, so two attachments created side by side never share one.
    *lpulAttachmentNum = m_nextAttachment++;
    m_createdAttachments.push_back(*lpulAttachmentNum);
    *lppAttach = new Attachment(this, *lpulAttachmentNum, newAttachmentData(), false);
    return S_OK;
}

HRESULT Message::DeleteAttach(ULONG ulAttachmentNum, ULONG, IMAPIProgress*, ULONG)
{
    if (m_readOnly) {
        return MAPI_E_NO_ACCESS;
    }
    const auto found =
        std::find_if(m_attachments.begin(), m_attachments.end(),
                     [&](const NumberedAttachment& a) { return a.number == ulAttachmentNum; });
    if (found == m_attachments.end()) {
        // One created and not saved yet cannot be saved any more either.
        const auto created =
            std::find(m_createdAttachments.begin(), m_createdAttachments.end(), ulAttachmentNum);
        if (created == m_createdAttachments.end()) {
            return MAPI_E_NOT_FOUND;
        }
        m_createdAttachments.erase(created);
        return S_OK;
    }
    m_attachments.erase(found);
    return S_OK;
}

HRESULT Message::GetRecipientTable(ULONG, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppTable = new MemoryTable(m_recipients, recipientColumns());
    return S_OK;
}

HRESULT Message::ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods)
{
    if (m_readOnly) {
        return MAPI_E_NO_ACCESS;
    }
    // Changed on a copy, so a failing entry leaves the recipients as they were.
    RecipientList changed = m_recipients;
    const HRESULT hr = modifyRecipients(&changed, ulFlags, lpMods);
    if (SUCCEEDED(hr)) {
        m_recipients = std::move(changed);
    }
    return hr;
}

HRESULT Message::SetReadFlag(ULONG ulFlags)
{
    const bool read = !(ulFlags & CLEAR_READ_FLAG);
    // A receipt goes when asked for alone, or with the read mark unless it is suppressed.
    const bool receipt =
        (ulFlags & GENERATE_RECEIPT_ONLY) || (read && !(ulFlags & SUPPRESS_RECEIPT));
    if (receipt && !m_baseName.empty()) {
        MessageFile file;
        if (findMessage(m_store->folderDirectory(m_folder), m_baseName, &file)) {
            const HRESULT hr = queueReadReceipt(m_store, &file);
            if (FAILED(hr) || (ulFlags & GENERATE_RECEIPT_ONLY)) {
                return hr;
            }
        }
    }
    if (ulFlags & GENERATE_RECEIPT_ONLY) {
        return S_OK; // the read state stays as it is
    }
    if (!m_baseName.empty()) {
        MessageFile file;
        if (!findMessage(m_store->folderDirectory(m_folder), m_baseName, &file)) {
            return MAPI_E_OBJECT_DELETED;
        }
        const HRESULT hr = setSeenFlag(file, read);
        if (FAILED(hr)) {
            return hr;
        }
    }
    const Prop* flags = findProp(m_props, PR_MESSAGE_FLAGS);
    std::int64_t value = flags ? flags->number : 0;
    value = read ? (value | MSGFLAG_READ) : (value & ~std::int64_t{MSGFLAG_READ});
    putProp(&m_props, longProp(PR_MESSAGE_FLAGS, value));
    return S_OK;
}

} // namespace vntmapi
