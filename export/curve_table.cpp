#include "export/curve_table.h"

#include "sequence/step_grid.h"

namespace {

// The sequence table's columns.
enum { kNr, kTime, kCommand, kValue1, kFrequenz, kValue2 };

struct VoltageCommand {
    const char* command;
    int column; // CurveTable column of the voltage
    bool ramp;  // the end value is Value 2, not Value 1
};

const VoltageCommand kVoltageCommands[] = {
    {"UAC", 2, false}, {"UAC1", 4, false}, {"UAC2", 5, false}, {"UAC3", 6, false},
    {"RUAC", 2, true}, {"RUAC1", 4, true}, {"RUAC2", 5, true}, {"RUAC3", 6, true},
};

const VoltageCommand* FindVoltageCommand(const QString& command)
{
    for (const VoltageCommand& v : kVoltageCommands)
        if (command == QLatin1String(v.command))
            return &v;
    return nullptr;
}

} // namespace

QString CurveTable::Cell(int column, int row) const
{
    if (row < 0 || row >= static_cast<int>(m_cells.size()))
        return QString();
    return m_cells[static_cast<size_t>(row)].value(column);
}

void CurveTable::SetCell(int column, int row, const QString& text)
{
    if (column < 0 || column >= kColumns || row < 0)
        return;
    if (row >= static_cast<int>(m_cells.size()))
        m_cells.resize(static_cast<size_t>(row) + 1, QStringList(kColumns, QString()));
    m_cells[static_cast<size_t>(row)][column] = text;
}

void CurveTable::Build(const StepGrid& sequence)
{
    // Cells of an earlier export would reach the workbook beside this sequence's points.
    m_cells.clear();
    int i = 0;
    for (int j = 0; j <= sequence.LastRow(); ++j) {
        const QString command = sequence.Cell(kCommand, j);
        if (command == QLatin1String("END"))
            break;
        if (j == 0) {
            SetCell(0, i, sequence.Cell(kNr, 0));
            SetCell(1, i, QStringLiteral("Time hh.mm.ss.msmsms"));
            SetCell(2, i, QStringLiteral("Voltage(V/rms)"));
            SetCell(3, i, QStringLiteral("Frequency(F/Hz)"));
        } else if (const VoltageCommand* v = FindVoltageCommand(command)) {
            const QString nr = sequence.Cell(kNr, j);
            const QString frequency = sequence.Cell(kFrequenz, j);
            SetCell(0, i, nr);
            SetCell(1, i, QStringLiteral("00.00.00.000"));
            SetCell(v->column, i, sequence.Cell(kValue1, j));
            SetCell(3, i, frequency);
            SetCell(0, i + 1, nr);
            SetCell(1, i + 1, sequence.Cell(kTime, j));
            SetCell(v->column, i + 1, sequence.Cell(v->ramp ? kValue2 : kValue1, j));
            SetCell(3, i + 1, frequency);
            ++i;
        }
        m_rowCount = i + 1;
        m_selected = i;
        ++i;
    }
}
