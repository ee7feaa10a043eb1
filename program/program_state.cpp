#include "program/program_state.h"

ProgramState::ProgramState(const std::string& gpibLibraryFile) : Link(gpibLibraryFile)
{
    Link.SetTrace(&Trace);
}
