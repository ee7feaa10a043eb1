// A burn-in's result rows: the test window (offscreen) runs a looping table over the simulated
// GPIB library, whose instrument answers inside the tick, so the ticks are driven one after the
// other without waiting. Records ROWS result rows (default 432 000, a day at 5 rows a second) and
// prints the resident memory they take, the time to add them, to bring the newest into view,
// to add and show one more at that size, and to save, export and print the report, checking
// that each file is written whole with nothing left beside it.
// Run: build/bench/bench_result_rows [ROWS]
#include "autotest/table_window.h"
#include "bench/control_panel.h"
#include "bench/sim_session.h"
#include "program/program_state.h"
#include "sequence/grid_widget.h"
#include "sequence/step_grid.h"
#include "widgets/operator_messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>
#include <vector>

namespace {

// Output on at 230 V, then every tick one checked reading; the third keeps the reply as received
// ("Show" 2).
const QList<QStringList> kRows = {
    {"00.00.00.000", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"},
    {"00.00.00.000", "OUTP,1", "0", "0", "0", "", "", "", "1"},
    {"00.00.00.000", "MEAS:VOLT?", "NEXT", "0", "0", "225", "235", "UAC", "1"},
    {"00.00.00.000", "MEAS:CURR?", "NEXT", "0", "0", "0", "100", "IAC", "1"},
    {"00.00.00.000", "MEAS:VOLT?", "NEXT", "0", "0", "225", "235", "UAC as read", "2"},
    {"00.00.00.000", "GOTO", "3", "0", "1000000", "", "", "", "1"},
};

double Seconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e9; }

// The simulated library logs every call; the log is emptied now and then, so that only the
// program's own memory grows.
void ClearGpibCallLog()
{
    static void* handle = dlopen(SIMGPIB_PATH, RTLD_NOW | RTLD_LOCAL);
    static auto clear =
        handle ? reinterpret_cast<void (*)()>(dlsym(handle, "tavsim_gpib_clear_call_log"))
               : nullptr;
    if (clear)
        clear();
}

// A file the report wrote: its size, and whether it is alone in its folder (nothing half
// written or temporary left beside it).
void PrintFile(const char* what, double seconds, const QString& path)
{
    const QStringList entries = QFileInfo(path).dir().entryList(QDir::Files);
    std::printf("%-13s %7.2f s, %6.1f MiB%s\n", what, seconds, QFileInfo(path).size() / 1048576.0,
                entries == QStringList{QFileInfo(path).fileName()} ? ""
                                                                   : ", other files beside it!");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 432000;
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QStringList messages;
    SetOperatorMessageHook([&](const QString& text) { messages.append(text); });

    ProgramState state(SIMGPIB_PATH);
    if (state.Link.GpibLib.BindGpibLibrary() != 0) {
        std::fprintf(stderr, "the simulated GPIB library did not load: %s\n", SIMGPIB_PATH);
        return 1;
    }
    state.Link.Settings.IoType = 2;
    state.Link.Settings.GpibAddress = 5;
    state.Link.SerialLink = false;
    state.Link.Gpib.OpenGpibDevice(5, 2);
    TForm6 window(state.Link, state.Places, state.Test, state.Export);
    window.show();
    PutTestRows(window, kRows);
    QApplication::processEvents();

    window.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    window.Timer1()->stop(); // the benchmark ticks
    const ResultTable& results = window.Results();
    // The first rows and a paint, so that fonts and caches are in place before memory counts.
    while (results.RowCount() <= 1000)
        window.Timer1Timer();
    QApplication::processEvents();
    const int rowsBefore = results.RowCount();
    const double residentBefore = ResidentMiB();

    QElapsedTimer timer;
    timer.start();
    for (int ticks = 1; results.RowCount() - 1 < rows; ++ticks) {
        window.Timer1Timer();
        if (ticks % 4096 == 0)
            ClearGpibCallLog();
    }
    const double addSeconds = Seconds(timer);
    const int added = results.RowCount() - rowsBefore;
    const double residentAfter = ResidentMiB();

    QAbstractItemView* grid = window.ResultGrid();
    timer.restart();
    QApplication::processEvents();
    const double showSeconds = Seconds(timer);
    const QScrollBar* scroll = grid->verticalScrollBar();
    const bool newestInView = scroll->value() == scroll->maximum();

    // At that size, one row more and the window drawing it, as a running table does per row.
    std::vector<double> oneMore;
    for (int i = 0; i < 21; ++i) {
        timer.restart();
        window.Timer1Timer();
        QApplication::processEvents();
        oneMore.push_back(Seconds(timer) * 1000.0);
    }

    int failed = 0;
    for (int r = 1; r < results.RowCount(); ++r)
        failed += results.Cell(ResultTable::kMark, r).isEmpty() ? 0 : 1;
    std::printf("result rows: %d (%d added here, %d failed), the last: %s\n",
                results.RowCount() - 1, added, failed,
                qPrintable(results.Row(results.RowCount() - 1).join(QLatin1Char(';'))));
    std::printf("resident memory: %.1f MiB before, %.1f MiB after adding\n", residentBefore,
                residentAfter);
    std::printf("bytes per row: %.0f\n", (residentAfter - residentBefore) * 1048576.0 / added);
    std::printf("add:  %.2f s, %.2f us per row (tick, reading, result row)\n", addSeconds,
                addSeconds * 1e6 / added);
    std::printf("show: %.1f ms to bring the newest row into view (%s)\n", showSeconds * 1000.0,
                newestInView ? "it is" : "it is NOT");
    std::printf("one more row added and shown at that size: median %.2f ms\n",
                Percentile(oneMore, 0.5));
    std::fflush(stdout);

    QTemporaryDir out; // each file in a folder of its own
    QDir(out.path()).mkpath(QStringLiteral("rpt"));
    QDir(out.path()).mkpath(QStringLiteral("txt"));
    QDir(out.path()).mkpath(QStringLiteral("pdf"));
    const QString rpt = out.filePath(QStringLiteral("rpt/report.rpt"));
    timer.restart();
    window.SaveReportFile(rpt);
    PrintFile("Save Report", Seconds(timer), rpt);
    const QString txt = out.filePath(QStringLiteral("txt/report.txt"));
    timer.restart();
    window.ExportTextFile(txt);
    PrintFile("Export Text", Seconds(timer), txt);
    std::fflush(stdout);
    const QString pdf = out.filePath(QStringLiteral("pdf/report.pdf"));
    QPrinter& printer = window.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    timer.restart();
    window.PrintReport(printer);
    PrintFile("Print Report", Seconds(timer), pdf);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    if (!messages.isEmpty())
        std::printf("messages to the operator, the first: %s\n", qPrintable(messages.first()));
    SetOperatorMessageHook(nullptr);
    return messages.isEmpty() && newestInView ? 0 : 1;
}
