#pragma once

#include <QDate>
#include <QString>

namespace vantrel::notepad {

// What a shift-click on `selected` writes into the notepad: how many days it lies ahead
// of or behind `today`, counted with month-length tables. Only this year and the next
// are counted; an earlier year gives " Last year" or " To far back", a later one
// " To far forward", and today itself gives no text.
QString DayCountText(const QDate& today, const QDate& selected);

} // namespace vantrel::notepad
