#include "Message.h"

#include "MimeContent.h"

namespace vntmapi {

namespace {

void addText(PropList* props, ULONG tag, const std::string& value)
{
    if (!value.empty()) {
        props->push_back(stringProp(tag, value));
    }
}

} // namespace

PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& s)
{
    EntryRef ref = folderRef(store.config().key, folder);
    ref.kind = EntryKind::Message;
    ref.message = file.baseName;
    PropList row;
    row.push_back(binaryProp(PR_ENTRYID, encodeEntryId(ref)));
    row.push_back(binaryProp(PR_PARENT_ENTRYID, store.folderId(folder)));
    row.push_back(longProp(PR_OBJECT_TYPE, MAPI_MESSAGE));
    row.push_back(stringProp(PR_MESSAGE_CLASS, "IPM.Note"));
    row.push_back(stringProp(PR_SUBJECT, s.subject));
    addText(&row, PR_SENT_REPRESENTING_NAME, s.fromName);
    addText(&row, PR_SENT_REPRESENTING_EMAIL_ADDRESS, s.fromAddress);
    addText(&row, PR_SENDER_NAME, s.senderName);
    addText(&row, PR_SENDER_EMAIL_ADDRESS, s.senderAddress);
    row.push_back(stringProp(PR_DISPLAY_TO, s.displayTo));
    row.push_back(stringProp(PR_DISPLAY_CC, s.displayCc));
    row.push_back(timeProp(PR_MESSAGE_DELIVERY_TIME, s.deliveryTime));
    if (s.submitTime != 0) {
        row.push_back(timeProp(PR_CLIENT_SUBMIT_TIME, s.submitTime));
    }
    row.push_back(longProp(PR_MESSAGE_SIZE, s.size));
    row.push_back(longProp(PR_MESSAGE_FLAGS, s.flags));
    row.push_back(longProp(PR_IMPORTANCE, s.importance));
    row.push_back(boolProp(PR_HASATTACH, s.hasAttachments));
    return row;
}

HRESULT openMessage(MsgStore* store, const std::string& folder, const std::string& baseName,
                    IMessage** message)
{
    MessageFile file;
    if (!findMessage(store->folderDirectory(folder), baseName, &file)) {
        return MAPI_E_NOT_FOUND;
    }
    MessageSummary summary;
    MessageContent content;
    if (!readMessage(file, &summary, &content)) {
        return MAPI_E_NOT_FOUND; // renamed or removed since it was listed
    }
    PropList props = messageProperties(*store, folder, file, summary);
    addText(&props, PR_BODY, content.bodyText);
    addText(&props, PR_BODY_HTML, content.bodyHtml);
    addText(&props, PR_TRANSPORT_MESSAGE_HEADERS, content.headers);
    *message = new Message(store, std::move(props));
    return S_OK;
}

Message::Message(MsgStore* store, PropList props)
    : m_store(store)
    , m_props(std::move(props))
{
    m_store->AddRef();
}

Message::~Message()
{
    m_store->Release();
}

HRESULT Message::OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::GetAttachmentTable(ULONG, IMAPITable**)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::OpenAttach(ULONG, LPCIID, ULONG, IAttach**)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::CreateAttach(LPCIID, ULONG, ULONG*, IAttach**)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::DeleteAttach(ULONG, ULONG, IMAPIProgress*, ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::GetRecipientTable(ULONG, IMAPITable**)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::ModifyRecipients(ULONG, LPADRLIST)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::SubmitMessage(ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

HRESULT Message::SetReadFlag(ULONG)
{
    return MAPI_E_NO_SUPPORT;
}

} // namespace vntmapi
