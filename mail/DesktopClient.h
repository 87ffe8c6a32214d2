// "Open Outlook (r)": starts the desktop mail client through the shell unless its window is
// already open.
#pragma once

class QWidget;

namespace vantrel::mail {

// True when the client was started, after which the caller brings the main window back to
// the front a few seconds later (view timer 2764). Nothing happens while a window titled
// "Microsoft Outlook" exists; a start the shell refuses is explained to the user.
bool OpenDesktopClient(QWidget* view);

} // namespace vantrel::mail
