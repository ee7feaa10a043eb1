// Report files (.rpt): whatever the file holds, the report read from it is saved, and reading
// and saving that again gives the same bytes.
#include "autotest/report_file.h"
#include "autotest/result_table.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString input = ScratchPath("in.rpt");
    static const QString once = ScratchPath("once.rpt");
    static const QString twice = ScratchPath("twice.rpt");
    WriteScratch(input, data, size);
    ResultTable first;
    const auto header = OpenReport(input, first);
    FUZZ_CHECK(header.has_value());
    FUZZ_CHECK(SaveReport(once, header->Header, header->Date, first));
    ResultTable second;
    const auto again = OpenReport(once, second);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(SaveReport(twice, again->Header, again->Date, second));
    FUZZ_CHECK(ReadScratch(once) == ReadScratch(twice));
    return 0;
}
