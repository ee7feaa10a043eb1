#pragma once

#include <QString>
#include <functional>

class LinkState;
class TCiaComPort;
struct LinkSettings;
struct PanelState;
struct ProgramPlaces;

// What happens to a port whose device went away (errno of the failure).
using PortLostHandler = std::function<void(TCiaComPort* port, int error)>;

// The program's start-up state, the same with or without windows: its folders and start date,
// the link settings from TAVCON.cfg in the current folder (defaults: serial, COM2, GPIB device
// "Device 1"), the eleven serial port objects at 19200 baud in line mode with CR LF, ports 1 to
// 6 delivering into the reply route and all of them reporting a lost device, and the port
// discovery, which opens the instrument's port (unless link.DiscoveryDeferred). Returns the warning
// of a damaged TAVCON.cfg, empty when it was read cleanly. adjustLink, when given, may change the
// settings read before the link is chosen and discovery runs (a runner's own configuration file or
// link options).
QString StartProgramState(LinkState& link, PanelState& panel, ProgramPlaces& places,
                          const PortLostHandler& portLost,
                          const std::function<void(LinkSettings&)>& adjustLink = nullptr);

// The start-up port discovery: lists the ports, logs them into the reply handling and opens the
// instrument's port on a serial link, setting LinkOpened. Given opened, a network port is
// opened off this thread (its connect may take seconds) and opened follows once it has opened
// or failed; at once for any other.
void DiscoverPorts(LinkState& link, const std::function<void()>& opened = nullptr);

// The reply route of a port with a hand-over (ports 1 to 6): the line goes to the reply
// handling first, then, while a test runs, into ReplyLine and to the interpreter's evaluation.
void RouteReply(LinkState& link, TCiaComPort* port);
// Where a received line came from, as the test window counts replies: 0 for the instrument's
// own port (CiaComPort1), otherwise the port's COM number.
int ReplyPort(const LinkState& link, const TCiaComPort* port);

// Detaches the handlers StartProgramState attached: the ports outlive whoever handles them.
void DetachPortHandlers(LinkState& link);
