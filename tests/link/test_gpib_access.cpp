#include "link/gpib_access.h"
#include "link/gpib_library.h"
#include "link/gpib_messages.h"
#include "tests/support/sim_gpib_controls.h"

#include <gtest/gtest.h>

namespace {

const QString kIdentification = "KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00\r\n";

// ErrBox as a list, and every text Meter was given, in order.
class RecordedMessages : public GpibMessages {
public:
    void AppendErrBox(const QString& line) override { errBox << line; }
    void ClearErrBox() override { errBox.clear(); }
    void SetMeter(const QString& text) override { meter << text; }

    QStringList errBox;
    QStringList meter;
};

class GpibAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Loaded()) << "the simulated libgpib.so.0 is not on the search path";
        sim.Reset();
        ASSERT_EQ(library.BindGpibLibrary(), 0);
        access.SetDeviceName("Device 1");
    }

    QString Query(const QString& line)
    {
        access.GpibWrite(line);
        QString reply;
        access.GpibRead(reply);
        return reply;
    }
    QString Descriptor() const { return QString::number(access.GpibDevice); }

    SimGpibControls sim;
    GpibLibrary library;
    RecordedMessages messages;
    GpibAccess access{library, messages};
};

QStringList NotFound(const QString& name)
{
    return {"IBFIND Couldn't find device " + name,
            "   Make sure that you have assigned the name " + name,
            "   to the meter with the CBCONF.EXE program.  Make sure that",
            "   the meter is configured for the address that you specified",
            "   with CBCONF.EXE.",
            ""};
}

} // namespace

TEST(GpibErrorReport, StatusBitsInOrderAndErrorTextsByCode)
{
    EXPECT_EQ(GpibAccess::GpibErrorReport("IBRD failed", 0xC100, 6, 0),
              QStringList({"IBRD failed", "   IBSTA= ERR TMO CMPL",
                           "   IBERR= EABO <Operation aborted>", "   IBCNT=0"}));
    EXPECT_EQ(GpibAccess::GpibErrorReport("x", 0, 8, 17)[2], "   IBERR=");
    EXPECT_EQ(GpibAccess::GpibErrorReport("x", 0, 8, 17)[3], "   IBCNT=17");
    EXPECT_EQ(
        GpibAccess::GpibErrorReport("x", 0xFFFF, 10, 0)[1],
        "   IBSTA= ERR TMO END SRQI RQS SPOLL EVENT CMPL LOK REM CIC ATN TACS LACS DTAS DCAS");
    EXPECT_EQ(GpibAccess::GpibErrorReport("x", 0, 10, 0)[2],
              "   IBERR= EOIP <Async I/I in progress>");
}

TEST_F(GpibAccessTest, OpenLooksUpOnceAndSetsTheThreeSecondTimeOut)
{
    access.OpenGpibDevice(5, 2);
    ASSERT_GT(access.GpibDevice, 0);
    access.OpenGpibDevice(5, 2);
    EXPECT_EQ(sim.CallLog(),
              QStringList({"ibdev(0,5,0,13,1,0)", "ibtmo(" + Descriptor() + ",12)"}));

    const int first = access.GpibDevice;
    access.ForgetGpibDevice();
    EXPECT_EQ(access.GpibDevice, 0);
    access.OpenGpibDevice(5, 2);
    EXPECT_NE(access.GpibDevice, first);
    EXPECT_EQ(sim.CallLog().size(), 4);
    EXPECT_TRUE(messages.errBox.isEmpty());
}

TEST_F(GpibAccessTest, LookupByNameTakesTheNameAtTheTimeOfTheLookup)
{
    QString field = "Device 1";
    access.SetDeviceNameSource([&field] { return field; });
    field = "TAV-PS";
    access.OpenGpibDevice(0, 1);
    ASSERT_GT(access.GpibDevice, 0);
    EXPECT_EQ(sim.CallLog().first(), "ibfind(\"TAV-PS\")");
    EXPECT_EQ(Query("*idn?\n"), kIdentification);
}

TEST_F(GpibAccessTest, UnknownNameGivesTheSixItemsAndIsLookedUpAgainNextTime)
{
    access.SetDeviceName("Scope 7");
    access.OpenGpibDevice(5, 1);
    EXPECT_LT(access.GpibDevice, 0);
    EXPECT_EQ(messages.errBox, NotFound("Scope 7"));

    access.OpenGpibDevice(5, 1);
    EXPECT_EQ(sim.CallLog(), QStringList({"ibfind(\"Scope 7\")", "ibfind(\"Scope 7\")"}));
    EXPECT_EQ(messages.errBox, NotFound("Scope 7") + NotFound("Scope 7"));
}

