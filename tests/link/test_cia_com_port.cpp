#include "link/cia_com_port.h"
#include "link/serial_device.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"

#include <QThread>
#include <gtest/gtest.h>
#include <termios.h>
#include <vector>

namespace {

// A port on COM3 in line mode, as the program configures its ports, recording every delivery
// with the InputCount it was made with.
class LinePortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.SetPort(3);
        port.SetBaudrate(19200);
        port.SetLineEnd("\r\n");
        port.SetLineMode(true);
        port.SetOnDataAvailable([this](TCiaComPort* p) {
            counts.push_back(p->InputCount());
            lines.push_back(p->ReadText());
        });
        port.SetActive(true);
    }

    PortSandbox sandbox;
    PtyLink link{sandbox, 3};
    TCiaComPort port;
    std::vector<QByteArray> lines;
    std::vector<int32_t> counts;
};

} // namespace

TEST_F(LinePortTest, LineSplitAcrossTwoReadsIsDeliveredOnceWhole)
{
    link.Write("230.0");
    PumpEvents(60);
    EXPECT_TRUE(lines.empty());
    link.Write("1\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !lines.empty(); }));
    PumpEvents(30);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "230.01\r\n");
    EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(LinePortTest, TwoLinesInOneReadGiveTwoDeliveriesInOrder)
{
    link.Write("a\r\nbbb\r\n");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], "a\r\n");
    EXPECT_EQ(lines[1], "bbb\r\n");
    EXPECT_EQ(counts, (std::vector<int32_t>{3, 5}));
}

TEST_F(LinePortTest, LineFeedAloneWaitsForTheNextCrLf)
{
    link.Write("12\n");
    PumpEvents(80);
    EXPECT_TRUE(lines.empty());
    link.Write("34\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], "12\n34\r\n");
}

TEST_F(LinePortTest, TerminatorSplitAcrossTwoPassesIsFound)
{
    link.Write("abc\r");
    PumpEvents(60);
    EXPECT_TRUE(lines.empty());
    link.Write("\ndef\r\n");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], "abc\r\n");
    EXPECT_EQ(lines[1], "def\r\n");
}

TEST_F(LinePortTest, ManyLinesKeepTheirOrderAndBoundaries)
{
    QByteArray flood;
    for (int i = 0; i < 500; ++i)
        flood += QByteArray::number(i) + "\r\n";
    link.Write(flood);
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 500; }));
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(lines[i], QByteArray::number(i) + "\r\n");
}

TEST_F(LinePortTest, HandlerThatLeavesPartOfTheLineIsCalledAgain)
{
    std::vector<QByteArray> pieces;
    port.SetOnDataAvailable([&](TCiaComPort* p) {
        char two[2];
        const int32_t n = p->ReadBuffer(two, 2);
        pieces.emplace_back(two, n);
    });
    link.Write("abcde\r\n");
    ASSERT_TRUE(WaitUntil([&] { return pieces.size() == 4; }));
    EXPECT_EQ(pieces, (std::vector<QByteArray>{"ab", "cd", "e\r", "\n"}));
}

TEST_F(LinePortTest, BackToBackWritesLeaveAsTwoChunks)
{
    std::vector<int32_t> progress;
    int sent = 0;
    port.SetOnSendProgress([&](TCiaComPort*, int32_t n) { progress.push_back(n); });
    port.SetOnDataSent([&](TCiaComPort*) { ++sent; });
    EXPECT_EQ(port.WriteText(QByteArray("meas:volt?\n")), 11);
    EXPECT_EQ(port.WriteText(QByteArray("meas:curr?\n")), 11);
    EXPECT_EQ(port.WriteText(QByteArray("*idn?\n")), 6);
    EXPECT_EQ(link.Read(28), "meas:volt?\nmeas:curr?\n*idn?\n");
    ASSERT_TRUE(WaitUntil([&] { return sent == 1; }));
    EXPECT_EQ(progress, (std::vector<int32_t>{11, 17}));
    EXPECT_EQ(port.WriteText(QByteArray()), 0);
}

TEST_F(LinePortTest, LargeWriteIsChunkedByTxBufferAndArrivesWhole)
{
    port.SetTxBuffer(1000);
    QByteArray big;
    for (int i = 0; i < 2500; ++i)
        big += static_cast<char>('a' + i % 26);
    // Without a progress or sent handler the chunks go on all the same.
    port.WriteText(big);
    EXPECT_EQ(link.Read(2500), big);
    std::vector<int32_t> progress;
    port.SetOnSendProgress([&](TCiaComPort*, int32_t n) { progress.push_back(n); });
    port.WriteText(big);
    EXPECT_EQ(link.Read(2500), big);
    ASSERT_TRUE(WaitUntil([&] { return progress.size() == 3; }));
    EXPECT_EQ(progress, (std::vector<int32_t>{1000, 1000, 500}));
}

