#include "link/cia_com_port.h"
#include "service/config_transfer.h"

#include <gtest/gtest.h>

namespace {

// The service tool as the transfer sees it: a port that can be open or closed (or fail), the
// log, and the timer's state.
struct FakeHost : ConfigTransfer::Host {
    bool portOpen = true;
    bool failWrites = false;
    bool timerOn = false;
    QList<QByteArray> written;
    QStringList log;

    bool WriteIfOpen(const QByteArray& line) override
    {
        if (failWrites)
            throw ECiaComPort(QStringLiteral("Port not open"));
        if (!portOpen)
            return false;
        written.append(line);
        return true;
    }
    void AppendLog(const QString& line) override { log.append(line); }
    void SetTimerActive(bool on) override { timerOn = on; }
};

class ConfigTransferTest : public ::testing::Test {
protected:
    // Ticks as the timer would while it runs, at most `limit` times.
    int TickWhileOn(int limit = 100)
    {
        int ticks = 0;
        while (host.timerOn && ticks < limit) {
            transfer.Tick();
            ++ticks;
        }
        return ticks;
    }

    FakeHost host;
    ConfigTransfer transfer{host};
    const ConfigSelection m_1600Hv{"TAV-1600-PS", 1, 1, 2};
};

TEST_F(ConfigTransferTest, SendsOneLinePerTickAndLogsTransferDone)
{
    transfer.Start(m_1600Hv);
    EXPECT_TRUE(host.timerOn);
    EXPECT_TRUE(host.written.isEmpty()) << "the first line waits for the first tick";
    EXPECT_EQ(transfer.ConfigStep, 0);

    for (int step = 1; step <= kConfigLineCount; ++step) {
        transfer.Tick();
        ASSERT_EQ(host.written.size(), step);
        EXPECT_EQ(host.written.back(), transfer.ConfigCommands.Lines[size_t(step - 1)]);
        EXPECT_EQ(host.timerOn, step < kConfigLineCount) << "after tick " << step;
    }
    EXPECT_EQ(host.written.front(), "setpower,2000\n");
    EXPECT_EQ(host.written.back(), "outp:pon,0\n");
    ASSERT_EQ(host.log.size(), kConfigLineCount + 1);
    EXPECT_EQ(host.log.first(), "setpower,2000");
    EXPECT_EQ(host.log.at(8), "sour:curr,7.2");
    EXPECT_EQ(host.log.last(), "Transfer done!");
    // The values of this transfer are the ones a typed model keeps next time.
    EXPECT_EQ(transfer.LastPower, "2000");
    EXPECT_EQ(transfer.LastCurrent, "7.2");

    // A tick that was already queued when the timer stopped changes nothing.
    transfer.Tick();
    EXPECT_EQ(host.written.size(), kConfigLineCount);
    EXPECT_EQ(host.log.size(), kConfigLineCount + 1);
}

TEST_F(ConfigTransferTest, AClosedPortSendsNothingAndTheLogSaysSo)
{
    host.portOpen = false;
    transfer.Start({"TAV-0400-PS", 0, 0, 0});
    EXPECT_EQ(TickWhileOn(), kConfigLineCount);
    EXPECT_TRUE(host.written.isEmpty());
    ASSERT_EQ(host.log.size(), kConfigLineCount + 1);
    EXPECT_EQ(host.log.first(), "setpower,500 (not sent: port not open)");
    for (int i = 0; i < kConfigLineCount; ++i)
        EXPECT_TRUE(host.log[i].endsWith("(not sent: port not open)")) << host.log[i].toStdString();
    EXPECT_EQ(host.log.last(), "Transfer not complete: 0 of 12 lines sent");
    EXPECT_FALSE(host.log.contains("Transfer done!"));
}

TEST_F(ConfigTransferTest, APortClosingOrFailingMidwayLeavesTheRestMarkedAndTheTransferIncomplete)
{
    transfer.Start(m_1600Hv);
    for (int i = 0; i < 5; ++i)
        transfer.Tick();
    host.portOpen = false;
    EXPECT_EQ(TickWhileOn(), kConfigLineCount - 5);
    EXPECT_EQ(host.written.size(), 5);
    EXPECT_EQ(host.log.at(4), "setfreq,1000");
    EXPECT_EQ(host.log.at(5), "setopt,4 (not sent: port not open)");
    EXPECT_EQ(host.log.last(), "Transfer not complete: 5 of 12 lines sent");

    // A write that raises the port's error is logged with that error; the ticks go on.
    host.portOpen = true;
    host.log.clear();
    transfer.Start(m_1600Hv);
    transfer.Tick();
    host.failWrites = true;
    transfer.Tick();
    host.failWrites = false;
    EXPECT_EQ(TickWhileOn(), kConfigLineCount - 2);
    EXPECT_EQ(host.log.at(1), "setvolt,700 (not sent: Port not open)");
    EXPECT_EQ(host.log.last(), "Transfer not complete: 11 of 12 lines sent");
}

TEST_F(ConfigTransferTest, ASecondSendConfigRestartsAtPositionOneWithTheNewSelections)
{
    transfer.Start(m_1600Hv);
    for (int i = 0; i < 4; ++i)
        transfer.Tick();
    transfer.Start({"TAV-0800-PS", 2, 0, 0});
    EXPECT_EQ(transfer.ConfigStep, 0);
    EXPECT_TRUE(host.timerOn);
    EXPECT_EQ(TickWhileOn(), kConfigLineCount);
    ASSERT_EQ(host.written.size(), 4 + kConfigLineCount);
    const QList<QByteArray> restarted = host.written.mid(4);
    EXPECT_EQ(restarted.first(), "setpower,1000\n");
    EXPECT_EQ(restarted.at(3), "setcurr,3\n");
    EXPECT_EQ(restarted.at(9), "sour:currmax,3\n");
    // The count starts again too: the restarted transfer is complete on its own.
    EXPECT_EQ(host.log.last(), "Transfer done!");
    EXPECT_EQ(host.log.count("Transfer done!"), 1);
}

TEST_F(ConfigTransferTest, ATypedModelKeepsTheValuesOfThePreviousTransfer)
{
    transfer.Start({"TAV-3000-PS", 0, 0, 0});
    TickWhileOn();
    transfer.Start({"my own model", 0, 0, 0});
    TickWhileOn();
    EXPECT_EQ(host.written.at(kConfigLineCount), "setpower,3750\n");
    EXPECT_EQ(host.written.at(kConfigLineCount + 3), "setcurr,20\n");
    EXPECT_EQ(transfer.LastPower, "3750");
}

} // namespace
