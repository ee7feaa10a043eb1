#include "autotest/run_clock.h"

#include <chrono>

namespace {

class SystemClock : public TestClock {
public:
    qint64 CounterFrequency() const override
    {
        using Period = std::chrono::steady_clock::period;
        return Period::den / Period::num;
    }
    qint64 Counter() const override
    {
        return std::chrono::steady_clock::now().time_since_epoch().count();
    }
    QTime TimeOfDay() const override { return QTime::currentTime(); }
};

} // namespace

TestClock& TestClock::System()
{
    static SystemClock clock;
    return clock;
}
