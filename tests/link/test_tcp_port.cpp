// A COM port whose entry is a tcp:// file: the same port object on a socket. The far end is a
// listening socket of the test's own, as a device server's port would be.
#include "link/cia_com_port.h"
#include "link/serial_device.h"
#include "link/tcp_link.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"

#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A loopback server socket, and the entry COMn pointing at it.
class TcpPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(listen(m_listener, 4), 0);
        socklen_t length = sizeof a;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &length);
        serverPort = ntohs(a.sin_port);
        WriteEntry(7, QStringLiteral("tcp://127.0.0.1:%1\n").arg(serverPort));

        port.SetPort(7);
        port.SetBaudrate(19200);
        port.SetLineMode(true);
        port.SetOnDataAvailable([this](TCiaComPort* p) { lines.push_back(p->ReadText()); });
        port.SetOnDeviceLost([this](TCiaComPort*, int error) { lost.push_back(error); });
    }
    void TearDown() override
    {
        port.SetActive(false);
        if (m_peer >= 0)
            close(m_peer);
        close(m_listener);
    }

    void WriteEntry(int n, const QString& text)
    {
        QFile f(QString::fromStdString(sandbox.LinkDir()) + QStringLiteral("/COM%1").arg(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toLatin1());
    }
    // Opens the port and takes the connection it made.
    void Open()
    {
        port.SetActive(true);
        Accept();
    }
    void Accept()
    {
        m_peer = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(m_peer, 0);
    }
    void Send(const QByteArray& bytes)
    {
        ASSERT_EQ(write(m_peer, bytes.data(), bytes.size()), bytes.size());
    }
    QByteArray Received(qsizetype want)
    {
        QByteArray got;
        char buffer[256];
        pollfd p{m_peer, POLLIN, 0};
        while (got.size() < want && poll(&p, 1, 5000) > 0) {
            const ssize_t n = read(m_peer, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }
    void CloseFarEnd()
    {
        close(m_peer);
        m_peer = -1;
    }
    // Closes with a reset instead of an orderly end, as a device server that restarts does.
    void ResetFarEnd()
    {
        const linger abort{1, 0};
        setsockopt(m_peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        CloseFarEnd();
    }

    PortSandbox sandbox;
    int serverPort = 0;
    TCiaComPort port;
    std::vector<QByteArray> lines;
    std::vector<int> lost;

private:
    int m_listener = -1;
    int m_peer = -1;
};

} // namespace

TEST_F(TcpPortTest, LinesGoBothWaysLineSettingsDoNotApplyAndTheEntryIsHeldExclusively)
{
    QStringList before;
    ListSerialPorts(before);
    EXPECT_EQ(before, QStringList{"7"});
    Open();
    // A baud rate or a handshake of an open socket is kept and does nothing, without an error.
    port.SetBaudrate(9600);
    port.FlowCtrl().SetTxCtsFlow(true);
    port.WriteText(QByteArray("meas:volt?\n"));
    EXPECT_EQ(Received(11), "meas:volt?\n");
    Send("230.");
    PumpEvents(50);
    EXPECT_TRUE(lines.empty());
    Send("0V\r\nOK\r\n");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines, (std::vector<QByteArray>{"230.0V\r\n", "OK\r\n"}));

    QStringList during;
    ListSerialPorts(during);
    EXPECT_TRUE(during.isEmpty());
    EXPECT_TRUE(SerialOpenProblem(7).endsWith("held by another program"));
    TCiaComPort second;
    second.SetPort(7);
    EXPECT_THROW(second.SetActive(true), ECiaComPort);
    EXPECT_TRUE(lost.empty());
}

TEST_F(TcpPortTest, FarEndThatClosesIsALostPortAndLaterWritesDoNotEndTheProgram)
{
    Open();
    CloseFarEnd();
    // Written before the loss is handled: the second write meets the reset, which must not
    // raise the signal that ends a process.
    port.WriteText(QByteArray("*tav?\n"));
    WaitWithoutEvents([] { return false; }, 100);
    port.WriteText(QByteArray("*tav?\n"));
    ASSERT_TRUE(WaitUntil([&] { return !lost.empty(); }));
    PumpEvents(50);
    EXPECT_EQ(lost.size(), 1u);
    EXPECT_FALSE(port.Active());
    // The entry is free again for the next open.
    QStringList ports;
    ListSerialPorts(ports);
    EXPECT_EQ(ports, QStringList{"7"});
}

// Nothing is written, so no failed write can tell: the receive thread alone must see the end,
// and name it as the reset it is to the operator, not as an I/O error of a device.
TEST_F(TcpPortTest, FarEndThatGoesWhileTheLinkIsQuietIsLostAtOnce)
{
    struct Case {
        const char* name;
        QByteArray lastWords; // sent by the far end just before it goes
        bool reset;
    };
    const std::vector<Case> cases = {
        {"closed", {}, false},
        {"reset", {}, true},
        {"closed after a line", "OK\r\n", false},
    };
    for (const Case& c : cases) {
        lost.clear();
        lines.clear();
        Open();
        if (!c.lastWords.isEmpty())
            Send(c.lastWords);
        if (c.reset)
            ResetFarEnd();
        else
            CloseFarEnd();
        ASSERT_TRUE(WaitUntil([&] { return !lost.empty(); }, 5000)) << c.name;
        EXPECT_EQ(lost, std::vector<int>{ECONNRESET}) << c.name;
        EXPECT_FALSE(port.Active()) << c.name;
        // What came before the end is still delivered.
        EXPECT_EQ(lines, c.lastWords.isEmpty() ? std::vector<QByteArray>{}
                                               : std::vector<QByteArray>{c.lastWords})
            << c.name;
    }
}

// A URI given outright has no entry file to lock: the program itself keeps a second port object
// off it while the first holds the connection, and lets it on once the first has closed.
TEST_F(TcpPortTest, UriNamedOutrightIsHeldByOnePortObjectAtATime)
{
    const std::string uri = "tcp://127.0.0.1:" + std::to_string(serverPort);
    const int number = DirectTcpPort(uri);
    EXPECT_EQ(DirectTcpPort(uri), number);
    EXPECT_EQ(SerialDeviceName(number).toStdString(), uri);
    port.SetPort(number);
    Open();

    TCiaComPort second;
    second.SetPort(number);
    EXPECT_THROW(second.SetActive(true), ECiaComPort);
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(SerialOpenProblem(number).toStdString(), "held by another program");
    QStringList during;
    ListSerialPorts(during);
    EXPECT_FALSE(during.contains(QString::number(number)));

    port.SetActive(false);
    CloseFarEnd();
    ASSERT_NO_THROW(second.SetActive(true)) << "the first's hold must end with its connection";
    Accept();
    second.WriteText(QByteArray("*tav?\n"));
    EXPECT_EQ(Received(6), "*tav?\n");
}

TEST_F(TcpPortTest, EntriesThatCannotBeUsedSayWhy)
{
    const int closedPort = serverPort == 65535 ? serverPort - 1 : serverPort + 1;
    struct Case {
        QString entry;
        QString cause;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("tcp://127.0.0.1:%1\n").arg(closedPort), "connection refused"},
        {QStringLiteral("tcp://127.0.0.1:70000\n"), "not a serial port"},
        {QStringLiteral("udp://127.0.0.1:5025\n"), "not a serial port"},
        {QStringLiteral("tcp://127.0.0.1\n"), "not a serial port"},
    };
    for (const Case& c : cases) {
        WriteEntry(8, c.entry);
        const QString problem = SerialOpenProblem(8);
        EXPECT_TRUE(problem.startsWith("\\\\.\\COM8 (")) << problem.toStdString();
        EXPECT_TRUE(problem.contains(c.cause)) << problem.toStdString();
    }
    // A good entry with blanks around its line and more lines after it still serves.
    WriteEntry(8,
               QStringLiteral("  tcp://127.0.0.1:%1 \r\nserial server, rack 3\n").arg(serverPort));
    EXPECT_TRUE(SerialOpenProblem(8).isEmpty());
}
