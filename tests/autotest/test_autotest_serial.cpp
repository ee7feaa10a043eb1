// Test tables run in real time against tavsim on pseudo-terminals, through the program's own
// ports and with no window: the interpreter's timer is a plain QTimer.
#include "autotest/auxiliary_ports.h"
#include "autotest/preset_answers.h"
#include "autotest/program_test_link.h"
#include "autotest/run_clock.h"
#include "autotest/variable_keywords.h"
#include "panel/program_start.h"
#include "program/program_state.h"
#include "tests/autotest/interpreter_fakes.h"
#include "tests/autotest/small_table.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace {

// The fake window with a real 100 ms timer behind SetTimer.
class TimedHost : public FakeHost {
public:
    explicit TimedHost(const std::function<void()>& tick)
    {
        m_timer.setInterval(TestInterpreter::kTickMs);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, tick);
    }
    void SetTimer(bool on) override
    {
        FakeHost::SetTimer(on);
        if (on)
            m_timer.start();
        else
            m_timer.stop();
    }

private:
    QTimer m_timer;
};

// A counter that moves 1.234 s on at every reading, so a stopwatch step has a known length.
class SteppingClock : public TestClock {
public:
    qint64 CounterFrequency() const override { return 1000; }
    qint64 Counter() const override { return m_counter += 1234; }
    QTime TimeOfDay() const override { return QTime(9, 30, 0); }

private:
    mutable qint64 m_counter = 0;
};

class SerialRun : public ::testing::Test {
protected:
    SerialRun() : table(kTestColumns, kTestRows)
    {
        InitStepGrid(table, TestTableKind());
        run.WindowCreated();
        // Every line a port delivers goes to ReplyLine and then to the interpreter.
        for (int n = 1; n <= 6; ++n) {
            TCiaComPort& port = state.Link.ComPort(n);
            port.SetLineEnd("\r\n");
            port.SetLineMode(true);
            port.SetOnDataAvailable([this](TCiaComPort* p) {
                state.Link.ReplyLine = p->ReadText();
                run.ReplyReceived(state.Link.ReplyLine, ReplyPort(state.Link, p));
            });
        }
    }
    ~SerialRun() override
    {
        for (int n = 1; n <= LinkState::kPortCount; ++n) {
            state.Link.ComPort(n).SetOnDataAvailable(nullptr);
            state.Link.ComPort(n).SetActive(false);
        }
    }

    // tavsim as COM port, opened on CiaComPort object.
    std::unique_ptr<TavsimProcess> StartSim(int port, int object, const QStringList& extra = {})
    {
        auto sim = std::make_unique<TavsimProcess>(
            QString::fromStdString(sandbox.LinkDir()) + QStringLiteral("/COM%1").arg(port),
            logDir.filePath(QStringLiteral("com%1.log").arg(port)), extra);
        EXPECT_TRUE(sim->Ready());
        state.Link.ComPort(object).SetPort(port);
        state.Link.ComPort(object).SetActive(true);
        return sim;
    }
    static QStringList Lines(const TavsimProcess& sim)
    {
        QStringList lines;
        for (const auto& l : sim.Received())
            lines.append(l.line);
        return lines;
    }
    bool RunToEnd()
    {
        run.Start();
        return WaitUntil([&] { return !host.timer; }, 30000);
    }

    PortSandbox sandbox;
    QTemporaryDir logDir;
    ProgramState state;
    MemoryStepGrid table;
    TestRunState runState;
    ResultTable results;
    TimedHost host{[this] { run.Tick(); }};
    ProgramTestLink link{state.Link};
    TestInterpreter run{table, runState, results, host, link};
};

} // namespace

TEST_F(SerialRun, SmallTableRunsToItsEnd)
{
    auto sim = StartSim(1, 1);
    PutSmallTable(table);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(runState.CurrentRow, 9);
    EXPECT_EQ(Lines(*sim), SmallTableLines());
    EXPECT_EQ(AllRows(results), SmallTableResults());
    EXPECT_TRUE(host.messages.isEmpty());
}

