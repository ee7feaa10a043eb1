#include "link/cia_buffer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// What the receive thread and the port's reader do with one fetch in line mode: take in the
// bytes, then hand over every complete line.
std::vector<std::string> Fetch(TCiaCommBuffer& buffer, const std::string& bytes)
{
    buffer.MakeRoom(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.Data() + buffer.WritePos());
    buffer.Advance(bytes.size());
    std::vector<std::string> lines;
    while (buffer.ScanLine("\r\n", 2)) {
        std::string line(buffer.ScanPos() - buffer.ReadPos(), '\0');
        buffer.Read(line.data(), line.size());
        lines.push_back(line);
    }
    return lines;
}

} // namespace

// A device that streams, so that every fetch ends inside a line, never lets the buffer run
// empty: what was read must still make room, or the block grows with every byte ever received.
TEST(CiaCommBuffer, StreamThatNeverRunsEmptyKeepsItsSize)
{
    TCiaCommBuffer buffer;
    std::vector<std::string> lines;
    for (int i = 0; i < 20000; ++i) {
        for (const std::string& line : Fetch(buffer, i == 0 ? "23" : "0.1V\r\n23"))
            lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 19999u);
    EXPECT_EQ(lines.front(), "230.1V\r\n");
    EXPECT_EQ(lines.back(), "230.1V\r\n");
    EXPECT_LT(buffer.Capacity(), 64u) << "the block grew with the traffic";
    EXPECT_EQ(buffer.Count(), 2u);
}

// A terminator split over two fetches, and a CR that is not followed by LF.
TEST(CiaCommBuffer, LineEndsSplitOrFalseStart)
{
    TCiaCommBuffer buffer;
    EXPECT_TRUE(Fetch(buffer, "abc\r").empty());
    EXPECT_EQ(Fetch(buffer, "\nx\ry\r\n"), (std::vector<std::string>{"abc\r\n", "x\ry\r\n"}));
    EXPECT_EQ(buffer.Count(), 0u);
}
