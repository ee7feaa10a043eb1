#pragma once

#include "run/run_options.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>

// The outcome of reading the command line: options, or --help/--version, or an error.
struct RunnerCommandLine {
    RunnerOptions Options;
    bool Help = false;
    bool Version = false;
    QString Error;
};

RunnerCommandLine ParseRunnerCommandLine(const QStringList& arguments);

// The --help text.
extern const char* const kRunnerUsage;
