#pragma once

#include <QStringList>

// tavtest history, stats and sync: reading the results database and sending the journal's
// unsent runs to the line's server. Nothing is sent to an instrument.
bool IsResultsCommand(const QStringList& arguments);
// The exit status: 0 done, 1 nothing found (history of an unknown serial), 2 an error
// (database not reachable, bad option, runs left unsent).
int RunResultsCommand(int argc, char** argv, const QStringList& arguments);
