// A copy of the demonstration mail store in a scratch folder, with a mail profile that names
// it, for pictures of the window and for trying the program without a real mailbox.
#pragma once

#include <QString>

// Copies the store from `sourceDir` into `targetDir` (Maildir folders get their empty tmp/ and
// new/ folders back), writes a profile file for it there and points the mail library at that
// file and at a summary-index cache inside `targetDir`. False when a copy fails.
bool InstallDemoMailStore(const QString& sourceDir, const QString& targetDir);
