#pragma once

#include <QStringList>

// tavtest instruments: the station's instruments and the last day of each one's calibration,
// listed, added, changed and removed, in the user's file or, with --db, on the line's server
// for every station.
bool IsInstrumentsCommand(const QStringList& arguments);
// The exit status: 0 done, 2 an error (a bad entry, the file or server not reachable).
int RunInstrumentsCommand(int argc, char** argv, const QStringList& arguments);
