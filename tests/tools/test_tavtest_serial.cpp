// tavtest run as a program against tavsim: exit status, the result files, the lines the
// instrument gets, and a run that breaks off.
#include "tests/support/pdf_text.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/tools/tavtest_fixture.h"

#include <QRegularExpression>
#include <csignal>

namespace {

const QStringList kPassingRows = {
    "00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.500;MEAS:VOLT?;0;0;0;225;235;UAC;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};

// The voltage is set to 100 V but checked against 225 ... 235 V.
const QStringList kFailingRows = {
    "00.00.00.100;SOUR:VOLTAC,100;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.500;MEAS:VOLT?;0;0;0;225;235;U out;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};

// Row 3 waits far longer than any test: the run is broken off there.
const QStringList kLongRows = {
    "00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.500;MEAS:VOLT?;0;0;0;225;235;UAC;1",
    "00.01.00.000;SOUR:FREQ,60;0;0;0;;;;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};

using Tavtest = TavtestFixture;

TEST_F(Tavtest, PassingTableExitsZeroAndWritesEveryResultFile)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kPassingRows);
    ASSERT_EQ(Run({table, "--report", "r.rpt", "--junit", "j.xml", "--pdf", "r.pdf", "--text",
                   "r.txt", "--serial", "SN42"}),
              0)
        << err.toStdString();
    EXPECT_EQ(SentLines(*sim),
              kAsked + QStringList({"SOUR:VOLTAC,230", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}));

    const QStringList report = Lines("r.rpt");
    ASSERT_GE(report.size(), 11);
    EXPECT_EQ(report[3], "Serial #:;SN42");
    EXPECT_EQ(report[9], " 3;UAC;225.000;230.000;235.000;");
    EXPECT_EQ(report[10], " 4;;;;;");

    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_TRUE(junit.contains("tests=\"4\"")) << junit.toStdString();
    EXPECT_TRUE(junit.contains("failures=\"0\""));
    EXPECT_TRUE(junit.contains("name=\"step 3 UAC\""));
    EXPECT_FALSE(junit.contains("<failure"));

    EXPECT_TRUE(Lines("r.txt").contains(" 3;\"UAC\";225.000;230.000;235.000;\"\""))
        << Bytes("r.txt").toStdString();
    const QStringList pdf = PdfLines(PdfLayoutText(File("r.pdf")));
    EXPECT_TRUE(pdf.contains("Test-Report")) << pdf.join('\n').toStdString();
    EXPECT_EQ(pdf.filter("SN42").size(), 1);

    // One line per recorded row on standard error, then the verdict.
    EXPECT_TRUE(err.contains(QRegularExpression("3 +MEAS:VOLT\\? +230.000 +\\[225.000 \\.\\. "
                                                "235.000\\] +ok")))
        << err.toStdString();
    EXPECT_TRUE(err.contains("PASSED: 4 rows recorded, 0 failed"));
    // The PDF's GUI part finds a session folder of its own, without a word on standard error.
    EXPECT_FALSE(err.contains("XDG_RUNTIME_DIR")) << err.toStdString();
}

TEST_F(Tavtest, FailingLimitExitsOneWithOneJUnitFailure)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kFailingRows);
    EXPECT_EQ(Run({table, "--junit", "j.xml", "--quiet"}), 1) << err.toStdString();
    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_EQ(junit.count("<failure"), 1) << junit.toStdString();
    EXPECT_TRUE(junit.contains("failures=\"1\""));
    EXPECT_TRUE(junit.contains("name=\"step 3 U out\""));
    EXPECT_TRUE(junit.contains("message=\"value 100.000 outside the limits 225.000 ... "
                               "235.000\""))
        << junit.toStdString();
    // Quiet: no row lines, only the verdict.
    EXPECT_FALSE(err.contains("MEAS:VOLT?"));
    EXPECT_TRUE(err.contains("FAILED: 4 rows recorded, 1 failed")) << err.toStdString();
    // Without "Stop at Error" the run goes on to its end.
    EXPECT_EQ(SentLines(*sim),
              kAsked + QStringList({"SOUR:VOLTAC,100", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}));
}

