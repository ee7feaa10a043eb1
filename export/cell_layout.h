#pragma once

#include "export/spreadsheet_automation.h"

class CurveTable;
class ResultTable;
struct TestHeader;

// The cells an export writes, in the order it writes them.

// The test report from (row, column): title, the four identity lines, an empty row, then the
// result grid with its caption row.
CellList ReportCells(int row, int column, const TestHeader& copies, const QString& startDate,
                     const ResultTable& results);

// The sequence curve at its fixed place: two marker cells, the identity labels from C21 and
// the curve table's rows 0 ... count-1, columns 0-7, from C27.
CellList CurveCells(const CurveTable& curve);

// Splits the cells into runs that each fill a rectangle completely (consecutive rows covering
// the same consecutive columns), so a block can be written in one call without touching any
// cell the export leaves alone.
std::vector<CellList> CellBlocks(const CellList& cells);
