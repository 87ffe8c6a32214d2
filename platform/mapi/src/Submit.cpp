// Submitting a message (SubmitMessage) and queuing read receipts: both leave through the send
// queue of the store (SpoolRecord.h), which the session's spooler works through.
#include "DeliveryReport.h"
#include "Message.h"
#include "MessageWriter.h"
#include "SpoolRecord.h"
#include "Spooler.h"
#include "fileio/AtomicFile.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <glib/gstdio.h>
#include <gmime/gmime.h>
#include <map>
#include <string_view>

namespace vntmapi {

namespace {

const std::string& textOf(const PropList& props, ULONG tag)
{
    static const std::string empty;
    const Prop* prop = findProp(props, tag);
    return prop && PROP_TYPE(prop->tag) != PT_ERROR ? prop->text() : empty;
}

std::string toCrlf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

// The folder a sent copy goes to: the one the message names, else the store's Sent Items,
// else it stays in the Outbox (sent, not lost).
std::string sentFolderOf(const MsgStore& store, const PropList& props)
{
    if (const Prop* id = findProp(props, PR_SENTMAIL_ENTRYID);
        id && PROP_TYPE(id->tag) == PT_BINARY) {
        EntryRef ref;
        if (decodeEntryId(id->data.data(), static_cast<ULONG>(id->data.size()), &ref) &&
            ref.kind == EntryKind::Folder && ref.store == store.config().key &&
            ref.folder != kSubtreeFolder && ref.folder != kInboxFolder &&
            store.folderExists(ref.folder)) {
            return ref.folder;
        }
    }
    const std::string& sent = store.config().sentItems;
    return !sent.empty() && store.folderExists(sent) ? sent : store.config().outbox;
}

// The Maildir keyword letter Dovecot maps to `keyword` in `folderDir`, added to its
// dovecot-keywords file when missing; 0 when all 26 letters are taken.
char keywordLetter(const std::string& folderDir, const std::string& keyword)
{
    const std::string path = joinPath(folderDir, "dovecot-keywords");
    gchar* data = nullptr;
    std::string text;
    if (g_file_get_contents(path.c_str(), &data, nullptr, nullptr)) {
        text = data;
        g_free(data);
    }
    std::map<int, std::string> known;
    gchar** lines = g_strsplit(text.c_str(), "\n", -1);
    for (gchar** line = lines; *line; ++line) {
        gchar* space = strchr(*line, ' ');
        if (space) {
            known[atoi(*line)] = space + 1;
        }
    }
    g_strfreev(lines);
    for (const auto& [index, name] : known) {
        if (name == keyword && index >= 0 && index < 26) {
            return static_cast<char>('a' + index);
        }
    }
    for (int index = 0; index < 26; ++index) {
        if (!known.count(index)) {
            if (!text.empty() && text.back() != '\n') {
                text += '\n';
            }
            text += std::to_string(index) + " " + keyword + "\n";
            const auto written =
                vnt::fileio::writeFileAtomically(QFile::decodeName(QByteArray::fromStdString(path)),
                                                 QByteArray::fromStdString(text));
            return written.ok() ? static_cast<char>('a' + index) : 0;
        }
    }
    return 0;
}

// Whether the file at `path` has `name` anywhere in it, in any case; true when it cannot be
// read, so that the reader that follows finds that out.
bool mentions(const std::string& path, std::string_view name)
{
    gchar* data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(path.c_str(), &data, &size, nullptr)) {
        return true;
    }
    const std::string_view text(data, size);
    const auto found = std::search(text.begin(), text.end(), name.begin(), name.end(),
                                   [](char a, char b) { return g_ascii_tolower(a) == b; });
    g_free(data);
    return found != text.end();
}

std::string folderDirOf(const MessageFile& file)
{
    gchar* sub = g_path_get_dirname(file.path.c_str());
    gchar* folder = g_path_get_dirname(sub);
    std::string dir = folder;
    g_free(folder);
    g_free(sub);
    return dir;
}

// First address of a header's mailbox list.
std::string firstAddress(GMimeObject* object, const char* header)
{
    const char* value = g_mime_object_get_header(object, header);
    if (!value) {
        return {};
    }
    InternetAddressList* list = internet_address_list_parse(nullptr, value);
    std::string address;
    if (list && internet_address_list_length(list) > 0) {
        InternetAddress* first = internet_address_list_get_address(list, 0);
        if (INTERNET_ADDRESS_IS_MAILBOX(first)) {
            address = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(first));
        }
    }
    if (list) {
        g_object_unref(list);
    }
    return address;
}

