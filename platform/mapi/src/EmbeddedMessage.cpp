#include "EmbeddedMessage.h"

#include "Attachment.h"
#include "MessageWriter.h"

namespace vntmapi {

namespace {

// A message created in an attachment, before the caller sets anything.
MessageParts emptyMessage()
{
    MessageParts parts;
    parts.props.push_back(longProp(PR_OBJECT_TYPE, MAPI_MESSAGE));
    parts.props.push_back(stringProp(PR_MESSAGE_CLASS, "IPM.Note"));
    // What an attached message reads back as: no flag letters keep "unsent" inside another
    // message.
    parts.props.push_back(longProp(PR_MESSAGE_FLAGS, MSGFLAG_READ));
    return parts;
}

} // namespace

IMessage* EmbeddedMessage::open(Attachment* attachment, MsgStore* store,
                                const std::vector<BYTE>& bytes, bool writable)
{
    MessageParts parts = bytes.empty() ? emptyMessage() : readAttachedMessage(bytes);
    auto* message = new EmbeddedMessage(attachment, store, std::move(parts), bytes);
    if (!writable) {
        message->setReadOnly();
    }
    return message;
}

// No folder and no file name: nothing of the base class can reach a folder on its behalf.
EmbeddedMessage::EmbeddedMessage(Attachment* attachment, MsgStore* store, MessageParts parts,
                                 std::vector<BYTE> bytes)
    : Message(store, {}, {}, std::move(parts.props), std::move(parts.recipients),
              std::move(parts.attachments))
    , m_attachment(attachment)
    , m_bytes(std::move(bytes))
{
    m_attachment->AddRef();
}

EmbeddedMessage::~EmbeddedMessage()
{
    m_attachment->Release();
}

HRESULT EmbeddedMessage::SaveChanges(ULONG)
{
    if (isReadOnly()) {
        return MAPI_E_NO_ACCESS;
    }
    const MessageParts current = parts();
    m_bytes = renderMessageBytes(current.props, current.recipients, current.attachments, m_bytes);
    m_attachment->takeAttachedMessage(m_bytes, current.props);
    // Size and the like as the rendered message gives them, as a saved file is read back.
    MessageParts saved = readAttachedMessage(m_bytes);
    replaceContent(std::move(saved.props), std::move(saved.recipients));
    return S_OK;
}

HRESULT EmbeddedMessage::SubmitMessage(ULONG)
{
    // It goes out with the message that holds it, never on its own.
    return MAPI_E_NO_SUPPORT;
}

} // namespace vntmapi
