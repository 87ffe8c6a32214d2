#include "CharFormatRecord.h"

#include <QFont>
#include <QGuiApplication>

CharFormatRecord CharFormatRecord::make(const QString& face, int points, const QColor& colour)
{
    return {cutFaceName(face), points * 20, colour};
}

QTextCharFormat CharFormatRecord::toCharFormat() const
{
    QTextCharFormat format;
    format.setFontFamilies({face});
    format.setFontPointSize(points());
    format.setForeground(colour);
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    format.setFontStrikeOut(false);
    return format;
}

QFont textBoxBaseFont()
{
    QFont font = QGuiApplication::font();
    font.setStretch(QFont::Unstretched);
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

QString cutFaceName(const QString& face)
{
    return face.left(CharFormatRecord::kMaxFaceLength);
}

QColor colourFromRef(quint32 colourRef)
{
    return QColor(int(colourRef & 0xFF), int((colourRef >> 8) & 0xFF),
                  int((colourRef >> 16) & 0xFF));
}

quint32 colourToRef(const QColor& colour)
{
    return quint32(colour.red()) | (quint32(colour.green()) << 8) | (quint32(colour.blue()) << 16);
}
