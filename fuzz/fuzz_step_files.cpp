// The step-table files, .seq (TAV_FUZZ_TST undefined) or .tst: whatever the file holds, the table
// read from it is written, and reading and writing that again gives the same bytes. A table with
// a ';' or a line break in a cell it would write is refused, and never reaches the disk.
#include "fuzz/fuzz_support.h"

#ifdef TAV_FUZZ_TST
#include "autotest/table_file.h"
#else
#include "sequence/sequence_file.h"
#endif

namespace {

#ifdef TAV_FUZZ_TST
struct Table {
    MemoryStepGrid grid{kTestColumns, kTestRows};
    TestHeader header;
    Table() { InitStepGrid(grid, TestTableKind()); }
    bool Read(const QString& path)
    {
        return ReadTestFile(path, header, grid, [](int) {});
    }
    bool Write(const QString& path) { return WriteTestFile(path, header, grid); }
    // The rows the file holds: up to the first "END" row, or all steps.
    int WrittenRows() const
    {
        for (int row = 1; row <= grid.LastRow(); ++row)
            if (grid.Cell(kTestCommand, row) == QLatin1String("END"))
                return row;
        return grid.LastRow();
    }
};
#else
struct Table {
    MemoryStepGrid grid{kSequenceColumns, kSequenceRows};
    Table() { InitStepGrid(grid, SequenceTableKind()); }
    bool Read(const QString& path)
    {
        return ReadSequenceFile(path, grid, [](int) {});
    }
    bool Write(const QString& path) { return WriteSequenceFile(path, grid); }
    int WrittenRows() const { return grid.SpareRow(); }
};
#endif

// A ';' or a line break in a written cell would shift the fields after it when read back.
template <typename T> bool Separable(const T& table)
{
    for (int row = 1; row <= table.WrittenRows(); ++row)
        for (const QString& cell : table.grid.Row(row))
            if (cell.contains(QLatin1Char(';')) || cell.contains(QLatin1Char('\r')) ||
                cell.contains(QLatin1Char('\n')))
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString input = ScratchPath("in");
    static const QString once = ScratchPath("once");
    static const QString twice = ScratchPath("twice");
    WriteScratch(input, data, size);
    Table first;
    FUZZ_CHECK(first.Read(input));
    if (!Separable(first)) {
        const QByteArray before("earlier file");
        WriteScratch(once, reinterpret_cast<const uint8_t*>(before.constData()),
                     static_cast<size_t>(before.size()));
        FUZZ_CHECK(!first.Write(once));
        FUZZ_CHECK(ReadScratch(once) == before);
        return 0;
    }
    FUZZ_CHECK(first.Write(once));
    Table second;
    FUZZ_CHECK(second.Read(once));
    FUZZ_CHECK(second.Write(twice));
    FUZZ_CHECK(ReadScratch(once) == ReadScratch(twice));
    return 0;
}
