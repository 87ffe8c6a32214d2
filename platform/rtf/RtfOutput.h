#pragma once

#include <QString>
#include <QStringView>

namespace vnt::rtf::detail {

// Appends RTF to a string as 7-bit ASCII, keeping track of whether the last thing
// written was a control word that the next character would run into.
class RtfOutput
{
public:
    QString& text() { return m_text; }

    void raw(const char* ascii);
    // \name or \nameN
    void word(const char* name);
    void word(const char* name, int param);
    // Document text: special characters escaped, tabs and line breaks as control words,
    // everything above 127 as \uN with a "?" fallback (N signed 16-bit, so characters
    // beyond U+FFFF are written as their two surrogates). Control characters are left
    // out.
    void text(QStringView text);
    // A line end between paragraphs or tables; RTF readers ignore it.
    void lineEnd();

private:
    void delimit();

    QString m_text;
    bool m_afterWord = false;
};

} // namespace vnt::rtf::detail
