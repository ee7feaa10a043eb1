#pragma once

#include <QProcess>
#include <QString>
#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback port that was free a moment ago (bind 0), or, with connectTo, whether something
// listens on that one now.
inline int LoopbackPort(int connectTo = 0)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(connectTo));
    socklen_t length = sizeof a;
    int result = 0;
    if (connectTo > 0)
        result = connect(fd, reinterpret_cast<sockaddr*>(&a), length) == 0 ? connectTo : 0;
    else if (bind(fd, reinterpret_cast<sockaddr*>(&a), length) == 0 &&
             getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        result = ntohs(a.sin_port);
    close(fd);
    return result;
}

// A loopback listener whose queue is full: a connect to it gets no answer at all, as with a
// device server that has hung or a host that drops what it is sent.
class SilentListener {
public:
    SilentListener()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), length);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &length);
        listen(m_listen, 0);
        Port = ntohs(a.sin_port);
        // The one connection a queue of 0 takes; every later one waits unanswered.
        m_filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        connect(m_filler, reinterpret_cast<sockaddr*>(&a), length);
    }
    ~SilentListener()
    {
        close(m_filler);
        close(m_listen);
    }
    QString Uri() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(Port); }
    int Port = 0;

private:
    int m_listen = -1;
    int m_filler = -1;
};

// A real serial device server (Debian's ser2net) in front of a tty, on a free loopback port, in
// raw mode: its URI once it listens, empty when it did not come up.
inline QString StartDeviceServer(QProcess& server, const QString& tty,
                                 const std::function<bool(const std::function<bool()>&)>& waitUntil)
{
    const QString ser2net = QStringLiteral("/usr/sbin/ser2net");
    const int port = LoopbackPort();
    if (port == 0)
        return {};
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(ser2net, {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                           QStringLiteral("-Y"),
                           QStringLiteral("connection: &sim#  accepter: tcp,127.0.0.1,%1#"
                                          "  connector: serialdev,%2,19200n81,local")
                               .arg(port)
                               .arg(tty)});
    if (!server.waitForStarted() || !waitUntil([port] { return LoopbackPort(port) == port; }))
        return {};
    return QStringLiteral("tcp://127.0.0.1:%1").arg(port);
}
