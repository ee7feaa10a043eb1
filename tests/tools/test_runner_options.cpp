// Every option of tavtest's command line, read once, lands in its own field with the value
// meant; a slot's ports are read as given.
#include "link/tcp_link.h"
#include "tools/runner_options.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

TEST(RunnerOptions, EachOptionLandsInItsFieldWithItsValue)
{
    using Check = std::function<bool(const RunnerOptions&)>;
    const struct {
        QStringList arguments;
        Check check;
    } cases[] = {
        {{"--port", "COM3"}, [](auto& o) { return o.Port == 3; }},
        {{"--port", "tcp://127.0.0.1:4001"},
         [](auto& o) { return o.Port && DirectTcpUri(*o.Port) == "tcp://127.0.0.1:4001"; }},
        {{"--gpib", "5"}, [](auto& o) { return o.GpibAddress == 5; }},
        {{"--gpib-name", "TAV-PS"}, [](auto& o) { return o.GpibName == "TAV-PS"; }},
        {{"--config", "a.cfg"}, [](auto& o) { return o.ConfigFile == "a.cfg"; }},
        {{"--report", "r.rpt"}, [](auto& o) { return o.ReportFile == "r.rpt"; }},
        {{"--text", "r.txt"}, [](auto& o) { return o.TextFile == "r.txt"; }},
        {{"--junit", "j.xml"}, [](auto& o) { return o.JUnitFile == "j.xml"; }},
        {{"--pdf", "r.pdf"}, [](auto& o) { return o.PdfFile == "r.pdf"; }},
        {{"--trace", "t.trace"}, [](auto& o) { return o.TraceFile == "t.trace"; }},
        {{"--report-dir", "out"}, [](auto& o) { return o.ReportDir == "out"; }},
        {{"--db", "postgresql:///line"}, [](auto& o) { return o.DbUri == "postgresql:///line"; }},
        {{"--station", "LINE-2"}, [](auto& o) { return o.Station == "LINE-2"; }},
        {{"--serial", "0505000999"}, [](auto& o) { return o.Serial == "0505000999"; }},
        {{"--reporter", "Anna"}, [](auto& o) { return o.Reporter == "Anna"; }},
        {{"--unit", "TAV 1600"}, [](auto& o) { return o.Unit == "TAV 1600"; }},
        {{"--auto-save"}, [](auto& o) { return o.AutoSave; }},
        {{"--serial-advance"}, [](auto& o) { return o.SerialAdvance; }},
        {{"--stop-at-error"}, [](auto& o) { return o.StopAtError; }},
        {{"--keep-output"}, [](auto& o) { return o.KeepOutput; }},
        {{"--quiet"}, [](auto& o) { return o.Quiet; }},
        {{"-q"}, [](auto& o) { return o.Quiet; }},
        {{"--set", "VAR02=230"}, [](auto& o) { return o.Sets.at(2) == 230.0; }},
        {{"--answer", "VAR10=1.5"}, [](auto& o) { return o.Answers.at(10) == "1.5"; }},
        {{"--meter-port", "COM9"}, [](auto& o) { return o.MeterPort == 9; }},
        {{"--timeout", "1"}, [](auto& o) { return o.TimeoutMs == 1000; }},
        {{"--timeout", "0.5"}, [](auto& o) { return o.TimeoutMs == 500; }},
        {{"--db-timeout", "1"}, [](auto& o) { return o.DbTimeoutMs == 1000; }},
        {{"--db-timeout", "0.25"}, [](auto& o) { return o.DbTimeoutMs == 250; }},
        {{}, [](auto& o) { return o.DbTimeoutMs == 5000 && o.TimeoutMs == 0 && !o.Quiet; }},
        {{"--slot", "COM3=0505000121,meter=COM9,com05=COM10", "--slot", "tcp://127.0.0.1:4002"},
         [](auto& o) {
             return o.Slots.size() == 2 && o.Slots[0].Port == 3 &&
                    o.Slots[0].Serial == "0505000121" && o.Slots[0].MeterPort == 9 &&
                    o.Slots[0].Ports == std::map<int, int>{{5, 10}} && !o.Slots[1].Serial &&
                    DirectTcpUri(*o.Slots[1].Port) == "tcp://127.0.0.1:4002";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const RunnerCommandLine read =
            ParseRunnerCommandLine(QStringList{"unit.tst"} + c.arguments);
        EXPECT_TRUE(read.Error.isEmpty()) << read.Error.toStdString();
        EXPECT_EQ(read.Options.TestFile, "unit.tst");
        EXPECT_TRUE(c.check(read.Options));
    }
}

TEST(RunnerOptions, ValuesThatMeanNothingAreRefusedNamingTheOption)
{
    const struct {
        QStringList arguments;
        const char* error;
    } cases[] = {
        {{"--db-timeout", "0"}, "--db-timeout: not a number of seconds above 0: 0"},
        {{"--timeout", "-1"}, "--timeout: "},
        {{"--port", "COM100"}, "--port: "},
        {{"--slot", "COM3,com05"}, "--slot: expected PORT=SERIAL[,meter=COMn][,comNN=COMn]"},
        {{"--slot", "COM3,com05=COM100"}, "--slot: expected"},
        {{"--slot", "COM3", "--slot", "com3=7"}, "--slot: COM3 is given twice"},
        {{"--slot", "COM3", "--port", "COM4"}, "--slot gives each instrument's link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const RunnerCommandLine read =
            ParseRunnerCommandLine(QStringList{"unit.tst"} + c.arguments);
        EXPECT_TRUE(read.Error.startsWith(QString::fromUtf8(c.error))) << read.Error.toStdString();
    }
}

} // namespace
