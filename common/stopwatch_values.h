#pragma once

#include <QtGlobal>

// The test stopwatch, kept by the test keywords and shown in the service tool's timing fields:
// counts of a monotonic counter and the seconds between them.
struct StopwatchValues {
    qint64 StartMark = 0;
    qint64 EndMark = 0;
    double ElapsedTime = 0.0;
    qint64 CounterFrequency = 0; // counts per second; 0 until the first "@STARTTIME"
};
