#include "Transport.h"

#include <QUrl>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <unistd.h>

namespace vnt::transport {

namespace {

// The option lost a letter in its first spelling.
#if LIBCURL_VERSION_NUM >= 0x080200
constexpr CURLoption kRcptAllowFails = CURLOPT_MAIL_RCPT_ALLOWFAILS;
#else
constexpr CURLoption kRcptAllowFails = CURLOPT_MAIL_RCPT_ALLLOWFAILS;
#endif

struct CurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What was said on the connection: the replies to each RCPT TO, and the last reply.
struct Conversation
{
    QByteArray lastCommand;
    QByteArray pendingRecipient;
    QByteArray lastReply;
    QList<QByteArray> accepted;
    QList<QByteArray> refused;
    QList<QByteArray> deferred;
    QByteArray refusalReply;

    void sent(const QByteArray& line)
    {
        lastCommand = line.trimmed();
        pendingRecipient.clear();
        if (lastCommand.startsWith("RCPT TO:<")) {
            const qsizetype end = lastCommand.indexOf('>');
            pendingRecipient = lastCommand.mid(9, end < 0 ? -1 : end - 9);
        }
    }
    void received(const QByteArray& data)
    {
        for (const QByteArray& raw : data.split('\n')) {
            const QByteArray line = raw.trimmed();
            // "250-..." continues a reply; "250 ..." (or a bare code) ends it.
            if (line.size() < 3 || (line.size() > 3 && line.at(3) == '-'))
                continue;
            lastReply = line;
            if (pendingRecipient.isEmpty())
                continue;
            if (line.startsWith('2')) {
                accepted.append(pendingRecipient);
            } else {
                (line.startsWith('4') ? deferred : refused).append(pendingRecipient);
                refusalReply = line;
            }
            pendingRecipient.clear();
        }
    }
};

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* context)
{
    auto* conversation = static_cast<Conversation*>(context);
    const QByteArray text(data, qsizetype(size));
    if (type == CURLINFO_HEADER_OUT)
        conversation->sent(text);
    else if (type == CURLINFO_HEADER_IN)
        conversation->received(text);
    return 0;
}

struct Upload
{
    const QByteArray& data;
    qsizetype offset = 0;
};

size_t onRead(char* buffer, size_t size, size_t count, void* context)
{
    auto* upload = static_cast<Upload*>(context);
    const qsizetype room = qsizetype(size * count);
    const qsizetype length = std::min(room, upload->data.size() - upload->offset);
    memcpy(buffer, upload->data.constData() + upload->offset, size_t(length));
    upload->offset += length;
    return size_t(length);
}

QByteArray localHostName()
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 && name[0] ? QByteArray(name)
                                                              : QByteArray("localhost");
}

QString replyText(const QByteArray& reply)
{
    return QString::fromUtf8(reply);
}

// Classifies a failed transfer by curl's code and the server's last reply.
SendResult failure(CURLcode code, long replyCode, const Conversation& talk, const char* detail)
{
    SendResult result;
    result.serverReply =
        replyText(talk.refusalReply.isEmpty() ? talk.lastReply : talk.refusalReply);
    result.refused = talk.refused;
    result.deferred = talk.deferred;
    const QString curlText = QString::fromUtf8(*detail ? detail : curl_easy_strerror(code));
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        result.outcome = SendResult::Deferred;
        result.reason = QStringLiteral("the mail server's name could not be found");
        return result;
    case CURLE_COULDNT_CONNECT:
        result.outcome = SendResult::Deferred;
        result.reason = QStringLiteral("the mail server could not be reached");
        return result;
    case CURLE_OPERATION_TIMEDOUT:
        result.outcome = SendResult::Deferred;
        result.reason = QStringLiteral("the mail server did not answer in time");
        return result;
    case CURLE_LOGIN_DENIED:
        result.reason = QStringLiteral("the mail server did not accept the user name or password");
        return result;
    case CURLE_USE_SSL_FAILED:
        result.reason = QStringLiteral("the mail server does not offer a secure connection");
        return result;
    case CURLE_PEER_FAILED_VERIFICATION:
        result.reason = QStringLiteral("the mail server's certificate could not be verified (%1)")
                            .arg(curlText);
        return result;
    case CURLE_SSL_CONNECT_ERROR:
        result.reason = QStringLiteral("no secure connection could be made to the mail server (%1)")
                            .arg(curlText);
        return result;
    default:
        break;
    }
    if (replyCode >= 400 && replyCode < 500) {
        result.outcome = SendResult::Deferred;
        result.reason = QStringLiteral("the mail server asked to try again later");
    } else if (replyCode >= 500) {
        result.reason = talk.refused.isEmpty()
                            ? QStringLiteral("the mail server refused the message")
                            : QStringLiteral("the mail server refused every recipient");
    } else {
        // The connection broke before the server had its say: worth another try.
        result.outcome = SendResult::Deferred;
        result.reason =
            QStringLiteral("the connection to the mail server failed (%1)").arg(curlText);
    }
    return result;
}

} // namespace

SendResult sendWithSmtp(const TransportSettings& settings, const Envelope& envelope,
                        const QByteArray& message)
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    std::unique_ptr<CURL, CurlDeleter> curl(initialised ? curl_easy_init() : nullptr);
    if (!curl || envelope.recipients.isEmpty()) {
        SendResult result;
        result.reason = curl ? QStringLiteral("the message has no recipients")
                             : QStringLiteral("the mail transfer library could not be started");
        return result;
    }
    const QByteArray helo =
        settings.heloName.isEmpty() ? localHostName() : settings.heloName.toUtf8();
    const QByteArray url =
        (settings.security == TransportSettings::ImplicitTls ? "smtps://" : "smtp://") +
        settings.host.toUtf8() + ':' + QByteArray::number(settings.port) + '/' +
        QUrl::toPercentEncoding(helo);
    std::unique_ptr<curl_slist, CurlDeleter> recipients;
    for (const QByteArray& address : envelope.recipients)
        recipients.reset(
            curl_slist_append(recipients.release(), ('<' + address + '>').constData()));
    const QByteArray from = '<' + envelope.from + '>';
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray caFile = settings.caFile.toLocal8Bit();
    char errorText[CURL_ERROR_SIZE] = {};
    Conversation talk;
    Upload upload{message};

    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(handle, kRcptAllowFails, 1L);
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(handle, CURLOPT_USE_SSL,
                     settings.security == TransportSettings::StartTls ? long(CURLUSESSL_ALL)
                                                                      : long(CURLUSESSL_NONE));
    if (!caFile.isEmpty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.constData());
    if (!user.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, long(settings.timeoutSeconds));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &talk);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);

    const CURLcode code = curl_easy_perform(handle);
    long replyCode = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &replyCode);
    if (code != CURLE_OK)
        return failure(code, replyCode, talk, errorText);
    SendResult result;
    result.outcome = SendResult::Sent;
    result.serverReply = replyText(talk.lastReply);
    result.accepted = talk.accepted;
    result.refused = talk.refused;
    result.deferred = talk.deferred;
    if (!talk.refused.isEmpty() || !talk.deferred.isEmpty()) {
        result.serverReply = replyText(talk.refusalReply);
        result.reason = QStringLiteral("the mail server refused some recipients");
    }
    return result;
}

SendResult sendMessage(const TransportSettings& settings, const Envelope& envelope,
                       const QByteArray& message)
{
    return settings.kind == TransportSettings::Sendmail
               ? sendWithSendmail(settings, envelope, message)
               : sendWithSmtp(settings, envelope, message);
}

} // namespace vnt::transport
