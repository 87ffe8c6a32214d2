#pragma once

#include <QString>

// Where the files that ship inside the program live in its resource tree.
namespace EmbeddedResources {

inline QString stringTable()
{
    return QStringLiteral(":/strings/strings.tsv");
}
inline QString templateRoot()
{
    return QStringLiteral(":/template");
}
inline QString helpRoot()
{
    return QStringLiteral(":/help");
}
inline QString iconRoot()
{
    return QStringLiteral(":/icons");
}

// True when the resources were linked into the program.
bool available();

} // namespace EmbeddedResources
