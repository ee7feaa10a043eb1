#pragma once

#include <QString>

class TraceWriter;

// "--trace FILE" (or "--trace=FILE") on a program's command line: every program that talks to
// the instrument takes it the same way, before its application object exists.
struct TraceOption {
    bool given = false;
    QString path;
    QString error; // the option without its file
};

TraceOption FindTraceOption(int argc, char** argv);

// Opens the trace the option names; false with a message for standard error when it cannot.
bool StartTrace(const TraceOption& option, TraceWriter& trace, QString& message);

// The option's line for a program's usage text.
extern const char* const kTraceUsage;
