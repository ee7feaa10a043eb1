#include "results/server_sync.h"

#include "results/results_schema.h"
#include "results/run_tables.h"

SyncOutcome SyncRuns(QSqlDatabase& journal, QSqlDatabase& server)
{
    SyncOutcome outcome;
    for (const RunRecord& run : RunTables::UnsentRuns(journal)) {
        const QList<RowRecord> steps = RunTables::ReadSteps(journal, run.Uuid);
        QString error;
        bool inserted = false;
        bool ok = ResultsSchema::Begin(server, &error) &&
                  RunTables::InsertRun(server, run, &error, &inserted);
        for (int i = 0; ok && inserted && i < steps.size(); ++i)
            ok = RunTables::InsertStep(server, run.Uuid, steps[i], &error);
        ok = ok && ResultsSchema::Commit(server, &error);
        if (!ok) {
            ResultsSchema::Rollback(server);
            outcome.Error = error.trimmed();
            break;
        }
        // Sent: a failure to mark it only means the server is asked again, and keeps it once.
        RunTables::MarkSent(journal, run.Uuid, nullptr);
        ++outcome.Sent;
    }
    outcome.Left = RunTables::UnsentCount(journal);
    return outcome;
}
