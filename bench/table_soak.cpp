// Soak of a test table: the test window (offscreen, over the shown main window) runs a table
// against tavsim whose last row jumps back for ever, for the given seconds, and reports the
// loops done against those the table's own timing allows, the result rows and checks that
// failed, messages to the operator, the program's CPU share and its resident memory.
// Run: bench/soak.sh [poll minutes] [table minutes]
//      (or build/bench/bench_table_soak SECONDS [PNG], which also saves the window at the end)
#include "autotest/table_file.h"
#include "autotest/table_window.h"
#include "bench/control_panel.h"
#include "bench/sim_session.h"
#include "sequence/grid_widget.h"
#include "sequence/step_grid.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// Voltage set, output on, then two checked readings and a jump back to them.
const QList<QStringList> kRows = {
    {"00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"},
    {"00.00.00.200", "OUTP,1", "0", "0", "0", "", "", "", "1"},
    {"00.00.00.200", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
    {"00.00.00.200", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC again", "1"},
    {"00.00.00.000", "GOTO", "3", "0", "1000000", "", "", "", "1"},
    {"00.00.00.100", "OUTP,0", "0", "0", "0", "", "", "", "1"},
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QStringList messages;
    SetOperatorMessageHook([&](const QString& text) { messages.append(text); });

    SimSession session;
    if (!session.Start())
        return 1;
    ControlPanel panel;
    panel.form.show();
    TForm6 window(panel.state.Link, panel.state.Places, panel.state.Test, panel.state.Export,
                  &panel.form);
    window.show();
    PutTestRows(window, kRows);

    bool running = false;
    const SoakFigures run = RunSoak(
        seconds, [&] { window.findChild<QPushButton*>(QStringLiteral("Button3"))->click(); },
        [&] {
            running = window.Timer1()->isActive();
            if (argc > 2)
                window.grab().save(QString::fromLocal8Bit(argv[2]));
        });

    const ResultTable& results = window.Results();
    int checked = 0, failed = 0;
    for (int r = 1; r < results.RowCount(); ++r) {
        if (!results.Cell(ResultTable::kTestResult, r).isEmpty())
            ++checked;
        if (!results.Cell(ResultTable::kMark, r).isEmpty())
            ++failed;
    }
    std::printf("run %.1f s, the table %s\n", run.elapsed, running ? "still running" : "stopped");
    // Every query the instrument received is a reading checked; the gaps between them show
    // whether the run ever stalled.
    std::vector<double> gaps;
    qint64 last = -1;
    int queries = 0;
    for (const SimSession::Line& line : session.Received()) {
        if (line.text != "MEAS:VOLT?")
            continue;
        ++queries;
        if (last >= 0)
            gaps.push_back((line.micros - last) / 1000.0);
        last = line.micros;
    }
    std::printf("readings: %d queries sent, %d checked, %d failed\n", queries, checked, failed);
    if (!gaps.empty()) {
        const double largest = *std::max_element(gaps.begin(), gaps.end());
        std::printf("time between readings: median %.1f ms, largest %.1f ms\n",
                    Percentile(gaps, 0.5), largest);
    }
    std::printf("result rows: %d\n", results.RowCount() - 1);
    std::printf("messages to the operator: %lld%s%s\n", static_cast<long long>(messages.size()),
                messages.isEmpty() ? "" : ", the first: ",
                messages.isEmpty() ? "" : messages.first().toLocal8Bit().constData());
    const double growth = run.residentEnd - run.residentStart;
    std::printf("program CPU: %.2f %% of one core\n", run.cpuPercent);
    std::printf("resident memory: %.2f MiB after 10 s, %.2f MiB at the end (growth %.2f MiB, "
                "%.0f bytes per result row)\n",
                run.residentStart, run.residentEnd, growth,
                growth * 1048576.0 / std::max(1, results.RowCount()));
    SetOperatorMessageHook(nullptr);
    return running && failed == 0 && messages.isEmpty() && queries - checked <= 1 ? 0 : 1;
}
