#include "results/results_schema.h"

#include "results/step_days.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <algorithm>

namespace ResultsSchema {

namespace {

// Any number that is the same in every program writing this database.
constexpr qint64 kSchemaLock = 0x54415652; // "TAVR"

QStringList Version1(bool server)
{
    const QString journalColumns =
        server ? QString() : QStringLiteral(", pid BIGINT, sent INTEGER NOT NULL DEFAULT 0");
    QStringList sql{
        QStringLiteral("CREATE TABLE IF NOT EXISTS results_schema (version INTEGER NOT NULL)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS runs (uuid TEXT PRIMARY KEY, station TEXT, "
            "operator TEXT, program_version TEXT, table_path TEXT, table_name TEXT, "
            "table_sha256 TEXT, reporter TEXT, unit TEXT, serial TEXT, link TEXT, "
            "instrument TEXT, started_ms BIGINT NOT NULL, started_text TEXT, ended_ms BIGINT, "
            "ended_text TEXT, duration_ms BIGINT, verdict TEXT NOT NULL DEFAULT '', "
            "reason TEXT%1)")
            .arg(journalColumns),
        QStringLiteral("CREATE INDEX IF NOT EXISTS runs_serial ON runs (serial, started_ms)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS runs_table ON runs (table_name, started_ms)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS runs_unit ON runs (unit, started_ms)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS runs_started ON runs (started_ms)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS steps (run_uuid TEXT NOT NULL, ord INTEGER NOT NULL, "
            "step TEXT, command TEXT, comment TEXT, lower_text TEXT, "
            "lower_number DOUBLE PRECISION, upper_text TEXT, upper_number DOUBLE PRECISION, "
            "value_text TEXT, value_number DOUBLE PRECISION, mark TEXT, shown INTEGER, "
            "elapsed_ms BIGINT, PRIMARY KEY (run_uuid, ord))"),
    };
    if (!server)
        sql << QStringLiteral("CREATE INDEX IF NOT EXISTS runs_sent ON runs (sent)");
    return sql;
}

// Steps from version n-1 to n; index 0 makes version 1.
QList<QStringList> Upgrades(bool server) { return {Version1(server)}; }

// Columns added beside a version's tables. Every program names the columns it writes and
// reads, so an older one leaves an added column NULL and reads the rest as before: it does not
// raise the version, which an older program would refuse to open. Each is added where missing.
struct AddedColumn {
    const char* Table;
    const char* Column;
    const char* Type;
};
constexpr AddedColumn kAddedColumns[] = {{"runs", "table_version", "TEXT"},
                                         {"runs", "slot", "TEXT"},
                                         {"runs", "rack_run", "TEXT"},
                                         {"runs", "instrument_maker", "TEXT"},
                                         {"runs", "instrument_model", "TEXT"},
                                         {"runs", "instrument_serial", "TEXT"},
                                         {"runs", "instrument_firmware", "TEXT"},
                                         {"runs", "instrument_options", "TEXT"},
                                         {"runs", "devices", "TEXT"},
                                         {"runs", "limits_name", "TEXT"},
                                         {"runs", "limits_version", "TEXT"},
                                         {"runs", "limits_model", "TEXT"},
                                         {"runs", "calibration", "TEXT"},
                                         {"results_schema", "additions", "INTEGER"}};
// Indexes added beside a version's, each where missing (CREATE INDEX IF NOT EXISTS). The
// journal's go on the server too; the server's alone cover its statistics: they read a run's
// checked rows by the run from the index alone, without visiting the table's pages, which on a
// server written by many stations at once hold each run's rows scattered; and a table's runs,
// one in every few of the line's, from an index that holds what the statistics' filters and
// figures read of them, rather than from nearly every page of runs. The journal, written row
// by row and read seldom, goes without.
struct AddedIndex {
    const char* Name;
    const char* Sql;
    bool ServerOnly;
};
constexpr AddedIndex kAddedIndexes[] = {
    {"runs_version",
     "CREATE INDEX IF NOT EXISTS runs_version ON runs (table_name, table_version, started_ms)",
     false},
    {"runs_station", "CREATE INDEX IF NOT EXISTS runs_station ON runs (station, started_ms)",
     false},
    {"runs_instrument",
     "CREATE INDEX IF NOT EXISTS runs_instrument ON runs (instrument_serial, started_ms)", false},
    {"steps_figures",
     "CREATE INDEX IF NOT EXISTS steps_figures ON steps (run_uuid) INCLUDE (step, mark, "
     "lower_number, upper_number, value_number)",
     true},
    {"runs_version_figures",
     "CREATE INDEX IF NOT EXISTS runs_version_figures ON runs (table_name, table_version, "
     "started_ms) INCLUDE (verdict, serial, uuid, unit, station, limits_version, limits_name, "
     "limits_model, instrument_model)",
     true}};

// Indexes a former level made that a later one replaced: each costs every run's writing.
constexpr const char* kDroppedIndexes[] = {"runs_figures"};

// Plain views on the server for a line's own dashboard tools (which read SQL, not our pages):
// the runs by day, station, table version and verdict, and each checked step's figures over the
// runs that ended with a verdict, as the statistics count them (a row without a reply is a
// failure, never a reading). Made, or made again as they are here, with the added columns.
struct AddedView {
    const char* Name;
    const char* Sql;
};
constexpr AddedView kAddedViews[] = {
    {"runs_by_day",
     "CREATE OR REPLACE VIEW runs_by_day AS SELECT CAST(to_timestamp(started_ms / 1000.0) AS "
     "DATE) AS day, station, table_name, table_version, verdict, COUNT(*) AS runs FROM runs "
     "GROUP BY 1, 2, 3, 4, 5"},
    {"step_figures",
     "CREATE OR REPLACE VIEW step_figures AS SELECT r.table_name, r.table_version, s.step, "
     "COUNT(s.value_number) AS readings, SUM(CASE WHEN s.mark <> '' THEN 1 ELSE 0 END) AS "
     "failures, AVG(s.value_number) AS mean, STDDEV_SAMP(s.value_number) AS stddev, "
     "MIN(s.value_number) AS min, MAX(s.value_number) AS max, MAX(s.lower_number) AS lower, "
     "MIN(s.upper_number) AS upper FROM runs r JOIN steps s ON s.run_uuid = r.uuid WHERE "
     "r.verdict IN ('passed', 'failed') AND s.lower_number IS NOT NULL GROUP BY 1, 2, 3"}};

// The table's columns from the catalog, which (unlike Qt's record of a table) never waits for a
// lock on the table itself: a server whose runs are locked is found out by the first write,
// within its time-out. False, with the reason, when the catalog cannot be read.
bool Columns(QSqlDatabase& db, const char* table, QStringList& columns, QString* error)
{
    QSqlQuery q(db);
    const QString sql =
        IsServer(db) ? QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                      "table_schema = current_schema() AND table_name = '%1'")
                     : QStringLiteral("SELECT name FROM pragma_table_info('%1')");
    if (!q.exec(sql.arg(QLatin1String(table)))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    while (q.next())
        columns << q.value(0).toString();
    return true;
}

bool Names(QSqlDatabase& db, const QString& sql, QStringList& names, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    while (q.next())
        names << q.value(0).toString();
    return true;
}

// True when an added column or index is missing, or the catalog could not tell (error set
// then). A database whose columns an older program added lacks the indexes made since.
bool AddedMissing(QSqlDatabase& db, QString* error)
{
    QStringList runsColumns;
    QStringList schemaColumns;
    QStringList indexes;
    const bool server = IsServer(db);
    if (!Columns(db, "runs", runsColumns, error) ||
        !Columns(db, "results_schema", schemaColumns, error) ||
        !Names(db,
               server ? QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = "
                                       "current_schema()")
                      : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"),
               indexes, error))
        return true;
    for (const AddedColumn& added : kAddedColumns)
        if (!(qstrcmp(added.Table, "runs") == 0 ? runsColumns : schemaColumns)
                 .contains(QLatin1String(added.Column)))
            return true;
    for (const AddedIndex& added : kAddedIndexes)
        if ((server || !added.ServerOnly) && !indexes.contains(QLatin1String(added.Name)))
            return true;
    QStringList views;
    if (server && !Names(db,
                         QStringLiteral("SELECT viewname FROM pg_views WHERE schemaname = "
                                        "current_schema()"),
                         views, error))
        return true;
    for (const AddedView& added : kAddedViews)
        if (server && !views.contains(QLatin1String(added.Name)))
            return true;
    return server && StepDays::Missing(db, error);
}

bool AddMissing(QSqlDatabase& db, QString* error)
{
    for (const AddedColumn& added : kAddedColumns) {
        QStringList columns;
        if (!Columns(db, added.Table, columns, error))
            return false;
        if (!columns.contains(QLatin1String(added.Column)) &&
            !Exec(db,
                  QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                      .arg(QLatin1String(added.Table), QLatin1String(added.Column),
                           QLatin1String(added.Type)),
                  error))
            return false;
    }
    for (const AddedIndex& added : kAddedIndexes)
        if ((IsServer(db) || !added.ServerOnly) && !Exec(db, QLatin1String(added.Sql), error))
            return false;
    for (const AddedView& added : kAddedViews)
        if (IsServer(db) && !Exec(db, QLatin1String(added.Sql), error))
            return false;
    for (const char* dropped : kDroppedIndexes)
        if (IsServer(db) &&
            !Exec(db, QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(dropped)), error))
            return false;
    return !IsServer(db) || StepDays::Add(db, error);
}

