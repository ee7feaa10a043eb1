#include "python/event_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace {

constexpr int kWakeMs = 50;

} // namespace

void EnsureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tavcontrol";
    static char* argv[] = {name, nullptr};
    // Never deleted: the ports' objects of a script may outlive any scope it could be freed in.
    new QCoreApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavcontrol"));
}

void HandlePendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

WaitEnd WaitForEvents(const std::function<bool()>& ready, int timeoutMs,
                      const std::function<bool()>& interrupted)
{
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever
                                                : QDeadlineTimer(timeoutMs, Qt::PreciseTimer));
    // The wake-ups: one for the signal check, one at the deadline itself.
    QTimer wake;
    wake.start(kWakeMs);
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    if (timeoutMs >= 0)
        end.start(timeoutMs);
    QDeadlineTimer nextCheck(kWakeMs);
    while (!ready()) {
        if (deadline.hasExpired())
            return WaitEnd::TimedOut;
        if (nextCheck.hasExpired()) {
            if (interrupted())
                return WaitEnd::Interrupted;
            nextCheck.setRemainingTime(kWakeMs);
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return WaitEnd::Ready;
}
