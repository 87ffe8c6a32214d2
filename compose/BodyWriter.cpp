#include "compose/BodyWriter.h"

#include "compose/ComposeHost.h"
#include "compose/OutgoingState.h"
#include "compose/PropBatch.h"
#include "core/MessageHelpers.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

namespace vantrel::compose {

namespace {

constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgCannotSetOptions = 20027;
constexpr int kMsgCannotWriteStream = 20117;
constexpr ULONG kBodyStreamFlags = MAPI_CREATE | MAPI_MODIFY | MAPI_DEFERRED_ERRORS;

// The whole outgoing body: a message must not go out as the piece of its text that happened
// to be selected.
QString wholeBody(ComposeHost& host, int rich)
{
    QString text;
    host.wholeTextOut(ComposeHost::kOutgoingBox, text, rich);
    return text;
}

// Writes all of `bytes`, again for what a write leaves over. A failed write is told and
// leaves the stream uncommitted: a body cut short must not be sent as if it were whole.
bool writeAll(QWidget* view, IStream* stream, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        ULONG written = 0;
        const HRESULT hr = stream->Write(bytes.constData() + done,
                                         static_cast<ULONG>(bytes.size() - done), &written);
        if (FAILED(hr) || written == 0) {
            ShowViewMessage(view, kMsgCannotWriteStream, TitleWarning);
            return false;
        }
        done += written;
    }
    return true;
}

const mail::StoreCapabilities& capabilities(OutgoingState& state)
{
    return state.mail().session().capabilities();
}

// PR_BODY from the body as plain text; adds RTF_SYNC_BODY_CHANGED to `syncFlags` once the
// text has been read.
bool writePlainBody(OutgoingState& state, ULONG* syncFlags)
{
    const QString text = wholeBody(state.host(), 0);
    if (text.isEmpty())
        return false;
    *syncFlags |= RTF_SYNC_BODY_CHANGED;
    MapiPtr<IStream> stream;
    if (FAILED(state.message()->OpenProperty(PR_BODY, &IID_IStream, 0, kBodyStreamFlags,
                                             stream.putUnknown()))) {
        return false;
    }
    QByteArray bytes = text.toUtf8();
    bytes.append('\0');
    return writeAll(state.host().hostWidget(), stream.get(), bytes) && SUCCEEDED(stream->Commit(0));
}

// PR_RTF_COMPRESSED from the body as RTF, then the bodies put in step: by RTFSync where the
// store does not do it, else by marking them so.
bool writeRichBody(OutgoingState& state, ULONG syncFlags)
{
    ComposeHost& host = state.host();
    const mail::StoreCapabilities& store = capabilities(state);
    IMessage* message = state.message();
    const QString text = wholeBody(host, host.outgoingFormat() == 0 ? 0 : 1);
    if (text.isEmpty())
        return false;
    MapiPtr<IStream> compressed;
    if (FAILED(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, kBodyStreamFlags,
                                     compressed.putUnknown()))) {
        return false;
    }
    MapiPtr<IStream> rtf;
    const ULONG wrapFlags = MAPI_MODIFY | (store.uncompressedRichText ? STORE_UNCOMPRESSED_RTF : 0);
    if (FAILED(state.api().WrapCompressedRTFStream(compressed.get(), wrapFlags, rtf.put())))
        return false;
    // No zero byte after the closing brace: the stream keeps every byte, and the message's
    // rich part would carry it.
    if (!writeAll(host.hostWidget(), rtf.get(), text.toUtf8()) || FAILED(rtf->Commit(0)) ||
        FAILED(compressed->Commit(0))) {
        return false;
    }
    if (!store.richText) {
        BOOL updated = 0;
        state.api().RTFSync(message, RTF_SYNC_RTF_CHANGED | syncFlags, &updated);
        return true;
    }
    PropBatch inSync;
    inSync.flag(PR_RTF_IN_SYNC, true);
    return SUCCEEDED(inSync.applyTo(message));
}

QByteArray sentItemsId(OutgoingState& state)
{
    return state.mail().folders().knownFolders().idOf(mail::FolderClass::Sent);
}

// Sets `values`, saves, and writes the body (which saves again). Each step must succeed.
bool setSaveAndWrite(OutgoingState& state, PropBatch& values)
{
    IMessage* message = state.message();
    if (FAILED(values.applyTo(message)) || FAILED(message->SaveChanges(KEEP_OPEN_READWRITE)))
        return false;
    return WriteOutgoingBody(state);
}

QString orUnknown(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("Unknown") : text;
}

} // namespace

bool WriteOutgoingBody(OutgoingState& state)
{
    IMessage* message = state.message();
    if (!message)
        return false;
    const bool storeRich = capabilities(state).richText;
    ULONG syncFlags = 0;
    if (state.host().outgoingFormat() == 0) {
        if (!writePlainBody(state, &syncFlags))
            return false;
        if (!storeRich) {
            BOOL updated = 0;
            state.api().RTFSync(message, syncFlags, &updated);
        }
    } else if ((!storeRich && !writePlainBody(state, &syncFlags)) ||
               !writeRichBody(state, syncFlags)) {
        return false;
    }
    return SUCCEEDED(message->SaveChanges(KEEP_OPEN_READWRITE));
}

