// The step-table files, .seq (TAV_FUZZ_TST undefined) or .tst: whatever the file holds, the table
// read from it is written, and reading and writing that again gives the same bytes.
#include "fuzz/fuzz_support.h"

#ifdef TAV_FUZZ_TST
#include "autotest/test_file.h"
#else
#include "sequence/sequence_file.h"
#endif

namespace {

#ifdef TAV_FUZZ_TST
struct Table {
    MemoryStepGrid grid{kTestColumns, kTestRows};
    TestHeader header;
    Table() { InitStepGrid(grid, TestTableKind()); }
    bool Read(const QString& path) { return ReadTestFile(path, header, grid, [](int) {}); }
    bool Write(const QString& path) { return WriteTestFile(path, header, grid); }
};
#else
struct Table {
    MemoryStepGrid grid{kSequenceColumns, kSequenceRows};
    Table() { InitStepGrid(grid, SequenceTableKind()); }
    bool Read(const QString& path) { return ReadSequenceFile(path, grid, [](int) {}); }
    bool Write(const QString& path) { return WriteSequenceFile(path, grid); }
};
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString input = ScratchPath("in");
    static const QString once = ScratchPath("once");
    static const QString twice = ScratchPath("twice");
    WriteScratch(input, data, size);
    Table first;
    FUZZ_CHECK(first.Read(input));
    FUZZ_CHECK(first.Write(once));
    Table second;
    FUZZ_CHECK(second.Read(once));
    FUZZ_CHECK(second.Write(twice));
    FUZZ_CHECK(ReadScratch(once) == ReadScratch(twice));
    return 0;
}
