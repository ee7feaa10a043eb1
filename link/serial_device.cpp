#include "link/serial_device.h"

#include "link/tcp_link.h"

#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

QString SerialDeviceName(int port)
{
    if (const std::string uri = DirectTcpUri(port); !uri.empty())
        return QString::fromStdString(uri);
    return QStringLiteral("\\\\.\\COM") + QString::number(port);
}

QString PortLabel(int port)
{
    if (const std::string uri = DirectTcpUri(port); !uri.empty())
        return QString::fromStdString(uri);
    return QStringLiteral("COM") + QString::number(port);
}

SerialPortFolders SerialPortFolders::FromEnvironment()
{
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    else
        config = "/tmp";
    return {config + "/tavcontrol/ports", "/dev"};
}

namespace {
SerialPortFolders& Folders()
{
    // Set once at start (or by a test's set-up), before any port is opened.
    static SerialPortFolders folders = SerialPortFolders::FromEnvironment();
    return folders;
}
} // namespace

const SerialPortFolders& CurrentSerialPortFolders() { return Folders(); }

void SetSerialPortFolders(const SerialPortFolders& folders) { Folders() = folders; }

std::string SerialDevicePath(int port)
{
    if (port < 1)
        return {};
    if (std::string uri = DirectTcpUri(port); !uri.empty())
        return uri;
    const SerialPortFolders& folders = Folders();
    const std::string link = folders.linkDir + "/COM" + std::to_string(port);
    // A dangling link (adapter unplugged) still names the port: opening it fails, as it should.
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0)
        return link;
    return folders.devDir + "/ttyS" + std::to_string(port - 1);
}

std::vector<std::string> SerialDevicePlaces(int port)
{
    if (port < 1)
        return {};
    const SerialPortFolders& folders = Folders();
    return {folders.linkDir + "/COM" + std::to_string(port),
            folders.devDir + "/ttyS" + std::to_string(port - 1)};
}

namespace {

// The device opened as a terminal, without any lock yet; -1 with errno set.
int OpenTerminal(const std::string& path)
{
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) { // not a terminal, or a legacy UART with no hardware behind it
        const int err = errno;
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int FailWith(int fd)
{
    const int err = errno;
    close(fd);
    errno = err;
    return -1;
}

// Another program's port listing holds a shared lock for a moment while it looks: such a lock
// goes away within microseconds, a program that uses the port keeps its own for good.
bool LockExclusive(int fd)
{
    for (int attempt = 0; flock(fd, LOCK_EX | LOCK_NB) != 0; ++attempt) {
        if (errno != EWOULDBLOCK || attempt == kBusyRetries)
            return false;
        usleep(kBusyRetryUs);
    }
    return true;
}

// Shared, never exclusive: a look must not make another program's open of its own port fail.
bool LockFree(int fd)
{
    const bool free = flock(fd, LOCK_SH | LOCK_NB) == 0;
    close(fd); // drops the lock with the last descriptor
    return free;
}

int OpenTcpEntry(const std::string& path, const TcpTarget& target, int& lockFd)
{
    lockFd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd < 0)
        return -1;
    if (!LockExclusive(lockFd)) {
        lockFd = FailWith(lockFd);
        return -1;
    }
    const int fd = ConnectTcp(target);
    if (fd < 0)
        lockFd = FailWith(lockFd);
    return fd;
}

} // namespace

int OpenSerialDevice(const std::string& path)
{
    const int fd = OpenTerminal(path);
    if (fd < 0)
        return -1;
    if (!LockExclusive(fd))
        return FailWith(fd);
    ioctl(fd, TIOCEXCL);
    return fd;
}

bool NetworkPort(int port)
{
    return !DirectTcpUri(port).empty() || ReadTcpEntry(SerialDevicePath(port)).has_value();
}

PortDevice OpenPortDevice(int port)
{
    PortDevice device;
    const std::string path = SerialDevicePath(port);
    if (const std::optional<TcpTarget> direct = ParseTcpUri(DirectTcpUri(port))) {
        if (!HoldDirectTcpPort(port)) {
            errno = EBUSY;
            return device;
        }
        device.fd = ConnectTcp(*direct);
        if (device.fd < 0) {
            const int err = errno;
            ReleaseDirectTcpPort(port);
            errno = err;
            return device;
        }
        device.socket = true;
        device.directPort = port;
    } else if (const std::optional<TcpTarget> entry = ReadTcpEntry(path)) {
        device.fd = OpenTcpEntry(path, *entry, device.lockFd);
        device.socket = device.fd >= 0;
    } else {
        device.fd = OpenSerialDevice(path);
    }
    return device;
}

void ClosePortDevice(PortDevice& device)
{
    if (!device.socket) {
        CloseSerialDevice(device.fd);
    } else {
        if (device.fd >= 0)
            close(device.fd);
        if (device.lockFd >= 0)
            close(device.lockFd);
        if (device.directPort > 0)
            ReleaseDirectTcpPort(device.directPort);
    }
    device = PortDevice();
}

ssize_t WriteToPort(int fd, bool socket, const char* data, size_t count)
{
    return socket ? send(fd, data, count, MSG_NOSIGNAL | MSG_DONTWAIT) : write(fd, data, count);
}

void DiscardPortInput(int fd, bool socket)
{
    if (!socket) {
        tcflush(fd, TCIFLUSH);
        return;
    }
    char scratch[4096];
    while (recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }
}

