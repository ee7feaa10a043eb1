// The results database's costs: rows recorded per second through the writer thread with the
// journal's durability (WAL, synchronous=FULL), the time a run's tick spends handing a row over,
// and history and stats over a journal of one million rows.
//   build/bench/bench_results [rows-for-the-writer]
#include "bench/best_time.h"
#include "results/results_database.h"
#include "results/results_query.h"
#include "results/results_schema.h"
#include "results/results_stats.h"
#include "results/results_store.h"
#include "results/run_recorder.h"
#include "results/run_tables.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Through the recorder, as a run hands its rows over: the hand-over's time per row, and rows per
// second until all are on the disk.
void Writer(const QString& folder, int rows)
{
    ResultsStore store(folder + QStringLiteral("/writer.sqlite"));
    RunRecorder recorder(store);
    std::vector<qint64> handOver;
    handOver.reserve(static_cast<size_t>(rows));
    QElapsedTimer all;
    all.start();
    recorder.RunBegins({QString(),
                        {QStringLiteral("R"), QStringLiteral("TAV 1600"), QStringLiteral("SN1")},
                        QStringLiteral("COM2"),
                        QString(),
                        QString(),
                        QString()});
    QElapsedTimer one;
    for (int i = 0; i < rows; ++i) {
        const QStringList cells{QString::number(i % 200 + 1), QStringLiteral("U out"),
                                QStringLiteral("229.000"),    QStringLiteral("230.100"),
                                QStringLiteral("231.000"),    QString()};
        one.start();
        recorder.StepRecorded(cells, true, QStringLiteral("MEAS:VOLT?"));
        handOver.push_back(one.nsecsElapsed());
    }
    recorder.RunEnds(RunEnding::Completed, QString());
    store.Flush();
    const double seconds = all.nsecsElapsed() / 1e9;
    std::sort(handOver.begin(), handOver.end());
    std::printf("writer: %d rows in %.2f s = %.0f rows/s (durable on the disk)\n", rows, seconds,
                rows / seconds);
    std::printf("tick's hand-over per row: median %.1f us, 99th percentile %.1f us, max %.1f us\n",
                handOver[handOver.size() / 2] / 1e3, handOver[handOver.size() * 99 / 100] / 1e3,
                handOver.back() / 1e3);
}

// One million rows: 20 000 runs of 50 rows, 5 000 units of 4 runs, ten tables.
void Fill(QSqlDatabase& db)
{
    ResultsSchema::Begin(db, nullptr);
    ResultsSchema::Exec(db, QStringLiteral("PRAGMA synchronous=OFF"), nullptr);
    const qint64 start = 1'780'000'000'000;
    for (int run = 0; run < 20000; ++run) {
        RunRecord r;
        r.Uuid = QStringLiteral("run-%1").arg(run);
        r.Serial = QStringLiteral("SN%1").arg(run % 5000, 6, 10, QLatin1Char('0'));
        r.TableName = QStringLiteral("table%1.tst").arg(run % 10);
        // Each table in two versions, as a line that edits its tables now and then has them.
        r.TableVersion = QString::fromLatin1(
            QCryptographicHash::hash(r.TableName.toLatin1() + char('0' + run / 10000),
                                     QCryptographicHash::Sha256)
                .toHex());
        r.Unit = QStringLiteral("TAV 1600");
        r.StartedMs = start + run * 60000LL;
        r.Verdict = run % 17 == 0 ? QStringLiteral("failed") : QStringLiteral("passed");
        RunTables::InsertRun(db, r, nullptr);
        for (int i = 1; i <= 50; ++i) {
            RowRecord s;
            s.Order = i;
            s.Step = QString::number(i);
            s.Command = QStringLiteral("MEAS:VOLT?");
            s.LowerText = QStringLiteral("229.000");
            s.Lower = 229;
            s.UpperText = QStringLiteral("231.000");
            s.Upper = 231;
            const double v = 230 + ((run * 31 + i * 7) % 200 - 100) / 100.0;
            s.Value = v;
            s.ValueText = QString::number(v, 'f', 3);
            s.Mark = run % 17 == 0 && i == 10 ? QStringLiteral("Error!") : QString();
            RunTables::InsertStep(db, r.Uuid, s, nullptr);
        }
    }
    ResultsSchema::Commit(db, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Writer(dir.path(), argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20000);

    const QString name = QStringLiteral("bench");
    if (!ResultsDatabase::OpenJournal(name, dir.filePath(QStringLiteral("big.sqlite")), nullptr))
        return 1;
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        QElapsedTimer fill;
        fill.start();
        Fill(db);
        std::printf("journal of 1 000 000 rows made in %.1f s\n", fill.elapsed() / 1e3);
        int found = 0;
        const double history = Best([&] {
            ResultsQuery::Filter serial;
            serial.Serial = QStringLiteral("SN001234");
            found = static_cast<int>(ResultsQuery::History(db, serial).size());
        });
        std::printf("history of one serial (%d runs): %.2f ms\n", found, history);
        ResultsQuery::Filter filter;
        filter.TableName = QStringLiteral("table3.tst");
        int steps = 0;
        int versions = 0;
        const double stats = Best(
            [&] {
                const ResultsQuery::Stats s = ResultsQuery::ComputeStats(db, filter);
                versions = static_cast<int>(s.Tables.size());
                steps = 0;
                for (const auto& t : s.Tables)
                    steps += static_cast<int>(t.Steps.size());
            },
            3);
        std::printf("stats of one table (2 000 runs, 100 000 rows, %d steps in %d versions): "
                    "%.1f ms\n",
                    steps, versions, stats);
        const double all = Best([&] { ResultsQuery::ComputeStats(db, {}); }, 1);
        std::printf("stats of all runs (1 000 000 rows): %.1f ms\n", all);
    }
    ResultsDatabase::Close(name);
    return 0;
}
