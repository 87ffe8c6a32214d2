#include "RtfText.h"

#include "RtfInterpreter.h"
#include "RtfOutput.h"

namespace vnt::rtf {

namespace {

using namespace detail;

// Collects the text. A line break inside a paragraph (\line) also becomes "\r\n": plain
// text has only one kind of line end, and a reader of the text expects a new line where
// the writer of the RTF showed one.
class PlainTextSink : public RtfSink
{
public:
    void text(QStringView text, const RtfCharState&) override
    {
        for (const QChar c : text) {
            if (c.unicode() == 0x2028)
                m_text += u"\r\n";
            else
                m_text += c;
        }
    }
    void paragraphEnd(const RtfParaState&) override { m_text += u"\r\n"; }
    void finish(const RtfParaState&) override {}

    QString take() { return std::move(m_text); }

private:
    QString m_text;
};

} // namespace

QString rtfToPlainText(QStringView rtf)
{
    if (!looksLikeRtf(rtf))
        return rtf.toString();
    RtfTables tables;
    PlainTextSink sink;
    RtfInterpreter interpreter(rtf, RtfInput::Unicode, tables, sink);
    interpreter.setKeepListMarkers(true);
    interpreter.run();
    return sink.take();
}

QString plainTextToRtf(QStringView text, const QString& face, int pointSize)
{
    RtfOutput out;
    out.raw("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil ");
    out.text(QString(face).remove(u';'));
    out.raw(";}}");
    out.word("uc", 1);
    out.word("pard");
    out.word("f", 0);
    out.word("fs", std::clamp(pointSize, 1, 1638) * 2);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        out.text(text.sliced(lineStart, i - lineStart));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        out.word("par");
        out.lineEnd();
        lineStart = i + 1;
    }
    out.text(text.sliced(lineStart));
    out.raw("}");
    return out.text();
}

} // namespace vnt::rtf
