// "Test" > "Rack…", offscreen, against tavsim processes: slots typed into the grid run the
// table at once and show how they end, their row, last value and verdict; each Start all numbers
// new units; a slot's prompt is asked in the window, naming the slot, while the others run on.
#include "tests/rack/rack_window_fixture.h"

#include "results/run_recorder.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

using RackWindowTest = RackWindowFixture;

TEST_F(RackWindowTest, SlotsSayHowTheyEndedAndEachStartAllNumbersNewUnits)
{
    auto good = Sim(3);
    auto heavy = Sim(4, {"--load-ohm", "48"});
    // A path typed into the field is the table run.
    window->findChild<QLineEdit*>("TableEdit")->setText(WriteTable(kCurrentRows));
    window->show();
    Type(0, RackWindow::kPort, "COM3");
    Type(1, RackWindow::kPort, "COM4");
    Type(1, RackWindow::kSerial, "SN-4");
    Type(2, RackWindow::kPort, "COM9"); // nothing there
    StartAndWait();

    const struct {
        int row;
        const char* serial;
        const char* state;
        const char* verdict;
    } first[] = {{0, "0505000121", "passed", "PASSED"},
                 {1, "SN-4", "failed", "FAILED"},
                 {2, "0505000122", "could not open", "ERROR"}};
    for (const auto& s : first) {
        SCOPED_TRACE(s.row);
        EXPECT_EQ(Cell(s.row, RackWindow::kSerial), s.serial);
        EXPECT_EQ(Cell(s.row, RackWindow::kState), s.state);
        EXPECT_EQ(Cell(s.row, RackWindow::kVerdict), s.verdict);
    }
    EXPECT_EQ(Cell(1, RackWindow::kValue), "step 3: 4.792 Error!");
    EXPECT_EQ(grid->item(1, RackWindow::kVerdict)->foreground().color(), QColor(0xc0, 0x00, 0x00));
    EXPECT_EQ(Reports(), QStringList({"TAV 1600-0505000121.rpt", "TAV 1600-SN-4.rpt"}));
    EXPECT_EQ(SavedFolder(), dir.filePath("reports")) << "kept for the next time";
    const QString log = window->findChild<QPlainTextEdit*>("RackLog")->toPlainText();
    EXPECT_TRUE(log.contains("COM9 0505000122: error: COM9:")) << log.toStdString();
    EXPECT_FALSE(log.contains("tavtest")) << log.toStdString();

    // Again, nothing typed: every slot a new unit, none under an earlier one's serial.
    StartAndWait();
    for (const auto& [row, serial] :
         {std::pair{0, "0505000123"}, {1, "0505000124"}, {2, "0505000125"}})
        EXPECT_EQ(Cell(row, RackWindow::kSerial), serial);
    EXPECT_EQ(Reports().size(), 4) << Reports().join(' ').toStdString();

    grid->setCurrentCell(1, 0);
    auto* report = window->findChild<QAbstractItemView*>("SlotReport");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->model()->rowCount(), 4);
    EXPECT_EQ(report->model()->index(2, 3).data().toString(), "4.792");
    grid->setCurrentCell(0, 0);
    EXPECT_EQ(report->model()->index(2, 3).data().toString(), "4.600");

    // A limits file judges each slot by its model's limits instead of the table's.
    const QString table = window->findChild<QLineEdit*>("TableEdit")->text();
    QFile limits(dir.filePath("rack.lim"));
    ASSERT_TRUE(limits.open(QIODevice::WriteOnly));
    limits.write("version " + RunRecorder::HashTable(table).Version.left(12).toLatin1() +
                 "\nmodels TAV-1600-PS\n3 4.7 4.9\n");
    limits.close();
    window->findChild<QLineEdit*>("LimitsEdit")->setText(limits.fileName());
    StartAndWait();
    EXPECT_EQ(Cell(0, RackWindow::kVerdict), "FAILED");
    EXPECT_EQ(Cell(1, RackWindow::kVerdict), "PASSED");
}

TEST_F(RackWindowTest, APromptIsAskedInTheWindowAndHoldsOnlyItsSlot)
{
    auto first = Sim(3);
    auto second = Sim(4);
    window->SetTable(WriteTable(" 1;00.00.00.100;@MSGVAR01;230;0;0;;;Voltage?;1\r\n"
                                " 2;00.00.00.100;SOUR:VOLTAC,@VAR01;0;0;0;;;;1\r\n"
                                " 3;00.00.00.300;Sour:voltac?;0;0;0;0;300;U;1\r\n"
                                " 4;00.00.00.000;END;0;0;0;;;;1\r\n"));
    Type(0, RackWindow::kPort, "COM3");
    Type(1, RackWindow::kPort, "COM4");
    window->findChild<QPushButton*>("StartAllButton")->click();
    const auto sent = [](const TavsimProcess& sim) {
        QStringList lines;
        for (const auto& l : sim.Received())
            lines << l.line;
        return lines;
    };
    // The slots ask in the order they come to their prompt; each question names its slot.
    const QString third = "COM3 0505000121: Voltage? [230]:";
    const QString fourth = "COM4 0505000122: Voltage? [230]:";
    ASSERT_TRUE(WaitUntil([&] { return !window->AskedQuestion().isEmpty(); }, 20000));
    const bool thirdFirst = window->AskedQuestion() == third;
    EXPECT_EQ(window->AskedQuestion(), thirdFirst ? third : fourth);
    TavsimProcess& answered = thirdFirst ? *first : *second;
    TavsimProcess& waiting = thirdFirst ? *second : *first;
    window->Answer("215");
    ASSERT_TRUE(WaitUntil([&] { return sent(answered).contains("Sour:voltac?"); }, 20000));
    // The other slot still waits for its answer: it only asked its instrument what it is.
    EXPECT_EQ(sent(waiting), QStringList({"*idn?", "*opt?"}));
    EXPECT_EQ(window->AskedQuestion(), thirdFirst ? fourth : third);
    window->Answer("abc"); // not a number: asked again
    EXPECT_EQ(window->AskedQuestion(), thirdFirst ? fourth : third);
    window->Answer("220");
    ASSERT_TRUE(WaitUntil([&] { return !window->Running(); }, 30000));
    EXPECT_TRUE(sent(answered).contains("SOUR:VOLTAC,215.0"));
    EXPECT_TRUE(sent(waiting).contains("SOUR:VOLTAC,220.0"));
    EXPECT_EQ(Cell(0, RackWindow::kState), "passed");
    EXPECT_EQ(Cell(1, RackWindow::kState), "passed");
}

} // namespace
