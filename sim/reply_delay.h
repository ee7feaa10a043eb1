#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tav::sim {

// How long tavsim waits before it answers a line: the usual short delay, or a longer one for
// the queries named with --slow-query, so that a test can have a reply arrive late.
class ReplyDelay {
public:
    explicit ReplyDelay(int delayMs = 2) : delayMs_(delayMs) {}

    // Lines compare without regard to case and to a trailing "\r", as the instrument reads them.
    void AddSlowQuery(std::string_view line);
    void SetSlowMs(int ms) { slowMs_ = ms; }

    int For(std::string_view line) const;

private:
    int delayMs_;
    int slowMs_ = 1000;
    std::vector<std::string> slowQueries_;
};

} // namespace tav::sim
