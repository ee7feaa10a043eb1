// The cost of recording, tracing and the trend plot while polling: the control panel (offscreen)
// against tavsim, first with all three off, then with all three on, in one run. Reports for each
// half the poll period seen by the instrument and the program's CPU share, and how closely the
// trace's send times match the instrument's receive times.
// Run: build/bench/bench_record_overhead [seconds per half, default 20]
#include "bench/control_panel.h"
#include "bench/sim_session.h"
#include "record/measurement_recording.h"
#include "record/monotonic_clock.h"
#include "record/trend_window.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return CpuSeconds(u);
}

struct Half {
    const char* name;
    int64_t from = 0, to = 0;
    double cpu = 0;
};

void Report(const Half& half, const std::vector<SimSession::Line>& lines)
{
    std::vector<double> gaps;
    int64_t last = -1;
    for (const auto& line : lines) {
        if (line.micros < half.from || line.micros > half.to)
            continue;
        if (last >= 0)
            gaps.push_back((line.micros - last) / 1000.0);
        last = line.micros;
    }
    const double seconds = (half.to - half.from) / 1e6;
    std::printf("%-28s poll period median %.2f ms, 99th pct %.2f ms; CPU %.2f %% of one core\n",
                half.name, Percentile(gaps, 0.5), Percentile(gaps, 0.99),
                100.0 * half.cpu / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    QTemporaryDir dir;

    SimSession session;
    if (!session.Start())
        return 1;
    ControlPanel panel;
    TForm1& form = panel.form;
    form.show();
    form.findChild<QPushButton*>("BitBtn7")->click();

    Half off{"recording, trace, plot off"};
    Half on{"recording, trace, plot on"};
    double cpuMark = 0;
    // Two seconds to settle after Connect, then the two halves back to back.
    QTimer::singleShot(2000, &app, [&] {
        off.from = MonotonicMicros();
        cpuMark = CpuSeconds();
    });
    QTimer::singleShot(2000 + seconds * 1000, &app, [&] {
        off.to = MonotonicMicros();
        off.cpu = CpuSeconds() - cpuMark;
        panel.state.Trace.Open(dir.filePath("bench.trace"));
        form.StartRecording(dir.filePath("bench.csv"));
        form.Trend1Click();
        on.from = MonotonicMicros();
        cpuMark = CpuSeconds();
    });
    bool stillConnected = false;
    QTimer::singleShot(2000 + 2 * seconds * 1000, &app, [&] {
        // Quitting closes the window, which stops the cycle: look before that.
        stillConnected = form.Timer1()->isActive();
        on.to = MonotonicMicros();
        on.cpu = CpuSeconds() - cpuMark;
        QCoreApplication::quit();
    });
    QApplication::exec();
    if (!stillConnected)
        std::printf("note: the status watch disconnected during the run\n");
    panel.state.Trace.Close();

    const std::vector<SimSession::Line> lines = session.Received();
    Report(off, lines);
    Report(on, lines);
    std::printf("rows recorded: %lld\n",
                static_cast<long long>(form.Recording().Recorder().Rows()));

    // Trace send time against the instrument's receive time, line by line from the first traced.
    QFile trace(dir.filePath("bench.trace"));
    std::vector<double> lags;
    if (trace.open(QIODevice::ReadOnly)) {
        size_t i = 0;
        while (i < lines.size() && lines[i].micros < on.from)
            ++i;
        for (const QByteArray& text : trace.readAll().split('\n')) {
            const QList<QByteArray> f = text.split('\t');
            if (f.size() != 4 || f[1] != "TX" || i >= lines.size())
                continue;
            lags.push_back((lines[i++].micros - f[0].toLongLong()) / 1000.0);
        }
    }
    if (!lags.empty()) {
        const double median = Percentile(lags, 0.5);
        const double p99 = Percentile(lags, 0.99);
        std::printf("trace vs instrument log: median %.3f ms, 99th pct %.3f ms, max %.3f ms over "
                    "%zu lines\n",
                    median, p99, lags.back(), lags.size());
    }
    return 0;
}
