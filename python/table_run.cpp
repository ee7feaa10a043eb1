#include "python/table_run.h"

#include "program/program_state.h"
#include "python/event_wait.h"
#include "results/results_database.h"
#include "results/results_store.h"
#include "results/run_recorder.h"

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

TableRunResult RunTable(const TableRunRequest& request, bool quiet)
{
    EnsureCoreApplication();
    RunnerConsole console(stderr, quiet, false);
    ProgramState state;
    TestRunner runner(state.Link, state.Panel, state.Places, state.Test, request.Options,
                      console, false);
    runner.SetAnswerSource(request.Answers);
    ResultsStore results(ResultsDatabase::JournalPath());
    results.SetServer(request.Options.DbUri);
    RunRecorder recorder(results);
    KeptRows kept(recorder);
    runner.SetJournal(&kept);

    TableRunResult r;
    QTimer watch;
    if (request.Interrupted) {
        QObject::connect(&watch, &QTimer::timeout, &runner, [&] {
            if (!r.Interrupted && request.Interrupted()) {
                r.Interrupted = true;
                runner.Interrupt();
            }
        });
        watch.start(50);
    }
    r.Status = runner.Exec();
    watch.stop();
    const UnrecordedTexts unrecorded = Unrecorded(results.Flush());
    r.JournalError = unrecorded.Journal;
    r.ServerError = unrecorded.Server;
    r.Warnings = console.Warnings();

    r.RunError = runner.RunError();
    r.Uuid = recorder.Run().Uuid;
    r.Verdict = r.Uuid.isEmpty() ? QStringLiteral("error") : VerdictText(recorder.Run().Verdict);
    r.Rows = kept.Rows;
    r.Results = runner.Results();
    r.Copies = state.Test.TestRun.Copies;
    r.StartDate = state.Places.StartDate;
    r.JUnit = runner.JUnitSummary();
    r.ListedSteps = runner.ListedSteps();
    return r;
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
