#include "run/run_options.h"

#include "results/results_database.h"

QString StationOf(const RunnerOptions& options)
{
    return options.Station.isEmpty() ? ResultsDatabase::Station() : options.Station;
}