TEST_F(GpibAccessTest, BoardFailuresAtLookupAndOnTheBus)
{
    sim.SetBoardError(252);
    access.OpenGpibDevice(5, 2);
    EXPECT_EQ(messages.errBox,
              QStringList({"Board type is incorrect",
                           "   The board type specified in GPIB.CFG does not match the installed",
                           "   board.  Run CBCONF.EXE and check the board type that is set there.",
                           "   Make sure that it matches the type of board that is installed in",
                           "   your system.", ""}));

    // No board: quiet at the lookup, reported by the write.
    messages.errBox.clear();
    sim.SetBoardError(7);
    access.OpenGpibDevice(5, 2);
    EXPECT_TRUE(messages.errBox.isEmpty());
    access.GpibWrite("*idn?\n");
    EXPECT_EQ(messages.errBox, QStringList({"IBWRT failed while writing *idn?\n", "   IBSTA= ERR",
                                            "   IBERR= ENEB <No GPIB board>", "   IBCNT=0"}));

    // A code outside the table leaves the error line bare.
    messages.errBox.clear();
    sim.SetBoardError(8);
    access.GpibWrite("*idn?\n");
    EXPECT_EQ(messages.errBox, QStringList({"IBWRT failed while writing *idn?\n", "   IBSTA= ERR",
                                            "   IBERR=", "   IBCNT=0"}));
}

TEST_F(GpibAccessTest, QueriesAndCommandsReachTheInstrumentAndTheMeter)
{
    access.OpenGpibDevice(5, 2);
    EXPECT_EQ(Query("*idn?\n"), kIdentification);
    access.GpibWrite("SOUR:VOLTAC,230\n");
    EXPECT_EQ(Query("Sour:voltac?\n"), "230.00000\r\n");

    // The way a test row reaches another address and comes back to the instrument.
    access.ForgetGpibDevice();
    access.OpenGpibDevice(22, 2);
    EXPECT_EQ(Query("*IDN?\n"), "SIM,Voltmeter,0,1.0\r\n");
    access.ForgetGpibDevice();
    access.OpenGpibDevice(5, 2);
    EXPECT_EQ(Query("Sour:voltac?\n"), "230.00000\r\n");

    EXPECT_TRUE(messages.errBox.isEmpty());
    EXPECT_TRUE(messages.meter.isEmpty());
}

TEST_F(GpibAccessTest, ReadTakesAtMostTwoHundredBytesAndStopsAtAZeroByte)
{
    access.OpenGpibDevice(5, 2);
    QByteArray reply;
    for (int i = 0; i < 250; ++i)
        reply += static_cast<char>('A' + i % 26);
    sim.SetNextReply(5, reply);
    EXPECT_EQ(Query("*idn?\n"), QString::fromLatin1(reply.left(200)));
    QString rest;
    access.GpibRead(rest);
    EXPECT_EQ(rest, QString::fromLatin1(reply.mid(200)));

    sim.SetNextReply(5, QByteArray("12.5\0junk\r\n", 11));
    sim.ClearCallLog();
    EXPECT_EQ(Query("meas:volt?\n"), "12.5");
    // The bus carried all of it; the zero byte ends the text.
    EXPECT_EQ(sim.Reads(), QList<QByteArray>{QByteArray("12.5\0junk\r\n", 11)});
    EXPECT_TRUE(messages.errBox.isEmpty());
}

