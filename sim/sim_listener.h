#pragma once

#include <memory>
#include <string>

namespace tav::sim {

// The socket tavsim serves on with --tcp, like a LAN instrument's raw socket or a serial device
// server's TCP port. With an entry path it publishes itself there as a COMn entry of the
// program's ports folder, the one line "tcp://HOST:PORT" (port 0 picks a free one, and the
// entry names the one picked). The entry is written once the socket listens and removed with it.
class SimListener {
public:
    // address: "PORT" (on 127.0.0.1) or "HOST:PORT". Throws std::runtime_error.
    static std::unique_ptr<SimListener> Create(const std::string& address,
                                               const std::string& entryPath);
    ~SimListener();
    SimListener(const SimListener&) = delete;
    SimListener& operator=(const SimListener&) = delete;

    int Fd() const { return fd_; }
    const std::string& Uri() const { return uri_; }
    // Waits for the next client; -1 when the stop descriptor became readable first.
    int Accept(int stopFd);

private:
    SimListener() = default;

    int fd_ = -1;
    std::string uri_;
    std::string entryPath_;
};

} // namespace tav::sim
