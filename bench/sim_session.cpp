#include "bench/sim_session.h"

#include "link/serial_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

SimSession::SimSession()
{
    QDir(m_dir.path()).mkpath("ports");
    QDir::setCurrent(m_dir.path());
    SetSerialPortFolders(
        {m_dir.filePath("ports").toStdString(), m_dir.filePath("dev").toStdString()});
}

SimSession::~SimSession()
{
    m_sim.terminate();
    m_sim.waitForFinished(3000);
}

bool SimSession::Start()
{
    const QString link = m_dir.filePath("ports/COM2");
    m_sim.start(QStringLiteral(TAVSIM_PATH),
                {"--exit-with-parent", "--link", link, "--log", m_dir.filePath("sim.log")});
    for (int i = 0; i < 500 && !QFileInfo(link).isSymLink(); ++i)
        QThread::msleep(10);
    if (QFileInfo(link).isSymLink())
        return true;
    std::fprintf(stderr, "tavsim did not start\n");
    return false;
}

std::vector<SimSession::Line> SimSession::Received() const
{
    std::vector<Line> lines;
    QFile f(m_dir.filePath("sim.log"));
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& record : f.readAll().split('\n')) {
        const qsizetype tab = record.indexOf('\t');
        if (tab >= 0)
            lines.push_back({record.left(tab).toLongLong(), record.mid(tab + 1)});
    }
    return lines;
}

std::vector<SimSession::Line>
SimSession::ReceivedOnce(const std::function<bool(const std::vector<Line>&)>& complete) const
{
    std::vector<Line> lines;
    for (int i = 0; i < 100; ++i) {
        lines = Received();
        if (complete(lines))
            break;
        QThread::msleep(10);
    }
    return lines;
}

void RunEventLoopUntil(const std::function<bool()>& finished, int checkMs)
{
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (finished())
            QCoreApplication::quit();
    });
    check.start(checkMs);
    QCoreApplication::exec();
}

double CpuSeconds(const rusage& u)
{
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

double ResidentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

SoakFigures RunSoak(int seconds, const std::function<void()>& start,
                    const std::function<void()>& atEnd)
{
    SoakFigures figures;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer wall;
    wall.start();
    start();
    QTimer::singleShot(std::min(10, seconds / 2) * 1000, QCoreApplication::instance(),
                       [&] { figures.residentStart = ResidentMiB(); });
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&] {
        atEnd();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    figures.elapsed = wall.elapsed() / 1000.0;
    figures.residentEnd = ResidentMiB();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    figures.cpuPercent = 100.0 * (CpuSeconds(after) - CpuSeconds(before)) / figures.elapsed;
    figures.residentPeak = after.ru_maxrss / 1024.0;
    return figures;
}

double BareTimerCpuPercent(int intervalMs, int seconds)
{
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(intervalMs);
    return EventLoopCpuPercent(seconds);
}

double EventLoopCpuPercent(int seconds)
{
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    return 100.0 * (CpuSeconds(after) - CpuSeconds(before)) / (wall.elapsed() / 1000.0);
}

double Percentile(std::vector<double>& values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(static_cast<double>(values.size()) * share);
    return values[std::min(values.size() - 1, at)];
}
