// The line's server at the size a line reaches in a year: 150 000 runs of 7 checked rows (a
// 30-station line, a run every 80 s, ten tables in two versions) in a private PostgreSQL cluster
// after VACUUM ANALYZE. Timed through the program's own queries in this process, and as tavtest
// processes beyond tavtest's own start (`tavtest --version`); medians of 5. The plans of the
// statistics' queries follow.
//   build/bench/bench_results_server [--keep FOLDER] [--plans]
// --keep makes the cluster in FOLDER once and uses it again on later runs (making it takes about
// a minute on a shared 2-core machine).
// Goals: history <= 10 ms, stats of one table <= 100 ms, of one week <= 50 ms, a step's values
// for its plots <= 50 ms, each page of the web view <= 50 ms (its server's reading, in this
// process; the line page as at the last run's time, so that its day and shift hold runs).
#include "results/line_query.h"
#include "results/results_database.h"
#include "results/results_query.h"
#include "results/results_stats.h"
#include "tests/results/pg_cluster.h"
#include "web/view_data.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qint64 kStart = 1'780'000'000'000;
constexpr int kRuns = 150000;
constexpr int kRows = 7;
constexpr qint64 kEvery = 80000;
constexpr int kTimes = 5;

// 30 stations, ten tables, each in a second version from the middle of the period on; a unit
// goes through three tables one after the other; one run in 17 fails (step 3 out of limits),
// one in 101 is broken off. A run's rows lie together, as a run's send writes them.
bool Fill(QSqlDatabase& db)
{
    QSqlQuery q(db);
    const QString runs =
        QStringLiteral(
            "INSERT INTO runs (uuid, station, operator, program_version, table_path, table_name, "
            "table_sha256, reporter, unit, serial, link, instrument, started_ms, started_text, "
            "ended_ms, ended_text, duration_ms, verdict, reason, table_version) SELECT "
            "md5('run' || i)::uuid::text, 'LINE3-' || lpad((i % 30)::text, 2, '0'), 'op', "
            "'1.0', '/home/op/tables/table' || (i % 10) || '.tst', 'table' || (i % 10) || "
            "'.tst', md5('sha' || i) || md5('sha'), 'KELM-Electronic', 'TAV 1600', 'SN' || "
            "lpad((i / 3)::text, 7, '0'), 'COM2', 'TAV1600 V2.1', %1 + i::bigint * %2, "
            "'2026-05-28T12:00:00.000+02:00', %1 + i::bigint * %2 + 60000, "
            "'2026-05-28T12:01:00.000+02:00', 60000, CASE WHEN i % 101 = 0 THEN 'aborted' WHEN i "
            "% 17 = 0 THEN 'failed' ELSE 'passed' END, '', md5('table' || (i % 10) || (i / %3)) "
            "|| md5('v') FROM generate_series(0, %4) i")
            .arg(kStart)
            .arg(kEvery)
            .arg(kRuns / 2)
            .arg(kRuns - 1);
    const QString steps =
        QStringLiteral(
            "INSERT INTO steps (run_uuid, ord, step, command, comment, lower_text, lower_number, "
            "upper_text, upper_number, value_text, value_number, mark, shown, elapsed_ms) SELECT "
            "md5('run' || i)::uuid::text, k, (k * 2)::text, 'MEAS:VOLT?', 'U out ' || k, "
            "'229.000', 229, '231.000', 231, to_char(v, 'FM990.000'), v, CASE WHEN v > 231 THEN "
            "'Error!' ELSE '' END, 1, k * 1500 FROM generate_series(0, %1) i, generate_series(1, "
            "%2) k, LATERAL (SELECT 230 + ((i * 31 + k * 7) % 200 - 100) / 110.0 + CASE WHEN i "
            "% 17 = 0 AND k = 3 THEN 1.5 ELSE 0 END AS v) m")
            .arg(kRuns - 1)
            .arg(kRows);
    const bool done = q.exec(QStringLiteral("BEGIN")) && q.exec(runs) && q.exec(steps) &&
                      q.exec(QStringLiteral("COMMIT")) && q.exec(QStringLiteral("VACUUM ANALYZE"));
    if (!done)
        std::fprintf(stderr, "%s\n", q.lastError().text().toLocal8Bit().constData());
    return done;
}

