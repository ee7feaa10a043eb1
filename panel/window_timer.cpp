#include "panel/window_timer.h"

#include <QTimer>

QTimer* MakeWindowTimer(QObject* owner, const QString& name, int intervalMs,
                        std::function<void()> tick, Qt::TimerType type)
{
    auto* timer = new QTimer(owner);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    timer->setTimerType(type);
    QObject::connect(timer, &QTimer::timeout, owner, std::move(tick));
    return timer;
}
