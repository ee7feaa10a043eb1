#pragma once

#include "sim/line_splitter.h"
#include "sim/reply_delay.h"
#include "sim/sim_device.h"

#include <string>

namespace tav::sim {

// Serves one simulated device on a tty descriptor until a byte arrives on the stop descriptor.
class SimServer {
public:
    // portFd: non-blocking tty. stopFd: readable once the server should end (a signal pipe).
    // logFd: receives every line as "<CLOCK_MONOTONIC us>\t<line>\n", or -1 for no log.
    SimServer(SimDevice& device, int portFd, int stopFd, const ReplyDelay& delay, int logFd);

    void Run();

private:
    void HandleLine(const std::string& line);
    void LogLine(const std::string& line);
    void Send(const std::string& reply);
    // Waits up to timeoutMs; true when asked to stop meanwhile.
    bool StopWithin(int timeoutMs);

    SimDevice& device_;
    int portFd_;
    int stopFd_;
    ReplyDelay delay_;
    int logFd_;
    bool stopping_ = false;
    LineSplitter splitter_;
};

} // namespace tav::sim
