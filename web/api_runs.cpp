// The unit page's data (a serial number's runs with their rows as the report shows them) and
// the station page's (its runs, newest first, a page at a time).
#include "web/view_data.h"

#include "results/results_query.h"

#include <QJsonArray>

namespace {

// A unit's history shows this many runs at most, the newest.
constexpr int kUnitRuns = 100;

} // namespace

ViewData ReadUnitView(QSqlDatabase& db, const ViewRequest& request, QString* error)
{
    ResultsQuery::Filter filter;
    filter.Serial = request.Serial;
    filter.Limit = kUnitRuns;
    QJsonArray runs;
    for (const RunRecord& run : ResultsQuery::Runs(db, filter, error)) {
        const QList<RowRecord> rows = ResultsQuery::RunRows(db, run.Uuid, error);
        const ResultsQuery::RunReport report = ResultsQuery::ReportOfRun(run, rows);
        QJsonArray cells;
        for (const QStringList& row : report.Rows)
            cells.append(QJsonArray::fromStringList(row));
        QJsonObject o = RunJson(run);
        o.insert("reporter", run.Reporter);
        o.insert("operator", run.Operator);
        o.insert("date", report.Header.Date);
        o.insert("rows", cells);
        runs.append(o);
    }
    ViewData data;
    data.Json = {{"serial", request.Serial}, {"runs", runs}};
    return data;
}

ViewData ReadStationView(QSqlDatabase& db, const ViewRequest& request, QString* error)
{
    ResultsQuery::Filter filter;
    filter.Station = request.Station;
    // One more than a page tells whether another follows.
    filter.Limit = kRunsPerPage + 1;
    filter.Offset = (request.PageNo - 1) * kRunsPerPage;
    QList<RunRecord> found = ResultsQuery::Runs(db, filter, error);
    const bool more = found.size() > kRunsPerPage;
    QJsonArray runs;
    for (const RunRecord& run : found.mid(0, kRunsPerPage))
        runs.append(RunJson(run));
    ViewData data;
    data.Json = {{"station", request.Station},
                 {"page", request.PageNo},
                 {"per_page", kRunsPerPage},
                 {"more", more},
                 {"runs", runs}};
    return data;
}