// A failed row ends the run there whether or not it is shown, and fails it.
TEST_F(Tavtest, StopAtErrorEndsTheRunAtTheFailedRowShownOrNot)
{
    auto sim = StartSim();
    for (const QString show : {"1", "0"}) {
        SCOPED_TRACE(show.toStdString());
        QStringList rows = kFailingRows;
        rows[2].replace(";U out;1", ";U out;" + show);
        const QString table = WriteTable("unit.tst", rows);
        EXPECT_EQ(Run({table, "--stop-at-error", "--report", "r.rpt", "--junit", "j.xml"}), 1)
            << err.toStdString();
        EXPECT_TRUE(err.contains("1 failed")) << err.toStdString();
        const QString junit = QString::fromUtf8(Bytes("j.xml"));
        EXPECT_TRUE(junit.contains(QRegularExpression(
            "name=\"step 3 U out\">\\s*<failure message=\"value 100.000 outside the limits "
            "225.000 ... 235.000\"")))
            << junit.toStdString();
        const QStringList report = Lines("r.rpt");
        ASSERT_EQ(report.size(), show == "1" ? 12 : 11) << Bytes("r.rpt").toStdString();
        if (show == "1") {
            EXPECT_EQ(report[9], " 3;U out;225.000;100.000;235.000;Error!");
        }
    }
    // Rows 4 and 5 never ran; the output was switched off after each run.
    EXPECT_EQ(SentLines(*sim),
              kAsked + QStringList({"SOUR:VOLTAC,100", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}) + kAsked +
                  QStringList({"SOUR:VOLTAC,100", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}));
}

// A report holding characters the 8-bit files cannot keep is written all the same, with '?' in
// their place, and the run fails naming where they are.
TEST_F(Tavtest, ReportOutsideLatin1IsWrittenAndTheRunFails)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kPassingRows);
    EXPECT_EQ(Run({table, "--unit", "Unit \u03a9", "--report", "r.rpt", "--text", "r.txt"}), 2);
    EXPECT_EQ(Lines("r.rpt").value(2), "Unit:;Unit ?");
    EXPECT_EQ(Lines("r.txt").value(2), "\"Unit:\";\"Unit ?\"");
    for (const char* file : {"r.rpt:", "r.txt:"})
        EXPECT_TRUE(err.contains(QString::fromLatin1(file) +
                                 " The field \"Unit:\" holds characters that the file cannot keep"))
            << err.toStdString();
    EXPECT_TRUE(err.contains("Written with '?' in their place."));
}

TEST_F(Tavtest, UnreadableTableAndBadOptionsExitTwo)
{
    EXPECT_EQ(Run({File("missing.tst")}), 2);
    EXPECT_TRUE(err.contains("missing.tst")) << err.toStdString();
    EXPECT_EQ(Run({"a.tst", "--set", "VAR11=3"}), 2);
    EXPECT_TRUE(err.contains("VARnn=VALUE")) << err.toStdString();
    EXPECT_EQ(Run({"a.tst", "--port", "COM2", "--gpib", "5"}), 2);
    EXPECT_TRUE(err.contains("exclude each other"));
    EXPECT_EQ(Run({"a.tst", "--meter-port", "COMx"}), 2);
    EXPECT_TRUE(err.contains("--meter-port: not a port (COM1 to COM99): COMx"))
        << err.toStdString();
    // A misspelt option is one line and where to look, not the whole usage.
    EXPECT_EQ(Run({"a.tst", "--reprot", "r.rpt"}), 2);
    EXPECT_EQ(err, "tavtest: unknown option --reprot\n(tavtest --help lists the options)\n");
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_TRUE(out.startsWith("tavtest ")) << out.toStdString();
}

TEST_F(Tavtest, KilledSimulatorExitsTwoAndSavesThePartialReport)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kLongRows);
    Start({table, "--report", "r.rpt", "--junit", "j.xml"});
    ASSERT_TRUE(WaitUntil([&] { return SentLines(*sim).contains("SOUR:FREQ,60"); }, 60000));
    sim->Kill();
    EXPECT_EQ(Finish(), 2) << err.toStdString();
    EXPECT_TRUE(err.contains("COM2: instrument lost")) << err.toStdString();
    const QStringList report = Lines("r.rpt");
    ASSERT_GE(report.size(), 11) << Bytes("r.rpt").toStdString();
    EXPECT_EQ(report[9], " 3;UAC;225.000;230.000;235.000;");
    EXPECT_EQ(report[10], " 4;;;;;");
    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_TRUE(junit.contains("<error message=\"COM2: instrument lost")) << junit.toStdString();
}