HRESULT queueOutgoing(const StoreConfig& config, const std::string& id, const SpoolRecord& record,
                      const std::string& bytes)
{
    const Spool spool(config);
    if (!spool.isValid()) {
        return MAPI_E_NOT_FOUND;
    }
    // The bytes first: the record is what makes the message queued.
    HRESULT hr = spool.writeMessage(id, bytes);
    if (SUCCEEDED(hr)) {
        hr = spool.write(id, record);
    }
    if (FAILED(hr)) {
        spool.remove(id);
        return hr;
    }
    Spooler::wakeAll();
    return S_OK;
}

} // namespace

HRESULT Message::SubmitMessage(ULONG)
{
    const StoreConfig& config = m_store->config();
    if (config.outbox.empty() || !m_store->folderExists(config.outbox)) {
        setLastError(MAPI_E_NO_SUPPORT, "The message store has no Outbox to send from.");
        return MAPI_E_NO_SUPPORT;
    }
    if (!config.transport.isUsable()) {
        setLastError(MAPI_E_NO_SUPPORT,
                     config.transport.kind == TransportConfig::Smtp
                         ? "No mail server is set in the profile."
                         : "The program " + config.transport.sendmailPath +
                               " that sends mail is not there; set a mail server in the profile.");
        return MAPI_E_NO_SUPPORT;
    }
    SpoolRecord record;
    for (const PropList& recipient : m_recipients) {
        const std::string& address = textOf(recipient, PR_EMAIL_ADDRESS);
        const std::string& type = textOf(recipient, PR_ADDRTYPE);
        if (!address.empty() && (type.empty() || g_ascii_strcasecmp(type.c_str(), "SMTP") == 0)) {
            record.recipients.push_back(address);
        }
    }
    if (record.recipients.empty()) {
        return MAPI_E_NO_RECIPIENTS;
    }
    // Sent as the profile's identity unless the message says otherwise.
    if (textOf(m_props, PR_SENT_REPRESENTING_EMAIL_ADDRESS).empty()) {
        putProp(&m_props, stringProp(PR_SENT_REPRESENTING_NAME, config.identityName));
        putProp(&m_props, stringProp(PR_SENT_REPRESENTING_EMAIL_ADDRESS, config.identityAddress));
    }
    if (textOf(m_props, PR_SENDER_EMAIL_ADDRESS).empty()) {
        putProp(&m_props, stringProp(PR_SENDER_NAME, textOf(m_props, PR_SENT_REPRESENTING_NAME)));
        putProp(&m_props, stringProp(PR_SENDER_EMAIL_ADDRESS,
                                     textOf(m_props, PR_SENT_REPRESENTING_EMAIL_ADDRESS)));
    }
    record.from = textOf(m_props, PR_SENDER_EMAIL_ADDRESS);
    if (record.from.empty()) {
        setLastError(MAPI_E_INVALID_PARAMETER,
                     "The profile gives no address to send from; set one in the profile.");
        return MAPI_E_INVALID_PARAMETER;
    }
    const std::int64_t now = nowMs() / 1000;
    putProp(&m_props, timeProp(PR_CLIENT_SUBMIT_TIME, fileTimeFromUnix(now)));
    // Queued items are read and carry no D, so that other programs do not take them for drafts.
    const Prop* flags = findProp(m_props, PR_MESSAGE_FLAGS);
    const std::int64_t oldFlags = flags ? flags->number : 0;
    putProp(&m_props,
            longProp(PR_MESSAGE_FLAGS, (oldFlags & ~std::int64_t{MSGFLAG_UNSENT}) | MSGFLAG_READ));
    MessageFile elsewhere;
    const bool moving = m_folder != config.outbox;
    if (moving && !m_baseName.empty() &&
        !findMessage(m_store->folderDirectory(m_folder), m_baseName, &elsewhere)) {
        return MAPI_E_OBJECT_DELETED;
    }
    if (moving) {
        m_folder = config.outbox;
        m_baseName.clear();
    }
    HRESULT hr = SaveChanges(0);
    if (FAILED(hr)) {
        return hr;
    }
    if (!elsewhere.path.empty()) {
        removeMessageFile(elsewhere); // it lives on in the Outbox
    }
    MessageFile saved;
    if (!findMessage(m_store->folderDirectory(m_folder), m_baseName, &saved)) {
        return MAPI_E_OBJECT_DELETED;
    }
    std::vector<AttachmentData> attachments;
    for (const NumberedAttachment& attachment : m_attachments) {
        attachments.push_back(attachment.data);
    }
    const std::string bytes = renderForSending(m_props, m_recipients, attachments, saved.path);
    record.message = m_baseName;
    record.subject = textOf(m_props, PR_SUBJECT);
    const Prop* deleteAfter = findProp(m_props, PR_DELETE_AFTER_SUBMIT);
    record.afterSent = deleteAfter && deleteAfter->number ? "" : sentFolderOf(*m_store, m_props);
    record.submitted = now;
    hr = queueOutgoing(config, m_baseName, record, bytes);
    if (FAILED(hr)) {
        markUnsent(saved); // not queued: a draft in the Outbox, not a message that seems to wait
        return hr;
    }
    putProp(&m_props, longProp(PR_MESSAGE_FLAGS, (oldFlags & ~std::int64_t{MSGFLAG_UNSENT}) |
                                                     MSGFLAG_READ | MSGFLAG_SUBMIT));
    return S_OK;
}

