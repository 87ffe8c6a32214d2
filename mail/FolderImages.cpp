#include "mail/FolderImages.h"

#include "mail/FolderRecord.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace vantrel::mail {

namespace {

// Everything is drawn on a 16 x 16 grid; strokes of one unit sit on half units so that they
// cover whole pixels at 16 px.
constexpr qreal kGrid = 16.0;

struct Colours
{
    QColor outline;
    QColor folder;
    QColor folderLight;
    QColor paper;
    QColor steel;
    QColor blue;
    QColor green;
};

Colours ColoursFor(QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    Colours colours;
    colours.outline = mode == QIcon::Selected ? palette.color(QPalette::HighlightedText)
                                              : palette.color(QPalette::WindowText);
    // Fills a shade lighter on light themes and a shade deeper on dark ones, so that the
    // outline and the fill both stand off the background.
    colours.folder = dark ? QColor(0xD9, 0xA4, 0x2B) : QColor(0xF2, 0xC2, 0x4E);
    colours.folderLight = dark ? QColor(0xE8, 0xBE, 0x55) : QColor(0xFA, 0xDB, 0x8C);
    colours.paper = dark ? QColor(0xC8, 0xCE, 0xD6) : QColor(0xF7, 0xF8, 0xFA);
    colours.steel = dark ? QColor(0x8A, 0x96, 0xA6) : QColor(0xB4, 0xBE, 0xCB);
    colours.blue = dark ? QColor(0x5A, 0x9B, 0xEB) : QColor(0x2F, 0x74, 0xD0);
    colours.green = dark ? QColor(0x5C, 0xC0, 0x6A) : QColor(0x2E, 0x9A, 0x44);
    return colours;
}

QPainterPath Polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

void DrawFolder(QPainter& p, const Colours& c, bool open)
{
    p.setBrush(c.folder);
    p.drawPath(Polygon({{1.5, 2.5}, {6, 2.5}, {7.5, 4.5}, {14.5, 4.5}, {14.5, 13.5}, {1.5, 13.5}}));
    p.setBrush(c.folderLight);
    if (open)
        p.drawPath(Polygon({{1.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}}));
    else
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
}

void DrawStore(QPainter& p, const Colours& c)
{
    p.setBrush(c.steel);
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1, 1);
    p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
    p.setBrush(c.paper);
    p.drawRect(QRectF(6.5, 4.5, 3, 1));
    p.drawRect(QRectF(6.5, 10.5, 3, 1));
}

void DrawTray(QPainter& p, const Colours& c)
{
    p.setBrush(c.paper);
    p.drawPath(Polygon({{1.5, 9.5},
                        {4.5, 9.5},
                        {5.5, 11.5},
                        {10.5, 11.5},
                        {11.5, 9.5},
                        {14.5, 9.5},
                        {14.5, 14.5},
                        {1.5, 14.5}}));
}

// A vertical arrow from y `from` to y `to`, head at `to`.
void DrawArrow(QPainter& p, const QColor& colour, qreal from, qreal to)
{
    const qreal head = to > from ? -3.5 : 3.5;
    p.setBrush(colour);
    p.drawPath(Polygon({{6.5, from},
                        {9.5, from},
                        {9.5, to + head},
                        {12, to + head},
                        {8, to},
                        {4, to + head},
                        {6.5, to + head}}));
}

void DrawSent(QPainter& p, const Colours& c)
{
    p.setBrush(c.paper);
    p.drawPath(Polygon({{1.5, 7.5}, {14.5, 1.5}, {10.5, 14.5}, {7.5, 9.5}}));
    p.setBrush(c.blue);
    p.drawPath(Polygon({{7.5, 9.5}, {14.5, 1.5}, {7.5, 13.5}}));
}

void DrawDeleted(QPainter& p, const Colours& c)
{
    p.setBrush(c.steel);
    p.drawPath(Polygon({{3.5, 4.5}, {12.5, 4.5}, {11.5, 14.5}, {4.5, 14.5}}));
    p.drawRect(QRectF(2.5, 2.5, 11, 2));
    p.drawRect(QRectF(6.5, 1, 3, 1.5));
    for (const qreal x : {6.5, 9.5})
        p.drawLine(QPointF(x, 6.5), QPointF(x, 12.5));
}

void DrawContacts(QPainter& p, const Colours& c)
{
    p.setBrush(c.blue);
    QPainterPath body;
    body.moveTo(2.5, 14.5);
    body.cubicTo(2.5, 8.5, 13.5, 8.5, 13.5, 14.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(c.paper);
    p.drawEllipse(QPointF(8, 5.5), 3, 3);
}

void DrawImage(QPainter& p, int index, const Colours& c)
{
    switch (index) {
    case kImageSelected:
        DrawFolder(p, c, true);
        break;
    case kImageStore:
        DrawStore(p, c);
        break;
    case kImageInbox:
        DrawTray(p, c);
        DrawArrow(p, c.blue, 1, 9);
        break;
    case kImageSent:
        DrawSent(p, c);
        break;
    case kImageOutbox:
        DrawTray(p, c);
        DrawArrow(p, c.green, 9, 1);
        break;
    case kImageDeleted:
        DrawDeleted(p, c);
        break;
    case kImageFolder:
        DrawFolder(p, c, false);
        break;
    case kImageContacts:
        DrawContacts(p, c);
        break;
    default:
        break;
    }
}

class FolderImageEngine final : public QIconEngine
{
public:
    FolderImageEngine(int image, int selectedImage)
        : m_image(image)
        , m_selectedImage(selectedImage)
    {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const Colours colours = ColoursFor(mode);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.45);
        const qreal side = qMin(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2,
                           rect.y() + (rect.height() - side) / 2);
        painter->scale(side / kGrid, side / kGrid);
        QPen pen(colours.outline, 1.0);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        DrawImage(*painter, mode == QIcon::Selected ? m_selectedImage : m_image, colours);
        painter->restore();
    }

    // `size` is in device pixels: QIcon asks for the scaled size on high-density screens.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new FolderImageEngine(m_image, m_selectedImage); }
    QString key() const override { return QStringLiteral("vantrel.folderimage"); }

private:
    int m_image;
    int m_selectedImage;
};

bool IsImage(int index)
{
    return index >= 0 && index < kFolderImageCount;
}

} // namespace

QIcon FolderTreeImage(int index)
{
    return FolderTreeItemIcon(index, index);
}

QIcon FolderTreeItemIcon(int image, int selectedImage)
{
    if (!IsImage(image) || !IsImage(selectedImage))
        return {};
    return QIcon(new FolderImageEngine(image, selectedImage));
}

} // namespace vantrel::mail
