#pragma once

#include "panel/main_window.h"
#include "program/program_state.h"
#include "service/service_tool.h"

// The program's state, service tool and main window, made as the program start makes them
// (the main window's creation opens the instrument's port and fills the poll table).
struct ControlPanel {
    ProgramState state;
    PanelWindows windows;
    TForm5 tool{state.Link, state.Trace};
    TForm1 form{state.Link, state.Panel, state.Places, state.Test.Stopwatch, tool, windows};
};
