// A table version's page: its runs, first-pass and final yield over the period, and per
// checked step the figures `tavtest stats` gives, with the values its plots draw.
#include "web/view_data.h"

#include "results/line_query.h"

#include <QJsonArray>
#include <QUrlQuery>

namespace {

// Cp: the spread the limits allow over the one the values take; blank where Cpk is.
std::optional<double> Cp(const ResultsQuery::StepStats& s)
{
    if (!s.Cpk || !s.StdDev || !s.Lower || !s.Upper)
        return std::nullopt;
    return (*s.Upper - *s.Lower) / (6 * *s.StdDev);
}

QString PlotUrl(const char* plot, const ViewRequest& r, const QString& step)
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("table"), r.Table);
    query.addQueryItem(QStringLiteral("version"), r.Version);
    query.addQueryItem(QStringLiteral("since"), r.SinceText);
    query.addQueryItem(QStringLiteral("last"), QString::number(r.Last));
    query.addQueryItem(QStringLiteral("step"), step);
    if (!r.Limits.isEmpty()) {
        query.addQueryItem(QStringLiteral("limits"), r.Limits);
        query.addQueryItem(QStringLiteral("model"), r.LimitsModel);
    }
    return QStringLiteral("/plot/%1.svg?%2")
        .arg(QLatin1String(plot), query.toString(QUrl::FullyEncoded));
}

} // namespace

ViewData ReadVersionView(QSqlDatabase& db, const ViewRequest& given, QString* error)
{
    ViewRequest r = given;
    // The values only for the plots, whose one read serves them all.
    const bool plots =
        r.Page == ViewRequest::Kind::Histogram || r.Page == ViewRequest::Kind::ControlChart;
    ResultsQuery::Filter filter;
    filter.TableName = r.Table;
    filter.Version = r.Version;
    filter.SinceMs = r.SinceMs;
    // Runs judged by other limits (another limits file, another model's limits of it) are shown
    // apart: their steps' limits and Cpk mean nothing together. Without a choice, the first set.
    const ResultsQuery::Stats all = ResultsQuery::ComputeStats(db, filter, error);
    const QList<ResultsQuery::StatsGroup> sets = ResultsQuery::GroupsOf(all, false);
    QJsonArray limitSets;
    for (const auto& g : sets) {
        const QString version =
            g.LimitsVersion.isEmpty() ? QStringLiteral("none") : g.LimitsVersion;
        if (r.Limits.isEmpty() && limitSets.isEmpty()) {
            r.Limits = version;
            r.LimitsModel = g.LimitsModel;
        }
        limitSets.append(
            QJsonObject{{"name", g.LimitsName}, {"limits", version}, {"model", g.LimitsModel}});
    }
    // One set alone: all the runs, as tavtest stats counts them.
    const bool chosen = !given.Limits.isEmpty() || sets.size() > 1;
    if (chosen) {
        filter.LimitsVersion = r.Limits;
        filter.LimitsModel = r.LimitsModel;
    }
    const ResultsQuery::Stats stats = chosen ? ResultsQuery::ComputeStats(db, filter, error) : all;
    const int finallyPassed = stats.FinalPassUnits;
    ViewData data;
    QJsonArray versions;
    QJsonArray steps;
    for (const auto& t : stats.Tables) {
        versions.append(QJsonObject{{"table", t.TableName},
                                    {"version", t.Version.isEmpty() ? QJsonValue() : t.Version},
                                    {"runs", t.Runs}});
        const QMap<QString, QList<double>> values =
            plots ? ResultsQuery::StepValues(db, filter, t, {}, error)
                  : QMap<QString, QList<double>>();
        for (const auto& s : t.Steps) {
            // Several versions under one start: a step is named by its version too.
            const QString key =
                stats.Tables.size() > 1 ? t.Version + QLatin1Char(':') + s.Step : s.Step;
            data.Steps.insert(key, s);
            if (plots) {
                data.Values.insert(key, values.value(s.Step));
                data.LastValues.insert(
                    key, ResultsQuery::LastStepValues(db, filter, t, s.Step, r.Last, error));
            }
            QJsonObject step = ResultsQuery::StepStatsJson(s);
            step.insert("cp", FigureJson(Cp(s)));
            step.insert("histogram", PlotUrl("histogram", r, key));
            step.insert("control_chart", PlotUrl("control", r, key));
            steps.append(step);
        }
    }
    data.Json = {{"table", r.Table},
                 {"version", r.Version},
                 {"since", r.SinceText},
                 {"last", r.Last},
                 {"runs", stats.Runs},
                 {"not_ended", stats.NotEnded},
                 {"units", stats.Units},
                 {"first_pass_units", stats.FirstPassUnits},
                 {"first_pass_yield", FigureJson(stats.FirstPassYield())},
                 {"final_pass_units", finallyPassed},
                 {"final_yield",
                  stats.Units ? QJsonValue(100.0 * finallyPassed / stats.Units) : QJsonValue()},
                 {"versions", versions},
                 {"limits", r.Limits},
                 {"model", r.LimitsModel},
                 {"limit_sets", limitSets},
                 {"steps", steps}};
    return data;
}
