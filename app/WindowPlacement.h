#pragma once

#include <QList>
#include <QRect>
#include <QString>

// The main window's placement as the "Window size" section stores it.
struct WindowPlacement
{
    enum Show { Normal, Maximised, Minimised };

    // The normal (restored) rectangle: left, top, right, bottom with right and bottom
    // exclusive, so (10, 10, 500, 400) is 490 by 390 pixels.
    int left = 10;
    int top = 10;
    int right = 500;
    int bottom = 400;
    int icon = 0; // minimised
    int max = 0;  // maximised, or minimised from the maximised state

    Show show() const;
    // For a minimised window: restore to maximised.
    bool restoresMaximised() const { return icon != 0 && max != 0; }

    QRect normalRect() const { return QRect(left, top, right - left, bottom - top); }
    void setNormalRect(const QRect& rect);

    // "%04d %04d %04d %04d"; an empty text gives the default rectangle. The numbers are
    // read at character positions 0, 5, 10 and 15.
    QString rectText() const;
    void setRectText(const QString& text);
};

// Where a stored outer rectangle may go on screens whose available areas are
// `screens`: unchanged while enough of its title strip lies on one of them to grab it,
// else moved (and shrunk where needed) onto the nearest screen. An empty or inverted
// rectangle takes the first-start default.
QRect reachableRect(const QRect& outer, const QList<QRect>& screens);

// Where the window opens when no placement is stored yet: an outer rectangle of
// `wanted` centred on the screen area `available`, maximised when that area is smaller
// in either direction (the normal rectangle is then bounded to it). Without a known
// screen area the window opens at (10, 10).
struct FirstStartPlacement
{
    QRect outer;
    bool maximised = false;
};
FirstStartPlacement firstStartPlacement(const QSize& wanted, const QRect& available);

// Reads a number the way the C runtime's atoi does: leading blanks, an optional sign,
// then digits; anything else ends it.
int leadingInteger(QStringView text);
