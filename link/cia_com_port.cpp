#include "link/cia_com_port.h"

#include "link/cia_comm_thread.h"
#include "link/cia_events.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

using cia_events::Kind;
using cia_events::PortEvent;

QEvent::Type cia_events::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TCiaComPort::TCiaComPort(QObject* parent) : QObject(parent), m_flowCtrl(new TFlowCtrl(this))
{
    SetRxBuffer(8192);
}

TCiaComPort::~TCiaComPort()
{
    m_destroying = true;
    if (m_active)
        Close();
}

// ---- settings ----

void TCiaComPort::SetBaudrate(int32_t value)
{
    m_baudrate = value;
    ApplyLineState();
}

void TCiaComPort::SetByteSize(uint8_t value)
{
    m_byteSize = value;
    ApplyLineState();
}

void TCiaComPort::SetParity(TParity value)
{
    m_parity = value;
    ApplyLineState();
}

void TCiaComPort::SetStopBits(TStopBits value)
{
    m_stopBits = value;
    ApplyLineState();
}

void TCiaComPort::SetRxBuffer(uint32_t value)
{
    // The flow limits keep the fractions they have at construction.
    m_rxBufferSize = value;
    m_resumeLimit = value / 4 * 3;
    m_stopLimit = value / 2;
}

void TCiaComPort::SetLineEnd(const QByteArray& value)
{
    m_lineEnd = value;
    std::lock_guard lock(m_rxMutex);
    m_lineEndShared = value;
}

void TCiaComPort::ApplyLineState()
{
    // A socket has no line to set: its settings are kept and do not apply.
    if (!m_active || m_fd < 0 || m_device.socket)
        return;
    SerialLineState state;
    state.baudrate = m_baudrate;
    state.flags = m_flowCtrl->Flags();
    state.xonLim = static_cast<uint16_t>(std::min<uint32_t>(m_resumeLimit, 0xFFFF));
    state.xoffLim = static_cast<uint16_t>(std::min<uint32_t>(m_stopLimit, 0xFFFF));
    state.byteSize = m_byteSize;
    state.parity = static_cast<uint8_t>(m_parity);
    state.stopBits = static_cast<uint8_t>(m_stopBits);
    ApplySerialLineState(m_fd, state);
}

TCiaComPort::Mode TCiaComPort::CurrentMode() const
{
    if (m_lineMode)
        return Mode::Line;
    if (m_rxThresholdUse)
        return Mode::Threshold;
    if (m_rxTimeout > 0)
        return Mode::Timeout;
    return Mode::Raw;
}

void TCiaComPort::UpdateMode() { m_mode.store(static_cast<int>(CurrentMode())); }

void TCiaComPort::SetLineMode(bool on)
{
    if (on) {
        m_lineMode = true;
        m_rxThresholdUse = false;
        m_rxTimeout = 0; // the timer is left as it is
    } else {
        if (m_lineMode && m_active && InputCount() > 0)
            PostDataAvailable();
        m_lineMode = false;
    }
    UpdateMode();
}

void TCiaComPort::SetRxThresholdUse(bool on)
{
    if (on) {
        m_rxThresholdUse = true;
        m_lineMode = false;
        m_rxTimeout = 0;
    } else {
        if (m_rxThresholdUse && m_active && InputCount() > 0)
            PostDataAvailable();
        m_rxThresholdUse = false;
    }
    UpdateMode();
}

void TCiaComPort::SetRxThresholdAmount(int32_t value)
{
    m_rxThresholdAmount = value;
    m_thresholdShared.store(value);
}

void TCiaComPort::SetRxTimeout(int32_t value)
{
    if (value < 0)
        throw ECiaComPort(QStringLiteral("Value can not be negatieve"));
    m_rxTimeout = value;
    if (value > 0) {
        m_lineMode = false;
        m_rxThresholdUse = false;
        if (!m_rxTimer) {
            m_rxTimer = new QTimer(this);
            connect(m_rxTimer, &QTimer::timeout, this, &TCiaComPort::OnTimerTick);
        }
        m_rxTimer->setInterval(value);
        if (m_active && InputCount() > 0)
            m_rxTimer->start();
        else
            m_rxTimer->stop();
    } else {
        delete m_rxTimer;
        m_rxTimer = nullptr;
    }
    UpdateMode();
}

