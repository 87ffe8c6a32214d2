#include "EmbeddedResources.h"

#include <QFile>

bool EmbeddedResources::available()
{
    return QFile::exists(stringTable());
}