int SocketClosed(int fd)
{
    char byte;
    const ssize_t r = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (r > 0 || (r < 0 && (errno == EAGAIN || errno == EINTR)))
        return 0;
    if (r == 0)
        return ECONNRESET; // closed in order: to the operator it is the same lost link
    return errno;
}

bool SerialDeviceFree(const std::string& path)
{
    const int fd = OpenTerminal(path);
    return fd >= 0 && LockFree(fd);
}

void CloseSerialDevice(int fd)
{
    if (fd < 0)
        return;
    ioctl(fd, TIOCNXCL);
    close(fd);
}

namespace {

speed_t SpeedFor(int32_t baud)
{
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return 0;
    }
}

void SetModemLine(int fd, int line, bool on)
{
    // ENOTTY on pseudo-terminals: there are no lines to drive.
    ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

void ApplySerialLineState(int fd, const SerialLineState& s)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (const speed_t speed = SpeedFor(s.baudrate))
        cfsetspeed(&tio, speed);

    tio.c_cflag &= ~CSIZE;
    switch (s.byteSize) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
        break;
    }

    // Parity is generated as asked but never checked on input, like the flag word's parity bit.
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (s.parity) {
    case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        tio.c_cflag |= PARENB;
        break;
    case 3:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    tio.c_iflag &= ~INPCK;

    if (s.stopBits == 0)
        tio.c_cflag &= ~CSTOPB;
    else
        tio.c_cflag |= CSTOPB; // 1.5 stop bits do not exist here; two is the nearest

    const bool ctsFlow = (s.flags & 0x0004) != 0;
    const bool rtsHandshake = (s.flags & 0x3000) == 0x2000;
    if (ctsFlow || rtsHandshake)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.flags & 0x0100)
        tio.c_iflag |= IXON;
    if (s.flags & 0x0200)
        tio.c_iflag |= IXOFF;
    if (s.flags & 0x0080)
        tio.c_iflag |= IXANY;
    tcsetattr(fd, TCSANOW, &tio);

    const uint32_t dtr = s.flags & 0x0030;
    const uint32_t rts = s.flags & 0x3000;
    if (dtr != 0x0020)
        SetModemLine(fd, TIOCM_DTR, dtr == 0x0010);
    if (rts == 0x0000 || rts == 0x1000)
        SetModemLine(fd, TIOCM_RTS, rts == 0x1000);
}

ModemStatus ReadModemStatus(int fd)
{
    ModemStatus status;
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) != 0)
        return status;
    status.supported = true;
    if (lines & TIOCM_CTS)
        status.bits |= kModemCtsOn;
    if (lines & TIOCM_DSR)
        status.bits |= kModemDsrOn;
    return status;
}

void ListSerialPorts(QStringList& list)
{
    for (int n = 1; n <= 256; ++n) {
        const std::string path = SerialDevicePath(n);
        const bool free = ReadTcpEntry(path) ? LockFree(open(path.c_str(), O_RDONLY | O_CLOEXEC))
                                             : SerialDeviceFree(path);
        if (free)
            list.append(QString::number(n));
    }
    for (int i = 0; i < DirectTcpPortCount(); ++i)
        if (!DirectTcpPortHeld(kFirstDirectPort + i))
            list.append(QString::number(kFirstDirectPort + i));
}

std::string PortTarget(int port)
{
    // A host name's letters are the same host in either case.
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    if (const std::string uri = DirectTcpUri(port); !uri.empty())
        return lower(uri);
    const std::string path = SerialDevicePath(port);
    if (const std::optional<TcpTarget> entry = ReadTcpEntry(path))
        return lower(entry->Uri());
    const QString canonical = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical.toStdString();
}

QString SerialOpenProblem(int port)
{
    PortDevice opened = OpenPortDevice(port);
    if (opened.fd >= 0) {
        ClosePortDevice(opened);
        return {};
    }
    return SerialOpenProblem(port, errno);
}

QString SerialOpenProblem(int port, int err)
{
    const std::string path = SerialDevicePath(port);
    QString device = QString::fromStdString(path);
    const bool direct = !DirectTcpUri(port).empty();
    const std::optional<TcpTarget> entry = ReadTcpEntry(path);
    const bool tcp = direct || entry;
    // A COMn link names the device behind it too: an unplugged adapter leaves it dangling.
    if (const QString target = QFileInfo(device).symLinkTarget(); !target.isEmpty())
        device += QStringLiteral(" -> ") + target;
    if (entry)
        device += QStringLiteral(" -> ") + QString::fromStdString(entry->Uri());
    QString cause;
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        cause = tcp ? QString::fromLocal8Bit(std::strerror(err)) : QStringLiteral("no such device");
        break;
    case EACCES:
    case EPERM:
        cause = QStringLiteral("permission denied (add your user to the group dialout: "
                               "sudo adduser $USER dialout, then log in again)");
        break;
    case ENOTTY:
        cause = QStringLiteral("not a serial port");
        break;
    case EWOULDBLOCK:
    case EBUSY:
        cause = QStringLiteral("held by another program");
        break;
    case ECONNREFUSED:
        cause = QStringLiteral("connection refused (nothing listens on that port)");
        break;
    case ETIMEDOUT:
        cause = QStringLiteral("no answer within %1 s").arg(kTcpConnectTimeoutMs / 1000);
        break;
    case kTcpUnknownHost:
        cause = QStringLiteral("unknown host");
        break;
    default:
        cause = QString::fromLocal8Bit(std::strerror(err));
    }
    // A URI named outright is its own name, which the caller puts first.
    if (direct)
        return cause;
    return QStringLiteral("%1 (%2): %3").arg(SerialDeviceName(port), device, cause);
}
