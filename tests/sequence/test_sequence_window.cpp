// The sequence window, offscreen: editing, the mouse gestures, and transfers.
#include "sequence/grid_widget.h"
#include "sequence/sequence_window.h"
#include "tests/sequence/sequence_window_fixture.h"
#include "tests/support/qt_wait.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

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

// A SCPI line with ';' in "Value 1" would shift "Frequenz" and "Value 2" when read back: the cell
// shows red, "Save File" names it and leaves the file as it was; once corrected, it saves.
TEST_F(SequenceWindowTest, SaveRefusesACellThatWouldShiftTheFields)
{
    Open();
    grid->SetCell(2, 1, "UAC");
    grid->SetCell(3, 1, "SOUR:VOLT 230;:OUTP ON");
    EXPECT_EQ(grid->item(0, 3)->foreground().color(), QColor(Qt::red));
    const QString path = QDir::current().filePath("kept.seq");
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    window->SaveFile(path);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Row 1, column \"Value 1\" holds a ';'"))
        << messages[0].toStdString();
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
    earlier.close();
    EXPECT_EQ(window->windowTitle(), "Sequenz");

    grid->SetCell(3, 1, "230");
    EXPECT_FALSE(grid->item(0, 3)->data(Qt::ForegroundRole).isValid());
    window->SaveFile(path);
    EXPECT_EQ(messages.size(), 1);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_TRUE(earlier.readAll().startsWith(" 1;00.00.00.000;UAC;230;50;0\r\n"));
}
