#include "sequence/step_grid.h"

QStringList StepGrid::Row(int row) const
{
    QStringList cells;
    for (int c = 0; c < Columns(); ++c)
        cells.append(Cell(c, row));
    return cells;
}

void StepGrid::SetRow(int row, const QStringList& cells)
{
    for (int c = 0; c < Columns(); ++c)
        SetCell(c, row, cells.value(c));
}

QString StepNumberText(int row) { return QString::number(row).rightJustified(2); }

MemoryStepGrid::MemoryStepGrid(int columns, int rows)
    : m_columns(columns), m_cells(static_cast<size_t>(rows), QStringList(columns, QString()))
{}

QString MemoryStepGrid::Cell(int column, int row) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= m_columns)
        return {};
    return m_cells[static_cast<size_t>(row)][column];
}

void MemoryStepGrid::SetCell(int column, int row, const QString& text)
{
    if (row < 0 || row >= Rows() || column < 0 || column >= m_columns)
        return;
    m_cells[static_cast<size_t>(row)][column] = text;
}

void InitStepGrid(StepGrid& grid, const StepTableKind& kind)
{
    grid.SetRow(0, kind.captions);
    for (int row = 1; row <= grid.SpareRow(); ++row)
        grid.SetRow(row, QStringList{StepNumberText(row)} + kind.newRow);
}

FileCells StepGridCells(const StepGrid& grid, int lastRow)
{
    FileCells cells;
    for (int row = 1; row <= lastRow; ++row)
        for (int c = 0; c < grid.Columns(); ++c)
            cells.append({QStringLiteral("row %1, column \"%2\"").arg(row).arg(grid.Cell(c, 0)),
                          grid.Cell(c, row)});
    return cells;
}

QStringList SplitStepLine(const QString& line, int fields)
{
    QStringList out;
    qsizetype start = 0;
    for (int f = 0; f < fields - 1; ++f) {
        const qsizetype sep = line.indexOf(QLatin1Char(';'), start);
        if (sep < 0) {
            out.append(line.mid(start));
            start = line.size() + 1;
            break;
        }
        out.append(line.mid(start, sep - start));
        start = sep + 1;
    }
    if (out.size() == fields - 1)
        out.append(line.mid(start));
    while (out.size() < fields)
        out.append(QString());
    return out;
}
