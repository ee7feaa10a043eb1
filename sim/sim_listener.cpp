#include "sim/sim_listener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tav::sim {
namespace {

std::runtime_error SystemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

std::unique_ptr<SimListener> SimListener::Create(const std::string& address,
                                                 const std::string& entryPath)
{
    const auto colon = address.rfind(':');
    std::string host = colon == std::string::npos ? "127.0.0.1" : address.substr(0, colon);
    const std::string port = colon == std::string::npos ? address : address.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
        throw std::runtime_error("--tcp " + address + ": " + gai_strerror(rc));
    std::unique_ptr<SimListener> listener(new SimListener);
    listener->fd_ = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (listener->fd_ >= 0)
        setsockopt(listener->fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const bool listening = listener->fd_ >= 0 &&
                           bind(listener->fd_, found->ai_addr, found->ai_addrlen) == 0 &&
                           listen(listener->fd_, 4) == 0;
    freeaddrinfo(found);
    if (!listening)
        throw SystemError("cannot listen on " + address);

    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(listener->fd_, reinterpret_cast<sockaddr*>(&bound), &length);
    char text[INET6_ADDRSTRLEN] = "127.0.0.1";
    int boundPort = 0;
    if (bound.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&bound);
        boundPort = ntohs(a->sin6_port);
        if (!IN6_IS_ADDR_UNSPECIFIED(&a->sin6_addr))
            inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        else
            std::strcpy(text, "::1");
    } else {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&bound);
        boundPort = ntohs(a->sin_port);
        if (a->sin_addr.s_addr != htonl(INADDR_ANY))
            inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
    }
    const bool v6 = std::strchr(text, ':') != nullptr;
    listener->uri_ = std::string("tcp://") + (v6 ? "[" : "") + text + (v6 ? "]" : "") + ":" +
                     std::to_string(boundPort);

    if (!entryPath.empty()) {
        // Written aside and renamed: a reader never sees half an entry.
        const std::string temporary = entryPath + ".new";
        FILE* file = std::fopen(temporary.c_str(), "w");
        if (!file || std::fprintf(file, "%s\n", listener->uri_.c_str()) < 0 ||
            std::fclose(file) != 0 || std::rename(temporary.c_str(), entryPath.c_str()) != 0)
            throw SystemError("cannot write the entry " + entryPath);
        listener->entryPath_ = entryPath;
    }
    return listener;
}

SimListener::~SimListener()
{
    if (!entryPath_.empty())
        unlink(entryPath_.c_str());
    if (fd_ >= 0)
        close(fd_);
}

int SimListener::Accept(int stopFd)
{
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (fds[1].revents != 0)
            return -1;
        const int client = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return client;
    }
}

} // namespace tav::sim
