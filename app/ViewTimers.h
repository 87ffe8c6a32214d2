#pragma once

#include <QHash>
#include <QObject>
#include <functional>

class QTimer;

// The view's one-shot timers, keyed by their ids. A timer stops before its handler
// runs; starting a running timer restarts it. Tests can fire a timer at once.
class ViewTimers : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRequeryKnowledge = 2760;
    static constexpr int kMarkAsRead = 2761;
    static constexpr int kRequeryJobs = 2763;
    static constexpr int kBringToFront = 2764;

    explicit ViewTimers(QObject* parent = nullptr);

    void setHandler(int id, std::function<void()> handler);
    void start(int id, int milliseconds);
    void stop(int id);
    bool isActive(int id) const;
    int interval(int id) const;
    // Runs the handler now, as if the timer had run out.
    void fire(int id);

private:
    QTimer* timer(int id);

    QHash<int, QTimer*> m_timers;
    QHash<int, std::function<void()>> m_handlers;
};
