#pragma once

#include <QString>

// The step time of the sequence and test tables: "hh.mm.ss.mmm", twelve characters.
inline constexpr const char* kDefaultStepTime = "00.00.00.000";

// True when the text has '.' at character positions 3, 6 and 9 (counted from 1), the only check
// a file read makes on a time.
bool StepTimeHasShape(const QString& text);

struct StepTimeParts {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int milliseconds = 0;
};

// Reads the four parts by fixed character positions (1-2, 4-5, 7-8, 10-12), each as a whole
// number, whatever the shape of the text.
StepTimeParts ReadStepTime(const QString& text);

// The step's delay in timer ticks of intervalMs: each positive part is converted to
// milliseconds, divided by the interval and rounded half to even; non-positive parts count 0.
int StepTimeTicks(const QString& text, int intervalMs);
