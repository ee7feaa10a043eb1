// The CPU a running test table costs: the test window, shown over the main window as the
// program shows it, runs a table that checks one reading every 200 ms against tavsim and loops
// for ever. First the windows stand idle for a while, then the table runs; the program's CPU
// over each part is printed, the running part as "CPU: N % of one core". With --hidden the
// windows are made but never shown: what the run costs without drawing.
// Run: bench/table_cpu.sh [seconds]  (a virtual X server, so the windows really draw)
//      or build/bench/bench_table_cpu [SECONDS] [--hidden] [--paints] on a display of your own;
//      --paints lists, per result row, the paints of each widget and the layout passes
#include "autotest/table_window.h"
#include "bench/control_panel.h"
#include "bench/sim_session.h"
#include "sequence/grid_widget.h"
#include "sequence/step_grid.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

// Voltage set, output on, then one checked reading every 200 ms, jumping back for ever.
const QList<QStringList> kRows = {
    {"00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"},
    {"00.00.00.200", "OUTP,1", "0", "0", "0", "", "", "", "1"},
    {"00.00.00.200", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
    // The row a GOTO reaches runs with the GOTO row's time.
    {"00.00.00.200", "GOTO", "3", "0", "1000000", "", "", "", "1"},
};

// Counts the paints of each widget and the layout passes of each window, for --paints.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Paint || type == QEvent::LayoutRequest ||
            type == QEvent::UpdateRequest) {
            const char* kind = type == QEvent::Paint           ? "paint"
                               : type == QEvent::LayoutRequest ? "layout"
                                                               : "update request";
            const QString key =
                QStringLiteral("%1 %2 %3")
                    .arg(QLatin1String(kind), QLatin1String(watched->metaObject()->className()),
                         watched->objectName());
            ++counts[key];
            if (type == QEvent::Paint)
                for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                    pixels[key] += static_cast<qint64>(r.width()) * r.height();
        }
        return false;
    }
    QMap<QString, int> counts;
    QMap<QString, qint64> pixels; // painted, per widget
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool shown = !app.arguments().contains(QStringLiteral("--hidden"));
    QStringList messages;
    SetOperatorMessageHook([&](const QString& text) { messages.append(text); });

    SimSession session;
    if (!session.Start())
        return 1;
    ControlPanel panel;
    panel.form.setVisible(shown);
    TForm6 window(panel.state.Link, panel.state.Places, panel.state.Test, panel.state.Export,
                  &panel.form);
    window.setVisible(shown);
    PutTestRows(window, kRows);

    // The windows settle (first paints, fonts) before anything is counted.
    EventLoopCpuPercent(3);
    const int idleSeconds = std::max(seconds / 3, 5);
    const double idle = EventLoopCpuPercent(idleSeconds);
    window.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    EventLoopCpuPercent(3);
    const int rowsBefore = window.Results().RowCount();
    PaintCounter paints;
    const bool countPaints = app.arguments().contains(QStringLiteral("--paints"));
    if (countPaints)
        app.installEventFilter(&paints);
    const double running = EventLoopCpuPercent(seconds);
    app.removeEventFilter(&paints);
    const int rows = window.Results().RowCount() - rowsBefore;
    const bool stillRunning = window.Timer1()->isActive();
    // What the tick's wake-up alone costs here, the table paused.
    window.findChild<QPushButton*>(QStringLiteral("Button5"))->click();
    const double bareTimer = BareTimerCpuPercent(TestInterpreter::kTickMs, 10);

    std::printf("platform: %s, windows %s\n", qPrintable(QGuiApplication::platformName()),
                shown ? "shown" : "hidden");
    std::printf("windows open, no table running (%d s): %.2f %% of one core\n", idleSeconds, idle);
    std::printf("table running (%d s, %d result rows, %.1f per second, the table %s)\n", seconds,
                rows, rows / static_cast<double>(seconds),
                stillRunning ? "still running" : "stopped");
    std::printf("CPU: %.2f %% of one core\n", running);
    std::printf("for comparison, a bare %d ms timer in this process: %.2f %% of one core\n",
                TestInterpreter::kTickMs, bareTimer);
    for (auto it = paints.counts.cbegin(); it != paints.counts.cend(); ++it)
        std::printf("%6.2f per row, %7.0f pixels: %s\n",
                    it.value() / static_cast<double>(std::max(rows, 1)),
                    paints.pixels.value(it.key()) / static_cast<double>(std::max(rows, 1)),
                    qPrintable(it.key()));
    if (!messages.isEmpty())
        std::printf("messages to the operator: %lld, the first: %s\n",
                    static_cast<long long>(messages.size()), qPrintable(messages.first()));
    SetOperatorMessageHook(nullptr);
    return stillRunning && messages.isEmpty() ? 0 : 1;
}