// Row 3's reply comes 600 ms after it asked, when row 4 runs: row 3 fails with "no reply", and
// its reply is told as late instead of being checked against row 4.
TEST_F(SerialRun, ReplyOutlastingItsRowFailsThatRowOnly)
{
    auto sim = StartSim(1, 1, {"--slow-query", "sour:voltac?", "--slow-ms", "600"});
    table.SetRow(1, {" 1", "00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"});
    table.SetRow(
        2, {" 2", "00.00.01.500", "Sour:voltac?", "0", "0", "0", "229", "231", "covered", "1"});
    table.SetRow(
        3, {" 3", "00.00.00.000", "Sour:voltac?", "0", "0", "0", "229", "231", "uncovered", "1"});
    table.SetRow(4, {" 4", "00.00.05.000", "OUTP,1", "0", "0", "0", "", "", "late", "1"});
    run.Start();
    ASSERT_TRUE(WaitUntil([&] { return !host.late.isEmpty(); }, 10000));
    EXPECT_EQ(results.Row(2), QStringList({" 2", "covered", "229.000", "230.000", "231.000", ""}));
    EXPECT_EQ(results.Row(3),
              QStringList({" 3", "uncovered", "229.000", "no reply", "231.000", "Error!"}));
    EXPECT_EQ(results.Row(4), QStringList({" 4", "late", "", "", "", ""}));
    EXPECT_EQ(results.RowCount(), 5);
    EXPECT_EQ(host.late, QStringList({"late reply, not evaluated: 230.00000"}));
    EXPECT_EQ(Lines(*sim),
              QStringList({"SOUR:VOLTAC,230", "Sour:voltac?", "Sour:voltac?", "OUTP,1"}));
}

// A query the instrument never answers (its status query, here) fails its own row, and every
// later query still gets its own reply: the one after it goes out behind "*idn?".
TEST_F(SerialRun, QueryNeverAnsweredCostsItsRowOnly)
{
    auto sim = StartSim(1, 1, {"--no-status"});
    table.SetRow(1, {" 1", "00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"});
    for (int row : {2, 4})
        table.SetRow(row, {QStringLiteral("%1").arg(row, 2), "00.00.00.300", "*tav?", "NEXT", "0",
                           "NEXT", "0", "99999", "status", "1"});
    for (int row : {3, 5})
        table.SetRow(row, {QStringLiteral("%1").arg(row, 2), "00.00.00.300", "Sour:voltac?", "0",
                           "0", "0", "229", "231", "set value", "1"});
    table.SetRow(6, {" 6", "00.00.00.000", "END", "0", "0", "0", "", "", "", "1"});
    ASSERT_TRUE(RunToEnd());
    for (int row : {2, 4})
        EXPECT_EQ(results.Row(row)[ResultTable::kTestResult], "no reply") << row;
    for (int row : {3, 5})
        EXPECT_EQ(results.Row(row), QStringList({QStringLiteral("%1").arg(row, 2), "set value",
                                                 "229.000", "230.000", "231.000", ""}));
    EXPECT_EQ(Lines(*sim), QStringList({"SOUR:VOLTAC,230", "*tav?", "*idn?", "Sour:voltac?",
                                        "*tav?", "*idn?", "Sour:voltac?"}));
    EXPECT_TRUE(host.late.isEmpty());
}

TEST_F(SerialRun, AuxiliaryMeterAnswersThroughItsOwnPort)
{
    auto tav = StartSim(1, 1);
    // The meter is on COM3, known to CiaComPort2 but not yet open: the meter keyword opens it.
    auto meter =
        std::make_unique<TavsimProcess>(QString::fromStdString(sandbox.LinkDir()) + "/COM3",
                                        logDir.filePath("meter.log"), QStringList{"--meter"});
    ASSERT_TRUE(meter->Ready());
    state.Link.ComPort(2).SetPort(3);
    table.SetRow(1, {" 1", "00.00.00.500", "EXTMVAC?", "0", "0", "0", "229", "231", "AC", "1"});
    table.SetRow(
        2, {" 2", "00.00.00.500", "@COM03:MEAS:VOLT:DC?", "0", "0", "0", "4.9", "5.1", "DC", "1"});
    table.SetRow(3, {" 3", "00.00.00.100", "@COM07:*RST", "0", "0", "0", "", "", "", "1"});
    // The meter reads in the function MEAS:VOLT:DC? left it in.
    table.SetRow(4, {" 4", "00.00.00.500", "EXTMEAS?", "0", "0", "0", "4.9", "5.1", "READ", "1"});
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Lines(*meter), QStringList({"MEAS:VOLT:AC?", "MEAS:VOLT:DC?", "READ?"}));
    // No port 7 open: that row's line goes nowhere.
    EXPECT_EQ(Lines(*tav), QStringList({"EXTMVAC?", "EXTMEAS?"}));
    EXPECT_EQ(results.Row(1), QStringList({" 1", "AC", "229.000", "230.000", "231.000", ""}));
    EXPECT_EQ(results.Row(2), QStringList({" 2", "DC", "4.900", "5.000", "5.100", ""}));
    EXPECT_EQ(results.Row(3), QStringList({" 3", "", "", "", "", ""}));
    EXPECT_EQ(results.Row(4), QStringList({" 4", "READ", "4.900", "5.000", "5.100", ""}));
}

