// The network link and a port that comes back, in one run:
//  - a query's round trip through the port object, over TCP on the loopback and over a
//    pseudo-terminal, side by side (goal: TCP at most 1.5 times the pseudo-terminal);
//  - the time from a device's return (tavsim started again on the instrument's link while the
//    main window polls) to the first poll reply the window takes (goal: at most 1.5 s).
// Both simulators answer without their usual 2 ms pause, so the figures are the link's own.
// Run: build/bench/bench_link_round_trip (offscreen)
#include "bench/control_panel.h"
#include "link/serial_device.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <sys/stat.h>

namespace {

QTemporaryDir* gDir = nullptr;
class Sim;
Sim* gInstrument = nullptr; // the simulator on COM2, stopped and started again
std::map<std::string, double> gMeanMicros;

QString Place(const QString& name) { return gDir->filePath(name); }

// tavsim as a child process, published at a path (a link, or with --tcp the entry file).
class Sim {
public:
    ~Sim() { Stop(); }
    void Launch(const QString& published, const QStringList& extra)
    {
        QFile::remove(published);
        m_process.start(QStringLiteral(TAVSIM_PATH),
                        QStringList{"--exit-with-parent", "--delay-ms", "0", "--link", published} +
                            extra);
    }
    bool WaitFor(const QString& published)
    {
        for (int i = 0; i < 500; ++i) {
            const QFileInfo f(published);
            if (f.isSymLink() || f.isFile())
                return true;
            QThread::msleep(10);
        }
        return false;
    }
    void Stop()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }

private:
    QProcess m_process;
};

double RealtimeSeconds(const timespec& t)
{
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

void RoundTrip(benchmark::State& state, int portNumber, const char* name)
{
    TCiaComPort port;
    port.SetPort(portNumber);
    port.SetBaudrate(19200);
    port.SetLineMode(true);
    bool answered = false;
    QEventLoop loop;
    port.SetOnDataAvailable([&](TCiaComPort* p) {
        p->ReadText();
        answered = true;
        loop.quit();
    });
    port.SetOnDeviceLost([&](TCiaComPort*, int) { loop.quit(); });
    port.SetActive(true);
    QElapsedTimer clock;
    clock.start();
    for (auto _ : state) {
        answered = false;
        port.WriteText(QByteArray("*tav?\n"));
        while (!answered && port.Active())
            loop.exec();
        if (!port.Active()) {
            state.SkipWithError("the link was lost");
            break;
        }
    }
    gMeanMicros[name] = clock.nsecsElapsed() / 1000.0 / state.iterations();
    port.SetActive(false);
}

void BM_QueryRoundTripPty(benchmark::State& state) { RoundTrip(state, 2, "pty"); }
void BM_QueryRoundTripTcp(benchmark::State& state) { RoundTrip(state, 7, "tcp"); }

// Counts the lines the main window takes, through the hand-over a test window gets.
struct FirstReply : ReplyListener {
    double at = 0;
    void EvaluateReply(int) override
    {
        if (at == 0) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            at = RealtimeSeconds(now);
        }
    }
};

bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(2);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void BM_ReturnToFirstPollReply(benchmark::State& state)
{
    const QString link = Place("ports/COM2");
    // The loss message would wait for a click that never comes.
    int losses = 0;
    SetOperatorMessageHook([&](const QString&) { ++losses; });
    ControlPanel panel;
    FirstReply first;
    panel.state.Link.TestWindow = &first;
    panel.form.findChild<QPushButton*>("BitBtn7")->click();
    for (auto _ : state) {
        if (!RunUntil([&] { return first.at != 0; }, 10000)) {
            state.SkipWithError("no poll reply");
            break;
        }
        gInstrument->Stop();
        RunUntil([&] { return !panel.form.Timer1()->isActive(); }, 10000);
        first.at = 0;
        gInstrument->Launch(link, {});
        // The device's return is the moment its link appears; the window is left to notice it.
        RunUntil([&] { return first.at != 0; }, 15000);
        struct stat st {};
        if (first.at == 0 || lstat(link.toLocal8Bit().constData(), &st) != 0) {
            state.SkipWithError("polling did not come back");
            break;
        }
        state.SetIterationTime(first.at - RealtimeSeconds(st.st_ctim));
    }
    panel.state.Link.TestWindow = nullptr;
    SetOperatorMessageHook(nullptr);
    state.counters["loss messages"] = losses;
}

} // namespace

BENCHMARK(BM_QueryRoundTripPty)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryRoundTripTcp)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReturnToFirstPollReply)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    gDir = &dir;
    QDir(dir.path()).mkpath("ports");
    QDir::setCurrent(dir.path());
    SetSerialPortFolders({Place("ports").toStdString(), Place("dev").toStdString()});

    Sim pty, tcp;
    gInstrument = &pty;
    pty.Launch(Place("ports/COM2"), {});
    tcp.Launch(Place("ports/COM7"), {"--tcp", "127.0.0.1:0"});
    if (!pty.WaitFor(Place("ports/COM2")) || !tcp.WaitFor(Place("ports/COM7"))) {
        std::fprintf(stderr, "tavsim did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ptyMicros = gMeanMicros["pty"];
    const double tcpMicros = gMeanMicros["tcp"];
    if (ptyMicros > 0 && tcpMicros > 0)
        std::printf("query round trip, TCP / pseudo-terminal: %.2f (goal <= 1.5)\n",
                    tcpMicros / ptyMicros);
    return 0;
}
