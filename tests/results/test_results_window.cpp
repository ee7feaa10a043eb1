// "Test" > "Results…", offscreen, over a journal written the way the program writes it, and
// its statistics page over the journal and a private PostgreSQL cluster.
#include "results/results_database.h"
#include "results/results_store.h"
#include "results/results_window.h"
#include "results/results_window_stats.h"
#include "results/run_tables.h"
#include "tests/results/pg_cluster.h"
#include "tests/support/qt_wait.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList GridRow(const QTableWidget* grid, int row)
{
    QStringList cells;
    for (int c = 0; c < grid->columnCount(); ++c)
        cells << (grid->item(row, c) ? grid->item(row, c)->text() : QString());
    return cells;
}

RowRecord Row(int order, const QString& step, const QString& value, const QString& mark,
              bool shown = true)
{
    RowRecord row;
    row.Order = order;
    row.Step = step;
    row.Command = QStringLiteral("MEAS:VOLT?");
    row.Comment = QStringLiteral("UAC");
    row.LowerText = QStringLiteral("225.000");
    row.UpperText = QStringLiteral("235.000");
    row.ValueText = value;
    row.Mark = mark;
    row.Shown = shown;
    row.ElapsedMs = 1500 * order;
    return row;
}

// A unit that failed on a hidden row, a day later the same unit passed.
void WriteTwoRuns(const QString& journal)
{
    ResultsStore store(journal);
    const qint64 day = 24 * 3600 * 1000LL;
    RunRecord failed;
    failed.Uuid = QStringLiteral("run-failed");
    failed.Station = QStringLiteral("station-3");
    failed.TableName = QStringLiteral("psu.tst");
    failed.Reporter = QStringLiteral("KELM-Electronic");
    failed.Unit = QStringLiteral("TAV 1600");
    failed.Serial = QStringLiteral("0505000121");
    failed.StartedMs = QDateTime::currentMSecsSinceEpoch() - 2 * day;
    RunRecord passed = failed;
    passed.Uuid = QStringLiteral("run-passed");
    passed.TableVersion = QStringLiteral("3f9a1c2b7d4e") + QString(52, QLatin1Char('0'));
    passed.StartedMs += day;
    passed.Instrument = QStringLiteral("KELM Electronic GmbH,TAV-1600-PS,0505000007,V2.00");
    passed.InstrumentModel = QStringLiteral("TAV-1600-PS");
    passed.InstrumentSerial = QStringLiteral("0505000007");
    passed.Calibration = QStringLiteral("calibration due 2027-03-31");
    failed.Instrument = QStringLiteral("unidentified");
    store.BeginRun(failed);
    store.AddStep(failed.Uuid, Row(1, "3", "230.000", ""));
    store.AddStep(failed.Uuid, Row(2, "4", "236.100", "Error!", false));
    failed.EndedMs = failed.StartedMs + 3000;
    failed.Verdict = QStringLiteral("failed");
    store.EndRun(failed);
    store.BeginRun(passed);
    store.AddStep(passed.Uuid, Row(1, "3", "230.100", ""));
    passed.EndedMs = passed.StartedMs + 3000;
    passed.Verdict = QStringLiteral("passed");
    store.EndRun(passed);
    ASSERT_TRUE(store.Flush().JournalError.isEmpty());
}

// Runs of psu.tst as the recorder writes them, each with step 3 (limits 229..231) and a step
// without limits: unit A fails first, then passes; B passes; C fails; a run broken off; all
// but the first two days ago; a run of a second version; one of a week ago, before the period.
const QString kVersion = QStringLiteral("3f9a1c2b7d4e") + QString(52, QLatin1Char('0'));
const QString kOlder = QStringLiteral("77aa") + QString(60, QLatin1Char('0'));
void WriteStatsRuns(QSqlDatabase& db)
{
    const qint64 day = 24 * 3600 * 1000LL;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    struct Plan {
        const char* Serial;
        const char* Verdict;
        double Value;
        qint64 Started;
        QString Version = kVersion;
    };
    const QList<Plan> plans{{"A", "failed", 231.4, now - 2 * day},
                            {"A", "passed", 230.2, now - 2 * day + 60000},
                            {"B", "passed", 229.8, now - 2 * day + 120000},
                            {"C", "failed", 228.9, now - 2 * day + 180000},
                            {"D", "aborted", 230.0, now - 2 * day + 240000},
                            {"E", "passed", 230.0, now - day, kOlder},
                            {"F", "passed", 225.0, now - 7 * day}};
    int n = 0;
    for (const Plan& plan : plans) {
        RunRecord run;
        run.Uuid = QStringLiteral("stats-run-%1").arg(++n);
        run.TableName = QStringLiteral("psu.tst");
        run.TableVersion = plan.Version;
        run.Serial = QString::fromLatin1(plan.Serial);
        run.StartedMs = plan.Started;
        run.Verdict = QString::fromLatin1(plan.Verdict);
        QString error;
        ASSERT_TRUE(RunTables::InsertRun(db, run, &error)) << error.toStdString();
        RowRecord setup = Row(1, "2", "", "");
        setup.LowerText = setup.UpperText = QString();
        RowRecord checked = Row(2, "3", QString::number(plan.Value, 'f', 3),
                                plan.Value > 231 || plan.Value < 229 ? "Error!" : "");
        checked.Lower = 229;
        checked.Upper = 231;
        checked.LowerText = QStringLiteral("229.000");
        checked.UpperText = QStringLiteral("231.000");
        checked.Value = plan.Value;
        for (const RowRecord& row : {setup, checked})
            ASSERT_TRUE(RunTables::InsertStep(db, run.Uuid, row, &error)) << error.toStdString();
    }
}

class StatisticsPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The server the page reads is the one the program's settings keep: the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        journal = dir.filePath(QStringLiteral("journal.sqlite"));
        ASSERT_TRUE(ResultsDatabase::OpenJournal(QStringLiteral("write"), journal, nullptr));
        {
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("write"));
            WriteStatsRuns(db);
        }
        ResultsDatabase::Close(QStringLiteral("write"));
    }

    // The window on its statistics page since three days ago, the newest version's figures read,
    // then the older one's chosen.
    void Open()
    {
        window = std::make_unique<ResultsWindow>(journal);
        window->show();
        page = window->findChild<ResultsStatsPage*>(QStringLiteral("StatisticsPage"));
        auto* since = window->findChild<QDateEdit*>(QStringLiteral("SinceDate"));
        since->setDate(QDate::currentDate().addDays(-3));
        window->findChild<QCheckBox*>(QStringLiteral("SinceCheck"))->setChecked(true);
        window->findChild<QTabWidget*>(QStringLiteral("ResultsTabs"))->setCurrentWidget(page);
        status = window->findChild<QLabel*>(QStringLiteral("StatusLabel"));
        ASSERT_TRUE(WaitUntil([&] { return status->text() == "1 run"; }))
            << status->text().toStdString();
        versions = window->findChild<QComboBox*>(QStringLiteral("VersionChoice"));
        ASSERT_EQ(versions->count(), 2);
        EXPECT_EQ(versions->itemText(0), "psu.tst  77aa00000000  (1 run)");
        versions->setCurrentIndex(1);
        ASSERT_TRUE(WaitUntil([&] { return status->text() == "5 runs"; }))
            << status->text().toStdString();
    }

    QString Text(const char* name) const
    {
        return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    QTemporaryDir dir;
    QString journal;
    std::unique_ptr<ResultsWindow> window;
    ResultsStatsPage* page = nullptr;
    QLabel* status = nullptr;
    QComboBox* versions = nullptr;
};

} // namespace

// The version run last comes first in the choice; the other's yields over the period (the
// aborted run and the week-old one left out), step 3's figures as the statistics give them,
// and its plots of the values in run order.
TEST_F(StatisticsPage, ShowsTheChosenVersionsFiguresOverThePeriod)
{
    Open();
    EXPECT_EQ(Text("RunsFigure"), "5 (1 not ended)");
    EXPECT_EQ(Text("FirstPassYield"), "33.3 % (1 of 3)");
    EXPECT_EQ(Text("FinalYield"), "66.7 % (2 of 3)");

    ResultsQuery::Filter filter;
    filter.TableName = QStringLiteral("psu.tst");
    filter.Version = kVersion;
    filter.SinceMs = QDate::currentDate().addDays(-3).startOfDay().toMSecsSinceEpoch();
    ASSERT_TRUE(ResultsDatabase::OpenJournal(QStringLiteral("read"), journal, nullptr));
    ResultsQuery::Stats expected;
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("read"));
        expected = ResultsQuery::ComputeStats(db, filter);
    }
    ResultsDatabase::Close(QStringLiteral("read"));
    ASSERT_EQ(expected.Tables.size(), 1);
    ASSERT_EQ(expected.Tables[0].Steps.size(), 1);
    const ResultsQuery::StepStats& step = expected.Tables[0].Steps[0];
    ASSERT_TRUE(step.Cpk.has_value());
    auto* steps = window->findChild<QTableWidget*>(QStringLiteral("StepsGrid"));
    ASSERT_EQ(steps->rowCount(), 1);
    EXPECT_EQ(GridRow(steps, 0),
              QStringList({"3", "UAC", "4", "2", "230.0750", QString::number(*step.StdDev, 'f', 4),
                           "228.9000", "231.4000", "229.000", "231.000",
                           QString::number(*step.Cpk, 'f', 2)}));
    ASSERT_EQ(page->Shown().Table.Steps.size(), 1);
    EXPECT_EQ(page->Shown().Table.Steps[0].Cpk, step.Cpk);

    auto* histogram = window->findChild<QSvgWidget*>(QStringLiteral("HistogramPlot"));
    auto* chart = window->findChild<QSvgWidget*>(QStringLiteral("ControlChartPlot"));
    EXPECT_FALSE(chart->renderer()->isValid());
    steps->setCurrentCell(0, 0);
    ASSERT_TRUE(WaitUntil([&] { return chart->renderer()->isValid(); }));
    EXPECT_TRUE(histogram->renderer()->isValid());
    EXPECT_EQ(page->Shown().Values, QList<double>({231.4, 230.2, 229.8, 228.9}));
}

