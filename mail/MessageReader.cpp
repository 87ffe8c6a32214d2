#include "mail/MessageReader.h"

#include "core/CSupportDoc.h"
#include "core/MessageHelpers.h"
#include "mail/BodyReader.h"
#include "mail/ContactReader.h"
#include "mail/MailHost.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace vantrel::mail {

namespace {

constexpr int kMsgMessageNotFound = 20011;
constexpr int kMsgSeekFailed = 20076;
constexpr int kMsgQueryFailed = 20077;
constexpr int kMsgOpenFailed = 20078;
constexpr int kMsgStreamError = 20118;

constexpr qsizetype kMaxSubject = 253;

const QString kNoHeaders = u"Empty"_s;
const QString kUnreadable = u"Unable to read text!"_s;
const QString kBlank = u" "_s;

QString orBlank(const QString& text)
{
    return text.isEmpty() ? kBlank : text;
}

// The first `count` characters, never ending inside a character outside the basic plane.
QString firstCharacters(QString text, qsizetype count)
{
    if (text.size() > count) {
        text.truncate(text.at(count - 1).isHighSurrogate() ? count - 1 : count);
    }
    return text;
}

class Values
{
public:
    explicit Values(const vntmapi::EntryPoints& api)
        : m_values(api)
    {}
    HRESULT read(IMAPIProp* object, TagArray& tags)
    {
        return object->GetProps(tags.get(), 0, &m_count, m_values.put());
    }
    const SPropValue* find(ULONG tag) const { return FindValue(m_values.get(), m_count, tag); }
    QString text(ULONG tag) const
    {
        const SPropValue* value = find(tag);
        return value && value->Value.lpszA ? QString::fromUtf8(value->Value.lpszA) : QString();
    }
    std::uint64_t fileTime(ULONG tag) const
    {
        const SPropValue* value = find(tag);
        return value ? (std::uint64_t{value->Value.ft.dwHighDateTime} << 32) |
                           value->Value.ft.dwLowDateTime
                     : 0;
    }

private:
    MapiBuffer<SPropValue> m_values;
    ULONG m_count = 0;
};

} // namespace