TEST_F(LinePortTest, SecondOpenOfAHeldPortFailsAndDiscoveryLeavesItOut)
{
    TCiaComPort second;
    second.SetPort(3);
    EXPECT_THROW(second.SetActive(true), ECiaComPort);
    EXPECT_FALSE(second.Active());
    QStringList found;
    ListSerialPorts(found);
    EXPECT_FALSE(found.contains("3"));
    port.SetActive(true); // already open: nothing happens
    EXPECT_TRUE(port.Active());
    port.SetActive(false);
    port.SetActive(false);
    EXPECT_FALSE(port.Active());
    found.clear();
    ListSerialPorts(found);
    EXPECT_EQ(found, QStringList{"3"});
}

TEST_F(LinePortTest, CloseWhileTheThreadWaitsInAHandOverReturns)
{
    link.Write("late\r\n");
    // Let the thread reach its hand-over (it counts the line first) without the event loop
    // serving it.
    for (int i = 0; i < 5000 && port.InputCount() == 0; ++i)
        QThread::msleep(1);
    ASSERT_EQ(port.InputCount(), 6);
    port.SetActive(false);
    EXPECT_FALSE(port.Active());
    // The waiting line was handed over by the close itself.
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "late\r\n");
    PumpEvents(30);
    EXPECT_EQ(lines.size(), 1u);
}

TEST_F(LinePortTest, HandlerThatClosesItsOwnPortReturns)
{
    port.SetOnDataAvailable([&](TCiaComPort* p) {
        lines.push_back(p->ReadText());
        p->SetActive(false);
    });
    link.Write("one\r\ntwo\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !port.Active(); }));
    PumpEvents(30);
    EXPECT_EQ(lines, (std::vector<QByteArray>{"one\r\n"}));
}

TEST_F(LinePortTest, ErrorInHandlerGoesToOnBGExceptionAndDeliveryGoesOn)
{
    std::vector<std::string> errors;
    port.SetOnBGException(
        [&](TCiaComPort*, const std::exception& e) { errors.emplace_back(e.what()); });
    port.SetOnDataAvailable([&](TCiaComPort* p) {
        lines.push_back(p->ReadText());
        if (lines.size() == 1)
            throw std::runtime_error("handler failed");
    });
    link.Write("x\r\n");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 1; }));
    link.Write("y\r\n");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(errors, std::vector<std::string>{"handler failed"});
}

TEST_F(LinePortTest, DeviceThatGoesAwayIsReportedOnceAndClosesThePort)
{
    int lost = 0;
    port.SetOnDeviceLost([&](TCiaComPort*, int) { ++lost; });
    link.Write("last\r\n");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 1; }));
    link.HangUp();
    ASSERT_TRUE(WaitUntil([&] { return lost == 1; }));
    EXPECT_FALSE(port.Active());
    PumpEvents(50);
    EXPECT_EQ(lost, 1);
    try {
        port.WriteText(QByteArray("meas:volt?\n"));
        FAIL() << "write on a lost port must fail";
    } catch (const ECiaComPort& e) {
        EXPECT_EQ(e.Message(), "Port not open");
    }
}

TEST(CiaComPort, AbsentPortRaisesTheOpenErrorAndWritesFail)
{
    PortSandbox sandbox;
    TCiaComPort port;
    port.SetPort(9);
    try {
        port.SetActive(true);
        FAIL() << "opening an absent port must fail";
    } catch (const ECiaComPort& e) {
        EXPECT_EQ(e.Message(), "Cannot open port '\\\\.\\COM9'");
    }
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(port.InputCount(), 0);
    try {
        port.WriteText(QByteArray("x\n"));
        FAIL() << "write on a closed port must fail";
    } catch (const ECiaComPort& e) {
        EXPECT_EQ(e.Message(), "Port not open");
    }
}

