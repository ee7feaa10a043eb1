#pragma once

#include <cmath>
#include <gtest/gtest.h>
#include <optional>

// A statistics figure as expected: none where none is expected, else equal to the last
// digits a different order of summing may change.
inline void ExpectFigure(const char* what, const std::optional<double>& got,
                         const std::optional<double>& expected)
{
    ASSERT_EQ(got.has_value(), expected.has_value()) << what;
    if (expected) {
        EXPECT_NEAR(*got, *expected, 1e-9 * std::max(1.0, std::abs(*expected))) << what;
    }
}
