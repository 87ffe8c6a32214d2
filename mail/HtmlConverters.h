#pragma once

#include <QString>
#include <QStringView>

// Turning message bodies into text for the read window and for quoting in replies.
// Each converter makes one pass over its input, in linear time.

// True when the first "\from" control word of the RTF text is "\fromhtml": the rich
// text carries an HTML message inside it.
bool IsEncapsulatedHtml(QStringView rtf);

// The HTML message inside encapsulating RTF ("\*\htmltag" groups and "\htmlrtf" spans).
// Text before the first "{\*\htmltag" is skipped; without one the result is empty.
// Bytes written as \'hh are Windows-1252 characters.
QString UnpackEncapsulatedHtml(QStringView rtf);

// The text of an HTML message: tags skipped, <style> blocks dropped, <p> and <br> as
// line breaks, character references decoded; spaces and line breaks are kept as they are.
QString HtmlToText(QStringView html);

// The character a numeric reference &#n; (1..255) stands for, read through the
// converter's table as Windows-1252; 0 when it stands for none.
char16_t htmlReferenceCharacter(int code);
