#include "link/tcp_link.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::string TcpTarget::Uri() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return "tcp://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<TcpTarget> ParseTcpUri(const std::string& text)
{
    constexpr std::string_view scheme = "tcp://";
    if (text.size() <= scheme.size() || text.compare(0, scheme.size(), scheme) != 0)
        return std::nullopt;
    const std::string rest = text.substr(scheme.size());
    const size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    TcpTarget target;
    target.host = rest.substr(0, colon);
    if (target.host.front() == '[') {
        if (target.host.size() < 3 || target.host.back() != ']')
            return std::nullopt;
        target.host = target.host.substr(1, target.host.size() - 2);
    } else if (target.host.find_first_of(":[]/@ ") != std::string::npos) {
        return std::nullopt;
    }
    const std::string digits = rest.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != digits.npos)
        return std::nullopt;
    target.port = std::atoi(digits.c_str());
    if (target.port < 1 || target.port > 65535)
        return std::nullopt;
    return target;
}

std::optional<TcpTarget> ReadTcpEntry(const std::string& path)
{
    struct stat st {};
    // A device is never read: opening some ttys has effects of its own.
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 512)
        return std::nullopt;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[513];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0)
        return std::nullopt;
    std::string line(buffer, static_cast<size_t>(n));
    line = line.substr(0, line.find_first_of("\r\n"));
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    return ParseTcpUri(line.substr(first, last - first + 1));
}

namespace {

void SetSocketOptions(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    // 10 s of silence, then five probes 3 s apart: a pulled network cable shows as a lost port
    // within half a minute, not after the system's two hours.
    const int idle = 10, interval = 3, count = 5;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// One address tried within the time left; the descriptor or -1 with errno.
int ConnectOne(const addrinfo& a, int timeoutMs)
{
    const int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0)
        return -1;
    SetSocketOptions(fd);
    int err = 0;
    if (connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int r;
            while ((r = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
            }
            socklen_t len = sizeof err;
            if (r == 0)
                err = ETIMEDOUT;
            else if (r < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
        }
    }
    if (err != 0) {
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

} // namespace

int ConnectTcp(const TcpTarget& target, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(target.port);
    if (getaddrinfo(target.host.c_str(), service.c_str(), &hints, &found) != 0) {
        errno = kTcpUnknownHost;
        return -1;
    }
    // One time limit for the whole attempt: a name with several addresses does not wait the
    // full time on each of them.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int fd = -1;
    int err = ECONNREFUSED;
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            err = ETIMEDOUT;
            break;
        }
        fd = ConnectOne(*a, static_cast<int>(left.count()));
        if (fd < 0)
            err = errno;
    }
    freeaddrinfo(found);
    if (fd < 0)
        errno = err;
    return fd;
}

namespace {

struct DirectPorts {
    std::mutex mutex;
    std::vector<std::string> uris;
    std::vector<bool> held;
};

DirectPorts& Direct()
{
    static DirectPorts ports;
    return ports;
}

} // namespace

int DirectTcpPort(const std::string& uri)
{
    DirectPorts& d = Direct();
    std::lock_guard lock(d.mutex);
    for (size_t i = 0; i < d.uris.size(); ++i)
        if (d.uris[i] == uri)
            return kFirstDirectPort + static_cast<int>(i);
    d.uris.push_back(uri);
    d.held.push_back(false);
    return kFirstDirectPort + static_cast<int>(d.uris.size()) - 1;
}

std::string DirectTcpUri(int port)
{
    DirectPorts& d = Direct();
    std::lock_guard lock(d.mutex);
    const int i = port - kFirstDirectPort;
    return i >= 0 && i < static_cast<int>(d.uris.size()) ? d.uris[static_cast<size_t>(i)]
                                                         : std::string();
}

int DirectTcpPortCount()
{
    DirectPorts& d = Direct();
    std::lock_guard lock(d.mutex);
    return static_cast<int>(d.uris.size());
}

bool HoldDirectTcpPort(int port)
{
    DirectPorts& d = Direct();
    std::lock_guard lock(d.mutex);
    const int i = port - kFirstDirectPort;
    if (i < 0 || i >= static_cast<int>(d.held.size()) || d.held[static_cast<size_t>(i)])
        return false;
    d.held[static_cast<size_t>(i)] = true;
    return true;
}

void ReleaseDirectTcpPort(int port)
{
    DirectPorts& d = Direct();
    std::lock_guard lock(d.mutex);
    const int i = port - kFirstDirectPort;
    if (i >= 0 && i < static_cast<int>(d.held.size()))
        d.held[static_cast<size_t>(i)] = false;
}

bool DirectTcpPortHeld(int port)
{
    DirectPorts& d = Direct();
    std::lock_guard lock(d.mutex);
    const int i = port - kFirstDirectPort;
    return i >= 0 && i < static_cast<int>(d.held.size()) && d.held[static_cast<size_t>(i)];
}
