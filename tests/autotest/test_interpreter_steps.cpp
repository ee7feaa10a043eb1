// The interpreter's row walk: waits, GOTO, PAUSE, END, where a run starts and where it stops.
#include "tests/autotest/interpreter_fakes.h"

namespace {

class InterpreterSteps : public InterpreterTest {};

} // namespace

TEST_F(InterpreterSteps, WaitsAreWholeTicksRoundedHalfToEven)
{
    // Ticks from sending row 1 to sending row 2, for row 1's time.
    const QList<std::pair<QString, int>> cases = {
        {"00.00.01.500", 15}, {"00.00.00.050", 1}, {"00.00.00.150", 2}, {"00.00.00.000", 1},
        {"00.00.00.100", 1},  {"00.00.00.250", 2}, {"00.00.00.350", 4}, {"00.01.00.000", 600}};
    for (const auto& [time, ticks] : cases) {
        link.sent.clear();
        Put(1, {.command = "A", .time = time});
        Put(2, {.command = "B"});
        run.Start();
        ASSERT_EQ(TicksUntilSent(1), 1);
        EXPECT_EQ(TicksUntilSent(2), ticks) << time.toStdString();
        EXPECT_EQ(link.sent, QStringList({"A", "B"}));
        EXPECT_EQ(RunTicks(), 1); // the END row
    }
}

TEST_F(InterpreterSteps, GotoRepeatsItsLoopAndReArmsForAnOuterOne)
{
    Put(1, {.command = "INIT"});
    Put(2, {.command = "A"});
    Put(3, {.command = "B"});
    Put(4, {.command = "GOTO", .value1 = "2", .value3 = "3"});
    Put(5, {.command = "AFTER"});
    run.Start();
    RunTicks();
    EXPECT_EQ(link.sent, QStringList({"INIT", "A", "B", "A", "B", "A", "B", "A", "B", "AFTER"}));

    // An outer loop runs the inner one in full each time, also when its GOTO follows the inner
    // one directly; neither keyword goes to the instrument.
    link.sent.clear();
    Put(1, {.command = "OUT"});
    Put(2, {.command = "A"});
    Put(3, {.command = "GOTO", .value1 = "2", .value3 = "2"});
    Put(4, {.command = "GOTO", .value1 = "1", .value3 = "1"});
    Put(5, {.command = "END"});
    run.Start();
    RunTicks();
    EXPECT_EQ(link.sent, QStringList({"OUT", "A", "A", "A", "OUT", "A", "A", "A"}));
}

TEST_F(InterpreterSteps, GotoRowsTakeNoTickOfTheirOwn)
{
    // With no jumps left the GOTO falls through at once; the row reached waits the GOTO's time.
    Put(1, {.command = "A"});
    Put(2, {.command = "GOTO", .time = "00.00.00.300", .value1 = "1", .value3 = "0"});
    Put(3, {.command = "B", .time = "00.00.05.000"});
    Put(4, {.command = "C"});
    run.Start();
    EXPECT_EQ(TicksUntilSent(2), 2);
    EXPECT_EQ(link.sent, QStringList({"A", "B"}));
    EXPECT_EQ(state.CurrentRow, 3);
    EXPECT_EQ(TicksUntilSent(3), 3);
}

TEST_F(InterpreterSteps, SingleStepReArmsGotoAtEveryClick)
{
    Put(1, {.command = "A"});
    Put(2, {.command = "GOTO", .value1 = "1", .value3 = "1"});
    Put(3, {.command = "B"});
    for (int click = 0; click < 5; ++click) {
        run.SingleStep();
        EXPECT_TRUE(host.timer);
        run.Tick();
        EXPECT_FALSE(host.timer) << click;
    }
    EXPECT_EQ(link.sent, QStringList({"A", "A", "A", "A", "A"}));
    // Run through, the same loop jumps once.
    link.sent.clear();
    run.Start();
    RunTicks();
    EXPECT_EQ(link.sent, QStringList({"A", "A", "B"}));
}

TEST_F(InterpreterSteps, SingleStepLeavesItsWaitForTheNextClick)
{
    Put(1, {.command = "A", .time = "00.00.10.000"});
    Put(2, {.command = "B"});
    run.SingleStep();
    run.Tick();
    EXPECT_EQ(state.DelayTicks, 99);
    run.SingleStep();
    run.Tick();
    EXPECT_EQ(link.sent, QStringList({"A", "B"}));
}

