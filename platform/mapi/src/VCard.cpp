#include "VCard.h"

#include <algorithm>
#include <cctype>

namespace vntmapi {

namespace {

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// Joins folded lines: a line break followed by a space or tab continues the line.
std::vector<std::string> unfold(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            current += line.substr(1);
        } else {
            if (!current.empty()) {
                lines.push_back(current);
            }
            current = line;
        }
        pos = end + 1;
    }
    if (!current.empty()) {
        lines.push_back(current);
    }
    return lines;
}

// The colon that ends the name and parameters: the first one outside a quoted parameter.
std::size_t valueStart(const std::string& line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            return i;
        }
    }
    return std::string::npos;
}

void readParameter(const std::string& param, VCardProperty* property)
{
    const std::size_t eq = param.find('=');
    const std::string key = upper(param.substr(0, eq));
    std::string value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    if (key == "TYPE") {
        const std::string types = upper(value);
        property->types += property->types.empty() ? types : "," + types;
        if (types.find("PREF") != std::string::npos) {
            property->preferred = true;
        }
    } else if (key == "PREF") {
        property->preferred = true;
    } else if (eq == std::string::npos) {
        // vCard 2.1 style bare types: "TEL;WORK;VOICE:..."
        property->types += property->types.empty() ? key : "," + key;
    }
}

VCardProperty readLine(const std::string& line, std::size_t colon)
{
    VCardProperty property;
    const std::string head = line.substr(0, colon);
    property.value = line.substr(colon + 1);
    std::size_t start = 0;
    bool first = true;
    while (start <= head.size()) {
        std::size_t semi = head.find(';', start);
        if (semi == std::string::npos) {
            semi = head.size();
        }
        const std::string part = head.substr(start, semi - start);
        if (first) {
            const std::size_t dot = part.rfind('.');
            property.name = upper(dot == std::string::npos ? part : part.substr(dot + 1));
            first = false;
        } else if (!part.empty()) {
            readParameter(part, &property);
        }
        start = semi + 1;
    }
    return property;
}

} // namespace

std::vector<VCardProperty> parseVCard(const std::string& text)
{
    std::vector<VCardProperty> properties;
    bool inside = false;
    for (const std::string& line : unfold(text)) {
        const std::size_t colon = valueStart(line);
        if (colon == std::string::npos) {
            continue;
        }
        VCardProperty property = readLine(line, colon);
        if (property.name == "BEGIN") {
            inside = upper(property.value) == "VCARD";
        } else if (property.name == "END") {
            if (inside) {
                break;
            }
        } else if (inside) {
            properties.push_back(std::move(property));
        }
    }
    return properties;
}

std::vector<std::string> vCardComponents(const std::string& value)
{
    std::vector<std::string> parts;
    std::string current;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            current += value[i];
            current += value[++i];
        } else if (value[i] == ';') {
            parts.push_back(vCardText(current));
            current.clear();
        } else {
            current += value[i];
        }
    }
    parts.push_back(vCardText(current));
    return parts;
}

std::string vCardText(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += (next == 'n' || next == 'N') ? '\n' : next;
    }
    return out;
}

} // namespace vntmapi
