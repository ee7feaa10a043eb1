// The small test table over GPIB, against the simulated libgpib loaded by name as the program
// loads the real one. GPIB replies are read inside the tick, so the ticks are driven directly.
#include "autotest/program_test_link.h"
#include "program/program_state.h"
#include "tests/autotest/interpreter_fakes.h"
#include "tests/autotest/small_table.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/sim_gpib_controls.h"
#include "tests/support/tavsim_process.h"

#include <QTemporaryDir>

namespace {

// The program's link, with every line it is handed noted on the way.
class NotingLink : public ProgramTestLink {
public:
    using ProgramTestLink::ProgramTestLink;
    bool GpibExchange(int address, const QByteArray& line, bool query,
                      std::optional<QByteArray>& reply) override
    {
        lines.append(QString::fromLatin1(line.chopped(1)));
        return ProgramTestLink::GpibExchange(address, line, query, reply);
    }
    QStringList lines;
};

// The service tool's ErrBox, as far as these tests read it.
class ErrBoxLines : public GpibMessages {
public:
    void AppendErrBox(const QString& line) override { lines.append(line); }
    void ClearErrBox() override { lines.clear(); }
    void SetMeter(const QString&) override {}
    QStringList lines;
};

class GpibRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Loaded()) << "the simulated libgpib.so.0 is not on the search path";
        sim.Reset();
        ASSERT_EQ(state.Link.GpibLib.BindGpibLibrary(), 0);
        state.Link.Settings.IoType = 2;
        state.Link.Settings.GpibAddress = 5;
        state.Link.SerialLink = false;
        state.Link.Gpib.OpenGpibDevice(5, 2);
        ASSERT_GT(state.Link.Gpib.GpibDevice, 0);
        InitStepGrid(table, TestTableKind());
        run.WindowCreated();
        sim.ClearCallLog();
    }
    int RunToEnd()
    {
        run.Start();
        int ticks = 0;
        while (host.timer && ticks < 1000) {
            run.Tick();
            ++ticks;
        }
        return ticks;
    }
    // ibwrt and ibrd calls as "w<bytes>" and "r".
    QStringList Transfers() const
    {
        QStringList transfers;
        for (const QString& call : sim.CallLog()) {
            if (call.startsWith("ibwrt("))
                transfers.append("w" + call.section(',', 1).chopped(1).remove('"'));
            else if (call.startsWith("ibrd("))
                transfers.append("r");
        }
        return transfers;
    }

    SimGpibControls sim;
    ProgramState state;
    MemoryStepGrid table{kTestColumns, kTestRows};
    TestRunState runState;
    ResultTable results;
    FakeHost host;
    NotingLink link{state.Link};
    TestInterpreter run{table, runState, results, host, link};
};

} // namespace

TEST_F(GpibRun, SmallTableRunsToItsEnd)
{
    PutSmallTable(table);
    RunToEnd();
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(runState.CurrentRow, 9);
    EXPECT_EQ(link.lines, SmallTableLines());
    EXPECT_EQ(AllRows(results), SmallTableResults());
    // Each line written whole, each query's reply read at once.
    EXPECT_EQ(Transfers(), QStringList({"wSOUR:VOLTAC,230\\n", "wOUTP,1\\n", "wMEAS:VOLT?\\n", "r",
                                        "wMEAS:VOLT?\\n", "r", "wMEAS:CURR?\\n", "r",
                                        "wMEAS:CURR?\\n", "r", "wOUTP,0\\n"}));
    EXPECT_EQ(state.Link.ReplyLine, "4.600A\r\n");
    EXPECT_FALSE(state.Link.Gpib.GpibBusy);
}

TEST_F(GpibRun, AnotherAddressForOneRowAndABusyBus)
{
    table.SetRow(1, {" 1", "00.00.00.000", "@GPIB22:MEAS:VOLT:DC?", "0", "0", "0", "4.9", "5.1",
                     "meter", "1"});
    table.SetRow(2, {" 2", "00.00.00.000", "*IDN?", "0", "0", "0", "", "", "", "2"});
    RunToEnd();
    EXPECT_EQ(results.Row(1), QStringList({" 1", "meter", "4.900", "5.000", "5.100", ""}));
    EXPECT_TRUE(results.Row(2)[ResultTable::kTestResult].startsWith("KELM"))
        << results.Row(2)[ResultTable::kTestResult].toStdString();
    // The meter's address was looked up for the one row, the instrument's again after it.
    const QStringList calls = sim.CallLog();
    EXPECT_EQ(calls.filter("ibdev(").join(' '), "ibdev(0,22,0,13,1,0) ibdev(0,5,0,13,1,0)");

    // An exchange of the main window under way: nothing is sent or recorded.
    sim.ClearCallLog();
    state.Link.Gpib.GpibBusy = true;
    RunToEnd();
    EXPECT_TRUE(Transfers().isEmpty());
    EXPECT_EQ(results.RowCount(), 3);
    state.Link.Gpib.GpibBusy = false;
}

