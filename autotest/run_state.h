#pragma once

#include "autotest/table_header.h"
#include "replies/reply_resync.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>
#include <cstdint>

// Why a run is held (RunPaused); "Continue" goes on in every case.
enum class RunHold { None, Operator, PauseRow, StopAtError, PortFailed, Prompt };

// What the step interpreter keeps between ticks. It lives for the whole program run, outside
// any window, and is reset where the interpreter says so; nothing of it is saved.
struct TestRunState {
    // GOTO bookkeeping per row, rows 0 to 210.
    static constexpr int kGotoEntries = 211;

    int32_t CurrentRow = 0;         // row being executed; 0 = before the first step
    int32_t LastRow = 0;            // row of the latest tick; Start and Single Step go on after it
    int32_t JumpTarget = 0;         // row to go on with after a limit failure; 0 = none
    int32_t DelayTicks = 0;         // timer periods the current row still waits
    bool StepReady = false;         // the current row may be sent: no wait is running
    bool StepWaiting = false;       // the current row's wait is running; the row does not move
    bool RunPaused = false;         // suspended by Pause, a PAUSE row, "Stop at Error" or a prompt
    RunHold Hold = RunHold::None;   // what suspended it, while RunPaused
    bool SingleStepRequest = false; // stop the timer at the end of this tick
    std::array<uint8_t, kGotoEntries> GotoArmed{}; // 1: load the counter at the next visit
    std::array<int32_t, kGotoEntries> GotoCount{}; // jumps a GOTO row still makes
    bool ControlRow = false;                       // nothing is sent for the current row
    bool ExternalReply = false; // the awaited reply comes from an auxiliary device
    QByteArray ReplyLine;       // the delivery being evaluated, as received
    QString ReplyText;          // the value text shown in the result field
    double MeasuredValue = 0;
    double LowerLimitValue = 0;
    double UpperLimitValue = 0;
    QString ResultMark;     // "" or "Error!"
    int32_t ReportRow = 1;  // next row of the result table
    QString StepResultText; // what a control keyword leaves as the row's result
    TestHeader Copies;      // ReporterText, UnitText, SerialText as the report uses them
    // The query row whose reply has not come yet (0: none), and where that reply comes from:
    // 0 the instrument, otherwise the COM number of the auxiliary port or the meter's port.
    int32_t AwaitedRow = 0;
    int32_t AwaitedPort = 0;
    // Replies given up on, per port as above: when they come after all they answer a row that
    // was left, and are dropped instead of being checked against a later row.
    QHash<int32_t, int32_t> RepliesGivenUp;
    // The instrument's own port is resynchronised instead of counted: after a reply given up on,
    // its next query goes out behind the identification query, and every line up to that
    // answer is stale; so a reply that never comes costs its own row only.
    ReplyResync InstrumentResync;

    TestRunState() { GotoArmed.fill(1); }
};