TEST(CiaComPort, WithoutHandlerReceivedBytesAreDiscarded)
{
    PortSandbox sandbox;
    PtyLink link(sandbox, 2);
    TCiaComPort port;
    port.SetPort(2);
    port.SetLineMode(true);
    port.SetActive(true);
    link.Write("thrown away\r\n");
    PumpEvents(100);
    EXPECT_EQ(port.InputCount(), 0);
    std::vector<QByteArray> lines;
    port.SetOnDataAvailable([&](TCiaComPort* p) { lines.push_back(p->ReadText()); });
    link.Write("kept\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], "kept\r\n");
}

TEST(CiaComPort, ThresholdAndTimeoutModes)
{
    PortSandbox sandbox;
    PtyLink link(sandbox, 4);
    TCiaComPort port;
    port.SetPort(4);
    port.SetRxThresholdUse(true);
    port.SetRxThresholdAmount(4);
    std::vector<QByteArray> got;
    port.SetOnDataAvailable([&](TCiaComPort* p) { got.push_back(p->ReadText()); });
    port.SetActive(true);
    link.Write("abcdefghij");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (std::vector<QByteArray>{"abcd", "efgh"}));

    // Amount 0 must not notify without end: what there is comes once.
    got.clear();
    port.SetRxThresholdAmount(0);
    link.Write("k");
    ASSERT_TRUE(WaitUntil([&] { return !got.empty(); }));
    PumpEvents(50);
    EXPECT_EQ(got, (std::vector<QByteArray>{"ijk"}));

    // Timeout mode: what arrived is handed over once the line has been quiet. The quiet time is
    // kept on this thread's event loop, so while it is not served, two pieces arriving one after
    // the other are one burst, however long the machine takes between them.
    got.clear();
    port.SetRxTimeout(60);
    EXPECT_FALSE(port.RxThresholdUse());
    EXPECT_FALSE(port.LineMode());
    auto counted = [&](int32_t n) {
        for (int i = 0; i < 5000 && port.InputCount() != n; ++i)
            QThread::msleep(1);
        return port.InputCount() == n;
    };
    link.Write("abc");
    ASSERT_TRUE(counted(3));
    link.Write("def");
    ASSERT_TRUE(counted(6));
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(WaitUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got, (std::vector<QByteArray>{"abcdef"}));
    // The next burst after the quiet time is a delivery of its own.
    link.Write("ghi");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (std::vector<QByteArray>{"abcdef", "ghi"}));

    try {
        port.SetRxTimeout(-1);
        FAIL() << "negative time-out must be refused";
    } catch (const ECiaComPort& e) {
        EXPECT_EQ(e.Message(), "Value can not be negatieve");
    }
    EXPECT_EQ(port.RxTimeout(), 60);
}

TEST(CiaComPort, RawModeHandlerReadsFromTheDevice)
{
    PortSandbox sandbox;
    PtyLink link(sandbox, 5);
    TCiaComPort port;
    port.SetPort(5);
    QByteArray got;
    port.SetOnDataAvailable([&](TCiaComPort* p) { got += p->ReadText(); });
    port.SetActive(true);
    link.Write("raw bytes");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 9; }));
    EXPECT_EQ(got, "raw bytes");
}

TEST(CiaComPort, DeliveryModesExcludeOneAnother)
{
    TCiaComPort port;
    port.SetRxTimeout(100);
    port.SetLineMode(true);
    EXPECT_EQ(port.RxTimeout(), 0);
    port.SetRxThresholdUse(true);
    EXPECT_FALSE(port.LineMode());
    port.SetRxTimeout(100);
    EXPECT_FALSE(port.RxThresholdUse());
}

TEST_F(LinePortTest, LineSettingsReachTheOpenDeviceAtOnce)
{
    // The far end of a pseudo-terminal sees the same terminal settings.
    auto settings = [&] {
        termios tio{};
        tcgetattr(link.Master(), &tio);
        return tio;
    };
    auto speed = [&] {
        const termios tio = settings();
        return cfgetospeed(&tio);
    };
    EXPECT_EQ(speed(), B19200);
    EXPECT_EQ(settings().c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(settings().c_lflag & ECHO); // raw: nothing is echoed back to the instrument
    port.SetBaudrate(9600);
    EXPECT_EQ(speed(), B9600);
    // Parity and data bits cannot be seen here: the pty driver forces 8 bits, no parity.
    port.SetStopBits(sbTwo);
    EXPECT_TRUE(settings().c_cflag & CSTOPB);
    port.FlowCtrl().SetXonXoff(true);
    EXPECT_TRUE(settings().c_iflag & IXON);
    EXPECT_TRUE(settings().c_iflag & IXOFF);
    port.FlowCtrl().SetTxCtsFlow(true);
    EXPECT_TRUE(settings().c_cflag & CRTSCTS);
}
