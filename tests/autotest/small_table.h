#pragma once

#include "autotest/result_table.h"
#include "autotest/table_file.h"
#include "sequence/step_grid.h"

#include <QStringList>

// Rows from row 1 on, each given without its step number.
inline void PutRows(StepGrid& table, const QList<QStringList>& rows)
{
    for (int r = 0; r < rows.size(); ++r)
        table.SetRow(r + 1, QStringList{StepNumberText(r + 1)} + rows[r]);
}

// The table both end-to-end runs use: set 230 V, output on, a voltage that passes, one that
// fails and jumps over a row, a current checked twice by a GOTO loop, output off, END. Each
// query waits half a second, ample for the reply.
inline void PutSmallTable(StepGrid& table)
{
    const QList<QStringList> rows = {
        {"00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"},
        {"00.00.00.200", "OUTP,1", "0", "0", "0", "", "", "", "1"},
        {"00.00.00.500", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
        {"00.00.00.500", "MEAS:VOLT?", "6", "0", "0", "240", "250", "too low", "1"},
        {"00.00.00.100", "SOUR:VOLTAC,100", "0", "0", "0", "", "", "", "1"},
        {"00.00.00.500", "MEAS:CURR?", "0", "0", "0", "4.5", "4.7", "I", "1"},
        {"00.00.00.000", "GOTO", "6", "0", "1", "", "", "", "1"},
        {"00.00.00.100", "OUTP,0", "0", "0", "0", "", "", "", "1"},
    };
    PutRows(table, rows);
}

// The lines the instrument gets, in order: row 5 is jumped over, row 6 runs twice.
inline QStringList SmallTableLines()
{
    return {"SOUR:VOLTAC,230", "OUTP,1",     "MEAS:VOLT?", "MEAS:VOLT?",
            "MEAS:CURR?",      "MEAS:CURR?", "OUTP,0"};
}

// The result rows of a 50 ohm load.
inline QList<QStringList> SmallTableResults()
{
    return {ResultTable::Captions(),
            {" 1", "", "", "", "", ""},
            {" 2", "", "", "", "", ""},
            {" 3", "UAC", "225.000", "230.000", "235.000", ""},
            {" 4", "too low", "240.000", "230.000", "250.000", "Error!"},
            {" 6", "I", "4.500", "4.600", "4.700", ""},
            {" 6", "I", "4.500", "4.600", "4.700", ""},
            {" 8", "", "", "", "", ""}};
}

inline QList<QStringList> AllRows(const ResultTable& results)
{
    QList<QStringList> rows;
    for (int r = 0; r < results.RowCount(); ++r)
        rows.append(results.Row(r));
    return rows;
}
