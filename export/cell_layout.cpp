#include "export/cell_layout.h"

#include "autotest/result_table.h"
#include "autotest/table_header.h"
#include "export/curve_table.h"

CellList ReportCells(int row, int column, const TestHeader& copies, const QString& startDate,
                     const ResultTable& results)
{
    CellList cells{{row, column, QStringLiteral("Test-Report:")}};
    const QString identity[4][2] = {{QStringLiteral("Reporter:"), copies.ReporterText},
                                    {QStringLiteral("Unit:"), copies.UnitText},
                                    {QStringLiteral("Serial #:"), copies.SerialText},
                                    {QStringLiteral("Date:"), startDate}};
    for (int k = 0; k < 4; ++k) {
        cells.push_back({row + 1 + k, column, identity[k][0]});
        cells.push_back({row + 1 + k, column + 1, identity[k][1]});
    }
    for (int k = 0; k < results.RowCount(); ++k)
        for (int c = 0; c < ResultTable::kColumns; ++c)
            cells.push_back({row + 6 + k, column + c, results.Cell(c, k)});
    return cells;
}

CellList CurveCells(const CurveTable& curve)
{
    CellList cells{{15, 15, QStringLiteral("Test")},        {15, 16, QStringLiteral("Test1")},
                   {21, 3, QStringLiteral("Test-Report:")}, {22, 3, QStringLiteral("Reporter:")},
                   {23, 3, QStringLiteral("Unit:")},        {24, 3, QStringLiteral("Serial #:")},
                   {25, 3, QStringLiteral("Date:")}};
    for (int f = 0; f < curve.RowCount(); ++f)
        for (int c = 0; c <= 7; ++c)
            cells.push_back({27 + f, 3 + c, curve.Cell(c, f)});
    return cells;
}

std::vector<CellList> CellBlocks(const CellList& cells)
{
    // First the runs of neighbouring cells within one row, then runs of such rows that lie
    // one under the other with the same columns.
    std::vector<CellList> rows;
    for (const CellText& cell : cells) {
        if (!rows.empty()) {
            const CellText& last = rows.back().back();
            if (last.row == cell.row && last.column + 1 == cell.column) {
                rows.back().push_back(cell);
                continue;
            }
        }
        rows.push_back({cell});
    }
    std::vector<CellList> blocks;
    const CellList* previous = nullptr;
    for (const CellList& row : rows) {
        if (previous && previous->front().row + 1 == row.front().row &&
            previous->front().column == row.front().column && previous->size() == row.size())
            blocks.back().insert(blocks.back().end(), row.begin(), row.end());
        else
            blocks.push_back(row);
        previous = &row;
    }
    return blocks;
}
