// The body of an opened message as the read box shows it: rich text, plain text or the text
// of its HTML, tried in a fixed order.
#pragma once

#include "vntmapi/MapiLoader.h"

#include <QString>

namespace vantrel::mail {

// What PR_RTF_IN_SYNC says of a message: the rich text agrees with the plain body, does not
// (the plain body changed since), or the message does not say.
enum RtfSyncState {
    RtfSyncUnknown = -1,
    RtfOutOfSync = 0,
    RtfInSync = 1,
};

// Reads the body of `message` into `text`. An out-of-sync message has its rich text rebuilt
// from the plain body first (and saved when that changed it). Then, unless the state is
// unknown, the rich text is tried; then the plain body; then, only when the store supports
// HTML, the HTML body. The first form found ends the read.
//
// `rich` is set when `text` is RTF for the read box to load; its characters are then the RTF's
// bytes one for one (Latin-1), as the RTF reader's 8-bit input takes them. Otherwise `text` is
// plain text with "\r\n" line ends where the message has them: rich text that carries an HTML
// message is unpacked, and HTML is turned into text unless `rawHtml` asks for the markup.
//
// False when no form could be read (nothing usable is left in `text` then), or when saving a
// rebuilt rich text failed.
bool ReadBody(const vntmapi::EntryPoints& api, IMessage* message, int inSyncState,
              bool storeSupportsHtml, bool rawHtml, QString* text, bool* rich);

} // namespace vantrel::mail
