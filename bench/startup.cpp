// Start-up: from process start to (a) the program's first windows painted (the splash and the
// main window, by a copy of the program that marks its first paints), and the program done with
// what follows that paint (the port discovery), and (b) tavtest's first line received by tavsim;
// median, spread and extremes over several runs. Both run against tavsim on COM2 in a scratch
// folder, with scratch configuration and data folders.
// Run: build/bench/bench_startup [runs, default 15] [marked program] [tavtest]
//      (offscreen; under Xvfb: xvfb-run -a env QT_QPA_PLATFORM=xcb build/bench/bench_startup)
#include "bench/sim_session.h"
#include "record/monotonic_clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <map>
#include <vector>

namespace {

// Median, the middle half's spread and the extremes of start-up times in ms.
void Report(const char* what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%-34s no figure\n", what);
        return;
    }
    const double low = Percentile(ms, 0.0), high = ms.back();
    std::printf("%-34s median %7.1f ms, middle half %7.1f .. %7.1f ms, range %7.1f .. %7.1f ms "
                "(%zu runs)\n",
                what, Percentile(ms, 0.5), Percentile(ms, 0.25), Percentile(ms, 0.75), low, high,
                ms.size());
}

QProcessEnvironment Scratch(const QDir& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

// One start of the program: when each of its windows was painted, in ms after the start.
std::map<QString, double> StartProgram(const QProcessEnvironment& env, const QString& path)
{
    QProcess program;
    program.setProcessEnvironment(env);
    const int64_t start = MonotonicMicros();
    program.start(path, {});
    std::map<QString, double> painted;
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        return painted;
    }
    for (const QByteArray& line : program.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "paint")
            painted[QString::fromLatin1(f[1])] = (f[2].toLongLong() - start) / 1000.0;
    }
    return painted;
}

// One run of tavtest: ms from its start to the first line tavsim received, or -1.
double StartRunner(const QProcessEnvironment& env, const SimSession& session, const QString& path,
                   const QString& table)
{
    QProcess runner;
    runner.setProcessEnvironment(env);
    const int64_t start = MonotonicMicros();
    runner.start(path, {table, "--port", "COM2", "--quiet"});
    if (!runner.waitForFinished(30000)) {
        runner.kill();
        runner.waitForFinished();
        return -1;
    }
    const auto lines = session.ReceivedOnce([start](const std::vector<SimSession::Line>& got) {
        return !got.empty() && got.back().micros > start;
    });
    for (const SimSession::Line& line : lines)
        if (line.micros > start)
            return (line.micros - start) / 1000.0;
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    // Another build of the marked program (an earlier one, to compare) and of tavtest.
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2]) : STARTUP_PROGRAM;
    const QString tavtest = argc > 3 ? QString::fromLocal8Bit(argv[3]) : TAVTEST_PATH;
    SimSession session;
    if (!session.Start())
        return 1;
    const QDir dir = QDir::current();
    dir.mkpath("config/tavcontrol");
    dir.mkpath("data");
    QFile::link(dir.filePath("ports"), dir.filePath("config/tavcontrol/ports"));
    const QString table = dir.filePath("first-line.tst");
    QFile file(table);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("Test-File:\r\nReporter:;start-up\r\nUnit:;TAV\r\nSerial #:;1\r\n\r\n"
               " 1;00.00.00.100;*IDN?;0;0;0;;;first line;1\r\n"
               " 2;00.00.00.000;END;0;0;0;;;;1\r\n");
    file.close();
    const QProcessEnvironment env = Scratch(dir);

    std::vector<double> splash, window, ready, firstLine;
    for (int i = 0; i < runs; ++i) {
        const std::map<QString, double> painted = StartProgram(env, program);
        if (auto it = painted.find("TForm90"); it != painted.end())
            splash.push_back(it->second);
        if (auto it = painted.find("TForm1"); it != painted.end())
            window.push_back(it->second);
        if (auto it = painted.find("ready"); it != painted.end())
            ready.push_back(it->second);
        if (const double ms = StartRunner(env, session, tavtest, table); ms >= 0)
            firstLine.push_back(ms);
    }
    std::printf("Start-up, %s platform, from process start:\n",
                qPrintable(env.value("QT_QPA_PLATFORM")));
    Report("tavcontrol: splash painted", splash);
    Report("tavcontrol: main window painted", window);
    Report("tavcontrol: started (port open)", ready);
    Report("tavtest: first line at tavsim", firstLine);
    return 0;
}
