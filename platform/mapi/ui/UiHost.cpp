#include "UiHost.h"

#include <QApplication>
#include <QWidget>

namespace vnt::mapiui {

bool canShowDialogs()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QWidget* dialogParent(ULONG_PTR ulUIParam)
{
    if (ulUIParam == 0)
        return nullptr;
    // Only a live top-level or child widget of this program is taken as the parent.
    auto* candidate = reinterpret_cast<QWidget*>(ulUIParam);
    const QWidgetList all = QApplication::allWidgets();
    return all.contains(candidate) ? candidate : nullptr;
}

} // namespace vnt::mapiui
