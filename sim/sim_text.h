#pragma once

#include <optional>
#include <string>
#include <string_view>

// Small text helpers shared by the simulated devices.
namespace tav::sim {

std::string ToUpper(std::string_view text);

// Without leading and trailing blanks, tabs and carriage returns.
std::string_view Trim(std::string_view text);

// A leading decimal number as strtod reads it ("230", " 2.5e1V"). Empty text, text without a
// number and non-finite values give nothing: the devices ignore such settings.
std::optional<double> ParseNumber(std::string_view text);

// "1"/"0", "ON"/"OFF" (any case) or any number, non-zero meaning on.
std::optional<bool> ParseSwitch(std::string_view text);

} // namespace tav::sim
