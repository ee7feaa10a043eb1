// A window's timer runs its tick as an operator's event: an error raised in a tick is shown once
// and stops the timer, and never leaves the slot into the event loop.
#include "common/strict_integer.h"
#include "link/cia_com_port.h"
#include "tests/support/qt_wait.h"
#include "widgets/operator_messages.h"
#include "widgets/window_timer.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

TEST(WindowTimer, AnErrorInATickIsShownOnceAndStopsTheTimer)
{
    TCiaComPort closedPort;
    const struct {
        const char* what;
        std::function<void()> failingWork;
        QString message;
    } cases[] = {
        {"a port error", [&] { closedPort.WriteText(QByteArray("*idn?\n")); },
         QStringLiteral("Port not open")},
        {"any other error", [] { ConvertInteger(QStringLiteral("12a")); },
         QString::fromUtf8("'12a' ist kein gültiger Integerwert")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList shown;
        SetOperatorMessageHook([&](const QString& text) { shown << text; });
        QWidget window;
        int ticks = 0;
        // The first tick goes well and keeps the timer running; the second one fails.
        QTimer* timer = MakeWindowTimer(&window, QStringLiteral("Timer1"), 0, [&] {
            if (++ticks == 2)
                c.failingWork();
        });
        timer->start();
        EXPECT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }));
        PumpEvents(50); // further ticks would have their chance here
        SetOperatorMessageHook(nullptr);
        EXPECT_EQ(shown, QStringList{c.message});
        EXPECT_EQ(ticks, 2);
        EXPECT_FALSE(timer->isActive());
    }
}
