// The sequence memory, through the instrument's line interface as the program and tavsim use it.

#include "sim/tav_instrument.h"
#include "tests/sim/instrument_lines.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace tav::sim {
namespace {

// Row by row, the way the program sends a table: the four cells, then the code.
void SendRow(TavInstrument& tav, const std::string& time, const std::string& val3,
             const std::string& val1, const std::string& val2, const std::string& codeLine)
{
    for (const std::string& line :
         {"SEQ:TIME," + time, "SEQ:VAL3," + val3, "SEQ:VAL1," + val1, "SEQ:VAL2," + val2, codeLine})
        ASSERT_EQ(tav.Process(line).kind, LineKind::Applied) << line;
}

TEST(SimTavSequenceTransfer, NewThenSetsBuildTheRowsInOrder)
{
    TavInstrument tav;
    SendRow(tav, "00.00.05.000", "50", "230", "0", "SEQ:NEW,4");
    SendRow(tav, "00.00.10.500", "60", "115", "2.5", "SEQ:SET,4");
    SendRow(tav, "00.00.00.000", "50", "0", "0", "SEQ:SET,255");

    const std::vector<SeqRow> expected = {
        {"00.00.05.000", "230", "0", "50", "4"},
        {"00.00.10.500", "115", "2.5", "60", "4"},
        {"00.00.00.000", "0", "0", "50", "255"},
    };
    EXPECT_EQ(tav.Sequence(), expected);
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "3");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,1"), "00.00.05.000;50;230;0;4");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,2"), "00.00.10.500;60;115;2.5;4");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,3"), "00.00.00.000;50;0;0;255");

    // A new transfer replaces the old sequence instead of adding to it.
    SendRow(tav, "00.01.00.000", "400", "12", "1", "SEQ:NEW,7");
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "1");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,1"), "00.01.00.000;400;12;1;7");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,2"), "");
}

TEST(SimTavSequenceTransfer, PendingFieldsCarryOverUntilOverwritten)
{
    TavInstrument tav;
    SendRow(tav, "00.00.01.000", "50", "100", "3", "SEQ:NEW,1");
    Apply(tav, {"SEQ:VAL1,200", "SEQ:SET,2", "SEQ:TIME,00.00.02.000", "SEQ:SET,3"});
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,2"), "00.00.01.000;50;200;3;2");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,3"), "00.00.02.000;50;200;3;3");
    // An empty cell empties its field; only a line without any value leaves it alone.
    Apply(tav, {"SEQ:VAL2,", "SEQ:SET,4"});
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,4"), "00.00.02.000;50;200;;4");
    for (const char* line : {"SEQ:VAL1", "SEQ:NEW", "SEQ:SET", "SEQ:CNT"})
        EXPECT_EQ(tav.Process(line).kind, LineKind::Ignored) << line;
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "4");
    EXPECT_EQ(tav.Sequence().back().val1, "200");
}

TEST(SimTavSequenceTransfer, EndOnlyTableArrivesAsASetWithoutNew)
{
    TavInstrument tav;
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "0");
    SendRow(tav, "00.00.00.000", "50", "0", "0", "SEQ:SET,255");
    ASSERT_EQ(tav.Sequence().size(), 1u);
    EXPECT_EQ(tav.Sequence()[0].code, "255");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,1"), "00.00.00.000;50;0;0;255");

    // Onto a sequence already there, such a SET is simply the next row.
    TavInstrument used;
    SendRow(used, "00.00.05.000", "50", "230", "0", "SEQ:NEW,4");
    Apply(used, {"SEQ:SET,255"});
    EXPECT_EQ(Ask(used, "SEQ:ROWS?"), "2");
    EXPECT_EQ(Ask(used, "SEQ:ROW?,1"), "00.00.05.000;50;230;0;4");
    EXPECT_EQ(Ask(used, "SEQ:ROW?,2"), "00.00.05.000;50;230;0;255");
}

TEST(SimTavSequenceTransfer, TextsAreKeptExactlyAsSent)
{
    TavInstrument tav;
    // Headers match in any case, but the texts behind them stay as typed.
    Apply(tav,
          {"seq:time,0.0.5", "Seq:Val3,fifty", "seq:val1,abc", "seq:val2, 2.50 ", "seq:new,uac"});
    Apply(tav, {"SEQ:VAL1,230V", "SEQ:SET,04", "SEQ:SET,End"});
    const std::vector<SeqRow> expected = {
        {"0.0.5", "abc", " 2.50 ", "fifty", "uac"},
        {"0.0.5", "230V", " 2.50 ", "fifty", "04"},
        {"0.0.5", "230V", " 2.50 ", "fifty", "End"},
    };
    EXPECT_EQ(tav.Sequence(), expected);
    EXPECT_EQ(Ask(tav, "seq:row?,1"), "0.0.5;fifty;abc; 2.50 ;uac");
    // Writing a sequence touches no set value.
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "0.00000");
    EXPECT_EQ(Ask(tav, "Sour:freq?"), "50.00000");
}

