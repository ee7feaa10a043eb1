#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

class QDateTime;

// Round tick steps for the trend plot's axes, so that a reader gets 0, 50, 100 … on a value axis
// and 12:00:10, 12:00:20 … on the time axis, never 64.31 or 12:00:07.

// A value axis: its bounds are whole steps, the step is 1, 2 or 5 times a power of ten.
struct ValueScale {
    double min = 0.0;
    double max = 1.0;
    double step = 0.5;
    // Decimals the step needs, for the labels.
    int decimals = 1;
};

// The scale for values from low to high with at most maxTicks ticks (at least 2): the smallest
// round step that encloses the values and leaves a little room above the highest, so a curve at
// its top does not run along the frame. An empty or flat range is widened.
ValueScale NiceValueScale(double low, double high, int maxTicks);

// A time step (seconds) for a span shown with at most maxTicks ticks: 1, 2, 5 … ms below a
// second, then 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 6, 12 h and whole days.
double NiceTimeStep(double spanSeconds, int maxTicks);

// The ticks from from to to (seconds since zeroMs, local wall-clock milliseconds since the
// epoch) where the wall clock is a whole step: on 12:00:10, 12:00:20, not 10 s after Connect.
std::vector<double> TimeTicks(qint64 zeroMs, double from, double to, double stepSeconds);

// The label format for ticks of that step over that span: milliseconds for steps below a
// second, the date for spans beyond a day (where clock times repeat).
QString TimeLabelFormat(double stepSeconds, double spanSeconds);

// The wall-clock text of a time (seconds since zeroMs) in that format.
QString TimeLabel(qint64 zeroMs, double seconds, const QString& format);

// Local wall-clock milliseconds since the epoch of a time, the zero TimeTicks counts from.
qint64 WallClockMs(const QDateTime& time);
