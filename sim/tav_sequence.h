#pragma once

#include "sim/sim_device.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav::sim {

// One step of a voltage/frequency sequence, every field the text the program sent for it.
struct SeqRow {
    std::string time; // "00.00.05.000"
    std::string val1;
    std::string val2;
    std::string val3; // frequency
    std::string code; // "4", "255" for the end row, or whatever the operator typed ("uac")

    bool operator==(const SeqRow&) const = default;
};

// The TAV's sequence memory: the rows the program writes one by one, a pass count, a run flag
// and ten memories for whole sequences.
//
// Writing: "SEQ:TIME,t", "SEQ:VAL3,f", "SEQ:VAL1,v" and "SEQ:VAL2,v" fill in the pending row.
// "SEQ:NEW,code" starts a new sequence whose row 1 is the pending row with that code;
// "SEQ:SET,code" appends it as the next row (to an empty sequence it becomes row 1, which is how
// a table holding only its end row arrives). The pending row keeps its fields for the next one.
// "SEQ:CNT,n" sets the pass count. "SEQ:GO,n" starts the sequence with pass count n (without n
// it runs with the stored count); a sequence without rows does not start. "SEQ:STOP" (with or
// without a trailing comma and value) stops it. "SEQ:STORE,m" and "SEQ:LOAD,m" (m 0..9) keep
// and bring back rows and count; a memory never stored holds an empty sequence.
//
// Every field, code and count is kept exactly as sent, case and blanks included: the program
// sends table cells unchanged, and the tests want to see what it sent, not what we made of it.
// "SEQ:VAL1," therefore empties the field; only a line without any value is ignored.
//
// The run is a flag and nothing more: the set values do not step through the rows, so the
// readings the program polls stay exactly those of the set values it wrote.
//
// Read-back for tests (the real unit has no such queries):
//   "SEQ:ROWS?"                          number of rows
//   "SEQ:ROW?,n" or "SEQ:ROW? n"         row n (1-based) as "<time>;<val3>;<val1>;<val2>;<code>",
//                                        an empty line for a row that does not exist
//   "SEQ:CNT?"                           the pass count, empty until one was sent
//   "SEQ:RUN?"                           "1" while running, else "0"
class TavSequence {
public:
    static constexpr int kMemories = 10;

    // Handles a line whose header is "SEQ:..." (any case, optionally with a leading ':');
    // nothing for any other line, which is then not ours to judge.
    std::optional<LineResult> Process(std::string_view line);

    const std::vector<SeqRow>& Rows() const { return current_.rows; }
    const std::string& Count() const { return current_.count; }
    bool Running() const { return running_; }
    void Stop() { running_ = false; }

private:
    struct Stored {
        std::vector<SeqRow> rows;
        std::string count;
    };

    LineResult Query(const std::string& leaf, bool hasValue, std::string_view value) const;
    LineResult Command(const std::string& leaf, bool hasValue, std::string_view value);
    std::string RowText(std::string_view number) const;

    SeqRow pending_;
    Stored current_;
    std::array<Stored, kMemories> memories_;
    bool running_ = false;
};

} // namespace tav::sim