// Kept on the connection's driver, which lives as long as the connection.
constexpr const char* kKnownAdditions = "tavAdditions";

void Remember(const QSqlDatabase& db, int additions)
{
    if (db.driver())
        db.driver()->setProperty(kKnownAdditions, additions);
}

} // namespace

bool IsServer(const QSqlDatabase& db) { return db.driverName() == QLatin1String("QPSQL"); }

bool Exec(QSqlDatabase& db, const QString& sql, QString* error)
{
    // A server connection that broke is closed by the driver; asking it again only makes the
    // driver complain on standard error.
    if (!db.isOpen()) {
        if (error)
            *error = QStringLiteral("no connection to the server");
        return false;
    }
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = ErrorText(db, q.lastError());
    return false;
}

QString ErrorText(const QSqlDatabase& db, const QSqlError& error)
{
    if (IsServer(db) || error.databaseText().isEmpty())
        return error.text();
    return error.databaseText();
}

bool Begin(QSqlDatabase& db, QString* error)
{
    return Exec(db, IsServer(db) ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"),
                error);
}

bool Commit(QSqlDatabase& db, QString* error) { return Exec(db, QStringLiteral("COMMIT"), error); }

void Rollback(QSqlDatabase& db) { Exec(db, QStringLiteral("ROLLBACK"), nullptr); }

