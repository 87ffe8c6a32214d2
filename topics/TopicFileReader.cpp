#include "TopicFileReader.h"

#include "core/MessageHelpers.h"

bool ReadTopicFile(QWidget* owner, const QString& path, QString& text, bool quiet,
                   qsizetype maxCharacters, bool* cut)
{
    const int result = ReadTextFile(path, text, maxCharacters, cut);
    if (result == ReadSuccess)
        return true;
    const bool silenced = quiet && (result == ReadCannotOpen || result == ReadNothingAtEnd);
    if (!silenced) {
        // 20083 .. 20087 for results 1 .. 5.
        ShowViewMessage(owner, 20082 + result, TitleWarning);
    }
    return false;
}
