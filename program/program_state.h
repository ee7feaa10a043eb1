#pragma once

#include "autotest/autotest_state.h"
#include "common/program_places.h"
#include "export/export_state.h"
#include "link/link_state.h"
#include "panel/panel_state.h"
#include "record/trace_writer.h"

#include <string>

// The program-wide state, assembled from each subsystem's own part: the only place that knows
// them all. The program and the command-line runner make one at start and hand each window or
// function the parts it uses.
class ProgramState {
public:
    // gpibLibraryFile: the NI-488 library, as the loader looks it up when it is bound.
    explicit ProgramState(const std::string& gpibLibraryFile = GpibLibrary::kLibraryFileName);
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    // The traffic trace of every port and the GPIB layer; writes nothing until it is opened.
    // Made first, so it outlives the ports that write into it.
    TraceWriter Trace;
    LinkState Link;
    PanelState Panel;
    ProgramPlaces Places;
    AutotestState Test;
    ExportState Export;
};
