// The trend's axes on round steps: value ranges to scales and spans to time steps, as tables.
#include "record/axis_ticks.h"

#include <QDateTime>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(AxisTicks, ValueRangesGetRoundStepsThatHoldThem)
{
    struct Case {
        double low, high;
        int maxTicks;
        double min, max, step;
        int decimals;
    };
    const Case cases[] = {
        {0, 230, 6, 0, 250, 50, 0},     // 230 V from zero, not 64.31, 128.6 …
        {0, 230, 5, 0, 300, 100, 0},    // fewer ticks: a coarser step
        {0, 200, 6, 0, 250, 50, 0},     // a curve on a step still gets room above it
        {0, 4.6, 5, 0, 6, 2, 0},        // 4.6 A
        {0, 916.3, 6, 0, 1000, 200, 0}, // 916.3 W
        {-3.2, 7.9, 6, -5, 10, 5, 0},   // below zero
        {0.1234, 0.1236, 5, 0.1234, 0.1237, 0.0001, 4},
        {0, 0, 5, 0, 1, 0.5, 1},        // output off: the unit
        {230, 230, 5, 210, 250, 10, 0}, // a flat line in the middle
        {NAN, 5, 5, 0, 1.5, 0.5, 1},    // no values: as from zero to one
        {0, 230, 1, 0, 500, 500, 0},    // at least two ticks
        {0, 1e6, 6, 0, 1.5e6, 5e5, 0},  // 1.2e6 would take seven ticks
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high << " in " << c.maxTicks);
        const ValueScale s = NiceValueScale(c.low, c.high, c.maxTicks);
        EXPECT_NEAR(s.min, c.min, 1e-9 * std::max(1.0, std::fabs(c.min)));
        EXPECT_NEAR(s.max, c.max, 1e-9 * std::max(1.0, std::fabs(c.max)));
        EXPECT_NEAR(s.step, c.step, 1e-12 * std::max(1.0, c.step));
        EXPECT_EQ(s.decimals, c.decimals);
        EXPECT_FALSE(std::signbit(s.min) && s.min == 0.0) << "no -0 label";
        EXPECT_LE(std::lround((s.max - s.min) / s.step) + 1, std::max(c.maxTicks, 2));
    }
}

TEST(AxisTicks, TimeSpansGetClockSteps)
{
    struct Case {
        double span;
        int maxTicks;
        double step;
    };
    const Case cases[] = {
        {60, 7, 10},      {600, 7, 120},       {600, 11, 60},         {3600, 7, 600},
        {3600, 5, 900},   {20, 9, 5},          {45, 4, 15},           {1.0, 6, 0.2},
        {0.01, 6, 0.002}, {8 * 3600, 6, 7200}, {3 * 86400, 4, 86400}, {10 * 86400, 4, 432000},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(NiceTimeStep(c.span, c.maxTicks), c.step)
            << c.span << " s in " << c.maxTicks << " ticks";
}

TEST(AxisTicks, TimeTicksFallOnTheWallClock)
{
    // The plot's zero at 12:00:07.300: ticks on 12:00:10, :20, :30, not 10 s after it.
    const QDateTime zero(QDate(2026, 3, 4), QTime(12, 0, 7, 300), Qt::UTC);
    const qint64 wall = WallClockMs(zero);
    const std::vector<double> ticks = TimeTicks(wall, 0.0, 30.0, 10.0);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_NEAR(ticks[0], 2.7, 1e-9);
    QStringList labels;
    for (const double t : ticks)
        labels << TimeLabel(wall, t, TimeLabelFormat(10.0, 30.0));
    EXPECT_EQ(labels, QStringList({"12:00:10", "12:00:20", "12:00:30"}));
    EXPECT_EQ(TimeLabel(wall, 0.25, TimeLabelFormat(0.05, 1.0)), "12:00:07.550");
    EXPECT_EQ(TimeLabelFormat(86400.0, 3 * 86400.0), "dd.MM. HH:mm");
    EXPECT_TRUE(TimeTicks(wall, 3.0, 9.0, 10.0).empty());
}

} // namespace
