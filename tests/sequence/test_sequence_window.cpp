// The sequence window, offscreen: editing, the mouse gestures, and transfers.
#include "panel/direct_send.h"
#include "sequence/grid_widget.h"
#include "sequence/sequence_window.h"
#include "tests/sequence/sequence_window_fixture.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>

TEST_F(SequenceWindowTest, NewWindowShowsItsDefaultsAndTurnsCommasIntoPoints)
{
    Open();
    EXPECT_EQ(window->windowTitle(), "Sequenz");
    EXPECT_EQ(grid->Cell(0, 1), " 1");
    EXPECT_EQ(grid->Cell(0, 50), "50");
    EXPECT_EQ(grid->Row(7), QStringList({" 7", "00.00.00.000", "END", "0", "50", "0"}));
    EXPECT_EQ(grid->Cell(0, 51), "51");
    EXPECT_TRUE(grid->isRowHidden(50)); // the spare row
    EXPECT_EQ(window->findChild<QLineEdit*>("CountEdit")->text(), "1");
    EXPECT_EQ(window->findChild<QLineEdit*>("SeqNrEdit")->text(), "0");

    // Typing into the cell editor: the comma comes out as a point.
    grid->setCurrentCell(0, 3);
    grid->editItem(grid->item(0, 3));
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, "2,5");
    EXPECT_EQ(editor->text(), "2.5");
    QMetaObject::invokeMethod(grid, "commitData", Q_ARG(QWidget*, editor));
    EXPECT_EQ(grid->Cell(3, 1), "2.5");
}

TEST_F(SequenceWindowTest, ClickThenRightClickCopiesARow)
{
    Open();
    NumberValues();
    LeftClick(2, 3);
    MenuOnRow(7, "Copy");
    EXPECT_EQ(grid->Cell(3, 7), "3");
    EXPECT_EQ(grid->Cell(0, 7), " 7");
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(grid->currentColumn(), 1);
}

TEST_F(SequenceWindowTest, DraggingOverNumbersMarksARangeToMove)
{
    Open();
    NumberValues();
    QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, CellPos(0, 2));
    QTest::mouseMove(grid->viewport(), CellPos(0, 3));
    QTest::mouseMove(grid->viewport(), CellPos(0, 4));
    EXPECT_EQ(grid->selectedRanges().size(), 1);
    EXPECT_EQ(grid->selectedRanges().value(0).rowCount(), 3);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, CellPos(0, 4));
    EXPECT_EQ(grid->Selection().AnchorRow, 2);
    EXPECT_EQ(grid->Selection().EndRow, 4);
    MenuOnRow(8, "Move");
    EXPECT_EQ(Order(9), (std::vector<int>{1, 5, 6, 7, 2, 3, 4, 8, 9}));
    EXPECT_EQ(grid->Cell(0, 5), " 5");
    // The range and target are kept for the next window of this run.
    window.reset();
    Open();
    EXPECT_EQ(grid->Selection().AnchorRow, 2);
    EXPECT_EQ(grid->Selection().TargetRow, 8);
}

