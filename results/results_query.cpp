#include "results/results_query.h"

#include "results/run_tables.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace ResultsQuery {

bool Select(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error)
{
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    ok = ok && q.exec();
    if (!ok && error && error->isEmpty())
        *error = q.lastError().text().trimmed();
    return ok;
}

QString WhereClause(const Filter& f, QVariantList& values)
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
    if (!f.Station.isEmpty())
        add(QStringLiteral("r.station = ?"), f.Station);
    if (!f.Serial.isEmpty())
        add(QStringLiteral("r.serial = ?"), f.Serial);
    if (f.SinceMs > 0)
        add(QStringLiteral("r.started_ms >= ?"), f.SinceMs);
    if (f.Verdict == QLatin1String("incomplete"))
        terms << QStringLiteral("r.verdict = ''");
    else if (!f.Verdict.isEmpty())
        add(QStringLiteral("r.verdict = ?"), f.Verdict);
    if (f.Version == QLatin1String("unknown"))
        terms << QStringLiteral("r.table_version IS NULL");
    else if (!f.Version.isEmpty())
        add(QStringLiteral("r.table_version LIKE ?"), f.Version + QLatin1Char('%'));
    if (!f.InstrumentSerial.isEmpty())
        add(QStringLiteral("r.instrument_serial = ?"), f.InstrumentSerial);
    if (!f.Model.isEmpty())
        add(QStringLiteral("COALESCE(r.instrument_model, '') = ?"),
            f.Model == QLatin1String("unknown") ? QString(QLatin1String("")) : f.Model);
    if (f.LimitsVersion == QLatin1String("none"))
        terms << QStringLiteral("r.limits_version IS NULL");
    else if (!f.LimitsVersion.isEmpty())
        add(QStringLiteral("r.limits_version LIKE ?"), f.LimitsVersion + QLatin1Char('%'));
    if (!f.LimitsModel.isEmpty())
        add(QStringLiteral("r.limits_model = ?"), f.LimitsModel);
    return terms.join(QStringLiteral(" AND "));
}

QList<RunRecord> Runs(QSqlDatabase& db, const Filter& filter, QString* error)
{
    QVariantList values;
    QString sql = QStringLiteral("SELECT %1 FROM runs r WHERE %2 ORDER BY r.started_ms DESC")
                      .arg(QLatin1String(RunTables::kRunColumns), WhereClause(filter, values));
    if (filter.Limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.Limit);
    if (filter.Limit > 0 && filter.Offset > 0)
        sql += QStringLiteral(" OFFSET %1").arg(filter.Offset);
    QSqlQuery q(db);
    QList<RunRecord> runs;
    if (Select(q, sql, values, error))
        while (q.next())
            runs.append(RunTables::RunFromQuery(q));
    return runs;
}

QList<RowRecord> RunRows(QSqlDatabase& db, const QString& uuid, QString* error)
{
    return RunTables::ReadSteps(db, uuid, error);
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

QList<HistoryEntry> History(QSqlDatabase& db, const Filter& filter, QString* error)
{
    QList<HistoryEntry> entries;
    QHash<QString, int> index;
    for (const RunRecord& run : Runs(db, filter, error)) {
        index.insert(run.Uuid, static_cast<int>(entries.size()));
        entries.append({run, {}});
    }
    if (entries.isEmpty())
        return entries;
    QVariantList values;
    const QString where = WhereClause(filter, values);
    QSqlQuery q(db);
    if (!Select(q,
                QStringLiteral("SELECT s.run_uuid, %1 FROM runs r JOIN steps s ON s.run_uuid = "
                               "r.uuid WHERE %2 AND s.mark <> '' ORDER BY s.run_uuid, s.ord")
                    .arg(QLatin1String(RunTables::kStepColumns), where),
                values, error))
        return entries;
    while (q.next())
        if (auto at = index.find(q.value(0).toString()); at != index.end())
            entries[*at].FailedSteps.append(RunTables::StepFromQuery(q, 1));
    return entries;
}

} // namespace ResultsQuery
