// "Test" > "Results…", offscreen, over a journal written the way the program writes it.
#include "results/results_store.h"
#include "results/results_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

} // namespace

// Both runs listed newest first; the verdict filter leaves the failed one, whose rows show, the
// hidden one too; "Open in test window" chooses it as a report without its hidden row.
TEST(ResultsWindow, ListsFiltersAndShowsTheSelectedRunsRows)
{
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("journal.sqlite"));
    WriteTwoRuns(journal);

    ResultsWindow window(journal);
    window.show();
    auto* runs = window.findChild<QTableWidget*>(QStringLiteral("RunsGrid"));
    auto* rows = window.findChild<QTableWidget*>(QStringLiteral("RowsGrid"));
    auto* open = window.findChild<QPushButton*>(QStringLiteral("OpenInTestWindow"));
    ASSERT_EQ(runs->rowCount(), 2);
    EXPECT_EQ(GridRow(runs, 0).mid(1), QStringList({"0505000121", "TAV 1600", "psu.tst", "passed",
                                                    "station-3", "3f9a1c2b7d4e"}));
    EXPECT_EQ(GridRow(runs, 1).mid(4), QStringList({"failed", "station-3", "unknown"}));
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
