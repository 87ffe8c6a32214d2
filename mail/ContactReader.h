// Reads the details of an opened item of a contacts folder: the thirty properties the details
// text is built from, asked for by name, as the store names them.
#pragma once

#include "mail/ContactDetails.h"
#include "vntmapi/MapiLoader.h"

#include <optional>

namespace vantrel::mail {

// The values of `item`. A name the store cannot resolve reads as missing. std::nullopt, with
// `failure` saying why, when the names or the properties could not be read at all.
std::optional<ContactProperties> ReadContactProperties(const vntmapi::EntryPoints& api,
                                                       IMAPIProp* item,
                                                       ContactReadFailure* failure);

// The text the read box shows for `item`: its details, or the sentence saying why there
// are none.
QString ContactItemText(const vntmapi::EntryPoints& api, IMAPIProp* item);

} // namespace vantrel::mail
