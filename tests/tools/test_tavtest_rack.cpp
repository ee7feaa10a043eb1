// One table on a rack of instruments at once: each slot its own run, files and verdict, and one
// slot's lost instrument ends that slot alone.
#include "tests/support/build_paths.h"
#include "tests/support/qt_wait.h"
#include "tests/tools/tavtest_fixture.h"

#include <QDir>
#include <QRegularExpression>

namespace {

using Rack = TavtestFixture;

const QStringList kRackRows = {
    "00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.300;MEAS:CURR?;NEXT;0;NEXT;4.5;4.7;I;1",
    "00.00.01.500;MEAS:VOLT?;NEXT;0;NEXT;225;235;U;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};

TEST_F(Rack, EachSlotRunsItsOwnUnitAndALostOneEndsAlone)
{
    auto good = StartSim();
    TavsimProcess heavy(PortLink(3), File("sim3.log"), {"--load-ohm", "48"});
    TavsimProcess lost(PortLink(4), File("sim4.log"));
    ASSERT_TRUE(heavy.Ready() && lost.Ready());
    const QString table = WriteTable("unit.tst", kRackRows);
    ASSERT_TRUE(QDir(File("")).mkpath("reports"));

    // Two slots on one port are refused before a line is sent.
    EXPECT_EQ(Run({table, "--slot", "COM2", "--slot", "com2=77"}), 2);
    EXPECT_TRUE(err.contains("--slot: COM2 is given twice")) << err.toStdString();
    EXPECT_EQ(Run({table, "--slot", "COM2", "--slot", "COM3", "--report", "one.rpt"}), 2);
    EXPECT_TRUE(err.contains("with several slots, give a folder")) << err.toStdString();
    EXPECT_TRUE(SentLines(*good).isEmpty());

    Start({table, "--slot", "COM2", "--slot", "COM3", "--slot", "COM4", "--report", "reports",
           "--junit", "j.xml"});
    ASSERT_TRUE(WaitUntil([&] { return SentLines(lost).contains("MEAS:VOLT?"); }, 60000));
    lost.Kill();
    EXPECT_EQ(Finish(), 2) << err.toStdString();

    // The other two finished their tables; the lost one is told with its slot.
    for (const TavsimProcess* sim : {good.get(), &heavy})
        EXPECT_EQ(SentLines(*sim), kAsked + QStringList({"SOUR:VOLTAC,230", "OUTP,1", "MEAS:CURR?",
                                                         "MEAS:VOLT?", "OUTP,0"}));
    EXPECT_TRUE(err.contains(QRegularExpression("COM4 0505000122: .*COM4: instrument lost")))
        << err.toStdString();
    for (const char* line :
         {"slot COM2 0505000120: PASSED", "slot COM3 0505000121: FAILED",
          "slot COM4 0505000122: ERROR", "rack: 3 slots, 1 passed, 1 failed, 1 with a run error"})
        EXPECT_TRUE(err.contains(line)) << line << "\n" << err.toStdString();

    QStringList reports = QDir(File("reports")).entryList(QDir::Files);
    EXPECT_EQ(reports, QStringList({"TAV 1600-0505000120.rpt", "TAV 1600-0505000121.rpt",
                                    "TAV 1600-0505000122.rpt"}));
    EXPECT_TRUE(Lines("reports/TAV 1600-0505000121.rpt").contains(" 3;I;4.500;4.792;4.700;Error!"));
    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_EQ(junit.count("<testsuite "), 3) << junit.toStdString();
    EXPECT_TRUE(junit.contains("name=\"unit COM4 0505000122\"")) << junit.toStdString();
    EXPECT_TRUE(junit.contains("<error message=\"COM4: instrument lost")) << junit.toStdString();
}

// A failed unit without a run error anywhere makes the rack's status 1, and only that slot's
// suite in the JUnit file holds the failure.
TEST_F(Rack, OneFailedSlotIsStatusOneAndItsOwnSuitesFailure)
{
    auto good = StartSim();
    auto heavy = StartSimOn(3, {"--load-ohm", "48"});
    const QString table = WriteTable("unit.tst", kRackRows);
    EXPECT_EQ(Run({table, "--slot", "COM2", "--slot", "COM3", "--junit", "j.xml"}), 1)
        << err.toStdString();
    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    const qsizetype second = junit.indexOf("<testsuite name=\"unit COM3");
    ASSERT_GT(second, 0) << junit.toStdString();
    EXPECT_FALSE(junit.left(second).contains("<failure")) << junit.toStdString();
    EXPECT_EQ(junit.mid(second).count("<failure"), 1) << junit.toStdString();
    EXPECT_FALSE(junit.contains("<error")) << junit.toStdString();
    EXPECT_TRUE(junit.contains("classname=\"unit.COM3.0505000121\"")) << junit.toStdString();
}

// On a terminal the slots share one keyboard: a prompt holds only the slot that asks, while
// the slot answered before it runs on to its end.
TEST_F(Rack, APromptHoldsOnlyItsOwnSlot)
{
    auto first = StartSim();
    auto second = StartSimOn(3);
    const QString table = WriteTable("unit.tst", {"00.00.00.100;@MSGVAR01;230;0;0;;;Voltage?;1",
                                                  "00.00.00.100;SOUR:VOLTAC,@VAR01;0;0;0;;;;1",
                                                  "00.00.00.300;Sour:voltac?;0;0;0;0;300;U;1",
                                                  "00.00.00.000;END;0;0;0;;;;1"});
    // script(1) gives tavtest a terminal on standard input and error.
    const QProcessEnvironment env = Environment();
    QProcess run;
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(File(""));
    run.start("script",
              {"-qfec", QString::fromUtf8(kTavtestPath) + " " + table + " --slot COM2 --slot COM3",
               "/dev/null"});
    ASSERT_TRUE(run.waitForStarted(10000));
    QByteArray shown;
    const auto asked = [&](int times) {
        return WaitUntil(
            [&] {
                shown += run.readAllStandardOutput();
                return shown.count("Voltage? [230]: ") >= times;
            },
            20000);
    };
    ASSERT_TRUE(asked(1)) << shown.toStdString();
    // Whichever slot came to its prompt first is asked first; the question names it.
    const bool comTwoFirst = shown.contains("COM2 0505000120: Voltage?");
    TavsimProcess& answered = comTwoFirst ? *first : *second;
    TavsimProcess& waiting = comTwoFirst ? *second : *first;
    run.write("215\n");
    ASSERT_TRUE(WaitUntil([&] { return SentLines(answered).contains("Sour:voltac?"); }, 20000));
    EXPECT_EQ(SentLines(waiting), kAsked) << "the other slot still waits for its answer";
    ASSERT_TRUE(asked(2)) << shown.toStdString();
    run.write("220\n");
    ASSERT_TRUE(run.waitForFinished(30000));
    shown += run.readAllStandardOutput();
    EXPECT_EQ(run.exitCode(), 0) << shown.toStdString();
    EXPECT_TRUE(SentLines(answered).contains("SOUR:VOLTAC,215.0"));
    EXPECT_TRUE(SentLines(waiting).contains("SOUR:VOLTAC,220.0"));
}

} // namespace
