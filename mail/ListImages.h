// The images of the message list and of its icon column headers, drawn for the palette in use
// (light or dark) at 16 x 16 logical pixels.
#pragma once

#include <QPixmap>

class QPalette;

namespace vantrel::mail {

enum ListImage : int {
    kListImageNone = 0, // an empty cell
    kListImageHighImportance = 1,
    kListImageLowImportance = 2,
    kListImageAttachment = 3,
    kListImageUnread = 4,
    kListImageRead = 5,
    kListImageContact = 6,
    kListImageDistList = 7,
    kListImageCount
};

inline constexpr int kListImageSize = 16;

// Null for kListImageNone and for numbers outside the list. Pixmaps are cached per palette
// kind and pixel ratio.
QPixmap ListImagePixmap(int image, const QPalette& palette, qreal devicePixelRatio = 1.0);

// Whether `palette` is a dark one (light text on a dark base).
bool IsDarkPalette(const QPalette& palette);

} // namespace vantrel::mail
