#include "sequence/row_editing.h"
#include "sequence/sequence_file.h"

#include <gtest/gtest.h>

namespace {

// A sequence table whose rows say which row they were: "Value 1" holds the old row number.
MemoryStepGrid NumberedTable()
{
    MemoryStepGrid grid(kSequenceColumns, kSequenceRows);
    InitStepGrid(grid, SequenceTableKind());
    for (int r = 1; r <= grid.SpareRow(); ++r)
        grid.SetCell(3, r, QString::number(r));
    return grid;
}

std::vector<int> Order(const StepGrid& grid, int rows)
{
    std::vector<int> order;
    for (int r = 1; r <= rows; ++r)
        order.push_back(grid.Cell(3, r).toInt());
    return order;
}

void ExpectNumbered(const StepGrid& grid)
{
    for (int r = 1; r <= grid.SpareRow(); ++r)
        ASSERT_EQ(grid.Cell(0, r), StepNumberText(r));
}

} // namespace

TEST(RowEditing, CopySingleRowKeepsNumbering)
{
    MemoryStepGrid grid = NumberedTable();
    RowRangeSelection sel;
    sel.LeftPress(2, 3);
    sel.Release(3, grid.LastRow());
    sel.RightPress(7);
    sel.Release(9, grid.LastRow()); // the release after a right press leaves the end row
    EXPECT_EQ(sel.EndRow, 3);
    EXPECT_TRUE(sel.Armed);
    CopyRows(grid, sel.FirstRow(), sel.Count(), sel.TargetRow);
    EXPECT_EQ(grid.Cell(3, 7), "3");
    EXPECT_EQ(grid.Cell(3, 3), "3");
    ExpectNumbered(grid);
}

TEST(RowEditing, MoveARangeDownAndToTheTop)
{
    MemoryStepGrid grid = NumberedTable();
    MoveRows(grid, 2, 3, 8);
    NumberRows(grid);
    EXPECT_EQ(Order(grid, 9), (std::vector<int>{1, 5, 6, 7, 2, 3, 4, 8, 9}));
    ExpectNumbered(grid);
    EXPECT_EQ(grid.Cell(3, 51), "51"); // the spare row stays out of it

    MemoryStepGrid top = NumberedTable();
    MoveRows(top, 2, 3, 1);
    EXPECT_EQ(Order(top, 6), (std::vector<int>{2, 3, 4, 1, 5, 6}));
}

TEST(RowEditing, DeleteFillsUpWithNewRows)
{
    MemoryStepGrid grid = NumberedTable();
    DeleteRows(grid, 2, 3, SequenceTableKind().newRow);
    NumberRows(grid);
    EXPECT_EQ(Order(grid, 4), (std::vector<int>{1, 5, 6, 7}));
    EXPECT_EQ(grid.Cell(3, 47), "50");
    for (int r = 48; r <= 50; ++r)
        EXPECT_EQ(grid.Row(r),
                  QStringList({StepNumberText(r), "00.00.00.000", "END", "0", "50", "0"}));
    EXPECT_EQ(grid.Cell(3, 51), "51");
    ExpectNumbered(grid);
}

TEST(RowEditing, CopyBeyondTheLastRowLandsOnIt)
{
    MemoryStepGrid grid = NumberedTable();
    CopyRows(grid, 10, 2, 50);
    EXPECT_EQ(grid.Cell(3, 50), "11");
    EXPECT_EQ(grid.Cell(0, 50), "50");
    EXPECT_EQ(grid.Cell(3, 51), "51");
}

TEST(RowEditing, RangeDraggedUpwardsCountsFromTheUpperRow)
{
    MemoryStepGrid grid = NumberedTable();
    RowRangeSelection sel;
    sel.LeftPress(0, 9);
    sel.Release(6, grid.LastRow());
    EXPECT_EQ(sel.FirstRow(), 6);
    EXPECT_EQ(sel.Count(), 4);
    DeleteRows(grid, sel.FirstRow(), sel.Count(), SequenceTableKind().newRow);
    EXPECT_EQ(Order(grid, 7), (std::vector<int>{1, 2, 3, 4, 5, 10, 11}));
}

TEST(RowEditing, PressAndReleaseAreKeptInsideTheTable)
{
    RowRangeSelection sel;
    sel.LeftPress(1, 0);
    EXPECT_EQ(sel.AnchorRow, 1);
    sel.Release(80, 50);
    EXPECT_EQ(sel.EndRow, 50);
    sel.Release(-3, 50);
    EXPECT_EQ(sel.EndRow, 1);
}