TEST_F(SequenceWindowTest, WheelMovesTheCursorIntoTimeOfTheNextRow)
{
    Open();
    grid->setCurrentCell(3, 3); // row 4, "Value 1"
    QWheelEvent down(CellPos(3, 4), grid->viewport()->mapToGlobal(CellPos(3, 4)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &down);
    EXPECT_EQ(grid->currentRow() + 1, 5);
    EXPECT_EQ(grid->currentColumn(), 1);
}

TEST_F(SequenceWindowTest, TransferOnAClosedPortStopsWithOneMessage)
{
    CreateWindows(); // no port: COM2 is absent
    Open();
    window->TransferClick();
    EXPECT_TRUE(window->RowTimer()->isActive());
    EXPECT_FALSE(window->findChild<QPushButton*>("TransferButton")->isEnabled());
    window->RowTimerTimer();
    window->CommandTimerTimer();
    EXPECT_EQ(messages, QStringList{"Port not open"});
    EXPECT_FALSE(window->RowTimer()->isActive());
    EXPECT_FALSE(window->CommandTimer()->isActive());
    EXPECT_TRUE(window->findChild<QPushButton*>("TransferButton")->isEnabled());
    // Run control on a closed port says so, once per click.
    window->findChild<QPushButton*>("GoButton")->click();
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(SequenceWindowTest, TransferArrivesCompleteAndPacedAtTheInstrument)
{
    auto simProcess = StartSimAndWindows();
    TavsimProcess& sim = *simProcess;
    Open();
    grid->SetRow(1, {" 1", "00.00.01.000", "UAC", "230", "50", "0"});
    grid->SetRow(2, {" 2", "00.00.02.000", "FREQ", "0", "60", "0"});
    grid->SetRow(3, {" 3", "00.00.00.500", "UDC", "12.5", "60", "1"});
    window->findChild<QLineEdit*>("CountEdit")->setText("2");
    window->findChild<QPushButton*>("TransferButton")->click();
    ASSERT_TRUE(WaitUntil(
        [&] { return !sim.Received().empty() && sim.Received().back().line == "SEQ:CNT,2"; },
        8000));
    const auto log = sim.Received();
    QStringList lines;
    std::vector<qint64> rowStarts, inRowGaps;
    for (size_t i = 0; i < log.size(); ++i) {
        lines.append(log[i].line);
        if (log[i].line.startsWith("SEQ:TIME,"))
            rowStarts.push_back(log[i].micros);
        else if (i > 0)
            inRowGaps.push_back(log[i].micros - log[i - 1].micros);
    }
    EXPECT_EQ(lines, QStringList({"SEQ:TIME,00.00.01.000", "SEQ:VAL3,50", "SEQ:VAL1,230",
                                  "SEQ:VAL2,0", "SEQ:NEW,4", "SEQ:TIME,00.00.02.000",
                                  "SEQ:VAL3,60", "SEQ:VAL1,0", "SEQ:VAL2,0", "SEQ:SET,1",
                                  "SEQ:TIME,00.00.00.500", "SEQ:VAL3,60", "SEQ:VAL1,12.5",
                                  "SEQ:VAL2,1", "SEQ:SET,3", "SEQ:TIME,00.00.00.000",
                                  "SEQ:VAL3,50", "SEQ:VAL1,0", "SEQ:VAL2,0", "SEQ:SET,255",
                                  "SEQ:CNT,2"}));
    ASSERT_EQ(rowStarts.size(), 4u);
    for (size_t i = 1; i < rowStarts.size(); ++i) {
        EXPECT_GT(rowStarts[i] - rowStarts[i - 1], 500000);
        EXPECT_LT(rowStarts[i] - rowStarts[i - 1], 700000);
    }
    std::sort(inRowGaps.begin(), inRowGaps.end());
    const qint64 median = inRowGaps[inRowGaps.size() / 2];
    EXPECT_GT(median, 45000);
    EXPECT_LT(median, 90000);
    EXPECT_TRUE(window->findChild<QPushButton*>("TransferButton")->isEnabled());
    EXPECT_TRUE(messages.isEmpty());

    // What the instrument stored: its answers reach the service tool's log.
    const QStringList stored = {"> 4", "> 00.00.01.000;50;230;0;4", "> 00.00.02.000;60;0;0;1",
                                "> 00.00.00.500;60;12.5;1;3", "> 00.00.00.000;50;0;0;255",
                                "> 2"};
    for (const char* query :
         {"SEQ:ROWS?\n", "SEQ:ROW?,1\n", "SEQ:ROW?,2\n", "SEQ:ROW?,3\n", "SEQ:ROW?,4\n", "SEQ:CNT?\n"}) {
        SendToInstrument(state, query);
        PumpEvents(30);
    }
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() >= stored.size(); }));
    ASSERT_TRUE(WaitUntil([&] { return LogLines().mid(LogLines().size() - stored.size()) == stored; }));
}
