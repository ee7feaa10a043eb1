#pragma once

#include <QTime>
#include <QtGlobal>

// The stopwatch's counter and the time of day, behind an interface so that a test can set them.
class TestClock {
public:
    virtual ~TestClock() = default;

    // Counts per second of Counter().
    virtual qint64 CounterFrequency() const = 0;
    // A count that only goes forward, whatever happens to the wall clock.
    virtual qint64 Counter() const = 0;
    virtual QTime TimeOfDay() const = 0;

    // The machine's clocks: a monotonic nanosecond counter and the local time.
    static TestClock& System();
};
