#include "WindowPlacement.h"

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
