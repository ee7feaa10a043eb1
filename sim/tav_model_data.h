#pragma once

#include "sim/sim_device.h"

#include <optional>
#include <string>
#include <string_view>

namespace tav::sim {

// The model data a service configuration writes into a TAV source: power class, voltage class,
// frequency option and installed option, plus the power-on defaults that go with them.
//
// Lines (any letter case): "setpower,W", "setvolt,V", "setvoltac,V", "setcurr,A", "setfreq,Hz",
// "setopt,n" keep their value text as sent; "eepreset", "dflt,0," and "outp:pon,0" are taken
// and only counted. The unit reports the model in "*idn?": the power class names it
// ("2000" is a TAV-1600-PS), and a voltage class, frequency option or installed option other
// than the standard one is added as a suffix ("TAV-1600-PS-HV-F1-MB2").
class TavModelData {
public:
    // The result for a configuration line, nothing for any other line.
    std::optional<LineResult> Process(std::string_view line);

    // The model name "*idn?" reports: `configured` until the first "setpower".
    std::string ModelName(const std::string& configured) const;

    std::string power, volt, voltAc, curr, freq, option;
    int presets = 0; // "eepreset", "dflt,0," and "outp:pon,0" taken so far

private:
    bool configured_ = false;
};

} // namespace tav::sim
