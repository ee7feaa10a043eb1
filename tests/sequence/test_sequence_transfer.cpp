#include "sequence/sequence_file.h"
#include "sequence/sequence_transfer.h"
#include "tests/sequence/new_sequence_table.h"

#include <gtest/gtest.h>

namespace {

// Records what the transfer sends and drives its two timers the way the window's would.
class RecordingHost : public SequenceTransfer::Host {
public:
    void SendLine(const QByteArray& line) override { lines.append(QString::fromLatin1(line)); }
    void SetRowTimer(bool on) override { rowTimer = on; }
    void SetCommandTimer(bool on) override { commandTimer = on; }
    void SetTransferEnabled(bool on) override { enabled = on; }
    QString CountText() const override { return count; }

    QStringList lines;
    bool rowTimer = false;
    bool commandTimer = false;
    bool enabled = true;
    QString count = "1";
};

// Runs the transfer to its end; returns how many row timer ticks it took.
int RunTransfer(SequenceTransfer& transfer, RecordingHost& host)
{
    transfer.Start();
    int rowTicks = 0;
    while (host.rowTimer && rowTicks < 100) {
        transfer.RowTick();
        ++rowTicks;
        // Ten command ticks fit into one row period; only five do anything.
        for (int i = 0; i < 10 && host.commandTimer; ++i)
            transfer.CommandTick();
    }
    return rowTicks;
}

} // namespace

TEST(SequenceTransfer, UacRowThenEnd)
{
    MemoryStepGrid grid = NewSequenceTable();
    grid.SetRow(1, {" 1", "00.00.05.000", "UAC", "230", "50", "0"});
    RecordingHost host;
    host.count = "3";
    SequenceTransfer transfer(grid, host);
    EXPECT_EQ(RunTransfer(transfer, host), 3);
    EXPECT_EQ(host.lines, QStringList({"SEQ:TIME,00.00.05.000\n", "SEQ:VAL3,50\n", "SEQ:VAL1,230\n",
                                       "SEQ:VAL2,0\n", "SEQ:NEW,4\n", "SEQ:TIME,00.00.00.000\n",
                                       "SEQ:VAL3,50\n", "SEQ:VAL1,0\n", "SEQ:VAL2,0\n",
                                       "SEQ:SET,255\n", "SEQ:CNT,3\n"}));
    EXPECT_TRUE(host.enabled);
    EXPECT_FALSE(host.commandTimer);
}

TEST(SequenceTransfer, NewTableSendsItsEndRowWithSet)
{
    MemoryStepGrid grid = NewSequenceTable();
    RecordingHost host;
    host.count = "two";
    SequenceTransfer transfer(grid, host);
    transfer.Start();
    EXPECT_FALSE(host.enabled);
    RunTransfer(transfer, host);
    EXPECT_EQ(host.lines, QStringList({"SEQ:TIME,00.00.00.000\n", "SEQ:VAL3,50\n", "SEQ:VAL1,0\n",
                                       "SEQ:VAL2,0\n", "SEQ:SET,255\n", "SEQ:CNT,two\n"}));
}

TEST(SequenceTransfer, KeywordsAreExactAndOtherTextGoesUnchanged)
{
    EXPECT_EQ(SequenceCommandCode("UAC"), "4");
    EXPECT_EQ(SequenceCommandCode("RPHAS3"), "35");
    EXPECT_EQ(SequenceCommandCode("FREQ"), "1");
    EXPECT_EQ(SequenceCommandCode("uac"), "uac");
    EXPECT_EQ(SequenceCommandCode("28"), "28");
    MemoryStepGrid grid = NewSequenceTable();
    grid.SetCell(2, 1, "uac");
    RecordingHost host;
    SequenceTransfer transfer(grid, host);
    RunTransfer(transfer, host);
    EXPECT_EQ(host.lines.value(4), "SEQ:NEW,uac\n");
    EXPECT_EQ(host.lines.value(9), "SEQ:SET,255\n");
}

TEST(SequenceTransfer, WithoutEndAllFiftyRowsGoButNotTheSpare)
{
    MemoryStepGrid grid = NewSequenceTable();
    for (int r = 1; r <= 51; ++r)
        grid.SetCell(2, r, "UDC");
    RecordingHost host;
    SequenceTransfer transfer(grid, host);
    EXPECT_EQ(RunTransfer(transfer, host), 51);
    ASSERT_EQ(host.lines.size(), 50 * 5 + 1);
    EXPECT_EQ(host.lines[4], "SEQ:NEW,3\n");
    EXPECT_EQ(host.lines[9], "SEQ:SET,3\n");
    EXPECT_EQ(host.lines[249], "SEQ:SET,3\n");
    EXPECT_EQ(host.lines.last(), "SEQ:CNT,1\n");
}

TEST(SequenceTransfer, AbortStopsBothTimersAndFreesTheButton)
{
    MemoryStepGrid grid = NewSequenceTable();
    RecordingHost host;
    SequenceTransfer transfer(grid, host);
    transfer.Start();
    transfer.RowTick();
    EXPECT_TRUE(host.commandTimer);
    transfer.Abort();
    EXPECT_FALSE(host.rowTimer);
    EXPECT_FALSE(host.commandTimer);
    EXPECT_TRUE(host.enabled);
}
