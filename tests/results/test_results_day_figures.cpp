// The figures per day the line's server keeps give the statistics its rows themselves give: the
// same runs in a journal (whose statistics read every row) and on a server agree for every
// filter, a start within a day included, after runs are changed or deleted on both, after an
// older server is brought up to them, after two writers added to the same days at once, and
// for the runs of a role that may write runs and nothing else.
#include "results/results_database.h"
#include "results/results_schema.h"
#include "results/results_stats.h"
#include "results/run_tables.h"
#include "tests/results/pg_cluster.h"
#include "tests/results/stats_expect.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using ResultsQuery::Filter;

constexpr qint64 kDay = 86'400'000;
constexpr qint64 kStart = 20'600 * kDay; // midnight, UTC

// Run n of a varied line: three days, two stations, two table versions, limits of a file for
// two models beside the table's own, one run in seven failed (its step 2 without a reply), one
// in eleven broken off.
RunRecord PlannedRun(int n, QList<RowRecord>& rows)
{
    RunRecord run;
    run.Uuid = QStringLiteral("run-%1").arg(n);
    run.Station = n % 2 ? QStringLiteral("LINE3-A") : QStringLiteral("LINE3-B");
    run.TableName = QStringLiteral("psu.tst");
    run.TableVersion = (n % 3 ? QStringLiteral("aa") : QStringLiteral("bb")) + QString(62, '0');
    run.Serial = QStringLiteral("SN%1").arg(n / 2);
    run.Unit = QStringLiteral("TAV 1600");
    run.InstrumentModel = n % 4 ? QStringLiteral("TAV-1600-PS") : QString();
    if (n % 5) {
        run.LimitsName = QStringLiteral("burn-in.lim");
        run.LimitsVersion = QStringLiteral("3d05") + QString(60, '0');
        run.LimitsModel =
            run.InstrumentModel.isEmpty() ? QStringLiteral("TAV-3200-PS") : run.InstrumentModel;
    }
    run.StartedMs = kStart + n * 2'500'000LL; // 35 runs a day
    const bool failed = n % 7 == 0;
    run.Verdict = n % 11 == 0 ? QStringLiteral("aborted")
                              : (failed ? QStringLiteral("failed") : QStringLiteral("passed"));
    for (int k = 1; k <= 3; ++k) {
        RowRecord row;
        row.Order = k;
        row.Step = QString::number(k * 2);
        row.Command = QStringLiteral("MEAS:VOLT?");
        row.Lower = run.LimitsVersion.isEmpty() ? 229.0 : 228.5;
        row.Upper = 231;
        if (!(failed && k == 2))
            row.Value = 230 + ((n * 31 + k * 7) % 200 - 100) / 110.0;
        else
            row.Mark = QStringLiteral("Error!");
        rows << row;
    }
    return run;
}

bool WriteRuns(QSqlDatabase& db, int first, int last, QString* error)
{
    for (int n = first; n <= last; ++n) {
        QList<RowRecord> rows;
        const RunRecord run = PlannedRun(n, rows);
        if (!RunTables::InsertRun(db, run, error) ||
            !RunTables::InsertSteps(db, run.Uuid, rows, error))
            return false;
    }
    return true;
}

