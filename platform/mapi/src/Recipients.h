// The recipients of a message: rows of PR_ROWID, PR_RECIPIENT_TYPE, PR_DISPLAY_NAME,
// PR_EMAIL_ADDRESS and PR_ADDRTYPE, kept in the To, Cc and Bcc headers, and every other value
// a row was given, kept in a private header per row.
#pragma once

#include "Property.h"

#include <gmime/gmime.h>

namespace vntmapi {

using RecipientList = std::vector<PropList>;

// The columns a recipient table shows first.
const std::vector<ULONG>& recipientColumns();

// The rows as saved by this library when the file's To, Cc and Bcc headers still agree with
// them, else as those headers give them.
void readRecipients(GMimeMessage* message, RecipientList* recipients);
// Only what the To, Cc and Bcc headers say.
void readHeaderRecipients(GMimeMessage* message, RecipientList* recipients);
// Replaces the To, Cc and Bcc headers of `message`, and the private header of each row.
void writeRecipients(GMimeMessage* message, const RecipientList& recipients, bool keepRows = true);

// ModifyRecipients: replace all (no flag), MODRECIP_ADD, MODRECIP_MODIFY or MODRECIP_REMOVE,
// the last two finding rows by PR_ROWID.
HRESULT modifyRecipients(RecipientList* recipients, ULONG flags, const ADRLIST* changes);

} // namespace vntmapi
