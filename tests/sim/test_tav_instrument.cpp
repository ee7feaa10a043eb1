#include "panel/poll_cycle.h"
#include "sim/tav_instrument.h"
#include "tests/sim/instrument_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace tav::sim {
namespace {

// Five characters including the decimal point (or five digits once it no longer fits).
const std::string kFive = R"((\d\.\d{3}|\d{2}\.\d{2}|\d{3}\.\d|\d{4}\.|\d{5}))";
const std::string kSet = R"(-?\d+\.\d{5})";

// The format of the answer to each kind of query the program polls, or nothing for a query
// this test does not know yet (a new poll query needs its format here).
std::optional<std::string> AnswerPattern(std::string query)
{
    std::transform(query.begin(), query.end(), query.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (query == "*tav?")
        return R"(\d+)";
    if (query == "*idn?")
        return "KELM Electronic GmbH,[^,]+,[^,]+,[^,]+";
    if (query == "*opt?")
        return ".*";
    if (query.starts_with("outp:"))
        return "[01]";
    if (query.starts_with("sour"))
        return kSet;
    if (!query.starts_with("meas"))
        return std::nullopt;
    const std::string leaf = query.substr(query.find(':') + 1);
    const std::pair<const char*, std::string> units[] = {
        {"volt?", "V"},    {"curr?", "m?A"}, {"pow?", "W"}, {"va?", "VA"},
        {"currp?", "m?A"}, {"pfact?", ""},   {"cfact?", ""}};
    for (const auto& [name, unit] : units)
        if (leaf == name)
            return kFive + unit;
    return std::nullopt;
}

// Every query of the program's own poll table, in slot order.
std::vector<std::string> PolledQueries()
{
    std::vector<std::string> queries;
    for (const QByteArray& line : BuildPollTable())
        if (line.size() > 1) // slot 0 holds a bare line feed that is never sent
            queries.push_back(line.chopped(1).toStdString());
    return queries;
}

TavConfig ThreePhase()
{
    TavConfig config;
    config.options = "3P CR2 OT1";
    return config;
}

TEST(SimTavInstrumentQueries, EveryPolledQueryAnswersInItsFormat)
{
    const auto queries = PolledQueries();
    ASSERT_FALSE(queries.empty());
    for (const bool threePhase : {false, true}) {
        TavInstrument tav(threePhase ? ThreePhase() : TavConfig{});
        for (const bool loaded : {false, true}) {
            if (loaded)
                Apply(tav, {"SOUR:VOLTAC,230", "SOUR:VOLTDC,5", "OUTP:PHASON,1", "OUTP,1"});
            for (const std::string& query : queries) {
                const auto pattern = AnswerPattern(query);
                ASSERT_TRUE(pattern) << "no answer format known for " << query;
                const auto reply = tav.HandleLine(query);
                ASSERT_TRUE(reply) << query;
                EXPECT_TRUE(std::regex_match(*reply, std::regex(*pattern)))
                    << query << " -> \"" << *reply << "\"";
            }
        }
        EXPECT_EQ(Ask(tav, "meas3:volt?"), threePhase ? "230.1V" : "0.000V");
    }
}

TEST(SimTavInstrumentQueries, IdentityAndOptionText)
{
    TavConfig config = ThreePhase();
    config.model = "TAV-4800-PS";
    config.serial = "0612000007";
    config.revision = "V2.07";
    TavInstrument tav(config);
    EXPECT_EQ(Ask(tav, "*IDN?"), "KELM Electronic GmbH,TAV-4800-PS,0612000007,V2.07");
    EXPECT_EQ(Ask(tav, "*opt?"), "3P CR2 OT1");
    EXPECT_TRUE(tav.ThreePhase());

    TavInstrument plain;
    EXPECT_EQ(Ask(plain, "*idn?"), "KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00");
    EXPECT_EQ(Ask(plain, "*opt?"), "");
    EXPECT_FALSE(plain.ThreePhase());
    // "3P" must be a word of its own.
    TavConfig glued;
    glued.options = "CR23P";
    EXPECT_FALSE(TavInstrument(glued).ThreePhase());
}

TEST(SimTavInstrumentQueries, UnknownLinesGetNoAnswer)
{
    TavInstrument tav;
    for (const char* line : {"FOO?", "hello", "", "MEAS:VOLT? 1", "SOUR4:VOLTAC?", "MEAS:FREQ?",
                             "SOUR:BOGUS,1", "OUTP:SHORT,1", "SOUR2:POWMAX?"}) {
        EXPECT_EQ(tav.Process(line).kind, LineKind::Unknown) << line;
        EXPECT_FALSE(tav.HandleLine(line)) << line;
    }
}

TEST(SimTavInstrumentQueries, QuietStatusLeavesOtherQueriesAlone)
{
    TavConfig config;
    config.answerStatus = false;
    TavInstrument tav(config);
    EXPECT_FALSE(tav.HandleLine("*tav?"));
    EXPECT_EQ(Ask(tav, "outp:stat?"), "0");
    EXPECT_EQ(tav.Process("*tav?").kind, LineKind::Ignored);
    TavInstrument talkative;
    EXPECT_EQ(Ask(talkative, "*tav?"), "0");
}

TEST(SimTavInstrumentSettings, CommandsShowInTheNextQuery)
{
    TavInstrument tav(ThreePhase());
    const struct {
        const char* command;
        const char* query;
        const char* expected;
    } cases[] = {
        {"SOUR:VOLTAC,230", "Sour:voltac?", "230.00000"},
        {"sour:voltdc,-12.5", "Sour:voltdc?", "-12.50000"},
        {"SOUR:CURR,7.25", "Sour:curr?", "7.25000"},
        {"SOUR:FREQ,60", "Sour:freq?", "60.00000"},
        {"SOUR:PHAS,15", "Sour:phas?", "15.00000"},
        {"SOUR:POWMAX,800", "Sour:powmax?", "800.00000"},
        {"SOUR:CURRMAX,12", "sour:currmax?", "12.00000"},
        {"SOUR:CURRTIME,2.5", "sour:currtime?", "2.50000"},
        {"SOUR2:VOLTAC,110", "Sour2:voltac?", "110.00000"},
        {"SOUR3:VOLTDC,3", "Sour3:voltdc?", "3.00000"},
        {"SOUR1:CURR,4", "Sour1:curr?", "4.00000"},
        {"SOUR3:FREQ,400", "Sour3:freq?", "400.00000"},
        {"SOUR2:PHAS,90", "Sour2:phas?", "90.00000"},
        {"OUTP,1", "outp:stat?", "1"},
        {"OUTP:AUX,1", "outp:aux?", "1"},
        {"OUTP:PHASON,1", "outp:phason?", "1"},
        {"outp:ot1,ON", "OUTP:OT1?", "1"},
        {"SOUR:CURRRNG,1", "SOUR:CURRRNG?", "1"},
        {"OUTP,off", "outp:stat?", "0"},
        {"SOUR:VOLTAC 100", "Sour:voltac?", "100.00000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tav.Process(c.command).kind, LineKind::Applied) << c.command;
        EXPECT_EQ(Ask(tav, c.query), c.expected) << c.command;
    }
}

TEST(SimTavInstrumentSettings, EmptyOrUnusableValuesLeaveTheSettingAlone)
{
    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,230", "SOUR:CURR,10", "SOUR:FREQ,60", "OUTP,1"});
    for (const char* line :
         {"SOUR:VOLTAC,", "SOUR:VOLTAC,abc", "SOUR:VOLTAC,-5", "SOUR:CURR,-1", "SOUR:FREQ,nan",
          "OUTP,", "OUTP,maybe", "*RCL,10", "*SAV,1.5", "*RCL,"}) {
        EXPECT_EQ(tav.Process(line).kind, LineKind::Ignored) << line;
    }
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "230.00000");
    EXPECT_EQ(Ask(tav, "Sour:curr?"), "10.00000");
    EXPECT_EQ(Ask(tav, "Sour:freq?"), "60.00000");
    EXPECT_EQ(Ask(tav, "outp:stat?"), "1");
    // Values are read leniently, as far as they make a number.
    Apply(tav, {"SOUR:VOLTAC, 2.3e2V"});
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "230.00000");
}

TEST(SimTavInstrumentSettings, CommonSetValuesReachEveryPhasePhaseSetsStayLocal)
{
    TavInstrument tav(ThreePhase());
    EXPECT_EQ(Ask(tav, "Sour2:phas?"), "120.00000");
    EXPECT_EQ(Ask(tav, "Sour3:phas?"), "240.00000");
    Apply(tav, {"SOUR:VOLTAC,230", "SOUR:PHAS,10", "SOUR2:VOLTAC,100"});
    EXPECT_EQ(Ask(tav, "Sour1:voltac?"), "230.00000");
    EXPECT_EQ(Ask(tav, "Sour2:voltac?"), "100.00000");
    EXPECT_EQ(Ask(tav, "Sour3:voltac?"), "230.00000");
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "230.00000");
    EXPECT_EQ(Ask(tav, "Sour1:phas?"), "10.00000");
    EXPECT_EQ(Ask(tav, "Sour2:phas?"), "120.00000");
    // Phase 1 runs on its own set value once it has one.
    Apply(tav, {"SOUR1:VOLTAC,50", "OUTP,1"});
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "230.00000");
    EXPECT_EQ(Ask(tav, "meas:volt?"), "50.00V");
}