HRESULT queueReadReceipt(MsgStore* store, MessageFile* file)
{
    // Most messages ask for no receipt: a look for the header's name spares them the parse.
    if (!mentions(file->path, "disposition-notification-to")) {
        return S_OK;
    }
    const std::string folderDir = folderDirOf(*file);
    const StoreConfig& config = store->config();
    GMimeStream* stream = g_mime_stream_fs_open(file->path.c_str(), O_RDONLY, 0, nullptr);
    if (!stream) {
        return MAPI_E_NOT_FOUND;
    }
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message) {
        return S_OK; // not a message: nothing asked for
    }
    ReadReceipt receipt;
    receipt.to = firstAddress(GMIME_OBJECT(message), "Disposition-Notification-To");
    const std::string returnPath = firstAddress(GMIME_OBJECT(message), "Return-Path");
    const char* subject = g_mime_message_get_subject(message);
    receipt.subject = subject ? subject : "";
    const char* id = g_mime_message_get_message_id(message);
    receipt.messageId = id ? id : "";
    g_object_unref(message);
    // RFC 8098: no receipt unasked to an address other than the one the message came back
    // from, which would let a sender learn about a third party's reading.
    if (receipt.to.empty() ||
        (!returnPath.empty() && g_ascii_strcasecmp(returnPath.c_str(), receipt.to.c_str()) != 0)) {
        return S_OK;
    }
    const char letter = keywordLetter(folderDir, "$MDNSent");
    if (letter != 0 && file->info.find(letter) != std::string::npos) {
        return S_OK; // one has gone already
    }
    if (!config.transport.isUsable() || config.outbox.empty() ||
        !store->folderExists(config.outbox)) {
        return MAPI_E_NO_SUPPORT;
    }
    receipt.from = config.identityAddress;
    receipt.fromName = config.identityName;
    SpoolRecord record;
    record.recipients = {receipt.to};
    record.subject = "Read: " + receipt.subject;
    record.submitted = nowMs() / 1000;
    // A receipt goes with a null return path (RFC 8098 2.1) and leaves no copy behind.
    const HRESULT hr =
        queueOutgoing(config, newUniqueName(), record, toCrlf(buildReadReceipt(receipt)));
    if (FAILED(hr) || letter == 0) {
        return hr;
    }
    std::string info = file->info + letter;
    std::sort(info.begin(), info.end());
    const std::string dest = joinPath(folderDir, "cur/" + file->baseName + ":2," + info);
    if (g_rename(file->path.c_str(), dest.c_str()) == 0) {
        file->path = dest;
        file->info = info;
    }
    return S_OK;
}

} // namespace vntmapi
