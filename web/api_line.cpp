// The line page's data: every station, today's first-pass yield per table version, and the
// steps that failed most this shift.
#include "web/view_data.h"

#include "results/line_query.h"

#include <QDateTime>
#include <QJsonArray>

QJsonValue TimeJson(qint64 ms)
{
    if (ms <= 0)
        return QJsonValue();
    return QDateTime::fromMSecsSinceEpoch(ms)
        .toOffsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc())
        .toString(Qt::ISODate);
}

QJsonObject RunJson(const RunRecord& run)
{
    return {{"uuid", run.Uuid},
            {"station", run.Station},
            {"table", run.TableName},
            {"version", run.TableVersion.isEmpty() ? QJsonValue() : QJsonValue(run.TableVersion)},
            {"unit", run.Unit},
            {"serial", run.Serial},
            {"slot", run.Slot},
            {"started", TimeJson(run.StartedMs)},
            {"ended", TimeJson(run.EndedMs)},
            {"duration_ms", run.DurationMs},
            {"verdict", VerdictText(run.Verdict)},
            {"reason", run.Reason}};
}

ViewData ReadLineView(QSqlDatabase& db, QString* error)
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 dayStart = now.date().startOfDay().toMSecsSinceEpoch();
    const qint64 shiftStart = now.addSecs(-3600LL * kShiftHours).toMSecsSinceEpoch();
    const ResultsQuery::LineState line =
        ResultsQuery::ReadLine(db, now.toMSecsSinceEpoch(), dayStart, shiftStart, error);
    QJsonArray stations;
    for (const auto& s : line.Stations) {
        QJsonObject o{{"station", s.Station},
                      {"state", s.Running() ? "running" : (s.LastSeenMs ? "last seen" : "idle")},
                      {"last_seen", TimeJson(s.LastSeenMs)},
                      {"runs_today", s.RunsToday},
                      {"last", s.Last.Uuid.isEmpty() ? QJsonValue() : QJsonValue(RunJson(s.Last))}};
        // Every run now (a rack's, one a slot, in the slots' order); "current" is the newest.
        QJsonArray running;
        QJsonValue current;
        qint64 newest = 0;
        for (const auto& now : s.Now) {
            running.append(QJsonObject{{"uuid", now.Run.Uuid},
                                       {"slot", now.Run.Slot},
                                       {"table", now.Run.TableName},
                                       {"unit", now.Run.Unit},
                                       {"serial", now.Run.Serial},
                                       {"step", now.Step},
                                       {"since", TimeJson(now.Run.StartedMs)}});
            if (current.isNull() || now.Run.StartedMs > newest) {
                current = running.last();
                newest = now.Run.StartedMs;
            }
        }
        o.insert("current", current);
        o.insert("running", running);
        stations.append(o);
    }
    QJsonArray yield;
    for (const auto& y : line.YieldToday)
        yield.append(
            QJsonObject{{"table", y.TableName},
                        {"version", y.Version.isEmpty() ? QJsonValue() : QJsonValue(y.Version)},
                        {"runs", y.Runs},
                        {"units", y.Units},
                        {"first_pass_units", y.FirstPassUnits},
                        {"first_pass_yield",
                         y.Units ? QJsonValue(100.0 * y.FirstPassUnits / y.Units) : QJsonValue()}});
    QJsonArray failed;
    for (const auto& f : line.FailedSince)
        failed.append(QJsonObject{{"table", f.TableName},
                                  {"step", f.Step},
                                  {"command", f.Command},
                                  {"comment", f.Comment},
                                  {"failures", f.Failures}});
    ViewData data;
    data.Json = {{"now", TimeJson(now.toMSecsSinceEpoch())},
                 {"day_start", TimeJson(dayStart)},
                 {"shift_start", TimeJson(shiftStart)},
                 {"shift_hours", kShiftHours},
                 {"stations", stations},
                 {"yield_today", yield},
                 {"failed_steps", failed}};
    return data;
}

ViewData ReadView(QSqlDatabase& db, const ViewRequest& request, QString* error)
{
    switch (request.Page) {
    case ViewRequest::Kind::Line:
        return ReadLineView(db, error);
    case ViewRequest::Kind::Unit:
        return ReadUnitView(db, request, error);
    case ViewRequest::Kind::Station:
        return ReadStationView(db, request, error);
    default:
        return ReadVersionView(db, request, error);
    }
}