TEST(SimTavInstrumentSettings, SinglePhaseUnitHasOnlyPhaseOne)
{
    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,230", "OUTP:PHASON,1", "OUTP,1"});
    EXPECT_EQ(tav.Process("SOUR2:VOLTAC,100").kind, LineKind::Ignored);
    EXPECT_EQ(Ask(tav, "Sour1:voltac?"), "230.00000");
    for (const char* query : {"Sour2:voltac?", "Sour3:curr?", "Sour2:freq?", "Sour3:phas?"})
        EXPECT_EQ(Ask(tav, query), "0.00000") << query;
    EXPECT_EQ(Ask(tav, "meas:volt?"), "230.0V");
    EXPECT_EQ(Ask(tav, "meas2:volt?"), "0.000V");
    EXPECT_EQ(Ask(tav, "meas3:curr?"), "0.000A");
    Apply(tav, {"SOUR:CURR,1"});
    EXPECT_EQ(Ask(tav, "*tav?"), "8");
}

TEST(SimTavInstrumentSettings, SavedStatesComeBackOnRecall)
{
    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,115", "SOUR:FREQ,60", "OUTP:AUX,1", "*SAV,3"});
    Apply(tav, {"SOUR:VOLTAC,230", "SOUR:FREQ,50", "OUTP:AUX,0", "OUTP,1"});
    Apply(tav, {"*RCL,3"});
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "115.00000");
    EXPECT_EQ(Ask(tav, "Sour:freq?"), "60.00000");
    EXPECT_EQ(Ask(tav, "outp:aux?"), "1");
    EXPECT_EQ(Ask(tav, "outp:stat?"), "0");

    // Memory 0 and never saved memories hold the power-on state until saved over.
    Apply(tav, {"*RCL,7"});
    EXPECT_EQ(Ask(tav, "Sour:curr?"), "16.00000");
    EXPECT_EQ(Ask(tav, "outp:aux?"), "0");
    Apply(tav, {"SOUR:CURR,3", "*RCL 0"});
    EXPECT_EQ(Ask(tav, "Sour:curr?"), "16.00000");
    Apply(tav, {"SOUR:CURR,3", "*SAV,0", "SOUR:CURR,9", "*RCL,0"});
    EXPECT_EQ(Ask(tav, "Sour:curr?"), "3.00000");
}