TEST_F(InterpreterSteps, PauseRowWaitsForAContinuePerTickOfItsTime)
{
    Put(1, {.command = "PAUSE", .time = "00.00.02.000"});
    Put(2, {.command = "B"});
    run.Start();
    run.Tick();
    EXPECT_FALSE(host.timer);
    EXPECT_TRUE(state.RunPaused);
    EXPECT_EQ(link.sent, QStringList({"PAUSE"})); // sent and recorded like any command
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "", "", "", "", ""}));
    int continues = 0;
    while (link.sent.size() < 2 && continues < 100) {
        run.Continue();
        ++continues;
        RunTicks(1);
    }
    EXPECT_EQ(continues, 20);

    // With the default time one Continue passes it.
    Put(1, {.command = "PAUSE"});
    link.sent.clear();
    run.Start();
    RunTicks();
    run.Continue();
    RunTicks();
    EXPECT_EQ(link.sent, QStringList({"PAUSE", "B"}));
}

TEST_F(InterpreterSteps, PauseAndContinueKeepTheWait)
{
    Put(1, {.command = "A", .time = "00.00.00.500"});
    Put(2, {.command = "B"});
    run.Continue(); // never started: nothing to resume
    EXPECT_FALSE(host.timer);
    run.Start();
    run.Tick();
    run.Tick();
    run.Pause();
    EXPECT_FALSE(host.timer);
    run.Pause();
    run.Continue();
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(TicksUntilSent(2), 4);
    RunTicks();
    run.Continue(); // ended at END: not resumed
    EXPECT_FALSE(host.timer);
}

TEST_F(InterpreterSteps, WithoutEndTheRunStopsAtTheSpareRow)
{
    for (int r = 1; r <= 200; ++r)
        Put(r, {.command = "X" + QString::number(r)});
    run.Start();
    EXPECT_EQ(RunTicks(), 201);
    EXPECT_EQ(link.sent.size(), 200);
    EXPECT_EQ(state.LastRow, 201);
    EXPECT_FALSE(state.StepReady);

    // Started again after it without "Start at Step 1": there is no row 202.
    host.options.StartAtStep1 = false;
    link.sent.clear();
    run.Start();
    EXPECT_EQ(RunTicks(), 1);
    EXPECT_TRUE(link.sent.isEmpty());
    EXPECT_EQ(host.result, "END: no row 202");
    run.Start(); // and the next Start begins at the top again
    TicksUntilSent(1);
    EXPECT_EQ(link.sent, QStringList({"X1"}));
}

TEST_F(InterpreterSteps, StartBeginsAfterTheClickedRowUnlessStartAtStepOne)
{
    for (int r = 1; r <= 9; ++r)
        Put(r, {.command = "R" + QString::number(r)});
    host.options.StartAtStep1 = false;
    run.Start(); // nothing clicked since the window opened: row 1
    TicksUntilSent(1);
    EXPECT_EQ(link.sent, QStringList({"R1"}));

    link.sent.clear();
    run.RowClicked(7);
    run.Start();
    TicksUntilSent(1);
    EXPECT_EQ(link.sent, QStringList({"R7"}));

    link.sent.clear();
    run.RowClicked(7);
    run.SingleStep();
    run.Tick();
    run.SingleStep();
    run.Tick();
    EXPECT_EQ(link.sent, QStringList({"R7", "R8"}));

    link.sent.clear();
    host.options.StartAtStep1 = true;
    run.RowClicked(7);
    run.Start();
    TicksUntilSent(1);
    EXPECT_EQ(link.sent, QStringList({"R1"}));

    // A new window starts from the top.
    run.WindowCreated();
    link.sent.clear();
    run.SingleStep();
    run.Tick();
    EXPECT_EQ(link.sent, QStringList({"R1"}));
}

