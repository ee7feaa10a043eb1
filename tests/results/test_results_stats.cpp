// The statistics' rules over a real SQLite journal and a real PostgreSQL server (whose figures
// come from the day figures it keeps): figures per table version, runs that did not reach their
// end apart, a missing reply a failure and never a value, and a standard deviation and Cpk that
// mean what they say.
#include "results/results_database.h"
#include "results/results_stats.h"
#include "results/run_tables.h"
#include "tests/results/pg_cluster.h"
#include "tests/results/stats_expect.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace {

using ResultsQuery::Filter;

struct RowPlan {
    const char* Step;
    double Lower;
    double Upper;
    std::optional<double> Value; // none: the instrument did not answer
    const char* Mark = "";
};

struct RunPlan {
    const char* Table;
    QString Version; // empty: recorded before versions were kept
    const char* Serial;
    const char* Verdict;
    QList<RowPlan> Rows;
};

struct StepExpected {
    const char* Table;
    QString Version;
    const char* Step;
    int Count;
    int Failures;
    std::optional<double> Mean;
    std::optional<double> StdDev;
    std::optional<double> Min;
    std::optional<double> Cpk;
};

struct Case {
    const char* Name;
    QList<RunPlan> Runs;
    Filter Where;
    int AllRuns;
    int NotEnded;
    int Units;
    int FirstPass;
    QList<StepExpected> Steps; // every group's, in the order stats gives them
};

const QString kV1 = QStringLiteral("11aa") + QString(60, QLatin1Char('0'));
const QString kV2 = QStringLiteral("12bb") + QString(60, QLatin1Char('0'));

Filter Of(QString Filter::*field, const char* text)
{
    Filter filter;
    filter.*field = QString::fromLatin1(text);
    return filter;
}

RowPlan Reading(const char* step, double value) { return {step, 229, 231, value}; }
RowPlan NoReply(const char* step) { return {step, 229, 231, std::nullopt, "Error!"}; }

RunPlan Passed(const char* serial, QList<RowPlan> rows, const QString& version = kV1,
               const char* table = "psu.tst")
{
    return {table, version, serial, "passed", std::move(rows)};
}

// Runs recorded as the recorder writes them, one minute apart in the order given.
void Write(QSqlDatabase& db, const QList<RunPlan>& runs)
{
    int n = 0;
    for (const RunPlan& plan : runs) {
        RunRecord run;
        run.Uuid = QStringLiteral("run-%1").arg(++n);
        run.TableName = QString::fromLatin1(plan.Table);
        run.TableVersion = plan.Version;
        run.Serial = QString::fromLatin1(plan.Serial);
        run.Unit = QStringLiteral("TAV 1600");
        run.StartedMs = 1'780'000'000'000 + n * 60'000LL;
        run.Verdict = QString::fromLatin1(plan.Verdict);
        QString error;
        ASSERT_TRUE(RunTables::InsertRun(db, run, &error)) << error.toStdString();
        int order = 0;
        for (const RowPlan& r : plan.Rows) {
            RowRecord row;
            row.Order = ++order;
            row.Step = QString::fromLatin1(r.Step);
            row.Command = QStringLiteral("MEAS:VOLT?");
            row.Lower = r.Lower;
            row.LowerText = QString::number(r.Lower, 'f', 3);
            row.Upper = r.Upper;
            row.UpperText = QString::number(r.Upper, 'f', 3);
            row.Value = r.Value;
            row.ValueText =
                r.Value ? QString::number(*r.Value, 'f', 3) : QStringLiteral("no reply");
            row.Mark = QString::fromLatin1(r.Mark);
            ASSERT_TRUE(RunTables::InsertStep(db, run.Uuid, row, &error)) << error.toStdString();
        }
    }
}

