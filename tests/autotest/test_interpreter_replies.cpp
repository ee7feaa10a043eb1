// The interpreter's replies: reading the value, the limits and what a failure does, the result
// table, Auto Save, and the GPIB and auxiliary ways.
#include "autotest/report_file.h"
#include "tests/autotest/interpreter_fakes.h"
#include "tests/support/file_bytes.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

class InterpreterReplies : public InterpreterTest {
protected:
    // One query row with limits 225 ... 235 and a wait of three ticks, then rows 2 to 6.
    void QueryTable(const QString& value1 = "0", const QString& value3 = "0")
    {
        Put(1, {.command = "MEAS:VOLT?",
                .time = "00.00.00.300",
                .value1 = value1,
                .value3 = value3,
                .lower = "225",
                .upper = "235",
                .comment = "UAC 230"});
        for (int r = 2; r <= 6; ++r)
            Put(r, {.command = "R" + QString::number(r)});
    }
    // Starts, sends row 1 and hands it the reply; returns the next line sent after its wait.
    QString NextAfterReply(const QByteArray& reply)
    {
        link.sent.clear();
        run.Start();
        run.Tick();
        run.ReplyReceived(reply);
        TicksUntilSent(2);
        return link.sent.value(1);
    }
};

} // namespace

TEST_F(InterpreterReplies, PassingReplyIsReportedWithItsLimits)
{
    QueryTable();
    run.Start();
    run.Tick();
    EXPECT_EQ(host.stepNumber, " 1");
    EXPECT_EQ(host.lower, "225");
    EXPECT_EQ(host.upper, "235");
    EXPECT_EQ(host.comment, "UAC 230");
    EXPECT_EQ(results.RowCount(), 2); // nothing yet for a query
    run.ReplyReceived("230.0V\r\n");
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "UAC 230", "225.000", "230.000", "235.000", ""}));
    EXPECT_EQ(results.RowCount(), 2);
    EXPECT_EQ(host.resultHistory.mid(host.resultHistory.size() - 2),
              QStringList({"230.0", "230.000"}));
    EXPECT_FALSE(host.red);
    // Equal to a limit passes.
    run.ReplyReceived("225.0V\r\n");
    run.ReplyReceived("235.0V\r\n");
    EXPECT_EQ(ResultRow(2), QStringList({" 1", "UAC 230", "225.000", "225.000", "235.000", ""}));
    EXPECT_EQ(ResultRow(3), QStringList({" 1", "UAC 230", "225.000", "235.000", "235.000", ""}));
    EXPECT_EQ(state.JumpTarget, 0);
}

// A value whose text equals a limit's passes at either limit, also when the instrument answers
// in milliamperes and the limits are written in amperes; a step beyond either limit fails, also
// where both limits are the same value.
TEST_F(InterpreterReplies, EqualToEitherLimitPassesWithAndWithoutMilliamperes)
{
    struct Case {
        QByteArray reply;
        const char* lower;
        const char* upper;
        const char* mark;
    };
    const Case cases[] = {
        {"123.3mA\r\n", "0.1234", "0.1234", "Error!"}, // below, equal, above one value
        {"123.4mA\r\n", "0.1234", "0.1234", ""},
        {"123.5mA\r\n", "0.1234", "0.1234", "Error!"},
        {"123.3V\r\n", "123.4", "123.4", "Error!"},
        {"123.4V\r\n", "123.4", "123.4", ""},
        {"123.5V\r\n", "123.4", "123.4", "Error!"},
        {"123.4mA\r\n", "0.1234", "1", ""}, // at the lower limit
        {"123.4mA\r\n", "0", "0.1234", ""}, // at the upper limit
        {"123.4V\r\n", "123.4", "200", ""},
        {"123.4V\r\n", "0", "123.4", ""},
        {"123.3mA\r\n", "0.1234", "1", "Error!"},
        {"123.3V\r\n", "123.4", "200", "Error!"},
        {"123.5mA\r\n", "0", "0.1234", "Error!"},
        {"123.5V\r\n", "0", "123.4", "Error!"},
    };
    Put(1, {.command = "MEAS:CURR?", .time = "00.00.05.000"});
    run.Start();
    run.Tick();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.trimmed().toStdString() + " " + c.lower + " " + c.upper);
        table.SetCell(kTestLowerLimit, 1, QString::fromLatin1(c.lower));
        table.SetCell(kTestUpperLimit, 1, QString::fromLatin1(c.upper));
        const int row = state.ReportRow;
        run.ReplyReceived(c.reply);
        ASSERT_EQ(state.ReportRow, row + 1) << "the reply left no result row";
        EXPECT_EQ(ResultRow(row)[ResultTable::kMark], c.mark);
    }
}

