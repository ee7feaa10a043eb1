#pragma once

#include "sim/tav_instrument.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tav::sim {

// tavsim's command line.
struct SimOptions {
    std::string linkPath;   // --link: publish a new pseudo-terminal here
    std::string devicePath; // --device: serve an existing tty
    std::string tcpAddress; // --tcp: serve on a socket, "[HOST:]PORT"; --link then names the entry
    TavConfig tav;
    int delayMs = 2;
    std::vector<std::string> slowQueries; // --slow-query, answered after slowMs
    int slowMs = 1000;
    std::vector<std::pair<int, int>> lostReplies; // --lose-replies, numbered from 1
    std::string logPath;
    bool meter = false;
    std::optional<double> meterReading; // --reading: what the meter answers, AC and DC
    bool exitWithParent = false;        // --exit-with-parent: end when the starting process ends
    bool help = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error; // empty when the command line was good
};

ParsedOptions ParseSimOptions(const std::vector<std::string>& args);

const char* SimUsage();

} // namespace tav::sim
