#include "common/number_reading.h"

#include <gtest/gtest.h>

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
