#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tav::sim {

// How long tavsim waits before it answers a line: the usual short delay, or a longer one for
// the queries named with --slow-query, so that a test can have a reply arrive late; and which
// replies never arrive at all (--lose-replies), as with a cable out for a moment.
class ReplyDelay {
public:
    explicit ReplyDelay(int delayMs = 2) : delayMs_(delayMs) {}

    // Lines compare without regard to case and to a trailing "\r", as the instrument reads them.
    void AddSlowQuery(std::string_view line);
    void SetSlowMs(int ms) { slowMs_ = ms; }

    int For(std::string_view line) const;

    // Replies number `from` to `to` (counted from 1 over every reply, identifications too) are
    // never sent.
    void LoseReplies(int from, int to) { lost_.push_back({from, to}); }
    bool Lost(int reply) const;

private:
    int delayMs_;
    int slowMs_ = 1000;
    std::vector<std::string> slowQueries_;
    struct Span {
        int from, to;
    };
    std::vector<Span> lost_;
};

} // namespace tav::sim