TEST_F(Tavtest, TimeOutEndsTheRunWithTheReportSaved)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kLongRows);
    EXPECT_EQ(Run({table, "--timeout", "1.5", "--report", "r.rpt"}), 2);
    EXPECT_TRUE(err.contains("time-out: the run took longer than 1.5 s")) << err.toStdString();
    EXPECT_EQ(Lines("r.rpt").value(10), " 4;;;;;") << Bytes("r.rpt").toStdString();
}

TEST_F(Tavtest, InterruptEndsCleanlyWithTheReportSaved)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kLongRows);
    Start({table, "--report", "r.rpt"});
    ASSERT_TRUE(WaitUntil([&] { return SentLines(*sim).contains("SOUR:FREQ,60"); }, 60000));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    EXPECT_EQ(Finish(), 2);
    EXPECT_TRUE(err.contains("interrupted")) << err.toStdString();
    EXPECT_EQ(Lines("r.rpt").value(10), " 4;;;;;") << Bytes("r.rpt").toStdString();
    // The port was given back: it can be taken again at once.
    EXPECT_EQ(Run({WriteTable("short.tst", {"00.00.00.000;END;0;0;0;;;;1"})}), 0)
        << err.toStdString();
}

TEST_F(Tavtest, PresetVariablesAnswersAndPauseWithoutTerminal)
{
    auto sim = StartSim();
    const QString table = WriteTable(
        "unit.tst",
        {"00.00.00.100;@MSGVAR02;48;0;0;;;Voltage?;0", "00.00.00.100;SOUR:VOLTAC,@VAR02;0;0;0;;;;1",
         "00.00.00.100;PAUSE;0;0;0;;;;0", "00.00.00.100;SOUR:FREQ,@VAR01;0;0;0;;;;1",
         "00.00.00.100;@MSGVAR03;7;0;0;;;Other?;0", "00.00.00.100;SOUR:VOLTDC,@VAR03;0;0;0;;;;1",
         "00.00.00.000;END;0;0;0;;;;1"});
    EXPECT_EQ(Run({table, "--answer", "VAR02=115", "--set", "VAR01=60"}), 0) << err.toStdString();
    EXPECT_EQ(SentLines(*sim), kAsked + QStringList({"SOUR:VOLTAC,115.0", "PAUSE", "SOUR:FREQ,60.0",
                                                     "SOUR:VOLTDC,7.0"}));
    EXPECT_TRUE(err.contains("step 3: PAUSE passed over")) << err.toStdString();
    EXPECT_TRUE(err.contains("no answer for VAR03, the default 7 is taken")) << err.toStdString();
    // The default changes what the unit got: said even when quiet.
    EXPECT_EQ(Run({table, "--answer", "VAR02=115", "--quiet"}), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("no answer for VAR03, the default 7 is taken")) << err.toStdString();
}

} // namespace

// --trace keeps the traffic as the desktop program does: every line the instrument got, sent,
// and its answer, received.
TEST_F(Tavtest, TraceRecordsTheRunsTraffic)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kPassingRows);
    ASSERT_EQ(Run({table, "--trace", "run.trace", "--quiet"}), 0) << err.toStdString();
    const QStringList trace =
        QString::fromLatin1(Bytes("run.trace")).split('\n', Qt::SkipEmptyParts);
    QStringList sent;
    for (const QString& line : trace) {
        const QStringList fields = line.split('\t');
        if (fields.size() >= 4 && fields[1] == "TX")
            sent << fields[3];
    }
    ASSERT_EQ(sent.size(), 6) << trace.join('\n').toStdString();
    EXPECT_TRUE(sent[0].startsWith("*idn?")) << sent[0].toStdString();
    EXPECT_TRUE(sent[4].startsWith("MEAS:VOLT?")) << sent[4].toStdString();
    EXPECT_FALSE(trace.filter("\tRX\t").isEmpty());
    EXPECT_NE(Run({table, "--trace"}), 0) << "the option without its file";
}
