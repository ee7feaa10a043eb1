#include "sim/sim_port.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tav::sim {
namespace {

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd, const std::string& name)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        Fail("cannot read the settings of " + name);
    cfmakeraw(&tio);
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        Fail("cannot put " + name + " into raw mode");
}

void MakeNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        Fail("cannot make the port non-blocking");
}

std::string LinkTarget(const std::string& linkPath)
{
    char target[4096];
    const ssize_t n = readlink(linkPath.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

} // namespace

std::unique_ptr<SimPort> SimPort::CreateLinked(const std::string& linkPath)
{
    std::unique_ptr<SimPort> port(new SimPort);
    port->fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (port->fd_ < 0)
        Fail("cannot create a pseudo-terminal");
    if (grantpt(port->fd_) != 0 || unlockpt(port->fd_) != 0)
        Fail("cannot unlock the pseudo-terminal");
    const char* slaveName = ptsname(port->fd_);
    if (slaveName == nullptr)
        Fail("cannot name the pseudo-terminal");
    port->ttyPath_ = slaveName;

    // No flock and no TIOCEXCL here: the program under test locks the port for itself.
    port->heldSlave_ = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (port->heldSlave_ < 0)
        Fail("cannot open " + port->ttyPath_);
    // Settings live with the terminal, so raw mode set here holds for whoever opens it later.
    MakeRaw(port->heldSlave_, port->ttyPath_);
    MakeNonBlocking(port->fd_);

    struct stat existing {};
    if (lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        errno = EEXIST;
        Fail("refusing to replace " + linkPath);
    }
    // Renaming a finished link into place: whoever waits for the name never sees it half made.
    const std::string temporary = linkPath + ".tmp" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(slaveName, temporary.c_str()) != 0)
        Fail("cannot create the link " + temporary);
    if (rename(temporary.c_str(), linkPath.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        Fail("cannot publish the link " + linkPath);
    }
    port->linkPath_ = linkPath;
    return port;
}

std::unique_ptr<SimPort> SimPort::OpenDevice(const std::string& devicePath)
{
    std::unique_ptr<SimPort> port(new SimPort);
    port->fd_ = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->fd_ < 0)
        Fail("cannot open " + devicePath);
    port->ttyPath_ = devicePath;
    MakeRaw(port->fd_, devicePath);
    return port;
}

SimPort::~SimPort()
{
    // Only our own link goes: a later tavsim may have taken the name over meanwhile.
    if (!linkPath_.empty() && LinkTarget(linkPath_) == ttyPath_)
        unlink(linkPath_.c_str());
    if (heldSlave_ >= 0)
        close(heldSlave_);
    if (fd_ >= 0)
        close(fd_);
}

} // namespace tav::sim
