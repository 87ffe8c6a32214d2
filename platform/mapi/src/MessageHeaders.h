// Message properties that live in headers beyond the basic ones: sensitivity, read receipt
// request, conversation topic and index, reply-to, and the address details (type, search key,
// one-off entry id) derived from From and Sender.
#pragma once

#include "OneOff.h"
#include "Property.h"

#include <gmime/gmime.h>
#include <string>

namespace vntmapi {

// Every mailbox of `list` in order (groups are not expanded): its name made fit to show, or its
// address when it has none.
std::vector<OneOff> mailboxesOf(InternetAddressList* list);

// The values a contents table shows for a message: 0..3, whether a receipt is asked for, and
// the reply-to names ("; " between them; empty without Reply-To).
LONG sensitivityOf(GMimeMessage* message);
bool readReceiptRequested(GMimeMessage* message);
std::string replyToNames(GMimeMessage* message);

// Adds the properties `message`'s headers give.
void readHeaderProperties(GMimeMessage* message, PropList* props);

// Sets the headers for the properties in `props` that have one (and removes those whose
// property is absent, so an old file's values do not come back).
void writeHeaderProperties(GMimeMessage* message, const PropList& props);

// The headers writeHeaderProperties manages.
bool isHeaderPropertyHeader(const char* name);

// Properties kept only as these headers (or derived from From and Sender) when a message is
// saved; and those derived on reading alone, which a caller cannot set.
bool isHeaderProperty(ULONG tag);
bool isDerivedHeaderProperty(ULONG tag);

} // namespace vntmapi
