#pragma once

#include "sequence/step_grid.h"

// Marking a range of rows with the mouse, and deleting, copying and moving it. Both step tables
// use this; the spare row is never part of a range, only of the numbering.
class RowRangeSelection {
public:
    int AnchorColumn = 1;
    int AnchorRow = 1;
    int EndRow = 1;
    int TargetRow = 1;
    bool Armed = true;

    // A left press on a cell: it becomes the anchor, if armed.
    void LeftPress(int column, int row);
    // A release of either button over a row: it becomes the end row, if armed; then armed again.
    void Release(int row, int lastGridRow);
    // A right press: the row becomes the target of Copy and Move; the release that follows leaves
    // the end row alone.
    void RightPress(int row);

    // The range runs between anchor and end row, whichever is above.
    int FirstRow() const { return AnchorRow < EndRow ? AnchorRow : EndRow; }
    int Count() const { return (AnchorRow < EndRow ? EndRow - AnchorRow : AnchorRow - EndRow) + 1; }
};

// Column 0 of every row from 1 to the spare row gets its number.
void NumberRows(StepGrid& grid);

// Removes n rows from the first; the table keeps its size with new rows at the bottom.
void DeleteRows(StepGrid& grid, int first, int n, const QStringList& newRow);

// Copies the cells (not the number) of n rows from the first to the target row on; rows are
// copied one after the other and a destination beyond the last row is the last row.
void CopyRows(StepGrid& grid, int first, int n, int target);

// Takes n rows from the first out and puts them back, in their order, directly above the target.
void MoveRows(StepGrid& grid, int first, int n, int target);