void TCiaComPort::SetOnDataAvailable(TNotifyEvent handler)
{
    m_onDataAvailable = std::move(handler);
    m_hasDataHandler.store(static_cast<bool>(m_onDataAvailable));
}

// ---- open and close ----

void TCiaComPort::SetActive(bool on)
{
    if (on == m_active)
        return;
    if (on)
        Open();
    else if (!m_closing)
        Close();
}

void TCiaComPort::Open()
{
    if (m_deviceSource)
        if (const auto ahead = m_deviceSource(m_port)) {
            Activate(ahead->first, ahead->second);
            return;
        }
    PortDevice device = OpenPortDevice(m_port);
    Activate(device, device.fd < 0 ? errno : 0);
}

void TCiaComPort::Activate(PortDevice device, int error)
{
    if (m_active) {
        ClosePortDevice(device);
        return;
    }
    const int fd = device.fd;
    m_openError = fd < 0 ? error : 0;
    if (fd < 0)
        throw ECiaComPort(QStringLiteral("Cannot open port '") + DeviceName() +
                          QStringLiteral("'"));
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        ClosePortDevice(device);
        throw ECiaComPort(QStringLiteral("Cannot open port '") + DeviceName() +
                          QStringLiteral("'"));
    }
    m_device = device;
    m_fd = fd;
    m_wakeFd = wake;
    ++m_session;
    m_active = true;  // lets ApplyLineState reach the device
    ApplyLineState(); // what the device already holds stays there for the first read

    m_stop.store(false);
    m_inputCount.store(0);
    m_handoverPending = false;
    m_threadEnded = false;
    m_linesLeft.store(false);
    {
        std::lock_guard lock(m_rxMutex);
        m_rxBuffer = std::make_unique<TCiaCommBuffer>();
        m_lineEndShared = m_lineEnd;
    }
    m_thresholdShared.store(m_rxThresholdAmount);
    UpdateMode();
    m_thread = std::make_unique<TCiaCommThread>(*this, fd);
    m_thread->Start();
}

void TCiaComPort::Close()
{
    m_closing = true;
    // Counted data is handed over once more before the port goes (not while being destroyed).
    if (!m_destroying && BufferedMode() && InputCount() > 0 && m_onDataAvailable)
        Guarded([this] { m_onDataAvailable(this); });

    m_stop.store(true);
    eventfd_write(m_wakeFd, 1);
    // A handler that closes its own port is still inside the hand-over: let the thread go first.
    if (m_inHandover)
        ReleaseHandover();
    {
        std::unique_lock lock(m_handoverMutex);
        while (!m_threadEnded) {
            if (m_handoverPending) {
                // The thread is blocked in a hand-over: serve it, or it never sees the stop.
                lock.unlock();
                ServeHandover();
                lock.lock();
                continue;
            }
            m_handoverCv.wait(lock);
        }
    }
    m_thread->Join();
    m_thread.reset();
    {
        // A line hand-over the thread did not wait for may still be pending.
        std::lock_guard lock(m_handoverMutex);
        m_handoverPending = false;
    }
    close(m_wakeFd);
    m_wakeFd = -1;
    ClosePortDevice(m_device);
    m_fd = -1;
    {
        std::lock_guard lock(m_rxMutex);
        m_rxBuffer.reset();
    }
    m_inputCount.store(0);
    if (m_rxTimer)
        m_rxTimer->stop();
    // What was queued for this device does not go to the next one.
    m_transmitting = false;
    m_chunkSize = 0;
    m_txQueue.Clear();
    {
        std::lock_guard lock(m_txMutex);
        m_txRemainder.clear();
    }
    m_active = false;
    m_closing = false;
}

void TCiaComPort::ServeHandover()
{
    {
        std::lock_guard lock(m_handoverMutex);
        if (!m_handoverPending)
            return;
    }
    // Nothing left to hand over when the close's final hand-over has already taken it.
    NextLine next = NextLine::None;
    if (m_onDataAvailable && !m_inHandover && m_inputCount.load() > 0) {
        m_inHandover = true;
        do {
            Guarded([this] { m_onDataAvailable(this); });
        } while ((next = CountNextLine()) == NextLine::Counted);
        m_inHandover = false;
    }
    ReleaseHandover();
    if (next == NextLine::Left) {
        m_linesLeft.store(true);
        eventfd_write(m_wakeFd, 1);
    }
}