// The median of the runs and the best: on a machine shared with builds the best is the work's
// own time, the median what a user meets.
struct Times {
    double Median = 0;
    double Best = 0;
    Times operator-(const Times& start) const { return {Median - start.Median, Best - start.Best}; }
};

template <typename F> Times MedianOf(F f)
{
    std::vector<double> times;
    for (int i = 0; i < kTimes; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

void Print(const char* what, const Times& t)
{
    std::printf("  %s: %.1f ms (best %.1f)\n", what, t.Median, t.Best);
}

// A tavtest process from start to exit, in ms; its output must be what it prints when it works.
Times Tavtest(const QStringList& arguments)
{
    return MedianOf([&] {
        QProcess p;
        p.start(QStringLiteral(TAVTEST_PATH), arguments);
        p.waitForFinished(60000);
        if (p.exitCode() != 0)
            std::fprintf(stderr, "tavtest %s: %s\n",
                         arguments.join(QLatin1Char(' ')).toLocal8Bit().constData(),
                         p.readAllStandardError().constData());
    });
}

// EXPLAIN takes no parameters: the benchmark's own values are written into the text.
void Explain(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("EXPLAIN (ANALYZE, BUFFERS) ") + sql)) {
        std::fprintf(stderr, "%s\n", q.lastError().text().toLocal8Bit().constData());
        return;
    }
    while (q.next())
        std::printf("    %s\n", q.value(0).toString().toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int keep = static_cast<int>(args.indexOf(QStringLiteral("--keep")));
    const bool plans = args.contains(QStringLiteral("--plans"));
    PgCluster cluster(keep > 0 ? args.value(keep + 1) : QString());
    QString error;
    if (keep > 0)
        cluster.Stop(); // one a broken-off run left running
    if (!cluster.Start(&error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const QString name = QStringLiteral("bench");
    if (!ResultsDatabase::OpenServer(name, cluster.Uri(), &error, 600000)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        if (cluster.Number(QStringLiteral("SELECT COUNT(*) FROM runs")) != kRuns) {
            QElapsedTimer fill;
            fill.start();
            QSqlQuery(db).exec(QStringLiteral("TRUNCATE runs, steps"));
            if (!Fill(db))
                return 1;
            std::printf("server of %d runs, %d step rows made in %.1f s\n", kRuns, kRuns * kRows,
                        fill.elapsed() / 1e3);
        }
        const QString serial = QStringLiteral("SN0012345");
        const QString table = QStringLiteral("table3.tst");
        const qint64 weekMs = kStart + (kRuns - 1) * kEvery - 7 * 86400000LL;
        const QString week =
            QDateTime::fromMSecsSinceEpoch(weekMs).toOffsetFromUtc(0).toString(Qt::ISODate);

        std::printf("in this process, median of %d:\n", kTimes);
        ResultsQuery::Filter bySerial;
        bySerial.Serial = serial;
        int found = 0;
        Times ms =
            MedianOf([&] { found = static_cast<int>(ResultsQuery::History(db, bySerial).size()); });
        Print(qPrintable(QStringLiteral("history of one serial (%1 runs)").arg(found)), ms);
        ResultsQuery::Filter byWeek;
        byWeek.SinceMs = weekMs;
        ResultsQuery::Stats stats;
        ms = MedianOf([&] { stats = ResultsQuery::ComputeStats(db, byWeek); });
        Print(qPrintable(QStringLiteral("stats of the last week (%1 runs, %2 versions)")
                             .arg(stats.Runs)
                             .arg(stats.Tables.size())),
              ms);
        ResultsQuery::Filter byTable;
        byTable.TableName = table;
        ms = MedianOf([&] { stats = ResultsQuery::ComputeStats(db, byTable); });
        Print(qPrintable(QStringLiteral("stats of one table (%1 runs, %2 versions)")
                             .arg(stats.Runs)
                             .arg(stats.Tables.size())),
              ms);
        if (stats.Tables.isEmpty() || stats.Tables.last().Steps.isEmpty())
            return 1;
        const ResultsQuery::TableVersionStats& version = stats.Tables.last();
        const QString step = version.Steps.first().Step;
        QMap<QString, QList<double>> values;
        ms = MedianOf([&] { values = ResultsQuery::StepValues(db, byTable, version, {step}); });
        Print(qPrintable(QStringLiteral("one step's values of one version (%1 values)")
                             .arg(values.value(step).size())),
              ms);

        const qint64 lastMs = kStart + (kRuns - 1) * kEvery;
        ms = MedianOf([&] {
            ResultsQuery::ReadLine(db, lastMs, lastMs - lastMs % 86400000, lastMs - 8 * 3600000);
        });
        Print("web view, line page", ms);
        const QString versionStart = version.Version.left(12);
        for (const auto& [path, query] :
             {std::pair{"/api/version", "table=table3.tst&since=2026-01-01&version="},
              {"/plot/histogram.svg", "table=table3.tst&since=2026-01-01&step=2&version="},
              {"/api/unit", "serial=SN0012345"},
              {"/api/station", "name=LINE3-03"}}) {
            int status = 0;
            QString reason;
            QString text = QString::fromLatin1(query);
            if (text.endsWith(QLatin1Char('=')))
                text += versionStart;
            const ViewRequest request = ViewRequest::Parse(
                QStringLiteral("GET"), QLatin1String(path), QUrlQuery(text), &status, &reason);
            if (status != 0) {
                std::fprintf(stderr, "%s: %s\n", path, qPrintable(reason));
                return 1;
            }
            ms = MedianOf([&] { ReadView(db, request, nullptr); });
            Print(qPrintable(QStringLiteral("web view, %1?%2").arg(QLatin1String(path), text)), ms);
        }

        const QString uri = cluster.Uri();
        const Times start = Tavtest({QStringLiteral("--version")});
        std::printf("tavtest processes, median of %d, beyond tavtest --version (%.1f ms, best "
                    "%.1f):\n",
                    kTimes, start.Median, start.Best);
        Print(qPrintable(QStringLiteral("tavtest history ") + serial),
              Tavtest({QStringLiteral("history"), serial, QStringLiteral("--db"), uri}) - start);
        Print(qPrintable(QStringLiteral("tavtest stats --table ") + table),
              Tavtest({QStringLiteral("stats"), QStringLiteral("--table"), table,
                       QStringLiteral("--db"), uri}) -
                  start);
        Print(qPrintable(QStringLiteral("tavtest stats --since ") + week),
              Tavtest({QStringLiteral("stats"), QStringLiteral("--since"), week,
                       QStringLiteral("--db"), uri}) -
                  start);
        if (plans) {
            // The step figures' query as the statistics send it, of one table and of the week.
            const QString figures = QStringLiteral(
                "SELECT r.table_name, r.table_version, s.step, COUNT(s.value_number), SUM(CASE "
                "WHEN s.mark <> '' THEN 1 ELSE 0 END), MIN(s.value_number), "
                "MAX(s.value_number), SUM(s.value_number - s.lower_number), SUM((s.value_number "
                "- s.lower_number) * (s.value_number - s.lower_number)), MIN(s.lower_number), "
                "MAX(s.lower_number), MIN(s.upper_number) FROM runs r JOIN steps s ON "
                "s.run_uuid = r.uuid WHERE %1 AND r.verdict IN ('passed', 'failed') AND "
                "s.lower_number IS NOT NULL GROUP BY r.table_name, r.table_version, s.step");
            std::printf("plan of one table's step figures:\n");
            Explain(db, figures.arg(QStringLiteral("r.table_name = '%1'").arg(table)));
            std::printf("plan of the week's step figures:\n");
            Explain(db, figures.arg(QStringLiteral("r.started_ms >= %1").arg(weekMs)));
        }
    }
    ResultsDatabase::Close(name);
    return 0;
}
