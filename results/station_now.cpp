#include "results/station_now.h"

#include "results/results_database.h"
#include "results/results_query.h"
#include "results/results_schema.h"

#include <QDateTime>
#include <QSqlQuery>

namespace {

// A server that failed is tried again after this long: it costs a run's record no more than
// one connect's time-out in that while.
constexpr int kPauseMs = 30000;
constexpr int kConnectMs = 2000;

} // namespace

const char* const StationNow::kCreateSql =
    "CREATE TABLE IF NOT EXISTS station_now (station TEXT PRIMARY KEY, run_uuid TEXT, "
    "table_name TEXT, unit TEXT, serial TEXT, step TEXT, since_ms BIGINT, updated_ms BIGINT)";

const char* const StationNow::kCreateSlotSql =
    "CREATE TABLE IF NOT EXISTS slot_now (station TEXT NOT NULL, slot TEXT NOT NULL, run_uuid "
    "TEXT, table_name TEXT, unit TEXT, serial TEXT, step TEXT, since_ms BIGINT, updated_ms "
    "BIGINT, PRIMARY KEY (station, slot))";

namespace {

// A rack's slot has a row of its own; a station's single run keeps the station's row, which
// older programs write as well.
QString TableOf(const RunRecord& run)
{
    return run.Slot.isEmpty() ? QStringLiteral("station_now") : QStringLiteral("slot_now");
}

} // namespace

StationNow::~StationNow() { Close(); }

void StationNow::Started(const RunRecord& run)
{
    Run& r = m_runs[run.Uuid];
    r.Record = run;
}

void StationNow::AtRow(const QString& uuid, const RowRecord& row)
{
    const auto it = m_runs.find(uuid);
    if (it == m_runs.end())
        return;
    it->Step = row.Step;
}

void StationNow::Ended(const RunRecord& run)
{
    if (m_runs.remove(run.Uuid))
        m_ended.insert(run.Uuid, run);
}

bool StationNow::Open(const QString& uri)
{
    if (m_open && uri == m_uri)
        return true;
    Close();
    QString error;
    if (!ResultsDatabase::OpenServer(m_connection, uri, &error, kConnectMs))
        return false;
    m_open = true;
    m_uri = uri;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    return ResultsSchema::Exec(db, QLatin1String(kCreateSql), nullptr) &&
           ResultsSchema::Exec(db, QLatin1String(kCreateSlotSql), nullptr);
}

void StationNow::Close()
{
    if (m_open)
        ResultsDatabase::Close(m_connection);
    m_open = false;
}

void StationNow::Send(const QString& uri)
{
    if (uri.isEmpty()) {
        m_ended.clear();
        return;
    }
    bool due = !m_ended.isEmpty();
    for (const Run& r : m_runs)
        due = due || !r.Written || r.Renew.hasExpired();
    if (!due || !m_pause.hasExpired())
        return;
    if (!Open(uri)) {
        Close();
        m_pause.setRemainingTime(kPauseMs);
        return;
    }
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (auto it = m_ended.begin(); ok && it != m_ended.end(); it = m_ended.erase(it)) {
            const RunRecord& run = it.value();
            QSqlQuery q(db);
            ok = ResultsQuery::Select(q,
                                      QStringLiteral("UPDATE %1 SET run_uuid = '', step = '', "
                                                     "updated_ms = ? WHERE station = ? AND "
                                                     "run_uuid = ?")
                                          .arg(TableOf(run)),
                                      {now, run.Station, run.Uuid});
        }
        for (Run& r : m_runs) {
            if (!ok || (r.Written && !r.Renew.hasExpired()))
                continue;
            const RunRecord& run = r.Record;
            const bool slot = !run.Slot.isEmpty();
            QVariantList values{run.Station};
            if (slot)
                values << run.Slot;
            values << run.Uuid << run.TableName << run.Unit << run.Serial << r.Step << run.StartedMs
                   << now;
            QSqlQuery q(db);
            ok = ResultsQuery::Select(
                q,
                QStringLiteral(
                    "INSERT INTO %1 (station, %2run_uuid, table_name, unit, serial, step, "
                    "since_ms, updated_ms) VALUES (?, %3?, ?, ?, ?, ?, ?, ?) ON CONFLICT "
                    "(station%4) DO UPDATE SET run_uuid = EXCLUDED.run_uuid, table_name = "
                    "EXCLUDED.table_name, unit = EXCLUDED.unit, serial = EXCLUDED.serial, step = "
                    "EXCLUDED.step, since_ms = EXCLUDED.since_ms, updated_ms = "
                    "EXCLUDED.updated_ms")
                    .arg(TableOf(run), slot ? QStringLiteral("slot, ") : QString(),
                         slot ? QStringLiteral("?, ") : QString(),
                         slot ? QStringLiteral(", slot") : QString()),
                values);
            r.Written = ok;
            r.Renew.setRemainingTime(kRenewMs);
        }
    }
    if (!ok)
        m_pause.setRemainingTime(kPauseMs);
    // A station between runs holds no connection to the server.
    if (!ok || !Live())
        Close();
}