TEST_F(InterpreterReplies, ReadingTheValue)
{
    Put(1, {.command = "MEAS:CURR?",
            .time = "00.00.05.000",
            .value1 = "NEXT",
            .value3 = "NEXT",
            .lower = "-1000",
            .upper = "1e9"});
    run.Start();
    run.Tick();
    const QList<std::pair<QByteArray, QString>> cases = {
        {"123.4mA\r\n", "0.123"},      // milliamperes
        {"230.12345V\r\n", "230.123"}, // longer than ten characters: read whole
        {"4.600A\r\n", "4.600"},       // five characters, then the unit
        {"-0.50V\r\n", "-0.500"},
        {"-0.0mA\r\n", "0.000"},
        {"ERR\r\n", "0.000"}, // not a number
        {"", "0.000"},        // a GPIB read that failed
        {"12345678901234\r\n", "12345678901234.000"},
    };
    for (const auto& [reply, recorded] : cases) {
        run.ReplyReceived(reply);
        EXPECT_EQ(ResultRow(state.ReportRow - 1)[ResultTable::kTestResult], recorded)
            << reply.toStdString();
    }
    // The result field shows the five characters before it shows the recorded value.
    run.ReplyReceived("123.4mA\r\n");
    EXPECT_EQ(host.resultHistory.mid(host.resultHistory.size() - 2),
              QStringList({"123.4", "0.123"}));
}

TEST_F(InterpreterReplies, EmptyLimitsPassOnlyZero)
{
    Put(1, {.command = "MEAS:POW?", .time = "00.00.01.000", .value1 = "NEXT"});
    run.Start();
    run.Tick();
    run.ReplyReceived("0.000W\r\n");
    EXPECT_EQ(ResultRow(1), QStringList({" 1", "", "0.000", "0.000", "0.000", ""}));
    run.ReplyReceived("0.001W\r\n");
    EXPECT_EQ(ResultRow(2)[ResultTable::kMark], "Error!");
    EXPECT_TRUE(host.red);
    run.ReplyReceived("-0.01W\r\n");
    EXPECT_EQ(ResultRow(3)[ResultTable::kMark], "Error!");
}

TEST_F(InterpreterReplies, FailureJumpsAfterTheWait)
{
    QueryTable("5", "4");
    EXPECT_EQ(NextAfterReply("200.0V\r\n"), "R5"); // too low: Value 1
    EXPECT_EQ(ResultRow(1)[ResultTable::kMark], "Error!");
    EXPECT_EQ(NextAfterReply("240.0V\r\n"), "R4"); // too high: Value 3
    EXPECT_EQ(NextAfterReply("230.0V\r\n"), "R2");
    for (const QString next : {"NEXT", "0", "", "x"}) {
        QueryTable(next, next);
        EXPECT_EQ(NextAfterReply("200.0V\r\n"), "R2") << next.toStdString();
    }
    // Both limits failing (limits the wrong way round): the upper limit's target counts.
    QueryTable("5", "3");
    table.SetCell(kTestLowerLimit, 1, "240");
    table.SetCell(kTestUpperLimit, 1, "220");
    EXPECT_EQ(NextAfterReply("230.0V\r\n"), "R3");
    // The red colour lasts to the end of the next tick.
    QueryTable();
    link.sent.clear();
    run.Start();
    run.Tick();
    run.ReplyReceived("200.0V\r\n");
    EXPECT_TRUE(host.red);
    run.Tick();
    EXPECT_FALSE(host.red);
}

TEST_F(InterpreterReplies, StopAtErrorPausesRedAndContinueTakesTheNextRow)
{
    host.options.StopAtError = true;
    QueryTable("5", "5");
    run.Start();
    run.Tick();
    run.ReplyReceived("200.0V\r\n");
    EXPECT_FALSE(host.timer);
    EXPECT_TRUE(state.RunPaused);
    EXPECT_TRUE(host.red);
    EXPECT_TRUE(host.resultHistory.contains("PAUSE"));
    EXPECT_EQ(host.result, "200.000");
    EXPECT_EQ(ResultRow(1)[ResultTable::kMark], "Error!");
    run.Continue();
    EXPECT_EQ(TicksUntilSent(2), 3); // the rest of the wait, then row 2: no jump
    EXPECT_EQ(link.sent, QStringList({"MEAS:VOLT?", "R2"}));
    EXPECT_FALSE(host.red);
}

