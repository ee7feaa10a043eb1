// Floods a pseudo-terminal with reply lines and measures how fast the serial component delivers
// them in line mode, and the CPU it spends per line; then the same flood read by pyserial's
// readline() for comparison. Run: build/bench/bench_line_flood [lines]
#include "link/cia_com_port.h"
#include "link/serial_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

const char kLine[] = "230.1V\r\n"; // a typical measured-value reply

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Writes `lines` copies of the reply line to the master; returns the writer's own CPU seconds.
double Flood(int master, long lines)
{
    std::string block;
    for (int i = 0; i < 512; ++i)
        block += kLine;
    const long perBlock = 512;
    const double cpu0 = ThreadCpuSeconds();
    long left = lines;
    while (left > 0) {
        const long n = std::min(left, perBlock);
        size_t len = static_cast<size_t>(n) * (sizeof kLine - 1);
        size_t done = 0;
        while (done < len) {
            const ssize_t w = write(master, block.data() + done, len - done);
            if (w > 0) {
                done += static_cast<size_t>(w);
            } else if (errno == EAGAIN || errno == EINTR) {
                pollfd p{master, POLLOUT, 0};
                poll(&p, 1, 100);
            } else {
                return ThreadCpuSeconds() - cpu0;
            }
        }
        left -= n;
    }
    return ThreadCpuSeconds() - cpu0;
}

struct Pty {
    int master = -1, slave = -1;
    std::string name;
    Pty()
    {
        termios tio{};
        cfmakeraw(&tio);
        char buf[256] = {};
        openpty(&master, &slave, buf, &tio, nullptr);
        name = buf;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        close(master);
        close(slave);
    }
};

void Report(const char* who, long lines, double wall, double cpu)
{
    std::printf("%-28s %10ld lines %9.3f s %12.0f lines/s %8.2f us CPU/line\n", who, lines, wall,
                lines / wall, cpu * 1e6 / lines);
}

void BenchComponent(long lines)
{
    Pty pty;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("ports");
    const std::string link = dir.filePath("ports/COM1").toStdString();
    symlink(pty.name.c_str(), link.c_str());
    SetSerialPortFolders({dir.filePath("ports").toStdString(), dir.filePath("dev").toStdString()});

    TCiaComPort port;
    port.SetPort(1);
    port.SetBaudrate(19200);
    port.SetLineMode(true);
    long got = 0, wrong = 0;
    QElapsedTimer clock;
    port.SetOnDataAvailable([&](TCiaComPort* p) {
        const QByteArray line = p->ReadText();
        if (line != kLine)
            ++wrong; // each delivery must be one whole line
        if (got++ == 0)
            clock.start();
        if (got == lines)
            QCoreApplication::quit();
    });
    port.SetActive(true);

    const double cpu0 = ProcessCpuSeconds();
    std::atomic<double> writerCpu{0};
    std::thread writer([&] { writerCpu = Flood(pty.master, lines); });
    QCoreApplication::exec();
    const double wall = clock.nsecsElapsed() / 1e9;
    writer.join();
    const double cpu = ProcessCpuSeconds() - cpu0 - writerCpu.load();
    port.SetActive(false);
    Report("TCiaComPort line mode", got, wall, cpu);
    if (wrong > 0)
        std::printf("  %ld deliveries were not one whole line\n", wrong);
}

void BenchPyserial(long lines)
{
    Pty pty;
    const std::string cmd = std::string("/usr/bin/python3 ") + PYSERIAL_SCRIPT + " " + pty.name +
                            " " + std::to_string(lines);
    FILE* py = popen(cmd.c_str(), "r");
    if (!py) {
        std::printf("pyserial: cannot start python3\n");
        return;
    }
    char ready[64] = {};
    if (!std::fgets(ready, sizeof ready, py)) {
        std::printf("pyserial: not available (Debian package python3-serial)\n");
        pclose(py);
        return;
    }
    std::thread writer([&] { Flood(pty.master, lines); });
    long got = 0;
    double wall = 0, cpu = 0;
    if (std::fscanf(py, "%ld %lf %lf", &got, &wall, &cpu) == 3)
        Report("pyserial readline()", got, wall, cpu);
    else
        std::printf("pyserial: no result\n");
    writer.join();
    pclose(py);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const long lines = argc > 1 ? std::atol(argv[1]) : 200000;
    std::printf("Flood of %ld lines of \"230.1V\\r\\n\" through a pseudo-terminal\n", lines);
    BenchComponent(lines);
    BenchPyserial(lines);
    return 0;
}
