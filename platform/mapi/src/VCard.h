// Reading vCard 3.0 and 4.0 text (RFC 2426, RFC 6350): unfolding, parameters, escapes.
#pragma once

#include <string>
#include <vector>

namespace vntmapi {

struct VCardProperty
{
    std::string name;  // upper case, group prefix ("item1.") removed
    std::string types; // the TYPE parameters, upper case, comma separated
    bool preferred = false;
    std::string value; // raw value, escapes kept: split with vCardComponents or vCardText
};

// The properties of the first card in `text`, in file order. Lines outside BEGIN/END and
// lines without a colon are skipped.
std::vector<VCardProperty> parseVCard(const std::string& text);

// A structured value (N, ADR, ORG) split at unescaped ";", each part unescaped.
std::vector<std::string> vCardComponents(const std::string& value);

// A text value unescaped: "\n" a line break, "\," "\;" "\\" the character.
std::string vCardText(const std::string& value);

} // namespace vntmapi