Mark ReadMark(QSqlDatabase& db)
{
    Mark mark;
    QSqlQuery q(db);
    // A table an older program made has no additions' level; no table at all, no mark.
    if (q.exec(QStringLiteral("SELECT MAX(version), MAX(additions) FROM results_schema")) &&
        q.next()) {
        Remember(db, q.value(1).toInt());
        return {q.value(0).toInt(), q.value(1).toInt()};
    }
    if (q.exec(QStringLiteral("SELECT MAX(version) FROM results_schema")) && q.next())
        mark.Version = q.value(0).toInt();
    return mark;
}

bool Ensure(QSqlDatabase& db, QString* error)
{
    // Every process opens the database: one row tells whether there is anything to do.
    const Mark mark = ReadMark(db);
    if (mark.Version == kVersion && mark.Additions >= kAdditions)
        return true;
    QString catalogError;
    if (mark.Version == kVersion && !AddedMissing(db, &catalogError)) {
        // All there, the mark an older program's: marked now where the role may write (a
        // reader's may not, and walks the catalog again next time).
        Exec(db,
             QStringLiteral("UPDATE results_schema SET additions = %1 WHERE version = %2")
                 .arg(kAdditions)
                 .arg(kVersion),
             nullptr);
        Remember(db, kAdditions);
        return true;
    }
    if (!catalogError.isEmpty()) {
        if (error)
            *error = catalogError;
        return false;
    }
    const bool server = IsServer(db);
    if (!Begin(db, error))
        return false;
    // Another process may be doing the same: on the server the lock makes it wait, on SQLite
    // the immediate transaction does; then the version is read again.
    if (server &&
        !Exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock), error)) {
        Rollback(db);
        return false;
    }
    // An index made on a server full of runs takes longer than a run's time to send; stopped,
    // it would be begun again by every run after. It is let finish, once.
    if (server && !Exec(db, QStringLiteral("SET LOCAL statement_timeout = 0"), error)) {
        Rollback(db);
        return false;
    }
    // On PostgreSQL a failed statement spoils the transaction: the version table is made first
    // rather than its absence found by an error.
    if (!Exec(db,
              QStringLiteral("CREATE TABLE IF NOT EXISTS results_schema (version INTEGER NOT "
                             "NULL)"),
              error)) {
        Rollback(db);
        return false;
    }
    int version = 0;
    {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT MAX(version) FROM results_schema")) && q.next())
            version = q.value(0).toInt();
    }
    if (version > kVersion) {
        Rollback(db);
        if (error)
            *error = QStringLiteral("the results database is of a newer program (schema %1, "
                                    "this program knows %2)")
                         .arg(version)
                         .arg(kVersion);
        return false;
    }
    const QList<QStringList> upgrades = Upgrades(server);
    for (int v = version + 1; v <= kVersion; ++v) {
        for (const QString& sql : upgrades[v - 1]) {
            if (!Exec(db, sql, error)) {
                Rollback(db);
                return false;
            }
        }
    }
    if (!AddMissing(db, error) || !Exec(db, QStringLiteral("DELETE FROM results_schema"), error) ||
        !Exec(db,
              QStringLiteral("INSERT INTO results_schema (version, additions) VALUES (%1, %2)")
                  .arg(kVersion)
                  .arg(kAdditions),
              error) ||
        !Commit(db, error)) {
        Rollback(db);
        return false;
    }
    Remember(db, kAdditions);
    return true;
}

int KnownAdditions(const QSqlDatabase& db)
{
    return db.driver() ? db.driver()->property(kKnownAdditions).toInt() : 0;
}

} // namespace ResultsSchema
