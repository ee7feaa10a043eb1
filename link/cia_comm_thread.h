#pragma once

#include "link/cia_com_port.h"
#include "link/cia_events.h"

#include <cstdint>
#include <thread>

// The receive thread of one open port: waits on the device and on the port's wake-up descriptor,
// fetches what arrived, finishes writes the device did not take at once, and watches the modem
// lines where there are any. It uses the port's descriptor, which the port closes once the
// thread has ended.
class TCiaCommThread {
public:
    TCiaCommThread(TCiaComPort& port, int fd);
    ~TCiaCommThread();

    void Start();
    void Join();

private:
    void Execute();
    // One event pass over received data; false when the device has gone.
    bool ReceivePass();
    void BufferedFetch(int32_t count);
    void DeliverLines();
    void DeliverThresholds();
    // The sent hand-over; false when the port is closing or the handler went away.
    bool SendDataAvailable();
    bool FinishWrite();
    void WatchLines(bool report);
    void Lost(int error);
    void Post(cia_events::Kind kind, uint32_t value = 0);

    TCiaComPort& m_port;
    int m_fd;
    uint32_t m_session;
    std::thread m_thread;
    uint32_t m_modemStatus = 0;
    bool m_modemSupported = false;
    TPortOptions m_options;
    int m_emptyWakeups = 0;
    struct {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
        bool valid = false;
    } m_counts;
};
