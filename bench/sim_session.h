#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <vector>

// A benchmark's world: a temporary folder as the working directory and the COM port sandbox,
// and tavsim published there as COM2, logging every line it receives.
class SimSession {
public:
    struct Line {
        qint64 micros; // CLOCK_MONOTONIC
        QByteArray text;
    };

    SimSession();
    ~SimSession();

    // Starts tavsim and waits for its link; false (with a message on stderr) when it did not come.
    bool Start();
    // Every line the simulated instrument received so far.
    std::vector<Line> Received() const;
    // The received lines once `complete` holds for them (the last line written may still be on
    // its way to the log), or as they are after a second.
    std::vector<Line>
    ReceivedOnce(const std::function<bool(const std::vector<Line>&)>& complete) const;

private:
    QTemporaryDir m_dir;
    QProcess m_sim;
};

// Runs the event loop until `finished` holds, checking every checkMs.
void RunEventLoopUntil(const std::function<bool()>& finished, int checkMs);
struct rusage;
// User plus system time of a getrusage() reading, in seconds.
double CpuSeconds(const rusage& usage);

// Resident memory of this process now, in MiB.
double ResidentMiB();

// What a soak measures of this process: the time the run took, its CPU share, and its resident
// memory once settled (after 10 s, or half of a shorter run), at the end and at its peak.
struct SoakFigures {
    double elapsed = 0;                                          // s
    double cpuPercent = 0;                                       // of one core
    double residentStart = 0, residentEnd = 0, residentPeak = 0; // MiB
};
// Calls start, runs the event loop for the given seconds, then calls atEnd (while the windows
// are still up) and ends the loop.
SoakFigures RunSoak(int seconds, const std::function<void()>& start,
                    const std::function<void()>& atEnd);

// The CPU share, in % of one core, of this process while an event loop of its own runs for the
// given seconds (the application's own loop would tell the program it ends).
double EventLoopCpuPercent(int seconds);
// The CPU share, in % of one core, of this process's event loop with nothing to do but a timer
// firing every intervalMs, over the given seconds: what a tick's wake-up alone costs on this
// machine (on a virtual machine, often more than the work of the tick).
double BareTimerCpuPercent(int intervalMs, int seconds);

// The value below which the given share (0..1) of the values lie; the values get sorted.
double Percentile(std::vector<double>& values, double share);
