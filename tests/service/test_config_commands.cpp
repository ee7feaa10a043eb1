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

TEST(ConfigCommands, VoltageClassAndModelChooseTheCurrentOfEveryCurrentLine)
{
    // HV on a 1600 with the 1000 Hz option and MB2.
    auto table = BuildConfigCommands({"TAV-1600-PS", 1, 1, 2}, "400", "3");
    const QList<QByteArray> values = {Value(table, 1), Value(table, 2), Value(table, 3),
                                      Value(table, 4), Value(table, 5), Value(table, 6)};
    EXPECT_EQ(values, (QList<QByteArray>{"2000", "700", "500", "7.2", "1000", "4"}));
    EXPECT_EQ(Value(table, 9), "7.2");
    EXPECT_EQ(Value(table, 10), "7.2");

    // XHV on the largest model, with the 2000 Hz option and BDG.
    table = BuildConfigCommands({"TAV-4600-PS", 2, 2, 3}, "400", "3");
    EXPECT_EQ(table.Lines[0], "setpower,5750\n");
    EXPECT_EQ(table.Lines[2], "setvoltac,700\n");
    for (int position : {4, 9, 10})
        EXPECT_EQ(Value(table, position), "15") << "position " << position;
    EXPECT_EQ(table.Lines[4], "setfreq,2000\n");
    EXPECT_EQ(table.Lines[5], "setopt,5\n");
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

TEST(ConfigCommands, EveryListedModelAndVoltageClassGivesANumericLine)
{
    // Each model's row in each voltage class: a power and a current that read as numbers, a
    // larger model never with less power or current than a smaller one in the same class.
    for (int voltage = 0; voltage < ConfigVoltageItems().size(); ++voltage) {
        double lastPower = 0, lastCurrent = 0;
        for (const QString& model : ConfigModelItems()) {
            const auto table = BuildConfigCommands({model, voltage, 0, 0}, "", "");
            bool powerOk = false, currentOk = false;
            const double power = table.Power.toDouble(&powerOk);
            const double current = table.Current.toDouble(&currentOk);
            ASSERT_TRUE(powerOk && currentOk) << model.toStdString() << " class " << voltage;
            EXPECT_GT(power, lastPower) << model.toStdString();
            EXPECT_GT(current, lastCurrent) << model.toStdString() << " class " << voltage;
            lastPower = power;
            lastCurrent = current;
        }
    }
}

} // namespace
