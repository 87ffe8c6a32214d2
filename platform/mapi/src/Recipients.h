// The recipients of a message: rows of PR_ROWID, PR_RECIPIENT_TYPE, PR_DISPLAY_NAME,
// PR_EMAIL_ADDRESS and PR_ADDRTYPE, kept in the To, Cc and Bcc headers.
#pragma once

#include "Property.h"

#include <gmime/gmime.h>

namespace vntmapi {

using RecipientList = std::vector<PropList>;

// The columns a recipient table shows first.
const std::vector<ULONG>& recipientColumns();

void readRecipients(GMimeMessage* message, RecipientList* recipients);
// Replaces the To, Cc and Bcc headers of `message`.
void writeRecipients(GMimeMessage* message, const RecipientList& recipients);

// ModifyRecipients: replace all (no flag), MODRECIP_ADD, MODRECIP_MODIFY or MODRECIP_REMOVE,
// the last two finding rows by PR_ROWID.
HRESULT modifyRecipients(RecipientList* recipients, ULONG flags, const ADRLIST* changes);

} // namespace vntmapi