TCiaComPort::NextLine TCiaComPort::CountNextLine()
{
    // A closing port's thread ends without delivering anything more.
    if (!m_active || m_closing || m_stop.load() || !m_onDataAvailable)
        return NextLine::None;
    // Only once the handler took the whole line, and only while the port is still in line mode;
    // otherwise the thread goes on as before.
    if (CurrentMode() != Mode::Line || m_inputCount.load() != 0)
        return NextLine::Left;
    std::lock_guard lock(m_rxMutex);
    if (!m_rxBuffer)
        return NextLine::None;
    TCiaCommBuffer& buffer = *m_rxBuffer;
    if (!buffer.ScanLine(m_lineEndShared.constData(), static_cast<size_t>(m_lineEndShared.size())))
        return NextLine::None;
    const size_t length = buffer.ScanPos() - buffer.ReadPos();
    m_inputCount.store(static_cast<int32_t>(length));
    return length > 0 ? NextLine::Counted : NextLine::None;
}

bool TCiaComPort::HandOverWaiting() const
{
    std::lock_guard lock(m_handoverMutex);
    return m_handoverPending;
}

void TCiaComPort::DeliverWaiting()
{
    // Not from inside a handler of this port: its hand-over is still being served.
    if (m_active && !m_closing && !m_inHandover)
        ServeHandover();
}

void TCiaComPort::ReleaseHandover()
{
    {
        std::lock_guard lock(m_handoverMutex);
        m_handoverPending = false;
    }
    m_handoverCv.notify_all();
}

// ---- reading ----

int32_t TCiaComPort::InputCount() const { return m_active ? m_inputCount.load() : 0; }

int32_t TCiaComPort::ReadBuffer(char* dest, int32_t count)
{
    if (count <= 0 || !dest || !m_active)
        return 0;
    count = std::min(count, m_inputCount.load());
    if (count <= 0)
        return 0;
    int32_t got = 0;
    if (BufferedMode()) {
        std::lock_guard lock(m_rxMutex);
        if (m_rxBuffer)
            got = static_cast<int32_t>(m_rxBuffer->Read(dest, static_cast<size_t>(count)));
    } else {
        const ssize_t r = read(m_fd, dest, static_cast<size_t>(count));
        // The device reported these bytes; if they are gone, nothing more is owed.
        if (r <= 0) {
            m_inputCount.store(0);
            return 0;
        }
        got = static_cast<int32_t>(r);
    }
    m_inputCount.fetch_sub(got);
    if (m_trace && got > 0 && m_trace->Tracing())
        m_trace->TraceLine(LineTrace::Direction::Received, QStringLiteral("COM%1").arg(m_port),
                           QByteArray(dest, got));
    return got;
}

QByteArray TCiaComPort::ReadText()
{
    QByteArray text(InputCount(), Qt::Uninitialized);
    text.truncate(ReadBuffer(text.data(), static_cast<int32_t>(text.size())));
    return text;
}

void TCiaComPort::PurgeInput()
{
    if (m_active && m_fd >= 0)
        DiscardPortInput(m_fd, m_device.socket);
}

// ---- transmitting ----

int32_t TCiaComPort::WriteBuffer(const char* data, int32_t count)
{
    if (!m_active)
        throw ECiaComPort(QStringLiteral("Port not open"));
    if (count <= 0 || !data)
        return 0;
    const size_t n = static_cast<size_t>(count);
    if (m_trace && m_trace->Tracing())
        m_trace->TraceLine(LineTrace::Direction::Sent, QStringLiteral("COM%1").arg(m_port),
                           QByteArray(data, count));
    if (!m_transmitting && m_txQueue.Count() == 0) {
        const size_t chunk = std::min<size_t>(n, std::max<uint32_t>(m_txBufferSize, 1));
        m_txQueue.Append(data + chunk, n - chunk); // queued first: the chunk looks at the queue
        StartChunk(data, chunk);
    } else {
        m_txQueue.Append(data, n);
    }
    return count;
}

