#pragma once

#include <QStringView>
#include <vector>

// Decodes the character references of HTML text for HtmlToText, which reads the text
// once from front to back: each call must be at a position no earlier than the last.
// Forward searches remember what they found, so a whole pass stays linear.
class HtmlReferenceDecoder
{
public:
    struct Reference
    {
        char16_t character = 0;
        qsizetype length = 0; // characters the reference takes; 0 when it does not decode
    };

    explicit HtmlReferenceDecoder(QStringView text);

    // The reference that starts with the "&" at `position`.
    Reference decode(qsizetype position);

private:
    Reference numeric(qsizetype position) const;
    static Reference named(const char* name, qsizetype length);
    Reference lessThanRun(qsizetype position);
    qsizetype nextGreaterThanEntity(qsizetype from);
    qsizetype closingAngleAtLevelZero(qsizetype from);
    void indexClosingAngles(qsizetype from);

    QStringView m_text;

    // The next "&gt;" at or after m_gtSearchedFrom, or -1 for none.
    qsizetype m_gtSearchedFrom = -1;
    qsizetype m_nextGt = -1;

    // After the last "&gt;", a run that starts with "&lt;" can only end at a ">" that
    // closes its level. The ">" characters of that tail are grouped by the level before
    // them (the count of "<" less the count of ">" since the start of the tail); a run
    // starting at level v ends at the first ">" at level v.
    bool m_tailIndexed = false;
    qsizetype m_levelPosition = 0; // the level is known up to here
    qsizetype m_level = 0;
    qsizetype m_lowestLevel = 0;
    std::vector<qsizetype> m_angles;       // positions of the tail's ">", by level
    std::vector<qsizetype> m_levelStarts;  // each level's first entry in m_angles, and an end
    std::vector<qsizetype> m_levelCursors; // each level's next candidate in m_angles
};