void ExpectSameStats(QSqlDatabase& server, QSqlDatabase& journal)
{
    Filter midDay;
    midDay.SinceMs = kStart + kDay + 40'000'000;
    Filter atMidnight;
    atMidnight.SinceMs = kStart + kDay;
    Filter station;
    station.Station = QStringLiteral("LINE3-B");
    Filter tableLimits;
    tableLimits.LimitsVersion = QStringLiteral("none");
    Filter model;
    model.Model = QStringLiteral("unknown");
    model.LimitsModel = QStringLiteral("TAV-3200-PS");
    Filter version;
    version.Version = QStringLiteral("bb");
    version.SinceMs = midDay.SinceMs;
    for (const Filter& f : {Filter(), midDay, atMidnight, station, tableLimits, model, version}) {
        SCOPED_TRACE(QStringLiteral("since %1, station %2, limits %3, model %4, version %5")
                         .arg(f.SinceMs)
                         .arg(f.Station, f.LimitsVersion, f.Model, f.Version)
                         .toStdString());
        QString error;
        const ResultsQuery::Stats s = ResultsQuery::ComputeStats(server, f, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const ResultsQuery::Stats j = ResultsQuery::ComputeStats(journal, f, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_EQ(s.Runs, j.Runs);
        ASSERT_EQ(s.Tables.size(), j.Tables.size());
        for (qsizetype t = 0; t < j.Tables.size(); ++t) {
            ASSERT_EQ(s.Tables[t].Steps.size(), j.Tables[t].Steps.size());
            ASSERT_FALSE(j.Tables[t].Steps.isEmpty());
            for (qsizetype i = 0; i < j.Tables[t].Steps.size(); ++i) {
                const auto& a = s.Tables[t].Steps[i];
                const auto& b = j.Tables[t].Steps[i];
                SCOPED_TRACE((b.Version.left(2) + QLatin1Char(' ') + b.Step).toStdString());
                EXPECT_EQ(a.Step, b.Step);
                EXPECT_EQ(a.Count, b.Count);
                EXPECT_EQ(a.Failures, b.Failures);
                ExpectFigure("mean", a.Mean, b.Mean);
                ExpectFigure("sigma", a.StdDev, b.StdDev);
                ExpectFigure("min", a.Min, b.Min);
                ExpectFigure("max", a.Max, b.Max);
                ExpectFigure("lower", a.Lower, b.Lower);
                ExpectFigure("upper", a.Upper, b.Upper);
                ExpectFigure("Cpk", a.Cpk, b.Cpk);
            }
        }
    }
}

TEST(DayFigures, TheServerAgreesWithItsRowsWhateverHappensToThem)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(ResultsDatabase::OpenJournal(QStringLiteral("days-journal"),
                                             dir.filePath("journal.sqlite"), &error))
        << error.toStdString();
    ASSERT_TRUE(ResultsDatabase::OpenServer(QStringLiteral("days-server"), cluster.Uri(), &error))
        << error.toStdString();
    {
        QSqlDatabase journal = QSqlDatabase::database(QStringLiteral("days-journal"));
        ASSERT_TRUE(WriteRuns(journal, 1, 100, &error)) << error.toStdString();
        // Two writers at once, each run in its own transaction as a sync sends it, into the
        // same days, stations and versions.
        std::vector<std::thread> writers;
        std::vector<QString> errors(2);
        for (int w = 0; w < 2; ++w)
            writers.emplace_back([&, w] {
                const QString name = QStringLiteral("days-writer-%1").arg(w);
                if (ResultsDatabase::OpenServer(name, cluster.Uri(), &errors[w])) {
                    QSqlDatabase db = QSqlDatabase::database(name);
                    for (int n = 1 + w; n <= 100 && errors[w].isEmpty(); n += 2)
                        if (!ResultsSchema::Begin(db, &errors[w]) ||
                            !WriteRuns(db, n, n, &errors[w]) ||
                            !ResultsSchema::Commit(db, &errors[w]))
                            ResultsSchema::Rollback(db);
                }
                ResultsDatabase::Close(name);
            });
        for (auto& t : writers)
            t.join();
        ASSERT_EQ(errors, std::vector<QString>(2)) << errors[0].toStdString();
        QSqlDatabase server = QSqlDatabase::database(QStringLiteral("days-server"));
        {
            SCOPED_TRACE("as written");
            ExpectSameStats(server, journal);
        }
        // What a line's administrator may do by hand, the same on both.
        for (const char* sql :
             {"UPDATE runs SET verdict = 'aborted' WHERE uuid = 'run-40'",
              "UPDATE runs SET station = 'LINE3-A', started_ms = started_ms + 86400000 WHERE "
              "uuid = 'run-41'",
              "UPDATE steps SET value_number = 230.9 WHERE run_uuid = 'run-42' AND ord = 1",
              "DELETE FROM steps WHERE run_uuid = 'run-43'",
              "DELETE FROM runs WHERE uuid = 'run-44'"})
            for (QSqlDatabase* db : {&server, &journal})
                ASSERT_TRUE(QSqlQuery(*db).exec(QString::fromLatin1(sql))) << sql;
        {
            SCOPED_TRACE("after runs were changed and deleted");
            ExpectSameStats(server, journal);
        }
        // A server an older program left: the next one to open it sums up the runs there are.
        ASSERT_TRUE(QSqlQuery(server).exec(QStringLiteral("DROP TABLE step_days CASCADE")));
        ASSERT_TRUE(
            QSqlQuery(server).exec(QStringLiteral("UPDATE results_schema SET additions = 4")));
    }
    ResultsDatabase::Close(QStringLiteral("days-server"));
    ASSERT_TRUE(ResultsDatabase::OpenServer(QStringLiteral("days-server"), cluster.Uri(), &error))
        << error.toStdString();
    {
        QSqlDatabase server = QSqlDatabase::database(QStringLiteral("days-server"));
        QSqlDatabase journal = QSqlDatabase::database(QStringLiteral("days-journal"));
        ASSERT_TRUE(WriteRuns(server, 101, 110, &error) && WriteRuns(journal, 101, 110, &error))
            << error.toStdString();
        SCOPED_TRACE("an older server brought up");
        EXPECT_GT(cluster.Number(QStringLiteral("SELECT COUNT(*) FROM step_days")), 0);
        ExpectSameStats(server, journal);
        // A station whose role may write runs and nothing else: the figures follow its runs.
        for (const char* sql : {"CREATE ROLE line_writer LOGIN",
                                "GRANT SELECT, INSERT ON runs, steps, results_schema TO "
                                "line_writer"})
            ASSERT_TRUE(QSqlQuery(server).exec(QString::fromLatin1(sql))) << sql;
    }
    {
        QUrl uri(cluster.Uri());
        uri.setUserName(QStringLiteral("line_writer"));
        ASSERT_TRUE(
            ResultsDatabase::OpenServer(QStringLiteral("days-writer"), uri.toString(), &error))
            << error.toStdString();
        QSqlDatabase writer = QSqlDatabase::database(QStringLiteral("days-writer"));
        QSqlDatabase journal = QSqlDatabase::database(QStringLiteral("days-journal"));
        ASSERT_TRUE(WriteRuns(writer, 111, 120, &error) && WriteRuns(journal, 111, 120, &error))
            << error.toStdString();
        QSqlDatabase server = QSqlDatabase::database(QStringLiteral("days-server"));
        SCOPED_TRACE("runs a role without rights on the figures wrote");
        ExpectSameStats(server, journal);
    }
    ResultsDatabase::Close(QStringLiteral("days-writer"));
    ResultsDatabase::Close(QStringLiteral("days-server"));
    ResultsDatabase::Close(QStringLiteral("days-journal"));
}

} // namespace
