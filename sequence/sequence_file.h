#pragma once

#include "sequence/step_grid.h"

#include <QString>
#include <functional>

// The sequence table: 6 columns, 50 steps and the spare row 51.
const StepTableKind& SequenceTableKind();
inline constexpr int kSequenceColumns = 6;
inline constexpr int kSequenceRows = 52; // caption row, 50 steps, spare row

// ".seq": line n holds row n (1 to 51), its six cells joined by ';', lines ended by CR LF. A
// table holding a ';' or a line break in a cell is refused (false, the error naming the first
// such cell): the file on disk stays as it was.
bool WriteSequenceFile(const QString& path, const StepGrid& grid, QString* error = nullptr);

// Every cell of the rows a sequence file holds, the spare row included.
inline FileCells SequenceFileCells(const StepGrid& grid)
{
    return StepGridCells(grid, grid.SpareRow());
}

// Reads the file in passes of 51 lines into rows 1 to 51 (a line beyond the end of the file
// reads as empty), as long as lines remain unread. Every line whose time field lacks its points
// is reported once through timeError (1-based line number), and entered all the same.
// False (with the error) when the file cannot be read; the table is then unchanged.
bool ReadSequenceFile(const QString& path, StepGrid& grid,
                      const std::function<void(int line)>& timeError, QString* error = nullptr);
