#include "results/step_days.h"

#include "results/results_query.h"
#include "results/results_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace StepDays {

const char* const kFigures =
    "COUNT(s.value_number), SUM(CASE WHEN s.mark <> '' THEN 1 ELSE 0 END), "
    "MIN(s.value_number), MAX(s.value_number), COALESCE(SUM(s.value_number - s.lower_number), 0), "
    "COALESCE(SUM((s.value_number - s.lower_number) * (s.value_number - s.lower_number)), 0), "
    "MIN(s.lower_number), MAX(s.lower_number), MIN(s.upper_number)";

const char* const kChecked = "r.verdict IN ('passed', 'failed') AND s.lower_number IS NOT NULL";

namespace {

constexpr qint64 kDayMs = 86400000;
// The additions' level that made the table.
constexpr int kLevel = 5;

// What a day's figures are kept apart by besides the day: every column of runs the statistics
// filter by, except the serial numbers.
const char* const kSets[] = {"table_name",       "table_version",  "station",     "unit",
                             "instrument_model", "limits_version", "limits_model"};

// The unique index's columns, "day, COALESCE(table_name, ''), ...": a unique index holds no
// two NULLs as equal, and a run recorded before versions were kept has none. Each expression in
// parentheses for ON CONFLICT.
QString KeyColumns(bool parenthesized)
{
    const QString expression =
        parenthesized ? QStringLiteral("(COALESCE(%1, ''))") : QStringLiteral("COALESCE(%1, '')");
    QStringList columns{QStringLiteral("day")};
    for (const char* column : kSets)
        columns << expression.arg(QLatin1String(column));
    columns << expression.arg(QStringLiteral("step"));
    return columns.join(QStringLiteral(", "));
}

// Each checked row of "from" (runs "r" joined with their rows "s") that ended with a verdict,
// summed per day and set, as the table's columns; ordered, so that two writers adding to the
// same days lock them in one order.
QString DayFigures(const QString& from)
{
    QString key = QStringLiteral("r.started_ms / %1").arg(kDayMs);
    for (const char* column : kSets)
        key += QStringLiteral(", r.") + QLatin1String(column);
    key += QStringLiteral(", s.step");
    return QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 GROUP BY %1 ORDER BY %1")
        .arg(key, QLatin1String(kFigures), from, QLatin1String(kChecked));
}

// Adds day figures to the table, summing them into those of the same day and set.
QString AddFigures(const QString& from)
{
    return QStringLiteral(
               "INSERT INTO step_days AS d %1 ON CONFLICT (%2) DO "
               "UPDATE SET readings = d.readings + EXCLUDED.readings, failures = d.failures + "
               "EXCLUDED.failures, value_min = LEAST(d.value_min, EXCLUDED.value_min), "
               "value_max = GREATEST(d.value_max, EXCLUDED.value_max), from_lower = "
               "d.from_lower + EXCLUDED.from_lower, from_lower_squared = d.from_lower_squared + "
               "EXCLUDED.from_lower_squared, lower_min = LEAST(d.lower_min, EXCLUDED.lower_min), "
               "lower_max = GREATEST(d.lower_max, EXCLUDED.lower_max), upper_min = "
               "LEAST(d.upper_min, EXCLUDED.upper_min)")
        .arg(DayFigures(from), KeyColumns(true));
}

// The days and sets the runs "p" lay in, as "t".
QString Touched(const QString& runs)
{
    QString columns = QStringLiteral("p.started_ms / %1 AS day").arg(kDayMs);
    for (const char* column : kSets)
        columns += QStringLiteral(", COALESCE(p.%1, '') AS %1").arg(QLatin1String(column));
    return QStringLiteral("(SELECT DISTINCT %1 FROM %2 p) t").arg(columns, runs);
}

// Makes again the figures of the days and sets the runs "p" lay in: those a change or a
// deletion touched.
QString Redo(const QString& runs)
{
    QStringList same;
    QStringList within{QStringLiteral("r.started_ms >= t.day * %1").arg(kDayMs),
                       QStringLiteral("r.started_ms < (t.day + 1) * %1").arg(kDayMs)};
    for (const char* column : kSets) {
        same << QStringLiteral("COALESCE(d.%1, '') = t.%1").arg(QLatin1String(column));
        within << QStringLiteral("COALESCE(r.%1, '') = t.%1").arg(QLatin1String(column));
    }
    return QStringLiteral("DELETE FROM step_days d USING %1 WHERE d.day = t.day AND %2; %3;")
        .arg(Touched(runs), same.join(QStringLiteral(" AND ")),
             AddFigures(QStringLiteral("runs r JOIN steps s ON s.run_uuid = r.uuid JOIN %1 ON %2")
                            .arg(Touched(runs), within.join(QStringLiteral(" AND ")))));
}

struct Trigger {
    const char* Table;
    const char* Event;
    const char* Transition; // REFERENCING ...
    QString Body;
};

QList<Trigger> Triggers()
{
    const QString runsOfRows = QStringLiteral("(SELECT * FROM runs WHERE uuid IN (SELECT run_uuid "
                                              "FROM %1))");
    return {
        {"steps", "INSERT", "NEW TABLE AS came",
         AddFigures(QStringLiteral("came s JOIN runs r ON r.uuid = s.run_uuid")) +
             QLatin1Char(';')},
        {"steps", "UPDATE", "OLD TABLE AS gone NEW TABLE AS came",
         Redo(runsOfRows.arg(
             QStringLiteral("(SELECT run_uuid FROM gone UNION SELECT run_uuid FROM came) u")))},
        {"steps", "DELETE", "OLD TABLE AS gone", Redo(runsOfRows.arg(QStringLiteral("gone")))},
        // Rows written before their run (no program of ours does) count once it comes.
        {"runs", "INSERT", "NEW TABLE AS came",
         Redo(QStringLiteral("(SELECT * FROM came WHERE EXISTS (SELECT 1 FROM steps WHERE "
                             "run_uuid = came.uuid))"))},
        {"runs", "UPDATE", "OLD TABLE AS gone NEW TABLE AS came",
         Redo(QStringLiteral("(SELECT * FROM gone UNION ALL SELECT * FROM came)"))},
        {"runs", "DELETE", "OLD TABLE AS gone", Redo(QStringLiteral("gone"))},
        {"steps", "TRUNCATE", "", QStringLiteral("DELETE FROM step_days;")},
        {"runs", "TRUNCATE", "", QStringLiteral("DELETE FROM step_days;")},
    };
}

} // namespace

