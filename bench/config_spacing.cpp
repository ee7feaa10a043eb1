// Runs the service tool's "Send Config" (offscreen) on its real 1200 ms timer against tavsim on
// a serial link and reports the spacing the instrument saw: the delay from the click to the
// first line (1200 ms wanted), the gaps between the twelve lines (1200 ms wanted each) and the
// whole transfer (14.4 s from the click).
// Run: build/bench/bench_config_spacing
#include "bench/control_panel.h"
#include "bench/sim_session.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

qint64 MonotonicMicros()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    SimSession session;
    if (!session.Start())
        return 1;
    ControlPanel panel;
    const size_t before = session.Received().size();

    panel.tool.show();
    const qint64 clicked = MonotonicMicros();
    panel.tool.findChild<QPushButton*>("SendConfigButton")->click();
    RunEventLoopUntil([&] { return !panel.tool.Timer1()->isActive(); }, 50);
    std::vector<SimSession::Line> lines =
        session.ReceivedOnce([&](const auto& received) { return received.size() >= before + 12; });
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
    if (lines.size() != 12) {
        std::fprintf(stderr, "expected 12 lines, the instrument received %zu\n", lines.size());
        return 1;
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < lines.size(); ++i)
        gaps.push_back((lines[i].micros - lines[i - 1].micros) / 1000.0);
    std::printf("log ends with: %s\n",
                qPrintable(panel.tool.Memo1()->toPlainText().section('\n', -1)));
    std::printf("click to first line %.1f ms, click to last line %.1f ms\n",
                (lines.front().micros - clicked) / 1000.0,
                (lines.back().micros - clicked) / 1000.0);
    std::printf("gap between lines: median %.2f ms, largest %.2f ms, smallest %.2f ms\n",
                Percentile(gaps, 0.5), Percentile(gaps, 1.0), Percentile(gaps, 0.0));
    return 0;
}