// The line's server gives the journal's figures; stopped, it is told in the status line, and
// the page goes on reading the journal. The server is read on a thread of its own: the window
// has answered before the figures come.
TEST_F(StatisticsPage, ReadsTheLinesServerAndTellsWhenItIsDown)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    ASSERT_TRUE(ResultsDatabase::OpenServer(QStringLiteral("write"), cluster.Uri(), &error))
        << error.toStdString();
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("write"));
        WriteStatsRuns(db);
    }
    ResultsDatabase::Close(QStringLiteral("write"));
    ResultsDatabase::SaveServer(cluster.Uri());

    Open();
    auto* source = window->findChild<QComboBox*>(QStringLiteral("SourceChoice"));
    source->setCurrentIndex(1);
    EXPECT_EQ(status->text(), "Reading the line's server…");
    ASSERT_TRUE(WaitUntil([&] { return status->text() == "5 runs"; }))
        << status->text().toStdString();
    EXPECT_EQ(Text("FinalYield"), "66.7 % (2 of 3)");

    ASSERT_TRUE(cluster.Stop(&error)) << error.toStdString();
    source->setCurrentIndex(0);
    source->setCurrentIndex(1);
    // Its last words on the connection open, or none at all on a new one.
    ASSERT_TRUE(WaitUntil([&] { return status->text().startsWith("results server"); }))
        << status->text().toStdString();
    EXPECT_TRUE(status->text().startsWith("results server unreachable (" + cluster.Uri() + "): "))
        << status->text().toStdString();
    source->setCurrentIndex(0);
    ASSERT_TRUE(WaitUntil([&] { return status->text() == "5 runs"; }))
        << status->text().toStdString();
}

// Both runs listed newest first; the verdict filter leaves the failed one, whose rows show, the
// hidden one too; "Open in test window" chooses it as a report without its hidden row.
TEST(ResultsWindow, ListsFiltersAndShowsTheSelectedRunsRows)
{
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("journal.sqlite"));
    WriteTwoRuns(journal);

    ResultsWindow window(journal);
    window.show();
    // The first day's field shows a date whole, also at the window's smallest size.
    window.resize(window.minimumSizeHint());
    auto* since = window.findChild<QDateEdit*>(QStringLiteral("SinceDate"));
    since->setDate(QDate(2026, 12, 28));
    auto* dateText = since->findChild<QLineEdit*>();
    const QFontMetrics metrics(dateText->font());
    EXPECT_GE(dateText->contentsRect().width() - 4,
              std::max(metrics.horizontalAdvance(dateText->text()),
                       metrics.boundingRect(dateText->text()).right() + 1) +
                  metrics.horizontalAdvance(QLatin1Char('8')) / 2);
    window.resize(900, 600);
    auto* runs = window.findChild<QTableWidget*>(QStringLiteral("RunsGrid"));
    auto* rows = window.findChild<QTableWidget*>(QStringLiteral("RowsGrid"));
    auto* open = window.findChild<QPushButton*>(QStringLiteral("OpenInTestWindow"));
    ASSERT_EQ(runs->rowCount(), 2);
    EXPECT_EQ(GridRow(runs, 0).mid(1),
              QStringList({"0505000121", "TAV 1600", "psu.tst", "passed", "station-3",
                           "3f9a1c2b7d4e", "TAV-1600-PS 0505000007"}));
    EXPECT_TRUE(runs->item(0, 7)->toolTip().endsWith("\ncalibration due 2027-03-31"));
    EXPECT_EQ(GridRow(runs, 1).mid(4),
              QStringList({"failed", "station-3", "unknown", "unidentified"}));
    EXPECT_FALSE(open->isEnabled());

    auto* verdict = window.findChild<QComboBox*>(QStringLiteral("VerdictFilter"));
    verdict->setCurrentIndex(verdict->findText(QStringLiteral("failed")));
    ASSERT_EQ(runs->rowCount(), 1);
    EXPECT_EQ(rows->rowCount(), 0);
    runs->setCurrentCell(0, 0);
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(GridRow(rows, 0), QStringList({"3", "MEAS:VOLT?", "UAC", "225.000", "230.000",
                                             "235.000", "", "1", "1.5"}));
    EXPECT_EQ(GridRow(rows, 1), QStringList({"4", "MEAS:VOLT?", "UAC", "225.000", "236.100",
                                             "235.000", "Error!", "0", "3.0"}));

    window.findChild<QLineEdit*>(QStringLiteral("SerialFilter"))->setText("0505000122");
    EXPECT_EQ(runs->rowCount(), 0);
    window.findChild<QLineEdit*>(QStringLiteral("SerialFilter"))->setText("0505000121");
    runs->setCurrentCell(0, 0);
    open->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    ASSERT_TRUE(window.Chosen().has_value());
    EXPECT_EQ(window.Chosen()->Header.Header.SerialText, "0505000121");
    EXPECT_EQ(window.Chosen()->Rows,
              QList<QStringList>({{" 3", "UAC", "225.000", "230.000", "235.000", ""}}));
}
