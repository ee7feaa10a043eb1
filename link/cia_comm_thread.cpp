#include "link/cia_comm_thread.h"

#include "link/cia_com_port.h"
#include "link/cia_events.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using cia_events::Kind;
using cia_events::PortEvent;

namespace {

// How often the modem lines and error counters are looked at when events for them are asked for;
// the device offers no wait that combines with poll().
constexpr int kLineWatchMs = 50;

// A descriptor that keeps reporting input with nothing to read has hung up in all but name.
constexpr int kMaxEmptyWakeups = 100;

} // namespace

TCiaCommThread::TCiaCommThread(TCiaComPort& port, int fd)
    : m_port(port), m_fd(fd), m_socket(port.m_device.socket), m_session(port.m_session)
{}

int TCiaCommThread::LostSocketError() const
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error == 0)
        error = ECONNRESET;
    return error;
}

void TCiaCommThread::Post(Kind kind, uint32_t value)
{
    auto* event = new PortEvent(kind, m_session, value);
    cia_events::HandedOver(event);
    QCoreApplication::postEvent(&m_port, event);
}

TCiaCommThread::~TCiaCommThread() { Join(); }

void TCiaCommThread::Start()
{
    m_thread = std::thread([this] { Execute(); });
}

void TCiaCommThread::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TCiaCommThread::Execute()
{
    // The initial state of CTS and DSR is reported at start, whatever the port options say.
    const ModemStatus initial = ReadModemStatus(m_fd);
    m_modemSupported = initial.supported;
    m_modemStatus = initial.bits;
    if (initial.bits & kModemCtsOn)
        Post(Kind::Cts, initial.bits);
    if (initial.bits & kModemDsrOn)
        Post(Kind::Dsr, initial.bits);
    // Options take effect at open; the thread keeps its own copy.
    m_options = m_port.PortOptions();
    const bool watch =
        m_modemSupported && (m_options.Contains(EventCtsDsr) || m_options.Contains(EventError));
    if (watch)
        WatchLines(false);

    while (!m_port.m_stop.load()) {
        bool txPending;
        {
            std::lock_guard lock(m_port.m_txMutex);
            txPending = !m_port.m_txRemainder.isEmpty();
        }
        pollfd fds[2] = {{m_port.m_wakeFd, POLLIN, 0},
                         {m_fd, static_cast<short>(POLLIN | (txPending ? POLLOUT : 0)), 0}};
        const int r = poll(fds, 2, watch ? kLineWatchMs : -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            Lost(errno);
            break;
        }
        if (fds[0].revents & POLLIN) {
            eventfd_t ignored;
            eventfd_read(m_port.m_wakeFd, &ignored);
        }
        if (m_port.m_stop.load())
            break;
        if (m_port.m_linesLeft.exchange(false))
            DeliverLeftLines();
        const short rev = fds[1].revents;
        if (rev & POLLNVAL) {
            Lost(EBADF);
            break;
        }
        if ((rev & POLLIN) && !ReceivePass())
            break;
        if ((rev & POLLOUT) && !FinishWrite())
            break;
        // Data that came with the hang-up has been delivered above.
        if (rev & (POLLHUP | POLLERR)) {
            Lost(m_socket ? LostSocketError() : EIO);
            break;
        }
        if (watch)
            WatchLines(true);
    }

    // The descriptor stays open until the port closes on the user-interface thread: closed
    // here, a write racing with it could reach whatever file next got the same number.
    {
        std::lock_guard lock(m_port.m_handoverMutex);
        m_port.m_threadEnded = true;
    }
    m_port.m_handoverCv.notify_all();
}

bool TCiaCommThread::ReceivePass()
{
    Settle();
    if (m_port.m_stop.load())
        return true;
    int available = 0;
    if (ioctl(m_fd, FIONREAD, &available) != 0) {
        Lost(errno);
        return false;
    }
    if (available <= 0) {
        // A socket's far end that closes wakes the thread with nothing to read.
        if (m_socket) {
            if (const int error = SocketClosed(m_fd)) {
                Lost(error);
                return false;
            }
        }
        if (++m_emptyWakeups >= kMaxEmptyWakeups) {
            Lost(EIO);
            return false;
        }
        return true;
    }
    m_emptyWakeups = 0;

    if (!m_port.m_hasDataHandler.load()) {
        DiscardPortInput(m_fd, m_socket); // nobody listens: the data is thrown away
        return true;
    }
    if (static_cast<TCiaComPort::Mode>(m_port.m_mode.load()) != TCiaComPort::Mode::Raw) {
        BufferedFetch(available);
        return true;
    }
    // Raw mode: the handler reads straight from the device and must take everything.
    m_port.m_inputCount.store(available);
    DeliverUntilTaken();
    return true;
}

void TCiaCommThread::BufferedFetch(int32_t count)
{
    const auto mode = static_cast<TCiaComPort::Mode>(m_port.m_mode.load());
    {
        std::lock_guard lock(m_port.m_rxMutex);
        TCiaCommBuffer& buffer = *m_port.m_rxBuffer;
        buffer.MakeRoom(static_cast<size_t>(count));
        const ssize_t got =
            read(m_fd, buffer.Data() + buffer.WritePos(), static_cast<size_t>(count));
        if (got > 0)
            buffer.Advance(static_cast<size_t>(got));
        if (mode == TCiaComPort::Mode::Timeout) {
            m_port.m_inputCount.store(static_cast<int32_t>(buffer.Count()));
            Post(Kind::RestartTimer);
            return;
        }
    }
    if (!m_port.m_hasDataHandler.load())
        return;
    if (mode == TCiaComPort::Mode::Line)
        DeliverLines();
    else if (mode == TCiaComPort::Mode::Threshold)
        DeliverThresholds();
}