// A row for another address whose write fails (no device there): the instrument's address and
// device come back all the same, and the next row reaches the instrument.
TEST_F(GpibRun, InstrumentComesBackAfterAFailedRowForAnotherAddress)
{
    ErrBoxLines errBox;
    state.Link.GpibSink.SetTarget(&errBox);
    table.SetRow(1, {" 1", "00.00.00.000", "@GPIB07:*RST", "0", "0", "0", "", "", "", "1"});
    table.SetRow(2, {" 2", "00.00.00.000", "OUTP,1", "0", "0", "0", "", "", "", "1"});
    RunToEnd();
    EXPECT_TRUE(errBox.lines.contains("IBWRT failed while writing *RST\n"))
        << errBox.lines.join('|').toStdString();
    EXPECT_EQ(state.Link.Settings.GpibAddress, 5);
    EXPECT_EQ(state.Link.Gpib.GpibDevice, 34); // looked up anew after the row's descriptor 33
    EXPECT_EQ(sim.CallLog().filter("ibdev(").join(' '), "ibdev(0,7,0,13,1,0) ibdev(0,5,0,13,1,0)");
    EXPECT_TRUE(sim.CallLog().contains("ibwrt(34,\"OUTP,1\\n\")"))
        << sim.CallLog().join('|').toStdString();
    EXPECT_EQ(results.Row(1), QStringList({" 1", "", "", "", "", ""}));
    EXPECT_FALSE(state.Link.Gpib.GpibBusy);
    state.Link.GpibSink.SetTarget(nullptr);
}

// On a serial link a row with "@GPIB22" asks the meter on the bus for that row only; the rows
// around it go to the instrument's serial port, and no GPIB device stays open behind it.
TEST_F(GpibRun, MeterOnTheBusForOneRowOfASerialLink)
{
    PortSandbox sandbox;
    QTemporaryDir logDir;
    TavsimProcess tav(QString::fromStdString(sandbox.LinkDir()) + "/COM1",
                      logDir.filePath("com1.log"));
    ASSERT_TRUE(tav.Ready());
    state.Link.ComPort(1).SetPort(1);
    state.Link.ComPort(1).SetActive(true);
    state.Link.Settings.IoType = 0;
    state.Link.Settings.GpibAddress = 5;
    state.Link.SerialLink = true;
    state.Link.Gpib.ForgetGpibDevice();
    sim.SetMeterReading(4.25);
    sim.ClearCallLog();

    table.SetRow(1, {" 1", "00.00.00.000", "OUTP,1", "0", "0", "0", "", "", "", "1"});
    table.SetRow(2, {" 2", "00.00.00.000", "@GPIB22:MEAS:VOLT:DC?", "0", "0", "0", "4.2", "4.3",
                     "meter", "1"});
    table.SetRow(3, {" 3", "00.00.00.000", "OUTP,0", "0", "0", "0", "", "", "", "1"});
    RunToEnd();
    EXPECT_EQ(results.Row(2), QStringList({" 2", "meter", "4.200", "4.250", "4.300", ""}));
    EXPECT_EQ(Transfers(), QStringList({"wMEAS:VOLT:DC?\\n", "r"}));
    // Only the meter was looked up, and nothing touched the board's own settings afterwards.
    const QStringList calls = sim.CallLog();
    EXPECT_EQ(calls.filter("ibdev(").join(' '), "ibdev(0,22,0,13,1,0)");
    EXPECT_TRUE(calls.filter("ibtmo(0,").isEmpty()) << calls.join('|').toStdString();
    EXPECT_EQ(state.Link.Gpib.GpibDevice, 0);
    EXPECT_EQ(state.Link.Settings.GpibAddress, 5);
    EXPECT_TRUE(state.Link.SerialLink);
    ASSERT_TRUE(WaitUntil([&] { return tav.Received().size() >= 2; }));
    EXPECT_EQ(tav.Received()[0].line, "OUTP,1");
    EXPECT_EQ(tav.Received()[1].line, "OUTP,0");
    state.Link.ComPort(1).SetActive(false);
}
