#pragma once

#include "sim/sim_device.h"

#include <string>
#include <string_view>

namespace tav::sim {

// A SCPI bench voltmeter, used to check the program's generic instrument support.
//
// Understands "*IDN?", "*RST", "*CLS", "READ?" (in the selected function), "MEAS:VOLT:DC?" and
// "MEAS:VOLT:AC?" (which also select that function, as MEASure does on real meters),
// "[:]SENS:FUNC 'VOLT:DC'" / "'VOLT:AC'", "SENS:FUNC?" and "CONF:VOLT:DC" / "CONF:VOLT:AC".
// Long keyword forms (SENSe, FUNCtion, VOLTage, MEASure, CONFigure) work too, in any case.
// Readings look like "+2.30000000E+02".
class SimMeter final : public SimDevice {
public:
    enum class Function { VoltDc, VoltAc };

    // Until told otherwise the meter sees a 230 V AC mains with a 5 V DC offset on its input.
    static constexpr double kDefaultDcVolts = 5.0;
    static constexpr double kDefaultAcVolts = 230.0;

    LineResult Process(std::string_view line) override;

    // What the input terminals see; lets an in-process bus wire the meter to a simulated source,
    // and sets the reading of tavsim --reading and of the simulated GPIB bus's meter.
    void SetInput(double dcVolts, double acVolts);
    Function SelectedFunction() const { return function_; }

private:
    std::string Reading(Function function) const;

    Function function_ = Function::VoltDc;
    double dcVolts_ = kDefaultDcVolts;
    double acVolts_ = kDefaultAcVolts;
};

} // namespace tav::sim
