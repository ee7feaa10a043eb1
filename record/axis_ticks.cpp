#include "record/axis_ticks.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {

// The smallest of 1, 2, 5 × 10^n that is at least raw.
double RoundStepAtLeast(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw * (1.0 - 1e-9))
            return m * power;
    return 10.0 * power;
}

double NextRoundStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = step / power;
    return (m < 1.5 ? 2.0 : m < 3.5 ? 5.0 : 10.0) * power;
}

// The clock's steps from a second to half a day.
constexpr double kClockSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,  300,
                                  600, 900, 1800, 3600, 7200, 10800, 21600, 43200};

} // namespace

ValueScale NiceValueScale(double low, double high, int maxTicks)
{
    maxTicks = std::max(maxTicks, 2);
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) {
        low = 0.0;
        high = 1.0;
    }
    if (high - low <= 1e-9 * std::max(1.0, std::fabs(high))) {
        // Nothing but zeros: the unit; else a flat line in the middle.
        const double pad = std::fabs(high) * 0.05;
        low = high == 0.0 ? 0.0 : low - pad;
        high = high == 0.0 ? 1.0 : high + pad;
    } else {
        high += (high - low) * 0.02;
    }
    ValueScale scale;
    scale.step = RoundStepAtLeast((high - low) / (maxTicks - 1));
    for (;;) {
        scale.min = std::floor(low / scale.step + 1e-9) * scale.step;
        scale.max = std::ceil(high / scale.step - 1e-9) * scale.step;
        if (std::lround((scale.max - scale.min) / scale.step) + 1 <= maxTicks)
            break;
        scale.step = NextRoundStep(scale.step);
    }
    // No "-0" label.
    if (scale.min == 0.0)
        scale.min = 0.0;
    scale.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(scale.step) + 1e-9)));
    return scale;
}

double NiceTimeStep(double spanSeconds, int maxTicks)
{
    const double raw = std::max(spanSeconds, 1e-3) / std::max(maxTicks - 1, 1);
    if (raw <= 1.0)
        return std::max(RoundStepAtLeast(raw), 1e-3);
    for (const double step : kClockSteps)
        if (step >= raw)
            return step;
    return RoundStepAtLeast(raw / 86400.0) * 86400.0;
}

std::vector<double> TimeTicks(qint64 zeroMs, double from, double to, double stepSeconds)
{
    std::vector<double> ticks;
    const qint64 stepMs = std::max<qint64>(1, std::llround(stepSeconds * 1000.0));
    const qint64 fromMs = zeroMs + static_cast<qint64>(std::ceil(from * 1000.0));
    const qint64 toMs = zeroMs + static_cast<qint64>(std::floor(to * 1000.0));
    // The first whole step at or after from, on the wall clock.
    qint64 tick = fromMs / stepMs * stepMs;
    if (tick < fromMs)
        tick += stepMs;
    for (; tick <= toMs && ticks.size() < 1000; tick += stepMs)
        ticks.push_back(static_cast<double>(tick - zeroMs) / 1000.0);
    return ticks;
}

QString TimeLabelFormat(double stepSeconds, double spanSeconds)
{
    if (stepSeconds < 1.0)
        return QStringLiteral("HH:mm:ss.zzz");
    if (spanSeconds > 86400.0)
        return QStringLiteral("dd.MM. HH:mm");
    return QStringLiteral("HH:mm:ss");
}

QString TimeLabel(qint64 zeroMs, double seconds, const QString& format)
{
    return QDateTime::fromMSecsSinceEpoch(zeroMs + std::llround(seconds * 1000.0), Qt::UTC)
        .toString(format);
}

qint64 WallClockMs(const QDateTime& time)
{
    return time.toMSecsSinceEpoch() + static_cast<qint64>(time.offsetFromUtc()) * 1000;
}
