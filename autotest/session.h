#pragma once

#include "autotest/autotest_state.h"
#include "autotest/auxiliary_ports.h"
#include "autotest/interpreter.h"
#include "autotest/program_test_link.h"
#include "autotest/run_clock.h"
#include "autotest/variable_keywords.h"
#include "common/program_places.h"
#include "link/link_state.h"

#include <QStringList>

class ResultTable;
class StepGrid;
class ValuePrompt;

// One test table run against the program's ports: the interpreter over the program's link with
// the variable keywords, the auxiliary serial ports, the GPIB instrument, and the hand-over of
// every received line to the interpreter. The test window and the command-line runner open it
// the same way, so both talk to the devices alike.
class TestSession : private ReplyListener {
public:
    TestSession(LinkState& link, const ProgramPlaces& places, AutotestState& test,
                const StepGrid& table, ResultTable& results, TestHost& host, ValuePrompt& prompt,
                TestClock& clock = TestClock::System());
    ~TestSession() override;
    TestSession(const TestSession&) = delete;
    TestSession& operator=(const TestSession&) = delete;

    // Opens the auxiliary ports (all of the rule, or those numbered in `only`) and the GPIB
    // instrument, sets the run back to the top and starts taking the received lines. Returns the
    // errors of ports that could not be opened (they are skipped).
    QStringList Open(const std::optional<QList<int>>& only = std::nullopt);
    // Stops taking lines, clears the GPIB instrument and returns it to local, closes the
    // auxiliary ports. Once only; nothing when not open.
    void Close();
    bool IsOpen() const { return m_open; }

    TestInterpreter& Run() { return m_run; }
    const TestInterpreter& Run() const { return m_run; }
    // One tick of the run's timer: replies that arrived since the last tick are evaluated
    // first, against the row they answer, then the run moves on.
    void Tick();

private:
    void EvaluateReply(int port) override;
    void PortLost(int port) override;

    LinkState& L;
    const ProgramPlaces& F;
    ProgramTestLink m_link;
    AuxiliaryPorts m_auxiliary;
    TestInterpreter m_run;
    VariableKeywords m_keywords;
    bool m_open = false;
};
