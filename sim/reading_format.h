#pragma once

#include <string>

// How the TAV front panel firmware prints numbers on the serial line.
namespace tav::sim {

// Set values: plain decimal with five decimals, "230.00000".
std::string FormatSetValue(double value);

// A measured value as five characters including the decimal point, then the unit:
// "0.000V", "12.34V", "230.1V", "1000.W". From 99999.5 on the point is dropped ("12345W") and the
// text saturates at 99999.
std::string FormatReading(double value, const std::string& unit);

// Currents below one ampere go out in milliamperes ("123.4mA"), the rest like FormatReading.
std::string FormatCurrentReading(double amperes);

// Power factor and crest factor: five characters without unit, "0.998", "1.414".
std::string FormatFactor(double value);

} // namespace tav::sim