SenderIdentity ReadIdentity(OutgoingState& state, ULONG openFlags)
{
    SenderIdentity identity;
    IMAPISession* session = state.mail().session().session();
    if (!session) {
        identity.result = MAPI_E_NOT_INITIALIZED;
        return identity;
    }
    const vntmapi::EntryPoints& api = state.api();
    mail::MapiBuffer<ENTRYID> id(api);
    ULONG size = 0;
    identity.result = session->QueryIdentity(&size, id.put());
    if (FAILED(identity.result) || !id)
        return identity;
    identity.entryId =
        QByteArray(reinterpret_cast<const char*>(id.get()), static_cast<qsizetype>(size));
    ULONG type = 0;
    MapiPtr<IMAPIProp> user;
    identity.result =
        session->OpenEntry(size, id.get(), nullptr, openFlags, &type, user.putUnknown());
    if (SUCCEEDED(identity.result)) {
        const mail::PropsRead props(api, user.get(), {PR_DISPLAY_NAME, PR_EMAIL_ADDRESS});
        identity.name = props.text(PR_DISPLAY_NAME);
        identity.address = props.text(PR_EMAIL_ADDRESS);
        identity.complete = props.value(PR_DISPLAY_NAME) && props.value(PR_EMAIL_ADDRESS);
    }
    return identity;
}

bool SetSenderProps(OutgoingState& state)
{
    IMessage* message = state.message();
    if (!message)
        return false;
    const SenderIdentity identity = ReadIdentity(state, MAPI_BEST_ACCESS);
    PropBatch values;
    values.binaryOrNull(PR_SENDER_ENTRYID, identity.entryId);
    values.text(PR_SENDER_NAME, orUnknown(identity.name));
    values.text(PR_SENDER_EMAIL_ADDRESS, orUnknown(identity.address));
    values.binaryOrNull(PR_SENT_REPRESENTING_ENTRYID, identity.entryId);
    values.text(PR_SENT_REPRESENTING_NAME, orUnknown(identity.name));
    values.text(PR_SENT_REPRESENTING_EMAIL_ADDRESS, orUnknown(identity.address));
    const HRESULT hr =
        identity.result == MAPI_E_NOT_ENOUGH_MEMORY ? identity.result : values.applyTo(message);
    if (hr == MAPI_E_NOT_ENOUGH_MEMORY)
        ShowViewMessage(state.host().hostWidget(), kMsgOutOfMemory, TitleInformation);
    return SUCCEEDED(hr);
}

bool SetNewMessageProps(OutgoingState& state)
{
    if (!state.message())
        return false;
    const QString subject = state.host().subjectText();
    PropBatch values;
    values.textOrNull(PR_SUBJECT, subject);
    values.text(PR_MESSAGE_CLASS, QStringLiteral("IPM.Note"));
    values.binaryOrNull(PR_SENTMAIL_ENTRYID, sentItemsId(state));
    values.flag(PR_SEND_RICH_INFO, state.host().outgoingFormat() == 1);
    values.text(PR_CONVERSATION_TOPIC, subject);
    mail::MapiBuffer<BYTE> index(state.api());
    ULONG indexSize = 0;
    if (state.api().ScCreateConversationIndex(0, nullptr, &indexSize, index.put()) == S_OK &&
        index) {
        values.binary(PR_CONVERSATION_INDEX, QByteArray(reinterpret_cast<const char*>(index.get()),
                                                        static_cast<qsizetype>(indexSize)));
    } else {
        values.null();
    }
    return setSaveAndWrite(state, values);
}

bool SetReplyProps(OutgoingState& state)
{
    if (!state.message())
        return false;
    PropBatch values;
    values.textOrNull(PR_SUBJECT, state.host().subjectText());
    values.binaryOrNull(PR_SENTMAIL_ENTRYID, sentItemsId(state));
    values.flag(PR_SEND_RICH_INFO, state.host().outgoingFormat() == 1);
    return setSaveAndWrite(state, values);
}

bool SetMessageOptions(OutgoingState& state)
{
    const MessageOptions& options = state.options();
    PropBatch values;
    values.number(PR_IMPORTANCE, options.importance);
    values.number(PR_SENSITIVITY, options.sensitivity);
    values.flag(PR_READ_RECEIPT_REQUESTED, options.readReceipt);
    IMessage* message = state.message();
    if (!message || FAILED(values.applyTo(message))) {
        ShowViewMessage(state.host().hostWidget(), kMsgCannotSetOptions, TitleInformation);
        return false;
    }
    return true;
}

} // namespace vantrel::compose
