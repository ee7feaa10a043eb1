// TAVCON.cfg as operators copy it between machines: whatever the file holds, what was read is
// written as one record, and reading that record gives the same settings again.
#include "fuzz/fuzz_support.h"
#include "link/link_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString input = ScratchPath("in.cfg");
    static const QString output = ScratchPath("out.cfg");
    WriteScratch(input, data, size);
    LinkSettings first;
    ReadLinkConfig(input, first);
    FUZZ_CHECK(WriteLinkConfig(output, first));
    LinkSettings second;
    ReadLinkConfig(output, second);
    FUZZ_CHECK(EncodeLinkRecord(first) == EncodeLinkRecord(second));
    FUZZ_CHECK(ReadScratch(output) == EncodeLinkRecord(second));
    return 0;
}
