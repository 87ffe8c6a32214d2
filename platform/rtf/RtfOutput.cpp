#include "RtfOutput.h"

namespace vnt::rtf::detail {

void RtfOutput::raw(const char* ascii)
{
    m_text += QLatin1String(ascii);
    m_afterWord = false;
}

void RtfOutput::word(const char* name)
{
    m_text += u'\\';
    m_text += QLatin1String(name);
    m_afterWord = true;
}

void RtfOutput::word(const char* name, int param)
{
    word(name);
    m_text += QString::number(param);
}

void RtfOutput::lineEnd()
{
    m_text += u"\r\n";
    m_afterWord = false;
}

void RtfOutput::delimit()
{
    if (m_afterWord)
        m_text += u' ';
    m_afterWord = false;
}

void RtfOutput::text(QStringView text)
{
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        switch (c) {
        case '\\':
        case '{':
        case '}':
            m_text += u'\\';
            m_text += qc;
            m_afterWord = false;
            continue;
        case '\t':
            word("tab");
            continue;
        case 0x2028:
            word("line");
            continue;
        case 0x00A0:
            word("~");
            m_afterWord = false;
            continue;
        case 0xFFFC: // an object (an image) that RTF text cannot carry
            continue;
        default:
            break;
        }
        if (c < 0x20)
            continue;
        if (c < 0x80) {
            delimit();
            m_text += qc;
            continue;
        }
        word("u", c > 0x7FFF ? int(c) - 0x10000 : int(c));
        m_text += u'?';
        m_afterWord = false;
    }
}

} // namespace vnt::rtf::detail