// The meter keywords go to the first port found that is not the instrument's, through the
// further port object already open on it, or to the port named outright: never a second open
// of a device. CiaComPort2 keeps COM3 from program start when the first port found is the
// instrument's.
TEST_F(SerialRun, MeterIsTheFirstFurtherPortServedByItsOpenPortObject)
{
    struct Wiring {
        int instrument;
        int meter;
        QStringList found;
        int named; // --meter-port, 0: none
    };
    const Wiring wirings[] = {
        {1, 3, {"1", "3"}, 0}, {3, 4, {"3", "4"}, 0}, {1, 5, {"1", "3", "5"}, 5}};
    for (const Wiring& w : wirings) {
        SCOPED_TRACE(w.found.join(' ').toStdString());
        auto tav = StartSim(w.instrument, 1);
        auto meter = std::make_unique<TavsimProcess>(
            QString::fromStdString(sandbox.LinkDir()) + QStringLiteral("/COM%1").arg(w.meter),
            logDir.filePath(QStringLiteral("meter%1.log").arg(w.meter)), QStringList{"--meter"});
        ASSERT_TRUE(meter->Ready());
        state.Link.Settings.PortText = QString::number(w.instrument);
        state.Link.DiscoveredPorts = w.found;
        state.Link.MeterPort = w.named;
        state.Link.ComPort(2).SetPort(3);
        AuxiliaryPorts further(state.Link);
        further.Open(); // COM3 of the last wiring has no device: skipped
        table.SetRow(1, {" 1", "00.00.00.500", "EXTMVDC?", "0", "0", "0", "4.9", "5.1", "DC", "1"});
        ASSERT_TRUE(RunToEnd());
        EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join('\n').toStdString();
        EXPECT_EQ(Lines(*meter), QStringList({"MEAS:VOLT:DC?"}));
        EXPECT_EQ(results.Row(1), QStringList({" 1", "DC", "4.900", "5.000", "5.100", ""}));
        further.Close();
        for (int n = 1; n <= LinkState::kPortCount; ++n)
            state.Link.ComPort(n).SetActive(false);
        host.messages.clear();
    }
}

TEST_F(SerialRun, InstrumentLostDuringARunPausesItWithOneMessage)
{
    auto sim = StartSim(1, 1);
    for (int r = 1; r <= 200; ++r)
        table.SetRow(r,
                     {StepNumberText(r), "00.00.00.100", "OUTP,1", "0", "0", "0", "", "", "", "1"});
    run.Start();
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= 3; }));
    sim->Kill();
    ASSERT_TRUE(WaitUntil([&] { return !host.timer; }));
    PumpEvents(500); // a stopped run must stay quiet
    EXPECT_EQ(host.messages, QStringList({"Port not open"}));
    EXPECT_TRUE(runState.RunPaused);
    EXPECT_EQ(host.result, "PAUSE");
    EXPECT_LT(runState.CurrentRow, 200);
}

// A prompted voltage set on the instrument, read back from it and from the meter on COM3, the
// whole timed by the stopwatch: a run without windows, its operator's answer given beforehand.
TEST_F(SerialRun, PromptedVoltageCheckedByInstrumentAndMeter)
{
    auto tav = StartSim(1, 1);
    auto meter = StartSim(3, 3, {"--meter", "--reading", "230.5"});
    PresetAnswers operatorAnswers({"230"});
    SteppingClock clock;
    VariableKeywords keywords(state.Test.TestVariables, state.Test.Stopwatch, clock,
                              operatorAnswers);
    run.SetKeywords(&keywords);
    PutRows(table, {
                       {"00.00.00.000", "@MSGVAR01", "100", "0", "0", "", "", "Voltage?", "1"},
                       {"00.00.00.000", "@STARTTIME", "0", "0", "0", "", "", "", "1"},
                       {"00.00.00.100", "SOUR:VOLTAC,@VAR01", "0", "0", "0", "", "", "", "1"},
                       // Long enough for each reply on a machine busy with builds.
                       {"00.00.01.500", "Sour:voltac?", "0", "0", "0", "229", "231", "set", "1"},
                       {"00.00.01.500", "@COM03:READ?", "0", "0", "0", "229", "231", "meter", "1"},
                       {"00.00.00.000", "@READTIME", "0", "0", "0", "", "", "time", "1"},
                   });
    ASSERT_TRUE(RunToEnd());

    EXPECT_EQ(operatorAnswers.Asked(), QStringList({"Voltage?"}));
    EXPECT_EQ(Lines(*tav), QStringList({"SOUR:VOLTAC,230.0", "Sour:voltac?"}));
    EXPECT_EQ(Lines(*meter), QStringList({"READ?"}));
    EXPECT_EQ(AllRows(results),
              QList<QStringList>({ResultTable::Captions(),
                                  {" 3", "", "", "", "", ""},
                                  {" 4", "set", "229.000", "230.000", "231.000", ""},
                                  {" 5", "meter", "229.000", "230.500", "231.000", ""},
                                  {" 6", "time", "", "1.234", "", ""}}));
    EXPECT_EQ(state.Test.TestVariables[0], 230.0);
    EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join('|').toStdString();
}
