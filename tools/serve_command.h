#pragma once

#include <QStringList>

// tavtest serve: the line's read-only web view, over the line's server or this station's
// journal.
bool IsServeCommand(const QStringList& arguments);
// Serves until stopped; 2 when the options are wrong or the address cannot be taken.
int RunServeCommand(int argc, char** argv, const QStringList& arguments);
