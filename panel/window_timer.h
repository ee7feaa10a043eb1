#pragma once

#include <QString>
#include <Qt>
#include <functional>

class QObject;
class QTimer;

// A window's timer, named as the window names it, stopped until started; tick is its handler.
QTimer* MakeWindowTimer(QObject* owner, const QString& name, int intervalMs,
                        std::function<void()> tick, Qt::TimerType type = Qt::CoarseTimer);
