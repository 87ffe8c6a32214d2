#pragma once

#include <QColor>
#include <QString>
#include <QTextCharFormat>

// A whole-box character format: face, size and colour with every effect off. Applying
// one replaces bold, italic, underline, strikeout, size, colour and face of the text it
// covers and leaves everything else alone.
struct CharFormatRecord
{
    static constexpr int kMaxFaceLength = 31;

    QString face;
    int twips = 200; // points x 20
    QColor colour = Qt::black;

    static CharFormatRecord make(const QString& face, int points, const QColor& colour);
    QTextCharFormat toCharFormat() const;
    double points() const { return twips / 20.0; }
};

// The widget font of a text box: the desktop's font at normal stretch, inheriting
// nothing from the narrow form font around the box, so that the box draws exactly the
// faces and sizes its formats name and measures as ApplyFixedWidth expects.
QFont textBoxBaseFont();

// Face names are kept to the 31 characters the format record holds.
QString cutFaceName(const QString& face);

// Colours are stored in settings as 0x00BBGGRR.
QColor colourFromRef(quint32 colourRef);
quint32 colourToRef(const QColor& colour);
