#include "TopicNames.h"

#include <QRandomGenerator>

QString randomTopicName(QRandomGenerator& random)
{
    QString name = QStringLiteral("temp");
    for (int i = 0; i < 4; ++i)
        name += QChar(u'a' + random.bounded(27));
    return name;
}

bool isSafeTopicName(const QString& name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20)
            return false;
    }
    return true;
}
