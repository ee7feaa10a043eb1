#include "sim/reading_format.h"

#include <cmath>
#include <cstdio>

namespace tav::sim {
namespace {

std::string Printf(const char* format, int decimals, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, decimals, value);
    return buffer;
}

// Five characters of magnitude; a minus sign, should one ever be needed, comes in front.
std::string FiveCharacters(double value)
{
    const std::string sign = value < 0 ? "-" : "";
    const double magnitude = std::fabs(value);
    // The widest decimals that still fit; rounding can carry into the next digit (9.9996 gives
    // "10.000"), which the next narrower attempt then absorbs ("10.00").
    for (int decimals = 3; decimals >= 1; --decimals) {
        const std::string text = Printf("%.*f", decimals, magnitude);
        if (text.size() == 5)
            return sign + text;
    }
    const std::string whole = Printf("%.*f", 0, magnitude);
    if (whole.size() <= 4)
        return sign + whole + ".";
    if (whole.size() == 5)
        return sign + whole;
    return sign + "99999";
}

} // namespace

std::string FormatSetValue(double value) { return Printf("%.*f", 5, value); }

std::string FormatReading(double value, const std::string& unit)
{
    return FiveCharacters(value) + unit;
}

std::string FormatCurrentReading(double amperes)
{
    // 0.9995 A and up would round to "1000.mA"; those read "1.000A" instead.
    const double magnitude = std::fabs(amperes);
    if (magnitude > 0.0 && magnitude < 0.9995)
        return FiveCharacters(amperes * 1000.0) + "mA";
    return FiveCharacters(amperes) + "A";
}

std::string FormatFactor(double value) { return FiveCharacters(value); }

} // namespace tav::sim
