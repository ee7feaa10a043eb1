#pragma once

#include "link/cia_buffer.h"
#include "link/flow_ctrl.h"
#include "link/line_trace.h"
#include "link/serial_device.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

class QTimer;
class TCiaCommThread;

// Errors raised by the port: "Cannot open port '\\.\COMn'", "Port not open",
// "Value can not be negatieve".
class ECiaComPort : public std::runtime_error {
public:
    explicit ECiaComPort(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};

enum TStopBits { sbOne, sbOne_5, sbTwo };
enum TParity { ptNone, ptOdd, ptEven, ptMark, ptSpace };
enum TCiaPortOptions { EventCtsDsr, EventError };

// Set of TCiaPortOptions.
class TPortOptions {
public:
    TPortOptions() = default;
    TPortOptions(std::initializer_list<TCiaPortOptions> options)
    {
        for (TCiaPortOptions o : options)
            m_bits |= Bit(o);
    }
    bool Contains(TCiaPortOptions o) const { return (m_bits & Bit(o)) != 0; }
    bool Empty() const { return m_bits == 0; }
    bool operator==(const TPortOptions&) const = default;

private:
    static uint8_t Bit(TCiaPortOptions o) { return static_cast<uint8_t>(1u << o); }
    uint8_t m_bits = 0;
};

// One serial port: opens the device, applies the line settings, runs one receive thread while
// open, hands received data to the user-interface thread and transmits in chunks.
//
// Delivery modes, chosen by three settings that exclude one another:
//  - line mode (LineMode): one delivery per line, terminator LineEnd included; bytes not yet
//    followed by a terminator stay buffered;
//  - threshold mode (RxThresholdUse): deliveries of RxThresholdAmount bytes;
//  - timeout mode (RxTimeout > 0): what has arrived, once no byte came for RxTimeout ms;
//  - raw mode (none of them): the handler reads straight from the device.
// In raw, line and threshold mode the receive thread waits while the user-interface thread runs
// OnDataAvailable ("sent" hand-over); everything else is queued ("posted") and runs in order.
// In line mode one hand-over serves every complete line buffered, one call per line, so a burst
// of lines costs one wake-up of each thread rather than one per line.
class TCiaComPort : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TCiaComPort*)>;
    using TPortSendProgressEvent = std::function<void(TCiaComPort*, int32_t count)>;
    using TPortLineEvent = std::function<void(TCiaComPort*, bool state)>;
    using TPortErrEvent = std::function<void(TCiaComPort*, uint32_t errors)>;
    using TPortExceptionEvent = std::function<void(TCiaComPort*, const std::exception& e)>;
    // The device went away (adapter pulled, far end closed, I/O error); errno-style code.
    using TPortLostEvent = std::function<void(TCiaComPort*, int error)>;

    static constexpr const char* kVersion = "1.15";

    explicit TCiaComPort(QObject* parent = nullptr);
    ~TCiaComPort() override;

    // Published properties.
    int32_t Baudrate() const { return m_baudrate; }
    void SetBaudrate(int32_t value);
    uint8_t ByteSize() const { return m_byteSize; }
    void SetByteSize(uint8_t value);
    TFlowCtrl& FlowCtrl() { return *m_flowCtrl; }
    const QByteArray& LineEnd() const { return m_lineEnd; }
    void SetLineEnd(const QByteArray& value);
    bool LineMode() const { return m_lineMode; }
    void SetLineMode(bool on);
    TParity Parity() const { return m_parity; }
    void SetParity(TParity value);
    int32_t Port() const { return m_port; }
    void SetPort(int32_t value) { m_port = value; }
    TPortOptions PortOptions() const { return m_portOptions; }
    void SetPortOptions(TPortOptions value) { m_portOptions = value; }
    uint32_t RxBuffer() const { return m_rxBufferSize; }
    void SetRxBuffer(uint32_t value);
    int32_t RxTimeout() const { return m_rxTimeout; }
    void SetRxTimeout(int32_t value);
    int32_t RxThresholdAmount() const { return m_rxThresholdAmount; }
    void SetRxThresholdAmount(int32_t value);
    bool RxThresholdUse() const { return m_rxThresholdUse; }
    void SetRxThresholdUse(bool on);
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits value);
    uint32_t TxBuffer() const { return m_txBufferSize; }
    void SetTxBuffer(uint32_t value) { m_txBufferSize = value; }
    QString Version() const { return QString::fromLatin1(kVersion); }
    void SetVersion(const QString&) {}

    // Events.
    void SetOnBGException(TPortExceptionEvent handler) { m_onBGException = std::move(handler); }
    void SetOnDataAvailable(TNotifyEvent handler);
    void SetOnDataSent(TNotifyEvent handler) { m_onDataSent = std::move(handler); }
    void SetOnCtsChanged(TPortLineEvent handler) { m_onCtsChanged = std::move(handler); }
    void SetOnDsrChanged(TPortLineEvent handler) { m_onDsrChanged = std::move(handler); }
    void SetOnError(TPortErrEvent handler) { m_onError = std::move(handler); }
    void SetOnSendProgress(TPortSendProgressEvent handler)
    {
        m_onSendProgress = std::move(handler);
    }
    void SetOnDeviceLost(TPortLostEvent handler) { m_onDeviceLost = std::move(handler); }
    // Every byte block written and read is reported here too (nullptr: none).
    void SetTrace(LineTrace* trace) { m_trace = trace; }

    // Setting true opens, false closes; the flag changes only once that has succeeded.
    bool Active() const { return m_active; }
    void SetActive(bool on);
    // Opens with a device opened elsewhere (PortOpening, off this thread); an fd below 0 fails
    // as an open of the device would, error saying why.
    void Activate(PortDevice device, int error = 0);
    // Where an open takes its device from instead of opening it here (a device opened ahead,
    // off this thread): nothing when it has none for this port number.
    using DeviceSource = std::function<std::optional<std::pair<PortDevice, int>>(int port)>;
    void SetDeviceSource(DeviceSource source) { m_deviceSource = std::move(source); }
    // Why the last open failed, as an errno (the socket's codes of OpenPortDevice included); 0
    // when it did not fail.
    int OpenError() const { return m_openError; }

    // The device name of the messages, "\\.\COM" + Port.
    QString DeviceName() const { return SerialDeviceName(m_port); }

    int32_t InputCount() const;
    int32_t ReadBuffer(char* dest, int32_t count);
    QByteArray ReadText();
    int32_t WriteBuffer(const char* data, int32_t count);
    int32_t WriteText(const QByteArray& text);
    int32_t WriteText(const QString& text) { return WriteText(text.toLatin1()); }
    void PurgeInput();

    // True while the receive thread has data counted for the handler and the hand-over has not
    // been served.
    bool HandOverWaiting() const;
    // Runs that waiting hand-over now instead of when its notification comes up in the event
    // queue, so a caller that is about to act on what has arrived sees it first.
    void DeliverWaiting();

    // Applies the line settings to the open device (also used by TFlowCtrl's setters).
    void ApplyLineState();

    // The two receive flow limits written at open.
    uint32_t ResumeLimit() const { return m_resumeLimit; }
    uint32_t StopLimit() const { return m_stopLimit; }

