#pragma once

#include "autotest/run_host.h"
#include "autotest/run_link.h"
#include "autotest/run_state.h"
#include "autotest/step_keywords.h"

#include <QByteArray>
#include <QString>

class ResultTable;
class StepGrid;

// Runs the test table row by row: every Tick() (Timer1, 100 ms) enters, sends or waits on one
// row; replies come in through ReplyReceived() between ticks (serial) or inside the tick
// (GPIB) and are checked against the row's limits, each reported step becoming a row of the
// result table. No widget: the window, or a runner without one, is reached through TestHost,
// the devices through TestLink.
// What an external-meter keyword writes to the meter's port; null for any other command.
const char* MeterText(const QString& command);
// Whether a row of the table talks to the external meter.
bool TableReadsMeter(const StepGrid& table);

class TestInterpreter {
public:
    static constexpr int kTickMs = 100;
    // GOTO rows followed within one tick before the table counts as looping for ever.
    static constexpr int kMaxGotosPerTick = 1000;

    TestInterpreter(const StepGrid& table, TestRunState& state, ResultTable& results,
                    TestHost& host, TestLink& link);

    // Variable, prompt and stopwatch keywords; null goes back to none.
    void SetKeywords(StepKeywords* keywords);
    // Where Auto Save writes its report (the caller knows where this program may write), and
    // the start date the report carries.
    // With tellWhere (the program's own folder was not writable and the report goes elsewhere)
    // the operator is told once where the first report went.
    // With keepEarlier a report never replaces an earlier one: the next free name is taken.
    void SetReportPlace(const QString& directory, const QString& startDate, bool tellWhere = false,
                        bool keepEarlier = false);

    // The test window was created: the run starts over from the top.
    void WindowCreated();
    // "Start", "Single Step", "Pause", "Continue".
    void Start();
    void SingleStep();
    void Pause();
    void Continue();
    // A port the run uses went away: the run holds as after a failed write ("PAUSE"); the
    // operator was told already.
    void HoldAtLostPort();
    // A left press on a table row: that row is the next one Start (without "Start at Step 1")
    // and Single Step execute.
    void RowClicked(int row);

    // One timer tick.
    void Tick();
    // A delivery from a port (0 the instrument, otherwise the COM number of the port it came
    // on): kept as ReplyLine and evaluated against the current row, unless it is the late
    // reply to a row that was given up on.
    void ReplyReceived(const QByteArray& line, int port = 0);
    // The run is broken off (interrupted, timed out): a query still waiting for its reply is
    // recorded as unanswered.
    void AbandonRun();
    // Checks ReplyLine against the current row's limits and reports the step.
    void EvaluateReply();
    // Appends the current row to the result table, unless its "Show" is "0".
    void RecordStep(const QString& lower, const QString& upper, const QString& value);

    // A prompt row holds the run while the operator answers: the timer stops and "PAUSE" shows.
    // ResumeAfterPrompt lets it go on, unless it was not running when the prompt came.
    void HoldForPrompt();
    void ResumeAfterPrompt();
    // A keyword row's own result (a time, an elapsed time): shown as the step's result text and,
    // when the row is ready, recorded with no limits.
    void ReportResultText(const QString& text);

    // The run as it stands; only the interpreter changes it.
    const TestRunState& State() const { return m_state; }
    // The cell of the current row, read anew at every use (the operator may be editing it).
    QString Cell(int column) const;
    // The line the current row sent, its variables filled in; the row's command when it sent
    // nothing (a keyword row).
    QString SentLine() const;

private:
    bool EnterRow(int row);
    void EndRun(const QString& reason);
    bool GotoRow();
    void SendRow(QString line);
    void SendSerial(QString line);
    void SendGpib(QString line);
    void ShowRowFields();
    void PauseAfterWriteFailure(const QString& error);
    // Suspends a running test for the reason given; every hold but the operator's own shows
    // "PAUSE" as the result.
    void HoldRun(RunHold why);
    void LimitFailed(int targetColumn);
    void GiveUpReply();
    void RecordNoReply();
    void EndOfTick();
    // The pieces of Tick, in the order it runs them.
    void BeginTick();
    bool EnterNextRow();
    bool FollowGotos();
    void StopAtPauseOrEnd(const QString& command);
    void ClearRunState();
    void ResetRun();
    void TakeHeaderCopies(bool advanceSerial, bool newReport);
    void AutoSave();

    const StepGrid& m_table;
    TestRunState& m_state;
    ResultTable& m_results;
    TestHost& m_host;
    TestLink& m_link;
    StepKeywords* m_keywords;
    QString m_reportDirectory;
    QString m_startDate;
    bool m_tellWhereSaved = false;
    bool m_keepEarlierReports = false;
    // A reply was evaluated inside this tick (GPIB): its red colour stays until the next one.
    bool m_evaluatedThisTick = false;
    QString m_sentLine;
    int m_sentRow = 0;
};
