// Runs the control panel (offscreen) against tavsim for a while, connected, and reports the poll
// period seen by the instrument (median and 99th percentile of the gaps between the lines it
// received), the program's CPU use and its peak memory.
// Run: bench/poll_period.sh [seconds]   (or build/bench/bench_poll_period SECONDS)
#include "link/serial_device.h"
#include "panel/main_window.h"
#include "panel/placeholder_window.h"
#include "panel/program_state.h"
#include "service/service_tool.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double CpuSeconds(const rusage& u)
{
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath("ports");
    QDir::setCurrent(dir.path());
    SetSerialPortFolders({dir.filePath("ports").toStdString(), dir.filePath("dev").toStdString()});
    const QString link = dir.filePath("ports/COM2");
    const QString log = dir.filePath("tavsim.log");

    QProcess sim;
    sim.start(QStringLiteral(TAVSIM_PATH), {"--link", link, "--log", log});
    for (int i = 0; i < 500 && !QFileInfo(link).isSymLink(); ++i)
        QThread::msleep(10);
    if (!QFileInfo(link).isSymLink()) {
        std::fprintf(stderr, "tavsim did not start\n");
        return 1;
    }

    ProgramState state;
    PanelWindows windows;
    TForm5 tool(state);
    TForm1 form(state, tool, windows);
    form.show();
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer wall;
    wall.start();
    form.findChild<QPushButton*>("BitBtn7")->click();
    // When the cycle disconnects by itself (a status answer later than one tick), say when.
    double disconnectedAt = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (disconnectedAt < 0 && !form.Timer1()->isActive())
            disconnectedAt = wall.elapsed() / 1000.0;
    });
    watch.start(50);
    bool stillConnected = false;
    QTimer::singleShot(seconds * 1000, &app, [&] {
        // Quitting closes the window, which stops the cycle: look before that.
        stillConnected = form.Timer1()->isActive();
        QCoreApplication::quit();
    });
    QApplication::exec();
    const double elapsed = wall.elapsed() / 1000.0;
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    sim.terminate();
    sim.waitForFinished(3000);

    std::vector<qint64> stamps;
    std::vector<qint64> statusStamps; // one per pass
    QFile f(log);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.contains('\t')) {
                stamps.push_back(line.left(line.indexOf('\t')).toLongLong());
                if (line.endsWith("*tav?"))
                    statusStamps.push_back(stamps.back());
            }
    if (stamps.size() < 3) {
        std::fprintf(stderr, "too few lines received (%zu)\n", stamps.size());
        return 1;
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < stamps.size(); ++i)
        gaps.push_back((stamps[i] - stamps[i - 1]) / 1000.0);
    std::sort(gaps.begin(), gaps.end());
    const double median = gaps[gaps.size() / 2];
    const double p99 = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
    std::printf("run %.1f s, %zu lines received, ", elapsed, stamps.size());
    if (stillConnected)
        std::printf("connected throughout\n");
    else
        std::printf("disconnected by the status watch after %.1f s\n", disconnectedAt);
    std::printf("poll period: median %.2f ms, 99th percentile %.2f ms, max %.2f ms\n", median, p99,
                gaps.back());
    // Slots 28 and 29 send nothing without a mailbox command: a pass of 11 ticks sends 9 lines.
    if (statusStamps.size() > 2) {
        std::vector<double> passes;
        for (size_t i = 1; i < statusStamps.size(); ++i)
            passes.push_back((statusStamps[i] - statusStamps[i - 1]) / 1000.0);
        std::sort(passes.begin(), passes.end());
        std::printf("pass period (status query to status query): median %.2f ms, 99th percentile "
                    "%.2f ms\n",
                    passes[passes.size() / 2],
                    passes[std::min(passes.size() - 1, passes.size() * 99 / 100)]);
    }
    std::printf("program CPU: %.2f %% of one core\n",
                100.0 * (CpuSeconds(after) - CpuSeconds(before)) / elapsed);
    std::printf("peak memory (RSS): %.1f MiB\n", after.ru_maxrss / 1024.0);
    return 0;
}
