#pragma once

#include <QString>

// Where the program is and writes, and the day it started: set once at start-up.
struct ProgramPlaces {
    QString ProgramDirectory;
    // Where the program writes its own files: ProgramDirectory when writable, else the folder
    // it was started in.
    QString WritableDirectory;
    // The start date in the system's short format: the report header's date and the default
    // report name.
    QString StartDate;
};
