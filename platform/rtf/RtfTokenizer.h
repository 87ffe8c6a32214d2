#pragma once

#include <QStringView>

namespace vnt::rtf::detail {

enum class RtfTokenType : quint8 {
    End,
    GroupOpen,
    GroupClose,
    ControlWord,
    ControlSymbol,
    HexByte,
    Text,
};

struct RtfToken
{
    RtfTokenType type = RtfTokenType::End;
    // The name of a control word (ASCII letters), or a run of text.
    QStringView text;
    int param = 0;
    bool hasParam = false;
    // A text run holds characters above 127.
    bool hasHighChars = false;
    // The character of a control symbol, or the value of a hex escape.
    char16_t symbol = 0;
};

// Splits RTF into tokens in one pass. Line ends and other control characters carry no
// text in RTF and never reach the caller, nor do characters a QTextDocument gives a
// structural meaning (paragraph and frame separators, object replacement). Binary data
// after \binN is stepped over. Malformed escapes are dropped, never fatal.
class RtfTokenizer
{
public:
    explicit RtfTokenizer(QStringView input)
        : m_input(input)
    {}

    RtfToken next();

private:
    bool controlSequence(RtfToken& token);
    void controlWord(RtfToken& token);
    bool hexEscape(RtfToken& token);
    void textRun(RtfToken& token);

    QStringView m_input;
    qsizetype m_pos = 0;
};

} // namespace vnt::rtf::detail
