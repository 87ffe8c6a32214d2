#pragma once

#include <QString>

class QTextCursor;
class QTextDocument;

// Plain text taken out of a text box: lines end in "\r\n", table cells are separated by
// tabs and rows by line ends, and none of the editor's private marks (frame and cell
// boundaries, object placeholders) remain.
QString boxPlainText(const QTextDocument& document);
// The same for the cursor's selection.
QString boxPlainText(const QTextCursor& selection);