TEST(SimTavSequenceQueries, RowQueriesAcceptCommaOrBlankAndAnswerEmptyOutsideTheTable)
{
    TavInstrument tav;
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,1"), "");
    SendRow(tav, "00.00.05.000", "50", "230", "0", "SEQ:NEW,4");
    SendRow(tav, "00.00.06.000", "60", "115", "1", "SEQ:SET,255");
    EXPECT_EQ(Ask(tav, "SEQ:ROW? 2"), "00.00.06.000;60;115;1;255");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?, 2"), "00.00.06.000;60;115;1;255");
    EXPECT_EQ(Ask(tav, ":seq:row?,1"), "00.00.05.000;50;230;0;4");
    for (const char* query : {"SEQ:ROW?,0", "SEQ:ROW?,3", "SEQ:ROW?,-1", "SEQ:ROW?,1.5",
                              "SEQ:ROW?,x", "SEQ:ROW?", "SEQ:ROW?,"}) {
        const LineResult result = tav.Process(query);
        EXPECT_EQ(result.kind, LineKind::Answered) << query;
        EXPECT_EQ(result.reply, "") << query;
    }
    for (const char* line :
         {"SEQ:ROWS?,1", "SEQ:RUN? 1", "SEQ:BOGUS?", "SEQ:BOGUS,1", "SEQ:", "SEQ?", "SEQ1:ROWS?"})
        EXPECT_EQ(tav.Process(line).kind, LineKind::Unknown) << line;
    EXPECT_EQ(Ask(tav, "SEQ:ROWS? "), "2");
}

TEST(SimTavSequenceRun, CountGoAndBothStopForms)
{
    TavInstrument tav;
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "");
    EXPECT_EQ(Ask(tav, "SEQ:RUN?"), "0");
    // Nothing to run yet.
    EXPECT_EQ(tav.Process("SEQ:GO,1").kind, LineKind::Ignored);
    EXPECT_EQ(Ask(tav, "SEQ:RUN?"), "0");
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "");

    SendRow(tav, "00.00.05.000", "50", "230", "0", "SEQ:NEW,4");
    Apply(tav, {"SEQ:CNT,3"});
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "3");
    EXPECT_EQ(tav.SequenceCount(), "3");
    for (const char* stop : {"SEQ:STOP,", "SEQ:STOP", "seq:stop"}) {
        Apply(tav, {"SEQ:GO,5"});
        EXPECT_EQ(Ask(tav, "SEQ:RUN?"), "1") << stop;
        EXPECT_TRUE(tav.SequenceRunning()) << stop;
        Apply(tav, {stop});
        EXPECT_EQ(Ask(tav, "SEQ:RUN?"), "0") << stop;
        EXPECT_FALSE(tav.SequenceRunning()) << stop;
    }
    // GO's count is the one it runs with; without one it runs with the stored count.
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "5");
    Apply(tav, {"SEQ:CNT,2", "SEQ:GO,"});
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "2");
    EXPECT_EQ(Ask(tav, "SEQ:RUN?"), "1");
    // The running flag leaves the poll answers as they were.
    EXPECT_EQ(Ask(tav, "outp:stat?"), "0");
    EXPECT_EQ(Ask(tav, "meas:volt?"), "0.000V");
    EXPECT_EQ(Ask(tav, "*tav?"), "0");

    // A reset stops the run but keeps the operator's sequence.
    Apply(tav, {"*RST"});
    EXPECT_EQ(Ask(tav, "SEQ:RUN?"), "0");
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "1");
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "2");
}

TEST(SimTavSequenceRun, StoreAndLoadKeepRowsAndCount)
{
    TavInstrument tav;
    SendRow(tav, "00.00.05.000", "50", "230", "0", "SEQ:NEW,4");
    SendRow(tav, "00.00.00.000", "50", "0", "0", "SEQ:SET,255");
    Apply(tav, {"SEQ:CNT,3", "SEQ:STORE,2"});
    const std::vector<SeqRow> stored = tav.Sequence();

    SendRow(tav, "00.00.01.000", "60", "115", "1", "SEQ:NEW,uac");
    Apply(tav, {"SEQ:CNT,9", "SEQ:STORE,9"});
    Apply(tav, {"SEQ:LOAD,2"});
    EXPECT_EQ(tav.Sequence(), stored);
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "3");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,2"), "00.00.00.000;50;0;0;255");

    Apply(tav, {"SEQ:LOAD,9"});
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "1");
    EXPECT_EQ(Ask(tav, "SEQ:ROW?,1"), "00.00.01.000;60;115;1;uac");
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "9");

    // Loading works on a copy: changing the loaded sequence leaves the memory as it was.
    Apply(tav, {"SEQ:SET,255", "SEQ:LOAD,9"});
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "1");

    // Only memories 0..9 exist; anything else changes nothing.
    for (const char* line :
         {"SEQ:LOAD,10", "SEQ:STORE,-1", "SEQ:LOAD,1.5", "SEQ:STORE,x", "SEQ:LOAD,", "SEQ:STORE"})
        EXPECT_EQ(tav.Process(line).kind, LineKind::Ignored) << line;
    EXPECT_EQ(Ask(tav, "SEQ:ROWS?"), "1");
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "9");

    // A memory never stored holds an empty sequence.
    Apply(tav, {"SEQ:LOAD 0"});
    EXPECT_TRUE(tav.Sequence().empty());
    EXPECT_EQ(Ask(tav, "SEQ:CNT?"), "");
    // The sequence memories are not the set-value memories.
    Apply(tav, {"SOUR:VOLTAC,100", "*SAV,2", "SOUR:VOLTAC,50", "*RCL,2"});
    EXPECT_TRUE(tav.Sequence().empty());
    Apply(tav, {"SEQ:LOAD,2"});
    EXPECT_EQ(Ask(tav, "Sour:voltac?"), "100.00000");
    EXPECT_EQ(tav.Sequence(), stored);
}

} // namespace
} // namespace tav::sim
