#pragma once

#include <QString>
#include <Qt>
#include <functional>

class QTimer;
class QWidget;

// A window's timer, named as the window names it, stopped until started; tick is its handler.
// Each tick runs as an operator's event (RunOperatorEvent): an error it raises is shown to the
// operator, and stops the timer so that it is shown once rather than at every tick.
QTimer* MakeWindowTimer(QWidget* owner, const QString& name, int intervalMs,
                        std::function<void()> tick, Qt::TimerType type = Qt::CoarseTimer);
