#pragma once

#include "results/results_query.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

// A table's statistics, read from the journal or the server alike: the yield over the units and,
// per table version, the figures of every step with limits. Only runs that reached their end
// ("passed", "failed") count; runs broken off, ended by a run error or never ended are counted
// apart, since their missing rows would make the steps they did reach look better or worse.
namespace ResultsQuery {

struct StepStats {
    QString TableName;
    QString Version; // empty: runs recorded before versions were kept
    QString Step;
    QString Command;
    QString Comment;
    int Count = 0;    // rows with a measured value
    int Failures = 0; // rows marked failed or without a reply (a missing reply is no value)
    // None without values; the standard deviation (of the sample) none below two.
    std::optional<double> Mean;
    std::optional<double> StdDev;
    std::optional<double> Min;
    std::optional<double> Max;
    std::optional<double> Lower; // the tightest seen
    std::optional<double> Upper;
    // None below two values, without both limits, or when the values do not spread (a σ of 0,
    // or one lost in the mean's last digits, would give a capability of millions).
    std::optional<double> Cpk;
};

// One version of one table: the step lines it was run with.
struct TableVersionStats {
    QString TableName;
    QString Version;
    int Runs = 0;           // ended runs
    QList<StepStats> Steps; // in step order
};

struct Stats {
    int Runs = 0;                  // every matching run
    int NotEnded = 0;              // broken off, a run error, or never ended: in no figure
    QMap<QString, int> NotEndedBy; // "aborted", "error", "incomplete"
    int Units = 0;                 // serial numbers with an ended run
    int FirstPassUnits = 0;        // units whose first ended run passed
    int FinalPassUnits = 0;        // units whose last ended run passed
    std::optional<double> FirstPassYield() const
    {
        return Units ? std::optional<double>(100.0 * FirstPassUnits / Units) : std::nullopt;
    }
    std::optional<double> FinalYield() const
    {
        return Units ? std::optional<double>(100.0 * FinalPassUnits / Units) : std::nullopt;
    }
    // By table name, each table's versions in the order they were first run.
    QList<TableVersionStats> Tables;
    // The sets of limits applied to the ended runs, each with the model of instrument, ordered
    // by limits version, the model whose limits applied, and the instrument's model.
    QList<StatsGroup> Groups;
    // How many versions of the named table the runs cover.
    int VersionCount(const QString& tableName) const;
};

// A failed query leaves its reason in error (see results_query.h).
Stats ComputeStats(QSqlDatabase& db, const Filter& filter, QString* error = nullptr);

// The sets of runs statistics keep apart besides the table version: each set of limits applied
// (a limits file's version and the model whose limits it gave) and, when asked, each model of
// instrument; in the order of Stats::Groups.
QList<StatsGroup> GroupsOf(const Stats& stats, bool byModel);

// The measured values of one table version's checked steps (or of those given), per step in
// the order the runs started: for the histograms and control charts.
QMap<QString, QList<double>> StepValues(QSqlDatabase& db, const Filter& filter,
                                        const TableVersionStats& table,
                                        const QStringList& steps = {}, QString* error = nullptr);

// A step's figures as JSON, for `tavtest stats --json` and the line's web view alike: table,
// version (null before versions were kept), step, command, comment, count, failures, mean,
// stddev, min, max, lower, upper and cpk (null where there is none).
QJsonObject StepStatsJson(const StepStats& s);
// A figure as JSON: null where there is none.
QJsonValue FigureJson(const std::optional<double>& v);

} // namespace ResultsQuery
