#include "common/step_time.h"

#include "common/number_reading.h"

#include <cmath>

bool StepTimeHasShape(const QString& text)
{
    return text.size() >= 9 && text[2] == QLatin1Char('.') && text[5] == QLatin1Char('.') &&
           text[8] == QLatin1Char('.');
}

StepTimeParts ReadStepTime(const QString& text)
{
    StepTimeParts p;
    p.hours = ReadInteger(text.mid(0, 2));
    p.minutes = ReadInteger(text.mid(3, 2));
    p.seconds = ReadInteger(text.mid(6, 2));
    p.milliseconds = ReadInteger(text.mid(9, 3));
    return p;
}

int StepTimeTicks(const QString& text, int intervalMs)
{
    if (intervalMs <= 0)
        return 0;
    const StepTimeParts p = ReadStepTime(text);
    auto ticks = [intervalMs](int part, double unitMs) -> int {
        if (part <= 0)
            return 0;
        // nearbyint rounds half to even under the default rounding mode.
        return static_cast<int>(std::nearbyint(part * unitMs / intervalMs));
    };
    return ticks(p.hours, 3600000.0) + ticks(p.minutes, 60000.0) + ticks(p.seconds, 1000.0) +
           ticks(p.milliseconds, 1.0);
}
