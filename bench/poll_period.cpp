// Runs the control panel (offscreen) against tavsim for a while, connected, and reports the poll
// period seen by the instrument (median and 99th percentile of the gaps between the lines it
// received), the program's CPU use and its peak memory.
// For a soak it also reports the lines received against those a lossless cycle sends, the
// largest gap, and the resident memory 10 s after Connect and at the end.
// Run: bench/poll_period.sh [seconds], bench/soak.sh [minutes]
//      (or build/bench/bench_poll_period SECONDS)
#include "bench/control_panel.h"
#include "bench/sim_session.h"
#include "panel/poll_cycle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // Offscreen unless a platform is named (xvfb-run -a env QT_QPA_PLATFORM=xcb ...).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

    SimSession session;
    if (!session.Start())
        return 1;

    ControlPanel panel;
    TForm1& form = panel.form;
    form.show();
    // The window's first paint is start-up, not polling: it is over before the figures start.
    // (A loop of its own: quitting the application's would close the window.)
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit);
    settle.exec();
    // When the cycle disconnects by itself (a status answer later than one tick), say when.
    QElapsedTimer wall;
    wall.start();
    double disconnectedAt = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (disconnectedAt < 0 && !form.Timer1()->isActive())
            disconnectedAt = wall.elapsed() / 1000.0;
    });
    bool stillConnected = false;
    const SoakFigures run = RunSoak(
        seconds,
        [&] {
            form.findChild<QPushButton*>("BitBtn7")->click();
            // Once a second: the watch is the benchmark's, and its wake-ups count as the
            // program's CPU.
            watch.start(1000);
        },
        // Quitting closes the window, which stops the cycle: look before that.
        [&] { stillConnected = form.Timer1()->isActive(); });

    std::vector<qint64> stamps;
    std::vector<qint64> statusStamps; // one per pass
    for (const SimSession::Line& line : session.Received()) {
        stamps.push_back(line.micros);
        if (line.text == "*tav?")
            statusStamps.push_back(line.micros);
    }
    if (stamps.size() < 3) {
        std::fprintf(stderr, "too few lines received (%zu)\n", stamps.size());
        return 1;
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < stamps.size(); ++i)
        gaps.push_back((stamps[i] - stamps[i - 1]) / 1000.0);
    const double largest = *std::max_element(gaps.begin(), gaps.end());
    const double median = Percentile(gaps, 0.5);
    const double p99 = Percentile(gaps, 0.99);
    std::printf("run %.1f s, %zu lines received, ", run.elapsed, stamps.size());
    if (stillConnected)
        std::printf("connected throughout\n");
    else
        std::printf("disconnected by the status watch after %.1f s\n", disconnectedAt);
    std::printf("poll period: median %.2f ms, 99th percentile %.2f ms, largest gap %.2f ms\n",
                median, p99, largest);
    // Each pass of 11 ticks sends 9 lines: slots 28 and 29 carry only mailbox commands.
    const double span = (stamps.back() - stamps.front()) / 1e6;
    std::printf("lines received: %zu of about %.0f a lossless cycle sends in %.1f s\n",
                stamps.size(), span / 0.060 * 9.0 / 11.0 + 1, span);
    // Slots 28 and 29 send nothing without a mailbox command: a pass of 11 ticks sends 9 lines.
    if (statusStamps.size() > 2) {
        std::vector<double> passes;
        for (size_t i = 1; i < statusStamps.size(); ++i)
            passes.push_back((statusStamps[i] - statusStamps[i - 1]) / 1000.0);
        std::printf("pass period (status query to status query): median %.2f ms, 99th percentile "
                    "%.2f ms\n",
                    Percentile(passes, 0.5), Percentile(passes, 0.99));
    }
    std::printf("program CPU: %.2f %% of one core\n", run.cpuPercent);
    std::printf("for comparison, a bare %d ms timer in this process: %.2f %% of one core\n",
                PollCycle::kTickMs, BareTimerCpuPercent(PollCycle::kTickMs, 10));
    std::printf("resident memory: %.2f MiB after 10 s, %.2f MiB at the end (growth %.2f MiB), "
                "peak %.1f MiB\n",
                run.residentStart, run.residentEnd, run.residentEnd - run.residentStart,
                run.residentPeak);
    return 0;
}
