// Which way each row goes: the configured link, the "@COM" and "@GPIB" prefixes and the meter
// keywords, on a serial and on a GPIB link, and the configured way again for the next row.
#include "tests/autotest/interpreter_fakes.h"

namespace {

class Routing : public InterpreterTest {
protected:
    // Every way a line went, in order of the rows.
    QStringList Ways() const { return link.sent + link.aux + link.meter; }
};

} // namespace

TEST_F(Routing, SerialLinkSendsEachPrefixItsOwnWayForOneRowOnly)
{
    link.gpibReplies["MEAS:VOLT:DC?"] = "+4.2E+00\r\n";
    Put(1, {.command = "@GPIB22:MEAS:VOLT:DC?", .lower = "4", .upper = "5"});
    Put(2, {.command = "OUTP,1"});
    Put(3, {.command = "@COM00:A"});
    Put(4, {.command = "@COM45:B"});
    Put(5, {.command = "@COM3:READ?"});
    Put(6, {.command = "@GPIB5:*RST"}); // the one-digit shift on this prefix too
    Put(7, {.command = "OUTP,0"});
    Put(8, {.command = "END"});
    run.Start();
    RunTicks();
    EXPECT_EQ(link.sent, QStringList({"GPIB22 MEAS:VOLT:DC?", "OUTP,1", "GPIB5 RST", "OUTP,0"}));
    EXPECT_EQ(link.aux, QStringList({"COM1 A\n", "COM30 B\n", "COM3 EAD?\n"}));
    // The meter's reply was read whole, as an auxiliary device's.
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "", "4.000", "4.200", "5.000", ""}));
    EXPECT_TRUE(link.meter.isEmpty());
}

TEST_F(Routing, MeterKeywordsOnTheSerialLink)
{
    const QStringList keywords = {"EXTMEAS?", "EXTVDC", "EXTVAC", "EXTMVDC?", "EXTMVAC?"};
    for (int r = 0; r < keywords.size(); ++r)
        Put(r + 1, {.command = keywords[r], .time = "00.00.00.300"});
    Put(6, {.command = "EXTMEAS? "}); // only the whole cell is a keyword
    Put(7, {.command = "END"});
    run.Start();
    run.Tick();
    // A keyword's reply comes on the meter's port, read as the instrument's: five characters
    // of value, then the unit.
    run.ReplyReceived("230.1V\r\n", link.meterPort);
    EXPECT_EQ(ResultRow(1)[ResultTable::kTestResult], "230.100");
    RunTicks();
    EXPECT_EQ(link.meter,
              QStringList({"READ?\n", ":SENS:FUNC 'VOLT:DC'\n", ":SENS:FUNC 'VOLT:AC'\n",
                           "MEAS:VOLT:DC?\n", "MEAS:VOLT:AC?\n"}));
    EXPECT_EQ(link.sent, keywords + QStringList{"EXTMEAS? "});
    // The commands among them are recorded at once, the queries wait for their replies and
    // fail without one.
    EXPECT_EQ(ResultRow(2)[0], " 2");
    EXPECT_EQ(ResultRow(3)[0], " 3");
    EXPECT_EQ(ResultRow(4), QStringList({" 4", "", "0.000", "no reply", "0.000", "Error!"}));
    EXPECT_EQ(ResultRow(5)[0], " 5");
    EXPECT_EQ(ResultRow(6), QStringList({" 6", "", "", "", "", ""}));
    EXPECT_EQ(results.RowCount(), 7);
}

TEST_F(Routing, GpibLinkSendsCommaPrefixedRowsToTheSerialPorts)
{
    link.serial = false;
    link.gpibReplies["EXTMEAS?"] = "1.000V\r\n";
    Put(1, {.command = "@COM03:READ?", .time = "00.00.00.300", .lower = "1", .upper = "2"});
    Put(2, {.command = "EXTMEAS?", .lower = "1", .upper = "1"});
    Put(3, {.command = "@GPIB22:*RST"});
    Put(4, {.command = "OUTP,1"});
    Put(5, {.command = "END"});
    run.Start();
    run.Tick();
    EXPECT_TRUE(state.ExternalReply);
    run.ReplyReceived("1.5\r\n", 3);
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "", "1.000", "1.500", "2.000", ""}));
    RunTicks();
    EXPECT_EQ(link.aux, QStringList({"COM3 READ?\n"}));
    // On GPIB a meter keyword is a line like any other; the bus is used again after the row.
    EXPECT_TRUE(link.meter.isEmpty());
    EXPECT_EQ(link.sent, QStringList({"EXTMEAS?", "GPIB22 *RST", "OUTP,1"}));
    EXPECT_EQ(ResultRow(2), QStringList({" 2", "", "1.000", "1.000", "1.000", ""}));
    EXPECT_FALSE(state.ExternalReply);
}

TEST_F(Routing, AnUnansweredAuxiliaryQueryDoesNotColourTheNextInstrumentReply)
{
    Put(1, {.command = "@COM03:READ?"});
    Put(2, {.command = "MEAS:CURR?", .time = "00.00.00.300", .lower = "0", .upper = "1"});
    Put(3, {.command = "END"});
    run.Start();
    run.Tick(); // the meter never answers
    run.Tick();
    run.ReplyReceived("123.4mA\r\n");
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "", "0.000", "no reply", "0.000", "Error!"}));
    EXPECT_EQ(ResultRow(2), QStringList({" 2", "", "0.000", "0.123", "1.000", ""}));
    EXPECT_EQ(Ways(), QStringList({"MEAS:CURR?", "COM3 READ?\n"}));
}
