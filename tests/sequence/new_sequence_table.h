#pragma once

#include "sequence/sequence_file.h"
#include "sequence/step_grid.h"

// An empty sequence table as the program starts with one: its captions and every row ended.
inline MemoryStepGrid NewSequenceTable()
{
    MemoryStepGrid grid(kSequenceColumns, kSequenceRows);
    InitStepGrid(grid, SequenceTableKind());
    return grid;
}