TEST_F(InterpreterSteps, JumpsOutsideTheTableEndTheRun)
{
    for (const QString target : {"500", "202", "-1", "0"}) {
        link.sent.clear();
        Put(1, {.command = "A"});
        Put(2, {.command = "GOTO", .value1 = target, .value3 = "1"});
        Put(3, {.command = "B"});
        run.Start();
        const int ticks = RunTicks();
        EXPECT_EQ(ticks, 2) << target.toStdString();
        EXPECT_EQ(link.sent, QStringList({"A"}));
        EXPECT_FALSE(host.timer);
        EXPECT_EQ(host.result, "END: no row " + target);
        run.Continue();
        EXPECT_FALSE(host.timer);
    }
    // A GOTO that keeps jumping to itself within the tick.
    link.sent.clear();
    Put(2, {.command = "GOTO", .value1 = "2", .value3 = "5000"});
    run.Start();
    EXPECT_EQ(RunTicks(), 2);
    EXPECT_EQ(host.result, "END: GOTO loop at row 2");
    EXPECT_EQ(link.sent, QStringList({"A"}));

    // A limit failure's target, taken once the row's wait is over.
    link.sent.clear();
    Put(1, {.command = "MEAS:VOLT?",
            .time = "00.00.00.200",
            .value1 = "500",
            .lower = "100",
            .upper = "300"});
    run.Start();
    run.Tick();
    run.ReplyReceived("12.00V\r\n");
    EXPECT_EQ(state.JumpTarget, 500);
    EXPECT_EQ(RunTicks(), 2);
    EXPECT_EQ(host.result, "END: no row 500");
    EXPECT_EQ(link.sent, QStringList({"MEAS:VOLT?"}));
    EXPECT_EQ(state.JumpTarget, 0);
}

TEST_F(InterpreterSteps, StartPreparesAFreshReport)
{
    Put(1, {.command = "A"});
    Put(2, {.command = "B"});
    run.Start();
    RunTicks();
    EXPECT_EQ(results.RowCount(), 3);
    EXPECT_EQ(host.newReports, 1);
    // The next run writes from row 1 again; the old rows go once its first result is in.
    Put(2, {.command = "END"});
    run.Start();
    EXPECT_EQ(results.RowCount(), 3);
    EXPECT_EQ(results.Row(0), ResultTable::Captions());
    RunTicks();
    EXPECT_EQ(results.RowCount(), 2);
    EXPECT_EQ(host.newReports, 2);
}

TEST_F(InterpreterSteps, SerialNumberAdvancesAtStartWhenTicked)
{
    Put(1, {.command = "A"});
    run.Start();
    EXPECT_EQ(host.fields.SerialText, "0505000120");
    host.options.SerialPlusOne = true;
    run.Start();
    EXPECT_EQ(host.fields.SerialText, "0505000121");
    run.Start();
    EXPECT_EQ(host.fields.SerialText, "0505000122");
    EXPECT_EQ(state.Copies.SerialText, "0505000122");

    // A single step from the top starts a new unit even without the box; later ones do not.
    host.options.SerialPlusOne = false;
    host.fields.UnitText = "Unit B";
    run.WindowCreated();
    run.SingleStep();
    EXPECT_EQ(host.fields.SerialText, "0505000123");
    EXPECT_EQ(state.Copies.SerialText, "0505000123");
    EXPECT_EQ(state.Copies.UnitText, "Unit B");
    run.Tick();
    run.SingleStep();
    EXPECT_EQ(host.fields.SerialText, "0505000123");
}

namespace {

// Takes "@SETVAR01" as a control keyword and puts 230.0 for "@VAR01", as the variables will.
class OneVariable : public StepKeywords {
public:
    bool ControlKeyword(TestInterpreter& run, const QString& command) override
    {
        if (command != "@SETVAR01")
            return false;
        value = run.Cell(kTestValue1);
        return true;
    }
    QString Substitute(const QString& line) override
    {
        const qsizetype at = line.indexOf('@');
        return line.mid(at, 6) == "@VAR01" ? line.left(at) + value : line;
    }
    QString value;
};

} // namespace

TEST_F(InterpreterSteps, KeywordSeamsDecideWhatIsSent)
{
    Put(1, {.command = "@SETVAR01", .time = "00.00.05.000", .value1 = "230.0"});
    Put(2, {.command = "SOUR:VOLTAC,@VAR01;OUTP,1"});
    Put(3, {.command = "@COM03:@VAR01"});
    run.Start();
    RunTicks(); // without them both rows are plain lines
    EXPECT_EQ(link.sent, QStringList({"@SETVAR01", "SOUR:VOLTAC,@VAR01;OUTP,1"}));

    OneVariable keywords;
    run.SetKeywords(&keywords);
    link.sent.clear();
    link.aux.clear();
    run.Start();
    EXPECT_EQ(TicksUntilSent(1), 2); // a control row takes one tick, whatever its time
    EXPECT_EQ(link.sent, QStringList({"SOUR:VOLTAC,230.0"}));
    EXPECT_EQ(ResultRow(1)[0], " 2"); // control rows leave no result
    RunTicks();
    EXPECT_EQ(link.aux, QStringList({"COM3 @VAR01\n"})); // only at the first '@'
    run.SetKeywords(nullptr);
}