bool Missing(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT to_regclass('step_days') IS NULL")) || !q.next()) {
        if (error)
            *error = ResultsSchema::ErrorText(db, q.lastError());
        return true;
    }
    return q.value(0).toBool();
}

bool Add(QSqlDatabase& db, QString* error)
{
    using ResultsSchema::Exec;
    QString existsError;
    const bool made = Missing(db, &existsError);
    if (!existsError.isEmpty()) {
        if (error)
            *error = existsError;
        return false;
    }
    // The runs first, as a run's writer takes them: a writer between its run and its rows
    // finishes before the triggers come, and every run after is counted by them.
    if (!Exec(db, QStringLiteral("LOCK TABLE runs, steps IN SHARE ROW EXCLUSIVE MODE"), error))
        return false;
    if (made &&
        (!Exec(db,
               QStringLiteral(
                   "CREATE TABLE step_days (day BIGINT NOT NULL, table_name TEXT, table_version "
                   "TEXT, station TEXT, unit TEXT, instrument_model TEXT, limits_version TEXT, "
                   "limits_model TEXT, step TEXT, readings BIGINT NOT NULL, failures BIGINT NOT "
                   "NULL, value_min DOUBLE PRECISION, value_max DOUBLE PRECISION, from_lower "
                   "DOUBLE PRECISION NOT NULL, from_lower_squared DOUBLE PRECISION NOT NULL, "
                   "lower_min DOUBLE PRECISION, lower_max DOUBLE PRECISION, upper_min DOUBLE "
                   "PRECISION)"),
               error) ||
         !Exec(db,
               QStringLiteral("CREATE UNIQUE INDEX step_days_key ON step_days (%1)")
                   .arg(KeyColumns(false)),
               error) ||
         !Exec(db, QStringLiteral("CREATE INDEX step_days_table ON step_days (table_name, day)"),
               error)))
        return false;
    // The triggers run as the table's maker: a station's role that may only write runs keeps
    // the figures all the same. Their names are looked up in this schema alone (and the
    // session's own temporary tables last), not where the writing session's path points.
    QString schema;
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT quote_ident(current_schema())")) || !q.next()) {
            if (error)
                *error = ResultsSchema::ErrorText(db, q.lastError());
            return false;
        }
        schema = q.value(0).toString();
    }
    for (const Trigger& t : Triggers()) {
        const QString name =
            QStringLiteral("step_days_%1_%2")
                .arg(QLatin1String(t.Table), QString::fromLatin1(t.Event).toLower());
        const QString transition = qstrlen(t.Transition) == 0 ? QString()
                                                              : QStringLiteral(" REFERENCING ") +
                                                                    QLatin1String(t.Transition);
        if (!Exec(db,
                  QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE "
                                 "plpgsql SECURITY DEFINER SET search_path = %3, pg_temp AS "
                                 "$body$ BEGIN %2 RETURN NULL; END $body$")
                      .arg(name, t.Body, schema),
                  error) ||
            !Exec(db, QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(name, t.Table),
                  error) ||
            !Exec(db,
                  QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3%4 FOR EACH STATEMENT EXECUTE "
                                 "PROCEDURE %1()")
                      .arg(name, QLatin1String(t.Event), QLatin1String(t.Table), transition),
                  error))
            return false;
    }
    return !made ||
           Exec(db, AddFigures(QStringLiteral("runs r JOIN steps s ON s.run_uuid = r.uuid")),
                error);
}

