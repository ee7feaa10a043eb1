#include "results/results_query.h"

#include "results/run_tables.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>

namespace ResultsQuery {

namespace {

// The WHERE clause over runs r, with its values in order.
QString Where(const Filter& f, QVariantList& values)
{
    QStringList terms{QStringLiteral("1 = 1")};
    auto add = [&](const QString& term, const QVariant& value) {
        terms << term;
        values << value;
    };
    if (!f.TableName.isEmpty())
        add(QStringLiteral("r.table_name = ?"), f.TableName);
    if (!f.Unit.isEmpty())
        add(QStringLiteral("r.unit = ?"), f.Unit);
    if (!f.Serial.isEmpty())
        add(QStringLiteral("r.serial = ?"), f.Serial);
    if (f.SinceMs > 0)
        add(QStringLiteral("r.started_ms >= ?"), f.SinceMs);
    if (f.Verdict == QLatin1String("incomplete"))
        terms << QStringLiteral("r.verdict = ''");
    else if (!f.Verdict.isEmpty())
        add(QStringLiteral("r.verdict = ?"), f.Verdict);
    return terms.join(QStringLiteral(" AND "));
}

bool Exec(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

bool StepBefore(const QString& a, const QString& b)
{
    const int na = a.toInt();
    const int nb = b.toInt();
    return na != nb ? na < nb : a < b;
}

} // namespace

QList<RunRecord> Runs(QSqlDatabase& db, const Filter& filter)
{
    QVariantList values;
    QString sql = QStringLiteral("SELECT %1 FROM runs r WHERE %2 ORDER BY r.started_ms DESC")
                      .arg(QLatin1String(RunTables::kRunColumns), Where(filter, values));
    if (filter.Limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.Limit);
    QSqlQuery q(db);
    QList<RunRecord> runs;
    if (Exec(q, sql, values))
        while (q.next())
            runs.append(RunTables::RunFromQuery(q));
    return runs;
}

QList<RowRecord> RunRows(QSqlDatabase& db, const QString& uuid)
{
    return RunTables::ReadSteps(db, uuid);
}

RunReport ReportOfRun(const RunRecord& run, const QList<RowRecord>& rows)
{
    RunReport report;
    report.Header.Header = {run.Reporter, run.Unit, run.Serial};
    report.Header.Date = QLocale::system().toString(
        QDateTime::fromMSecsSinceEpoch(run.StartedMs).date(), QLocale::ShortFormat);
    for (const RowRecord& row : rows)
        if (row.Shown)
            // The step number right-aligned in two places, as the result grid writes it.
            report.Rows.append({row.Step.rightJustified(2), row.Comment, row.LowerText,
                                row.ValueText, row.UpperText, row.Mark});
    return report;
}

QList<HistoryEntry> History(QSqlDatabase& db, const QString& serial)
{
    Filter filter;
    filter.Serial = serial;
    QList<HistoryEntry> entries;
    QHash<QString, int> index;
    for (const RunRecord& run : Runs(db, filter)) {
        index.insert(run.Uuid, static_cast<int>(entries.size()));
        entries.append({run, {}});
    }
    if (entries.isEmpty())
        return entries;
    QSqlQuery q(db);
    if (!Exec(q,
              QStringLiteral("SELECT s.run_uuid, %1 FROM runs r JOIN steps s ON s.run_uuid = "
                             "r.uuid WHERE r.serial = ? AND s.mark <> '' ORDER BY s.run_uuid, "
                             "s.ord")
                  .arg(QLatin1String(RunTables::kStepColumns)),
              {serial}))
        return entries;
    while (q.next())
        if (auto at = index.find(q.value(0).toString()); at != index.end())
            entries[*at].FailedSteps.append(RunTables::StepFromQuery(q, 1));
    return entries;
}

Stats ComputeStats(QSqlDatabase& db, const Filter& filter)
{
    Stats stats;
    QVariantList values;
    const QString where = Where(filter, values);
    {
        QSqlQuery q(db);
        Exec(q, QStringLiteral("SELECT r.serial, r.verdict FROM runs r WHERE %1 ORDER BY "
                               "r.started_ms").arg(where),
             values);
        QSet<QString> seen;
        while (q.next()) {
            ++stats.Runs;
            const QString serial = q.value(0).toString();
            if (seen.contains(serial))
                continue;
            seen.insert(serial);
            ++stats.Units;
            stats.FirstPassUnits += q.value(1).toString() == QLatin1String("passed");
        }
    }
    QSqlQuery q(db);
    Exec(q,
         QStringLiteral(
             "SELECT s.step, MIN(s.command), MIN(s.comment), COUNT(s.value_number), "
             "SUM(CASE WHEN s.mark <> '' THEN 1 ELSE 0 END), AVG(s.value_number), "
             "SUM(s.value_number * s.value_number), MIN(s.value_number), MAX(s.value_number), "
             "MAX(s.lower_number), MIN(s.upper_number) FROM runs r JOIN steps s ON "
             "s.run_uuid = r.uuid WHERE %1 AND s.lower_text <> '' GROUP BY s.step")
             .arg(where),
         values);
    while (q.next()) {
        StepStats s;
        s.Step = q.value(0).toString();
        s.Command = q.value(1).toString();
        s.Comment = q.value(2).toString();
        s.Count = q.value(3).toInt();
        s.Failures = q.value(4).toInt();
        s.Mean = q.value(5).toDouble();
        const double sumSquares = q.value(6).toDouble();
        s.Min = q.value(7).toDouble();
        s.Max = q.value(8).toDouble();
        if (!q.value(9).isNull())
            s.Lower = q.value(9).toDouble();
        if (!q.value(10).isNull())
            s.Upper = q.value(10).toDouble();
        if (s.Count > 1)
            s.StdDev = std::sqrt(std::max(0.0, (sumSquares - s.Count * s.Mean * s.Mean) /
                                                   (s.Count - 1)));
        if (s.StdDev > 0 && s.Lower && s.Upper)
            s.Cpk = std::min(*s.Upper - s.Mean, s.Mean - *s.Lower) / (3 * s.StdDev);
        stats.Steps.append(s);
    }
    std::sort(stats.Steps.begin(), stats.Steps.end(),
              [](const StepStats& a, const StepStats& b) { return StepBefore(a.Step, b.Step); });
    return stats;
}

QMap<QString, QList<double>> StepValues(QSqlDatabase& db, const Filter& filter)
{
    QVariantList values;
    QSqlQuery q(db);
    Exec(q,
         QStringLiteral("SELECT s.step, s.value_number FROM runs r JOIN steps s ON s.run_uuid "
                        "= r.uuid WHERE %1 AND s.lower_text <> '' AND s.value_number IS NOT "
                        "NULL")
             .arg(Where(filter, values)),
         values);
    QMap<QString, QList<double>> byStep;
    while (q.next())
        byStep[q.value(0).toString()].append(q.value(1).toDouble());
    return byStep;
}

} // namespace ResultsQuery
