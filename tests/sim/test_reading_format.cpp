#include "sim/reading_format.h"

#include <gtest/gtest.h>

namespace tav::sim {
namespace {

TEST(SimReadingFormat, ReadingsKeepFiveCharactersAcrossDecades)
{
    EXPECT_EQ(FormatReading(0.0, "V"), "0.000V");
    EXPECT_EQ(FormatReading(12.3449, "V"), "12.34V");
    EXPECT_EQ(FormatReading(230.06, "V"), "230.1V");
    EXPECT_EQ(FormatReading(1058.0, "VA"), "1058.VA");
    // Rounding that carries into a new digit must not make the text longer.
    EXPECT_EQ(FormatReading(9.9996, "V"), "10.00V");
    EXPECT_EQ(FormatReading(999.96, "W"), "1000.W");
    EXPECT_EQ(FormatReading(12345.4, "W"), "12345W");
    EXPECT_EQ(FormatReading(250000.0, "W"), "99999W");
}

TEST(SimReadingFormat, CurrentsBelowOneAmpereInMilliamperes)
{
    EXPECT_EQ(FormatCurrentReading(0.0), "0.000A");
    EXPECT_EQ(FormatCurrentReading(0.1234), "123.4mA");
    EXPECT_EQ(FormatCurrentReading(0.0042), "4.200mA");
    // Would be "1000.mA".
    EXPECT_EQ(FormatCurrentReading(0.9996), "1.000A");
    EXPECT_EQ(FormatCurrentReading(16.0), "16.00A");
}

TEST(SimReadingFormat, SetValuesAndFactors)
{
    EXPECT_EQ(FormatSetValue(230.0), "230.00000");
    EXPECT_EQ(FormatSetValue(-12.5), "-12.50000");
    EXPECT_EQ(FormatFactor(1.41421356), "1.414");
    EXPECT_EQ(FormatFactor(0.99849), "0.998");
}

} // namespace
} // namespace tav::sim
