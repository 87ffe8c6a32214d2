#include "mail/BodyReader.h"

#include "mail/HtmlConverters.h"

#include <QByteArray>
#include <QStringDecoder>
#include <cstdint>

namespace vantrel::mail {

namespace {

constexpr qsizetype kFirstRichTextBuffer = 10240;
// Bodies are read whole into memory; a larger one is taken as unreadable rather than risk
// exhausting it (the mail library caps compressed rich text at the same size).
constexpr qsizetype kMaxBodyBytes = qsizetype(256) * 1024 * 1024;

const QLatin1StringView kRtfStart("{\\rtf");

MapiPtr<IStream> openStream(IMessage* message, ULONG tag, ULONG flags)
{
    MapiPtr<IStream> stream;
    if (FAILED(message->OpenProperty(tag, &IID_IStream, 0, flags, stream.putUnknown())))
        stream.reset();
    return stream;
}

// Reads `stream` from its current position into `buffer` from `used` on, growing the buffer
// by doubling whenever a read fills it. Stops at the end of the stream.
bool readToEnd(IStream* stream, QByteArray* buffer, qsizetype used, bool grow)
{
    for (;;) {
        if (used == buffer->size()) {
            if (!grow)
                break;
            if (buffer->size() >= kMaxBodyBytes)
                return false;
            buffer->resize(buffer->size() * 2);
        }
        const auto wanted = static_cast<ULONG>(buffer->size() - used);
        ULONG got = 0;
        if (FAILED(stream->Read(buffer->data() + used, wanted, &got)) || got > wanted)
            return false;
        if (got == 0)
            break;
        used += got;
    }
    buffer->truncate(used);
    return true;
}

// A text buffer ends at its first zero byte, as the read box takes it.
QByteArray untilZero(QByteArray bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return bytes;
}

// The bytes of a text body: as many as the stream says it holds, fewer if fewer come.
bool readSizedText(IStream* stream, QByteArray* bytes)
{
    std::uint64_t size = 0;
    if (FAILED(stream->GetSize(&size)) || size > std::uint64_t(kMaxBodyBytes))
        return false;
    QByteArray buffer(qsizetype(size), Qt::Uninitialized);
    if (!readToEnd(stream, &buffer, 0, false))
        return false;
    *bytes = untilZero(std::move(buffer));
    return true;
}

QString textOfHtml(QStringView html, bool rawHtml)
{
    return rawHtml ? html.toString() : HtmlToText(html);
}

// Text that is not RTF after all: UTF-8 when it is valid, else one character a byte.
QString decodeOtherText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool readRichText(const vntmapi::EntryPoints& api, IMessage* message, bool rawHtml, QString* text,
                  bool* rich)
{
    MapiPtr<IStream> compressed = openStream(message, PR_RTF_COMPRESSED, MAPI_DEFERRED_ERRORS);
    MapiPtr<IStream> rtfStream;
    if (!compressed || FAILED(api.WrapCompressedRTFStream(compressed.get(), 0, rtfStream.put())))
        return false;
    QByteArray bytes(kFirstRichTextBuffer, Qt::Uninitialized);
    if (!readToEnd(rtfStream.get(), &bytes, 0, true))
        return false;
    bytes = untilZero(std::move(bytes));
    // RTF is 7-bit text with \'hh escapes; a byte above 127 keeps its value as a character,
    // so the RTF reader decodes it by the document's code page.
    const QString rtf = QString::fromLatin1(bytes);
    if (!rtf.startsWith(kRtfStart)) {
        *text = decodeOtherText(bytes);
        *rich = false;
    } else if (IsEncapsulatedHtml(rtf)) {
        *text = textOfHtml(UnpackEncapsulatedHtml(rtf), rawHtml);
        *rich = false;
    } else {
        *text = rtf;
        *rich = true;
    }
    return true;
}

// Bodies of the mail library are UTF-8.
bool readTextBody(IMessage* message, ULONG tag, QString* text)
{
    MapiPtr<IStream> stream = openStream(message, tag, 0);
    QByteArray bytes;
    if (!stream || !readSizedText(stream.get(), &bytes))
        return false;
    *text = QString::fromUtf8(bytes);
    return true;
}

bool readHtml(IMessage* message, bool rawHtml, QString* text)
{
    QString html;
    if (!readTextBody(message, PR_BODY_HTML, &html))
        return false;
    *text = textOfHtml(html, rawHtml);
    return true;
}

// The plain body changed since the rich text was written: the rich text is rebuilt from it
// and kept. A sync the library refuses leaves the rich text as it is.
bool syncRichText(const vntmapi::EntryPoints& api, IMessage* message)
{
    BOOL updated = 0;
    if (FAILED(api.RTFSync(message, RTF_SYNC_BODY_CHANGED, &updated)) || !updated)
        return true;
    return SUCCEEDED(message->SaveChanges(KEEP_OPEN_READWRITE));
}

} // namespace

bool ReadBody(const vntmapi::EntryPoints& api, IMessage* message, int inSyncState,
              bool storeSupportsHtml, bool rawHtml, QString* text, bool* rich)
{
    text->clear();
    *rich = false;
    if (!message)
        return false;
    if (inSyncState == RtfOutOfSync && !syncRichText(api, message))
        return false;
    if (inSyncState != RtfSyncUnknown && readRichText(api, message, rawHtml, text, rich))
        return true;
    if (readTextBody(message, PR_BODY, text))
        return true;
    return storeSupportsHtml && readHtml(message, rawHtml, text);
}

} // namespace vantrel::mail
