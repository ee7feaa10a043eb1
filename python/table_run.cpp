#include "python/table_run.h"

#include "program/program_state.h"
#include "python/event_wait.h"
#include "results/results_database.h"
#include "results/results_store.h"
#include "results/run_recorder.h"
#include "run/rack_runner.h"

#include <QFileInfo>
#include <QTimer>

namespace {

// The runner's journal, passed on to the station's, keeping each row as the journal keeps it.
class KeptRows : public RunJournal {
public:
    explicit KeptRows(RunRecorder& recorder) : m_recorder(recorder) {}
    void RunBegins(const RunBeginning& run) override
    {
        Rows.clear();
        m_recorder.RunBegins(run);
    }
    void StepRecorded(const QStringList& cells, bool shown, const QString& command) override
    {
        RowRecord row = RunRecorder::RowOf(cells, shown, command);
        row.Order = static_cast<int>(Rows.size()) + 1;
        Rows.append(row);
        m_recorder.StepRecorded(cells, shown, command);
    }
    void RunEnds(RunEnding ending, const QString& reason) override
    {
        m_recorder.RunEnds(ending, reason);
    }
    bool RunOpen() const override { return m_recorder.RunOpen(); }

    QList<RowRecord> Rows;

private:
    RunRecorder& m_recorder;
};

} // namespace

namespace {

// What a script keeps of a finished run.
TableRunResult TakeRun(int status, const TestRunner& runner, const RunRecorder& recorder,
                       const KeptRows& kept, const ProgramState& state,
                       const RunnerConsole& console, const UnrecordedTexts& unrecorded)
{
    TableRunResult r;
    r.Uuid = recorder.Run().Uuid;
    // As tavtest's: a run the journal did not take fails.
    const bool lost = !r.Uuid.isEmpty() && unrecorded.NotRecordedRuns.contains(r.Uuid);
    r.Status = lost ? TestRunner::kRunError : status;
    QStringList journal{lost ? unrecorded.NotRecorded : QString(), unrecorded.Journal};
    journal.removeAll(QString());
    r.JournalError = journal.join(QStringLiteral("; "));
    r.ServerError = unrecorded.Server;
    r.Warnings = console.Warnings();
    r.RunError = runner.RunError();
    r.Verdict = r.Uuid.isEmpty() ? QStringLiteral("error") : VerdictText(recorder.Run().Verdict);
    r.Rows = kept.Rows;
    r.Results = runner.Results();
    r.Copies = state.Test.TestRun.Copies;
    r.StartDate = state.Places.StartDate;
    r.JUnit = runner.JUnitSummary();
    r.ListedSteps = runner.ListedSteps();
    return r;
}

// Asks the script every 50 ms whether to break off; interrupt then ends the run(s).
class InterruptWatch {
public:
    InterruptWatch(const std::function<bool()>& interrupted, std::function<void()> interrupt)
    {
        if (!interrupted)
            return;
        QObject::connect(&m_timer, &QTimer::timeout, [this, interrupted, interrupt] {
            if (!Fired && interrupted()) {
                Fired = true;
                interrupt();
            }
        });
        m_timer.start(50);
    }
    bool Fired = false;

private:
    QTimer m_timer;
};

} // namespace

// Both run through the rack runner: a run on its own is a rack of one slot.
QList<TableRunResult> RunTables(const TableRunRequest& request, bool quiet, QString* error)
{
    EnsureCoreApplication();
    ResultsStore results(ResultsDatabase::JournalPath(StationOf(request.Options)),
                         StationOf(request.Options));
    RecordAsOptionsSay(results, request.Options);
    RunnerOptions options = request.Options;
    options.Quiet = quiet;
    RackRunner rack(options, results, false);
    rack.SetAnswerSource(request.Answers);
    // Quiet prints nothing at all: the script has every warning and error in its Run.
    if (quiet)
        rack.SetConsoles([](const QString& prefix) {
            auto console = std::make_unique<RunnerConsole>(nullptr, true, false);
            console->SetPrefix(prefix);
            return console;
        });
    std::vector<std::unique_ptr<KeptRows>> kept;
    rack.SetSlotJournal([&kept](int, RunRecorder& recorder) {
        kept.push_back(std::make_unique<KeptRows>(recorder));
        return kept.back().get();
    });
    InterruptWatch watch(request.Interrupted, [&rack] { rack.Interrupt(); });
    rack.Exec();
    *error = options.Slots.isEmpty() ? QString() : rack.Error();
    const UnrecordedTexts unrecorded = Unrecorded(results.Flush());
    QList<TableRunResult> runs;
    for (size_t i = 0; i < rack.Slots().size() && i < kept.size(); ++i) {
        const auto& slot = rack.Slots()[i];
        TableRunResult r = TakeRun(slot->Status, *slot->Runner, *slot->Recorder, *kept[i],
                                   slot->State, *slot->Console, unrecorded);
        r.Interrupted = watch.Fired;
        r.Slot = slot->Given.Name;
        runs << r;
    }
    return runs;
}

TableRunResult RunTable(const TableRunRequest& request, bool quiet)
{
    RunnerOptions options = request.Options;
    options.Slots.clear();
    QString error;
    const QList<TableRunResult> runs =
        RunTables({options, request.Answers, request.Interrupted}, quiet, &error);
    return runs.value(0);
}

ReportWrite TableRunResult::SaveReportFile(QString& path) const
{
    if (QFileInfo(path).isDir())
        path = FreeReportPath(path, Copies);
    return WriteReportFile(ReportFormat::Report, path, Copies, StartDate, Results);
}

ReportWrite TableRunResult::SaveTextFile(const QString& path) const
{
    return WriteReportFile(ReportFormat::Text, path, Copies, StartDate, Results);
}

bool TableRunResult::SaveJUnitFile(const QString& path, QString* error) const
{
    return WriteJUnitReport(path, JUnit, ListedSteps, error);
}
