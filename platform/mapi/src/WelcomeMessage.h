// The one message a brand-new local mail store starts with: what the program is and where to
// go next, so the first Inbox a user sees is not empty.
#pragma once

#include <ctime>
#include <string>

namespace vntmapi {

// The welcome message as stored: LF line ends, UTF-8 text, dated `now`.
std::string welcomeMessageText(std::time_t now);

// Delivers the welcome message into the new/ folder of the Maildir `storeDir` (written to tmp/
// first, then renamed). False when it could not be written; nothing is left behind then.
bool writeWelcomeMessage(const std::string& storeDir);

} // namespace vntmapi
