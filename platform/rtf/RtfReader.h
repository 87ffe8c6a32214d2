#pragma once

#include <QByteArray>
#include <QStringView>

class QTextCursor;
class QTextDocument;

namespace vnt::rtf {

// Reads RTF as rich edit controls and word processors write it. Reading never fails
// on malformed input: unbalanced groups, truncated text, absurd nesting and numbers all
// end in a best-effort document. Characters above 127 met as text (not as \'hh or \u
// escapes) are taken as the Unicode characters they are.
//
// The paragraph mark before the closing brace ends the last paragraph; it does not open
// an empty one (so what writeRtf writes reads back with as many paragraphs). Indents and
// paragraph spacing become block margins in pixels at 96 dpi (twips / 15); \highlight,
// \cb and \chcbpat all become the character background.
//
// Replaces the whole content of `document`. False only when `rtf` does not start with
// "{\rtf" (after optional white space); the document is then left unchanged.
bool readRtf(QStringView rtf, QTextDocument* document);
// RTF as stored, 8-bit: raw bytes above 127 are characters of the document's code page.
bool readRtf(const QByteArray& rtf, QTextDocument* document);

// Inserts at `cursor`, replacing its selection; the cursor ends after the inserted text.
// The first paragraph of the RTF continues the cursor's paragraph, as a paste does, and
// takes the RTF's paragraph format only when that paragraph was empty. One undo step.
bool insertRtf(QStringView rtf, QTextCursor& cursor);

// Nesting deeper than this is read as if it were flat, so that hostile input cannot
// exhaust the stack or memory.
constexpr int kMaxGroupDepth = 512;

} // namespace vnt::rtf
