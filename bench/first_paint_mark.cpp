// Built into a copy of the program (app/main.cpp) for the start-up benchmark: prints
// "paint <window> <CLOCK_MONOTONIC µs>" on standard output when each top-level window starts its
// first paint (the main window: once that paint is complete), then "ready" once the work queued
// behind the main window's first paint is done, and ends the program.
#include "record/monotonic_clock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class FirstPaintMark : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || !object->isWidgetType())
            return false;
        const QString name = static_cast<QWidget*>(object)->window()->objectName();
        if (m_seen.contains(name))
            return false;
        m_seen.insert(name);
        if (name != QLatin1String("TForm1")) {
            // The splash is painted at once (repaint()) before the event loop runs.
            Print(name);
            return false;
        }
        // The paint events of one update run back to back: the next turn of the event loop
        // comes once the window's picture is complete.
        QTimer::singleShot(0, this, [this, name] {
            Print(name);
            // What the program does once its window is up was queued behind this mark.
            QTimer::singleShot(0, this, [] {
                Print(QStringLiteral("ready"));
                QCoreApplication::quit();
            });
        });
        return false;
    }

private:
    static void Print(const QString& name)
    {
        std::printf("paint %s %lld\n", qPrintable(name), static_cast<long long>(MonotonicMicros()));
        std::fflush(stdout);
    }

    QSet<QString> m_seen;
};

void InstallFirstPaintMark()
{
    QCoreApplication::instance()->installEventFilter(
        new FirstPaintMark(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallFirstPaintMark)
