// Line mode of the receive buffer: a random byte stream, cut into random chunks as the device
// delivers them, must come out as exactly the CR LF-terminated lines of the stream, each once,
// whole and in order, with the unterminated rest left in the buffer.
#include "fuzz/fuzz_support.h"
#include "link/cia_buffer.h"

#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first bytes choose the chunk sizes (1 to 16), the rest is the stream.
    const size_t cuts = std::min<size_t>(data[0] % 16 + 1, size - 1);
    const uint8_t* sizes = data + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1 + cuts), size - 1 - cuts);

    std::vector<std::string> expected;
    size_t start = 0;
    for (size_t at = stream.find("\r\n"); at != std::string_view::npos;
         at = stream.find("\r\n", start)) {
        expected.emplace_back(stream.substr(start, at + 2 - start));
        start = at + 2;
    }

    TCiaCommBuffer buffer;
    std::vector<std::string> got;
    size_t pos = 0;
    for (size_t k = 0; pos < stream.size(); ++k) {
        const size_t n = std::min<size_t>(sizes[k % cuts] % 16 + 1, stream.size() - pos);
        buffer.MakeRoom(n);
        std::copy_n(stream.data() + pos, n, buffer.Data() + buffer.WritePos());
        buffer.Advance(n);
        pos += n;
        while (buffer.ScanLine("\r\n", 2)) {
            std::string line(buffer.ScanPos() - buffer.ReadPos(), '\0');
            FUZZ_CHECK(buffer.Read(line.data(), line.size()) == line.size());
            got.push_back(std::move(line));
        }
        FUZZ_CHECK(buffer.Capacity() <= stream.size());
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(buffer.Count() == stream.size() - start);
    return 0;
}