TEST(SimTavInstrumentOutput, OutputOffMeasuresNothing)
{
    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,230", "OUTP,1", "OUTP,0"});
    EXPECT_EQ(Ask(tav, "meas:volt?"), "0.000V");
    EXPECT_EQ(Ask(tav, "meas:curr?"), "0.000A");
    EXPECT_EQ(Ask(tav, "meas:pow?"), "0.000W");
    EXPECT_EQ(Ask(tav, "meas:pfact?"), "0.000");
    EXPECT_EQ(Ask(tav, "*tav?"), "0");
}

TEST(SimTavInstrumentOutput, LoadReadings)
{
    // The default load: 50 ohm, the current 30 degrees behind the voltage.
    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,230", "OUTP,1"});
    EXPECT_EQ(Ask(tav, "meas:volt?"), "230.0V");
    EXPECT_EQ(Ask(tav, "meas:curr?"), "4.600A");
    EXPECT_EQ(Ask(tav, "meas:pow?"), "916.3W");
    EXPECT_EQ(Ask(tav, "meas:va?"), "1058.VA");
    EXPECT_EQ(Ask(tav, "meas:pfact?"), "0.866");
    EXPECT_EQ(Ask(tav, "meas:cfact?"), "1.414");
    EXPECT_EQ(Ask(tav, "*tav?"), "0");

    Apply(tav, {"SOUR:VOLTAC,10"});
    EXPECT_EQ(Ask(tav, "meas:curr?"), "200.0mA");

    // A DC offset adds to the rms value and flattens the crest; its power is all active.
    Apply(tav, {"SOUR:VOLTAC,30", "SOUR:VOLTDC,40"});
    EXPECT_EQ(Ask(tav, "meas:volt?"), "50.00V");
    EXPECT_EQ(Ask(tav, "meas:cfact?"), "1.649");
    EXPECT_EQ(Ask(tav, "meas:pow?"), "47.59W");
    EXPECT_EQ(Ask(tav, "meas:va?"), "50.00VA");
    EXPECT_EQ(Ask(tav, "meas:pfact?"), "0.952");
    Apply(tav, {"SOUR:VOLTAC,0", "SOUR:VOLTDC,-100"});
    EXPECT_EQ(Ask(tav, "meas:volt?"), "100.0V");
    EXPECT_EQ(Ask(tav, "meas:cfact?"), "1.000");
    EXPECT_EQ(Ask(tav, "meas:pow?"), "200.0W");
    EXPECT_EQ(Ask(tav, "meas:pfact?"), "1.000");

    // Other angles of the load: the current and the apparent power stay, the active power goes.
    const struct {
        double degrees;
        const char* power;
        const char* factor;
    } angles[] = {{0, "1058.W", "1.000"}, {-60, "529.0W", "0.500"}, {90, "0.000W", "0.000"}};
    for (const auto& a : angles) {
        TavConfig config;
        config.loadPhaseDeg = a.degrees;
        TavInstrument load(config);
        Apply(load, {"SOUR:VOLTAC,230", "OUTP,1"});
        EXPECT_EQ(Ask(load, "meas:curr?"), "4.600A") << a.degrees;
        EXPECT_EQ(Ask(load, "meas:va?"), "1058.VA") << a.degrees;
        EXPECT_EQ(Ask(load, "meas:pow?"), a.power) << a.degrees;
        EXPECT_EQ(Ask(load, "meas:pfact?"), a.factor) << a.degrees;
    }
}

