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
    // Each line is logged as sent, without its line feed.
    ASSERT_EQ(host.log.size(), kConfigLineCount + 1);
    for (int i = 0; i < kConfigLineCount; ++i)
        EXPECT_EQ(host.log.at(i), QString::fromLatin1(host.written.at(i).chopped(1)));
    EXPECT_EQ(host.log.last(), "Transfer done!");
    // The values of this transfer are the ones a typed model keeps next time.
    EXPECT_EQ("setpower," + transfer.LastPower.toLatin1() + "\n", host.written.at(0));
    EXPECT_EQ("setcurr," + transfer.LastCurrent.toLatin1() + "\n", host.written.at(3));
    EXPECT_NE(transfer.LastPower, "400");

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
    for (int i = 0; i < kConfigLineCount; ++i)
        EXPECT_EQ(host.log.at(i),
                  QString::fromLatin1(transfer.ConfigCommands.Lines[size_t(i)].chopped(1)) +
                      " (not sent: port not open)");
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
    const auto line = [this](int i) {
        return QString::fromLatin1(transfer.ConfigCommands.Lines[size_t(i)].chopped(1));
    };
    EXPECT_EQ(host.log.at(4), line(4));
    EXPECT_EQ(host.log.at(5), line(5) + " (not sent: port not open)");
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
    EXPECT_EQ(host.log.at(1), line(1) + " (not sent: Port not open)");
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
    const auto& lines = transfer.ConfigCommands.Lines;
    EXPECT_EQ(restarted, QList<QByteArray>(lines.begin(), lines.end()));
    EXPECT_NE(restarted.first(), host.written.first()) << "the first model's power";
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
    ASSERT_EQ(host.written.size(), 2 * kConfigLineCount);
    EXPECT_EQ(host.written.at(kConfigLineCount), host.written.at(0));
    EXPECT_EQ(host.written.at(kConfigLineCount + 3), host.written.at(3));
    EXPECT_EQ("setpower," + transfer.LastPower.toLatin1() + "\n", host.written.at(0));
    EXPECT_NE(transfer.LastPower, "400");
}

} // namespace
