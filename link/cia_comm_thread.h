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
    // Line mode: hands the next complete line over without waiting for the handler.
    void DeliverLines();
    // Waits for a hand-over left that way to be released, then gives the handler again what it
    // left of its line.
    void Settle();
    // What the port reported left after a released hand-over: settles it and delivers lines.
    void DeliverLeftLines();
    void DeliverThresholds();
    // Starts a hand-over; false when the port is closing or the handler went away.
    bool PostHandover();
    void WaitForRelease();
    // The sent hand-over, waited for; false when the port is closing or the handler went away.
    bool SendDataAvailable();
    // Hands the counted data over, waiting each time, until the handler has taken all of it.
    void DeliverUntilTaken();
    bool FinishWrite();
    void WatchLines(bool report);
    void Lost(int error);
    // Why a socket hung up: its pending error, else a reset.
    int LostSocketError() const;
    void Post(cia_events::Kind kind, uint32_t value = 0);

    TCiaComPort& m_port;
    int m_fd;
    bool m_socket; // a TCP connection, not a terminal
    uint32_t m_session;
    std::thread m_thread;
    uint32_t m_modemStatus = 0;
    bool m_modemSupported = false;
    TPortOptions m_options;
    int m_emptyWakeups = 0;
    bool m_unsettled = false; // a line hand-over was started and not waited for
    struct {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
        bool valid = false;
    } m_counts;
};
