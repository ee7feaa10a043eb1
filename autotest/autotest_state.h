#pragma once

#include "autotest/run_state.h"
#include "common/stopwatch_values.h"

#include <array>

// The test run's program-wide state: it lives for the whole program, not just while the test
// window is open.
struct AutotestState {
    // The step interpreter's state with the report's header copies (ReporterText, UnitText,
    // SerialText).
    TestRunState TestRun;
    // @VAR01 ... @VAR10: 0 at program start, never reset while the program runs.
    std::array<double, 10> TestVariables{};
    StopwatchValues Stopwatch;
};