void TCiaCommThread::DeliverLines()
{
    {
        std::lock_guard lock(m_port.m_rxMutex);
        TCiaCommBuffer& buffer = *m_port.m_rxBuffer;
        const QByteArray& end = m_port.m_lineEndShared;
        if (!buffer.ScanLine(end.constData(), static_cast<size_t>(end.size())))
            return;
        const size_t scan = buffer.ScanPos();
        m_port.m_inputCount.store(static_cast<int32_t>(scan - buffer.ReadPos()));
        if (scan == buffer.ReadPos())
            return;
    }
    // The handler takes this line and every further one that is complete by then; the thread
    // goes back to the device at once and settles the hand-over when it next has work.
    m_unsettled = PostHandover();
}

void TCiaCommThread::Settle()
{
    if (!m_unsettled)
        return;
    m_unsettled = false;
    WaitForRelease();
    DeliverUntilTaken(); // the handler may have left part of the line
}

void TCiaCommThread::DeliverLeftLines()
{
    Settle();
    if (m_port.m_stop.load() || !m_port.m_hasDataHandler.load() ||
        static_cast<TCiaComPort::Mode>(m_port.m_mode.load()) != TCiaComPort::Mode::Line)
        return;
    DeliverLines();
}

void TCiaCommThread::DeliverThresholds()
{
    const int32_t amount = m_port.m_thresholdShared.load();
    auto buffered = [this] {
        std::lock_guard lock(m_port.m_rxMutex);
        return static_cast<int32_t>(m_port.m_rxBuffer->Count());
    };
    if (amount <= 0) {
        // A threshold of 0 would notify without end: hand over what there is, once.
        const int32_t count = buffered();
        if (count > 0) {
            m_port.m_inputCount.store(count);
            SendDataAvailable();
        }
        return;
    }
    while (buffered() >= amount && m_port.m_hasDataHandler.load()) {
        m_port.m_inputCount.store(amount);
        if (!SendDataAvailable())
            return;
    }
}

bool TCiaCommThread::PostHandover()
{
    if (m_port.m_stop.load() || !m_port.m_hasDataHandler.load())
        return false;
    {
        std::lock_guard lock(m_port.m_handoverMutex);
        m_port.m_handoverPending = true;
    }
    m_port.m_handoverCv.notify_all(); // a closing port serves it from its wait
    Post(Kind::Handover);
    return true;
}

void TCiaCommThread::WaitForRelease()
{
    std::unique_lock lock(m_port.m_handoverMutex);
    m_port.m_handoverCv.wait(lock, [this] { return !m_port.m_handoverPending; });
}

bool TCiaCommThread::SendDataAvailable()
{
    if (!PostHandover())
        return false;
    WaitForRelease();
    return !m_port.m_stop.load() && m_port.m_hasDataHandler.load();
}

void TCiaCommThread::DeliverUntilTaken()
{
    while (m_port.m_inputCount.load() != 0 && m_port.m_hasDataHandler.load()) {
        if (!SendDataAvailable())
            return;
    }
}

bool TCiaCommThread::FinishWrite()
{
    std::unique_lock lock(m_port.m_txMutex);
    QByteArray& rest = m_port.m_txRemainder;
    if (rest.isEmpty())
        return true;
    const ssize_t written =
        WriteToPort(m_fd, m_socket, rest.constData(), static_cast<size_t>(rest.size()));
    if (written < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return true;
        const int err = errno;
        lock.unlock();
        Lost(err);
        return false;
    }
    rest.remove(0, written);
    if (rest.isEmpty())
        Post(Kind::TxEmpty);
    return true;
}

void TCiaCommThread::WatchLines(bool report)
{
    const TPortOptions& options = m_options;
    const ModemStatus now = ReadModemStatus(m_fd);
    if (report && options.Contains(EventCtsDsr)) {
        if ((now.bits ^ m_modemStatus) & kModemCtsOn)
            Post(Kind::Cts, now.bits);
        if ((now.bits ^ m_modemStatus) & kModemDsrOn)
            Post(Kind::Dsr, now.bits);
    }
    m_modemStatus = now.bits;

    serial_icounter_struct counts{};
    if (ioctl(m_fd, TIOCGICOUNT, &counts) != 0)
        return;
    uint32_t errors = 0;
    if (m_counts.valid) {
        if (counts.frame != m_counts.frame)
            errors |= kLineErrFrame;
        if (counts.overrun != m_counts.overrun)
            errors |= kLineErrOverrun;
        if (counts.parity != m_counts.parity)
            errors |= kLineErrParity;
        if (counts.brk != m_counts.brk)
            errors |= kLineErrBreak;
        if (counts.buf_overrun != m_counts.bufOverrun)
            errors |= kLineErrRxOver;
    }
    m_counts = {counts.frame, counts.overrun, counts.parity, counts.brk, counts.buf_overrun, true};
    if (report && errors && options.Contains(EventError))
        Post(Kind::LineError, errors);
}

void TCiaCommThread::Lost(int error) { Post(Kind::DeviceLost, static_cast<uint32_t>(error)); }
