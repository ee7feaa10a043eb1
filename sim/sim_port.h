#pragma once

#include <memory>
#include <string>

namespace tav::sim {

// The tty end tavsim talks on: either a pseudo-terminal it creates and publishes under a link
// name, or an existing tty device. The descriptor is non-blocking and in raw mode.
class SimPort {
public:
    // Creates a pseudo-terminal and publishes its slave as a symlink at linkPath (a stale link
    // left by a killed run is replaced; anything else at that path is refused). The link
    // appears only once the terminal is ready, so its existence means "ready to talk".
    // Throws std::runtime_error.
    static std::unique_ptr<SimPort> CreateLinked(const std::string& linkPath);
    // Throws std::runtime_error.
    static std::unique_ptr<SimPort> OpenDevice(const std::string& devicePath);

    ~SimPort();
    SimPort(const SimPort&) = delete;
    SimPort& operator=(const SimPort&) = delete;

    int Fd() const { return fd_; }
    // The tty the program under test opens.
    const std::string& TtyPath() const { return ttyPath_; }

private:
    SimPort() = default;

    int fd_ = -1;
    // Our own descriptor on the slave, open for the port's whole life: without it the master
    // reports a hang-up whenever the program under test has the port closed.
    int heldSlave_ = -1;
    std::string ttyPath_;
    std::string linkPath_;
};

} // namespace tav::sim
