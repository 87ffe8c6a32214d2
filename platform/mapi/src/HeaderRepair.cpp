#include "HeaderRepair.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vntmapi {

namespace {

// "name:" with a field name of printable ASCII but ":"; obsolete syntax allows blanks before
// the colon.
bool isHeaderField(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && line[i] > 32 && line[i] < 127 && line[i] != ':') {
        ++i;
    }
    if (i == 0) {
        return false;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    return i < line.size() && line[i] == ':';
}

// Binary bytes are no lost text: a file of them is not a message, and its bytes are not shown
// as a body.
bool isText(std::string_view line)
{
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

// Every boundary a Content-Type of the message declares, as its delimiter line "--boundary".
std::vector<std::string> delimiters(std::string_view raw)
{
    std::vector<std::string> found;
    constexpr std::string_view kParameter = "boundary=";
    std::size_t at = 0;
    while (true) {
        const auto hit = std::search(raw.begin() + static_cast<std::ptrdiff_t>(at), raw.end(),
                                     kParameter.begin(), kParameter.end(), [](char a, char b) {
                                         return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b;
                                     });
        if (hit == raw.end()) {
            break;
        }
        std::size_t begin = static_cast<std::size_t>(hit - raw.begin()) + kParameter.size();
        std::size_t end = begin;
        if (begin < raw.size() && raw[begin] == '"') {
            end = raw.find('"', ++begin);
        } else {
            while (end < raw.size() && !std::strchr(" \t\r\n;", raw[end])) {
                ++end;
            }
        }
        if (end == std::string_view::npos || end == begin) {
            break;
        }
        found.push_back("--" + std::string(raw.substr(begin, end - begin)));
        at = end;
    }
    return found;
}

bool isDelimiter(std::string_view line, const std::vector<std::string>& delimiters)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    return line.size() > 2 && line.substr(0, 2) == "--" &&
           std::find(delimiters.begin(), delimiters.end(), line) != delimiters.end();
}

} // namespace

std::string repairedHeaderEnds(std::string_view text)
{
    const std::vector<std::string> parts = delimiters(text);
    std::vector<std::size_t> insertAt;
    bool inHeaders = true;
    bool firstOfBlock = true;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = text.find('\n', start);
        const std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        const std::string_view line = withoutLineEnd(text.substr(start, next - start));
        if (inHeaders) {
            if (line.empty()) {
                inHeaders = false;
                start = next;
                continue;
            }
            const bool continuation = !firstOfBlock && (line[0] == ' ' || line[0] == '\t');
            const bool mboxFrom = start == 0 && line.substr(0, 5) == "From ";
            if (!continuation && !mboxFrom && !isHeaderField(line)) {
                if (isText(line)) {
                    insertAt.push_back(start);
                }
                inHeaders = false;
            }
            firstOfBlock = false;
        } else if (!parts.empty() && line.size() > 2 && line[0] == '-' && line[1] == '-' &&
                   isDelimiter(line, parts)) {
            inHeaders = true;
            firstOfBlock = true;
        }
        start = next;
    }
    if (insertAt.empty()) {
        return {};
    }
    // The empty line takes the line end the message uses.
    const std::string_view lineEnd = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    std::string repaired;
    repaired.reserve(text.size() + insertAt.size() * lineEnd.size());
    std::size_t copied = 0;
    for (const std::size_t at : insertAt) {
        repaired.append(text.substr(copied, at - copied)).append(lineEnd);
        copied = at;
    }
    return repaired.append(text.substr(copied));
}

} // namespace vntmapi
