#pragma once

#include "common/file_cells.h"

#include <QString>
#include <QStringList>
#include <vector>

// A step table as the sequence and test windows keep it: a text grid whose row 0 holds the
// column captions and whose column 0 the step number right-aligned to width 2. Rows 1 to
// LastRow() are the visible steps; one spare row below them is never shown.
class StepGrid {
public:
    virtual ~StepGrid() = default;
    virtual int Columns() const = 0;
    // All rows: the caption row, the visible steps and the spare row.
    virtual int Rows() const = 0;
    virtual QString Cell(int column, int row) const = 0;
    virtual void SetCell(int column, int row, const QString& text) = 0;

    int LastRow() const { return Rows() - 2; }
    int SpareRow() const { return Rows() - 1; }

    QStringList Row(int row) const;
    void SetRow(int row, const QStringList& cells);
};

// The step number as column 0 shows it: " 1" ... " 9", "10" ...
QString StepNumberText(int row);

// The grid kept in memory, for logic that has no window.
class MemoryStepGrid : public StepGrid {
public:
    MemoryStepGrid(int columns, int rows);
    int Columns() const override { return m_columns; }
    int Rows() const override { return static_cast<int>(m_cells.size()); }
    QString Cell(int column, int row) const override;
    void SetCell(int column, int row, const QString& text) override;

private:
    int m_columns;
    std::vector<QStringList> m_cells;
};

// What makes one kind of step table: its captions and what a new row holds.
struct StepTableKind {
    QStringList captions; // row 0, columns 0 ...
    QStringList newRow;   // columns 1 ...
};

// Writes the captions, and the number and defaults of every row, the spare row included.
void InitStepGrid(StepGrid& grid, const StepTableKind& kind);

// Rows 1 to lastRow as a file holds them, each cell named by its row and its column's caption.
FileCells StepGridCells(const StepGrid& grid, int lastRow);

// Splits a file line at its first separators into `fields` fields; the last keeps the rest of the
// line, further ';' included. Missing fields are empty.
QStringList SplitStepLine(const QString& line, int fields);
