// Mail whose header block is not ended by an empty line (written by broken scripts and
// gateways) would lose its first lines of text: the parser takes them for headers and drops
// what does not parse as one.
#pragma once

#include <string>
#include <string_view>

namespace vntmapi {

// The message with an empty line put in front of the first line of each header block that
// cannot be a header field or its continuation: at the top of the message and after each
// boundary line of its multiparts. Empty when every header block is ended properly.
std::string repairedHeaderEnds(std::string_view raw);

} // namespace vntmapi