protected:
    bool event(QEvent* e) override;

private:
    friend class TCiaCommThread;

    enum class Mode { Raw, Line, Threshold, Timeout };
    Mode CurrentMode() const;
    bool BufferedMode() const { return CurrentMode() != Mode::Raw; }
    void UpdateMode();

    void Open();
    void Close();
    void ServeHandover();
    // Line mode: counts the next complete line already buffered, so the hand-over being served
    // delivers it too (each line still to the handler on its own, in order). Left when what is
    // buffered must go back to the receive thread (the handler left part of its line, or the
    // port left line mode); None when nothing is left to deliver.
    enum class NextLine { Counted, None, Left };
    NextLine CountNextLine();
    void ReleaseHandover();
    void StartChunk(const char* data, size_t n);
    void TransmitContinuation();
    void OnTimerTick();
    void PostDataAvailable();
    void DeviceLost(int error);
    // Runs a handler; errors go to OnBGException (whose own errors are swallowed), else dropped.
    void Guarded(const std::function<void()>& call);

    // Settings.
    int32_t m_baudrate = 9600;
    uint8_t m_byteSize = 8;
    std::unique_ptr<TFlowCtrl> m_flowCtrl;
    QByteArray m_lineEnd = "\r\n";
    bool m_lineMode = false;
    TParity m_parity = ptNone;
    int32_t m_port = 0;
    TPortOptions m_portOptions;
    uint32_t m_rxBufferSize = 8192;
    int32_t m_rxTimeout = 0;
    int32_t m_rxThresholdAmount = 0;
    bool m_rxThresholdUse = false;
    TStopBits m_stopBits = sbOne;
    uint32_t m_txBufferSize = 8192;
    uint32_t m_resumeLimit = 0;
    uint32_t m_stopLimit = 0;

    TPortExceptionEvent m_onBGException;
    TNotifyEvent m_onDataAvailable;
    TNotifyEvent m_onDataSent;
    TPortLineEvent m_onCtsChanged;
    TPortLineEvent m_onDsrChanged;
    TPortErrEvent m_onError;
    TPortSendProgressEvent m_onSendProgress;
    TPortLostEvent m_onDeviceLost;
    LineTrace* m_trace = nullptr;

    // Private state.
    bool m_active = false;
    bool m_destroying = false;
    bool m_closing = false;
    bool m_inHandover = false;
    bool m_transmitting = false;
    size_t m_chunkSize = 0;
    TCiaTxBuffer m_txQueue;
    QTimer* m_rxTimer = nullptr;
    std::unique_ptr<TCiaCommThread> m_thread;
    int m_fd = -1; // the device's descriptor; closed once the receive thread has ended
    PortDevice m_device;
    int m_openError = 0;
    DeviceSource m_deviceSource;
    int m_wakeFd = -1;      // eventfd: wakes the thread to stop or to finish a write
    uint32_t m_session = 0; // counts openings; read by the thread only while it runs

    // Shared with the receive thread.
    std::atomic<int> m_mode{static_cast<int>(Mode::Raw)};
    std::atomic<bool> m_hasDataHandler{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int32_t> m_inputCount{0};
    std::atomic<int32_t> m_thresholdShared{0};
    // The receive buffer: the thread fills it while the user-interface thread may read it (timeout
    // mode, mode switches), so both sides take this lock around it.
    std::mutex m_rxMutex;
    std::unique_ptr<TCiaCommBuffer> m_rxBuffer;
    QByteArray m_lineEndShared;
    // The sent hand-over: the thread sets m_handoverPending and waits until it is cleared; in line
    // mode it waits only once it has more to do, and m_linesLeft (with the wake-up descriptor)
    // tells it a served hand-over left it something to deliver.
    mutable std::mutex m_handoverMutex;
    std::condition_variable m_handoverCv;
    bool m_handoverPending = false;
    bool m_threadEnded = false;
    std::atomic<bool> m_linesLeft{false};
    // Bytes of the chunk in flight that the device did not take at once; the thread finishes them.
    std::mutex m_txMutex;
    QByteArray m_txRemainder;
};
