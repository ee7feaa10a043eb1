// A rack's slots and their ports: a slot whose device server does not answer holds up no other
// slot, each slot talks to its own further ports and meter, and two slots that would share a
// device are refused before anything is sent, by what their ports lead to.
#include "tests/support/loopback.h"
#include "tests/support/qt_wait.h"
#include "tests/tools/tavtest_fixture.h"

#include <QDir>
#include <QRegularExpression>

namespace {

using RackPorts = TavtestFixture;

const QStringList kShortRows = {
    "00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.300;MEAS:VOLT?;NEXT;0;NEXT;225;235;U;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};

// The JUnit time of the suite whose name holds `slot`.
double SuiteTime(const QString& junit, const QString& slot)
{
    const QRegularExpression suite(
        QStringLiteral("<testsuite name=\"[^\"]*%1[^\"]*\"[^>]* time=\"([0-9.]+)\"")
            .arg(QRegularExpression::escape(slot)));
    const QRegularExpressionMatch m = suite.match(junit);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

// The other slot starts first, so that a connect held on the loop would hold its rows: its
// table takes 0.7 s alone, a connect held on the loop 3 s (6 s, with a second connect to say
// why, before the mend).
TEST_F(RackPorts, ASlotThatCannotConnectHoldsUpNoOtherAndIsListedEverywhere)
{
    auto sim = StartSim();
    SilentListener silent;
    const QString table = WriteTable("unit.tst", kShortRows);
    const int status = Run({table, "--slot", "COM2", "--slot", silent.Uri(), "--junit", "j.xml",
                            "--trace", "run.trace", "--timeout", "5"});
    EXPECT_EQ(status, 2) << err.toStdString();
    EXPECT_TRUE(err.contains("slot COM2 0505000120: PASSED")) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("slot %1 0505000121: ERROR").arg(silent.Uri())))
        << err.toStdString();
    EXPECT_TRUE(err.contains(silent.Uri() + ": no answer within 3 s")) << err.toStdString();
    // A port that never opened had no output to switch off.
    EXPECT_FALSE(err.contains("switched off")) << err.toStdString();
    EXPECT_EQ(SentLines(*sim),
              kAsked + QStringList({"SOUR:VOLTAC,230", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}));

    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_EQ(junit.count("<testsuite "), 2) << junit.toStdString();
    EXPECT_TRUE(junit.contains("<error message=\"" + silent.Uri() + ": no answer within 3 s"))
        << junit.toStdString();
    const double neighbour = SuiteTime(junit, "COM2");
    EXPECT_GT(neighbour, 0.6) << junit.toStdString();
    EXPECT_LT(neighbour, 2.7) << "held up by the other slot's connect\n" << junit.toStdString();
    // Each slot's trace under a name that is a file name, the network slot's too.
    EXPECT_TRUE(QFileInfo::exists(File("run-COM2.trace")));
    EXPECT_TRUE(
        QFileInfo::exists(File(QStringLiteral("run-tcp-127.0.0.1-%1.trace").arg(silent.Port))))
        << QDir(File("")).entryList().join(' ').toStdString();
}

// Each slot's meter and the table's @COM03 rows go to that slot's own meter.
TEST_F(RackPorts, EachSlotReadsItsOwnMeterAndFurtherPort)
{
    auto first = StartSim();
    auto second = StartSimOn(4);
    auto meter8 = StartSimOn(8, {"--meter", "--reading", "229.9"});
    auto meter9 = StartSimOn(9, {"--meter", "--reading", "230.6"});
    const QString table = WriteTable(
        "unit.tst", {"00.00.00.100;EXTVAC;0;0;0;;;;1", "00.00.00.300;EXTMEAS?;0;0;0;229;231;U;1",
                     "00.00.00.300;@COM03:SENS:FUNC?;0;0;0;;;f;2", "00.00.00.000;END;0;0;0;;;;1"});
    ASSERT_TRUE(QDir(File("")).mkpath("reports"));
    EXPECT_EQ(Run({table, "--slot", "COM2,meter=COM8,com03=COM8", "--slot",
                   "COM4,meter=COM9,com03=COM9", "--report", "reports"}),
              0)
        << err.toStdString();
    for (const TavsimProcess* meter : {meter8.get(), meter9.get()})
        EXPECT_EQ(SentLines(*meter),
                  QStringList({"*idn?", ":SENS:FUNC 'VOLT:AC'", "READ?", "SENS:FUNC?"}));
    EXPECT_TRUE(Lines("reports/TAV 1600-0505000120.rpt").join('\n').contains("229.900"));
    EXPECT_TRUE(Lines("reports/TAV 1600-0505000121.rpt").join('\n').contains("230.600"));
}

// Each case is refused before a line reaches any instrument.
TEST_F(RackPorts, SlotsThatWouldShareADeviceAreRefused)
{
    auto first = StartSim();
    auto second = StartSimOn(3);
    SilentListener silent;
    QFile entry(PortLink(7));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(silent.Uri().toLatin1() + "\n");
    entry.close();
    // COM5 leads to COM3's device through a link of its own.
    ASSERT_TRUE(QFile::link(QFileInfo(PortLink(3)).symLinkTarget(), PortLink(5)));
    const QString plain = WriteTable("plain.tst", kShortRows);
    const QString meter = WriteTable(
        "meter.tst", {"00.00.00.300;EXTMEAS?;0;0;0;0;300;U;1", "00.00.00.000;END;0;0;0;;;;1"});
    const QString further = WriteTable(
        "further.tst", {"00.00.00.100;@COM06:*RST;0;0;0;;;;1", "00.00.00.000;END;0;0;0;;;;1"});
    const struct {
        const char* name;
        QStringList arguments;
        QString error;
    } cases[] = {
        {"an entry and its URI named outright",
         {plain, "--slot", "COM7", "--slot", silent.Uri()},
         "COM7 and " + silent.Uri() + " are one port"},
        {"two slots with one meter",
         {plain, "--slot", "COM2,meter=COM9", "--slot", "COM3,meter=COM9"},
         "slots COM2 and COM3 would share one port"},
        {"a meter that is another slot's instrument",
         {plain, "--slot", "COM2,meter=COM5", "--slot", "COM3"},
         "slots COM2 and COM3 would share one port"},
        {"one meter for every slot",
         {meter, "--slot", "COM2", "--slot", "COM3", "--meter-port", "COM9"},
         "would share one port"},
        {"no meter given in a rack",
         {meter, "--slot", "COM2", "--slot", "COM3"},
         "a rack has no default meter"},
        {"a further port both slots leave as it is",
         {further, "--slot", "COM2", "--slot", "COM3"},
         "@COM06 (COM6) of COM2, @COM06 (COM6) of COM3"},
        // Last, as it runs: each slot its own port for the rows.
        {"a further port each slot has of its own",
         {further, "--slot", "COM2", "--slot", "COM3,com06=COM8"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int status = Run(c.arguments);
        if (c.error.isEmpty()) {
            EXPECT_NE(status, 2) << err.toStdString();
            continue;
        }
        EXPECT_EQ(status, 2);
        EXPECT_TRUE(err.contains(c.error)) << err.toStdString();
        EXPECT_TRUE(SentLines(*first).isEmpty() && SentLines(*second).isEmpty());
    }
}

} // namespace
