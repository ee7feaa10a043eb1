// The "@" keywords of a test table through the interpreter: the ten variables, the operator
// prompt, the stopwatch and the time of day, over the fake window and link.
#include "autotest/preset_answers.h"
#include "autotest/run_clock.h"
#include "autotest/variable_keywords.h"
#include "tests/autotest/interpreter_fakes.h"

#include <QLocale>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

namespace {

// A clock the test sets: 1000 counts per second unless told otherwise.
class FakeClock : public TestClock {
public:
    qint64 CounterFrequency() const override { return frequency; }
    qint64 Counter() const override { return counter; }
    QTime TimeOfDay() const override { return time; }

    qint64 frequency = 1000;
    qint64 counter = 0;
    QTime time{14, 5, 9};
};

// A prompt that lets the test look at the run while the operator is being asked.
class WatchedPrompt : public ValuePrompt {
public:
    QString AskValue(const QString& defaultText, const QString& promptText) override
    {
        return answer(defaultText, promptText);
    }
    std::function<QString(const QString&, const QString&)> answer;
};

class VariableRows : public InterpreterTest {
protected:
    VariableRows() { run.SetKeywords(&keywords); }

    // Starts the run and ticks it to its end.
    void RunTable()
    {
        run.Start();
        RunTicks();
    }

    VariableKeywords::Variables variables{};
    StopwatchValues stopwatch;
    FakeClock clock;
    PresetAnswers answers;
    VariableKeywords keywords{variables, stopwatch, clock, answers};
};

} // namespace

TEST_F(VariableRows, SetAddSubtractAndSubstitute)
{
    Put(1, {.command = "@SETVAR01", .value1 = "230"});
    Put(2, {.command = "SOUR:VOLTAC,@VAR01"});
    Put(3, {.command = "SOUR:VOLTAC,@VAR01;OUTP,1"});
    Put(4, {.command = "SOUR:VOLTAC,@VAR11"});
    Put(5, {.command = "@SETVAR02", .value1 = "3"});
    Put(6, {.command = "@SUBVAR02", .value1 = "5"});
    Put(7, {.command = "@SETVAR03", .value1 = ""});
    Put(8, {.command = "@ADDVAR10", .value1 = "-2.5"});
    Put(9, {.command = "A@VAR10 B@VAR01"});
    Put(10, {.command = "@ADDVAR01", .value1 = "0.25A"}); // its leading number
    Put(11, {.command = "@SETVAR1", .value1 = "9"});      // near misses are plain lines
    Put(12, {.command = "@setvar04", .value1 = "9"});
    Put(13, {.command = "@SETVAR04 ", .value1 = "9"});
    Put(14, {.command = "@COM03:@VAR01"});
    Put(15, {.command = "END"});
    variables[2] = 7;
    RunTable();

    EXPECT_EQ(link.sent,
              QStringList({"SOUR:VOLTAC,230.0", "SOUR:VOLTAC,230.0", "SOUR:VOLTAC,@VAR11", "A-2.5",
                           "@SETVAR1", "@setvar04", "@SETVAR04 "}));
    EXPECT_EQ(link.aux, QStringList({"COM3 @VAR01\n"})); // prefixed lines keep their text
    EXPECT_EQ(variables[0], 230.25);
    EXPECT_EQ(variables[1], 0.0);
    EXPECT_EQ(variables[2], 0.0);
    EXPECT_EQ(variables[3], 0.0);
    EXPECT_EQ(variables[9], -2.5);
    // Control rows send nothing and leave no result row.
    EXPECT_EQ(results.Row(1)[0], " 2");
    EXPECT_EQ(results.RowCount(), 9);
}

TEST_F(VariableRows, VariablesOutliveRunsAndWindows)
{
    Put(1, {.command = "@ADDVAR05", .value1 = "1.5"});
    Put(2, {.command = "V,@VAR05"});
    Put(3, {.command = "END"});
    RunTable();
    run.WindowCreated(); // the window closed and opened again
    RunTable();
    // A new keywords object over the same variables, as a new test window makes one.
    VariableKeywords again{variables, stopwatch, clock, answers};
    run.SetKeywords(&again);
    RunTable();
    EXPECT_EQ(link.sent, QStringList({"V,1.5", "V,3.0", "V,4.5"}));
}

