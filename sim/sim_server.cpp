#include "sim/sim_server.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tav::sim {
namespace {

// Line text fit for a one-line diagnostic.
std::string Printable(const std::string& line)
{
    std::string text;
    for (const unsigned char c : line) {
        if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

void Warn(const std::string& message) { std::fprintf(stderr, "tavsim: %s\n", message.c_str()); }

} // namespace

SimServer::SimServer(SimDevice& device, int portFd, int stopFd, const ReplyDelay& delay, int logFd,
                     int listenFd)
    : device_(device), portFd_(portFd), stopFd_(stopFd), delay_(delay), logFd_(logFd),
      listenFd_(listenFd)
{}

bool SimServer::StopWithin(int timeoutMs)
{
    pollfd stop{stopFd_, POLLIN, 0};
    if (poll(&stop, 1, timeoutMs) > 0)
        stopping_ = true;
    return stopping_;
}

bool SimServer::Run()
{
    char buffer[4096];
    while (!stopping_) {
        pollfd fds[3] = {{portFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        const int ready = poll(fds, listenFd_ >= 0 ? 3 : 2, parent_ > 0 ? 1000 : -1);
        if (ready < 0) {
            if (errno != EINTR)
                StopWithin(100);
            continue;
        }
        if (ready == 0) {
            if (getppid() != parent_)
                break;
            continue;
        }
        if (fds[1].revents != 0)
            break;
        if ((fds[2].revents & POLLIN) && TurnAway())
            return true; // the client had gone already: the new one is the next
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = read(portFd_, buffer, sizeof buffer);
        if (n > 0) {
            for (const std::string& line : splitter_.Feed({buffer, static_cast<std::size_t>(n)})) {
                HandleLine(line);
                if (stopping_)
                    break;
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (listenFd_ >= 0)
            return true; // the client went: the next one may come
        // A hang-up (or a vanished device) would make poll fire at once forever; back off and
        // keep serving, the other side may come back.
        StopWithin(100);
    }
    return false;
}

bool SimServer::TurnAway()
{
    // A client that closes and connects again at once may be quicker than its close is read.
    char byte;
    const ssize_t peek = recv(portFd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peek == 0 || (peek < 0 && errno != EAGAIN && errno != EINTR))
        return true;
    // One client at a time, as a device server's port: a second one is closed at once.
    if (const int other = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC); other >= 0) {
        Warn("a second client was turned away");
        close(other);
    }
    return false;
}

void SimServer::HandleLine(const std::string& line)
{
    LogLine(line);
    const LineResult result = device_.Process(line);
    switch (result.kind) {
    case LineKind::Answered:
        if (const int delayMs = delay_.For(line); delayMs > 0 && StopWithin(delayMs))
            return;
        if (delay_.Lost(++replies_))
            break;
        Send(result.reply);
        break;
    case LineKind::Applied:
        break;
    case LineKind::Ignored:
        Warn("ignored \"" + Printable(line) + "\"");
        break;
    case LineKind::Unknown:
        if (!line.empty())
            Warn("unknown line \"" + Printable(line) + "\"");
        break;
    }
}

void SimServer::LogLine(const std::string& line)
{
    if (logFd_ < 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%" PRId64 "\t",
                  static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
    // One write per line, so a reader tailing the file never sees half a record.
    const std::string record = stamp + line + "\n";
    if (write(logFd_, record.data(), record.size()) != static_cast<ssize_t>(record.size()))
        Warn(std::string("cannot write the log: ") + std::strerror(errno));
}

void SimServer::Send(const std::string& reply)
{
    const std::string text = reply + "\r\n";
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = write(portFd_, text.data() + sent, text.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // Nobody reads the terminal (the port is closed); give up after a second rather
            // than stall the input side.
            pollfd out{portFd_, POLLOUT, 0};
            if (poll(&out, 1, 1000) > 0 && (out.revents & POLLOUT) != 0)
                continue;
        }
        Warn("reply \"" + Printable(reply) + "\" dropped: nobody reads the line");
        return;
    }
}

} // namespace tav::sim