TEST_F(InterpreterReplies, LateRepliesNeitherRestartNorPrecedeARun)
{
    host.options.StopAtError = true;
    QueryTable();
    run.ReplyReceived("1.000V\r\n"); // window open, nothing started: no row to check against
    EXPECT_EQ(results.Row(0), ResultTable::Captions());
    EXPECT_EQ(ResultRow(1), QStringList(6, QString()));
    EXPECT_EQ(state.ReportRow, 1);
    EXPECT_EQ(host.result, "");
    Put(2, {.command = "END"});
    run.Start();
    RunTicks();
    // The query's wait ended without its reply: it fails there, and "Stop at Error" holds.
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(ResultRow(1),
              QStringList({" 1", "UAC 230", "225.000", "no reply", "235.000", "Error!"}));
    run.ReplyReceived("230.0V\r\n"); // its reply after all: told, never checked
    EXPECT_EQ(host.late, QStringList({"late reply, not evaluated: 230.0V"}));
    EXPECT_EQ(state.ReportRow, 2);
    run.Continue();
    RunTicks();
    // After END, with no query sent since the missing reply, the link is not known to be in step:
    // a further line is told as late too, and the run stays over.
    run.ReplyReceived("200.0V\r\n");
    EXPECT_EQ(host.late.size(), 2);
    EXPECT_EQ(state.ReportRow, 2);
    run.Continue();
    EXPECT_FALSE(host.timer);
}

TEST_F(InterpreterReplies, ShowZeroLeavesNoTraceAndTwoReportsTheReply)
{
    Put(1, {.command = "MEAS:VOLT?", .upper = "1", .show = "0"});
    Put(2, {.command = "OUTP,1", .show = "0"});
    Put(3, {.command = "MEAS:VOLT?", .lower = "1", .upper = "300", .comment = "raw", .show = "2"});
    run.Start();
    run.Tick();
    run.ReplyReceived("230.0V\r\n");
    run.Tick();
    EXPECT_EQ(results.RowCount(), 2);
    EXPECT_EQ(state.ReportRow, 1);
    EXPECT_EQ(ResultRow(1), QStringList(6, QString()));
    EXPECT_EQ(host.result, "");
    run.Tick();
    run.ReplyReceived("230.0V\r\n");
    EXPECT_EQ(ResultRow(1), QStringList({" 3", "raw", "1.000", "230.0V", "300.000", ""}));
    // A ';' of the reply would split the report's line: it is recorded as ',', and the report
    // reopens as recorded.
    run.ReplyReceived("1.5;2.5\r\n");
    EXPECT_EQ(ResultRow(2), QStringList({" 3", "raw", "1.000", "1.5,2.5", "300.000", ""}));
    QTemporaryDir dir;
    const QString path = dir.filePath("raw.rpt");
    ASSERT_TRUE(SaveReport(path, {}, "07.05.2024", results));
    ResultTable reopened;
    ASSERT_TRUE(OpenReport(path, reopened));
    EXPECT_EQ(reopened.Row(2), ResultRow(2));
}

