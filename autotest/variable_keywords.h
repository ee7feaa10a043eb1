#pragma once

#include "autotest/step_keywords.h"
#include "common/stopwatch_values.h"

#include <array>

class TestClock;
class ValuePrompt;

// The ten test variables, the operator prompt, the stopwatch and the time of day as the test
// table's "@" keywords, and "@VAR01" ... "@VAR10" put into command lines. The variables and
// the stopwatch belong to the program run; this object only works on them.
class VariableKeywords : public StepKeywords {
public:
    static constexpr int kVariables = 10;
    using Variables = std::array<double, kVariables>;

    VariableKeywords(Variables& variables, StopwatchValues& stopwatch, TestClock& clock,
                     ValuePrompt& prompt);

    bool ControlKeyword(TestInterpreter& run, const QString& command) override;
    QString Substitute(const QString& line) override;

    // "@MSGVARnn": the run is held while the operator answers, and goes on by itself after.
    double PromptVariable(TestInterpreter& run);

    // The value as it goes into a command line: one decimal, "230.0", "-2.5".
    static QString VariableText(double value);

private:
    bool VariableKeyword(TestInterpreter& run, const QString& command);
    void StartTime(TestInterpreter& run);
    void ReadTime(TestInterpreter& run);
    void SystemTime(TestInterpreter& run);
    void Report(TestInterpreter& run, const QString& text);

    Variables& m_variables;
    StopwatchValues& m_stopwatch;
    TestClock& m_clock;
    ValuePrompt& m_prompt;
};
