#include "service/config_commands.h"

#include <gtest/gtest.h>

namespace {

QList<QByteArray> Lines(const ConfigCommandTable& table)
{
    return QList<QByteArray>(table.Lines.begin(), table.Lines.end());
}

// The value a "name,value\n" line carries.
QByteArray Value(const ConfigCommandTable& table, int position)
{
    const QByteArray& line = table.Lines.at(static_cast<size_t>(position - 1));
    return line.mid(line.indexOf(',') + 1).chopped(1);
}

TEST(ConfigCommands, SmallestModelWithStandardSelectionsGivesTheWholeTable)
{
    const auto table = BuildConfigCommands({"TAV-0400-PS", 0, 0, 0}, "400", "3");
    const QList<QByteArray> expected = {"setpower,500\n",   "setvolt,425\n",   "setvoltac,300\n",
                                        "setcurr,3\n",      "setfreq,500\n",   "setopt,0\n",
                                        "eepreset\n",       "sour:voltac,0\n", "sour:curr,3\n",
                                        "sour:currmax,3\n", "dflt,0,\n",       "outp:pon,0\n"};
    EXPECT_EQ(Lines(table), expected);
    EXPECT_EQ(table.Power, "500");
    EXPECT_EQ(table.Current, "3");
}

// Every listed model in every voltage class: its power, the class's voltages, and the current
// that goes into all three current lines. Frequency and option go with every model alike.
TEST(ConfigCommands, EveryModelAndSelectionGivesItsValues)
{
    const struct {
        const char* model;
        int voltage;
        QByteArray power, volt, voltAc, current;
    } models[] = {
        {"TAV-0400-PS", 0, "500", "425", "300", "3"},
        {"TAV-0400-PS", 1, "500", "700", "500", "1.8"},
        {"TAV-0400-PS", 2, "500", "1000", "700", "1.5"},
        {"TAV-0800-PS", 0, "1000", "425", "300", "6"},
        {"TAV-0800-PS", 1, "1000", "700", "500", "3.6"},
        {"TAV-0800-PS", 2, "1000", "1000", "700", "3"},
        {"TAV-1600-PS", 0, "2000", "425", "300", "12"},
        {"TAV-1600-PS", 1, "2000", "700", "500", "7.2"},
        {"TAV-1600-PS", 2, "2000", "1000", "700", "6"},
        {"TAV-2200-PS", 0, "2750", "425", "300", "16"},
        {"TAV-2200-PS", 1, "2750", "700", "500", "9.6"},
        {"TAV-2200-PS", 2, "2750", "1000", "700", "8"},
        {"TAV-3000-PS", 0, "3750", "425", "300", "20"},
        {"TAV-3000-PS", 1, "3750", "700", "500", "12"},
        {"TAV-3000-PS", 2, "3750", "1000", "700", "10"},
        {"TAV-4600-PS", 0, "5750", "425", "300", "30"},
        {"TAV-4600-PS", 1, "5750", "700", "500", "18"},
        {"TAV-4600-PS", 2, "5750", "1000", "700", "15"},
    };
    for (const auto& m : models) {
        SCOPED_TRACE(std::string(m.model) + " class " + std::to_string(m.voltage));
        const auto table = BuildConfigCommands({m.model, m.voltage, 0, 0}, "400", "3");
        EXPECT_EQ(Value(table, 1), m.power);
        EXPECT_EQ(Value(table, 2), m.volt);
        EXPECT_EQ(Value(table, 3), m.voltAc);
        for (int position : {4, 9, 10})
            EXPECT_EQ(Value(table, position), m.current) << "position " << position;
        EXPECT_EQ(table.Power, QString::fromLatin1(m.power));
        EXPECT_EQ(table.Current, QString::fromLatin1(m.current));
    }
    const QByteArray frequencies[] = {"500", "1000", "2000"};
    for (int f = 0; f < 3; ++f)
        EXPECT_EQ(Value(BuildConfigCommands({"TAV-1600-PS", 1, f, 0}, "", ""), 5), frequencies[f]);
    const QByteArray options[] = {"0", "1", "4", "5"};
    for (int o = 0; o < 4; ++o)
        EXPECT_EQ(Value(BuildConfigCommands({"TAV-4600-PS", 2, 0, o}, "", ""), 6), options[o]);
    EXPECT_EQ(ConfigModelItems().size(), 6) << "a model without its row here";
}

TEST(ConfigCommands, ATypedModelOutsideTheListKeepsThePreviousPowerAndCurrent)
{
    // Before any transfer the kept values are "400" and "3".
    auto table = BuildConfigCommands({"TAV-9999-XX", 1, 0, 1}, "400", "3");
    EXPECT_EQ(table.Lines[0], "setpower,400\n");
    EXPECT_EQ(table.Lines[3], "setcurr,3\n");
    EXPECT_EQ(table.Lines[9], "sour:currmax,3\n");
    // The radio groups still count: HV voltages and OT1.
    EXPECT_EQ(table.Lines[1], "setvolt,700\n");
    EXPECT_EQ(table.Lines[5], "setopt,1\n");

    // After a 2200 transfer: its power and current stand, whatever the voltage class now says.
    table = BuildConfigCommands({"tav-2200-ps", 2, 0, 0}, "2750", "16");
    EXPECT_EQ(table.Power, "2750");
    EXPECT_EQ(table.Current, "16");
    EXPECT_EQ(table.Lines[8], "sour:curr,16\n");
    EXPECT_EQ(table.Lines[1], "setvolt,1000\n");
}

} // namespace
