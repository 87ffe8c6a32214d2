#include "ContextHelpMode.h"

#include "HelpTopics.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QWidget>
#include <utility>

ContextHelpMode::ContextHelpMode(QWidget* workspace, HelpRequest request, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_request(std::move(request))
{}

ContextHelpMode::~ContextHelpMode()
{
    leave();
}

void ContextHelpMode::enter()
{
    if (m_active)
        return;
    m_active = true;
    QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    qApp->installEventFilter(this);
}

void ContextHelpMode::leave()
{
    if (!m_active)
        return;
    m_active = false;
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

bool ContextHelpMode::commandChosen(int commandId)
{
    if (!m_active)
        return false;
    leave();
    m_request(kHelpContextBase + commandId);
    return true;
}

int ContextHelpMode::contextFor(const QWidget* widget) const
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        bool ok = false;
        const int controlId = w->property("controlId").toInt(&ok);
        if (ok && controlId > 0)
            return kHelpContextBase + controlId;
        if (const auto* button = qobject_cast<const QToolButton*>(w)) {
            if (button->defaultAction() && button->defaultAction()->data().toInt() > 0)
                return kHelpContextBase + button->defaultAction()->data().toInt();
        }
        if (w == m_workspace)
            return kNoControlContext;
    }
    return kNoControlContext;
}

bool ContextHelpMode::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        leave();
        return true;
    }
    if (event->type() != QEvent::MouseButtonPress)
        return QObject::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    // Menus deliver the chosen command instead; let them work.
    if (!widget || widget->inherits("QMenu") || widget->inherits("QMenuBar"))
        return QObject::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QWidget* target = widget->childAt(mouse->position().toPoint());
    const int context = contextFor(target ? target : widget);
    leave();
    m_request(context);
    return true;
}