TEST(SimTavInstrumentOutput, CurrentLimitHoldsTheCurrentAndSetsConstantCurrent)
{
    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,230", "SOUR:CURR,2", "OUTP,1"});
    EXPECT_EQ(Ask(tav, "meas:curr?"), "2.000A");
    EXPECT_EQ(Ask(tav, "meas:volt?"), "100.0V");
    EXPECT_EQ(Ask(tav, "*tav?"), "8");
    // The x10 range lifts the limit to 20 A, above what 50 ohm draw.
    Apply(tav, {"SOUR:CURRRNG,1"});
    EXPECT_EQ(Ask(tav, "meas:curr?"), "4.600A");
    EXPECT_EQ(Ask(tav, "*tav?"), "0");
}

TEST(SimTavInstrumentOutput, OverloadOnExcessiveDemandOrPower)
{
    TavConfig config;
    config.loadOhm = 10;
    TavInstrument lowLoad(config);
    Apply(lowLoad, {"SOUR:VOLTAC,230", "OUTP,1"});
    // 23 A wanted: beyond CURRMAX 20, held at the 16 A limit, and 2560 VA beyond POWMAX.
    EXPECT_EQ(Ask(lowLoad, "*tav?"), "9");
    Apply(lowLoad, {"SOUR:POWMAX,3000"});
    EXPECT_EQ(Ask(lowLoad, "*tav?"), "9");
    Apply(lowLoad, {"SOUR:CURRMAX,25"});
    EXPECT_EQ(Ask(lowLoad, "*tav?"), "8");

    TavInstrument tav;
    Apply(tav, {"SOUR:VOLTAC,230", "OUTP,1"});
    EXPECT_EQ(Ask(tav, "*tav?"), "0");
    // The limit is on apparent power: 1058 VA are too much, though only 916 W are active.
    Apply(tav, {"SOUR:POWMAX,1000"});
    EXPECT_EQ(Ask(tav, "*tav?"), "1");
    EXPECT_TRUE(tav.Reading(0).overload);
}

