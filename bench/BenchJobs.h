// Help desk problems for the benchmarks' Job tables.
#pragma once

#include <QRandomGenerator>
#include <QString>
#include <array>

// Twelve words of a help desk problem; one row in about two hundred mentions "abc".
inline QString problemText(QRandomGenerator& random)
{
    static const std::array<const char*, 16> kWords = {
        "printer", "jam",  "mail",   "server", "crash",   "login", "password", "reset",
        "network", "slow", "screen", "update", "licence", "error", "file",     "backup"};
    QString text;
    for (int i = 0; i < 12; ++i) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += random.bounded(2400) == 0 ? QStringLiteral("abcd")
                                          : QLatin1String(kWords[random.bounded(16)]);
    }
    return text;
}