bool Serves(const QSqlDatabase& db, const ResultsQuery::Filter& filter)
{
    return ResultsSchema::IsServer(db) && ResultsSchema::KnownAdditions(db) >= kLevel &&
           filter.Serial.isEmpty() && filter.InstrumentSerial.isEmpty() && filter.Verdict.isEmpty();
}

QString FiguresQuery(const ResultsQuery::Filter& filter, QVariantList& values,
                     const std::function<QString(QVariantList&, qint64)>& rowsBefore)
{
    ResultsQuery::Filter days = filter;
    days.SinceMs = 0;
    const qint64 firstDay = (filter.SinceMs + kDayMs - 1) / kDayMs;
    QString parts =
        QStringLiteral("SELECT r.table_name, r.table_version, r.step, r.readings, r.failures, "
                       "r.value_min, r.value_max, r.from_lower, r.from_lower_squared, "
                       "r.lower_min, r.lower_max, r.upper_min FROM step_days r WHERE %1 AND "
                       "r.day >= ?")
            .arg(ResultsQuery::WhereClause(days, values));
    values << firstDay;
    if (filter.SinceMs % kDayMs != 0)
        parts += QStringLiteral(" UNION ALL ") + rowsBefore(values, firstDay * kDayMs);
    return QStringLiteral("SELECT table_name, table_version, step, SUM(readings)::BIGINT, "
                          "SUM(failures)::BIGINT, MIN(value_min), MAX(value_max), "
                          "SUM(from_lower), SUM(from_lower_squared), MIN(lower_min), "
                          "MAX(lower_max), MIN(upper_min) FROM (%1) f GROUP BY table_name, "
                          "table_version, step")
        .arg(parts);
}

} // namespace StepDays
