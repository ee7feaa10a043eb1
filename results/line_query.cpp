#include "results/line_query.h"

#include "results/results_schema.h"
#include "results/run_tables.h"

#include <QMap>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#include <csignal>

namespace ResultsQuery {

namespace {

const char* const kEnded = "r.verdict IN ('passed', 'failed')";

// A journal's run without an end is running while the process writing it lives.
bool WriterAlive(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

StationState& StateOf(QMap<QString, StationState>& states, const QString& station)
{
    StationState& state = states[station];
    state.Station = station;
    return state;
}

// A run now of the station's, unless one of the same slot came later (runs come newest first):
// a slot runs one unit at a time.
void AddRunning(StationState& state, const RunRecord& run, const QString& step)
{
    for (const RunningNow& other : state.Now)
        if (other.Run.Slot == run.Slot)
            return;
    state.Now.append({run, step});
}

// The journal's runs without an end whose writer lives, newest first: one per station, or per
// slot of a rack.
void ReadRunningFromJournal(QSqlDatabase& db, QMap<QString, StationState>& states, QString* error)
{
    QSqlQuery q(db);
    if (!Select(q,
                QStringLiteral("SELECT %1, r.pid FROM runs r WHERE r.verdict = '' ORDER BY "
                               "r.started_ms DESC")
                    .arg(QLatin1String(RunTables::kRunColumns)),
                {}, error))
        return;
    QList<RunRecord> running;
    while (q.next()) {
        RunRecord run = RunTables::RunFromQuery(q);
        if (WriterAlive(q.value(RunTables::kRunColumnCount).toLongLong()))
            running << run;
    }
    q.finish();
    for (const RunRecord& run : running) {
        QSqlQuery row(db);
        QString step;
        if (Select(row,
                   QStringLiteral("SELECT s.step FROM steps s WHERE s.run_uuid = ? ORDER BY "
                                  "s.ord DESC LIMIT 1"),
                   {run.Uuid}, error) &&
            row.next())
            step = row.value(0).toString();
        AddRunning(StateOf(states, run.Station), run, step);
    }
}

// The server's live entries, which the stations renew while they run: a station's, and a
// rack's per slot. A server without them (made by an older program, and this reader may not add
// them) shows no station running.
void ReadRunningFromServer(QSqlDatabase& db, QMap<QString, StationState>& states, qint64 nowMs)
{
    // Each table with what it knows of the slot.
    for (const auto& [slot, table] : {std::pair{"''", "station_now"}, {"slot", "slot_now"}}) {
        QSqlQuery q(db);
        if (!Select(q,
                    QStringLiteral("SELECT station, run_uuid, table_name, unit, serial, step, "
                                   "since_ms, updated_ms, %1 FROM %2")
                        .arg(QLatin1String(slot), QLatin1String(table)),
                    {}, nullptr))
            continue;
        while (q.next()) {
            StationState& state = StateOf(states, q.value(0).toString());
            const qint64 updated = q.value(7).toLongLong();
            if (q.value(1).toString().isEmpty())
                continue; // idle since its last run ended
            if (nowMs - updated > kLiveStaleMs) {
                state.LastSeenMs = std::max(state.LastSeenMs, updated);
                continue;
            }
            RunRecord run;
            run.Uuid = q.value(1).toString();
            run.Station = state.Station;
            run.TableName = q.value(2).toString();
            run.Unit = q.value(3).toString();
            run.Serial = q.value(4).toString();
            run.StartedMs = q.value(6).toLongLong();
            run.Slot = q.value(8).toString();
            AddRunning(state, run, q.value(5).toString());
        }
    }
}

} // namespace

LineState ReadLine(QSqlDatabase& db, qint64 nowMs, qint64 dayStartMs, qint64 shiftStartMs,
                   QString* error)
{
    LineState line;
    QMap<QString, StationState> states;
    {
        QSqlQuery q(db);
        // Every station once, from its index: one step from each name to the next, not a
        // read of every run.
        if (Select(q,
                   QStringLiteral("WITH RECURSIVE s(station) AS (SELECT MIN(station) FROM runs "
                                  "UNION ALL SELECT (SELECT MIN(station) FROM runs WHERE station "
                                  "> s.station) FROM s WHERE s.station IS NOT NULL) SELECT "
                                  "station FROM s WHERE station IS NOT NULL"),
                   {}, error))
            while (q.next())
                StateOf(states, q.value(0).toString());
    }
    {
        QSqlQuery q(db);
        if (Select(q,
                   QStringLiteral("SELECT r.station, COUNT(*) FROM runs r WHERE r.started_ms >= "
                                  "? GROUP BY r.station"),
                   {dayStartMs}, error))
            while (q.next())
                StateOf(states, q.value(0).toString()).RunsToday = q.value(1).toInt();
    }
    for (StationState& state : states) {
        QSqlQuery q(db);
        if (Select(q,
                   QStringLiteral("SELECT %1 FROM runs r WHERE r.station = ? AND r.verdict <> '' "
                                  "ORDER BY r.started_ms DESC LIMIT 1")
                       .arg(QLatin1String(RunTables::kRunColumns)),
                   {state.Station}, error) &&
            q.next())
            state.Last = RunTables::RunFromQuery(q);
    }
    if (ResultsSchema::IsServer(db))
        ReadRunningFromServer(db, states, nowMs);
    else
        ReadRunningFromJournal(db, states, error);
    // A rack's slots keep their places on the screen: COM2 before COM10.
    for (StationState& state : states)
        std::sort(state.Now.begin(), state.Now.end(), [](const auto& a, const auto& b) {
            return std::pair(a.Run.Slot.size(), a.Run.Slot) <
                   std::pair(b.Run.Slot.size(), b.Run.Slot);
        });
    line.Stations = states.values();

    // Each unit's first ended run today decides whether it passed first time, per version.
    {
        QSqlQuery q(db);
        if (Select(q,
                   QStringLiteral(
                       "SELECT u.table_name, u.table_version, SUM(u.runs), COUNT(*), SUM(CASE "
                       "WHEN u.passed_ms = u.first_ms THEN 1 ELSE 0 END) FROM (SELECT "
                       "r.table_name AS table_name, r.table_version AS table_version, "
                       "COUNT(*) AS runs, MIN(r.started_ms) AS first_ms, MIN(CASE WHEN "
                       "r.verdict = 'passed' THEN r.started_ms END) AS passed_ms FROM runs r "
                       "WHERE r.started_ms >= ? AND %1 GROUP BY r.table_name, r.table_version, "
                       "r.serial) u GROUP BY u.table_name, u.table_version ORDER BY "
                       "u.table_name, u.table_version")
                       .arg(QLatin1String(kEnded)),
                   {dayStartMs}, error))
            while (q.next())
                line.YieldToday.append({q.value(0).toString(), q.value(1).toString(),
                                        q.value(2).toInt(), q.value(3).toInt(),
                                        q.value(4).toInt()});
    }
    // The failed rows of every run since the shift began, in progress or not: a Pareto.
    {
        QSqlQuery q(db);
        if (Select(q,
                   QStringLiteral("SELECT r.table_name, s.step, MAX(s.command), MAX(s.comment), "
                                  "COUNT(*) FROM runs r JOIN steps s ON s.run_uuid = r.uuid "
                                  "WHERE r.started_ms >= ? AND s.mark <> '' GROUP BY "
                                  "r.table_name, s.step ORDER BY COUNT(*) DESC, r.table_name, "
                                  "s.step LIMIT 10"),
                   {shiftStartMs}, error))
            while (q.next())
                line.FailedSince.append({q.value(0).toString(), q.value(1).toString(),
                                         q.value(2).toString(), q.value(3).toString(),
                                         q.value(4).toInt()});
    }
    return line;
}

QList<double> LastStepValues(QSqlDatabase& db, const Filter& filter, const TableVersionStats& table,
                             const QString& step, int n, QString* error)
{
    QVariantList values;
    QString sql =
        QStringLiteral("SELECT s.value_number FROM runs r JOIN steps s ON s.run_uuid = r.uuid "
                       "WHERE %1 AND %2 AND r.table_name = ? AND r.table_version %3 AND s.step "
                       "= ? AND s.lower_number IS NOT NULL AND s.value_number IS NOT NULL ORDER "
                       "BY r.started_ms DESC, s.ord DESC LIMIT %4")
            .arg(WhereClause(filter, values), QLatin1String(kEnded),
                 table.Version.isEmpty() ? QStringLiteral("IS NULL") : QStringLiteral("= ?"))
            .arg(std::max(1, n));
    values << table.TableName;
    if (!table.Version.isEmpty())
        values << table.Version;
    values << step;
    QSqlQuery q(db);
    QList<double> last;
    if (Select(q, sql, values, error))
        while (q.next())
            last.prepend(q.value(0).toDouble());
    return last;
}

} // namespace ResultsQuery
