#pragma once

#include "link/cia_com_port.h"
#include "link/gpib_access.h"
#include "link/gpib_library.h"
#include "link/gpib_messages.h"
#include "link/link_settings.h"
#include "link/reply_sink.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class LineTrace;
class PortOpening;

// The link to the instrument and the auxiliary devices: the settings, the eleven serial port
// objects, the GPIB library and state, and the route every received line takes.
class LinkState {
public:
    static constexpr int kPortCount = 11;

    // gpibLibraryFile: the NI-488 library, as the loader looks it up when it is bound.
    explicit LinkState(const std::string& gpibLibraryFile = GpibLibrary::kLibraryFileName);
    ~LinkState();
    LinkState(const LinkState&) = delete;
    LinkState& operator=(const LinkState&) = delete;

    // CiaComPort1 ... CiaComPort11; CiaComPort1 carries the instrument on a serial link.
    TCiaComPort& ComPort(int n) { return *m_ports.at(static_cast<size_t>(n - 1)); }
    const TCiaComPort& ComPort(int n) const { return *m_ports.at(static_cast<size_t>(n - 1)); }
    // Lines the receive threads of the open ports have taken and wait to hand over are handled
    // now: a timer tick that acts on replies runs this first, so a reply that arrived before
    // the tick is taken as such even when the event queue is behind.
    void DeliverWaitingLines();
    // Opens these ports' devices ahead, each on a thread of its own, all at once; done is
    // called on this thread when the last has opened or failed. A port object opening one of
    // them then takes that device (or its failure, with the cause) instead of opening again.
    void OpenAhead(const QList<int>& ports, std::function<void()> done);
    bool OpeningAhead() const;
    // Every port and the GPIB layer write their traffic into trace (nullptr: nowhere).
    void SetTrace(LineTrace* trace);

    LinkSettings Settings;
    bool LinkOpened = false;
    QStringList DiscoveredPorts;
    // Set by the desktop program before its main window is made: the start-up port discovery
    // (which opens the instrument's port) then waits for DiscoverPorts, once the window is up.
    bool DiscoveryDeferred = false;
    // A unit's own ports for the table's "@COMnn" rows (nn -> the port it leads to), as a rack
    // gives each slot its own; a number not in it is the port of that number.
    std::map<int, int> PortMap;
    int MappedPort(int tablePort) const;
    // The table's number of a port this unit uses (the reverse of PortMap).
    int TablePort(int port) const;
    // The external meter's port number when it is named outright (tavtest --meter-port); 0: the
    // first discovered port that is not the instrument's own.
    int MeterPort = 0;
    bool SerialLink = true;

    // The NI-488 library (bound at program start, if present) and the GPIB state on top of it.
    GpibLibrary GpibLib;
    GpibMessagesRelay GpibSink;
    GpibAccess Gpib{GpibLib, GpibSink};

    // The last line received, as the test window evaluates it.
    QByteArray ReplyLine;
    // The reply handling of whoever shows or logs the lines: the main window, or a run without
    // windows.
    ReplySink* Replies = nullptr;
    // The running test, while there is one.
    ReplyListener* TestWindow = nullptr;

private:
    std::array<std::unique_ptr<TCiaComPort>, kPortCount> m_ports;
    std::vector<std::unique_ptr<PortOpening>> m_ahead;
    std::function<void()> m_aheadDone;
};

// The instrument's link as the operator knows it: "COM2", "GPIB device "Device 1"" or
// "GPIB address 5".
QString LinkName(const LinkState& L);
// What the serial link's line is: "19200" (baud), or for a network port the address it leads to
// ("tcp://bench-ds1:4001"; nothing more for a URI named outright, which LinkName already is).
QString LinkLineText(const LinkState& L);