TEST(SimTavInstrumentOutput, PeakCurrentHoldsUntilCleared)
{
    TavInstrument tav;
    EXPECT_EQ(Ask(tav, "meas:currp?"), "0.000A");
    Apply(tav, {"SOUR:VOLTAC,230", "OUTP,1"});
    EXPECT_EQ(Ask(tav, "meas:currp?"), "6.505A");
    Apply(tav, {"SOUR:VOLTAC,100"});
    EXPECT_EQ(Ask(tav, "meas:currp?"), "6.505A");
    Apply(tav, {"OUTP,0"});
    EXPECT_EQ(Ask(tav, "meas:currp?"), "6.505A");
    Apply(tav, {"OUTP,1", "SOUR:CURRCLR"});
    EXPECT_EQ(Ask(tav, "meas:currp?"), "2.828A");
    Apply(tav, {"OUTP,0", "SOUR:CURRCLR"});
    EXPECT_EQ(Ask(tav, "meas:currp?"), "0.000A");
}

TEST(SimTavInstrumentThreePhase, PhasesTwoAndThreeFollowPhasesOn)
{
    TavConfig config = ThreePhase();
    config.loadOhm = 200;
    TavInstrument tav(config);
    Apply(tav, {"SOUR:VOLTAC,230", "SOUR2:CURR,0.5", "SOUR3:VOLTAC,115", "OUTP,1"});
    EXPECT_EQ(Ask(tav, "meas:volt?"), "230.0V");
    EXPECT_EQ(Ask(tav, "meas2:volt?"), "0.000V");
    EXPECT_EQ(Ask(tav, "*tav?"), "0");

    Apply(tav, {"OUTP:PHASON,1"});
    EXPECT_EQ(Ask(tav, "meas2:curr?"), "500.0mA");
    EXPECT_EQ(Ask(tav, "meas2:volt?"), "100.0V");
    EXPECT_EQ(Ask(tav, "meas3:curr?"), "575.0mA");
    EXPECT_EQ(Ask(tav, "*tav?"), "16");
    // Each phase may deliver a third of POWMAX: phase 1 gives 264.5 VA, phase 3 66 VA.
    Apply(tav, {"SOUR:POWMAX,600"});
    EXPECT_EQ(Ask(tav, "*tav?"), "17");
    Apply(tav, {"SOUR3:CURR,0.5"});
    EXPECT_EQ(Ask(tav, "*tav?"), "49");
}

} // namespace
} // namespace tav::sim
