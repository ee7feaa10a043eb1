#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

// The POSIX side of the serial ports. The operator knows ports by number ("COM3"); on Linux COM n
// is the link COMn in tavcontrol/ports/ under the user's configuration directory (where a USB
// adapter is mapped), otherwise /dev/ttyS<n-1>.

// The name every message uses: "\\.\COM" followed by the number.
QString SerialDeviceName(int port);

// Where port numbers are looked up. Tests point both folders at their own sandbox.
struct SerialPortFolders {
    std::string linkDir; // folder holding the COMn links
    std::string devDir;  // folder holding ttyS0, ttyS1, ...
    static SerialPortFolders FromEnvironment();
};
const SerialPortFolders& CurrentSerialPortFolders();
void SetSerialPortFolders(const SerialPortFolders& folders);

// The device path for COM n (empty for n < 1).
std::string SerialDevicePath(int port);

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

// Drops the exclusive mode and closes.
void CloseSerialDevice(int fd);

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
void ListSerialPorts(QStringList& list);

// Why COM n cannot be opened, in words that name the device tried: no such device, permission
// denied (with what to do about it), held by another program, or the system's own reason.
// Empty when it opens (it is closed again at once).
QString SerialOpenProblem(int port);
