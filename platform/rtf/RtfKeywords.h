#pragma once

#include <QStringView>

namespace vnt::rtf::detail {

// What a control word does to the reader. Synonyms share one value (\lin is \li,
// every underline style is \ul, \page and \row end a paragraph like \par).
enum class Keyword : quint8 {
    Unknown,
    // Destinations
    SkipDestination,
    FontTable,
    ColorTable,
    ListMarker,
    Pn,
    PnTextBefore,
    PnTextAfter,
    // Document and fonts
    DefaultFont,
    Uc,
    U,
    Font,
    FontCharset,
    Red,
    Green,
    Blue,
    // Character formatting
    Plain,
    FontSize,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Foreground,
    Background,
    // Paragraphs
    Par,
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    // Old-style bullets and numbering
    PnBullet,
    PnBody,
    PnLevel,
    PnDecimal,
    PnUpperLetter,
    PnLowerLetter,
    PnUpperRoman,
    PnLowerRoman,
    // A word that stands for a character (\tab, \emdash, \line, ...)
    Character,
};

struct KeywordInfo
{
    Keyword keyword = Keyword::Unknown;
    char16_t character = 0;
};

KeywordInfo lookupKeyword(QStringView name);

} // namespace vnt::rtf::detail