MessageReader::MessageReader(MailSession& session, CSupportDoc& doc, MailHost& host,
                             QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_doc(doc)
    , m_host(host)
    , m_modifiers([] { return QGuiApplication::queryKeyboardModifiers(); })
{}

const vntmapi::EntryPoints& MessageReader::api() const
{
    return m_session.api();
}

void MessageReader::notify(int messageId, int titleKind)
{
    ShowViewMessage(m_host.hostWidget(), messageId, titleKind);
}

void MessageReader::readSelected(const ReadTarget& target)
{
    if (!target.store || !target.contents || target.row < 0)
        return;
    MapiPtr<IMessage> message = openSelected(target);
    if (!message)
        return;
    if (target.contactsFolder) {
        showPlain(ContactItemText(api(), message.get()));
        return;
    }
    if (m_modifiers().testFlag(Qt::AltModifier)) {
        showHeaders(message.get());
        return;
    }
    int inSyncState = RtfSyncUnknown;
    if (readSummary(message.get(), &inSyncState))
        showBody(message.get(), inSyncState);
}

MapiPtr<IMessage> MessageReader::openSelected(const ReadTarget& target)
{
    if (FAILED(target.contents->SeekRow(BOOKMARK_BEGINNING, target.row, nullptr))) {
        notify(kMsgSeekFailed, TitleInformation);
        return {};
    }
    Rows rows(api());
    // A row past the end of the table reads as none.
    if (FAILED(target.contents->QueryRows(1, TBL_NOADVANCE, rows.put())) || rows.count() == 0) {
        notify(kMsgQueryFailed, TitleInformation);
        return {};
    }
    const QByteArray id = BinaryOf(rows[0], PR_ENTRYID);
    MapiPtr<IMessage> message;
    ULONG type = 0;
    // An empty id would open the store's root folder.
    const HRESULT hr = id.isEmpty()
                           ? MAPI_E_INVALID_ENTRYID
                           : target.store->OpenEntry(EntryIdSize(id), EntryIdData(id), nullptr,
                                                     MAPI_BEST_ACCESS, &type, message.putUnknown());
    if (hr == MAPI_E_NOT_FOUND) {
        notify(kMsgMessageNotFound, TitleInformation);
        return {};
    }
    if (FAILED(hr) || type != MAPI_MESSAGE || !message) {
        notify(kMsgOpenFailed, TitleInformation);
        return {};
    }
    return message;
}

void MessageReader::showHeaders(IMessage* message)
{
    TagArray tags{PR_TRANSPORT_MESSAGE_HEADERS};
    Values values(api());
    QString headers;
    if (SUCCEEDED(values.read(message, tags)))
        headers = values.text(PR_TRANSPORT_MESSAGE_HEADERS);
    showPlain(headers.isEmpty() ? kNoHeaders : headers);
}

bool MessageReader::readSummary(IMessage* message, int* inSyncState)
{
    TagArray tags{PR_SENT_REPRESENTING_NAME,
                  PR_SENT_REPRESENTING_EMAIL_ADDRESS,
                  PR_MESSAGE_DELIVERY_TIME,
                  PR_CREATION_TIME,
                  PR_CLIENT_SUBMIT_TIME,
                  PR_MESSAGE_FLAGS,
                  PR_SUBJECT,
                  PR_RTF_IN_SYNC};
    Values values(api());
    if (FAILED(values.read(message, tags))) {
        notify(kMsgOpenFailed, TitleInformation);
        return false;
    }
    m_host.setSenderFields(orBlank(values.text(PR_SENT_REPRESENTING_NAME)),
                           orBlank(values.text(PR_SENT_REPRESENTING_EMAIL_ADDRESS)));
    m_state.deliveryTime = values.fileTime(PR_MESSAGE_DELIVERY_TIME);
    m_state.creationTime = values.fileTime(PR_CREATION_TIME);
    m_state.submitTime = values.fileTime(PR_CLIENT_SUBMIT_TIME);
    const SPropValue* flags = values.find(PR_MESSAGE_FLAGS);
    m_state.unsent = flags && (ULONG(flags->Value.l) & MSGFLAG_UNSENT);
    m_state.subject = orBlank(firstCharacters(values.text(PR_SUBJECT), kMaxSubject));
    const SPropValue* inSync = values.find(PR_RTF_IN_SYNC);
    *inSyncState = !inSync ? RtfSyncUnknown : inSync->Value.b ? RtfInSync : RtfOutOfSync;
    return true;
}

void MessageReader::showBody(IMessage* message, int inSyncState)
{
    if (loadBody(message, inSyncState)) {
        m_host.restartReadTimer();
        return;
    }
    m_host.showReadText(kUnreadable, false);
    Q_EMIT dragStateCleared();
}

// A body the read box refuses counts as unread, so the message is not marked as read
// unseen; refused rich text gives way to the message's plain or HTML body.
bool MessageReader::loadBody(IMessage* message, int inSyncState)
{
    const bool html = m_session.capabilities().html;
    const bool rawHtml = m_doc.intSetting(ReadHtmlCode) != 0;
    QString text;
    bool rich = false;
    if (!ReadBody(api(), message, inSyncState, html, rawHtml, &text, &rich))
        return false;
    if (m_host.showReadText(text, rich))
        return true;
    notify(kMsgStreamError, TitleWarning);
    return rich && ReadBody(api(), message, RtfSyncUnknown, html, rawHtml, &text, &rich) &&
           m_host.showReadText(text, rich);
}

void MessageReader::showPlain(const QString& text)
{
    if (!m_host.showReadText(text, false))
        notify(kMsgStreamError, TitleWarning);
}

} // namespace vantrel::mail
