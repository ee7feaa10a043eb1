#pragma once

#include "autotest/report_verdict.h"
#include "autotest/result_table.h"
#include "autotest/run_host.h"
#include "autotest/run_journal.h"
#include "autotest/session.h"
#include "autotest/value_prompt.h"
#include "link/reply_sink.h"
#include "panel/panel_state.h"
#include "results/instrument_source.h"
#include "results/results_store.h"
#include "run/junit_report.h"
#include "run/limit_set.h"
#include "run/run_identification.h"
#include "run/run_options.h"
#include "run/runner_console.h"
#include "run/terminal_questions.h"
#include "sequence/step_grid.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QSocketNotifier;

// A test table run without windows: the table read from its file, the program's link started
// as the desktop program starts it, the run ticked every 100 ms as the test window's "Start"
// with "Start at Step 1" does, and the results written at the end. Exec() returns the exit
// status: 0 every checked row passed, 1 a row failed its limits or got no reply (shown in the
// report or not), 2 the run itself failed. A run that does not reach its end row leaves the
// instrument's output switched off.
class TestRunner : public QObject,
                   private TestHost,
                   private ValuePrompt,
                   private ReplySink,
                   private GpibMessages {
    Q_OBJECT

public:
    enum Status { kPassed = 0, kFailed = 1, kRunError = 2 };

    // How a run ended, in one place, each part with its cause.
    struct RunOutcome {
        bool ReachedEnd = false; // the end row was reached
        bool Aborted = false;    // interrupted or timed out, as opposed to a failure of the run
        QString RunError;        // why the run itself failed; empty when it did not
        QStringList FileErrors;  // result files that could not be kept
        QString SafeEnd;         // what became of the output when the end row was not reached
        bool NotOpened = false;  // the instrument's link could not be opened: nothing was sent
        bool Lost = false;       // the instrument's port went away during the run
        bool Stopped = false;    // the operator broke the run off
        int Status = kRunError;  // the exit status
    };

    // A PAUSE row waits and a prompt asks where SetTerminal says, instead of going on with a
    // warning.
    TestRunner(LinkState& link, PanelState& panel, ProgramPlaces& places, AutotestState& test,
               RunnerOptions options, RunnerConsole& console);
    ~TestRunner() override;

    // Starts the run; false when it could not begin (the table, an output folder or the link:
    // the error is told, and Finished does not follow). Otherwise Finished comes once the run
    // is over and its results are written, with the exit status.
    bool Start();
    // Starts, runs until the end and writes the results; the exit status.
    int Exec();
    bool IsFinished() const { return m_finished; }
    int Status() const { return m_outcome.Status; }
    // Ctrl-C: the run ends now as a failed run, with what was recorded so far saved.
    void Interrupt();
    // How the run stands or ended, in the operator's words: "starting", "running", "passed",
    // "failed", "could not open", "lost", "stopped", "timed out", "error".
    QString EndState() const;
    // Ends the run before it began, with why (Finished follows at once).
    void Refuse(const QString& why);
    // How long the run took, from Start to its end (so far, while it runs).
    qint64 ElapsedMs() const { return m_finished ? m_endedMs : m_elapsed.elapsed(); }

    const ResultTable& Results() const { return m_results; }
    // Why the run itself failed; empty when it reached its end or a failed row ended it.
    const QString& RunError() const { return m_outcome.RunError; }
    const RunOutcome& Outcome() const { return m_outcome; }
    // Every row listed in JUnit and on the console, from row 1 on: the shown ones and the
    // hidden ones that failed (step, comment, lower limit, value, upper limit, mark). Kept as
    // compactly as the report, so a shift-long run does not grow with copies of its rows.
    const ResultTable& ListedSteps() const { return m_listed; }
    // The run as JUnit tells it.
    JUnitRun JUnitSummary() const;
    // The run as the printed report's closing line tells it.
    ReportVerdict Verdict() const;
    // Asked for "@MSGVARnn" before the preset answers and the terminal: the variable's number,
    // the row's default and its prompt. No value: not answered there.
    using AnswerSource =
        std::function<std::optional<QString>(int variable, const QString&, const QString&)>;
    void SetAnswerSource(AnswerSource source) { m_answerSource = std::move(source); }
    // The terminal the runs of this process share (a rack); a run with a terminal on standard
    // input and none given keeps one of its own.
    void SetTerminal(RunQuestions* terminal) { m_terminal = terminal; }
    // Where the run is recorded (the results database); none when null.
    void SetJournal(RunJournal* journal) { m_journal = journal; }
    // Writes the printed report as a PDF file (needs a GUI application); set by the program
    // when a PDF is asked for, so that the runner itself needs no GUI.
    using PdfWriter = std::function<bool(const QString& path, const TestHeader&, const QString&,
                                         const ResultTable&, const ReportVerdict&)>;
    void SetPdfWriter(PdfWriter writer) { m_pdfWriter = std::move(writer); }

Q_SIGNALS:
    void Finished(int status);

private:
    bool ReadTable();
    QList<int> PortsToOpen();
    void PortsOpened();
    // Before the first row: the devices asked what they are, the limits for the instrument's
    // model applied and its calibration looked at; then the rows begin.
    void Identify();
    void Identified();
    QString ApplyModelLimits();
    QString CheckCalibration();
    bool ReadLimits();
    RunBeginning Beginning() const;
    bool CheckOutputFolders();
    bool StartLink();
    void SwitchOutputOff();
    void TimerStopped();
    void Finish(const QString& runError);
    void WriteResults();
    void Fail(const QString& runError);
    int EndRow() const;
    QString FindAnswer(const QString& defaultText, const QString& promptText);
    std::optional<QString> PresetAnswer(int variable, const QString& defaultText,
                                        const QString& promptText) const;
    void AskTerminal(int variable, const QString& defaultText, const QString& promptText,
                     Answered answered);
    void PortLost(TCiaComPort* port, int error);
    QString LinkName() const;
    QString ReportFolder() const;

    // TestHost
    void SetTimer(bool on) override;
    bool TimerEnabled() const override { return m_timer.isActive(); }
    TestOptions Options() const override;
    TestHeader HeaderFields() const override { return m_header; }
    void SetSerialField(const QString& text) override;
    void RunStarted(bool newReport) override;
    void ShowStepNumber(const QString&) override {}
    void ShowStepFields(const QString&, const QString&, const QString&) override {}
    void SetResultText(const QString&) override {}
    void SetResultRed(bool) override {}
    void ShowMessage(const QString& text) override;
    void StepRecorded(const QStringList& cells, bool shown) override;
    void RunError(const QString& reason) override { Fail(reason); }
    void LateReply(const QString& text) override;
    void ReportSaved(const QString& path) override;
    // ValuePrompt: "@MSGVARnn".
    QString AskValue(const QString& defaultText, const QString& promptText) override;
    bool AskValueLater(const QString& defaultText, const QString& promptText,
                       Answered answered) override;
    // ReplySink: the start-up's and ports' own lines; a port's problem is asked of the port.
    void ParseReply(const QString&) override {}
    // GpibMessages: a GPIB error during the run means the instrument is lost.
    void AppendErrBox(const QString& line) override;
    void ClearErrBox() override {}
    void SetMeter(const QString&) override {}

    LinkState& m_link;
    PanelState& m_panel;
    ProgramPlaces& m_places;
    AutotestState& m_test;
    RunnerOptions m_options;
    RunnerConsole& m_console;
    MemoryStepGrid m_table;
    ResultTable m_results;
    TestHeader m_header;
    std::unique_ptr<TestSession> m_session;
    QTimer m_timer;
    QTimer m_timeout;
    QElapsedTimer m_elapsed;
    qint64 m_endedMs = 0;
    bool m_running = false;   // the rows began: a failure ends the run through Finish
    bool m_tableRead = false; // the table and folders passed: a failure ends it through Finish
    RunQuestions* m_terminal = nullptr;
    bool m_waitingForEnter = false; // a PAUSE row waits for the operator's Enter

    QString m_pendingMessage;
    ResultTable m_listed;
    int m_shownRows = 0;  // listed rows with "Show" set
    int m_failedRows = 0; // listed rows with a mark
    QStringList m_notes;  // what the run did besides its rows, for JUnit and the report
    int m_gpibErrors = 0; // GPIB error lines seen
    RunJournal* m_journal = nullptr;
    bool m_finished = false;
    RunOutcome m_outcome;
    PdfWriter m_pdfWriter;
    QDateTime m_startedAt;
    QStringList m_answers; // "VAR01=230", as the operator answered the prompts
    TestedWith m_tested;
    std::optional<LimitSet> m_limits;
    std::unique_ptr<TestLink> m_identifyLink;
    std::unique_ptr<RunIdentification> m_identify;
    std::shared_ptr<InstrumentSource> m_instruments;
    bool m_identifySilent = false; // the instrument's identification query went unanswered
    AnswerSource m_answerSource;
};

// What the results journal or the line's server could not take, as warnings on the console.
void WarnUnrecorded(const ResultsStore::Status& recorded, RunnerConsole& console);
// The same as texts: the journal's and the server's, each empty when it took the run, and the
// runs the journal did not take at all (an error: the run is not recorded).
struct UnrecordedTexts {
    QString Journal, Server, NotRecorded;
    QStringList NotRecordedRuns; // their UUIDs
};
UnrecordedTexts Unrecorded(const ResultsStore::Status& recorded);
