// Transfers a sequence table from the sequence window (offscreen) into tavsim on a serial link
// and reports the pacing the instrument saw: the period between rows (600 ms wanted), the gap
// between the five commands of a row (60 ms wanted) and the whole transfer's duration.
// Run: build/bench/bench_sequence_pacing [rows]   (rows 1..50, default 10)
#include "bench/control_panel.h"
#include "bench/sim_session.h"
#include "sequence/grid_widget.h"
#include "sequence/sequence_window.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = std::clamp(argc > 1 ? std::atoi(argv[1]) : 10, 1, 50);

    SimSession session;
    if (!session.Start())
        return 1;

    ControlPanel panel;
    TForm2 window(panel.state.Link, panel.state.Export, panel.state.Places);
    window.show();
    for (int r = 1; r <= rows; ++r)
        window.Grid()->SetRow(r, {QString::number(r).rightJustified(2), "00.00.01.000",
                                  r == rows ? "END" : "UAC", QString::number(r), "50", "0"});
    auto* transfer = window.findChild<QPushButton*>("TransferButton");
    transfer->click();
    RunEventLoopUntil([&] { return transfer->isEnabled(); }, 100);
    const std::vector<SimSession::Line> lines = session.ReceivedOnce([](const auto& received) {
        return !received.empty() && received.back().text.startsWith("SEQ:CNT,");
    });

    std::vector<double> rowPeriods, commandGaps;
    qint64 lastRowStart = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.startsWith("SEQ:TIME,")) {
            if (lastRowStart >= 0)
                rowPeriods.push_back((lines[i].micros - lastRowStart) / 1000.0);
            lastRowStart = lines[i].micros;
        } else if (i > 0 && !lines[i].text.startsWith("SEQ:CNT,")) {
            commandGaps.push_back((lines[i].micros - lines[i - 1].micros) / 1000.0);
        }
    }
    if (lines.size() < 2 || static_cast<int>(lines.size()) != rows * 5 + 1) {
        std::fprintf(stderr, "expected %d lines, the instrument received %zu\n", rows * 5 + 1,
                     lines.size());
        return 1;
    }
    std::printf("%d rows, %zu lines, transfer %.1f ms from the first line to SEQ:CNT\n", rows,
                lines.size(), (lines.back().micros - lines.front().micros) / 1000.0);
    if (!rowPeriods.empty())
        std::printf("row period: median %.2f ms, 99th percentile %.2f ms\n",
                    Percentile(rowPeriods, 0.5), Percentile(rowPeriods, 0.99));
    std::printf("gap between a row's commands: median %.2f ms, 99th percentile %.2f ms\n",
                Percentile(commandGaps, 0.5), Percentile(commandGaps, 0.99));
    return 0;
}