TEST(ResultsStats, FiguresMeanWhatTheySay)
{
    const double nextTo230 = std::nextafter(230.0, 231.0);
    const QList<Case> cases{
        // The sum of squares left σ 4e-6 here, and a Cpk of about 80 000.
        {"identical readings",
         QList<RunPlan>(8, Passed("A", {Reading("1", 230.1)})),
         {},
         8,
         0,
         1,
         1,
         {{"psu.tst", kV1, "1", 8, 0, 230.1, 0.0, 230.1, std::nullopt}}},
        {"readings apart by the last digit of a double",
         {Passed("A", {Reading("1", 230)}), Passed("B", {Reading("1", nextTo230)})},
         {},
         2,
         0,
         2,
         2,
         {{"psu.tst", kV1, "1", 2, 0, 230, (nextTo230 - 230) / std::sqrt(2.0), 230, std::nullopt}}},
        {"one reading has a mean and nothing else",
         {Passed("A", {Reading("1", 229.5)})},
         {},
         1,
         0,
         1,
         1,
         {{"psu.tst", kV1, "1", 1, 0, 229.5, std::nullopt, 229.5, std::nullopt}}},
        {"no reply is a failure, never a reading",
         {{"psu.tst", kV1, "A", "failed", {Reading("1", 229.5), NoReply("2")}},
          {"psu.tst", kV1, "B", "failed", {Reading("1", 230.5), NoReply("2")}},
          {"psu.tst", kV1, "C", "failed", {NoReply("1"), NoReply("2")}}},
         {},
         3,
         0,
         3,
         0,
         {{"psu.tst", kV1, "1", 2, 1, 230, std::sqrt(0.5), 229.5, 1 / (3 * std::sqrt(0.5))},
          {"psu.tst", kV1, "2", 0, 3, std::nullopt, std::nullopt, std::nullopt, std::nullopt}}},
        // A's first run was broken off; its passing retest is its first that counts.
        {"runs that did not reach their end are counted apart",
         {{"psu.tst", kV1, "A", "aborted", {Reading("1", 100)}},
          Passed("A", {Reading("1", 230)}),
          {"psu.tst", kV1, "B", "error", {Reading("1", 100)}},
          {"psu.tst", kV1, "C", "", {Reading("1", 100)}},
          {"psu.tst", kV1, "D", "failed", {Reading("1", 232)}}},
         {},
         5,
         3,
         2,
         1,
         {{"psu.tst", kV1, "1", 2, 0, 231, std::sqrt(2.0), 230, 0.0}}},
        {"a unit's steps apart per table and version",
         {Passed("A", {Reading("1", 229.5)}), Passed("B", {Reading("1", 230.5)}),
          Passed("C", {Reading("1", 230.2)}, kV2), Passed("D", {Reading("1", 230.4)}, kV2),
          Passed("E", {Reading("1", 230)}, kV1, "burn-in.tst"),
          Passed("F", {Reading("1", 230)}, QString(), "psu.tst")},
         Of(&Filter::Unit, "TAV 1600"),
         6,
         0,
         6,
         6,
         {{"burn-in.tst", kV1, "1", 1, 0, 230, std::nullopt, 230, std::nullopt},
          {"psu.tst", kV1, "1", 2, 0, 230, std::sqrt(0.5), 229.5, 1 / (3 * std::sqrt(0.5))},
          {"psu.tst", kV2, "1", 2, 0, 230.3, std::sqrt(0.02), 230.2, 0.7 / (3 * std::sqrt(0.02))},
          {"psu.tst", QString(), "1", 1, 0, 230, std::nullopt, 230, std::nullopt}}},
        {"a version's prefix narrows to it",
         {Passed("A", {Reading("1", 229.5)}), Passed("B", {Reading("1", 230.2)}, kV2)},
         Of(&Filter::Version, "12"),
         1,
         0,
         1,
         1,
         {{"psu.tst", kV2, "1", 1, 0, 230.2, std::nullopt, 230.2, std::nullopt}}},
        {"runs recorded before versions were kept",
         {Passed("A", {Reading("1", 229.5)}), Passed("B", {Reading("1", 230.2)}, QString())},
         Of(&Filter::Version, "unknown"),
         1,
         0,
         1,
         1,
         {{"psu.tst", QString(), "1", 1, 0, 230.2, std::nullopt, 230.2, std::nullopt}}},
        // Far from the lower limit against their spread, and limits changed between runs: the
        // values are read one by one.
        {"a small spread far from the limits",
         {Passed("A", {{"1", 0, 1000, 230.001}}), Passed("B", {{"1", 0, 1000, 230.002}}),
          Passed("C", {{"1", 0, 1000, 230.003}})},
         {},
         3,
         0,
         3,
         3,
         {{"psu.tst", kV1, "1", 3, 0, 230.002, 0.001, 230.001, 230.002 / 0.003}}},
        {"limits that changed",
         {Passed("A", {{"1", 229, 231, 230.5}}, QString()),
          Passed("B", {{"1", 228, 232, 229.7}}, QString())},
         {},
         2,
         0,
         2,
         2,
         {{"psu.tst", QString(), "1", 2, 0, 230.1, std::sqrt(0.32), 229.7,
           0.9 / (3 * std::sqrt(0.32))}}},
    };
    // The server's tables emptied between cases: its day figures must go with them.
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    const QString server = QStringLiteral("stats-server");
    ASSERT_TRUE(ResultsDatabase::OpenServer(server, cluster.Uri(), &error)) << error.toStdString();
    for (const auto& [c, onServer] : [&] {
             QList<std::pair<Case, bool>> both;
             for (const Case& c : cases)
                 both << std::pair{c, false} << std::pair{c, true};
             return both;
         }()) {
        SCOPED_TRACE(std::string(c.Name) + (onServer ? " (server)" : " (journal)"));
        QTemporaryDir dir;
        const QString name = onServer ? server : QStringLiteral("stats");
        ASSERT_TRUE(onServer ||
                    ResultsDatabase::OpenJournal(name, dir.filePath("journal.sqlite"), &error))
            << error.toStdString();
        {
            QSqlDatabase db = QSqlDatabase::database(name);
            if (onServer)
                ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("TRUNCATE runs, steps")));
            Write(db, c.Runs);
            const ResultsQuery::Stats stats = ResultsQuery::ComputeStats(db, c.Where);
            EXPECT_EQ(stats.Runs, c.AllRuns);
            EXPECT_EQ(stats.NotEnded, c.NotEnded);
            EXPECT_EQ(stats.Units, c.Units);
            EXPECT_EQ(stats.FirstPassUnits, c.FirstPass);
            QList<ResultsQuery::StepStats> steps;
            for (const auto& table : stats.Tables)
                steps += table.Steps;
            ASSERT_EQ(steps.size(), c.Steps.size());
            for (int i = 0; i < steps.size(); ++i) {
                const auto& got = steps[i];
                const StepExpected& e = c.Steps[i];
                EXPECT_EQ(got.TableName, e.Table);
                EXPECT_EQ(got.Version, e.Version);
                EXPECT_EQ(got.Step, e.Step);
                EXPECT_EQ(got.Count, e.Count);
                EXPECT_EQ(got.Failures, e.Failures);
                ExpectFigure("mean", got.Mean, e.Mean);
                ExpectFigure("standard deviation", got.StdDev, e.StdDev);
                ExpectFigure("min", got.Min, e.Min);
                ExpectFigure("Cpk", got.Cpk, e.Cpk);
            }
        }
        if (!onServer)
            ResultsDatabase::Close(name);
    }
    ResultsDatabase::Close(server);
}

} // namespace