TEST_F(VariableRows, PromptHoldsTheRunWhileTheOperatorAnswers)
{
    WatchedPrompt prompt;
    VariableKeywords asking{variables, stopwatch, clock, prompt};
    run.SetKeywords(&asking);
    Put(1, {.command = "@MSGVAR04", .value1 = "12.5", .comment = "Voltage?"});
    Put(2, {.command = "V,@VAR04"});
    Put(3, {.command = "@MSGVAR04", .value1 = "12.5", .comment = "Again?"});
    Put(4, {.command = "V,@VAR04"});
    Put(5, {.command = "END"});

    QStringList asked;
    QStringList answers{"7", "seven"};
    prompt.answer = [&](const QString& defaultText, const QString& promptText) {
        // While the window is open no tick may run, and the run counts as paused.
        asked << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(defaultText, promptText, host.result)
                     .arg(host.timer)
                     .arg(state.RunPaused);
        return answers.takeFirst();
    };
    run.Start();
    run.Tick();
    EXPECT_TRUE(host.timer) << "the run goes on by itself after the prompt";
    EXPECT_FALSE(state.RunPaused);
    RunTicks();
    EXPECT_EQ(asked, QStringList({"12.5|Voltage?|PAUSE|0|1", "12.5|Again?|PAUSE|0|1"}));
    EXPECT_EQ(link.sent, QStringList({"V,7.0", "V,0.0"})); // no number: 0
    EXPECT_EQ(results.RowCount(), 3);

    // A single step prompts too, and stops after its tick as single steps do.
    answers = QStringList{"3"};
    run.RowClicked(1);
    run.SingleStep();
    run.Tick();
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(variables[3], 3.0);
    EXPECT_EQ(asked.last(), "12.5|Voltage?|PAUSE|0|1");
    // A prompt outside a running tick leaves the timer off.
    answers = QStringList{"4"};
    state.CurrentRow = 1;
    EXPECT_EQ(asking.PromptVariable(run), 4.0);
    EXPECT_EQ(asked.last(), "12.5|Voltage?|PAUSE|0|0");
    EXPECT_FALSE(host.timer);
}

TEST_F(VariableRows, WindowlessAnswersRunOutIntoTheDefaults)
{
    answers = PresetAnswers({"230"});
    Put(1, {.command = "@MSGVAR01", .value1 = "100", .comment = "first"});
    Put(2, {.command = "@MSGVAR02", .value1 = "50", .comment = "second"});
    Put(3, {.command = "V,@VAR01"});
    Put(4, {.command = "V,@VAR02"});
    Put(5, {.command = "END"});
    RunTable();
    EXPECT_EQ(answers.Asked(), QStringList({"first", "second"}));
    EXPECT_EQ(link.sent, QStringList({"V,230.0", "V,50.0"}));
}

TEST_F(VariableRows, StopwatchAndTimeOfDayAreReported)
{
    QLocale::setDefault(QLocale::c());
    Put(1, {.command = "@READTIME", .comment = "never started"});
    Put(2, {.command = "@STARTTIME"});
    Put(3, {.command = "@READTIME", .comment = "elapsed"});
    Put(4, {.command = "@READTIME", .show = "0"});
    Put(5, {.command = "@SYSTIME", .comment = "clock"});
    Put(6, {.command = "END"});
    clock.counter = 5000;
    run.Start();
    run.Tick(); // before any start there is nothing to divide by
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "never started", "", "0.000", "", ""}));
    EXPECT_EQ(host.result, "0.000");
    run.Tick();
    clock.counter = 7500;
    clock.frequency = 1; // taken at the start only
    run.Tick();
    RunTicks();
    EXPECT_EQ(ResultRow(2), QStringList({" 3", "elapsed", "", "2.500", "", ""}));
    EXPECT_EQ(ResultRow(3), QStringList({" 5", "clock", "", "14:05:09", "", ""}));
    EXPECT_EQ(results.RowCount(), 4);
    EXPECT_TRUE(link.sent.isEmpty());
    // The service tool's timing fields read these.
    EXPECT_EQ(stopwatch.StartMark, 5000);
    EXPECT_EQ(stopwatch.EndMark, 7500);
    EXPECT_EQ(stopwatch.CounterFrequency, 1000);
    EXPECT_DOUBLE_EQ(stopwatch.ElapsedTime, 2.5);
    QLocale::setDefault(QLocale::system());
}

// The machine's clock: its counter goes forward, and counter over frequency is seconds of the
// monotonic clock (a counter in the wrong unit would stretch or shrink every stopwatch reading).
// Each reading is taken between two of the other clock's, so the checks hold on a busy machine.
TEST(SystemTestClock, CountsForwardInSecondsOfTheMonotonicClock)
{
    const auto monotonic = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    TestClock& clock = TestClock::System();
    const qint64 frequency = clock.CounterFrequency();
    ASSERT_GT(frequency, 0);
    const double outerStart = monotonic();
    const qint64 first = clock.Counter();
    const double innerStart = monotonic();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double innerEnd = monotonic();
    const qint64 last = clock.Counter();
    const double outerEnd = monotonic();
    ASSERT_GT(last, first);
    const double counted = static_cast<double>(last - first) / static_cast<double>(frequency);
    // 1 % either way leaves room for a clock that is slewed differently.
    EXPECT_GE(counted, (innerEnd - innerStart) * 0.99);
    EXPECT_LE(counted, (outerEnd - outerStart) * 1.01);

    // The time of day is the local wall clock's (unless midnight passes in between).
    const QTime before = QTime::currentTime();
    const QTime now = clock.TimeOfDay();
    const QTime after = QTime::currentTime();
    ASSERT_TRUE(now.isValid());
    if (before <= after) {
        EXPECT_LE(before, now);
        EXPECT_LE(now, after);
    }
}
