#pragma once

#include "autotest/table_window.h"
#include "panel/main_window.h"
#include "program/program_state.h"
#include "sequence/grid_widget.h"
#include "service/service_tool.h"

// The program's state, service tool and main window, made as the program start makes them
// (the main window's creation opens the instrument's port and fills the poll table).
struct ControlPanel {
    ProgramState state;
    PanelWindows windows;
    TForm5 tool{state.Link, state.Trace};
    TForm1 form{state.Link, state.Panel, state.Places, state.Test.Stopwatch, tool, windows};
};

// Writes the rows, each without its step number, into the test window's table from row 1 on.
inline void PutTestRows(TForm6& window, const QList<QStringList>& rows)
{
    for (int r = 0; r < rows.size(); ++r)
        window.Grid()->SetRow(r + 1, QStringList{StepNumberText(r + 1)} + rows[r]);
}
