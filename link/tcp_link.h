#pragma once

#include <optional>
#include <string>

// A COM port whose line runs over the network: a serial device server in TCP-server mode or a
// LAN instrument's raw socket. Its COMn entry in the ports folder is a small text file holding
// one line "tcp://HOST:PORT"; tavtest and the Python module also take such a URI outright.

struct TcpTarget {
    std::string host; // a name, an IPv4 address or an IPv6 address without its brackets
    int port = 0;
    std::string Uri() const;
};

// "tcp://HOST:PORT", "tcp://[::1]:PORT"; nothing else.
std::optional<TcpTarget> ParseTcpUri(const std::string& text);

// The target of a COMn entry that is a regular file (or a link to one) holding a tcp:// line;
// nothing for a device, a missing entry or a file holding anything else.
std::optional<TcpTarget> ReadTcpEntry(const std::string& path);

// A connection that does not take this long is given up (errno ETIMEDOUT).
inline constexpr int kTcpConnectTimeoutMs = 3000;
// getaddrinfo's failures have no errno of their own; this one stands for "unknown host".
inline constexpr int kTcpUnknownHost = -1000;

// Connects, non-blocking, with TCP_NODELAY (a query line leaves at once) and keep-alive (a far
// end that vanished without a word is noticed within half a minute). Returns the descriptor, or
// -1 with errno set (kTcpUnknownHost when the name does not resolve).
int ConnectTcp(const TcpTarget& target, int timeoutMs = kTcpConnectTimeoutMs);

// Port numbers given to tcp:// URIs named outright: they lie above the COM ports the discovery
// tries, so they never meet a COMn entry. The same URI always gets the same number.
inline constexpr int kFirstDirectPort = 1001;
int DirectTcpPort(const std::string& uri);
// The URI of such a number; empty for any other number.
std::string DirectTcpUri(int port);
// The numbers handed out so far, in order.
int DirectTcpPortCount();
// Exclusive use within this program of a URI named outright (an entry file is locked instead):
// false when another port object holds it.
bool HoldDirectTcpPort(int port);
void ReleaseDirectTcpPort(int port);
bool DirectTcpPortHeld(int port);
