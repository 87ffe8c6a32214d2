#include "mail/ListImages.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace vantrel::mail {

namespace {

struct Colours
{
    QColor ink;      // outlines
    QColor paper;    // envelope and letter
    QColor unread;   // closed envelope
    QColor alert;    // high importance
    QColor calm;     // low importance
    QColor person;   // contacts
    QColor personBg; // the second person of a list
};

Colours coloursFor(bool dark)
{
    if (dark)
        return {QColor(0xCF, 0xD8, 0xDC), QColor(0x54, 0x6E, 0x7A), QColor(0xFF, 0xCA, 0x28),
                QColor(0xFF, 0x6B, 0x6B), QColor(0x64, 0xB5, 0xF6), QColor(0x9F, 0xA8, 0xDA),
                QColor(0x79, 0x86, 0xCB)};
    return {QColor(0x37, 0x47, 0x4F), QColor(0xFF, 0xFF, 0xFF), QColor(0xFF, 0xD5, 0x4F),
            QColor(0xD3, 0x2F, 0x2F), QColor(0x19, 0x76, 0xD2), QColor(0x3F, 0x51, 0xB5),
            QColor(0x9F, 0xA8, 0xDA)};
}

// Shapes are laid on the pixel grid: filled rectangles on whole pixels, one-pixel lines on
// pixel centres, so that they stay sharp at 16 pixels.
void drawHighImportance(QPainter& p, const Colours& c)
{
    p.fillRect(QRectF(7, 2, 2, 8), c.alert);
    p.fillRect(QRectF(7, 12, 2, 2), c.alert);
}

void drawLowImportance(QPainter& p, const Colours& c)
{
    p.fillRect(QRectF(7, 2, 2, 7), c.calm);
    QPainterPath head;
    head.moveTo(3, 8);
    head.lineTo(13, 8);
    head.lineTo(8, 14);
    head.closeSubpath();
    p.fillPath(head, c.calm);
}

// A paper clip of straight strokes on pixel centres joined by round bends.
void drawAttachment(QPainter& p, const Colours& c)
{
    QPainterPath clip;
    clip.moveTo(6.5, 5);
    clip.lineTo(6.5, 11);
    clip.arcTo(QRectF(6.5, 9.5, 3, 3), 180, 180);
    clip.lineTo(9.5, 3.5);
    clip.arcTo(QRectF(4.5, 1, 5, 5), 0, 180);
    clip.lineTo(4.5, 12);
    clip.arcTo(QRectF(4.5, 9, 6, 6), 180, 180);
    clip.lineTo(10.5, 6);
    p.setPen(QPen(c.ink, 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(clip);
}

void drawClosedEnvelope(QPainter& p, const Colours& c)
{
    p.setPen(QPen(c.ink, 1));
    p.setBrush(c.unread);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawPolyline(QPolygonF{{1.5, 3.5}, {8, 9}, {14.5, 3.5}});
}

void drawOpenEnvelope(QPainter& p, const Colours& c)
{
    p.setPen(QPen(c.ink, 1));
    p.setBrush(c.paper);
    // The flap stands open above the body.
    p.drawPolygon(QPolygonF{{1.5, 7.5}, {8, 2.5}, {14.5, 7.5}});
    p.drawRect(QRectF(1.5, 7.5, 13, 7));
    p.drawPolyline(QPolygonF{{1.5, 7.5}, {8, 11.5}, {14.5, 7.5}});
}

void drawPerson(QPainter& p, const QColor& colour, const QPointF& offset, qreal scale)
{
    p.save();
    p.translate(offset);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(8, 5), 3, 3);
    QPainterPath body;
    body.moveTo(2, 15);
    body.cubicTo(2, 9.5, 14, 9.5, 14, 15);
    body.closeSubpath();
    p.drawPath(body);
    p.restore();
}

void drawContact(QPainter& p, const Colours& c)
{
    drawPerson(p, c.person, QPointF(0, 0), 1.0);
}

void drawDistList(QPainter& p, const Colours& c)
{
    drawPerson(p, c.personBg, QPointF(5, 0), 0.75);
    drawPerson(p, c.person, QPointF(-1, 3), 0.8);
}

void draw(int image, QPainter& p, const Colours& c)
{
    switch (image) {
    case kListImageHighImportance:
        return drawHighImportance(p, c);
    case kListImageLowImportance:
        return drawLowImportance(p, c);
    case kListImageAttachment:
        return drawAttachment(p, c);
    case kListImageUnread:
        return drawClosedEnvelope(p, c);
    case kListImageRead:
        return drawOpenEnvelope(p, c);
    case kListImageContact:
        return drawContact(p, c);
    case kListImageDistList:
        return drawDistList(p, c);
    default:
        return;
    }
}

} // namespace

bool IsDarkPalette(const QPalette& palette)
{
    return palette.color(QPalette::Base).lightness() < palette.color(QPalette::Text).lightness();
}

QPixmap ListImagePixmap(int image, const QPalette& palette, qreal devicePixelRatio)
{
    if (image <= kListImageNone || image >= kListImageCount)
        return {};
    const bool dark = IsDarkPalette(palette);
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const quint64 key = quint64(image) | (quint64(dark) << 8) | (quint64(ratio * 100) << 16);
    static QHash<quint64, QPixmap> cache;
    if (const auto it = cache.constFind(key); it != cache.cend())
        return *it;

    QPixmap pixmap(QSize(kListImageSize, kListImageSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(image, painter, coloursFor(dark));
    }
    cache.insert(key, pixmap);
    return pixmap;
}

} // namespace vantrel::mail
