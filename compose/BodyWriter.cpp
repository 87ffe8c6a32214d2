#include "compose/BodyWriter.h"

#include "compose/ComposeHost.h"
#include "compose/OutgoingState.h"
#include "core/MessageHelpers.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QSignalBlocker>
#include <QTextEdit>
#include <deque>
#include <optional>
#include <vector>

namespace vantrel::compose {

namespace {

constexpr int kMsgOutOfMemory = 20002;
constexpr int kMsgCannotSetOptions = 20027;
constexpr int kMsgCannotWriteStream = 20117;
constexpr ULONG kBodyStreamFlags = MAPI_CREATE | MAPI_MODIFY | MAPI_DEFERRED_ERRORS;

// Values for one SetProps call, owning the bytes they point at.
class PropBatch
{
public:
    void text(ULONG tag, const QString& value) { bytes(tag, value.toUtf8(), true); }
    void textOrNull(ULONG tag, const QString& value)
    {
        value.isEmpty() ? null() : text(tag, value);
    }
    void binary(ULONG tag, const QByteArray& value) { bytes(tag, value, false); }
    void binaryOrNull(ULONG tag, const QByteArray& value)
    {
        value.isEmpty() ? null() : binary(tag, value);
    }
    void flag(ULONG tag, bool on)
    {
        SPropValue& value = add(tag);
        value.Value.b = on ? 1 : 0;
    }
    void number(ULONG tag, LONG number) { add(tag).Value.l = number; }
    void null() { add(PR_NULL); }
    HRESULT applyTo(IMessage* message)
    {
        return message->SetProps(static_cast<ULONG>(m_values.size()), m_values.data(), nullptr);
    }

private:
    SPropValue& add(ULONG tag)
    {
        SPropValue value{};
        value.ulPropTag = tag;
        return m_values.emplace_back(value);
    }
    void bytes(ULONG tag, const QByteArray& data, bool isText)
    {
        const QByteArray& owned = m_owned.emplace_back(data);
        SPropValue& value = add(tag);
        if (isText) {
            value.Value.lpszA = const_cast<char*>(owned.constData());
        } else {
            value.Value.bin.cb = static_cast<ULONG>(owned.size());
            value.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char*>(owned.constData()));
        }
    }

    std::vector<SPropValue> m_values;
    std::deque<QByteArray> m_owned; // a deque keeps the elements in place as it grows
};

QTextEdit* outgoingBox(ComposeHost& host)
{
    QWidget* view = host.hostWidget();
    if (!view)
        return nullptr;
    for (QTextEdit* edit : view->findChildren<QTextEdit*>()) {
        if (edit->property("controlId").toInt() == ComposeHost::kOutgoingBox)
            return edit;
    }
    return nullptr;
}

// The whole outgoing body. Streaming reads only the selection when there is one, and a
// message must not go out as the piece of its text that happened to be selected.
QString wholeBody(ComposeHost& host, int rich)
{
    QTextEdit* box = outgoingBox(host);
    const QSignalBlocker quiet(box);
    std::optional<QTextCursor> selection;
    if (box && box->textCursor().hasSelection()) {
        selection = box->textCursor();
        QTextCursor caret = *selection;
        caret.clearSelection();
        box->setTextCursor(caret);
    }
    QString text;
    host.streamTextOut(ComposeHost::kOutgoingBox, text, rich);
    if (selection)
        box->setTextCursor(*selection);
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

bool SetSenderProps(OutgoingState& state)
{
    IMessage* message = state.message();
    IMAPISession* session = state.mail().session().session();
    if (!message || !session)
        return false;
    const vntmapi::EntryPoints& api = state.api();
    mail::MapiBuffer<ENTRYID> identity(api);
    ULONG identitySize = 0;
    HRESULT hr = session->QueryIdentity(&identitySize, identity.put());
    bool outOfMemory = hr == MAPI_E_NOT_ENOUGH_MEMORY;
    QByteArray id;
    QString name;
    QString address;
    if (SUCCEEDED(hr) && identity) {
        id = QByteArray(reinterpret_cast<const char*>(identity.get()),
                        static_cast<qsizetype>(identitySize));
        ULONG type = 0;
        MapiPtr<IMAPIProp> user;
        hr = session->OpenEntry(identitySize, identity.get(), nullptr, MAPI_BEST_ACCESS, &type,
                                user.putUnknown());
        outOfMemory = hr == MAPI_E_NOT_ENOUGH_MEMORY;
        if (SUCCEEDED(hr)) {
            const mail::PropsRead props(api, user.get(), {PR_DISPLAY_NAME, PR_EMAIL_ADDRESS});
            name = props.text(PR_DISPLAY_NAME);
            address = props.text(PR_EMAIL_ADDRESS);
        }
    }
    PropBatch values;
    values.binaryOrNull(PR_SENDER_ENTRYID, id);
    values.text(PR_SENDER_NAME, orUnknown(name));
    values.text(PR_SENDER_EMAIL_ADDRESS, orUnknown(address));
    values.binaryOrNull(PR_SENT_REPRESENTING_ENTRYID, id);
    values.text(PR_SENT_REPRESENTING_NAME, orUnknown(name));
    values.text(PR_SENT_REPRESENTING_EMAIL_ADDRESS, orUnknown(address));
    hr = outOfMemory ? MAPI_E_NOT_ENOUGH_MEMORY : values.applyTo(message);
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
