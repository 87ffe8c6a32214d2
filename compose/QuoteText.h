// The text of an answered message in the outgoing body: the header block, the read message
// (or what the user selected of it) and the quoting of both.
#pragma once

#include <QChar>
#include <QString>

namespace vantrel::compose {

class ComposeHost;

// The line that opens the header block of a reply or a forward.
inline const QString kOriginalMessageLine =
    QStringLiteral("------------- Original Message -------------\r\n");

// `text` with `prefix` at the start of each line. Plain text comes back one non-empty line
// after another, each ended by "\r\n" (runs of line breaks count as one). When `richFormat`
// is set and `text` is RTF, the prefix goes in after each paragraph mark, before the first
// space of the paragraph's text; what follows the last such place is kept as it is.
QString QuoteText(const QString& text, QChar prefix, bool richFormat);

// Puts `headerBlock` into the outgoing body as "Reply Display Options" (`option`) says:
// 1 leaves the body alone; 2 the header block replaces the body; 3 the header block, a line
// end and the read message's text (its selection when there is one); 4 as 3, then the whole
// body quoted with '>'. Written in the outgoing format. True when the body was changed.
bool FillAnswerBody(ComposeHost& host, int option, const QString& headerBlock);

} // namespace vantrel::compose
