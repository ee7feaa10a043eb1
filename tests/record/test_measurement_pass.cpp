// Replies of the measurement block become rows in base units, one per complete pass.
#include "record/measurement_pass.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(ReadMeasurement, InstrumentTextsInBaseUnits)
{
    EXPECT_DOUBLE_EQ(ReadMeasurement("123.4mA"), 0.1234);
    EXPECT_DOUBLE_EQ(ReadMeasurement("230.1V"), 230.1);
    EXPECT_DOUBLE_EQ(ReadMeasurement("1000.W"), 1000.0);
    EXPECT_DOUBLE_EQ(ReadMeasurement("12345W"), 12345.0);
    EXPECT_DOUBLE_EQ(ReadMeasurement("0.998"), 0.998);
    EXPECT_DOUBLE_EQ(ReadMeasurement("1.25kVA"), 1250.0);
    EXPECT_DOUBLE_EQ(ReadMeasurement(" 4.600A\r\n"), 4.6);
    EXPECT_DOUBLE_EQ(ReadMeasurement("+5V"), 5.0);
    EXPECT_DOUBLE_EQ(ReadMeasurement("-2.5mA"), -0.0025);
    // A lone "m" is no prefix of anything the instrument prints.
    EXPECT_DOUBLE_EQ(ReadMeasurement("3m"), 3.0);
    for (const char* bad : {"", "ERR", "V", "12.3V?", "1,5V", "nan", "inf"})
        EXPECT_TRUE(std::isnan(ReadMeasurement(QString::fromLatin1(bad)))) << bad;
}

class PassFixture : public ::testing::Test {
protected:
    PassFixture()
    {
        pass.SetRowHandler([this](const MeasurementRow& row) { rows.push_back(row); });
    }
    // One tick: the cycle takes the slot, then its reply (if any) arrives.
    void Slot(int slot, const char* reply = nullptr, int cycleBase = 0, int measEnd = 9)
    {
        pass.SlotTaken(slot, cycleBase, measEnd);
        if (reply)
            pass.Reply(slot, QString::fromLatin1(reply));
    }
    MeasurementPass pass;
    std::vector<MeasurementRow> rows;
};

TEST_F(PassFixture, SinglePhasePassGivesOneRowAtTheMailboxSlot)
{
    // Connect's slots first: no row from them.
    for (int slot = 31; slot <= 43; ++slot)
        Slot(slot, "1");
    const char* replies[] = {"9",       "230.1V", "123.4mA", "28.39W", "28.40VA",
                             "174.5mA", "0.998",  "1.414",   "1"};
    for (int slot = 1; slot <= 9; ++slot)
        Slot(slot, replies[slot - 1]);
    EXPECT_TRUE(rows.empty()) << "the pass ends at slot 28";
    Slot(28);
    Slot(29);
    ASSERT_EQ(rows.size(), 1u);
    const MeasurementRow& r = rows[0];
    EXPECT_EQ(r.phases, 1);
    EXPECT_EQ(r.statusWord, 9);
    EXPECT_EQ(r.output, 1);
    const double expected[] = {230.1, 0.1234, 28.39, 28.40, 0.1745, 0.998, 1.414};
    for (int q = 0; q < 7; ++q)
        EXPECT_DOUBLE_EQ(r.values[0][static_cast<size_t>(q)], expected[q]) << q;
    EXPECT_TRUE(std::isnan(r.values[1][0]));
    EXPECT_TRUE(r.time.isValid());

    // The next pass starts clean: an unanswered query leaves its value empty.
    Slot(1, "0");
    Slot(2);
    Slot(3, "1.000A");
    for (int slot = 4; slot <= 9; ++slot)
        Slot(slot, "0");
    Slot(28);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(std::isnan(rows[1].values[0][0]));
    EXPECT_DOUBLE_EQ(rows[1].values[0][1], 1.0);
    EXPECT_EQ(rows[1].output, 0);
}

TEST_F(PassFixture, ThreePhaseSlotsAndPassesWithoutStatusQuery)
{
    // CycleBase 1: the pass starts at slot 2 and has no status word.
    for (int slot = 2; slot <= 23; ++slot)
        Slot(slot, QByteArray::number(slot).append("V").constData(), 1, 23);
    Slot(28, nullptr, 1, 23);
    ASSERT_EQ(rows.size(), 1u);
    const MeasurementRow& r = rows[0];
    EXPECT_EQ(r.phases, 3);
    EXPECT_FALSE(r.statusWord.has_value());
    EXPECT_DOUBLE_EQ(r.values[0][0], 2.0);
    EXPECT_DOUBLE_EQ(r.values[0][6], 8.0);
    EXPECT_DOUBLE_EQ(r.values[1][0], 10.0);
    EXPECT_DOUBLE_EQ(r.values[1][6], 16.0);
    EXPECT_DOUBLE_EQ(r.values[2][0], 17.0);
    EXPECT_DOUBLE_EQ(r.values[2][6], 23.0);
}

TEST_F(PassFixture, InterruptedPassesGiveNoRow)
{
    Slot(1, "0");
    Slot(2, "1V");
    pass.Reset(); // Disconnect
    Slot(28);
    // A wrap from the set-value block into Connect's slots drops the pass too.
    Slot(1, "0");
    Slot(31, "TAV");
    Slot(28);
    EXPECT_TRUE(rows.empty());
    // Replies while no pass runs go nowhere.
    pass.Reply(2, "5V");
    Slot(1);
    Slot(28);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(std::isnan(rows[0].values[0][0]));
}

} // namespace