int32_t TCiaComPort::WriteText(const QByteArray& text)
{
    return WriteBuffer(text.constData(), static_cast<int32_t>(text.size()));
}

void TCiaComPort::StartChunk(const char* data, size_t n)
{
    m_transmitting = true;
    m_chunkSize = n;
    // Most chunks go into the driver at once; what it does not take, the thread finishes.
    ssize_t written = WriteToPort(m_fd, m_device.socket, data, n);
    if (written < 0)
        written = 0; // a failing device is noticed and reported by the thread
    if (static_cast<size_t>(written) == n) {
        // With nothing queued behind it and nobody to tell, the chunk is done now: the
        // continuation through the event queue would only wake the loop once more.
        if (m_txQueue.Count() == 0 && !m_onSendProgress && !m_onDataSent) {
            m_transmitting = false;
            return;
        }
        QCoreApplication::postEvent(this, new PortEvent(Kind::TxEmpty, m_session));
        return;
    }
    {
        std::lock_guard lock(m_txMutex);
        m_txRemainder = QByteArray(data + written, static_cast<qsizetype>(n - written));
    }
    eventfd_write(m_wakeFd, 1);
}

void TCiaComPort::TransmitContinuation()
{
    if (!m_active || !m_transmitting)
        return;
    if (m_onSendProgress) {
        const auto size = static_cast<int32_t>(m_chunkSize);
        Guarded([this, size] { m_onSendProgress(this, size); });
        if (!m_active)
            return;
    }
    const size_t n = std::min<size_t>(m_txQueue.Count(), std::max<uint32_t>(m_txBufferSize, 1));
    if (n > 0) {
        QByteArray chunk(static_cast<qsizetype>(n), Qt::Uninitialized);
        m_txQueue.Read(chunk.data(), n);
        StartChunk(chunk.constData(), n);
        return;
    }
    m_transmitting = false;
    if (m_onDataSent)
        Guarded([this] { m_onDataSent(this); });
}

// ---- notifications ----

void TCiaComPort::PostDataAvailable()
{
    QCoreApplication::postEvent(this, new PortEvent(Kind::DataAvailable, m_session));
}

void TCiaComPort::OnTimerTick()
{
    m_rxTimer->stop();
    if (m_active && InputCount() > 0)
        PostDataAvailable();
}

void TCiaComPort::DeviceLost(int error)
{
    if (!m_active || m_closing)
        return;
    Close();
    if (m_onDeviceLost)
        Guarded([this, error] { m_onDeviceLost(this, error); });
}

void TCiaComPort::Guarded(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        if (m_onBGException) {
            try {
                m_onBGException(this, e);
            } catch (...) {
            }
        }
    } catch (...) {
    }
}

bool TCiaComPort::event(QEvent* e)
{
    cia_events::TakenOver(e);
    if (e->type() != cia_events::EventType())
        return QObject::event(e);
    const auto* pe = static_cast<PortEvent*>(e);
    // Notifications of an earlier opening are stale; the hand-over has its own guard.
    if (pe->session != m_session && pe->kind != Kind::Handover)
        return true;
    switch (pe->kind) {
    case Kind::Handover:
        ServeHandover();
        break;
    case Kind::DataAvailable:
        if (m_active && m_onDataAvailable)
            Guarded([this] { m_onDataAvailable(this); });
        break;
    case Kind::TxEmpty:
        TransmitContinuation();
        break;
    case Kind::Cts:
        if (m_onCtsChanged)
            Guarded([this, pe] { m_onCtsChanged(this, (pe->value & kModemCtsOn) != 0); });
        break;
    case Kind::Dsr:
        if (m_onDsrChanged)
            Guarded([this, pe] { m_onDsrChanged(this, (pe->value & kModemDsrOn) != 0); });
        break;
    case Kind::LineError:
        if (m_onError)
            Guarded([this, pe] { m_onError(this, pe->value); });
        break;
    case Kind::RestartTimer:
        if (m_rxTimer) {
            m_rxTimer->stop();
            m_rxTimer->start();
        }
        break;
    case Kind::DeviceLost:
        DeviceLost(static_cast<int>(pe->value));
        break;
    }
    return true;
}
