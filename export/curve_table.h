#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class StepGrid;

// The sequence as time/voltage/frequency points, kept by the sequence window while it is open
// and never shown. Every build starts from an empty table, so it holds this sequence only.
// Columns: 0 step number, 1 time, 2 voltage, 3 frequency, 4-6 voltage of phase 1-3, 7-8 unused.
class CurveTable {
public:
    static constexpr int kColumns = 9;

    int RowCount() const { return m_rowCount; }
    int SelectedRow() const { return m_selected; }
    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString& text);

    // Rebuilds the points from the sequence table (row 0 its captions), up to the first "END"
    // step or the last step row. Each voltage step becomes two points: at 00.00.00.000 with its
    // start value and at its step time with its end value; any other step leaves one empty row.
    void Build(const StepGrid& sequence);

private:
    int m_rowCount = 2;
    int m_selected = 0;
    std::vector<QStringList> m_cells;
};
