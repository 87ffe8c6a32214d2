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
    // Every parameter in file order: upper-case name (empty for a bare 2.1 type), value with
    // quotes removed and RFC 6868 escapes undone.
    std::vector<std::pair<std::string, std::string>> params;
    std::string raw; // the whole line, unfolded, as the file has it

    // The value of parameter `name` (upper case), empty when it is absent.
    std::string param(const std::string& name) const;
};

// The properties of the first card in `text`, in file order. Lines outside BEGIN/END and
// lines without a colon are skipped.
std::vector<VCardProperty> parseVCard(const std::string& text);

// A structured value (N, ADR, ORG) split at unescaped ";", each part unescaped.
std::vector<std::string> vCardComponents(const std::string& value);

// A text value unescaped: "\n" a line break, "\," "\;" "\\" the character.
std::string vCardText(const std::string& value);

// The reverse of vCardText: "\\", "\,", "\;" and "\n" for a line break.
std::string vCardEscape(const std::string& text);

// A parameter value, quoted when it holds ",", ";" or ":"; '"' and line breaks as RFC 6868
// writes them.
std::string vCardParamValue(const std::string& text);

// One content line as written: CRLF-terminated, folded so that no line is longer than 75
// octets and no UTF-8 character is split.
std::string vCardFold(const std::string& line);

} // namespace vntmapi
