#include "sim/tav_instrument.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace tav::sim {
namespace {

std::string Idn(TavInstrument& tav) { return tav.Process("*idn?").reply; }

void Configure(TavInstrument& tav, std::initializer_list<const char*> lines)
{
    for (const char* line : lines)
        ASSERT_EQ(tav.Process(line).kind, LineKind::Applied) << line;
}

TEST(TavModelData, TheConfigurationLinesRenameTheModelInItsIdentification)
{
    TavInstrument tav;
    EXPECT_EQ(Idn(tav), "KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00");
    // The whole service configuration is taken, in any letter case.
    Configure(tav, {"setpower,500", "setvolt,425", "setvoltac,300", "setcurr,3", "setfreq,500",
                    "setopt,0", "EEPRESET", "sour:voltac,0", "sour:curr,3", "sour:currmax,3",
                    "dflt,0,", "outp:pon,0"});
    EXPECT_EQ(Idn(tav), "KELM Electronic GmbH,TAV-0400-PS,0505000120,V2.00");
    EXPECT_EQ(tav.ModelData().presets, 3);
    EXPECT_EQ(tav.ModelData().curr, "3");
    EXPECT_EQ(tav.Process("sour:currmax?").reply, "3.00000");

    Configure(tav, {"setpower,5750", "setvolt,1000", "setfreq,2000", "setopt,5"});
    EXPECT_EQ(Idn(tav), "KELM Electronic GmbH,TAV-4600-PS-XHV-F2-BDG,0505000120,V2.00");
    // Values of no class show as they are.
    Configure(tav, {"setpower,1234", "setvolt,600", "setfreq,400", "setopt,2"});
    EXPECT_EQ(Idn(tav), "KELM Electronic GmbH,TAV-P1234-PS-U600-F400-O2,0505000120,V2.00");
}

TEST(TavModelData, UnreadableValuesAndOtherLinesLeaveTheModelAlone)
{
    TavInstrument tav;
    // Model data without a power class yet keeps the configured name.
    Configure(tav, {"setvolt,700"});
    EXPECT_EQ(Idn(tav), "KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00");
    EXPECT_EQ(tav.Process("setpower,").kind, LineKind::Ignored);
    EXPECT_EQ(tav.Process("setpower,abc").kind, LineKind::Ignored);
    EXPECT_EQ(tav.Process("setpowers,500").kind, LineKind::Unknown);
    EXPECT_EQ(Idn(tav), "KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00");
    // The instrument's own commands still reach it.
    Configure(tav, {"outp,1"});
    EXPECT_EQ(tav.Process("outp?").reply, "1");
}

} // namespace
} // namespace tav::sim
