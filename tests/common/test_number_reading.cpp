#include "common/number_reading.h"

#include <gtest/gtest.h>

// Replies and table cells are read leniently: the longest leading number counts.
TEST(NumberReading, DecimalNumbersAndTheLongestLeadingNumber)
{
    EXPECT_DOUBLE_EQ(ReadNumber("12.5"), 12.5);
    EXPECT_DOUBLE_EQ(ReadNumber("  -3.25"), -3.25);
    EXPECT_DOUBLE_EQ(ReadNumber("+1.5E3"), 1500.0);
    EXPECT_DOUBLE_EQ(ReadNumber("2e-3"), 0.002);
    // Gluing the digits together (12.5A -> 125) would be a plainly wrong reading.
    EXPECT_DOUBLE_EQ(ReadNumber("12.5A"), 12.5);
    EXPECT_DOUBLE_EQ(ReadNumber("-3x"), -3.0);
    EXPECT_DOUBLE_EQ(ReadNumber("7:"), 7.0);
    EXPECT_DOUBLE_EQ(ReadNumber("230.12345V\r\n"), 230.12345);
    EXPECT_DOUBLE_EQ(ReadNumber("1e"), 1.0);
    EXPECT_DOUBLE_EQ(ReadNumber("1.5e+"), 1.5);
    for (const char* none : {"A", "-", "", "."})
        EXPECT_EQ(ReadNumber(none), 0.0) << none;
    EXPECT_EQ(ReadNumber(QString()), 0.0);
}

TEST(NumberReading, IntegersStopBeforeOverflowing32Bits)
{
    EXPECT_EQ(ReadInteger("42"), 42);
    EXPECT_EQ(ReadInteger(" -17abc"), -17);
    EXPECT_EQ(ReadInteger("12.5"), 12);
    EXPECT_EQ(ReadInteger("2147483647"), 2147483647);
    EXPECT_EQ(ReadInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ReadInteger("2147483648"), 214748364);
    EXPECT_EQ(ReadInteger("99999999999"), 999999999);
    EXPECT_EQ(ReadInteger(""), 0);
    EXPECT_EQ(ReadInteger("-"), 0);
}

TEST(NumberReading, HexadecimalPrefixes)
{
    EXPECT_EQ(ReadInteger("$1F"), 31);
    EXPECT_EQ(ReadInteger("0x1f"), 31);
    EXPECT_EQ(ReadInteger("X10"), 16);
    EXPECT_EQ(ReadInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ReadInteger("$1FFFFFFFF"), 0x1FFFFFFF);
    EXPECT_EQ(ReadInteger("$G"), 0);
}
