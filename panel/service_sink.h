#pragma once

#include <QString>
#include <array>

struct StopwatchValues;

// What the control panel shows in the service tool: the traffic log, the identification the
// instrument gave, the status word and the test stopwatch. The tool decides which of its
// fields shows what.
class ServiceToolSink {
public:
    virtual ~ServiceToolSink() = default;
    virtual void AppendLog(const QString& line) = 0;
    virtual void ShowTool() = 0;

    // Where the first four commas of the identification reply stand (1-based, 0 where missing).
    virtual void ShowCommaPositions(const std::array<int, 4>& positions) = 0;
    // The four identification fields ("---" each once disconnected).
    virtual void ShowIdentity(const QString& manufacturer, const QString& model,
                              const QString& serialNumber, const QString& revision) = 0;
    // What the firmware revision says of the status query ("Rev ID = Nil", ...).
    virtual void ShowRevisionMarker(const QString& text) = 0;
    // The detail line under the identity: the poll cycle's base after the identification, the
    // options found after the options reply.
    virtual void ShowIdentDetail(const QString& text) = 0;
    // Whether the options reply names a three-phase source ("3P ...", "Triple ID = Nil").
    virtual void ShowThreePhase(const QString& text) = 0;
    // The status word as it came (its first eight characters).
    virtual void ShowStatusWord(const QString& text) = 0;
    // The test stopwatch's marks, their difference and the seconds between them.
    virtual void ShowStopwatch(const StopwatchValues& stopwatch) = 0;
};
