#include "WindowPlacement.h"

#include <algorithm>

WindowPlacement::Show WindowPlacement::show() const
{
    if (icon != 0)
        return Minimised;
    return max != 0 ? Maximised : Normal;
}

void WindowPlacement::setNormalRect(const QRect& rect)
{
    left = rect.x();
    top = rect.y();
    right = rect.x() + rect.width();
    bottom = rect.y() + rect.height();
}

QString WindowPlacement::rectText() const
{
    return QString::asprintf("%04d %04d %04d %04d", left, top, right, bottom);
}

void WindowPlacement::setRectText(const QString& text)
{
    if (text.isEmpty()) {
        *this = WindowPlacement{.icon = icon, .max = max};
        return;
    }
    const auto at = [&text](qsizetype position) {
        return position < text.size() ? leadingInteger(QStringView(text).mid(position)) : 0;
    };
    left = at(0);
    top = at(5);
    right = at(10);
    bottom = at(15);
}

namespace {

// The part of the title strip that must lie on a screen for the window to be grabbed.
constexpr int kTitleStrip = 24;
constexpr int kGrabWidth = 120;
constexpr int kMinWidth = 200;
constexpr int kMinHeight = 150;

qint64 distanceSquared(const QRect& screen, const QPoint& point)
{
    const qint64 dx = point.x() < screen.left()    ? screen.left() - point.x()
                      : point.x() > screen.right() ? point.x() - screen.right()
                                                   : 0;
    const qint64 dy = point.y() < screen.top()      ? screen.top() - point.y()
                      : point.y() > screen.bottom() ? point.y() - screen.bottom()
                                                    : 0;
    return dx * dx + dy * dy;
}

bool grabbable(const QRect& outer, const QRect& screen)
{
    if (outer.top() < screen.top() || outer.top() > screen.bottom() - kTitleStrip)
        return false;
    const QRect strip(outer.left(), outer.top(), outer.width(), kTitleStrip);
    return strip.intersected(screen).width() >= std::min(kGrabWidth, outer.width());
}

} // namespace

QRect reachableRect(const QRect& outer, const QList<QRect>& screens)
{
    QRect rect = outer.width() > 0 && outer.height() > 0 ? outer : WindowPlacement{}.normalRect();
    rect.setSize(rect.size().expandedTo(QSize(kMinWidth, kMinHeight)));
    if (screens.isEmpty())
        return rect;
    for (const QRect& screen : screens) {
        if (grabbable(rect, screen))
            return rect;
    }
    // The screen showing most of the window, else the one nearest its centre.
    const QRect* nearest = &screens.first();
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(rect);
        const qint64 area = qint64(shown.width()) * shown.height();
        if (area > bestArea || (bestArea == 0 && distanceSquared(screen, rect.center()) <
                                                     distanceSquared(*nearest, rect.center()))) {
            nearest = &screen;
            bestArea = area;
        }
    }
    rect.setSize(rect.size().boundedTo(nearest->size()));
    rect.moveLeft(std::clamp(rect.left(), nearest->left(), nearest->right() + 1 - rect.width()));
    rect.moveTop(std::clamp(rect.top(), nearest->top(), nearest->bottom() + 1 - rect.height()));
    return rect;
}

FirstStartPlacement firstStartPlacement(const QSize& wanted, const QRect& available)
{
    if (!available.isValid())
        return {QRect(QPoint(10, 10), wanted), false};
    const bool tooSmall =
        wanted.width() > available.width() || wanted.height() > available.height();
    const QSize size = wanted.boundedTo(available.size());
    const QPoint topLeft(available.x() + (available.width() - size.width()) / 2,
                         available.y() + (available.height() - size.height()) / 2);
    return {QRect(topLeft, size), tooSmall};
}

int leadingInteger(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > 0x7FFFFFFF)
            return negative ? -0x7FFFFFFF - 1 : 0x7FFFFFFF;
    }
    return static_cast<int>(negative ? -value : value);
}
