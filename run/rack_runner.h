#pragma once

#include "program/program_state.h"
#include "results/run_recorder.h"
#include "run/rack_options.h"
#include "run/rack_view.h"
#include "run/run_options.h"
#include "run/runner.h"
#include "run/runner_console.h"

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class ResultsStore;

// One table on several instruments at once, in one process — or, with no slots in the options,
// on the one instrument of the options' link, as a rack of one slot: each slot a run of its own
// with its own program state (link, ports, interpreter, variables, stopwatch), console lines,
// record and result files; all on this thread's event loop, ticking side by side. One slot's
// failure, lost instrument or time-out ends that slot alone.
class RackRunner : public QObject {
    Q_OBJECT

public:
    RackRunner(const RunnerOptions& options, ResultsStore& results, bool stdinTerminal);
    ~RackRunner() override;

    void SetPdfWriter(TestRunner::PdfWriter writer) { m_pdfWriter = std::move(writer); }
    // Makes each slot's console; prefix names the slot's lines ("COM3 0505000121: "), empty for
    // a run on its own. Lines on standard error when not set.
    using ConsoleMaker = std::function<std::unique_ptr<RunnerConsole>(const QString& prefix)>;
    // The rack's own lines (its summary) go to one made with an empty prefix.
    void SetConsoles(ConsoleMaker maker);
    void SetAnswerSource(TestRunner::AnswerSource source) { m_answers = std::move(source); }
    // Where each slot's run is recorded, given the slot's own recorder (a script keeps the rows
    // on the way); the recorder itself when not set.
    using SlotJournal = std::function<RunJournal*(int slot, RunRecorder& recorder)>;
    void SetSlotJournal(SlotJournal journal) { m_slotJournal = std::move(journal); }
    // Shows the slots there (a terminal's live board, the rack window) instead of a line per row
    // on standard error; set before Start.
    void SetView(RackView* view) { m_view = view; }
    // Where the slots' PAUSE rows and prompts are asked instead of the terminal (the rack
    // window); set before Start.
    void SetQuestions(RunQuestions* questions) { m_questions = questions; }
    // Starts every slot; false when the rack could not start at all (Error says why). Finished
    // follows once every slot has ended and the rack's JUnit file is written, with the exit
    // status: 0 every slot passed, 1 a slot failed and none had a run error, 2 a slot had a run
    // error.
    bool Start();
    bool IsFinished() const { return m_finished; }
    // Start, and wait for the end; the exit status.
    int Exec();
Q_SIGNALS:
    void Finished(int status);

public:
    // Why the rack did not start at all; empty when its slots ran.
    const QString& Error() const { return m_error; }
    // Ctrl-C: every slot ends now, with what it recorded kept.
    void Interrupt();

    struct Slot {
        RackSlot Given;
        QString Serial;
        ProgramState State;
        std::unique_ptr<RunnerConsole> Console;
        std::unique_ptr<RunRecorder> Recorder;
        std::unique_ptr<TestRunner> Runner;
        int Status = TestRunner::kRunError;
        int ViewSlot = -1; // its line on the view
    };
    const std::vector<std::unique_ptr<Slot>>& Slots() const { return m_slots; }

private:
    bool Single() const { return m_options.Slots.isEmpty(); }
    bool StartSingle();
    QString CheckRackOutputs() const;
    QStringList SlotSerials(const TestHeader& header, QString* lastCounted) const;
    void StartSlot(int index, Slot& slot, const QString& rackRun);
    void SlotEnded();
    void WriteJUnit();
    int Summary();

    RunnerOptions m_options;
    ResultsStore& m_results;
    bool m_stdinTerminal;
    TestRunner::PdfWriter m_pdfWriter;
    TestRunner::AnswerSource m_answers;
    SlotJournal m_slotJournal;
    ConsoleMaker m_consoles;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::unique_ptr<RunnerConsole> m_console;
    QString m_error;
    RackView* m_view = nullptr; // a terminal's live board, the rack window, or none
    RunQuestions* m_questions = nullptr;
    int m_running = 0;
    bool m_finished = false;
    bool m_fileError = false; // the table's serial number could not be written back
    int m_status = TestRunner::kRunError;
    TerminalQuestions m_terminal; // one keyboard for every slot's PAUSE and prompts
};
