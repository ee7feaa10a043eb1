#include "sim/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tav::sim {
namespace {

using Lines = std::vector<std::string>;

TEST(SimLineSplitter, JoinsLinesAcrossReadsAndStripsLineEnds)
{
    LineSplitter splitter;
    EXPECT_EQ(splitter.Feed("*id"), Lines{});
    EXPECT_EQ(splitter.Feed("n?\r"), Lines{});
    // The "\r" arrived in the previous read and still goes.
    EXPECT_EQ(splitter.Feed("\nmeas:volt?\nOUTP,1\n\nSour"),
              (Lines{"*idn?", "meas:volt?", "OUTP,1", ""}));
    EXPECT_EQ(splitter.Feed(":freq?\n"), Lines{"Sour:freq?"});
    // Only a "\r" right before the "\n" is a line end.
    EXPECT_EQ(splitter.Feed("a\rb\n"), Lines{"a\rb"});
}

TEST(SimLineSplitter, DropsOverlongLinesWholeAndRecovers)
{
    LineSplitter splitter(8);
    EXPECT_EQ(splitter.Feed("0123456789"), Lines{});
    EXPECT_EQ(splitter.Feed("more garbage\n*tav?\n"), Lines{"*tav?"});
    EXPECT_EQ(splitter.DroppedLines(), 1u);
    EXPECT_EQ(splitter.Feed("12345678\n"), Lines{"12345678"});
}

} // namespace
} // namespace tav::sim
