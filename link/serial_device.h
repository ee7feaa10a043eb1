#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

// The POSIX side of the serial ports. The operator knows ports by number ("COM3"); on Linux COM n
// is the link COMn in tavcontrol/ports/ under the user's configuration directory (where a USB
// adapter is mapped), otherwise /dev/ttyS<n-1>.

// The name every message uses: "\\.\COM" followed by the number (the URI itself for a tcp://
// URI named outright, which has no COM number the operator knows).
QString SerialDeviceName(int port);
// The port as the operator names it: "COM7", or such a URI.
QString PortLabel(int port);

// Where port numbers are looked up. Tests point both folders at their own sandbox.
struct SerialPortFolders {
    std::string linkDir; // folder holding the COMn links
    std::string devDir;  // folder holding ttyS0, ttyS1, ...
    static SerialPortFolders FromEnvironment();
};
const SerialPortFolders& CurrentSerialPortFolders();
void SetSerialPortFolders(const SerialPortFolders& folders);

// The device path for COM n (empty for n < 1); the URI for a tcp:// URI named outright.
std::string SerialDevicePath(int port);
// Every path COM n may be found at, whether or not it is there now: the COMn link, then the
// tty it falls back to.
std::vector<std::string> SerialDevicePlaces(int port);

// Opens the device for reading and writing, non-blocking, exclusively: TIOCEXCL keeps other
// programs out, flock also keeps out root and this program's own second open. A lock that is
// gone within kBusyRetries x kBusyRetryUs (another program looking at its ports) is waited for.
// Returns the descriptor, or -1 with errno set.
inline constexpr int kBusyRetries = 20;
inline constexpr int kBusyRetryUs = 2000;
int OpenSerialDevice(const std::string& path);
// Whether the device is a terminal that no program holds, found without taking it: nothing
// another program does with it at the same moment is refused.
bool SerialDeviceFree(const std::string& path);

// Whether COM n is reached over the network (a tcp:// entry, or a URI named outright).
bool NetworkPort(int port);

// Drops the exclusive mode and closes.
void CloseSerialDevice(int fd);

// An open port: a terminal, or a TCP connection when the COMn entry is a tcp:// file (or the
// port number stands for a URI named outright). The entry file stays locked while the
// connection is ours, as a tty is, so a second user in this program or another one is refused.
struct PortDevice {
    int fd = -1;
    bool socket = false;
    int lockFd = -1;    // the entry file
    int directPort = 0; // the URI named outright that this connection holds
};
// Opens COM n, whatever it is; fd -1 with errno set when it cannot be opened (for a socket
// also ECONNREFUSED, ETIMEDOUT after kTcpConnectTimeoutMs, kTcpUnknownHost).
PortDevice OpenPortDevice(int port);
void ClosePortDevice(PortDevice& device);
// Writes what the device takes now. A socket whose far end has gone gives an error, never the
// signal that would end the program.
ssize_t WriteToPort(int fd, bool socket, const char* data, size_t count);
// Throws away what has arrived and not been read.
void DiscardPortInput(int fd, bool socket);
// After a wake-up for input with nothing to read: the error to report when the far end of a
// socket has closed or reset the connection, 0 when it is still there.
int SocketClosed(int fd);

// The line state written at open and by every setting change of an open port.
struct SerialLineState {
    int32_t baudrate = 9600;
    uint32_t flags = 0x1011; // handshake flag word (see TFlowCtrl)
    uint16_t xonLim = 0;
    uint16_t xoffLim = 0;
    uint8_t byteSize = 8;
    uint8_t parity = 0;   // none, odd, even, mark, space
    uint8_t stopBits = 0; // 1, 1.5, 2
};

// Reads the terminal attributes, replaces what the line state covers, and writes them back.
// Refusals of the driver are not reported: the port runs with what it accepted.
void ApplySerialLineState(int fd, const SerialLineState& state);

// Modem lines. Pseudo-terminals have none (ENOTTY): they read as all off, which is not an error.
inline constexpr uint32_t kModemCtsOn = 0x10;
inline constexpr uint32_t kModemDsrOn = 0x20;
struct ModemStatus {
    bool supported = false;
    uint32_t bits = 0; // kModemCtsOn, kModemDsrOn
};
ModemStatus ReadModemStatus(int fd);

// Line error flags as the component reports them.
inline constexpr uint32_t kLineErrRxOver = 0x0001;
inline constexpr uint32_t kLineErrOverrun = 0x0002;
inline constexpr uint32_t kLineErrParity = 0x0004;
inline constexpr uint32_t kLineErrFrame = 0x0008;
inline constexpr uint32_t kLineErrBreak = 0x0010;

// Tries COM1 ... COM256 and lists, as decimal texts, those that open; ports in use are left out.
// A tcp:// entry is listed without connecting (a device server may take one client only): when
// no port object of a running program holds it. URIs named outright follow, unless held.
void ListSerialPorts(QStringList& list);

// What COM n leads to, for telling whether two port numbers are one device: a network port's
// "tcp://HOST:PORT" (an entry's or one named outright), else the device path with every link
// followed (as far as it exists).
std::string PortTarget(int port);
// Why COM n cannot be opened, in words that name the device tried: no such device, permission
// denied (with what to do about it), held by another program, or the system's own reason.
// Empty when it opens (it is closed again at once). For a URI named outright only the cause.
QString SerialOpenProblem(int port);
// The same for an open that already failed with err (an errno, or a socket code of
// OpenPortDevice): nothing is opened again, which for a network port would connect again.
QString SerialOpenProblem(int port, int err);
