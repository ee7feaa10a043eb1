// tavtest never says PASSED for what it did not measure, never runs what is not a test table,
// never leaves the output live after a run that broke off, and never loses a report.
#include "autotest/report_file.h"
#include "autotest/result_table.h"
#include "link/serial_device.h"
#include "tests/support/build_paths.h"
#include "tests/support/qt_wait.h"
#include "tests/tools/tavtest_fixture.h"

#include <QRegularExpression>
#include <csignal>
#include <unistd.h>

namespace {

using Verdicts = TavtestFixture;

// Item by item, what the run reports: exit status, the lines on standard error, the JUnit file.
TEST_F(Verdicts, RunsThatMeasuredNothingDoNotPass)
{
    auto sim = StartSim({"--slow-query", "MEAS:CURR?", "--slow-ms", "700"});
    struct Case {
        const char* name;
        QStringList rows;
        int status;
        QStringList errLines; // each must appear on standard error (regular expressions)
        QString junit;        // must appear in the JUnit file
    };
    const Case cases[] = {
        {"GOTO outside the table",
         {"00.00.00.100;OUTP,1;0;0;0;;;;1", "00.00.00.000;GOTO;300;0;1;;;;1",
          "00.00.00.000;END;0;0;0;;;;1"},
         2,
         {"tavtest: error: END: no row 300", "ERROR"},
         "<error message=\"END: no row 300\""},
        {"failure target outside the table",
         {"00.00.00.100;MEAS:VOLT?;250;0;0;225;235;U;1", "00.00.00.000;END;0;0;0;;;;1"},
         2,
         {"END: no row 250"},
         "<error message=\"END: no row 250\""},
        // A query the instrument ignores fails its own row only: the next query goes out behind
        // the identification query, and the line after its answer is the query's own reply.
        {"a query the instrument ignores",
         {"00.00.00.100;MEAS:FREQ?;0;0;0;49;51;f;1", "00.00.00.100;MEAS:VOLT?;0;0;0;0;1;U;1",
          "00.00.00.000;END;0;0;0;;;;1"},
         1,
         {"MEAS:FREQ\\? +no reply", "MEAS:VOLT\\? +0.000", "FAILED: 2 rows recorded, 1 failed"},
         "message=\"value no reply outside the limits 49.000 ... 51.000\""},
        // The current is answered after 700 ms, the row waits 300: its reply is told as late
        // and the frequency row after it, which waits long enough, gets its own reply.
        {"a late reply",
         {"00.00.00.300;MEAS:CURR?;0;0;0;0;1;I;1", "00.00.01.000;SOUR:FREQ?;0;0;0;49;51;f;1",
          "00.00.00.000;END;0;0;0;;;;1"},
         1,
         {"MEAS:CURR\\? +no reply", "late reply, not evaluated: 0.000A", "SOUR:FREQ\\? +50.000",
          "FAILED: 2 rows recorded, 1 failed"},
         "name=\"step 2 f\"/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int status = Run({WriteTable("unit.tst", c.rows), "--junit", "j.xml"});
        EXPECT_EQ(status, c.status) << err.toStdString();
        for (const QString& line : c.errLines)
            EXPECT_TRUE(err.contains(QRegularExpression(line))) << line.toStdString() << "\n"
                                                                << err.toStdString();
        EXPECT_TRUE(QString::fromUtf8(Bytes("j.xml")).contains(c.junit))
            << Bytes("j.xml").toStdString();
    }
}

// Replies lost in a row, the identification answers sent ahead of the next query among them (a
// cable out for a moment): the rows whose replies were lost fail, and every later row is judged
// by its own reply.
TEST_F(Verdicts, RepliesLostInARowFailOnlyTheirOwnRows)
{
    QStringList rows;
    for (int row = 0; row < 7; ++row)
        rows << "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1";
    rows << "00.00.00.000;END;0;0;0;;;;1";
    // Replies 1 and 2 answer the identification and options asked before the rows, reply 3 is
    // row 1's; then each lost row's reply, and the identification answer sent ahead of the next
    // query.
    for (const auto& [lost, failed] : {std::pair{"4", 1}, {"4-6", 2}, {"4-8", 3}}) {
        SCOPED_TRACE(lost);
        auto sim = StartSim({"--lose-replies", lost});
        const int status = Run({WriteTable("unit.tst", rows)});
        EXPECT_EQ(status, 1) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("FAILED: 7 rows recorded, %1 failed").arg(failed)))
            << err.toStdString();
        EXPECT_EQ(err.count(QRegularExpression("SOUR:FREQ\\? +no reply")), failed);
        EXPECT_FALSE(err.contains("late reply")) << err.toStdString();
    }
}

