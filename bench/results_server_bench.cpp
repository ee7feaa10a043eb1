// The line's server at the size a line reaches: history of one unit, the statistics of the last
// week and of one table, over 10^6 step rows in a private PostgreSQL cluster (as the tests make
// one), each the best of several runs through the program's own queries, with the plan of the
// statistics' main query.
//   build/bench/bench_results_server
// Goals: history <= 20 ms, stats of one week <= 50 ms, stats of one table <= 250 ms.
#include "bench/best_time.h"
#include "results/results_database.h"
#include "results/results_query.h"
#include "results/results_stats.h"
#include "tests/results/pg_cluster.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kStart = 1'780'000'000'000;
constexpr int kRuns = 20000;      // of 50 rows: 10^6 step rows
constexpr qint64 kEvery = 600000; // a run every 10 minutes: 20 weeks in all

// 20 stations, ten tables in two versions each, 5 000 units of four runs, one run in 17 failed.
bool Fill(QSqlDatabase& db)
{
    QSqlQuery q(db);
    const bool done =
        q.exec(
            QStringLiteral(
                "INSERT INTO runs (uuid, station, operator, program_version, table_path, "
                "table_name, "
                "table_sha256, reporter, unit, serial, link, instrument, started_ms, started_text, "
                "ended_ms, ended_text, duration_ms, verdict, reason, table_version) SELECT 'run-' "
                "|| i, "
                "'ST' || (i % 20), 'op', '1.0', '', 'table' || (i % 10) || '.tst', '', 'R', 'TAV "
                "1600', "
                "'SN' || lpad((i % 5000)::text, 6, '0'), 'COM2', '', %1 + i::bigint * %2, '', %1 + "
                "i::bigint * %2 + "
                "60000, '', 60000, CASE WHEN i % 17 = 0 THEN 'failed' ELSE 'passed' END, '', "
                "md5('table' || (i % 10) || (i / 10000)) || md5('v') FROM generate_series(0, %3) i")
                .arg(kStart)
                .arg(kEvery)
                .arg(kRuns - 1)) &&
        q.exec(QStringLiteral("INSERT INTO steps (run_uuid, ord, step, command, comment, "
                              "lower_text, lower_number, "
                              "upper_text, upper_number, value_text, value_number, mark, shown, "
                              "elapsed_ms) SELECT "
                              "'run-' || i, k, k::text, 'MEAS:VOLT?', 'U out', '229.000', 229, "
                              "'231.000', 231, '', "
                              "230 + ((i * 31 + k * 7) % 200 - 100) / 100.0, CASE WHEN i % 17 = 0 "
                              "AND k = 10 THEN "
                              "'Error!' ELSE '' END, 1, k * 100 FROM generate_series(0, %1) i, "
                              "generate_series(1, 50) "
                              "k")
                   .arg(kRuns - 1)) &&
        q.exec(QStringLiteral("VACUUM ANALYZE"));
    if (!done)
        std::fprintf(stderr, "%s\n", q.lastError().text().toLocal8Bit().constData());
    return done;
}

void Explain(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF, SUMMARY OFF) ") + sql))
        return;
    while (q.next())
        std::printf("    %s\n", q.value(0).toString().toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    PgCluster cluster;
    QString error;
    if (!cluster.Start(&error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const QString name = QStringLiteral("bench");
    if (!ResultsDatabase::OpenServer(name, cluster.Uri(), &error, 60000)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        QElapsedTimer fill;
        fill.start();
        if (!Fill(db))
            return 1;

        std::printf("server of %d runs, %d step rows made in %.1f s\n", kRuns, kRuns * 50,
                    fill.elapsed() / 1e3);
        ResultsQuery::Filter serial;
        serial.Serial = QStringLiteral("SN001234");
        int found = 0;
        const double history =
            Best([&] { found = static_cast<int>(ResultsQuery::History(db, serial).size()); });
        std::printf("history of one serial (%d runs): %.2f ms\n", found, history);

        ResultsQuery::Filter week;
        week.SinceMs = kStart + (kRuns - 1) * kEvery - 7 * 86400000LL;
        int runs = 0;
        const double since = Best([&] { runs = ResultsQuery::ComputeStats(db, week).Runs; });
        std::printf("stats of the last week (%d runs, %d rows): %.1f ms\n", runs, runs * 50, since);

        ResultsQuery::Filter table;
        table.TableName = QStringLiteral("table3.tst");
        const double oneTable = Best([&] { runs = ResultsQuery::ComputeStats(db, table).Runs; }, 5);
        std::printf("stats of one table (%d runs, %d rows, 2 versions): %.1f ms\n", runs, runs * 50,
                    oneTable);

        std::printf("plan of one table version's step figures:\n");
        Explain(db, QStringLiteral(
                        "SELECT s.step, COUNT(s.value_number) FROM runs r JOIN steps s ON "
                        "s.run_uuid = r.uuid WHERE r.table_name = 'table3.tst' AND r.verdict IN "
                        "('passed', 'failed') AND r.table_version = (SELECT table_version FROM "
                        "runs WHERE uuid = 'run-3') AND s.lower_number IS NOT NULL GROUP BY "
                        "s.step"));
        std::printf("plan of the last week's step figures:\n");
        Explain(db, QStringLiteral("SELECT s.step, COUNT(s.value_number) FROM runs r JOIN steps "
                                   "s ON s.run_uuid = r.uuid WHERE r.started_ms >= %1 AND "
                                   "r.table_name = 'table3.tst' AND s.lower_number IS NOT NULL "
                                   "GROUP BY s.step")
                        .arg(week.SinceMs));
    }
    ResultsDatabase::Close(name);
    return 0;
}
