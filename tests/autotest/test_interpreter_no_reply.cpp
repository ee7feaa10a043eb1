// A query whose reply does not come in time fails for its own row, and the reply that comes
// after all is never checked against another row; a new run inherits nothing of the last.
#include "tests/autotest/interpreter_fakes.h"

namespace {

using NoReply = InterpreterTest;

const QStringList kNoReplyRow = {" 1", "U", "225.000", "no reply", "235.000", "Error!"};

// Row 1 asks and waits two ticks; its failure target is row 4.
TEST_F(NoReply, UnansweredQueryFailsItsOwnRowAndItsLateReplyIsDropped)
{
    struct Case {
        const char* name;
        bool serial;
        bool stopAtError;
        QString show;
        QStringList rows;  // the result rows after the run
        QStringList steps; // every step recorded, hidden ones too
        QStringList sent;
    };
    const QString r1 = kNoReplyRow.join(';');
    const Case cases[] = {
        {"jump to Value 1",
         true,
         false,
         "1",
         {r1, " 4;;;;;"},
         {r1, " 4;;;;;"},
         {"MEAS:VOLT?", "R4"}},
        {"hidden row",
         true,
         false,
         "0",
         {" 4;;;;;"},
         {"hidden " + r1, " 4;;;;;"},
         {"MEAS:VOLT?", "R4"}},
        {"stop at error", true, true, "1", {r1}, {r1}, {"MEAS:VOLT?"}},
        {"failed GPIB read",
         false,
         false,
         "1",
         {r1, " 4;;;;;"},
         {r1, " 4;;;;;"},
         {"MEAS:VOLT?", "R4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.serial = c.serial;
        link.sent.clear();
        host.steps.clear();
        host.options.StopAtError = c.stopAtError;
        Put(1, {.command = "MEAS:VOLT?",
                .time = "00.00.00.200",
                .value1 = "4",
                .lower = "225",
                .upper = "235",
                .comment = "U",
                .show = c.show});
        Put(2, {.command = "R2"});
        Put(4, {.command = "R4"});
        Put(5, {.command = "END"});
        run.Start();
        RunTicks();
        QStringList rows;
        for (int row = 1; row < state.ReportRow; ++row)
            rows << ResultRow(row).join(';');
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(host.steps, c.steps);
        EXPECT_EQ(link.sent, c.sent);
        EXPECT_EQ(state.RunPaused, c.stopAtError);
    }
}

// A reply given up on is told and dropped when it comes, and one that never comes costs its own
// row only: the instrument's next query goes out behind the identification query, and the line
// after the identification's answer is that query's own reply. The auxiliary port counts.
TEST_F(NoReply, MissingReplyCostsItsOwnRowOnly)
{
    const QByteArray ident = "KELM,TAV-1600-PS,0505000120,V2.00\r\n";
    struct Case {
        const char* name;
        QList<QByteArray> afterRow2; // what the instrument sends once row 2 has asked
        QStringList late;
    };
    const Case cases[] = {
        {"late reply", {"230.0V\r\n", ident, "4.600A\r\n"}, {"late reply, not evaluated: 230.0V"}},
        {"reply never comes", {ident, "4.600A\r\n"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.sent.clear();
        host.late.clear();
        Put(1, {.command = "MEAS:VOLT?",
                .value1 = "NEXT",
                .lower = "225",
                .upper = "235",
                .comment = "U"});
        Put(2, {.command = "MEAS:CURR?", .lower = "4.5", .upper = "4.7", .comment = "I"});
        Put(3, {.command = "@COM05:READ?", .lower = "1", .upper = "2", .comment = "aux"});
        Put(4, {.command = "MEAS:CURR?", .lower = "4.5", .upper = "4.7", .comment = "I"});
        Put(5, {.command = "END"});
        run.Start();
        run.Tick(); // row 1 asks; no reply in its tick
        run.Tick(); // row 2: row 1 given up
        for (const QByteArray& line : c.afterRow2)
            run.ReplyReceived(line);
        run.Tick();                      // row 3 asks the auxiliary device on COM5
        run.ReplyReceived("1.5\r\n", 5); // which answers in time
        run.Tick();                      // row 4: in step again, nothing goes ahead of it
        run.ReplyReceived("4.500A\r\n");
        RunTicks();
        EXPECT_EQ(ResultRow(1), kNoReplyRow);
        EXPECT_EQ(ResultRow(2), QStringList({" 2", "I", "4.500", "4.600", "4.700", ""}));
        EXPECT_EQ(ResultRow(3), QStringList({" 3", "aux", "1.000", "1.500", "2.000", ""}));
        EXPECT_EQ(ResultRow(4), QStringList({" 4", "I", "4.500", "4.500", "4.700", ""}));
        EXPECT_EQ(state.ReportRow, 5);
        EXPECT_EQ(host.late, c.late);
        EXPECT_EQ(link.sent, QStringList({"MEAS:VOLT?", "*idn?", "MEAS:CURR?", "MEAS:CURR?"}));
    }
}

// What one run leaves behind — a failure target set by a reply after END, a reply given up on —
// does not reach the next: each Start begins at row 1 and checks its own replies.
TEST_F(NoReply, EveryStartBeginsCleanAfterALateFailure)
{
    Put(1, {.command = "MEAS:VOLT?", .lower = "225", .upper = "235"});
    Put(2, {.command = "END", .value3 = "7"});
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        link.sent.clear();
        run.Start();
        run.Tick();
        run.ReplyReceived("230.0V\r\n");
        RunTicks();
        run.ReplyReceived("1.0V\r\n"); // a stray failing line after END sets a failure target
        EXPECT_EQ(state.JumpTarget, 7);
        run.Start();
        run.Tick();
        EXPECT_EQ(link.sent.last(), "MEAS:VOLT?");
        EXPECT_EQ(state.CurrentRow, 1);
        run.Tick(); // given up on: its reply, if it comes, belongs to no row
        RunTicks();
        EXPECT_EQ(state.JumpTarget, 0);
    }
    // The next unit starts over: a reply is checked again, not dropped as the last one's.
    run.Start();
    run.Tick();
    run.ReplyReceived("230.0V\r\n");
    EXPECT_EQ(ResultRow(1)[ResultTable::kTestResult], "230.000");
}

} // namespace
