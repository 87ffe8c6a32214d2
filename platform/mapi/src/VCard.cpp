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

// RFC 6868: ^' a quote, ^n a line break, ^^ a caret.
std::string uncaret(const std::string& value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '^' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (next == '\'' || next == 'n' || next == 'N' || next == '^') {
                out += next == '\'' ? '"' : (next == '^' ? '^' : '\n');
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

void readParameter(const std::string& param, VCardProperty* property)
{
    const std::size_t eq = param.find('=');
    const std::string key = upper(param.substr(0, eq));
    std::string value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    value = uncaret(value);
    property->params.emplace_back(eq == std::string::npos ? std::string() : key,
                                  eq == std::string::npos ? key : value);
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
    property.raw = line;
    const std::string head = line.substr(0, colon);
    property.value = line.substr(colon + 1);
    std::size_t start = 0;
    bool first = true;
    while (start <= head.size()) {
        std::size_t semi = start;
        for (bool quoted = false; semi < head.size() && (quoted || head[semi] != ';'); ++semi) {
            quoted = head[semi] == '"' ? !quoted : quoted;
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

std::string VCardProperty::param(const std::string& key) const
{
    for (const auto& [name, value] : params) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

std::string vCardEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string vCardParamValue(const std::string& text)
{
    std::string out;
    bool quote = false;
    for (const char c : text) {
        if (c == '"') {
            out += "^'";
        } else if (c == '^') {
            out += "^^";
        } else if (c == '\n') {
            out += "^n";
        } else if (c != '\r') {
            quote |= c == ',' || c == ';' || c == ':';
            out += c;
        }
    }
    return quote ? '"' + out + '"' : out;
}

std::string vCardFold(const std::string& line)
{
    constexpr std::size_t kLimit = 75;
    std::string out;
    std::size_t start = 0;
    std::size_t limit = kLimit;
    while (line.size() - start > limit) {
        std::size_t cut = start + limit;
        // Never inside a UTF-8 sequence: back up to the byte that starts a character.
        while (cut > start + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.append(line, start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = kLimit - 1; // the leading space counts
    }
    out.append(line, start, std::string::npos);
    out += "\r\n";
    return out;
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