TEST_F(GpibAccessTest, FailedReadsAndWritesReportTheirStatus)
{
    access.OpenGpibDevice(5, 2);
    sim.SetSilent(5, true);
    QString text = "old";
    access.GpibWrite("meas:volt?\n");
    access.GpibRead(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(messages.meter, QStringList({"---"}));
    EXPECT_EQ(messages.errBox, QStringList({"IBRD failed", "   IBSTA= ERR TMO CMPL",
                                            "   IBERR= EABO <Operation aborted>", "   IBCNT=0"}));

    messages.errBox.clear();
    access.ForgetGpibDevice();
    access.OpenGpibDevice(9, 2);
    access.GpibWrite("*idn?\n");
    EXPECT_EQ(messages.errBox,
              QStringList({"IBWRT failed while writing *idn?\n", "   IBSTA= ERR CMPL",
                           "   IBERR= ENOL <No Listener>", "   IBCNT=0"}));
}

TEST_F(GpibAccessTest, ReadWithoutDeviceCallsNothingAndKeepsTheText)
{
    QString text = "keep";
    access.GpibRead(text);
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(messages.meter, QStringList({"---"}));
    EXPECT_TRUE(messages.errBox.isEmpty());
    EXPECT_TRUE(sim.CallLog().isEmpty());
}

TEST_F(GpibAccessTest, PollTransactionParsesUnderTheFlagThenShowsTheReply)
{
    messages.errBox << "from before";
    access.GpibPreparation(5, 2);
    EXPECT_GT(access.GpibDevice, 0);
    EXPECT_TRUE(messages.errBox.isEmpty());

    QStringList parsed;
    bool busyWhileParsing = false;
    const auto parse = [&](const QString& reply) {
        parsed << reply;
        busyWhileParsing = access.GpibBusy;
    };
    sim.ClearCallLog();
    EXPECT_TRUE(access.GpibPollTransaction("*idn?\n", parse));
    EXPECT_EQ(parsed, QStringList({kIdentification}));
    EXPECT_EQ(sim.Writes(), QList<QByteArray>{"*idn?\n"});
    EXPECT_EQ(sim.Reads(), QList<QByteArray>{kIdentification.toLatin1()});
    EXPECT_TRUE(busyWhileParsing);
    EXPECT_FALSE(access.GpibBusy);
    EXPECT_EQ(messages.meter, QStringList({kIdentification}));

    // An instrument that stops answering: each tick still parses its (empty) reply.
    sim.SetSilent(5, true);
    messages.meter.clear();
    EXPECT_TRUE(access.GpibPollTransaction("*tav?\n", parse));
    EXPECT_EQ(parsed.last(), "");
    EXPECT_EQ(messages.meter, QStringList({"---", ""}));
    EXPECT_EQ(messages.errBox, QStringList({"IBRD failed", "   IBSTA= ERR TMO CMPL",
                                            "   IBERR= EABO <Operation aborted>", "   IBCNT=0"}));
    EXPECT_FALSE(access.GpibBusy);
}

TEST_F(GpibAccessTest, SendsWithoutReadingAndReleasesWithClearThenLocal)
{
    access.GpibPreparation(5, 2);
    const QString ud = Descriptor();
    sim.ClearCallLog();

    EXPECT_TRUE(access.GpibMailboxSend("SOUR:VOLTAC,115\n"));
    EXPECT_EQ(sim.CallLog(), QStringList({"ibwrt(" + ud + ",\"SOUR:VOLTAC,115\\n\")"}));
    EXPECT_EQ(Query("Sour:voltac?\n"), "115.00000\r\n");

    sim.ClearCallLog();
    access.GpibRelease();
    EXPECT_EQ(sim.CallLog(), QStringList({"ibclr(" + ud + ")", "ibloc(" + ud + ")"}));
    EXPECT_FALSE(access.GpibBusy);

    // Recall of state 0, which holds the power-on values.
    access.ForgetGpibDevice();
    sim.ClearCallLog();
    messages.errBox << "from before";
    access.GpibDirectWrite(5, 2, "*RCL,0\n");
    const QString fresh = Descriptor();
    EXPECT_EQ(sim.CallLog(), QStringList({"ibdev(0,5,0,13,1,0)", "ibtmo(" + fresh + ",12)",
                                          "ibwrt(" + fresh + ",\"*RCL,0\\n\")",
                                          "ibclr(" + fresh + ")", "ibloc(" + fresh + ")"}));
    EXPECT_TRUE(messages.errBox.isEmpty());
    EXPECT_EQ(Query("Sour:voltac?\n"), "0.00000\r\n");
}

TEST_F(GpibAccessTest, ExchangesFindingTheFlagSetAreSkipped)
{
    access.GpibPreparation(5, 2);
    sim.ClearCallLog();
    access.GpibBusy = true;

    bool parsed = false;
    EXPECT_FALSE(access.GpibPollTransaction("*idn?\n", [&](const QString&) { parsed = true; }));
    EXPECT_FALSE(access.GpibMailboxSend("OUTP,1\n"));
    access.GpibRelease();
    access.GpibDirectWrite(5, 2, "*SAV,1\n");

    EXPECT_FALSE(parsed);
    EXPECT_TRUE(sim.CallLog().isEmpty());
    EXPECT_TRUE(access.GpibBusy);
    EXPECT_TRUE(messages.meter.isEmpty());
}

TEST(GpibAccessUnbound, NothingReachesALibraryAndReadsGiveDashes)
{
    GpibLibrary library("libtav-no-such-gpib.so.0");
    ASSERT_EQ(library.BindGpibLibrary(), -1);
    RecordedMessages messages;
    GpibAccess access(library, messages);
    access.SetDeviceName("Device 1");

    access.GpibPreparation(5, 2);
    access.OpenGpibDevice(5, 1);
    EXPECT_EQ(access.GpibDevice, 0);

    QStringList parsed;
    const auto parse = [&](const QString& reply) { parsed << reply; };
    EXPECT_TRUE(access.GpibPollTransaction("*idn?\n", parse));
    EXPECT_TRUE(access.GpibPollTransaction("*tav?\n", parse));
    EXPECT_TRUE(access.GpibMailboxSend("OUTP,1\n"));
    access.GpibRelease();
    QString text = "old";
    access.GpibRead(text);

    EXPECT_EQ(parsed, QStringList({"", ""}));
    EXPECT_EQ(text, "");
    EXPECT_EQ(messages.meter, QStringList({"---", "", "---", "", "---"}));
    EXPECT_EQ(messages.errBox, QStringList({"GPIB library not available"}));
    EXPECT_FALSE(access.GpibBusy);

    // The direct write empties ErrBox first; the line comes back, once.
    access.GpibDirectWrite(5, 2, "*RCL,0\n");
    EXPECT_EQ(messages.errBox, QStringList({"GPIB library not available"}));
}
