#pragma once

#include <QString>
#include <charconv>

namespace vnt::oledb {

// The shortest text that reads back as the same double ("45000.5", "12", "1e-07").
inline QString numberText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace vnt::oledb
