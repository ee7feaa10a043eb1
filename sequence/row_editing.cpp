#include "sequence/row_editing.h"

#include <algorithm>

namespace {

int Clamp(int row, int last) { return std::clamp(row, 1, std::max(last, 1)); }

// Row `from` goes to position `to`; the rows between close the gap.
void MoveRow(StepGrid& grid, int from, int to)
{
    if (from == to)
        return;
    const QStringList moving = grid.Row(from);
    const int step = from < to ? 1 : -1;
    for (int r = from; r != to; r += step)
        grid.SetRow(r, grid.Row(r + step));
    grid.SetRow(to, moving);
}

} // namespace

void RowRangeSelection::LeftPress(int column, int row)
{
    if (Armed) {
        AnchorColumn = column;
        AnchorRow = row;
    }
    AnchorRow = std::max(AnchorRow, 1);
}

void RowRangeSelection::Release(int row, int lastGridRow)
{
    if (Armed)
        EndRow = row;
    Armed = true;
    EndRow = std::clamp(EndRow, 1, std::max(lastGridRow, 1));
}

void RowRangeSelection::RightPress(int row)
{
    Armed = false;
    TargetRow = row;
    AnchorRow = std::max(AnchorRow, 1);
}

void NumberRows(StepGrid& grid)
{
    for (int row = 1; row <= grid.SpareRow(); ++row)
        grid.SetCell(0, row, StepNumberText(row));
}

void DeleteRows(StepGrid& grid, int first, int n, const QStringList& newRow)
{
    const int last = grid.LastRow();
    if (first < 1 || first > last)
        return;
    for (int i = 0; i < n; ++i) {
        MoveRow(grid, first, last);
        grid.SetRow(last, QStringList{StepNumberText(last)} + newRow);
    }
}

void CopyRows(StepGrid& grid, int first, int n, int target)
{
    const int last = grid.LastRow();
    for (int k = 0; k < n; ++k) {
        const int source = Clamp(first + k, last);
        const int destination = Clamp(target + k, last);
        for (int c = 1; c < grid.Columns(); ++c)
            grid.SetCell(c, destination, grid.Cell(c, source));
    }
}

void MoveRows(StepGrid& grid, int first, int n, int target)
{
    const int last = grid.LastRow();
    int t = target >= first ? target - 1 : target;
    int f = first;
    for (int i = 0; i < n; ++i) {
        f = Clamp(f, last);
        t = Clamp(t, last);
        MoveRow(grid, f, t);
        if (t < f) {
            ++f;
            ++t;
        }
    }
}
