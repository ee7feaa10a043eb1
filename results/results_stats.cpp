#include "results/results_stats.h"

#include "results/results_schema.h"
#include "results/step_days.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace ResultsQuery {

namespace {

// Runs that reached their end; the others stopped somewhere among their rows.
const char* const kEnded = "r.verdict IN ('passed', 'failed')";

// A spread below this part of the mean is the arithmetic's, not the readings': a reading has
// six or seven significant digits at most.
constexpr double kNegligibleSpread = 1e-9;

// One table version's ended runs that match the filter, as a WHERE over runs "r".
QString RunsOf(const Filter& filter, const TableVersionStats& table, QVariantList& values)
{
    const QString sql =
        QStringLiteral("%1 AND %2 AND r.table_name = ? AND r.table_version %3")
            .arg(WhereClause(filter, values), QLatin1String(kEnded),
                 table.Version.isEmpty() ? QStringLiteral("IS NULL") : QStringLiteral("= ?"));
    values << table.TableName;
    if (!table.Version.isEmpty())
        values << table.Version;
    return sql;
}

// The checked rows (those with a lower limit) of one table version's ended runs that match
// the filter, as FROM and WHERE. A row without a reply has no value and a mark: it counts as a
// failure, never as a reading.
QString CheckedRows(const Filter& filter, const TableVersionStats& table, QVariantList& values)
{
    return QStringLiteral("runs r JOIN steps s ON s.run_uuid = r.uuid WHERE %1 AND "
                          "s.lower_number IS NOT NULL")
        .arg(RunsOf(filter, table, values));
}

// The same for every version at once.
QString AllCheckedRows(const Filter& filter, QVariantList& values)
{
    return QStringLiteral("runs r JOIN steps s ON s.run_uuid = r.uuid WHERE %1 AND %2")
        .arg(WhereClause(filter, values), QLatin1String(StepDays::kChecked));
}

// Every version's checked rows summed in one pass (the server groups them by hashing); with a
// time, only those of the runs started before it.
QString ServerFigures(const Filter& filter, QVariantList& values, qint64 beforeMs = 0)
{
    QString sql = QStringLiteral("SELECT r.table_name, r.table_version, s.step, %1 FROM %2")
                      .arg(QLatin1String(StepDays::kFigures), AllCheckedRows(filter, values));
    if (beforeMs > 0) {
        sql += QStringLiteral(" AND r.started_ms < ?");
        values << beforeMs;
    }
    return sql + QStringLiteral(" GROUP BY r.table_name, r.table_version, s.step");
}

// A table version as the statistics key it: a run recorded before versions were kept has none.
using VersionKey = std::pair<QString, QString>;
VersionKey KeyOf(const QSqlQuery& q, int nameColumn)
{
    return {q.value(nameColumn).toString(), q.value(nameColumn + 1).toString()};
}

bool StepBefore(const QString& a, const QString& b)
{
    const int na = a.toInt();
    const int nb = b.toInt();
    return na != nb ? na < nb : a < b;
}

// Welford's running mean and sum of squared distances from it.
struct Spread {
    qint64 Count = 0;
    double Mean = 0;
    double Squares = 0;
    void Add(double x)
    {
        ++Count;
        const double before = x - Mean;
        Mean += before / Count;
        Squares += before * (x - Mean);
    }
};

// Mean and standard deviation from the mean and the sum of squared distances from it; Cpk
// where the values spread.
void SetFigures(StepStats& s, double mean, double squares)
{
    s.Mean = mean;
    if (s.Count < 2)
        return;
    s.StdDev = std::sqrt(std::max(0.0, squares) / (s.Count - 1));
    if (s.Lower && s.Upper && *s.StdDev > kNegligibleSpread * std::abs(mean))
        s.Cpk = std::min(*s.Upper - mean, mean - *s.Lower) / (3 * *s.StdDev);
}

// From the single pass's sums: n values, the sums of their distances from the lower limit and
// of the squared ones, which keep the digits that sums of the values themselves would lose
// (230 V squared swamps a spread of millivolts). False when they cannot be trusted and the
// values must be read one by one. The query's columns from first: minimum, maximum, the two
// sums, the lowest and the highest lower limit.
bool SetFiguresFromSums(StepStats& s, const QSqlQuery& q, int first)
{
    if (s.Count == 0)
        return true;
    s.Min = q.value(first).toDouble();
    s.Max = q.value(first + 1).toDouble();
    if (*s.Max == *s.Min) {
        SetFigures(s, *s.Min, 0);
        return true;
    }
    const double n = s.Count;
    const double sum = q.value(first + 2).toDouble();
    const double sumSquares = q.value(first + 3).toDouble();
    const double squares = sumSquares - sum * (sum / n);
    // A lower limit changed between runs gives no one point to measure from; values far from
    // it against their spread leave too few digits after the subtraction.
    if (q.value(first + 4) != q.value(first + 5) || !(squares > 1e-6 * sumSquares))
        return false;
    SetFigures(s, q.value(first + 4).toDouble() + sum / n, squares);
    return true;
}

// The command and comment of each step: those of the version's newest run that reached it
// (runs differ in them only by the values of variables). Read apart from the figures, whose
// sort they would make a third longer: the rows of each version's newest run (found by its
// start), then, for the steps such a run jumped over, the newest row of each.
void NameSteps(QSqlDatabase& db, const Filter& filter, QList<TableVersionStats>& tables,
               const QMap<VersionKey, qint64>& newest, QString* error)
{
    if (tables.isEmpty())
        return;
    QHash<QString, std::pair<QString, QString>> names; // by table, version and step
    auto key = [](const QString& name, const QString& version, const QString& step) {
        return name + QLatin1Char('\n') + version + QLatin1Char('\n') + step;
    };
    {
        QVariantList values;
        QString sql = QStringLiteral("SELECT r.table_name, r.table_version, r.started_ms, s.step, "
                                     "s.command, s.comment FROM %1 AND r.started_ms IN (")
                          .arg(AllCheckedRows(filter, values));
        QStringList marks;
        for (const qint64 started : newest) {
            marks << QStringLiteral("?");
            values << started;
        }
        sql += marks.join(QStringLiteral(", ")) + QLatin1Char(')');
        QSqlQuery q(db);
        if (Select(q, sql, values, error))
            while (q.next())
                if (q.value(2).toLongLong() == newest.value(KeyOf(q, 0)))
                    names.insert(
                        key(q.value(0).toString(), q.value(1).toString(), q.value(3).toString()),
                        {q.value(4).toString(), q.value(5).toString()});
    }
    QStringList jumped;
    QStringList jumpedTables;
    for (const TableVersionStats& table : tables)
        for (const StepStats& s : table.Steps)
            if (!names.contains(key(table.TableName, table.Version, s.Step))) {
                jumped << s.Step;
                jumpedTables << table.TableName;
            }
    if (!jumped.isEmpty()) {
        jumped.removeDuplicates();
        jumpedTables.removeDuplicates();
        QVariantList values;
        const QString rows = AllCheckedRows(filter, values);
        QStringList stepMarks;
        QStringList tableMarks;
        for (const QString& step : jumped) {
            stepMarks << QStringLiteral("?");
            values << step;
        }
        for (const QString& name : jumpedTables) {
            tableMarks << QStringLiteral("?");
            values << name;
        }
        QSqlQuery q(db);
        if (Select(q,
                   QStringLiteral("SELECT r.table_name, r.table_version, s.step, s.command, "
                                  "s.comment FROM %1 AND s.step IN (%2) AND r.table_name IN (%3) "
                                  "ORDER BY r.started_ms DESC")
                       .arg(rows, stepMarks.join(QStringLiteral(", ")),
                            tableMarks.join(QStringLiteral(", "))),
                   values, error))
            while (q.next()) {
                const QString k =
                    key(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
                if (!names.contains(k))
                    names.insert(k, {q.value(3).toString(), q.value(4).toString()});
            }
    }
    for (TableVersionStats& table : tables)
        for (StepStats& s : table.Steps)
            std::tie(s.Command, s.Comment) =
                names.value(key(table.TableName, table.Version, s.Step));
}

// The figures of every checked step of every table version, in one pass over their rows.
void ComputeSteps(QSqlDatabase& db, const Filter& filter, QList<TableVersionStats>& tables,
                  QString* error)
{
    QHash<VersionKey, int> index;
    for (int i = 0; i < tables.size(); ++i)
        index.insert({tables[i].TableName, tables[i].Version}, i);
    QMap<int, QList<StepStats>> twoPass; // by table version
    const auto take = [&](QSqlQuery& q) {
        while (q.next()) {
            const auto at = index.find(KeyOf(q, 0));
            if (at == index.end())
                continue; // a run that ended between the two queries
            StepStats s;
            s.TableName = tables[*at].TableName;
            s.Version = tables[*at].Version;
            s.Step = q.value(2).toString();
            s.Count = q.value(3).toInt();
            s.Failures = q.value(4).toInt();
            // The tightest limits seen.
            s.Lower = q.value(10).toDouble();
            if (!q.value(11).isNull())
                s.Upper = q.value(11).toDouble();
            if (SetFiguresFromSums(s, q, 5))
                tables[*at].Steps.append(s);
            else
                twoPass[*at].append(s);
        }
        q.finish(); // a connection may serve one query at a time (PostgreSQL's row by row)
    };
    const QLatin1String figures(StepDays::kFigures);
    if (ResultsSchema::IsServer(db)) {
        QVariantList values;
        const QString sql =
            StepDays::Serves(db, filter)
                ? StepDays::FiguresQuery(filter, values,
                                         [&](QVariantList& v, qint64 beforeMs) {
                                             return ServerFigures(filter, v, beforeMs);
                                         })
                : ServerFigures(filter, values);
        QSqlQuery q(db);
        Select(q, sql, values, error);
        take(q);
    } else {
        // SQLite groups by sorting, and a 64-digit version in every row's key costs it more
        // than a query per version on the station's own disk.
        for (const TableVersionStats& table : tables) {
            QVariantList values;
            QSqlQuery q(db);
            Select(q,
                   QStringLiteral("SELECT MIN(r.table_name), MIN(r.table_version), s.step, %1 "
                                  "FROM %2 GROUP BY s.step")
                       .arg(figures, CheckedRows(filter, table, values)),
                   values, error);
            take(q);
        }
    }
    for (auto it = twoPass.begin(); it != twoPass.end(); ++it) {
        TableVersionStats& table = tables[it.key()];
        QStringList steps;
        for (const StepStats& s : it.value())
            steps << s.Step;
        const auto values = StepValues(db, filter, table, steps, error);
        for (StepStats s : it.value()) {
            Spread spread;
            for (double x : values.value(s.Step))
                spread.Add(x);
            SetFigures(s, spread.Mean, spread.Squares);
            table.Steps.append(s);
        }
    }
    for (TableVersionStats& table : tables)
        std::sort(
            table.Steps.begin(), table.Steps.end(),
            [](const StepStats& a, const StepStats& b) { return StepBefore(a.Step, b.Step); });
}

} // namespace

int Stats::VersionCount(const QString& tableName) const
{
    return static_cast<int>(std::count_if(Tables.begin(), Tables.end(),
                                          [&](const auto& t) { return t.TableName == tableName; }));
}

Stats ComputeStats(QSqlDatabase& db, const Filter& filter, QString* error)
{
    Stats stats;
    QVariantList values;
    const QString where = WhereClause(filter, values);
    QMap<VersionKey, qint64> newest; // each version's newest ended run's start
    // The runs per table version and verdict: the ended ones make the versions' figures.
    {
        QSqlQuery q(db);
        // Kept apart by the sets of limits and the models too, which tell the runs' groups in
        // the same pass.
        Select(q,
               QStringLiteral("SELECT r.table_name, r.table_version, r.verdict, COUNT(*), "
                              "MIN(r.started_ms), MAX(r.started_ms), COALESCE(r.instrument_model, "
                              "''), COALESCE(r.limits_version, ''), COALESCE(r.limits_model, ''), "
                              "MAX(COALESCE(r.limits_name, '')) FROM runs r WHERE %1 GROUP BY "
                              "r.table_name, r.table_version, r.verdict, 7, 8, 9")
                   .arg(where),
               values, error);
        QMap<VersionKey, std::pair<qint64, int>> ended;              // first start, runs
        QMap<std::tuple<QString, QString, QString>, QString> groups; // limits, model: name
        while (q.next()) {
            const QString verdict = q.value(2).toString();
            const int runs = q.value(3).toInt();
            stats.Runs += runs;
            if (verdict != QLatin1String("passed") && verdict != QLatin1String("failed")) {
                stats.NotEnded += runs;
                stats.NotEndedBy[VerdictText(verdict)] += runs;
                continue;
            }
            QString& limitsName =
                groups[{q.value(7).toString(), q.value(8).toString(), q.value(6).toString()}];
            limitsName = std::max(limitsName, q.value(9).toString());
            const VersionKey key = KeyOf(q, 0);
            auto& [first, count] = ended[key];
            const qint64 started = q.value(4).toLongLong();
            first = count == 0 ? started : std::min(first, started);
            count += runs;
            newest[key] = std::max(newest.value(key), q.value(5).toLongLong());
        }
        for (auto it = ended.begin(); it != ended.end(); ++it)
            stats.Tables.append({it.key().first, it.key().second, it.value().second, {}});
        for (auto it = groups.begin(); it != groups.end(); ++it)
            stats.Groups.append(
                {std::get<2>(it.key()), it.value(), std::get<0>(it.key()), std::get<1>(it.key())});
        // Each table's versions in the order they were first run.
        auto firstRun = [&](const TableVersionStats& t) {
            return ended.value({t.TableName, t.Version}).first;
        };
        std::sort(stats.Tables.begin(), stats.Tables.end(), [&](const auto& a, const auto& b) {
            return a.TableName != b.TableName ? a.TableName < b.TableName
                                              : firstRun(a) < firstRun(b);
        });
    }
    // Each unit's first ended run decides whether it passed first time, its last whether it
    // passed in the end.
    {
        QSqlQuery q(db);
        Select(q,
               QStringLiteral(
                   "SELECT COUNT(*), SUM(CASE WHEN first_passed_ms = first_ms THEN 1 ELSE 0 END), "
                   "SUM(CASE WHEN last_passed_ms = last_ms THEN 1 ELSE 0 END) FROM (SELECT "
                   "MIN(r.started_ms) AS first_ms, MAX(r.started_ms) AS last_ms, MIN(CASE WHEN "
                   "r.verdict = 'passed' THEN r.started_ms END) AS first_passed_ms, MAX(CASE "
                   "WHEN r.verdict = 'passed' THEN r.started_ms END) AS last_passed_ms FROM runs "
                   "r WHERE %1 AND %2 GROUP BY r.serial) u")
                   .arg(where, QLatin1String(kEnded)),
               values, error);
        if (q.next()) {
            stats.Units = q.value(0).toInt();
            stats.FirstPassUnits = q.value(1).toInt();
            stats.FinalPassUnits = q.value(2).toInt();
        }
    }
    ComputeSteps(db, filter, stats.Tables, error);
    NameSteps(db, filter, stats.Tables, newest, error);
    return stats;
}

QList<StatsGroup> GroupsOf(const Stats& stats, bool byModel)
{
    QList<StatsGroup> groups;
    for (StatsGroup g : stats.Groups) {
        if (!byModel)
            g.Model.clear();
        const auto same = std::find_if(groups.begin(), groups.end(), [&](const StatsGroup& o) {
            return o.Model == g.Model && o.LimitsVersion == g.LimitsVersion &&
                   o.LimitsModel == g.LimitsModel;
        });
        if (same == groups.end())
            groups.append(g);
        else
            same->LimitsName = std::max(same->LimitsName, g.LimitsName);
    }
    return groups;
}

QMap<QString, QList<double>> StepValues(QSqlDatabase& db, const Filter& filter,
                                        const TableVersionStats& table, const QStringList& steps,
                                        QString* error)
{
    QVariantList values;
    QString sql = QStringLiteral("SELECT s.step, s.value_number FROM %1 AND s.value_number IS "
                                 "NOT NULL")
                      .arg(CheckedRows(filter, table, values));
    if (!steps.isEmpty()) {
        QStringList marks;
        for (const QString& step : steps) {
            marks << QStringLiteral("?");
            values << step;
        }
        sql += QStringLiteral(" AND s.step IN (%1)").arg(marks.join(QStringLiteral(", ")));
    }
    // By the run alone: a step's rows of one run come in the order they were written, and the
    // row's number would send the server from the index to the table's pages.
    sql += QStringLiteral(" ORDER BY r.started_ms");
    QSqlQuery q(db);
    QMap<QString, QList<double>> byStep;
    if (Select(q, sql, values, error))
        while (q.next())
            byStep[q.value(0).toString()].append(q.value(1).toDouble());
    return byStep;
}

QJsonValue FigureJson(const std::optional<double>& v) { return v ? QJsonValue(*v) : QJsonValue(); }

QJsonObject StepStatsJson(const StepStats& s)
{
    return {{"table", s.TableName},
            {"version", s.Version.isEmpty() ? QJsonValue() : QJsonValue(s.Version)},
            {"step", s.Step},
            {"command", s.Command},
            {"comment", s.Comment},
            {"count", s.Count},
            {"failures", s.Failures},
            {"mean", FigureJson(s.Mean)},
            {"stddev", FigureJson(s.StdDev)},
            {"min", FigureJson(s.Min)},
            {"max", FigureJson(s.Max)},
            {"lower", FigureJson(s.Lower)},
            {"upper", FigureJson(s.Upper)},
            {"cpk", FigureJson(s.Cpk)}};
}

} // namespace ResultsQuery
