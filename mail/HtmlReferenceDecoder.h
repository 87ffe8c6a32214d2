#pragma once

#include <QStringView>

// Decodes the character references of HTML text for HtmlToText. Each reference is read
// from its "&" to at most its ";" and a bounded name, so a pass over the text stays
// linear.
class HtmlReferenceDecoder
{
public:
    struct Reference
    {
        char16_t units[2] = {0, 0}; // the text in UTF-16
        qsizetype unitCount = 0;    // never more than `length`
        qsizetype length = 0;       // characters the reference takes; 0 when it does not decode
    };

    explicit HtmlReferenceDecoder(QStringView text);

    // The reference that starts with the "&" at `position`.
    Reference decode(qsizetype position) const;

private:
    Reference numeric(qsizetype position) const;
    Reference decimal(qsizetype position) const;
    Reference hexadecimal(qsizetype position) const;
    Reference named(qsizetype position) const;

    QStringView m_text;
};
