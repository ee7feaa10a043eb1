#pragma once

#include <cstdint>
#include <ctime>

// Microseconds of CLOCK_MONOTONIC, the clock tavsim stamps its log with: traces of both sides
// line up without conversion.
inline int64_t MonotonicMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}
