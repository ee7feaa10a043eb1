// "Test" > "Rack…", offscreen, against two tavsim processes: slots typed into the grid run the
// table at once and show their state, row, last value and verdict; a slot's report opens below.
#include "common/program_places.h"
#include "rack/rack_window.h"
#include "results/results_store.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Cell(const QTableWidget* grid, int row, int column)
{
    return grid->item(row, column) ? grid->item(row, column)->text() : QString();
}

TEST(RackWindow, SlotsRunAtOnceAndEachShowsItsOwnVerdictAndReport)
{
    PortSandbox sandbox;
    QTemporaryDir dir;
    const QString links = QString::fromStdString(sandbox.LinkDir());
    TavsimProcess good(links + "/COM3", dir.filePath("sim3.log"));
    TavsimProcess heavy(links + "/COM4", dir.filePath("sim4.log"), {"--load-ohm", "48"});
    ASSERT_TRUE(good.Ready() && heavy.Ready());
    QFile table(dir.filePath("unit.tst"));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write("Test-File:\r\nReporter:;Line 3\r\nUnit:;TAV 1600\r\nSerial #:;0505000120\r\n\r\n"
                " 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1\r\n"
                " 2;00.00.00.200;OUTP,1;0;0;0;;;;1\r\n"
                " 3;00.00.00.300;MEAS:CURR?;NEXT;0;NEXT;4.5;4.7;I;1\r\n"
                " 4;00.00.00.100;OUTP,0;0;0;0;;;;1\r\n"
                " 5;00.00.00.000;END;0;0;0;;;;1\r\n");
    table.close();
    ProgramPlaces places;
    places.WritableDirectory = dir.filePath("reports");
    ASSERT_TRUE(QDir().mkpath(places.WritableDirectory));
    ResultsStore results(dir.filePath("journal.sqlite"));

    RackWindow window(results, places);
    window.show();
    window.SetTable(table.fileName());
    QTableWidget* grid = window.SlotGrid();
    grid->setItem(0, RackWindow::kPort, new QTableWidgetItem("COM3"));
    grid->setItem(1, RackWindow::kPort, new QTableWidgetItem("COM4"));
    grid->setItem(1, RackWindow::kSerial, new QTableWidgetItem("SN-4"));
    window.findChild<QPushButton*>("StartAllButton")->click();
    ASSERT_TRUE(window.Running());
    EXPECT_FALSE(window.findChild<QPushButton*>("StartAllButton")->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !window.Running(); }, 30000));

    EXPECT_EQ(Cell(grid, 0, RackWindow::kVerdict), "PASSED");
    EXPECT_EQ(Cell(grid, 1, RackWindow::kVerdict), "FAILED");
    EXPECT_EQ(Cell(grid, 0, RackWindow::kSerial), "0505000120");
    EXPECT_EQ(Cell(grid, 1, RackWindow::kRow), "5/5");
    EXPECT_EQ(Cell(grid, 1, RackWindow::kValue), "step 3: 4.792 Error!");
    EXPECT_EQ(grid->item(1, RackWindow::kVerdict)->foreground().color(), QColor(0xc0, 0x00, 0x00));
    EXPECT_EQ(QDir(places.WritableDirectory).entryList(QDir::Files),
              QStringList({"TAV 1600-0505000120.rpt", "TAV 1600-SN-4.rpt"}));

    grid->setCurrentCell(1, 0);
    auto* report = window.findChild<QAbstractItemView*>("SlotReport");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->model()->rowCount(), 4);
    EXPECT_EQ(report->model()->index(2, 3).data().toString(), "4.792");
}

} // namespace
