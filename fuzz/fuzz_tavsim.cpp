// tavsim's line handling: any bytes, split into lines as they arrive, never crash the simulated
// instrument or meter, and an answer is always one line.
#include "sim/line_splitter.h"
#include "sim/sim_meter.h"
#include "sim/tav_instrument.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    tav::sim::TavConfig config;
    if (data[0] & 1)
        config.options = "3P CR2 OT1";
    tav::sim::TavInstrument instrument(config);
    tav::sim::SimMeter meter;
    tav::sim::LineSplitter splitter(256);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t chunk = data[0] / 2 + 1;
    for (size_t pos = 0; pos < bytes.size(); pos += chunk) {
        for (const std::string& line : splitter.Feed(bytes.substr(pos, chunk))) {
            for (tav::sim::SimDevice* device : {static_cast<tav::sim::SimDevice*>(&instrument),
                                                static_cast<tav::sim::SimDevice*>(&meter)}) {
                const auto reply = device->HandleLine(line);
                if (reply && reply->find('\n') != std::string::npos)
                    std::abort();
            }
        }
    }
    return 0;
}
