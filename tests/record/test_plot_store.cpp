// The decimated view of the plot store against a plain scan of the samples.
#include "record/plot_store.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

TEST(PlotStore, EachColumnHoldsTheMinimumAndMaximumOfItsSamples)
{
    PlotStore store;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-50.f, 250.f);
    std::vector<double> times;
    std::vector<float> curve4;
    double t = 0.0;
    for (int i = 0; i < 5000; ++i) {
        t += (i % 50 == 0) ? 2.0 : 0.66; // gaps, as after a slow pass
        PlotStore::Sample s;
        for (float& v : s)
            v = value(random);
        if (i % 97 == 0)
            s[4] = std::numeric_limits<float>::quiet_NaN();
        store.Append(t, s);
        times.push_back(std::round(t * 1000.0) / 1000.0);
        curve4.push_back(s[4]);
    }
    EXPECT_EQ(store.Size(), 5000u);

    struct View {
        double from, to;
        int columns;
    };
    for (const View v : {View{0.0, t, 300}, View{100.0, 170.0, 50}, View{1000.5, 1001.0, 7},
                         View{t - 60.0, t, 1000}}) {
        const std::vector<QPointF> points = store.Decimated(4, v.from, v.to, v.columns);
        EXPECT_LE(points.size(), static_cast<size_t>(v.columns) * 2);
        // Brute force per column; the decimated points of a column lie within it.
        const double width = (v.to - v.from) / v.columns;
        size_t p = 0;
        for (int col = 0; col < v.columns; ++col) {
            const double a = v.from + width * col;
            const double b = col + 1 == v.columns ? v.to + 1e-3 : v.from + width * (col + 1);
            float lo = INFINITY, hi = -INFINITY;
            for (size_t i = 0; i < times.size(); ++i)
                if (times[i] >= a - 1e-9 && times[i] < b - 1e-9 && !std::isnan(curve4[i])) {
                    lo = std::min(lo, curve4[i]);
                    hi = std::max(hi, curve4[i]);
                }
            if (lo > hi)
                continue;
            ASSERT_LT(p, points.size()) << "column " << col;
            float gotLo = INFINITY, gotHi = -INFINITY;
            const size_t take = lo == hi ? 1 : 2;
            for (size_t k = 0; k < take; ++k, ++p) {
                ASSERT_LT(p, points.size());
                EXPECT_GE(points[p].x(), a - 1e-6);
                EXPECT_LT(points[p].x(), b);
                gotLo = std::min(gotLo, static_cast<float>(points[p].y()));
                gotHi = std::max(gotHi, static_cast<float>(points[p].y()));
            }
            EXPECT_EQ(gotLo, lo) << "column " << col;
            EXPECT_EQ(gotHi, hi) << "column " << col;
        }
        EXPECT_EQ(p, points.size());
    }
    // Points come in time order, so the line never runs back.
    const std::vector<QPointF> all = store.Decimated(4, 0.0, t, 123);
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LE(all[i - 1].x(), all[i].x());

    // The sample nearest a time, the earlier of two as near; the ends for times beyond them.
    for (const double at : {-5.0, 0.0, 700.333, 700.5, times[1234] + 0.0004, t + 100.0}) {
        const size_t i = store.Nearest(at);
        const auto nearest = std::min_element(times.begin(), times.end(), [at](double a, double b) {
            return std::fabs(a - at) < std::fabs(b - at);
        });
        EXPECT_EQ(i, static_cast<size_t>(nearest - times.begin())) << at;
        EXPECT_EQ(store.SecondsAt(i), times[i]);
    }
    EXPECT_TRUE(std::isnan(store.Value(4, 97)));

    store.Clear();
    EXPECT_TRUE(store.Decimated(4, 0.0, t, 10).empty());
    EXPECT_TRUE(PlotStore().Decimated(0, 5.0, 1.0, 10).empty());
}

} // namespace
