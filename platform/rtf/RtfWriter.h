#pragma once

#include <QString>

class QTextCursor;
class QTextDocument;

namespace vnt::rtf {

// Writes RTF that rich edit controls and word processors read: a font table and a
// colour table, character formats (font, size, bold, italic, underline, strikeout,
// colour, background), paragraph formats (alignment, indents, first-line indent),
// bullets, line breaks and tabs. Characters above 127 are written as \uN with a "?"
// fallback. The result is 7-bit ASCII; reading it back gives the same text and formats.
QString writeRtf(const QTextDocument& document);
// The selection of `cursor` only (nothing selected gives an empty document).
QString writeRtf(const QTextCursor& selection);

} // namespace vnt::rtf
