#include "sim/sim_meter.h"

#include <gtest/gtest.h>

#include <regex>

namespace tav::sim {
namespace {

TEST(SimMeter, ReadFollowsTheSelectedFunction)
{
    SimMeter meter;
    EXPECT_EQ(meter.HandleLine("*idn?"), "SIM,Voltmeter,0,1.0");
    const auto dc = meter.HandleLine("READ?");
    ASSERT_TRUE(dc);
    EXPECT_TRUE(std::regex_match(*dc, std::regex(R"([+-]\d\.\d{8}E[+-]\d{2})"))) << *dc;
    EXPECT_EQ(*dc, "+5.00000000E+00");

    EXPECT_EQ(meter.Process(":SENS:FUNC 'VOLT:AC'").kind, LineKind::Applied);
    EXPECT_EQ(meter.HandleLine("READ?"), "+2.30000000E+02");
    EXPECT_EQ(meter.HandleLine("sense:function?"), "\"VOLT:AC\"");
    EXPECT_EQ(meter.Process("sense:function \"voltage:dc\"").kind, LineKind::Applied);
    EXPECT_EQ(meter.HandleLine("READ?"), "+5.00000000E+00");
}

TEST(SimMeter, MeasureQueriesSelectTheirFunction)
{
    SimMeter meter;
    meter.SetInput(-1.5, 119.5);
    EXPECT_EQ(meter.HandleLine("MEAS:VOLT:AC?"), "+1.19500000E+02");
    EXPECT_EQ(meter.HandleLine("READ?"), "+1.19500000E+02");
    EXPECT_EQ(meter.HandleLine("meas:volt:dc?"), "-1.50000000E+00");
    EXPECT_EQ(meter.SelectedFunction(), SimMeter::Function::VoltDc);
}

TEST(SimMeter, RefusesWhatItDoesNotKnow)
{
    SimMeter meter;
    EXPECT_EQ(meter.Process("MEAS:CURR:DC?").kind, LineKind::Unknown);
    EXPECT_EQ(meter.Process("*tav?").kind, LineKind::Unknown);
    EXPECT_EQ(meter.Process(":SENS:FUNC 'RES'").kind, LineKind::Ignored);
    EXPECT_EQ(meter.SelectedFunction(), SimMeter::Function::VoltDc);
}

} // namespace
} // namespace tav::sim
