#include "widgets/window_timer.h"

#include "widgets/operator_messages.h"

#include <QTimer>
#include <QWidget>

QTimer* MakeWindowTimer(QWidget* owner, const QString& name, int intervalMs,
                        std::function<void()> tick, Qt::TimerType type)
{
    auto* timer = new QTimer(owner);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    timer->setTimerType(type);
    QObject::connect(timer, &QTimer::timeout, owner, [owner, timer, tick = std::move(tick)] {
        RunOperatorEvent(owner, [&tick, timer] {
            try {
                tick();
            } catch (...) {
                // Stopped before the message: its box runs an event loop of its own, in which a
                // running timer would fail again and again.
                timer->stop();
                throw;
            }
        });
    });
    return timer;
}
