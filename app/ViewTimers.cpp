#include "ViewTimers.h"

#include <QTimer>
#include <utility>

ViewTimers::ViewTimers(QObject* parent)
    : QObject(parent)
{}

QTimer* ViewTimers::timer(int id)
{
    QTimer*& slot = m_timers[id];
    if (!slot) {
        slot = new QTimer(this);
        slot->setSingleShot(true);
        connect(slot, &QTimer::timeout, this, [this, id] { fire(id); });
    }
    return slot;
}

void ViewTimers::setHandler(int id, std::function<void()> handler)
{
    m_handlers.insert(id, std::move(handler));
}

void ViewTimers::start(int id, int milliseconds)
{
    timer(id)->start(milliseconds);
}

void ViewTimers::stop(int id)
{
    if (QTimer* t = m_timers.value(id))
        t->stop();
}

bool ViewTimers::isActive(int id) const
{
    const QTimer* t = m_timers.value(id);
    return t && t->isActive();
}

int ViewTimers::interval(int id) const
{
    const QTimer* t = m_timers.value(id);
    return t ? t->interval() : 0;
}

void ViewTimers::fire(int id)
{
    stop(id);
    const auto handler = m_handlers.value(id);
    if (handler)
        handler();
}