TEST_F(InterpreterReplies, AutoSaveAtALaterEndOnly)
{
    QTemporaryDir dir;
    run.SetReportPlace(dir.path(), "07.05.2024");
    host.options.AutoSave = true;
    run.Start(); // END in row 1
    RunTicks();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    host.options.SerialPlusOne = true;

    Put(1, {.command = "MEAS:VOLT?",
            .value1 = "NEXT",
            .lower = "225",
            .upper = "235",
            .comment = "UAC"});
    Put(2, {.command = "OUTP,0"});
    run.Start();
    run.Tick();
    run.ReplyReceived("240.0V\r\n");
    RunTicks();
    const QString path = dir.filePath("TAV Power Source-0505000121.rpt");
    EXPECT_EQ(ReadFileBytes(path).toStdString(),
              "Test-Report:\r\nReporter:;KELM-Electronic\r\nUnit:;TAV Power Source\r\n"
              "Serial #:;0505000121\r\nDate:;07.05.2024\r\n\r\n"
              "Step;Comment;Lower Limit;Test Result;Upper Limit;Mark\r\n"
              " 1;UAC;225.000;240.000;235.000;Error!\r\n"
              " 2;;;;;\r\n");
    EXPECT_TRUE(host.messages.isEmpty());

    // What the operator typed cannot lead the report out of its directory.
    host.fields.UnitText = "../TAV 3/4";
    host.fields.SerialText = "A:1*?";
    host.options.SerialPlusOne = false;
    run.Start();
    RunTicks();
    EXPECT_TRUE(QFile::exists(dir.filePath(".._TAV 3_4-A_1__.rpt")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // A directory it cannot write to: one message naming the file.
    run.SetReportPlace(dir.filePath("missing"), "07.05.2024");
    run.Start();
    RunTicks();
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages[0].contains(".._TAV 3_4-A_1__.rpt"));

    // Reports that go to the start folder because the program's own cannot be written: the
    // operator is told where, once.
    QTemporaryDir start;
    run.SetReportPlace(start.path(), "07.05.2024", true);
    run.Start();
    RunTicks();
    run.Start();
    RunTicks();
    EXPECT_TRUE(QFile::exists(QDir(start.path()).filePath(".._TAV 3_4-A_1__.rpt")));
    ASSERT_EQ(host.messages.size(), 2);
    EXPECT_TRUE(host.messages[1].contains(start.path())) << host.messages[1].toStdString();
}

TEST_F(InterpreterReplies, ClosedPortPausesTheRunWithOneMessage)
{
    QueryTable();
    Put(1, {.command = "OUTP,1", .time = "00.00.00.300"});
    link.portClosed = true;
    run.Start();
    EXPECT_EQ(RunTicks(), 1);
    EXPECT_FALSE(host.timer);
    EXPECT_TRUE(state.RunPaused);
    EXPECT_EQ(host.messages, QStringList({"Port not open"}));
    EXPECT_EQ(host.result, "PAUSE");
    EXPECT_EQ(results.RowCount(), 2); // nothing recorded for a line that did not go
    // The port is back: Continue finishes the row's wait and goes on.
    link.portClosed = false;
    run.Continue();
    EXPECT_EQ(TicksUntilSent(1), 3);
    EXPECT_EQ(link.sent, QStringList({"R2"}));
    EXPECT_EQ(host.messages.size(), 1);
}

TEST_F(InterpreterReplies, GpibQueriesAreAnsweredWithinTheTick)
{
    link.serial = false;
    link.gpibReplies["MEAS:VOLT?"] = "200.0V\r\n";
    link.gpibReplies["READ?"] = "+2.301234E+02\r\n";
    QueryTable("3");
    Put(4, {.command = "@GPIB22:READ?", .lower = "230", .upper = "231"});
    Put(5, {.command = "OUTP,0"});
    Put(6, {.command = "END"});
    run.Start();
    run.Tick();
    EXPECT_EQ(ResultRow(1)[ResultTable::kTestResult], "200.000");
    EXPECT_TRUE(host.red); // until the end of the next tick
    run.Tick();
    EXPECT_FALSE(host.red);
    RunTicks();
    EXPECT_EQ(link.sent, QStringList({"MEAS:VOLT?", "R3", "GPIB22 READ?", "OUTP,0"}));
    EXPECT_EQ(ResultRow(3), QStringList({" 4", "", "230.000", "230.123", "231.000", ""}));
    EXPECT_EQ(ResultRow(4), QStringList({" 5", "", "", "", "", ""}));

    // Another exchange under way: the row goes unsent and unrecorded, its wait still runs.
    link.sent.clear();
    link.gpibBusy = true;
    run.Start();
    EXPECT_EQ(RunTicks(5), 5);
    EXPECT_TRUE(link.sent.isEmpty());
    EXPECT_EQ(results.RowCount(), 5);
}

TEST_F(InterpreterReplies, AuxiliaryDevicesOnTheSerialLink)
{
    Put(1, {.command = "@COM03:READ?", .lower = "1", .upper = "2"});
    Put(2, {.command = "@COM45 *RST"});
    Put(3, {.command = "@COM3:READ?"});
    Put(4, {.command = "EXTMEAS?"});
    run.Start();
    run.Tick();
    run.ReplyReceived("1.234567\r\n"); // read whole, like a meter answers
    EXPECT_EQ(ResultRow(1)[ResultTable::kTestResult], "1.235");
    EXPECT_FALSE(state.ExternalReply);
    RunTicks();
    EXPECT_EQ(link.aux, QStringList({"COM3 READ?\n", "COM30 *RST\n", "COM3 EAD?\n"}));
    EXPECT_EQ(link.meter, QStringList({"READ?\n"}));
    EXPECT_EQ(link.sent, QStringList({"EXTMEAS?"}));
}
