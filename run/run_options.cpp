#include "run/run_options.h"

#include "results/results_database.h"
#include "results/results_store.h"

QString StationOf(const RunnerOptions& options)
{
    return options.Station.isEmpty() ? ResultsDatabase::Station() : options.Station;
}

void RecordAsOptionsSay(ResultsStore& results, const RunnerOptions& options)
{
    results.SetServer(options.DbUri);
    results.SetSendBudget(options.DbTimeoutMs);
}
