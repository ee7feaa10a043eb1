#pragma once

#include "sim/line_splitter.h"
#include "sim/reply_delay.h"
#include "sim/sim_device.h"

#include <string>
#include <sys/types.h>

namespace tav::sim {

// Serves one simulated device on a tty descriptor until a byte arrives on the stop descriptor.
class SimServer {
public:
    // portFd: non-blocking tty or connected socket. stopFd: readable once the server should end
    // (a signal pipe). logFd: receives every line as "<CLOCK_MONOTONIC us>\t<line>\n", or -1
    // for no log. listenFd: for a socket, the listening one; clients that come while this one
    // is served are turned away, and Run returns when this one goes.
    SimServer(SimDevice& device, int portFd, int stopFd, const ReplyDelay& delay, int logFd,
              int listenFd = -1);

    // False when it ended because it was asked to stop.
    bool Run();

    // Also ends, within a second, once the process is no longer the child of parent: the parent's
    // death signal alone may be lost to a signal handler that runs late.
    void EndWhenOrphaned(pid_t parent) { parent_ = parent; }

private:
    // A client waits to connect: true when the one served has gone (it is the next), else it is
    // turned away.
    bool TurnAway();
    void HandleLine(const std::string& line);
    void LogLine(const std::string& line);
    void Send(const std::string& reply);
    // Waits up to timeoutMs; true when asked to stop meanwhile.
    bool StopWithin(int timeoutMs);

    SimDevice& device_;
    int portFd_;
    int stopFd_;
    ReplyDelay delay_;
    int replies_ = 0; // replies given so far, the lost ones too
    int logFd_;
    int listenFd_;
    bool stopping_ = false;
    pid_t parent_ = 0;
    LineSplitter splitter_;
};

} // namespace tav::sim