// A file that is not a test table, or an output that cannot be written, stops tavtest before
// the link is opened: not one line reaches the instrument.
TEST_F(Verdicts, NothingIsSentForABadTableOrAnUnwritableOutput)
{
    auto sim = StartSim();
    const QString good = WriteTable("unit.tst", {"00.00.00.100;OUTP,1;0;0;0;;;;1"});
    QFile report(File("old.rpt"));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.write(
        "Test-Report:\r\nReporter:;R\r\nUnit:;U\r\nSerial #:;1\r\nDate:;1.1.2026\r\n\r\n"
        "Step;Comment;Lower Limit;Test Result;Upper Limit;Mark\r\n 1;;0.000;0.5;1.000;\r\n");
    report.close();
    QFile broken(File("broken.tst"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("Test-File:\r\nReporter:;R\r\nUnit:;U\r\nSerial #:;1\r\n\r\n"
                 " 1;00.00.00.100;OUTP,1;0;0;0;;;;1\r\n 2;0.00.00.100;OUTP,0;0;0;0;;;;1\r\n"
                 " 3;00.00.00.000;END;0;0;0;;;;1\r\n");
    broken.close();
    const struct {
        QStringList arguments;
        QString error;
    } cases[] = {
        {{"/etc/passwd"}, "/etc/passwd: not a test table the program can run: lines 1, 2, 3, 4"},
        {{File("old.rpt")}, "old.rpt: not a test table the program can run: lines 1, 6"},
        {{File("broken.tst")},
         "broken.tst: not a test table the program can run: line 7 "
         "(Read Error Time !)"},
        {{good, "--report", "nosuchdir/x.rpt"}, "nosuchdir: no such folder"},
        {{good, "--junit", "nosuchdir/j.xml"}, "nosuchdir: no such folder"},
        {{good, "--auto-save", "--report-dir", "nosuchdir"}, "nosuchdir: no such folder"},
        // A prompt's answer the interpreter would read as 0 (a current limit of 0 A).
        {{good, "--answer", "VAR01=abc"}, "--answer: not a number: VAR01=abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(Run(c.arguments), 2) << err.toStdString();
        EXPECT_TRUE(err.contains(c.error)) << err.toStdString();
    }
    EXPECT_TRUE(sim->Received().empty()) << SentLines(*sim).join('\n').toStdString();
}

// Whatever ends a run before its end row, the output is switched off (unless the operator
// keeps it), and the report, JUnit and standard error say so.
TEST_F(Verdicts, EveryBrokenOffRunEndsWithTheOutputOff)
{
    auto sim = StartSim();
    // Row 2 fails (no voltage is set) and goes on at its failure target; row 3 waits a minute.
    const auto table = [this](const QString& target) {
        return WriteTable("unit.tst",
                          {"00.00.00.100;OUTP,1;0;0;0;;;;1",
                           "00.00.00.100;MEAS:VOLT?;" + target + ";0;0;1;2;U;1",
                           "00.01.00.000;SOUR:FREQ,60;0;0;0;;;;1", "00.00.00.000;END;0;0;0;;;;1"});
    };
    const QString switchedOff = "the run did not reach its end: output switched off (OUTP,0 sent)";
    const QString kept = "the run did not reach its end: output left as it was (--keep-output)";
    const struct {
        const char* name;
        QString target;
        QStringList extra;
        int signal; // sent once the long row is reached; 0: none
        int status;
    } cases[] = {
        {"SIGINT", "0", {}, SIGINT, 2},
        {"SIGTERM", "0", {}, SIGTERM, 2},
        {"time-out", "0", {"--timeout", "1"}, 0, 2},
        {"stop at error", "0", {"--stop-at-error"}, 0, 1},
        {"run error", "250", {}, 0, 2},
        {"kept", "0", {"--timeout", "1", "--keep-output"}, 0, 2},
    };
    QStringList autoSaved;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = SentLines(*sim).size();
        Start(QStringList{table(c.target), "--report", "r.rpt", "--junit", "j.xml", "--quiet",
                          "--auto-save"} +
              c.extra);
        if (c.signal) {
            ASSERT_TRUE(
                WaitUntil([&] { return SentLines(*sim).mid(before).contains("SOUR:FREQ,60"); }));
            ::kill(static_cast<pid_t>(process.processId()), c.signal);
        }
        EXPECT_EQ(Finish(), c.status) << err.toStdString();
        const bool off = c.extra.contains("--keep-output") == false;
        if (off)
            ASSERT_TRUE(WaitUntil([&] { return SentLines(*sim).mid(before).endsWith("OUTP,0"); }))
                << SentLines(*sim).mid(before).join(' ').toStdString();
        else
            EXPECT_FALSE(SentLines(*sim).mid(before).contains("OUTP,0"));
        const QString note = off ? switchedOff : kept;
        EXPECT_TRUE(err.contains("tavtest: " + note)) << err.toStdString();
        EXPECT_TRUE(QString::fromUtf8(Bytes("j.xml")).contains(note));
        // The note reads back as the Comment of the report's last row, nothing shifted, in the
        // report asked for and in the one Auto Save kept under a name of its own.
        const QString saved = out.trimmed();
        EXPECT_FALSE(autoSaved.contains(saved)) << saved.toStdString();
        autoSaved << saved;
        for (const QString& path : {File("r.rpt"), saved}) {
            ResultTable opened;
            ASSERT_TRUE(OpenReport(path, opened)) << path.toStdString();
            ASSERT_GE(opened.RowCount(), 2);
            EXPECT_EQ(opened.Row(opened.RowCount() - 1), QStringList({"", note, "", "", "", ""}))
                << path.toStdString();
        }
    }
}

// --auto-save keeps every report of a retested serial number; --serial-advance numbers the
// units of a loop one after another, kept in the table itself.
TEST_F(Verdicts, ReportsAreKeptAndSerialNumbersAdvance)
{
    auto sim = StartSim();
    const QString table =
        WriteTable("unit.tst", {"00.00.00.100;OUTP,1;0;0;0;;;;1", "00.00.00.000;END;0;0;0;;;;1"});
    ASSERT_TRUE(QDir(File("")).mkdir("reports"));
    QStringList printed;
    // A folder given to --report keeps every report as Auto Save does.
    for (const char* options :
         {"--auto-save --report-dir reports", "--report reports/",
          "--auto-save --report-dir reports", "--report reports", "--auto-save --serial-advance",
          "--auto-save --serial-advance", "--auto-save --serial-advance"}) {
        ASSERT_EQ(Run(QStringList{table, "--quiet"} + QString::fromLatin1(options).split(' ')), 0)
            << err.toStdString();
        printed << out.trimmed();
    }
    EXPECT_EQ(printed,
              QStringList({"reports/TAV 1600-0505000120.rpt", "reports/TAV 1600-0505000120-2.rpt",
                           "reports/TAV 1600-0505000120-3.rpt", "reports/TAV 1600-0505000120-4.rpt",
                           File("TAV 1600-0505000121.rpt"), File("TAV 1600-0505000122.rpt"),
                           File("TAV 1600-0505000123.rpt")}));
    for (const QString& path : printed)
        EXPECT_TRUE(QFileInfo(QDir(File("")).filePath(path)).isFile()) << path.toStdString();
    EXPECT_EQ(Lines("unit.tst").mid(0, 5),
              QStringList({"Test-File:", "Reporter:;Line 3", "Unit:;TAV 1600",
                           "Serial #:;0505000123", ""}));
    EXPECT_EQ(Lines("unit.tst").value(5), " 1;00.00.00.100;OUTP,1;0;0;0;;;;1");
}

// A port that cannot be opened is named with the device tried and why.
TEST_F(Verdicts, PortErrorsNameTheDeviceAndTheCause)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", {"00.00.00.000;END;0;0;0;;;;1"});
    ASSERT_TRUE(QFile::link(File("nothing-here"), PortLink(4)));
    const int held = OpenSerialDevice(QFileInfo(PortLink(2)).symLinkTarget().toStdString());
    ASSERT_GE(held, 0);
    const struct {
        QString port;
        QString error;
    } cases[] = {
        {"COM4",
         "COM4: \\\\.\\COM4 (" + PortLink(4) + " -> " + File("nothing-here") + "): no such device"},
        {"COM2", "COM2: \\\\.\\COM2 (" + PortLink(2) + " -> "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run({table, "--port", c.port}), 2);
        EXPECT_TRUE(err.contains(c.error)) << err.toStdString();
    }
    EXPECT_TRUE(err.contains("): held by another program")) << err.toStdString();
    CloseSerialDevice(held);
}

// Two runs on one PC, each on its own instrument's port, start together again and again: neither
// looks at the other's port in a way that refuses its open. A table's own further port that is
// missing is named with where ports are set up.
TEST_F(Verdicts, RunnersOnTheirOwnPortsRunSideBySide)
{
    auto first = StartSim();
    auto second = StartSimOn(3);
    const QString table = WriteTable("unit.tst", {"00.00.00.000;Sour:voltac?;0;0;0;-1;1;;1",
                                                  "00.00.00.000;@COM05:RST;0;0;0;;;;1",
                                                  "00.00.00.000;END;0;0;0;;;;1"});
    const QProcessEnvironment env = Environment();
    for (int round = 0; round < 3; ++round) {
        QProcess runs[2];
        for (int i = 0; i < 2; ++i) {
            runs[i].setProcessEnvironment(env);
            runs[i].setWorkingDirectory(File(""));
            runs[i].start(QString::fromUtf8(kTavtestPath),
                          {table, "--port", i == 0 ? "COM2" : "COM3"});
        }
        for (QProcess& run : runs) {
            ASSERT_TRUE(run.waitForFinished(60000));
            const QString err = QString::fromLocal8Bit(run.readAllStandardError());
            EXPECT_EQ(run.exitCode(), 0) << err.toStdString();
            EXPECT_TRUE(err.contains("the rows with @COM05 are not sent (ports are the links COMn "
                                     "in " +
                                     File("cfg/tavcontrol/ports")))
                << err.toStdString();
        }
    }
}

} // namespace
